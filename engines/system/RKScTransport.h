// The seam between the engine and the operating system: how drives are
// listed, opened, sent commands, asked for their state and ejected. The
// manager and the writers use nothing else of the system; each system has
// one transport file (RKScTransport_linux.cpp, ...) that defines
// RKScCreateSystemTransport(). Nothing here names a system call or type.
//
// Transports report failures as values and texts, never as exceptions of
// their own; like any code of the engine they may still throw
// std::bad_alloc, which the engine's entry points catch.
#ifndef RKSCTRANSPORT_H
#define RKSCTRANSPORT_H

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "RKTypes.h"

// The longest a single command may take before the transport gives up on
// it, in milliseconds. The kernel's own drivers give their commands 30 s,
// and a slow drive spinning up a disc may hold even a routine query that
// long. Giving up sooner aborts the command, and on Linux an abort starts
// the SCSI error handler, which resets the device (a USB drive's port) and
// restarts the very spin-up the command was waiting for. A drive that never
// answers costs this much once: an operation sends it nothing more after a
// command that went unanswered.
const DWORD RKSC_COMMAND_TIMEOUT_MS = 30000;

// How a transport's problem text begins when the drive is no longer there:
// unplugged, or its node now belongs to another drive.
const char RKSC_GONE_TEXT[] = "the drive is gone: ";
// Whether a problem text says so.
inline bool RKScIsGoneProblem(const std::string& strProblem)
{
    return strProblem.compare(0, sizeof(RKSC_GONE_TEXT) - 1, RKSC_GONE_TEXT) == 0;
}

// One optical drive as the system lists it.
struct RKScDriveEntry
{
    // What Open is given, and what trace lines name the drive by
    // ("/dev/sr0").
    std::string strDevice;
    // The system's own "VENDOR PRODUCT" for the drive: the model shown when
    // the drive cannot be opened or does not identify itself. May be empty.
    std::string strModel;
    // The letter the system gives the drive, upper case; 0 when it has none
    // and the engine is to choose one.
    WORD wLetter = 0;
    // Known at listing time: why the transport will not open this drive.
    // Empty when nothing is known against it.
    std::string strProblem;
    // Where the system attaches the drive (Linux: its sysfs device path),
    // when it says so: Open then refuses a node that has come to belong to
    // another drive since the listing. Empty: not checked.
    std::string strLocation;
};

struct RKScDriveList
{
    // In the system's device order.
    std::vector<RKScDriveEntry> vecDrives;
    // Letters the system already uses for anything, drives included, upper
    // case: the engine never gives them to a drive without a letter.
    std::vector<WORD> vecUsedLetters;
};

// What the drive says about its medium.
enum RKScDriveStatus
{
    RKSC_STATUS_UNKNOWN,        // the transport cannot tell; ask the drive itself
    RKSC_STATUS_NO_DISC,        // tray closed, no disc
    RKSC_STATUS_TRAY_OPEN,      // tray open
    RKSC_STATUS_BECOMING_READY, // a disc was just inserted and is spinning up
    RKSC_STATUS_DISC_OK,        // a disc is in and ready
    RKSC_STATUS_GONE            // the drive is no longer there
};

enum RKScCommandStatus
{
    RKSC_COMMAND_GOOD,            // the drive ran the command
    RKSC_COMMAND_CHECK_CONDITION, // the drive refused it; its sense data says why
    RKSC_COMMAND_FAILED,          // no status from the drive (timeout, refused by the system)
    RKSC_COMMAND_GONE             // the system says the device is no longer there
};

const std::size_t RKSC_SENSE_MAX = 64;

struct RKScCommandResult
{
    RKScCommandStatus eStatus = RKSC_COMMAND_FAILED;
    // Bytes of the data buffer the drive really filled: the buffer length
    // less what the drive did not send. Never above the buffer length.
    std::size_t nTransferred = 0;
    // Sense data of a check condition; nSenseLength is never above
    // RKSC_SENSE_MAX and may be 0 when the drive gave none.
    std::uint8_t abSense[RKSC_SENSE_MAX] = {};
    std::size_t nSenseLength = 0;
    // For RKSC_COMMAND_FAILED and _GONE: why, in a few words.
    std::string strProblem;
    // The command went unanswered within RKSC_COMMAND_TIMEOUT_MS.
    bool bTimedOut = false;
};

enum RKScEjectStatus
{
    RKSC_EJECT_DONE,    // the tray opened (or was open)
    RKSC_EJECT_BUSY,    // someone else holds the drive (mounted, opened) or locked its tray
    RKSC_EJECT_NO_TRAY, // the drive cannot open its tray
    RKSC_EJECT_EMPTY,   // no medium to push out and no tray to open (a slot or caddy drive)
    RKSC_EJECT_GONE,    // the drive is no longer there; the text says how the system put it
    RKSC_EJECT_FAILED   // anything else; the text says what
};

// How closing the tray or locking the door went.
enum RKScTrayResult
{
    RKSC_TRAY_DONE,        // closed, locked or unlocked
    RKSC_TRAY_BUSY,        // others hold the drive open: the system keeps the door as it is
    RKSC_TRAY_UNSUPPORTED, // the drive cannot (no motorised tray, no lock)
    RKSC_TRAY_REFUSED,     // the drive itself refused
    RKSC_TRAY_FAILED       // anything else; the text says what
};

// What the system itself reported of a drive's media events, apart from
// the drive's own answers (RKScTransport::TakeDriveEvents).
const unsigned RKSC_DRIVE_EVENT_EJECT_REQUEST = 0x1; // its button was pressed while the door is locked
const unsigned RKSC_DRIVE_EVENT_MEDIA_CHANGE = 0x2;  // a medium went in or out

// One open drive. Closing is destroying it.
class CRKScDevice
{
public:
    virtual ~CRKScDevice() {}

    // Sends one command that reads nDataLength bytes at most into pbData
    // (null and 0 for none), within RKSC_COMMAND_TIMEOUT_MS.
    virtual void SendCommand(const std::uint8_t* pbCdb, std::size_t nCdbLength, std::uint8_t* pbData,
                             std::size_t nDataLength, RKScCommandResult& stResult) = 0;
    // The system's own view of the medium, where it keeps one; UNKNOWN
    // otherwise, and the engine then asks the drive with commands.
    virtual RKScDriveStatus GetDriveStatus() = 0;
    // Opens the tray. strProblem says why when it did not.
    virtual RKScEjectStatus Eject(std::string& strProblem) = 0;
    // Waits that long before the next command, while the drive settles.
    virtual void Pause(DWORD dwMilliseconds) = 0;
    // Closes the tray. strProblem says why when it did not.
    virtual RKScTrayResult CloseTray(std::string& strProblem) = 0;
    // Locks the door against ejection (bLock) or unlocks it, for every
    // program; see CRKScTransport::LockNeedsDevice for how long.
    virtual RKScTrayResult LockDoor(bool bLock, std::string& strProblem) = 0;
    // (GetDriveStatus, Eject, CloseTray and LockDoor set m_strGone below
    // when they find the device gone.)

    // What the engine learnt of the device during the operation it was
    // opened for (RKScSend and the transport keep them): why the system
    // says it is gone, and whether a command went unanswered. Either way
    // nothing more is sent to it.
    std::string m_strGone;
    bool m_bUnanswered = false;
};

class CRKScTransport
{
public:
    virtual ~CRKScTransport() {}

    // Every optical drive of the system. False, with the reason, when the
    // system's list itself cannot be read.
    virtual bool ListDrives(RKScDriveList& stList, std::string& strProblem) = 0;
    // Opens a drive for reading, shared with everyone else, without moving
    // its tray or waiting for a disc. Null, with the reason (and what the
    // user can do about it), when it cannot; the reason starts with
    // RKSC_GONE_TEXT when the drive is no longer there.
    virtual std::unique_ptr<CRKScDevice> Open(const RKScDriveEntry& stEntry, std::string& strProblem) = 0;
    // Whether GetDriveStatus answers for the medium. When it does, writers
    // answer IsMediaIn from it; when not, they leave IsMediaIn to the
    // library's own test through the drive letter.
    virtual bool ProvidesPresence() const = 0;
    // A steady count of milliseconds, for how long ago something happened.
    virtual std::uint64_t Milliseconds() const
    {
        return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                              std::chrono::steady_clock::now().time_since_epoch())
                                              .count());
    }
    // Whether a lock lasts only while the device that set it stays open
    // (the system drops it with the handle); otherwise it lasts until
    // someone unlocks the door.
    virtual bool LockNeedsDevice() const = 0;
    // Where the system reads the drives' media events itself, it takes them
    // before the drive's own answers can tell them, and reports them its own
    // way. ListenForDriveEvents starts hearing those reports (called before a
    // drive is opened for its state, so that what the open itself makes the
    // system report is heard too); TakeDriveEvents hands over those of one
    // drive heard since its last call, as RKSC_DRIVE_EVENT_* bits. Both are
    // cheap and never wait; 0 where the system reports nothing of the kind.
    virtual void ListenForDriveEvents() {}
    virtual unsigned TakeDriveEvents(const RKScDriveEntry& stEntry)
    {
        static_cast<void>(stEntry);
        return 0;
    }
};

// The transport of the system the engine was built for.
std::shared_ptr<CRKScTransport> RKScCreateSystemTransport();

#endif
