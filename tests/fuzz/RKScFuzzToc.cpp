// READ TOC answers of any shape: only a whole full table, with point A0h
// among the descriptors that arrived, counts as one.
#include <cstdint>

#include "RKScMmc.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pbData, std::size_t nLength)
{
    if (!RKScIsFullToc(pbData, nLength))
        return 0;
    std::size_t nAnnounced = static_cast<std::size_t>((pbData[0] << 8) | pbData[1]) + 2;
    if (nLength < 15 || (nAnnounced - 4) % 11 != 0)
        __builtin_trap();
    bool bPoint = false;
    for (std::size_t nAt = 4; nAt + 11 <= nLength && nAt + 11 <= nAnnounced; nAt += 11)
        bPoint = bPoint || pbData[nAt + 3] == 0xA0;
    if (!bPoint)
        __builtin_trap();
    return 0;
}
