// The kernel's device events of any shape.
#include <cstdint>

#include "RKScUevent.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pbData, std::size_t nLength)
{
    RKScUevent stEvent = RKScParseUevent(pbData, nLength);
    // Nothing but a whole header and fields read from the bytes given.
    bool bSaid = !stEvent.strAction.empty() || !stEvent.strDevName.empty() || stEvent.bMediaChange ||
                 stEvent.bEjectRequest;
    if (stEvent.bOk ? (!stEvent.strProblem.empty() || stEvent.strAction.empty() ||
                       stEvent.strDevName.size() >= nLength || stEvent.strSubsystem.size() >= nLength)
                    : (stEvent.strProblem.empty() || bSaid))
        __builtin_trap();
    return 0;
}
