// Watching drives and discs: a call that blocks on the host's thread and
// hands every change of the watched drives to a host callback, at once and
// without disturbing the drives.
//
// What it asks the drives: for every watched writer, once per interval
// (RKWATCH_DEFAULT_INTERVAL_MS unless set), the engine's tray state
// (RKDRV::GetTrayState: status commands only, nothing of the medium read,
// nothing kept open between polls), and once when a disc has become ready
// the disc's details (RKDRV::GetDiscDetails, which give its media record and
// what it means), or GetMediaInfo where the engine offers no details. It
// never opens, closes or locks a tray. A writer whose engine offers no tray
// state is watched through IsMediaIn: it then reports disc-inserted and
// disc-removed only, and its start event says so (RKWATCH_SOURCE_PRESENCE).
//
// Drives that come and go. Why the system's list of optical drives, read
// by the library, and not a question to the engine: nothing asked of an
// engine is both cheap and quiet. CRKDRVManager::Refresh opens every drive
// and identifies it, and doing that four times a second would be neither;
// a manager-side interface would work only with engines written for it.
// The library instead reads a stamp of the system's optical drives each
// round (on Linux one listing of sysfs's block devices, on Windows the
// drive letters and their types), which touches no drive. Only when the
// stamp has changed and then held still for one interval (so that a drive
// whose device node is still being made is listed whole) does the watch
// refresh the manager, put the drives it knew back at their indexes
// (ReorderEngineVector; a drive that went keeps its index as a null
// placeholder, and gets it back when it returns under the same letter),
// and compare: a drive is the same drive when its letter and its model are
// the same. Engines whose drives are not the system's (image files) see a
// refresh only when the system's drives change, and then report no event.
//
// Threads. RKDRV::CreateWatch, RunWatch and CloseWatch run on the thread
// that uses the manager (the manager is not safe to share between
// threads); RunWatch blocks that thread, and the callback runs on it. The
// callback may look up writers and ask them anything, but must not
// release, reload or refresh the manager: the watch refreshes it itself
// when drives come and go, so writer pointers taken before a drive-added
// or drive-removed event are invalid after it (look them up again by
// index). RKDRV::StopWatch may be called from any thread, and from a
// POSIX signal handler or a Windows console control handler, at any time
// between CreateWatch and CloseWatch: it sets one lock-free flag and wakes
// the pause, allocates nothing, takes no lock and writes no trace. The
// watch starts no thread and takes no lock.
#ifndef RKWATCH_H
#define RKWATCH_H

#include "RKDRVManager.h"
#include "RKExport.h"
#include "RKTypes.h"

// The pause between two polls of every watched drive.
#define RKWATCH_DEFAULT_INTERVAL_MS 250u
#define RKWATCH_MIN_INTERVAL_MS 20u
#define RKWATCH_MAX_INTERVAL_MS 600000u

// RKWatchEvent::dwKind.
#define RKWATCH_STATE 1u         // where a drive stands when the watch starts
#define RKWATCH_DISC_INSERTED 2u // a disc is in and ready; its media record is given
#define RKWATCH_DISC_REMOVED 3u  // the disc went out (or its tray opened)
#define RKWATCH_TRAY_OPENED 4u
#define RKWATCH_TRAY_CLOSED 5u
#define RKWATCH_EJECT_REQUEST 6u // the drive's button was pressed while its door is locked
#define RKWATCH_DRIVE_ADDED 7u   // carries the new drive's state, like RKWATCH_STATE
#define RKWATCH_DRIVE_REMOVED 8u // the writer is gone; the index is a null placeholder now

// RKWatchEvent::dwSource: what the drive is watched through.
#define RKWATCH_SOURCE_TRAY_STATE 1u // the engine's tray state: every kind of event
#define RKWATCH_SOURCE_PRESENCE 2u   // IsMediaIn only: disc-inserted and disc-removed

// The longest model text an event carries, terminating zero included.
#define RKWATCH_MODEL_CHARS 64

// Ends of RunWatch.
#define RKWATCH_END_FAILED 0u   // it could not run; one trace line says why
#define RKWATCH_END_CALLBACK 1u // the callback answered 0
#define RKWATCH_END_STOPPED 2u  // RKDRV::StopWatch
#define RKWATCH_END_DURATION 3u // the settings' duration passed

struct RKWatchSettings
{
    DWORD cbSize;       // sizeof(RKWatchSettings), set by the caller
    DWORD dwIntervalMs; // 0: RKWATCH_DEFAULT_INTERVAL_MS; else within the limits above
    DWORD dwDurationMs; // the watch ends by itself after this long; 0: no end
    // The letters to watch, compared without regard to case; none: every
    // drive. A letter no drive has yet is watched for drive-added.
    DWORD dwLetterCount;
    WORD awLetters[26];
};

// One change. Booleans are 1, 0 or RKDETAILS_UNKNOWN.
struct RKWatchEvent
{
    DWORD cbSize;                 // sizeof(RKWatchEvent) of the library that wrote it
    DWORD dwKind;                 // RKWATCH_*
    unsigned long long ullTimeMs; // when it was seen, in milliseconds since the watch started
    DWORD dwIndex;                // the writer's index in the manager's table
    WORD wLetter;
    WORD wReserved;
    unsigned short szModel[RKWATCH_MODEL_CHARS]; // cut to fit, always terminated
    DWORD dwSource;                              // RKWATCH_SOURCE_*
    DWORD dwDiscPresent;                         // a ready disc is in the drive (after this event)
    DWORD dwTrayOpen;
    DWORD dwLocked;
    // What GetMediaInfo gave, for disc-inserted and for the state and
    // drive-added events of a drive holding a disc; 0 otherwise.
    DWORD dwMediaType;
    DWORD dwDiscType;
    // For the same events, what the engine's details say of that disc: its
    // MMC profile and RKDISC_STATE_*; RKDETAILS_UNKNOWN where they do not.
    DWORD dwProfile;
    DWORD dwDiscState;
};

// Implemented by hosts; held by pointer only, never deleted by the library.
class CRKWatchCallBack
{
public:
    // Answer nonzero to go on, 0 to end the watch. Runs on RunWatch's
    // thread; an exception is traced and ends the watch.
    virtual int OnWatchEvent(const RKWatchEvent& stEvent) = 0;
};

struct RKWatchHandle;
typedef RKWatchHandle* HRKWATCH;

namespace RKDRV
{
// A watch of the manager's drives. pSettings may be null for every
// default. Null, with a trace line, for a null manager, settings shorter
// than this version's, an interval out of bounds, or no way to pause.
RKDRV_API HRKWATCH CreateWatch(CRKDRVManager* pManager, const RKWatchSettings* pSettings);
// Reports one RKWATCH_STATE event per watched drive, then every change,
// until the callback answers 0, StopWatch is called or the duration
// passes. Returns an RKWATCH_END_* value. A stop requested before the run
// ends it before its first event; RunWatch clears the request when it
// returns.
RKDRV_API DWORD RunWatch(HRKWATCH hWatch, CRKWatchCallBack* pCallBack);
// Asks the run in progress (or the next one) to end. Null does nothing.
RKDRV_API void StopWatch(HRKWATCH hWatch);
// Frees the watch; refused (a trace line) while it runs. Null does nothing.
RKDRV_API void CloseWatch(HRKWATCH hWatch);
} // namespace RKDRV

#endif
