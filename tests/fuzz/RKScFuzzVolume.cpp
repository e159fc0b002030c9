// Blocks of any content read as an ISO 9660 primary volume descriptor: a
// label only from a descriptor, printable and without blanks around it.
#include <cstdint>

#include "RKScMmcDetails.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pbData, std::size_t nLength)
{
    RKScVolume stVolume = RKScParsePrimaryVolume(pbData, nLength);
    if (!stVolume.bOk && !stVolume.strLabel.empty())
        __builtin_trap();
    if (stVolume.strLabel.size() > 32 ||
        (!stVolume.strLabel.empty() && (stVolume.strLabel.front() == ' ' || stVolume.strLabel.back() == ' ')))
        __builtin_trap();
    for (char c : stVolume.strLabel)
    {
        if (c < 0x20 || c > 0x7E)
            __builtin_trap();
    }
    return 0;
}
