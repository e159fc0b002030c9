// CRKScWriter: one optical drive of the system, reached through the
// transport. The writer keeps no device open between its operations, so it
// never stands in the way of a mount or of another program's eject; the one
// exception is a door lock on a system that drops the lock with the device
// (the writer then holds the device until it unlocks, or goes).
#ifndef RKSCWRITER_H
#define RKSCWRITER_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "RKWriter.h"
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

    int EngineReserved1() override { return 0; }
    int EngineReserved2() override { return 0; }
    int EngineReserved3() override { return 0; }
    int EngineReserved4() override { return 0; }
    // 1 when the drive reports a ready disc, else 0.
    int IsMediaIn() override;
    // The current profile as an RKMEDIA_* code, the disc state as an
    // RKSC_DISC_* value; {0, RKSC_DISC_NONE} without a medium.
    RKMediaInfo GetMediaInfo() override;
    // Opens the tray: 1 when it opened. 0 when the drive is becoming ready
    // (a disc just went in: throwing it out would defeat the insertion), in
    // use, locked or unreachable, each with a trace line saying so.
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
    // (an error the first time it is seen, information when it repeats).
    std::unique_ptr<CRKScDevice> OpenDevice();

    std::shared_ptr<CRKScTransport> m_pTransport;
    RKScDriveEntry m_stEntry;
    // The device as the trace shows it, made once: GetMediaInfo traces
    // every call.
    CRKString m_strDeviceText;
    std::string m_strOpenProblem;
    RKScIdentification m_stIdentification;
    // The last capabilities page the drive gave; empty until one is read.
    std::vector<std::uint8_t> m_vecCapabilities;
    // The device that holds the door locked, where the lock lasts only as
    // long as it stays open.
    std::unique_ptr<CRKScDevice> m_pLockHolder;
};

#endif
