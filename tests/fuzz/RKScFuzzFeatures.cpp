// GET CONFIGURATION answers of any shape walked feature by feature: every
// descriptor lies inside the answer, only the last one may come cut, and
// the removable medium feature is read from whatever arrived of it.
#include <cstdint>

#include "RKScMmc.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pbData, std::size_t nLength)
{
    RKScFeatureList stList = RKScParseFeatures(pbData, nLength);
    if (!stList.bHeader && !stList.vecFeatures.empty())
        __builtin_trap();
    std::size_t nEnd = 8;
    for (std::size_t i = 0; i < stList.vecFeatures.size(); ++i)
    {
        const RKScFeature& stFeature = stList.vecFeatures[i];
        if (stFeature.vecData.size() > stFeature.bAnnounced ||
            stFeature.bCut != (stFeature.vecData.size() < stFeature.bAnnounced))
            __builtin_trap();
        if (stFeature.bCut && (i + 1 != stList.vecFeatures.size() || !stList.bCut))
            __builtin_trap();
        nEnd += 4 + stFeature.vecData.size();
        RKScRemovableMedium stMedium = RKScParseRemovableMedium(stFeature);
        if (stMedium.bOk != (stFeature.wCode == RKSC_FEATURE_REMOVABLE_MEDIUM && !stFeature.vecData.empty()))
            __builtin_trap();
        if (stMedium.bLoading > 7 || (stMedium.bLoad && !stMedium.bLoadKnown))
            __builtin_trap();
    }
    if (nEnd > (stList.vecFeatures.empty() ? 8 : nLength))
        __builtin_trap();
    return 0;
}
