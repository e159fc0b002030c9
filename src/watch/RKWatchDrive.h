// One watched drive: what the watch believes of it, what a poll sees of it,
// and the rules that turn the one into the other as events.
#ifndef RKWATCHDRIVE_H
#define RKWATCHDRIVE_H

#include <vector>

#include "RKMediaInfo.h"
#include "RKTextUtil.h"
#include "RKWatch.h"
#include "RKWriterDetails.h"
#include "RKWriter.h"

// What one poll saw. Booleans are 1, 0 or RKDETAILS_UNKNOWN.
struct RKWatchObservation
{
    bool bOk = false; // false: the drive could not be asked; nothing is learnt
    DWORD dwOpen;
    DWORD dwMediaPresent;
    DWORD dwReady;
    DWORD dwLocked;
    DWORD dwEvents; // RKTRAY_EVENT_* bits
};

struct RKWatchDrive
{
    CRKWriter* pWriter = nullptr;
    DWORD dwIndex = 0;
    WORD wLetter = 0;
    RKText strModel;
    DWORD dwSource = RKWATCH_SOURCE_PRESENCE;

    // What the events so far have told the host.
    bool bDisc = false;
    DWORD dwTrayOpen;
    DWORD dwLocked;
    RKMediaInfo stMedia = {0, 0};
    // The disc's profile and state in the library's words, where the
    // engine's details give them; RKDETAILS_UNKNOWN otherwise.
    DWORD dwProfile = RKDETAILS_UNKNOWN;
    DWORD dwDiscState = RKDETAILS_UNKNOWN;

    // The last poll that saw anything, for what changed since.
    RKWatchObservation stLast;
    // Media events in a row that no change of the drive's state backed.
    int nDisagreements = 0;
    // After too many of them the drive's media events are not believed:
    // its readiness alone counts.
    bool bIgnoreMediaEvents = false;
};

// Media events in a row that no change of state backs before they are no
// longer believed, as the kernel's sr driver decides for its drives.
const int RKWATCH_DISAGREEMENTS_TO_IGNORE = 8;

// Asks the drive through its source. Never throws.
RKWatchObservation RKWatchObserve(RKWatchDrive& drive);
// Whether the observation shows a ready disc (an open tray holds none).
bool RKWatchSeesDisc(const RKWatchObservation& stObs);
// Takes the first observation as where the drive starts: no event.
void RKWatchBegin(RKWatchDrive& drive, const RKWatchObservation& stObs);
// Appends the kinds of event the observation makes, in the order they
// happened, and takes it in. RKWATCH_DISC_INSERTED leaves the media
// record to the caller.
void RKWatchAdvance(RKWatchDrive& drive, const RKWatchObservation& stObs, std::vector<DWORD>& vecKinds);

#endif
