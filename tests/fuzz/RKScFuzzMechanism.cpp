// MECHANISM STATUS answers of any shape.
#include <cstdint>

#include "RKScMmcDetails.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pbData, std::size_t nLength)
{
    RKScMechanism stMechanism = RKScParseMechanismStatus(pbData, nLength);
    if (stMechanism.bOk != (nLength >= 8) || (stMechanism.bDoorOpen && !stMechanism.bOk))
        __builtin_trap();
    return 0;
}
