#include "RKToolDrive.h"

#include <cstddef>
#include <iterator>

#include "RKToolEngineCall.h"
#include "RKToolText.h"

namespace
{
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
    stRow.strModel = RKTextToUtf8(pWriter->GetModelName());
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
    for (const RKMediaName& stName : g_aRKMediaNames)
    {
        if (stName.dwMediaType == dwMediaType)
            return stName.szName;
    }
    return std::string();
}

bool RKToolFindMediaType(const std::string& strName, DWORD& dwMediaType)
{
    for (const RKMediaName& stName : g_aRKMediaNames)
    {
        if (RKToolUpper(stName.szName) == RKToolUpper(strName))
        {
            dwMediaType = stName.dwMediaType;
            return true;
        }
    }
    return false;
}

std::string RKToolMediaNameList()
{
    std::string strList;
    for (const RKMediaName& stName : g_aRKMediaNames)
        strList += (strList.empty() ? "" : ", ") + std::string(stName.szName);
    return strList;
}
