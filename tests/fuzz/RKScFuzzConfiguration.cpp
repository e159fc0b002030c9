// GET CONFIGURATION answers of any shape: the profiles come from inside the
// answer, and media codes and support bits follow from them.
#include <cstdint>

#include "RKSystemEngine.h"
#include "RKScMmc.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pbData, std::size_t nLength)
{
    RKScConfiguration stConfig = RKScParseConfiguration(pbData, nLength);
    if (stConfig.bHeader && nLength < 8)
        __builtin_trap();
    if (12 + 4 * stConfig.vecProfiles.size() > (stConfig.vecProfiles.empty() ? 12 : nLength))
        __builtin_trap();
    DWORD dwMedia = RKScMediaOfProfile(stConfig.wCurrentProfile);
    if (stConfig.wCurrentProfile == 0 ? dwMedia != RKSC_MEDIA_NONE : dwMedia == RKSC_MEDIA_NONE)
        __builtin_trap();
    if (RKScSupportedMediaOfProfiles(stConfig.vecProfiles) & ~0x3FFFFFu)
        __builtin_trap();
    return 0;
}
