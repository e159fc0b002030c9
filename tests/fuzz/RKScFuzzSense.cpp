// Sense data of any shape, and its description.
#include <cstdint>
#include <string>

#include "RKScMmc.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pbData, std::size_t nLength)
{
    RKScSense stSense = RKScParseSense(pbData, nLength);
    if (stSense.bKey > 15 || (stSense.bCodes && !stSense.bValid) || (stSense.bValid && nLength < 2))
        __builtin_trap();
    std::string strText = RKScDescribeSense(stSense);
    if (strText.empty() || strText.size() > 16)
        __builtin_trap();
    RKScSenseBecomingReady(stSense);
    RKScSenseNoMedium(stSense);
    RKScSenseUnitAttention(stSense);
    return 0;
}
