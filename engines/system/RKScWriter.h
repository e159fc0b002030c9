// CRKScWriter: one optical drive of the system, reached through the
// transport. The writer keeps no device open between its operations, so it
// never stands in the way of a mount or of another program's eject.
//
// A writer knows the drive it was listed with: where the system attaches
// it (the transport checks that at every open) and its INQUIRY
// identification (checked before the commands of GetMediaInfo and
// EjectTray, and where the transport gives no presence of its own, before
// IsMediaIn). Once the drive is gone, or its node or letter belongs to
// another drive, the writer says so in one trace error line and answers
// as an empty drive that cannot be ejected until the manager lists the
// drives again: it never answers for a drive it was not listed with.
//
// The one device the writer holds between operations is for a door lock on
// a system that drops the lock with the device: the writer then holds it
// until it unlocks, or goes.
#ifndef RKSCWRITER_H
#define RKSCWRITER_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "RKWriter.h"
#include "RKScMmc.h"
#include "RKWriterDetails.h"
#include "RKScDriveQuery.h"
#include "RKScTransport.h"

class CRKScWriter : public CRKWriter, public CRKWriterDetails
{
public:
    CRKScWriter(std::shared_ptr<CRKScTransport> pTransport, const RKScDriveEntry& stEntry, WORD wLetter);
    ~CRKScWriter() override;
    CRKScWriter(const CRKScWriter&) = delete;
    CRKScWriter& operator=(const CRKScWriter&) = delete;

    // Reads the model and the profile list. A drive that cannot be opened
    // keeps the system's model and supports nothing; one error line says
    // why. Traces every answer it could not use.
    void Identify();
    // Whether the last attempt to open the drive succeeded.
    bool HasAccess() const { return m_strOpenProblem.empty(); }
    const std::string& GetDevice() const { return m_stEntry.strDevice; }
    // The drive's profiles in its own order, as Identify read them (empty
    // when it could not), and the current profile GetMediaInfo last read (0:
    // none): the exact media behind the library's codes.
    const std::vector<WORD>& GetProfiles() const { return m_vecProfiles; }
    WORD GetCurrentProfile() const { return m_wCurrentProfile; }
    // The identification Identify read; bOk false when it was not whole.
    const RKScInquiry& GetIdentity() const { return m_stIdentity; }
    // The drive it was listed with is gone.
    bool IsGone() const { return !m_strGone.empty(); }

    int EngineReserved1() override { return 0; }
    int EngineReserved2() override { return 0; }
    int EngineReserved3() override { return 0; }
    int EngineReserved4() override { return 0; }
    // 1 when the drive reports a ready disc, else 0.
    int IsMediaIn() override;
    // The current profile as an RKMEDIA_* code, the disc state as an
    // RKSC_DISC_* value; {0, RKSC_DISC_NONE} without a medium,
    // RKSC_MEDIA_UNKNOWN for a medium that cannot be told.
    RKMediaInfo GetMediaInfo() override;
    // Opens the tray: 1 when it opened. 0 while the drive reports a medium
    // it is still loading, and for a ready medium that went in since
    // IsMediaIn found the drive empty moments before (a wait calls the two
    // back to back: throwing the disc out would defeat the insertion); for
    // an empty drive without a tray (one information line until a disc is
    // seen); and when the drive is in use, locked or unreachable; each with
    // a trace line saying so.
    int EjectTray() override;
    int EngineReserved5() override { return 0; }
    int EngineReserved6() override { return 0; }
    int EngineReserved7() override { return 0; }
    int EngineReserved8() override { return 0; }
    int EngineReserved9() override { return 0; }
    int EngineReserved10() override { return 0; }

    // Details and tray control (RKScWriterDetails.cpp).
    // The identification read when the drive was listed, the feature list,
    // and the capabilities page (read once: it holds what the drive can do).
    int GetDriveDetails(RKDriveDetails& stDetails) override;
    int GetDiscDetails(RKDiscDetails& stDetails) override;
    // Status commands only; traces nothing unless the drive cannot be
    // opened, since it is polled.
    int GetTrayState(RKTrayState& stState) override;
    // 1 when the tray closed; 0 for a drive that cannot close it, with a
    // trace line saying so.
    int CloseTray() override;
    // 1 when the door is now locked or unlocked.
    int LockTray(int bLock) override;

private:
    // Null when the drive cannot be opened; the reason goes to the trace
    // (an error the first time it is seen, information when it repeats; the
    // gone line once).
    std::unique_ptr<CRKScDevice> OpenDevice(bool bQuiet = false);
    // OpenDevice for the commands of one operation on the drive the writer
    // was listed with: null once it is gone or answers as another drive.
    std::unique_ptr<CRKScDevice> OpenListedDevice();
    // False, after the gone line, when the drive answers INQUIRY as another
    // one. A drive that gives no whole answer is not held against.
    bool CheckIdentity(CRKScDevice& device);
    // True, after the gone line, when the operation found the device gone.
    bool FoundGone(CRKScDevice& device);
    void MarkGone(const std::string& strWhy);
    // Keeps what IsMediaIn answered, for the guard of EjectTray.
    int NoteMediaIn(int nMediaIn);
    // The drive's feature 0003h, read once.
    const RKScRemovableMedium& RemovableMedium(CRKScDevice& device);
    // The information line for an empty drive that has no tray, once until
    // a medium is seen.
    void SayEmptyWithoutTray();

    std::shared_ptr<CRKScTransport> m_pTransport;
    RKScDriveEntry m_stEntry;
    // The device as the trace shows it, made once: GetMediaInfo traces
    // every call.
    CRKString m_strDeviceText;
    std::string m_strOpenProblem;
    RKScInquiry m_stIdentity;
    std::vector<WORD> m_vecProfiles;
    WORD m_wCurrentProfile = 0;
    std::string m_strGone;
    bool m_bRemovableRead = false;
    RKScRemovableMedium m_stRemovable;
    bool m_bEmptySaid = false;
    // When IsMediaIn last found no disc (RKSC_NO_TIME: not since a medium
    // was seen, nor since the EjectTray that followed).
    std::uint64_t m_ullFoundEmpty;
    // When the drive last answered INQUIRY as the listed one.
    std::uint64_t m_ullIdentified;
    // The last capabilities page the drive gave; empty until one is read.
    std::vector<std::uint8_t> m_vecCapabilities;
    // The device that holds the door locked, where the lock lasts only as
    // long as it stays open.
    std::unique_ptr<CRKScDevice> m_pLockHolder;
};

#endif
