#include "RKToolDrive.h"

#include <cstddef>
#include <iterator>

#include "RKToolEngineCall.h"
#include "RKToolText.h"

namespace
{
// The library's named codes, in its own order.
const DWORD s_adwNamedCodes[] = {
    RKMEDIA_CD,      RKMEDIA_CD_R,       RKMEDIA_CD_RW,       RKMEDIA_DVD,      RKMEDIA_DVD_R,
    RKMEDIA_DVD_RW,  RKMEDIA_DVD_PLUS_R, RKMEDIA_DVD_PLUS_RW, RKMEDIA_DVD_R_DL, RKMEDIA_DVD_PLUS_R_DL,
    RKMEDIA_DVD_RAM, RKMEDIA_BD_ROM,     RKMEDIA_BD_R,        RKMEDIA_BD_RE,
};

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

RKToolDriveRow RKToolReadDrive(CRKDRVManager* pManager, DWORD dwIndex, bool bQueryMedia, bool bTray)
{
    CRKWriter* pWriter = pManager->GetWriter(dwIndex);
    RKToolDriveRow stRow = IdentityRow(pWriter, dwIndex);
    if (pWriter && bQueryMedia)
    {
        stRow.bMediaKnown = true;
        stRow.bDisc = RKToolEngineCall("IsMediaIn", stRow.wLetter, [&] { return pWriter->IsMediaIn(); }) != 0;
        stRow.stDetails =
            RKToolReadDetails(pWriter, RKTOOL_DETAILS_DRIVE | (stRow.bDisc ? RKTOOL_DETAILS_DISC : 0) |
                                           (bTray ? RKTOOL_DETAILS_TRAY : 0));
        // What an engine reports for an empty drive is its own affair. The
        // disc's details hold the whole media record: the drive is not
        // asked twice.
        const RKDiscDetails& stDisc = stRow.stDetails.stDisc;
        if (stRow.bDisc && stRow.stDetails.HasDisc() && stDisc.dwMediaType != RKDETAILS_UNKNOWN &&
            stDisc.dwDiscType != RKDETAILS_UNKNOWN)
        {
            stRow.dwMediaType = stDisc.dwMediaType;
            stRow.dwDiscType = stDisc.dwDiscType;
        }
        else if (stRow.bDisc)
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
    stRow.stDetails = RKToolReadDetails(pWriter, RKTOOL_DETAILS_DRIVE | RKTOOL_DETAILS_DISC);
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
