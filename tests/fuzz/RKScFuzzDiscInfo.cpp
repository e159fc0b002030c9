// READ DISC INFORMATION answers of any shape.
#include <cstdint>

#include "RKSystemEngine.h"
#include "RKScMmc.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pbData, std::size_t nLength)
{
    RKScDiscInfo stInfo = RKScParseDiscInfo(pbData, nLength);
    if (stInfo.bOk && (nLength < 3 || stInfo.bDiscStatus > 3))
        __builtin_trap();
    DWORD dwState = RKScDiscStateOfStatus(stInfo.bDiscStatus);
    if (dwState < RKSC_DISC_BLANK || dwState > RKSC_DISC_OTHER)
        __builtin_trap();
    return 0;
}
