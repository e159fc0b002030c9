// GET EVENT STATUS NOTIFICATION answers of any shape.
#include <cstdint>

#include "RKScMmc.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pbData, std::size_t nLength)
{
    RKScMediaEvent stEvent = RKScParseMediaEvent(pbData, nLength);
    if (stEvent.bOk && (nLength < 6 || stEvent.bEventCode > 15 || !stEvent.strProblem.empty()))
        __builtin_trap();
    return 0;
}
