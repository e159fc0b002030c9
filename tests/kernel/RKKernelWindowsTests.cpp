// The system engine's Windows build in the guest: wine runs the Windows
// build's rkdrv_kernel_windows once, with the guest's /dev/sr0 as its CD-ROM
// drive E:, while the host changes the disc between the program's steps,
// and watches it while the host takes the disc out and puts another in.
// The wine prefix is made once on the host and kept with the kit.
#include "RKKernelFixture.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "RKDRV.h"
#include "RKSystemEngine.h"

namespace
{
std::string Variable(const char* szName)
{
    const char* szValue = std::getenv(szName);
    return szValue ? szValue : "";
}

std::string Hex(DWORD dwValue)
{
    char szText[16];
    std::snprintf(szText, sizeof(szText), "0x%08x", static_cast<unsigned>(dwValue));
    return szText;
}

// What the program printed of the one drive at a step, as one line.
std::string Row(int nMediaIn, DWORD dwMedia, const char* szName, DWORD dwDisc)
{
    return "E | QEMU QEMU CD-ROM | " + Hex(RKSC_SUPPORTS_CD | RKSC_SUPPORTS_DVD) + " | " +
           std::to_string(nMediaIn) + " | " + Hex(dwMedia) + " | " + szName + " | " + std::to_string(dwDisc);
}

std::vector<std::string> StepRows(const RKProbeRun& stRun)
{
    std::vector<std::string> vecRows;
    for (const RKProbeRecord& stWriter : stRun.Of("writer"))
    {
        std::string strRow = stWriter.Field("step") + ": ";
        for (const char* szKey : {"letter", "model", "supported", "media_in", "media", "name", "disc"})
            strRow += (szKey[0] == 'l' ? "" : " | ") + stWriter.Field(szKey);
        vecRows.push_back(strRow);
    }
    return vecRows;
}
} // namespace

class KernelWindows : public CRKKernelTest
{
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite() { StopGuest(); }
    void SetUp() override
    {
        ASSERT_TRUE(s_strSetUpError.empty()) << s_strSetUpError;
        CRKKernelTest::SetUp();
    }

    // The prefix of the kit, made when it has none: E: is a CD-ROM drive
    // whose device is the guest's /dev/sr0.
    static bool PreparePrefix(const std::string& strPrefix);

    static std::string s_strBin;
    static std::string s_strCd;
    static std::string s_strDvd;
    static std::string s_strPrefix;
    static std::string s_strSetUpError;
};

std::string KernelWindows::s_strBin;
std::string KernelWindows::s_strCd;
std::string KernelWindows::s_strDvd;
std::string KernelWindows::s_strPrefix;
std::string KernelWindows::s_strSetUpError;

bool KernelWindows::PreparePrefix(const std::string& strPrefix)
{
    std::error_code ecIgnored;
    if (std::filesystem::exists(strPrefix + "/.rkdrv-ready", ecIgnored))
        return true;
    std::filesystem::remove_all(strPrefix, ecIgnored);
    std::string strScript =
        "set -e; export WINEPREFIX='" + strPrefix +
        "' WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=; "
        "wineboot -i >/dev/null 2>&1 </dev/null; "
        "wine reg add 'HKLM\\Software\\Wine\\Drives' /v e: /d cdrom /f >/dev/null 2>&1 </dev/null; "
        "wineserver -w; ln -sfn /dev/sr0 \"$WINEPREFIX/dosdevices/e::\"; "
        "ln -sfn /tmp \"$WINEPREFIX/dosdevices/e:\"; touch \"$WINEPREFIX/.rkdrv-ready\"";
    if (std::system(strScript.c_str()) == 0)
        return true;
    s_strSetUpError =
        "cannot prepare the wine prefix " + strPrefix + " (wineboot -i, then the drive E: as a CD-ROM)";
    return false;
}

void KernelWindows::SetUpTestSuite()
{
    s_strBin = Variable("RKKERNEL_WINDOWS_BIN");
    if (s_strBin.empty())
    {
        s_strSetUpError = "RKKERNEL_WINDOWS_BIN names no Windows build: configure with "
                          "-DRKDRV_KERNEL_WINDOWS_BIN=<the Windows build's bin folder>";
        return;
    }
    CRKGuest stNamer("windows");
    s_strCd = stNamer.MakeImage("cd.iso", 737280000ull);
    s_strDvd = stNamer.MakeImage("dvd.iso", 737280000ull + 2048);
    // Beside the kernel, in the kit: kit/run/windows is the run's folder.
    std::string strKitPrefix =
        std::filesystem::path(stNamer.RunPath()).parent_path().parent_path().string() + "/wineprefix";
    if (!PreparePrefix(strKitPrefix))
        return;
    BootGuest("windows", {{"cdrom0", s_strCd, false}});
    // The guest writes to its prefix: a copy in the share. Its system files
    // are links to the kit's, which nothing writes; the registry, which the
    // wine server rewrites in place, is copied.
    s_strPrefix = Guest().SharePath() + "/wineprefix";
    std::string strCopy =
        "set -e; if cp -al '" + strKitPrefix + "' '" + s_strPrefix + "' 2>/dev/null; then for f in '" +
        strKitPrefix + "'/*.reg; do rm -f '" + s_strPrefix + "'/\"${f##*/}\"; cp -p \"$f\" '" + s_strPrefix +
        "'/; done; else rm -rf '" + s_strPrefix + "'; cp -a '" + strKitPrefix + "' '" + s_strPrefix + "'; fi";
    if (std::system(strCopy.c_str()) != 0)
        s_strSetUpError = "cannot copy the wine prefix into " + Guest().SharePath();
}

TEST_F(KernelWindows, WindowsEngineUnderWineFollowsTheHostsDiscs)
{
    const std::string strSignals = Guest().SharePath() + "/steps";
    std::error_code ecIgnored;
    std::filesystem::create_directories(strSignals, ecIgnored);
    RKGuestCommand stWine;
    stWine.vecArgs = {"wine", s_strBin + "/rkdrv_kernel_windows.exe", "Z:" + strSignals};
    stWine.vecEnv = {{"WINEPREFIX", s_strPrefix},
                     {"WINEARCH", "win64"},
                     {"WINEDEBUG", "-all"},
                     {"WINEDLLOVERRIDES", "mscoree,mshtml="}};
    stWine.nSeconds = 200;
    int nId = Guest().Start(stWine);
    auto Ready = [&](const char* szStep, int nSeconds)
    { return WaitForFile(strSignals + "/" + szStep + ".ready", nSeconds); };
    auto Go = [&](const char* szStep) { std::ofstream(strSignals + "/" + szStep + ".go") << "go\n"; };

    // Wine's first program under emulation takes most of a minute.
    ASSERT_TRUE(Ready("listed", 150)) << Collect(nId, 5).Describe();
    SetDisc("cdrom0", "/dev/sr0", s_strDvd);
    Go("listed");
    ASSERT_TRUE(Ready("dvd", 60)) << Collect(nId, 5).Describe();
    ASSERT_TRUE(Guest().OpenTray("cdrom0")) << Guest().LastError();
    RKProbeRun stOpen = RunTool({RKKERNEL_DRIVE, "status", "/dev/sr0", "--until", "2"});
    ASSERT_EQ(stOpen.stResult.nStatus, 0) << stOpen.Describe();
    Go("dvd");
    ASSERT_TRUE(Ready("open", 60)) << Collect(nId, 5).Describe();
    SetDisc("cdrom0", "/dev/sr0", s_strCd);
    Go("open");
    // The program has ejected the CD by now.
    ASSERT_TRUE(Ready("closed", 60)) << Collect(nId, 5).Describe();
    bool bEjected = WaitForTray("cdrom0", true, 10);
    // An empty closed drive: the wait opens its tray, then the host
    // inserts the disc that ends it.
    SetDisc("cdrom0", "/dev/sr0", "");
    Go("closed");
    bool bWaitOpened = WaitForTray("cdrom0", true, 30);
    ASSERT_TRUE(Guest().ChangeMedium("cdrom0", s_strDvd)) << Guest().LastError();
    // Then the program reads the details, ejects, closes, locks and unlocks.
    ASSERT_TRUE(Ready("reopened", 90)) << Collect(nId, 5).Describe();
    bool bReopened = WaitForTray("cdrom0", true, 10);
    Go("reopened");
    ASSERT_TRUE(Ready("reclosed", 60)) << Collect(nId, 5).Describe();
    bool bReclosed = WaitForTray("cdrom0", false, 10);
    Go("reclosed");
    ASSERT_TRUE(Ready("locked", 60)) << Collect(nId, 5).Describe();
    bool bLocked = false;
    ASSERT_TRUE(Guest().IsLocked("cdrom0", bLocked)) << Guest().LastError();
    nlohmann::json jsonReturn;
    bool bPlainEject = Guest().Monitor("eject", {{"id", "cdrom0"}}, jsonReturn);
    Go("locked");
    ASSERT_TRUE(Ready("unlocked", 60)) << Collect(nId, 5).Describe();
    bool bStillLocked = true;
    ASSERT_TRUE(Guest().IsLocked("cdrom0", bStillLocked)) << Guest().LastError();
    Go("unlocked");
    // The watch: the disc out, a CD in.
    ASSERT_TRUE(Ready("watching", 60)) << Collect(nId, 5).Describe();
    ASSERT_TRUE(Guest().OpenTray("cdrom0")) << Guest().LastError();
    RKProbeRun stOut = RunTool({RKKERNEL_DRIVE, "status", "/dev/sr0", "--until", "2"});
    ASSERT_EQ(stOut.stResult.nStatus, 0) << stOut.Describe();
    ASSERT_TRUE(Guest().ChangeMedium("cdrom0", s_strCd)) << Guest().LastError();
    RKProbeRun stRun = Collect(nId, 120);

    ASSERT_EQ(stRun.stResult.nStatus, 0) << stRun.Describe();
    RKProbeRecord stManager = stRun.One("manager");
    EXPECT_EQ(stManager.Field("valid"), "1") << stRun.Describe();
    EXPECT_EQ(stManager.Field("writers"), "1") << stRun.Describe();
    EXPECT_EQ(StepRows(stRun), (std::vector<std::string>{
                                   "listed: " + Row(1, RKMEDIA_CD, "CD", RKSC_DISC_COMPLETE),
                                   "dvd: " + Row(1, RKMEDIA_DVD, "DVD", RKSC_DISC_COMPLETE),
                                   "open: " + Row(0, RKSC_MEDIA_NONE, "", RKSC_DISC_NONE),
                                   "closed: " + Row(1, RKMEDIA_CD, "CD", RKSC_DISC_COMPLETE),
                               }))
        << stRun.Describe();
    RKProbeRecord stHeld = stRun.One("held");
    EXPECT_EQ(stHeld.Field("opened"), "1") << stRun.Describe();
    EXPECT_EQ(stHeld.Field("media_in"), "1") << "a drive held for writing read as empty\n"
                                             << stRun.Describe();
    EXPECT_EQ(stRun.One("eject").Field("result"), "1") << stRun.Describe();
    EXPECT_TRUE(bEjected) << "the host saw no open tray after EjectTray\n" << stRun.Describe();
    EXPECT_TRUE(bWaitOpened) << "the wait did not open the empty drive's tray\n" << stRun.Describe();
    RKProbeRecord stWait = stRun.One("wait");
    EXPECT_EQ(stWait.Field("result"), "1") << stRun.Describe();
    EXPECT_EQ(stWait.Field("index"), "0") << stRun.Describe();
    EXPECT_EQ(stWait.Field("media"), Hex(RKMEDIA_DVD)) << stRun.Describe();
    EXPECT_EQ(stWait.Field("name"), "DVD") << stRun.Describe();
    EXPECT_EQ(stWait.Field("disc"), std::to_string(RKSC_DISC_COMPLETE)) << stRun.Describe();
    // The DVD image of 737,282,048 bytes: 360,001 blocks, one data track.
    RKProbeRecord stDisc = stRun.One("disc");
    EXPECT_EQ(stDisc.Field("present") + " " + stDisc.Field("profile") + " " + stDisc.Field("state") + " " +
                  stDisc.Field("sessions") + " " + stDisc.Field("first") + "-" + stDisc.Field("last") + " " +
                  stDisc.Field("audio") + "/" + stDisc.Field("data") + " " + stDisc.Field("blocks") + "x" +
                  stDisc.Field("block") + " " + stDisc.Field("free"),
              "1 16 3 1 1-1 0/1 360001x2048 0")
        << stRun.Describe();
    RKProbeRecord stDrive = stRun.One("drive");
    EXPECT_EQ(stDrive.Field("vendor") + "|" + stDrive.Field("product") + "|" + stDrive.Field("interface") +
                  "|" + stDrive.Field("loading"),
              "QEMU|QEMU CD-ROM|1|1")
        << stRun.Describe();
    RKProbeRecord stTray = stRun.One("tray");
    EXPECT_EQ(stTray.Field("open") + stTray.Field("present") + stTray.Field("locked"), "010")
        << stRun.Describe();
    std::vector<std::string> vecActions;
    for (const RKProbeRecord& stAction : stRun.Of("tray-action"))
        vecActions.push_back(stAction.Field("action") + "=" + stAction.Field("result"));
    EXPECT_EQ(vecActions, (std::vector<std::string>{"eject=1", "close=1", "lock=1", "unlock=1"}))
        << stRun.Describe();
    EXPECT_TRUE(bReopened) << "the host saw no open tray after the second eject";
    EXPECT_TRUE(bReclosed) << "the host saw no closed tray after CloseTray";
    EXPECT_TRUE(bLocked) << "the host saw no lock after LockTray";
    EXPECT_FALSE(bPlainEject) << "a locked door let the host eject";
    EXPECT_FALSE(bStillLocked) << "the door stayed locked after LockTray(0)";
    // Every event of the watch, in order. A tray event tells where the disc
    // stands after its poll, which may or may not have found the disc ready
    // yet: only its kind and drive are compared.
    std::vector<std::string> vecWatch;
    for (const RKProbeRecord& stEvent : stRun.Of("watch"))
    {
        std::string strKind = stEvent.Field("event");
        bool bTray =
            strKind == std::to_string(RKWATCH_TRAY_OPENED) || strKind == std::to_string(RKWATCH_TRAY_CLOSED);
        vecWatch.push_back(strKind + " " + stEvent.Field("letter") +
                           (bTray ? "" : " " + stEvent.Field("disc_present") + " " + stEvent.Field("name")));
    }
    EXPECT_EQ(vecWatch, (std::vector<std::string>{std::to_string(RKWATCH_STATE) + " E 1 DVD",
                                                  std::to_string(RKWATCH_TRAY_OPENED) + " E",
                                                  std::to_string(RKWATCH_DISC_REMOVED) + " E 0 ",
                                                  std::to_string(RKWATCH_TRAY_CLOSED) + " E",
                                                  std::to_string(RKWATCH_DISC_INSERTED) + " E 1 CD"}))
        << stRun.Describe();
    EXPECT_EQ(stRun.One("watchend").Field("end"), std::to_string(RKWATCH_END_CALLBACK)) << stRun.Describe();
    EXPECT_TRUE(stRun.Of("trace").empty()) << stRun.Describe();
    EXPECT_EQ(stRun.Of("done").size(), 1u) << stRun.Describe();
}
