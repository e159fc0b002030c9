// READ CAPACITY answers of any shape: a capacity is never 0 blocks of 0
// bytes passed off as a value.
#include <cstdint>

#include "RKScMmcDetails.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pbData, std::size_t nLength)
{
    RKScCapacity stCapacity = RKScParseCapacity(pbData, nLength);
    if (stCapacity.bOk && (nLength < 8 || stCapacity.dwBlocks == 0 || stCapacity.dwBlockLength == 0 ||
                           stCapacity.dwBlocks == RKSC_UNKNOWN))
        __builtin_trap();
    if (!stCapacity.bOk && (stCapacity.dwBlocks != RKSC_UNKNOWN || stCapacity.strProblem.empty()))
        __builtin_trap();
    return 0;
}
