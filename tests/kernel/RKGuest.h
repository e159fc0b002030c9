// A test guest: the distribution's kernel under QEMU with optical drives,
// the host's root as its own (read-only), a command agent on a serial
// port and the machine monitor for changing discs while it runs.
#ifndef RKGUEST_H
#define RKGUEST_H

#include <nlohmann/json.hpp>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "RKLineSocket.h"
#include "RKQmpClient.h"

// Who runs a command in the guest.
enum RKGuestUser
{
    RKGUEST_ROOT,
    RKGUEST_CDROM_USER, // unprivileged, member of group cdrom
    RKGUEST_PLAIN_USER  // unprivileged, no supplementary groups
};

// Where a drive sits besides the SCSI bus and the IDE one (bIde).
enum RKGuestBus
{
    RKGUEST_SCSI_BUS,
    RKGUEST_SATA_BUS, // ide-cd on an AHCI controller
    RKGUEST_USB_BUS   // scsi-cd behind a USB mass storage device on an xHCI controller
};

struct RKGuestDrive
{
    std::string strId;    // device id for the monitor: "cdrom0", ...
    std::string strImage; // disc image; empty for an empty drive
    bool bIde = false;    // an IDE drive instead of one on the SCSI bus
    RKGuestBus eBus = RKGUEST_SCSI_BUS;
};

struct RKGuestCommand
{
    std::vector<std::string> vecArgs; // program and arguments
    RKGuestUser eUser = RKGUEST_ROOT;
    // The whole environment besides PATH, HOME and LANG.
    std::vector<std::pair<std::string, std::string>> vecEnv;
    int nSeconds = 60; // the guest kills the command after this
};

struct RKGuestResult
{
    int nStatus = -1; // exit status; -1 when no answer came
    std::string strOut;
    std::string strErr;
    std::string strError; // why no answer came
};

class CRKGuest
{
public:
    // strName names the run's console log, shared folder and images.
    explicit CRKGuest(const std::string& strName);
    ~CRKGuest();
    CRKGuest(const CRKGuest&) = delete;
    CRKGuest& operator=(const CRKGuest&) = delete;

    // Starts the machine and waits, bounded, for its agent. On failure the
    // machine is gone and LastError() holds the reason and the console's end.
    bool Boot(const std::vector<RKGuestDrive>& vecDrives);
    // Asks the guest to stop, then ends the machine in any case.
    void PowerOff();
    bool IsRunning() const { return m_nPid > 0; }

    RKGuestResult Run(const RKGuestCommand& stCommand);
    // A shell script run by root.
    RKGuestResult RunShell(const std::string& strScript, int nSeconds = 60);
    // Starts a command and returns at once; Collect waits for its answer.
    int Start(const RKGuestCommand& stCommand);
    RKGuestResult Collect(int nId, int nSeconds);

    // Discs, through the monitor. Each returns false with LastError().
    bool ChangeMedium(const std::string& strId, const std::string& strImage); // loads and closes the tray
    bool RemoveMedium(const std::string& strId, bool bCloseTray);
    bool OpenTray(const std::string& strId);
    bool CloseTray(const std::string& strId);
    bool IsTrayOpen(const std::string& strId, bool& bOpen);
    // Whether the guest has the drive's door locked (query-block's "locked").
    bool IsLocked(const std::string& strId, bool& bLocked);
    // Adds a SCSI drive while the guest runs, with a disc when strImage is set.
    bool HotAddDrive(const std::string& strId, const std::string& strImage);
    // Plugs a USB drive in (its own mass storage device, "usb-" + strId)
    // at a port of the controller ("1": where the first drive of the boot
    // sits), with the INQUIRY identity given; or pulls it out.
    bool PlugUsbDrive(const std::string& strId, const std::string& strPort, const std::string& strImage,
                      const std::string& strVendor, const std::string& strProduct);
    bool UnplugUsbDrive(const std::string& strId);
    bool Monitor(const std::string& strCommand, const nlohmann::json& jsArguments, nlohmann::json& jsReturn);

    // A sparse disc image of that many bytes in the run's folder (missing
    // when it could not be made).
    std::string MakeImage(const std::string& strName, unsigned long long ullBytes);
    // A folder of the host the guest may write to, under the same path.
    const std::string& SharePath() const { return m_strShare; }
    // The run's folder: console log, images, shared folder.
    const std::string& RunPath() const { return m_strRunDir; }
    const std::string& ConsoleLogPath() const { return m_strConsoleLog; }
    // The machine's own log, where the trace events turned on through the
    // monitor ("trace-event-set-state") go.
    std::string TraceLogPath() const { return m_strRunDir + "/qemu.log"; }
    // The last lines of the console log.
    std::string ConsoleTail(int nLines = 40) const;
    const std::string& LastError() const { return m_strError; }

    static unsigned CdromGid();
    static unsigned UserUid(RKGuestUser eUser);

private:
    struct RKPending
    {
        std::string strOut;
        std::string strErr;
        int nStatus = -1;
        bool bDone = false;
    };

    static std::string ScsiTargets(const std::vector<RKGuestDrive>& vecDrives);
    // Adds the image as a medium the device jsDevice holds, if there is one.
    bool AddMedium(const std::string& strId, const std::string& strImage, nlohmann::json& jsDevice);
    std::vector<std::string> MachineArguments(const std::vector<RKGuestDrive>& vecDrives) const;
    bool WaitForAgent(RKClock::time_point tpDeadline);
    bool HasExited();
    void Kill();
    bool Fail(const std::string& strWhy);
    std::string Script(const RKGuestCommand& stCommand) const;
    bool ReadAnswer(RKClock::time_point tpDeadline);

    std::string m_strName;
    std::string m_strKit;
    std::string m_strRunDir;
    std::string m_strShare;
    std::string m_strConsoleLog;
    std::string m_strSocketDir;
    int m_nPid = -1;
    CRKLineSocket m_Agent;
    CRKQmpClient m_Qmp;
    int m_nNextId = 0;
    int m_nScsiTargets = 0;
    std::map<int, RKPending> m_mapPending;
    std::string m_strError;
};

#endif
