// The medium in a drive: whether one is there and ready, and which it is,
// from the current profile where the drive gives one and from its disc
// information and table of contents where it does not.
#include <algorithm>

#include "RKScDriveQuery.h"
#include "RKSystemEngine.h"
#include "RKScTrace.h"

namespace
{
void TraceCommandError(const std::string& strDevice, const char* szCommand, const std::string& strProblem)
{
    RKScTraceError(strDevice + ": " + szCommand + ": " + strProblem);
}

RKMediaInfo Media(DWORD dwMedia, DWORD dwDisc)
{
    RKMediaInfo stInfo;
    stInfo.dwMediaType = dwMedia;
    stInfo.dwDiscType = dwDisc;
    return stInfo;
}

RKScMediumState StateOfSystem(RKScDriveStatus eSystem)
{
    switch (eSystem)
    {
    case RKSC_STATUS_DISC_OK:
        return RKSC_MEDIUM_READY;
    case RKSC_STATUS_BECOMING_READY:
        return RKSC_MEDIUM_BUSY;
    case RKSC_STATUS_NO_DISC:
    case RKSC_STATUS_TRAY_OPEN:
        return RKSC_MEDIUM_NONE;
    default:
        return RKSC_MEDIUM_UNKNOWN;
    }
}

// What READ DISC INFORMATION says of the disc. bNoMedium: the drive said
// it has none (taken out meanwhile).
struct RKScDiscReading
{
    bool bOk = false;
    bool bNoMedium = false;
    RKScDiscInfo stDisc = {};
};

RKScDiscReading ReadDisc(CRKScDevice& device, const std::string& strDevice)
{
    RKScDiscReading stReading;
    std::uint8_t abDisc[RKSC_DISC_INFO_READ] = {};
    RKScReply stReply =
        RKScSend(device, RKScReadDiscInformationCdb(RKSC_DISC_INFO_READ), abDisc, sizeof(abDisc));
    if (stReply.eStatus == RKSC_COMMAND_CHECK_CONDITION && RKScSenseNoMedium(stReply.stSense))
    {
        stReading.bNoMedium = true;
        return stReading;
    }
    if (stReply.eStatus != RKSC_COMMAND_GOOD)
    {
        if (stReply.eStatus != RKSC_COMMAND_GONE)
            TraceCommandError(strDevice, "READ DISC INFORMATION", RKScDescribeReply(stReply));
        return stReading;
    }
    stReading.stDisc = RKScParseDiscInfo(abDisc, stReply.nTransferred);
    stReading.bOk = stReading.stDisc.bOk;
    if (!stReading.bOk)
        TraceCommandError(strDevice, "READ DISC INFORMATION", stReading.stDisc.strProblem);
    return stReading;
}

RKMediaInfo WithDiscState(CRKScDevice& device, const std::string& strDevice, DWORD dwMedia, WORD& wProfile)
{
    RKScDiscReading stReading = ReadDisc(device, strDevice);
    if (stReading.bNoMedium || !device.m_strGone.empty())
    {
        wProfile = 0;
        return Media(RKSC_MEDIA_NONE, RKSC_DISC_NONE);
    }
    return Media(dwMedia,
                 stReading.bOk ? RKScDiscStateOfStatus(stReading.stDisc.bDiscStatus) : RKSC_DISC_OTHER);
}

// A medium in a drive that gives no current profile for it. Only CDs have
// a full table of contents: with one, the disc information tells a
// pressed CD from a recordable and a rewritable one. Without one, a drive
// too old to know GET CONFIGURATION (bOlderDrive) reads its other media by
// their plain table of tracks, which makes them DVDs; any other drive
// reports a medium that cannot be told.
RKMediaInfo Classify(CRKScDevice& device, const std::string& strDevice, bool bOlderDrive)
{
    RKScDiscReading stReading = ReadDisc(device, strDevice);
    if (stReading.bNoMedium)
        return Media(RKSC_MEDIA_NONE, RKSC_DISC_NONE);
    DWORD dwDisc = stReading.bOk ? RKScDiscStateOfStatus(stReading.stDisc.bDiscStatus) : RKSC_DISC_OTHER;

    std::uint8_t abToc[RKSC_TOC_READ] = {};
    RKScReply stReply = RKScSend(device, RKScReadTocCdb(RKSC_TOC_FULL, RKSC_TOC_READ), abToc, sizeof(abToc));
    if (stReply.eStatus == RKSC_COMMAND_CHECK_CONDITION && RKScSenseNoMedium(stReply.stSense))
        return Media(RKSC_MEDIA_NONE, RKSC_DISC_NONE);
    if (stReply.eStatus == RKSC_COMMAND_GOOD && RKScIsFullToc(abToc, stReply.nTransferred))
    {
        DWORD dwMedia = RKMEDIA_CD;
        if (stReading.bOk && stReading.stDisc.bErasable)
            dwMedia = RKMEDIA_CD_RW;
        else if (dwDisc == RKSC_DISC_BLANK || dwDisc == RKSC_DISC_APPENDABLE)
            dwMedia = RKMEDIA_CD_R;
        RKScTraceInfo(strDevice + ": no current profile: a CD by its full table of contents");
        return Media(dwMedia, dwDisc);
    }
    if (bOlderDrive && stReply.eStatus == RKSC_COMMAND_CHECK_CONDITION)
    {
        std::uint8_t abTracks[12] = {};
        stReply =
            RKScSend(device, RKScReadTocCdb(RKSC_TOC_TRACKS, sizeof(abTracks)), abTracks, sizeof(abTracks));
        if (stReply.eStatus == RKSC_COMMAND_GOOD && stReply.nTransferred >= sizeof(abTracks))
        {
            RKScTraceInfo(strDevice +
                          ": no current profile: a DVD, with tracks but no full table of contents");
            return Media(RKMEDIA_DVD, dwDisc);
        }
    }
    if (!device.m_strGone.empty())
        return Media(RKSC_MEDIA_NONE, RKSC_DISC_NONE);
    RKScTraceInfo(strDevice + ": no current profile: a medium that cannot be told");
    return Media(RKSC_MEDIA_UNKNOWN, dwDisc);
}
} // namespace

RKScMediumState RKScQueryMediumState(CRKScDevice& device, RKScDriveStatus eSystem)
{
    // Where the system keeps a view, it has asked the drive itself (its
    // "no disc" includes the media event's status); only its "ready" is
    // asked again, since it also stands for a disc still being loaded.
    if (eSystem == RKSC_STATUS_BECOMING_READY || eSystem == RKSC_STATUS_NO_DISC ||
        eSystem == RKSC_STATUS_TRAY_OPEN)
        return StateOfSystem(eSystem);
    RKScReply stReady = RKScSend(device, RKScTestUnitReadyCdb(), nullptr, 0);
    if (stReady.eStatus == RKSC_COMMAND_GOOD)
        return RKSC_MEDIUM_READY;
    if (stReady.eStatus != RKSC_COMMAND_CHECK_CONDITION)
        return StateOfSystem(eSystem);
    // Loading, formatting or writing; or an event (a medium that just
    // changed) that the drive still reports after the retries.
    if (RKScSenseMediumBusy(stReady.stSense) || RKScSenseUnitAttention(stReady.stSense))
        return RKSC_MEDIUM_BUSY;
    // Not ready for another reason: the media event's status says whether
    // a medium is in. Some drives report a new medium there before TEST
    // UNIT READY says anything but "no medium".
    std::uint8_t abEvent[RKSC_MEDIA_EVENT_READ] = {};
    RKScReply stEvent = RKScSend(device, RKScMediaEventCdb(RKSC_MEDIA_EVENT_READ), abEvent, sizeof(abEvent));
    if (stEvent.eStatus == RKSC_COMMAND_GOOD)
    {
        RKScMediaEvent stMedia = RKScParseMediaEvent(abEvent, stEvent.nTransferred);
        if (stMedia.bOk)
            return stMedia.bMediaPresent || stMedia.bEventCode == RKSC_MEDIA_EVENT_NEW_MEDIA
                       ? RKSC_MEDIUM_BUSY
                       : RKSC_MEDIUM_NONE;
    }
    return RKScSenseNoMedium(stReady.stSense) ? RKSC_MEDIUM_NONE : StateOfSystem(eSystem);
}

RKMediaInfo RKScQueryMedia(CRKScDevice& device, const std::string& strDevice, WORD& wProfile)
{
    wProfile = 0;
    for (int nTry = 0;; ++nTry)
    {
        // Each problem is traced once, not at every try.
        bool bTrace = nTry == 0;
        // The header alone carries the current profile.
        std::uint8_t abConfig[RKSC_CURRENT_PROFILE_READ] = {};
        RKScReply stReply =
            RKScSend(device, RKScGetConfigurationCdb(RKSC_RT_ONE, 0, RKSC_CURRENT_PROFILE_READ), abConfig,
                     sizeof(abConfig));
        if (stReply.eStatus != RKSC_COMMAND_GOOD && stReply.eStatus != RKSC_COMMAND_CHECK_CONDITION)
        {
            // No answer: the system's own view is all there is.
            if (stReply.eStatus != RKSC_COMMAND_GONE)
                TraceCommandError(strDevice, "GET CONFIGURATION", RKScDescribeReply(stReply));
            bool bIn = stReply.eStatus == RKSC_COMMAND_FAILED && !device.m_bUnanswered &&
                       device.GetDriveStatus() == RKSC_STATUS_DISC_OK;
            return bIn ? Media(RKSC_MEDIA_UNKNOWN, RKSC_DISC_OTHER) : Media(RKSC_MEDIA_NONE, RKSC_DISC_NONE);
        }
        bool bProfileZero = false;
        bool bOlderDrive = false;
        RKScMediumState eState = RKSC_MEDIUM_UNKNOWN;
        if (stReply.eStatus == RKSC_COMMAND_GOOD)
        {
            RKScConfiguration stConfig = RKScParseConfiguration(abConfig, stReply.nTransferred);
            if (stConfig.bHeader && stConfig.wCurrentProfile != 0)
            {
                wProfile = stConfig.wCurrentProfile;
                return WithDiscState(device, strDevice, RKScMediaOfProfile(wProfile), wProfile);
            }
            bProfileZero = stConfig.bHeader;
            if (!stConfig.bHeader && bTrace)
                TraceCommandError(strDevice, "GET CONFIGURATION", stConfig.strProblem);
        }
        else if (RKScSenseNoMedium(stReply.stSense))
            return Media(RKSC_MEDIA_NONE, RKSC_DISC_NONE);
        else if (RKScSenseMediumBusy(stReply.stSense))
            eState = RKSC_MEDIUM_BUSY;
        else
        {
            bOlderDrive = RKScSenseRefused(stReply.stSense);
            if (bOlderDrive && bTrace)
                RKScTraceInfo(strDevice + ": the drive does not know GET CONFIGURATION (" +
                              RKScDescribeSense(stReply.stSense) + ")");
            else if (bTrace)
                TraceCommandError(strDevice, "GET CONFIGURATION", RKScDescribeReply(stReply));
        }

        // No current profile: profile 0 (no medium, or one the drive has
        // not classified yet), or none given at all.
        if (eState == RKSC_MEDIUM_UNKNOWN)
            eState = RKScQueryMediumState(device, device.GetDriveStatus());
        if (!device.m_strGone.empty() || eState == RKSC_MEDIUM_NONE ||
            (eState == RKSC_MEDIUM_UNKNOWN && bProfileZero))
            return Media(RKSC_MEDIA_NONE, RKSC_DISC_NONE);
        bool bSettling = eState == RKSC_MEDIUM_BUSY || (eState == RKSC_MEDIUM_READY && bProfileZero);
        if (bSettling && nTry < RKSC_SETTLE_TRIES && !device.m_bUnanswered)
        {
            device.Pause(RKSC_SETTLE_PAUSE_MS);
            continue;
        }
        if (eState == RKSC_MEDIUM_BUSY)
        {
            RKScTraceInfo(strDevice + ": the medium is still not ready");
            return Media(RKSC_MEDIA_UNKNOWN, RKSC_DISC_OTHER);
        }
        return Classify(device, strDevice, bOlderDrive);
    }
}
