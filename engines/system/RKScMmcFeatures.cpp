// The feature descriptors of a GET CONFIGURATION answer, and the features
// this engine reads from them. Like every parser here, it reads only bytes
// below nLength and below every length field it has checked against it.
#include <algorithm>
#include <cstdio>

#include "RKScMmc.h"

namespace
{
const std::size_t s_nHeader = 8;
const std::size_t s_nDescriptorHeader = 4;

std::uint64_t Long(const std::uint8_t* pbAt)
{
    return (static_cast<std::uint64_t>(pbAt[0]) << 24) | (static_cast<std::uint64_t>(pbAt[1]) << 16) |
           (static_cast<std::uint64_t>(pbAt[2]) << 8) | pbAt[3];
}
} // namespace

RKScFeatureList RKScParseFeatures(const std::uint8_t* pbData, std::size_t nLength)
{
    RKScFeatureList stList = {false, 0, 0, false, std::vector<RKScFeature>(), std::string()};
    if (!pbData)
        nLength = 0;
    if (nLength >= 4)
        stList.ullAnnounced = Long(pbData) + 4;
    if (nLength < s_nHeader)
    {
        stList.strProblem =
            "answer of " + std::to_string(nLength) + " bytes is shorter than the 8-byte header";
        return stList;
    }
    if (stList.ullAnnounced < s_nHeader)
    {
        stList.strProblem =
            "header announces " + std::to_string(stList.ullAnnounced) + " bytes, fewer than its own 8";
        return stList;
    }
    stList.bHeader = true;
    stList.wCurrentProfile = static_cast<WORD>((pbData[6] << 8) | pbData[7]);
    // Bytes past the announced length are the drive's padding, not features.
    std::size_t nAvailable = static_cast<std::size_t>(std::min<std::uint64_t>(nLength, stList.ullAnnounced));
    stList.bCut = stList.ullAnnounced > nLength;

    std::size_t nAt = s_nHeader;
    while (nAt < nAvailable)
    {
        if (nAvailable - nAt < s_nDescriptorHeader)
        {
            stList.bCut = true;
            break;
        }
        const std::uint8_t* pbAt = pbData + nAt;
        RKScFeature stFeature;
        stFeature.wCode = static_cast<WORD>((pbAt[0] << 8) | pbAt[1]);
        stFeature.bVersion = static_cast<std::uint8_t>((pbAt[2] >> 2) & 0x0F);
        stFeature.bPersistent = (pbAt[2] & 0x02) != 0;
        stFeature.bCurrent = (pbAt[2] & 0x01) != 0;
        stFeature.bAnnounced = pbAt[3];
        std::size_t nData = std::min<std::size_t>(pbAt[3], nAvailable - nAt - s_nDescriptorHeader);
        stFeature.bCut = nData < pbAt[3];
        stFeature.vecData.assign(pbAt + s_nDescriptorHeader, pbAt + s_nDescriptorHeader + nData);
        stList.vecFeatures.push_back(std::move(stFeature));
        if (stList.vecFeatures.back().bCut)
        {
            stList.bCut = true;
            break;
        }
        nAt += s_nDescriptorHeader + nData;
    }
    return stList;
}

const RKScFeature* RKScFindFeature(const RKScFeatureList& stList, WORD wCode)
{
    for (const RKScFeature& stFeature : stList.vecFeatures)
    {
        if (stFeature.wCode == wCode)
            return &stFeature;
    }
    return nullptr;
}

RKScRemovableMedium RKScParseRemovableMedium(const RKScFeature& stFeature)
{
    RKScRemovableMedium stMedium = {false, 0, false, false, false, false, std::string()};
    if (stFeature.wCode != RKSC_FEATURE_REMOVABLE_MEDIUM)
    {
        char szText[64];
        std::snprintf(szText, sizeof(szText), "feature %04Xh is not the removable medium", stFeature.wCode);
        stMedium.strProblem = szText;
        return stMedium;
    }
    if (stFeature.vecData.empty())
    {
        stMedium.strProblem = "removable medium feature without its data";
        return stMedium;
    }
    std::uint8_t bFlags = stFeature.vecData[0];
    stMedium.bOk = true;
    stMedium.bLoading = static_cast<std::uint8_t>(bFlags >> 5);
    stMedium.bEject = (bFlags & 0x08) != 0;
    stMedium.bLock = (bFlags & 0x01) != 0;
    // The load bit was defined with version 2; before it the bit is reserved.
    stMedium.bLoadKnown = stFeature.bVersion >= 2;
    stMedium.bLoad = stMedium.bLoadKnown && (bFlags & 0x10) != 0;
    return stMedium;
}

bool RKScHasTray(const RKScRemovableMedium& stMedium)
{
    return stMedium.bOk && stMedium.bLoading != RKSC_LOADING_CADDY_OR_SLOT;
}
