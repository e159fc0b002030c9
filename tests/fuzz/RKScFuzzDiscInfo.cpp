// READ DISC INFORMATION answers of any shape, read for the state alone and
// for the layout: the two agree, and the numbers come from whole answers.
#include <cstdint>

#include "RKSystemEngine.h"
#include "RKScMmcDetails.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pbData, std::size_t nLength)
{
    RKScDiscInfo stInfo = RKScParseDiscInfo(pbData, nLength);
    if (stInfo.bOk && (nLength < 3 || stInfo.bDiscStatus > 3))
        __builtin_trap();
    DWORD dwState = RKScDiscStateOfStatus(stInfo.bDiscStatus);
    if (dwState < RKSC_DISC_BLANK || dwState > RKSC_DISC_OTHER)
        __builtin_trap();
    RKScDiscLayout stLayout = RKScParseDiscLayout(pbData, nLength);
    if (stLayout.bOk != stInfo.bOk || (stLayout.bOk && stLayout.bDiscStatus != stInfo.bDiscStatus))
        __builtin_trap();
    if (stLayout.bLastSession > 3 || (stLayout.bCounts && (!stLayout.bOk || nLength < 12)))
        __builtin_trap();
    if (!stLayout.bCounts && stLayout.dwSessions != RKSC_UNKNOWN)
        __builtin_trap();
    return 0;
}
