// Details of a drive and its disc, and control of its tray: an interface an
// engine's writers may offer beside CRKWriter.
//
// Why a second interface class, found through RKDRV::GetWriterDetails:
// CRKWriter's virtual and field orders are a contract with engines built
// before this header existed, so nothing can be added to CRKWriter itself,
// and its reserved operations take no arguments. A writer that offers
// details derives from CRKWriter first and from CRKWriterDetails second.
// The library finds the second base by a cross cast through the type
// information of both classes, which the library exports: on ELF the
// engine's class refers to the library's own type information objects, and
// on Windows the toolchain compares type names, so the cast works across
// module boundaries on both. The host needs no type information of its own,
// and learns at run time, per writer, whether the engine offers the
// interface: never by guessing from a module's file name. An engine built
// without type information (or before this header) is reported as offering
// nothing.
//
// Hosts call the RKDRV:: functions below, never the interface directly:
// they check the record's size, set every field to "not known" before the
// engine fills what it knows, and keep an engine's exception inside the
// library (one trace line, a 0 result).
//
// Versions: the virtual order of CRKWriterDetails is fixed like
// CRKWriter's; later capabilities come as new interface classes found the
// same way. Every record carries its own size in its first word, set by the
// caller to sizeof the record it was built with (the Win32 cbSize rule): a
// later version only appends fields, an engine writes no field that lies
// beyond cbSize, and a record shorter than this version's is refused.
#ifndef RKWRITERDETAILS_H
#define RKWRITERDETAILS_H

#include "RKExport.h"
#include "RKTypes.h"
#include "RKWriter.h"

// A DWORD field the drive did not give, or that has no meaning here. Never
// 0 passed off as a value. A text that is not known is empty.
#define RKDETAILS_UNKNOWN 0xFFFFFFFFu

// Lengths of the text fields, terminating zero included. An engine cuts a
// longer text; each field always ends with a zero.
#define RKDETAILS_VENDOR_CHARS 16
#define RKDETAILS_PRODUCT_CHARS 32
#define RKDETAILS_REVISION_CHARS 16
#define RKDETAILS_SERIAL_CHARS 64
#define RKDETAILS_LABEL_CHARS 64
// The longest profile list a record holds; a drive lists far fewer.
#define RKDETAILS_MAX_PROFILES 64

// RKDriveDetails::dwInterface: the physical interface standard as the drive
// reports it (MMC feature 0001h).
#define RKINTERFACE_UNSPECIFIED 0x0000u
#define RKINTERFACE_SCSI 0x0001u
#define RKINTERFACE_ATAPI 0x0002u
#define RKINTERFACE_IEEE1394_1995 0x0003u
#define RKINTERFACE_IEEE1394A 0x0004u
#define RKINTERFACE_FIBRE_CHANNEL 0x0005u
#define RKINTERFACE_IEEE1394B 0x0006u
#define RKINTERFACE_SERIAL_ATAPI 0x0007u
#define RKINTERFACE_USB 0x0008u
#define RKINTERFACE_VENDOR_UNIQUE 0xFFFFu

// RKDriveDetails::dwLoading: how discs go in (MMC feature 0003h). Drives
// report slot loaders and caddies alike.
#define RKLOADING_CADDY_OR_SLOT 0u
#define RKLOADING_TRAY 1u
#define RKLOADING_POPUP 2u
#define RKLOADING_CHANGER 4u
#define RKLOADING_MAGAZINE 5u

// RKDiscDetails::dwDiscState.
#define RKDISC_STATE_BLANK 1u      // recordable and empty
#define RKDISC_STATE_APPENDABLE 2u // recorded, more can be written
#define RKDISC_STATE_COMPLETE 3u   // closed, or a pressed disc
#define RKDISC_STATE_OTHER 4u      // a state the drive reports otherwise

// RKDiscDetails::dwLastSessionState.
#define RKSESSION_EMPTY 0u
#define RKSESSION_INCOMPLETE 1u
#define RKSESSION_DAMAGED 2u
#define RKSESSION_COMPLETE 3u

// RKTrayState::dwEvents: what the drive reported since the last look.
#define RKTRAY_EVENT_EJECT_REQUEST 0x0001u // its button was pressed (door locked)
#define RKTRAY_EVENT_NEW_MEDIA 0x0002u     // a medium went in
#define RKTRAY_EVENT_MEDIA_REMOVED 0x0004u // a medium went out

// Booleans below are 1, 0 or RKDETAILS_UNKNOWN.

struct RKDriveDetails
{
    DWORD cbSize; // sizeof(RKDriveDetails), set by the caller
    // INQUIRY identification, and the drive's serial number (feature 0108h).
    unsigned short szVendor[RKDETAILS_VENDOR_CHARS];
    unsigned short szProduct[RKDETAILS_PRODUCT_CHARS];
    unsigned short szRevision[RKDETAILS_REVISION_CHARS];
    unsigned short szSerial[RKDETAILS_SERIAL_CHARS];
    DWORD dwInterface; // RKINTERFACE_*
    DWORD dwLoading;   // RKLOADING_*
    DWORD dwCanEject;  // software can open the tray
    DWORD dwCanClose;  // software can close it
    DWORD dwCanLock;   // the door can be locked
    // The drive's current profile (0: none, no medium) and every profile it
    // lists, in the drive's order; dwProfileCount is RKDETAILS_UNKNOWN when
    // the list could not be read.
    DWORD dwCurrentProfile;
    DWORD dwProfileCount;
    WORD awProfiles[RKDETAILS_MAX_PROFILES];
    // Highest speeds in kB/s (1000 bytes), and the buffer in KiB.
    DWORD dwMaxReadKbps;
    DWORD dwMaxWriteKbps;
    DWORD dwBufferKiB;
};

struct RKDiscDetails
{
    DWORD cbSize;             // sizeof(RKDiscDetails), set by the caller
    DWORD dwDiscPresent;      // 0: no disc; every other field is then unknown
    DWORD dwProfile;          // the exact current profile
    DWORD dwMediaType;        // the library's RKMEDIA_* code, as GetMediaInfo gives it
    DWORD dwDiscState;        // RKDISC_STATE_*
    DWORD dwErasable;         // rewritable medium
    DWORD dwSessions;         // sessions on the disc, the open one included
    DWORD dwLastSessionState; // RKSESSION_*
    DWORD dwFirstTrack;       // track numbers
    DWORD dwLastTrack;
    DWORD dwAudioTracks; // counts of the table of contents
    DWORD dwDataTracks;
    // The recorded capacity; for blank recordable media the recordable one.
    DWORD dwCapacityBlocks;
    DWORD dwBlockSize;  // bytes per block
    DWORD dwFreeBlocks; // blocks still recordable (0 on a closed disc)
    // The volume label of an ISO 9660 file system, when there is one.
    unsigned short szLabel[RKDETAILS_LABEL_CHARS];
    // RKMediaInfo::dwDiscType as GetMediaInfo gives it, in the engine's own
    // words: with dwMediaType, the whole media record, so that a host
    // asking for the details need not ask the drive a second time.
    DWORD dwDiscType;
};

struct RKTrayState
{
    DWORD cbSize;         // sizeof(RKTrayState), set by the caller
    DWORD dwOpen;         // the tray is open
    DWORD dwMediaPresent; // a medium is in the drive, ready or not
    DWORD dwReady;        // the medium is ready for use
    DWORD dwLocked;       // the door is locked
    DWORD dwEvents;       // RKTRAY_EVENT_* bits; 0 when none or not known
};

// What an engine's writer implements to offer details and tray control.
// Every operation returns 1 when it did what it says and 0 otherwise,
// writing one trace line that says why; none throws.
class RKDRV_API CRKWriterDetails
{
public:
    CRKWriterDetails();
    CRKWriterDetails(const CRKWriterDetails&);
    CRKWriterDetails& operator=(const CRKWriterDetails&);

    // Virtual order: do not reorder, insert or remove.
    virtual ~CRKWriterDetails();
    // Fills what the drive tells of itself.
    virtual int GetDriveDetails(RKDriveDetails& stDetails) = 0;
    // Fills what the drive tells of its disc; 1 with dwDiscPresent 0 for an
    // empty drive.
    virtual int GetDiscDetails(RKDiscDetails& stDetails) = 0;
    // The tray, door and medium state from status commands alone: it reads
    // nothing of the medium, spins nothing up, and keeps nothing open.
    virtual int GetTrayState(RKTrayState& stState) = 0;
    // Closes the tray. 0 for a drive that cannot (a slot or caddy loader).
    virtual int CloseTray() = 0;
    // Locks (bLock nonzero) or unlocks the door.
    virtual int LockTray(int bLock) = 0;
};

namespace RKDRV
{
// The writer's details interface, or null when its engine offers none (or
// pWriter is null). The pointer lives as long as the writer.
RKDRV_API CRKWriterDetails* GetWriterDetails(CRKWriter* pWriter);
// Each of these sets every field of the record after cbSize to "not known"
// and asks the writer's engine. 0, with a trace line, when the engine
// offers no details, the record is shorter than this version's, or the
// engine failed or threw.
RKDRV_API int GetDriveDetails(CRKWriter* pWriter, RKDriveDetails& stDetails);
RKDRV_API int GetDiscDetails(CRKWriter* pWriter, RKDiscDetails& stDetails);
RKDRV_API int GetTrayState(CRKWriter* pWriter, RKTrayState& stState);
// 1 when the tray closed (or was closed); 0, with a trace line, otherwise.
RKDRV_API int CloseTray(CRKWriter* pWriter);
// 1 when the door is now locked (bLock nonzero) or unlocked.
RKDRV_API int LockTray(CRKWriter* pWriter, int bLock);

// The MMC name of a profile ("DVD-RW Restricted Overwrite"), or the empty
// text for one without a name; never null.
RKDRV_API const unsigned short* GetProfileName(DWORD dwProfile);
// The library's RKMEDIA_* code of a profile, 0 for profile 0 (no medium)
// and for profiles the library has no code for.
RKDRV_API DWORD GetMediaTypeOfProfile(DWORD dwProfile);
} // namespace RKDRV

#endif
