// MODE SENSE answers of any shape read as the capabilities page.
#include <cstdint>

#include "RKScMmcDetails.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pbData, std::size_t nLength)
{
    RKScCapabilities stCaps = RKScParseCapabilities(pbData, nLength);
    // The mechanism byte is the page's seventh, after the 8-byte header.
    if (stCaps.bOk && (nLength < 15 || stCaps.bLoading > 7 || !stCaps.strProblem.empty()))
        __builtin_trap();
    for (DWORD dwValue : {stCaps.dwMaxReadKbps, stCaps.dwMaxWriteKbps, stCaps.dwBufferKiB})
    {
        if (dwValue != RKSC_UNKNOWN && (!stCaps.bOk || dwValue == 0 || dwValue > 0xFFFF))
            __builtin_trap();
    }
    return 0;
}
