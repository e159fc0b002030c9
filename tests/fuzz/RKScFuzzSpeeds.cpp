// GET PERFORMANCE answers of any shape read as write speed descriptors.
#include <cstdint>

#include "RKScMmcDetails.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pbData, std::size_t nLength)
{
    RKScSpeeds stSpeeds = RKScParseWriteSpeeds(pbData, nLength);
    if (stSpeeds.bOk && 8 + 16 * stSpeeds.nDescriptors > nLength)
        __builtin_trap();
    if (stSpeeds.nDescriptors == 0 && (stSpeeds.dwMaxReadKbps != RKSC_UNKNOWN || stSpeeds.dwMaxWriteKbps != RKSC_UNKNOWN))
        __builtin_trap();
    if (stSpeeds.dwMaxReadKbps == 0 || stSpeeds.dwMaxWriteKbps == 0)
        __builtin_trap();
    return 0;
}
