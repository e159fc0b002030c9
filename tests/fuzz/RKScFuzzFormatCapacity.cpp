// READ FORMAT CAPACITIES answers of any shape.
#include <cstdint>

#include "RKScMmcDetails.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pbData, std::size_t nLength)
{
    RKScFormatCapacity stCapacity = RKScParseFormatCapacity(pbData, nLength);
    if (stCapacity.bOk && (nLength < 12 || stCapacity.bType > 3 || stCapacity.dwBlockLength > 0xFFFFFF))
        __builtin_trap();
    if (!stCapacity.bOk && stCapacity.dwBlocks != RKSC_UNKNOWN)
        __builtin_trap();
    return 0;
}
