#include "RKWatchDrive.h"

#include "RKEngineFault.h"
#include "RKLog.h"
#include "RKWriterDetails.h"

namespace
{
const DWORD RKWATCH_MEDIA_EVENTS = RKTRAY_EVENT_NEW_MEDIA | RKTRAY_EVENT_MEDIA_REMOVED;

// IsMediaIn as the waits ask it: any nonzero answer is a disc.
DWORD PresenceOf(CRKWriter* pWriter)
{
    return RKGuardedCall(RK_TEXT("IsMediaIn"), [&] { return pWriter->IsMediaIn(); }) ? 1u : 0u;
}

bool StateChanged(const RKWatchObservation& stNow, const RKWatchObservation& stLast)
{
    return stNow.dwOpen != stLast.dwOpen || stNow.dwMediaPresent != stLast.dwMediaPresent ||
           stNow.dwReady != stLast.dwReady;
}
} // namespace

RKWatchObservation RKWatchObserve(RKWatchDrive& drive)
{
    RKWatchObservation stObs;
    stObs.dwOpen = RKDETAILS_UNKNOWN;
    stObs.dwMediaPresent = RKDETAILS_UNKNOWN;
    stObs.dwReady = RKDETAILS_UNKNOWN;
    stObs.dwLocked = RKDETAILS_UNKNOWN;
    stObs.dwEvents = 0;
    try
    {
        if (drive.dwSource == RKWATCH_SOURCE_TRAY_STATE)
        {
            RKTrayState stTray;
            stTray.cbSize = sizeof(stTray);
            // The library's wrapper keeps an engine's exception inside.
            if (!RKDRV::GetTrayState(drive.pWriter, stTray))
                return stObs;
            stObs.dwOpen = stTray.dwOpen;
            stObs.dwMediaPresent = stTray.dwMediaPresent;
            stObs.dwReady = stTray.dwReady;
            stObs.dwLocked = stTray.dwLocked;
            stObs.dwEvents = stTray.dwEvents;
            // An engine that knows the tray but not the disc: the disc is
            // asked for the old way.
            if (stObs.dwMediaPresent == RKDETAILS_UNKNOWN && stObs.dwReady == RKDETAILS_UNKNOWN &&
                stObs.dwOpen != 1)
                stObs.dwReady = stObs.dwMediaPresent = PresenceOf(drive.pWriter);
        }
        else
        {
            stObs.dwReady = stObs.dwMediaPresent = PresenceOf(drive.pWriter);
        }
        stObs.bOk = true;
    }
    catch (...)
    {
        // Traced where it was thrown; this poll learnt nothing.
        stObs.bOk = false;
    }
    return stObs;
}

bool RKWatchSeesDisc(const RKWatchObservation& stObs)
{
    if (!stObs.bOk || stObs.dwOpen == 1)
        return false;
    // A disc still spinning up is no disc yet: it is reported once ready.
    if (stObs.dwReady != RKDETAILS_UNKNOWN)
        return stObs.dwReady == 1;
    return stObs.dwMediaPresent == 1;
}

void RKWatchBegin(RKWatchDrive& drive, const RKWatchObservation& stObs)
{
    drive.bDisc = RKWatchSeesDisc(stObs);
    drive.dwTrayOpen = stObs.bOk ? stObs.dwOpen : RKDETAILS_UNKNOWN;
    drive.dwLocked = stObs.bOk ? stObs.dwLocked : RKDETAILS_UNKNOWN;
    // Events the drive held before the watch began are not news: only
    // those that appear afterwards count.
    drive.stLast = stObs;
    drive.nDisagreements = 0;
    drive.bIgnoreMediaEvents = false;
}

void RKWatchAdvance(RKWatchDrive& drive, const RKWatchObservation& stObs, std::vector<DWORD>& vecKinds)
{
    if (!stObs.bOk)
        return;
    // The first answer of a drive that did not answer when the watch
    // began: its state counts, its events do not (they may be old). A poll
    // that failed later changes nothing, so the next one is compared with
    // the last that answered.
    bool bEventsCount = drive.stLast.bOk;
    // A drive that repeats an event on every poll reports it once: a bit
    // counts only on the poll where it appears.
    DWORD dwFresh = bEventsCount ? stObs.dwEvents & ~drive.stLast.dwEvents : 0;
    bool bDiscNow = RKWatchSeesDisc(stObs);

    if (stObs.dwOpen == 1 && drive.dwTrayOpen == 0)
    {
        vecKinds.push_back(RKWATCH_TRAY_OPENED);
        // The disc went out with the tray.
        if (drive.bDisc)
        {
            vecKinds.push_back(RKWATCH_DISC_REMOVED);
            drive.bDisc = false;
        }
    }
    else if (stObs.dwOpen == 0 && drive.dwTrayOpen == 1)
    {
        vecKinds.push_back(RKWATCH_TRAY_CLOSED);
    }

    if (dwFresh & RKTRAY_EVENT_EJECT_REQUEST)
        vecKinds.push_back(RKWATCH_EJECT_REQUEST);

    if (bEventsCount && (stObs.dwEvents & RKWATCH_MEDIA_EVENTS) && !drive.bIgnoreMediaEvents)
    {
        if (StateChanged(stObs, drive.stLast))
        {
            drive.nDisagreements = 0;
        }
        else
        {
            // A disc changed between two polls without the drive ever
            // showing it gone: out with the old one, in with the new.
            if ((dwFresh & RKWATCH_MEDIA_EVENTS) && drive.bDisc && bDiscNow)
            {
                vecKinds.push_back(RKWATCH_DISC_REMOVED);
                drive.bDisc = false;
            }
            if (++drive.nDisagreements >= RKWATCH_DISAGREEMENTS_TO_IGNORE)
            {
                drive.bIgnoreMediaEvents = true;
                CRKLog::GetInstance()->AddInfo(
                    RK_TEXT("Watch: %c: %d media events in a row without a change of the drive's state: its "
                            "media events are ignored, its readiness alone counts"),
                    static_cast<int>(drive.wLetter), drive.nDisagreements);
            }
        }
    }

    if (bDiscNow && !drive.bDisc)
    {
        vecKinds.push_back(RKWATCH_DISC_INSERTED);
        drive.bDisc = true;
    }
    else if (!bDiscNow && drive.bDisc)
    {
        vecKinds.push_back(RKWATCH_DISC_REMOVED);
        drive.bDisc = false;
    }

    if (stObs.dwOpen != RKDETAILS_UNKNOWN)
        drive.dwTrayOpen = stObs.dwOpen;
    if (stObs.dwLocked != RKDETAILS_UNKNOWN)
        drive.dwLocked = stObs.dwLocked;
    drive.stLast = stObs;
}
