#include "RKToolDrive.h"

#include <cstddef>
#include <iterator>

#include "RKSystemEngine.h"
#include "RKToolEngineCall.h"
#include "RKToolText.h"

namespace
{
// The library's named codes, in the order of the system engine's
// supported-media bits (bit n names the code at position n).
const DWORD s_adwNamedCodes[] = {
    RKMEDIA_CD,      RKMEDIA_CD_R,       RKMEDIA_CD_RW,       RKMEDIA_DVD,      RKMEDIA_DVD_R,
    RKMEDIA_DVD_RW,  RKMEDIA_DVD_PLUS_R, RKMEDIA_DVD_PLUS_RW, RKMEDIA_DVD_R_DL, RKMEDIA_DVD_PLUS_R_DL,
    RKMEDIA_DVD_RAM, RKMEDIA_BD_ROM,     RKMEDIA_BD_R,        RKMEDIA_BD_RE,
};

const DWORD s_adwSupportBits[] = {
    RKSC_SUPPORTS_CD,       RKSC_SUPPORTS_CD_R,          RKSC_SUPPORTS_CD_RW,      RKSC_SUPPORTS_DVD,
    RKSC_SUPPORTS_DVD_R,    RKSC_SUPPORTS_DVD_RW,        RKSC_SUPPORTS_DVD_PLUS_R, RKSC_SUPPORTS_DVD_PLUS_RW,
    RKSC_SUPPORTS_DVD_R_DL, RKSC_SUPPORTS_DVD_PLUS_R_DL, RKSC_SUPPORTS_DVD_RAM,    RKSC_SUPPORTS_BD_ROM,
    RKSC_SUPPORTS_BD_R,     RKSC_SUPPORTS_BD_RE,
};

static_assert(sizeof(s_adwNamedCodes) == sizeof(s_adwSupportBits), "one support bit per named code");

// The row of the writer at dwIndex, with what the writer itself holds; a
// placeholder when there is none.
RKToolDriveRow IdentityRow(CRKWriter* pWriter, DWORD dwIndex)
{
    RKToolDriveRow stRow;
    stRow.dwIndex = dwIndex;
    if (!pWriter)
    {
        stRow.bPlaceholder = true;
        return stRow;
    }
    stRow.wLetter = pWriter->GetDriveLetter();
    stRow.strModel = RKToolUtf8(pWriter->GetModelName());
    stRow.dwSupportedMedia = pWriter->GetSupportedMedia();
    return stRow;
}
} // namespace

RKToolDriveRow RKToolReadDrive(CRKDRVManager* pManager, DWORD dwIndex, bool bQueryMedia)
{
    CRKWriter* pWriter = pManager->GetWriter(dwIndex);
    RKToolDriveRow stRow = IdentityRow(pWriter, dwIndex);
    if (pWriter && bQueryMedia)
    {
        stRow.bMediaKnown = true;
        stRow.bDisc = RKToolEngineCall("IsMediaIn", stRow.wLetter, [&] { return pWriter->IsMediaIn(); }) != 0;
        // What an engine reports for an empty drive is its own affair.
        if (stRow.bDisc)
        {
            RKMediaInfo stInfo =
                RKToolEngineCall("GetMediaInfo", stRow.wLetter, [&] { return pWriter->GetMediaInfo(); });
            stRow.dwMediaType = stInfo.dwMediaType;
            stRow.dwDiscType = stInfo.dwDiscType;
        }
    }
    return stRow;
}

std::vector<RKToolDriveRow> RKToolReadDrives(CRKDRVManager* pManager, bool bQueryMedia)
{
    std::vector<RKToolDriveRow> vecRows;
    int nCount = pManager->GetNbWriter();
    for (int i = 0; i < nCount; ++i)
        vecRows.push_back(RKToolReadDrive(pManager, static_cast<DWORD>(i), bQueryMedia));
    return vecRows;
}

RKToolDriveRow RKToolDriveWithMedia(CRKWriter* pWriter, DWORD dwIndex, const RKMediaInfo& stInfo)
{
    RKToolDriveRow stRow = IdentityRow(pWriter, dwIndex);
    if (!pWriter)
        return stRow;
    stRow.bMediaKnown = true;
    stRow.bDisc = true;
    stRow.dwMediaType = stInfo.dwMediaType;
    stRow.dwDiscType = stInfo.dwDiscType;
    return stRow;
}

std::string RKToolMediaName(DWORD dwMediaType)
{
    RKMediaInfo stInfo;
    stInfo.dwMediaType = dwMediaType;
    stInfo.dwDiscType = 0;
    return RKToolUtf8(stInfo.GetMediaType());
}

const std::vector<DWORD>& RKToolNamedMediaCodes()
{
    static const std::vector<DWORD> s_vecCodes(std::begin(s_adwNamedCodes), std::end(s_adwNamedCodes));
    return s_vecCodes;
}

bool RKToolFindMediaType(const std::string& strName, DWORD& dwMediaType)
{
    std::string strWanted = RKToolUpper(strName);
    for (DWORD dwCode : RKToolNamedMediaCodes())
    {
        if (RKToolUpper(RKToolMediaName(dwCode)) == strWanted)
        {
            dwMediaType = dwCode;
            return true;
        }
    }
    return false;
}

std::string RKToolMediaNameList()
{
    std::string strList;
    for (DWORD dwCode : RKToolNamedMediaCodes())
        strList += (strList.empty() ? "" : ", ") + RKToolMediaName(dwCode);
    return strList;
}

std::vector<std::string> RKToolSupportedMediaNames(DWORD dwSupportedMedia)
{
    std::vector<std::string> vecNames;
    for (std::size_t i = 0; i < sizeof(s_adwSupportBits) / sizeof(s_adwSupportBits[0]); ++i)
    {
        if (dwSupportedMedia & s_adwSupportBits[i])
            vecNames.push_back(RKToolMediaName(s_adwNamedCodes[i]));
    }
    return vecNames;
}

std::string RKToolDiscStateName(DWORD dwDiscType)
{
    switch (dwDiscType)
    {
    case RKSC_DISC_NONE:
        return "none";
    case RKSC_DISC_BLANK:
        return "blank";
    case RKSC_DISC_APPENDABLE:
        return "appendable";
    case RKSC_DISC_COMPLETE:
        return "complete";
    case RKSC_DISC_OTHER:
        return "other";
    default:
        return "";
    }
}
