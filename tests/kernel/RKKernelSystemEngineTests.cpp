// The system engine against the guest's real drives, as a member of group
// cdrom would run it (and as one outside it).
#include "RKKernelDrives.h"
#include "RKKernelHotplug.h"

#include <cstdio>

#include "RKDRV.h"
#include "RKSystemEngine.h"

namespace
{
const std::string s_strEngine = RKEngineArgument(RKDRV_ENGINE_SC);
const char s_szScsiModel[] = "QEMU QEMU CD-ROM";
const char s_szIdeModel[] = "QEMU QEMU DVD-ROM";
// QEMU's drives list the profiles DVD-ROM and CD-ROM.
const DWORD s_dwSupported = RKSC_SUPPORTS_CD | RKSC_SUPPORTS_DVD;

std::string Hex(DWORD dwValue)
{
    char szText[16];
    std::snprintf(szText, sizeof(szText), "0x%08x", static_cast<unsigned>(dwValue));
    return szText;
}

// One writer record as RKWriterSummary writes it.
std::string Row(char cLetter, const char* szModel, DWORD dwSupported, int nMediaIn, int nBaseMediaIn,
                DWORD dwMedia, const char* szName, DWORD dwDisc)
{
    return std::string(1, cLetter) + " | " + szModel + " | " + Hex(dwSupported) + " | " +
           std::to_string(nMediaIn) + " | " + std::to_string(nBaseMediaIn) + " | " + Hex(dwMedia) + " | " +
           szName + " | " + std::to_string(dwDisc);
}

std::string Cd(char cLetter, int nBaseMediaIn)
{
    return Row(cLetter, s_szScsiModel, s_dwSupported, 1, nBaseMediaIn, RKMEDIA_CD, "CD", RKSC_DISC_COMPLETE);
}

std::string Dvd(char cLetter, int nBaseMediaIn, const char* szModel = s_szScsiModel)
{
    return Row(cLetter, szModel, s_dwSupported, 1, nBaseMediaIn, RKMEDIA_DVD, "DVD", RKSC_DISC_COMPLETE);
}

std::string Empty(char cLetter)
{
    return Row(cLetter, s_szScsiModel, s_dwSupported, 0, 0, RKSC_MEDIA_NONE, "", RKSC_DISC_NONE);
}

// Listed from sysfs alone: the device cannot be opened.
std::string NoAccess(char cLetter)
{
    return Row(cLetter, s_szScsiModel, 0, 0, 0, RKSC_MEDIA_NONE, "", RKSC_DISC_NONE);
}

// Why a drive cannot be opened, and what to do, as the engine says it.
std::vector<std::string> NoAccessError(const std::string& strDevice)
{
    return {strDevice +
            ": cannot open: no read access (Permission denied [EACCES 13]): add the user to group cdrom "
            "and log in "
            "again"};
}

std::vector<std::string> ErrorsNaming(const RKProbeRun& stRun, const std::string& strDevice)
{
    std::vector<std::string> vecErrors;
    for (const RKProbeRecord& stTrace : stRun.Of("trace"))
        if (stTrace.Field("kind") == "Error" && stTrace.Field("text").find(strDevice) != std::string::npos)
            vecErrors.push_back(stTrace.Field("text"));
    return vecErrors;
}
} // namespace

TEST_F(KernelDrives, SystemEngineListsBothDrivesWithTheLettersOfTheirLinks)
{
    SetDisc("cdrom0", "/dev/sr0", s_strCd);
    SetDisc("cdrom1", "/dev/sr1", s_strDvd);
    struct RKLetterCase
    {
        const char* szFolder;
        std::vector<std::pair<std::string, std::string>> vecLinks;
        std::vector<std::string> vecRows;
    };
    const RKLetterCase aCases[] = {
        // No links: letters from D, in device order.
        {"sc-none", {}, {Cd('D', 0), Dvd('E', 0)}},
        {"sc-one", {{"e::", "/dev/sr0"}}, {Cd('E', 1), Dvd('D', 0)}},
        // A link to an image takes its letter too; a link is matched by
        // the device it reaches, however its path is spelt.
        {"sc-taken", {{"d::", s_strCd}, {"e::", "/dev/../dev/sr1"}}, {Cd('F', 0), Dvd('E', 1)}},
    };
    for (const RKLetterCase& stCase : aCases)
    {
        RKProbeRun stRun =
            Probe({s_strEngine, "list"}, RKGUEST_CDROM_USER, DosDevices(stCase.szFolder, stCase.vecLinks));
        ASSERT_EQ(stRun.stResult.nStatus, 0) << stRun.Describe();
        EXPECT_EQ(RKWriterSummaries(stRun), stCase.vecRows) << stCase.szFolder << "\n" << stRun.Describe();
        EXPECT_TRUE(stRun.Of("trace").empty()) << stCase.szFolder << "\n" << stRun.Describe();
    }
}

TEST_F(KernelDrives, SystemEnginePresenceAgreesWithTheLibraryInEveryTrayState)
{
    SetDisc("cdrom1", "/dev/sr1", s_strDvd);
    std::string strFolder = DosDevices("sc-presence", {{"e::", "/dev/sr0"}});
    auto ListFirst = [&strFolder]()
    {
        RKProbeRun stRun = Probe({s_strEngine, "list"}, RKGUEST_CDROM_USER, strFolder);
        EXPECT_EQ(stRun.stResult.nStatus, 0) << stRun.Describe();
        std::vector<std::string> vecRows = RKWriterSummaries(stRun);
        return vecRows.empty() ? std::string("<no writer>\n" + stRun.Describe()) : vecRows[0];
    };

    SetDisc("cdrom0", "/dev/sr0", s_strCd);
    EXPECT_EQ(ListFirst(), Cd('E', 1));
    SetDisc("cdrom0", "/dev/sr0", "");
    EXPECT_EQ(ListFirst(), Empty('E'));
    ASSERT_TRUE(Guest().OpenTray("cdrom0")) << Guest().LastError();
    RKProbeRun stOpen = RunTool({RKKERNEL_DRIVE, "status", "/dev/sr0", "--until", "2"});
    ASSERT_EQ(stOpen.stResult.nStatus, 0) << stOpen.Describe();
    EXPECT_EQ(ListFirst(), Empty('E'));
    SetDisc("cdrom0", "/dev/sr0", s_strCd);
    EXPECT_EQ(ListFirst(), Cd('E', 1));
}

TEST_F(KernelDrives, SystemEngineReportsAnEmptyDrive)
{
    SetDisc("cdrom0", "/dev/sr0", s_strCd);
    SetDisc("cdrom1", "/dev/sr1", "");
    RKProbeRun stRun = Probe({s_strEngine, "list"}, RKGUEST_CDROM_USER, DosDevices("sc-empty", {}));
    ASSERT_EQ(stRun.stResult.nStatus, 0) << stRun.Describe();
    EXPECT_EQ(RKWriterSummaries(stRun), (std::vector<std::string>{Cd('D', 0), Empty('E')}))
        << stRun.Describe();
}

TEST_F(KernelDrives, SystemEngineEjectOpensTheTrayTheHostSees)
{
    SetDisc("cdrom0", "/dev/sr0", s_strCd);
    SetDisc("cdrom1", "/dev/sr1", "");
    std::string strFolder = DosDevices("sc-eject", {});
    for (const char* szIndex : {"0", "1"})
    {
        const std::string strId = szIndex[0] == '0' ? "cdrom0" : "cdrom1";
        bool bOpen = true;
        ASSERT_TRUE(Guest().IsTrayOpen(strId, bOpen)) << Guest().LastError();
        ASSERT_FALSE(bOpen) << strId;
        RKProbeRun stRun = Probe({s_strEngine, "eject", szIndex}, RKGUEST_CDROM_USER, strFolder);
        ASSERT_EQ(stRun.stResult.nStatus, 0) << stRun.Describe();
        EXPECT_EQ(stRun.One("eject").Field("result"), "1") << stRun.Describe();
        EXPECT_TRUE(WaitForTray(strId, true, 10)) << strId << "\n" << stRun.Describe();
    }
    // The discs go back in, trays closed.
    SetDisc("cdrom0", "/dev/sr0", s_strCd);
    SetDisc("cdrom1", "/dev/sr1", s_strDvd);
}

// A mount locks the door; so does this program, the way a mount would.
TEST_F(KernelDrives, SystemEngineLeavesTheTrayOfALockedDrive)
{
    SetDisc("cdrom0", "/dev/sr0", s_strCd);
    std::string strReady = ReadyFile("sc-lock");
    RKGuestCommand stHold;
    stHold.vecArgs = {RKKERNEL_DRIVE, "hold", "/dev/sr0", "4", strReady, "--lock"};
    stHold.eUser = RKGUEST_CDROM_USER;
    int nHold = Guest().Start(stHold);
    ASSERT_TRUE(WaitForFile(strReady, 30)) << Collect(nHold, 5).Describe();

    RKProbeRun stRun = Probe({s_strEngine, "eject", "0"}, RKGUEST_CDROM_USER, DosDevices("sc-lock", {}));
    bool bOpen = true;
    ASSERT_TRUE(Guest().IsTrayOpen("cdrom0", bOpen)) << Guest().LastError();
    RKProbeRun stHeld = Collect(nHold, 30);
    EXPECT_EQ(stHeld.stResult.nStatus, 0) << stHeld.Describe();

    ASSERT_EQ(stRun.stResult.nStatus, 0) << stRun.Describe();
    EXPECT_EQ(stRun.One("eject").Field("result"), "0") << stRun.Describe();
    EXPECT_EQ(ErrorsNaming(stRun, "/dev/sr0"),
              (std::vector<std::string>{
                  "/dev/sr0: the tray stays closed: the drive is in use (mounted or opened by "
                  "another program) or its tray is locked"}))
        << stRun.Describe();
    EXPECT_FALSE(bOpen);
}

TEST_F(KernelDrives, SystemEngineWriterWaitEndsWithTheDiscTheHostInserts)
{
    SetDisc("cdrom0", "/dev/sr0", s_strCd);
    SetDisc("cdrom1", "/dev/sr1", "");
    std::string strReady = ReadyFile("sc-writer-wait");
    int nId =
        Guest().Start(ProbeCommand({s_strEngine, "writer-wait", "1", "--seconds", "60", "--ready", strReady},
                                   RKGUEST_CDROM_USER, DosDevices("sc-writer-wait", {})));
    ASSERT_TRUE(WaitForFile(strReady, 60)) << Collect(nId, 5).Describe();
    // The wait opened the empty drive's tray before it began polling.
    EXPECT_TRUE(WaitForTray("cdrom1", true, 10));
    ASSERT_TRUE(Guest().ChangeMedium("cdrom1", s_strDvd)) << Guest().LastError();
    RKProbeRun stRun = Collect(nId, 90);

    ASSERT_EQ(stRun.stResult.nStatus, 0) << stRun.Describe();
    RKProbeRecord stResult = stRun.One("writer-wait");
    EXPECT_EQ(stResult.Field("media"), Hex(RKMEDIA_DVD)) << stRun.Describe();
    EXPECT_EQ(stResult.Field("name"), "DVD") << stRun.Describe();
    EXPECT_EQ(stResult.Field("disc"), std::to_string(RKSC_DISC_COMPLETE)) << stRun.Describe();
    std::vector<RKProbeRecord> vecReports = stRun.Of("report");
    ASSERT_GE(vecReports.size(), 3u) << stRun.Describe();
    EXPECT_EQ(vecReports.front().Field("step"), "1");
    EXPECT_EQ(vecReports.back().Field("step"), "4") << stRun.Describe();
}

TEST_F(KernelDrives, SystemEngineWaitAcrossDrivesEndsAtTheDriveThatGotTheDisc)
{
    SetDisc("cdrom0", "/dev/sr0", "");
    SetDisc("cdrom1", "/dev/sr1", "");
    std::string strReady = ReadyFile("sc-any");
    int nId = Guest().Start(ProbeCommand({s_strEngine, "wait", "any", "--seconds", "60", "--ready", strReady},
                                         RKGUEST_CDROM_USER, DosDevices("sc-any", {})));
    // The first poll is on drive 0; drive 1 comes after a 4 s pause, in
    // which the disc goes in.
    ASSERT_TRUE(WaitForFile(strReady, 60)) << Collect(nId, 5).Describe();
    ASSERT_TRUE(Guest().ChangeMedium("cdrom1", s_strCd)) << Guest().LastError();
    EXPECT_TRUE(WaitForTray("cdrom0", true, 10));
    RKProbeRun stRun = Collect(nId, 90);

    ASSERT_EQ(stRun.stResult.nStatus, 0) << stRun.Describe();
    RKProbeRecord stResult = stRun.One("wait");
    EXPECT_EQ(stResult.Field("result"), "1") << stRun.Describe();
    EXPECT_EQ(stResult.Field("index"), "1") << stRun.Describe();
    EXPECT_EQ(stResult.Field("media"), Hex(RKMEDIA_CD)) << stRun.Describe();
    EXPECT_EQ(stResult.Field("name"), "CD") << stRun.Describe();
    EXPECT_EQ(stResult.Field("disc"), std::to_string(RKSC_DISC_COMPLETE)) << stRun.Describe();
    EXPECT_EQ(stRun.Of("report").back().Field("step"), "4") << stRun.Describe();
}

TEST_F(KernelDrives, SystemEngineListsADriveTheUserMayNotOpen)
{
    SetDisc("cdrom0", "/dev/sr0", s_strCd);
    SetDisc("cdrom1", "/dev/sr1", s_strDvd);
    std::string strFolder = DosDevices("sc-access", {});
    ASSERT_EQ(Guest().RunShell("chmod 0600 /dev/sr1").nStatus, 0);
    RKProbeRun stMember = Probe({s_strEngine, "list"}, RKGUEST_CDROM_USER, strFolder);
    // Outside group cdrom no drive opens.
    RKProbeRun stOutsider = Probe({s_strEngine, "list"}, RKGUEST_PLAIN_USER, strFolder);
    ASSERT_EQ(Guest().RunShell("chmod 0660 /dev/sr1").nStatus, 0);

    ASSERT_EQ(stMember.stResult.nStatus, 0) << stMember.Describe();
    EXPECT_EQ(RKWriterSummaries(stMember), (std::vector<std::string>{Cd('D', 0), NoAccess('E')}))
        << stMember.Describe();
    EXPECT_EQ(ErrorsNaming(stMember, "/dev/sr0"), std::vector<std::string>()) << stMember.Describe();
    EXPECT_EQ(ErrorsNaming(stMember, "/dev/sr1"), NoAccessError("/dev/sr1")) << stMember.Describe();

    ASSERT_EQ(stOutsider.stResult.nStatus, 0) << stOutsider.Describe();
    EXPECT_EQ(RKWriterSummaries(stOutsider), (std::vector<std::string>{NoAccess('D'), NoAccess('E')}))
        << stOutsider.Describe();
    EXPECT_EQ(ErrorsNaming(stOutsider, "/dev/sr0"), NoAccessError("/dev/sr0")) << stOutsider.Describe();
    EXPECT_EQ(ErrorsNaming(stOutsider, "/dev/sr1"), NoAccessError("/dev/sr1")) << stOutsider.Describe();
}

TEST_F(KernelHotplug, SystemEngineRefreshListsAHotAddedDrive)
{
    int nBefore = DriveCount();
    ASSERT_GE(nBefore, 2);
    std::string strReady = ReadyFile("sc-refresh");
    // As root: the new node's owner is set a moment after it appears.
    int nId = Guest().Start(ProbeCommand({s_strEngine, "refresh", "--seconds", "30", "--ready", strReady},
                                         RKGUEST_ROOT, DosDevices("sc-refresh", {})));
    ASSERT_TRUE(WaitForFile(strReady, 60)) << Collect(nId, 5).Describe();
    ASSERT_TRUE(Guest().HotAddDrive(NextDriveId(), s_strDvd)) << Guest().LastError();
    RKProbeRun stRun = Collect(nId, 60);

    ASSERT_EQ(stRun.stResult.nStatus, 0) << stRun.Describe();
    RKProbeRecord stRefresh = stRun.One("refresh");
    EXPECT_EQ(stRefresh.Field("before"), std::to_string(nBefore)) << stRun.Describe();
    EXPECT_EQ(stRefresh.Field("after"), std::to_string(nBefore + 1)) << stRun.Describe();
    std::vector<std::string> vecRows = RKWriterSummaries(stRun);
    ASSERT_EQ(vecRows.size(), static_cast<size_t>(nBefore + 1)) << stRun.Describe();
    // The boot's drives first: the SCSI one, then the IDE one; the new one
    // last, with the next letter.
    EXPECT_EQ(vecRows[0], Cd('D', 0));
    EXPECT_EQ(vecRows[1], Dvd('E', 0, s_szIdeModel));
    EXPECT_EQ(vecRows.back(), Dvd(static_cast<char>('D' + nBefore), 0)) << stRun.Describe();
}
