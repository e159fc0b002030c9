#include "RKToolDetails.h"

#include <algorithm>

#include "RKToolDrive.h"

RKToolDetails RKToolReadDetails(CRKWriter* pWriter, int nParts)
{
    RKToolDetails stDetails;
    stDetails.bOffered = RKDRV::GetWriterDetails(pWriter) != nullptr;
    if (!stDetails.bOffered)
        return stDetails;
    if (nParts & RKTOOL_DETAILS_TRAY)
    {
        stDetails.stTray.cbSize = sizeof(stDetails.stTray);
        stDetails.bTray = RKDRV::GetTrayState(pWriter, stDetails.stTray) != 0;
    }
    if (nParts & RKTOOL_DETAILS_DRIVE)
    {
        stDetails.stDrive.cbSize = sizeof(stDetails.stDrive);
        stDetails.bDrive = RKDRV::GetDriveDetails(pWriter, stDetails.stDrive) != 0;
    }
    if (nParts & RKTOOL_DETAILS_DISC)
    {
        stDetails.bDiscAsked = true;
        stDetails.stDisc.cbSize = sizeof(stDetails.stDisc);
        stDetails.bDisc = RKDRV::GetDiscDetails(pWriter, stDetails.stDisc) != 0;
    }
    return stDetails;
}

bool RKToolProfilesKnown(const RKDriveDetails& stDrive)
{
    return stDrive.dwProfileCount != RKDETAILS_UNKNOWN;
}

std::vector<std::string> RKToolProfileMediaNames(const RKDriveDetails& stDrive)
{
    std::vector<DWORD> vecCodes;
    if (RKToolProfilesKnown(stDrive))
    {
        DWORD dwCount = std::min<DWORD>(stDrive.dwProfileCount, RKDETAILS_MAX_PROFILES);
        for (DWORD i = 0; i < dwCount; ++i)
            vecCodes.push_back(RKDRV::GetMediaTypeOfProfile(stDrive.awProfiles[i]));
    }
    std::vector<std::string> vecNames;
    for (const RKMediaName& stName : g_aRKMediaNames)
    {
        if (std::find(vecCodes.begin(), vecCodes.end(), stName.dwMediaType) != vecCodes.end())
            vecNames.push_back(stName.szName);
    }
    return vecNames;
}

std::string RKToolDiscStateName(DWORD dwState)
{
    switch (dwState)
    {
    case RKDISC_STATE_BLANK:
        return "blank";
    case RKDISC_STATE_APPENDABLE:
        return "appendable";
    case RKDISC_STATE_COMPLETE:
        return "complete";
    case RKDISC_STATE_OTHER:
        return "other";
    default:
        return "";
    }
}

std::string RKToolSessionStateName(DWORD dwState)
{
    switch (dwState)
    {
    case RKSESSION_EMPTY:
        return "empty";
    case RKSESSION_INCOMPLETE:
        return "incomplete";
    case RKSESSION_DAMAGED:
        return "damaged";
    case RKSESSION_COMPLETE:
        return "complete";
    default:
        return "";
    }
}

std::string RKToolInterfaceName(DWORD dwInterface)
{
    switch (dwInterface)
    {
    case RKINTERFACE_UNSPECIFIED:
        return "unspecified";
    case RKINTERFACE_SCSI:
        return "SCSI";
    case RKINTERFACE_ATAPI:
        return "ATAPI";
    case RKINTERFACE_IEEE1394_1995:
        return "IEEE 1394-1995";
    case RKINTERFACE_IEEE1394A:
        return "IEEE 1394A";
    case RKINTERFACE_FIBRE_CHANNEL:
        return "Fibre Channel";
    case RKINTERFACE_IEEE1394B:
        return "IEEE 1394B";
    case RKINTERFACE_SERIAL_ATAPI:
        return "Serial ATAPI";
    case RKINTERFACE_USB:
        return "USB";
    case RKINTERFACE_VENDOR_UNIQUE:
        return "vendor unique";
    default:
        return "";
    }
}

std::string RKToolLoadingName(DWORD dwLoading)
{
    switch (dwLoading)
    {
    case RKLOADING_CADDY_OR_SLOT:
        return "slot or caddy";
    case RKLOADING_TRAY:
        return "tray";
    case RKLOADING_POPUP:
        return "pop-up";
    case RKLOADING_CHANGER:
        return "changer";
    case RKLOADING_MAGAZINE:
        return "magazine";
    default:
        return "";
    }
}
