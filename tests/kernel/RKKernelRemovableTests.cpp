// The system engine on a SATA and a USB drive under the real kernel, and a
// USB drive pulled out and replaced by another while the engine has it
// listed and while its wait across drives polls.
#include "RKKernelRemovable.h"

#include <cstdio>
#include <fstream>
#include <thread>

#include "RKDRV.h"
#include "RKSystemEngine.h"

namespace
{
const std::string s_strEngine = RKEngineArgument(RKDRV_ENGINE_SC);
const char s_szGone[] = "/dev/sr1: the drive is gone: ";

std::string Hex(DWORD dwValue)
{
    char szText[16];
    std::snprintf(szText, sizeof(szText), "0x%08x", static_cast<unsigned>(dwValue));
    return szText;
}

// One writer record as RKWriterSummary writes it; QEMU's drives list the
// profiles DVD-ROM and CD-ROM.
std::string Row(char cLetter, const std::string& strModel, int nBaseMediaIn, DWORD dwMedia)
{
    bool bDisc = dwMedia != RKSC_MEDIA_NONE;
    return std::string(1, cLetter) + " | " + strModel + " | " + Hex(RKSC_SUPPORTS_CD | RKSC_SUPPORTS_DVD) +
           " | " + (bDisc ? "1" : "0") + " | " + std::to_string(nBaseMediaIn) + " | " + Hex(dwMedia) + " | " +
           (dwMedia == RKMEDIA_CD    ? "CD"
            : dwMedia == RKMEDIA_DVD ? "DVD"
                                     : "") +
           " | " + std::to_string(bDisc ? RKSC_DISC_COMPLETE : RKSC_DISC_NONE);
}

const char s_szSata[] = "QEMU QEMU DVD-ROM";
const char s_szUsb[] = "QEMU QEMU CD-ROM";

std::vector<std::string> Errors(const RKProbeRun& stRun)
{
    std::vector<std::string> vecErrors;
    for (const RKProbeRecord& stTrace : stRun.Of("trace"))
        vecErrors.push_back(stTrace.Field("text"));
    return vecErrors;
}

int ReportCount(const std::string& strFile)
{
    int nCount = 0;
    std::ifstream(strFile) >> nCount;
    return nCount;
}
} // namespace

TEST_F(KernelRemovable, SystemEngineListsTheSataAndUsbDrivesAndOpensTheirTrays)
{
    SetDisc("sata0", "/dev/sr0", s_strDvd);
    SetDisc("usb0", "/dev/sr1", s_strCd);
    std::string strFolder = DosDevices("removable-list", {{"e::", "/dev/sr1"}});
    RKProbeRun stRun = Probe({s_strEngine, "list"}, RKGUEST_CDROM_USER, strFolder);
    ASSERT_EQ(stRun.stResult.nStatus, 0) << stRun.Describe();
    EXPECT_EQ(RKWriterSummaries(stRun), (std::vector<std::string>{Row('D', s_szSata, 0, RKMEDIA_DVD),
                                                                  Row('E', s_szUsb, 1, RKMEDIA_CD)}))
        << stRun.Describe();
    EXPECT_TRUE(stRun.Of("trace").empty()) << stRun.Describe();

    for (const char* szIndex : {"0", "1"})
    {
        const std::string strId = szIndex[0] == '0' ? "sata0" : "usb0";
        RKProbeRun stEject = Probe({s_strEngine, "eject", szIndex}, RKGUEST_CDROM_USER, strFolder);
        ASSERT_EQ(stEject.stResult.nStatus, 0) << stEject.Describe();
        EXPECT_EQ(stEject.One("eject").Field("result"), "1") << stEject.Describe();
        EXPECT_TRUE(WaitForTray(strId, true, 10)) << strId << "\n" << stEject.Describe();
    }
}

TEST_F(KernelRemovable, SystemEngineWaitAcrossDrivesEndsAtTheUsbDrive)
{
    SetDisc("sata0", "/dev/sr0", "");
    SetDisc("usb0", "/dev/sr1", "");
    std::string strReady = ReadyFile("removable-wait");
    int nId = Guest().Start(ProbeCommand({s_strEngine, "wait", "any", "--seconds", "60", "--ready", strReady},
                                         RKGUEST_CDROM_USER, DosDevices("removable-wait", {})));
    // The first poll opens the SATA drive's tray; the disc goes into the
    // USB drive during the pause that follows.
    ASSERT_TRUE(WaitForFile(strReady, 60)) << Collect(nId, 5).Describe();
    EXPECT_TRUE(WaitForTray("sata0", true, 10));
    ASSERT_TRUE(Guest().ChangeMedium("usb0", s_strCd)) << Guest().LastError();
    RKProbeRun stRun = Collect(nId, 90);

    ASSERT_EQ(stRun.stResult.nStatus, 0) << stRun.Describe();
    RKProbeRecord stResult = stRun.One("wait");
    EXPECT_EQ(stResult.Field("result"), "1") << stRun.Describe();
    EXPECT_EQ(stResult.Field("index"), "1") << stRun.Describe();
    EXPECT_EQ(stResult.Field("media"), Hex(RKMEDIA_CD)) << stRun.Describe();
    EXPECT_EQ(stResult.Field("disc"), std::to_string(RKSC_DISC_COMPLETE)) << stRun.Describe();
    EXPECT_TRUE(stRun.Of("trace").empty()) << stRun.Describe();
}

// The drive a writer was listed with is pulled out, and another takes its
// port, node and device number (and so its very sysfs path) with a disc in:
// the writer answers for neither.
// First during a wait across drives, which goes on until the host puts a
// disc into the other drive; then while it is merely listed. After a
// Refresh the new drive is listed with its own model.
TEST_F(KernelRemovable, UsbDriveReplacedDuringAWaitAndWhileListed)
{
    SetDisc("sata0", "/dev/sr0", "");
    SetDisc("usb0", "/dev/sr1", "");
    std::string strReady = ReadyFile("removable-replug-wait");
    std::string strCount = Guest().SharePath() + "/removable-replug-count";
    int nId = Guest().Start(ProbeCommand({s_strEngine, "wait", "any", "--seconds", "120", "--ready", strReady,
                                          "--count", strCount, "--refresh"},
                                         RKGUEST_CDROM_USER, DosDevices("removable-replug", {})));
    ASSERT_TRUE(WaitForFile(strReady, 60)) << Collect(nId, 5).Describe();
    ASSERT_TRUE(Guest().UnplugUsbDrive("usb0")) << Guest().LastError();
    ASSERT_TRUE(WaitForDriveCount(1, 30)) << DriveState();
    ASSERT_TRUE(Guest().PlugUsbDrive("usb1", "1", s_strCd, "RKTEST", "SECOND DRIVE")) << Guest().LastError();
    RKProbeRun stDisc = WaitForDisc("/dev/sr1", 30);
    ASSERT_EQ(stDisc.stResult.nStatus, 0) << stDisc.Describe() << DriveState();
    // Two more polls: the writer of the drive that went was asked at
    // least once while its node held the new drive and its disc.
    int nSeen = ReportCount(strCount);
    RKClock::time_point tpDeadline = RKClock::now() + std::chrono::seconds(30);
    while (ReportCount(strCount) < nSeen + 2 && RKClock::now() < tpDeadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_GE(ReportCount(strCount), nSeen + 2);
    ASSERT_TRUE(Guest().ChangeMedium("sata0", s_strDvd)) << Guest().LastError();
    RKProbeRun stRun = Collect(nId, 90);

    ASSERT_EQ(stRun.stResult.nStatus, 0) << stRun.Describe();
    RKProbeRecord stResult = stRun.One("wait");
    EXPECT_EQ(stResult.Field("index"), "0") << stRun.Describe();
    EXPECT_EQ(stResult.Field("media"), Hex(RKMEDIA_DVD)) << stRun.Describe();
    std::vector<std::string> vecErrors = Errors(stRun);
    ASSERT_EQ(vecErrors.size(), 1u) << stRun.Describe();
    EXPECT_EQ(vecErrors[0].compare(0, sizeof(s_szGone) - 1, s_szGone), 0) << stRun.Describe();
    EXPECT_EQ(RKWriterSummaries(stRun),
              (std::vector<std::string>{Row('D', s_szSata, 0, RKMEDIA_DVD),
                                        Row('E', "RKTEST SECOND DRIVE", 0, RKMEDIA_CD)}))
        << stRun.Describe();
    bool bOpen = true;
    ASSERT_TRUE(Guest().IsTrayOpen("usb1", bOpen)) << Guest().LastError();
    EXPECT_FALSE(bOpen) << "a writer opened the tray of a drive it was not listed with";

    // Listed with the second drive, which is replaced by a third.
    strReady = ReadyFile("removable-replug-listed");
    nId = Guest().Start(ProbeCommand({s_strEngine, "replug", "1", "--seconds", "90", "--ready", strReady},
                                     RKGUEST_CDROM_USER, DosDevices("removable-replug", {})));
    ASSERT_TRUE(WaitForFile(strReady, 60)) << Collect(nId, 5).Describe();
    ASSERT_TRUE(Guest().UnplugUsbDrive("usb1")) << Guest().LastError();
    ASSERT_TRUE(WaitForDriveCount(1, 30)) << DriveState();
    ASSERT_TRUE(Guest().PlugUsbDrive("usb2", "1", s_strCd, "RKTEST", "THIRD DRIVE")) << Guest().LastError();
    stDisc = WaitForDisc("/dev/sr1", 30);
    ASSERT_EQ(stDisc.stResult.nStatus, 0) << stDisc.Describe() << DriveState();
    std::ofstream(strReady + ".go") << "go\n";
    stRun = Collect(nId, 90);

    ASSERT_EQ(stRun.stResult.nStatus, 0) << stRun.Describe();
    RKProbeRecord stAfter = stRun.One("after");
    EXPECT_EQ(stAfter.Field("media_in"), "0") << stRun.Describe();
    EXPECT_EQ(stAfter.Field("media"), Hex(RKSC_MEDIA_NONE)) << stRun.Describe();
    EXPECT_EQ(stAfter.Field("eject"), "0") << stRun.Describe();
    vecErrors = Errors(stRun);
    ASSERT_EQ(vecErrors.size(), 1u) << stRun.Describe();
    EXPECT_EQ(vecErrors[0].compare(0, sizeof(s_szGone) - 1, s_szGone), 0) << stRun.Describe();
    EXPECT_EQ(RKWriterSummaries(stRun),
              (std::vector<std::string>{
                  Row('D', s_szSata, 0, RKMEDIA_DVD), Row('E', "RKTEST SECOND DRIVE", 0, RKMEDIA_CD),
                  Row('D', s_szSata, 0, RKMEDIA_DVD), Row('E', "RKTEST THIRD DRIVE", 0, RKMEDIA_CD)}))
        << stRun.Describe();
    ASSERT_TRUE(Guest().IsTrayOpen("usb2", bOpen)) << Guest().LastError();
    EXPECT_FALSE(bOpen) << "a writer opened the tray of a drive it was not listed with";
}
