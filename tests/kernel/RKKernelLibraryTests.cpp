// The library's own presence test and both media waits against real kernel
// drives, through the sample engine, whose writers rely on the library for
// presence: a dosdevices link names the guest's drive.
#include "RKKernelDrives.h"

#include "RKDRV.h"

namespace
{
const std::string s_strSample = RKEngineArgument(RKDRV_ENGINE_CL);
} // namespace

TEST_F(KernelDrives, LibraryPresenceFollowsTheLinkedDrive)
{
    SetDisc("cdrom0", "/dev/sr0", s_strCd);
    SetDisc("cdrom1", "/dev/sr1", "");
    std::string strFolder = DosDevices("library", {{"d::", "/dev/sr1"}, {"e::", "/dev/sr0"}});

    RKProbeRun stMember = Probe({s_strSample, "list"}, RKGUEST_CDROM_USER, strFolder);
    ASSERT_EQ(stMember.stResult.nStatus, 0) << stMember.Describe();
    EXPECT_EQ(
        RKWriterSummaries(stMember),
        (std::vector<std::string>{"D | Sample Writer DVD-RW | 0x00000015 | 0 | 0 | 0x00000000 |  | 0",
                                  "E | Sample Writer BD-RE | 0x00006001 | 1 | 1 | 0x00006001 | BD-RE | 1"}))
        << stMember.Describe();

    // Without group cdrom the drive cannot be opened: no medium, as the
    // library reports every failure to ask.
    RKProbeRun stOutsider = Probe({s_strSample, "list"}, RKGUEST_PLAIN_USER, strFolder);
    ASSERT_EQ(stOutsider.stResult.nStatus, 0) << stOutsider.Describe();
    EXPECT_EQ(RKWriterSummaries(stOutsider),
              (std::vector<std::string>{"D | Sample Writer DVD-RW | 0x00000015 | 0 | 0 | 0x00000000 |  | 0",
                                        "E | Sample Writer BD-RE | 0x00006001 | 0 | 0 | 0x00000000 |  | 0"}))
        << stOutsider.Describe();
}

TEST_F(KernelDrives, LibraryWriterWaitEndsWhenTheHostInsertsADisc)
{
    SetDisc("cdrom0", "/dev/sr0", "");
    std::string strFolder = DosDevices("library-wait", {{"e::", "/dev/sr0"}});
    std::string strReady = ReadyFile("library-writer-wait");

    int nId =
        Guest().Start(ProbeCommand({s_strSample, "writer-wait", "1", "--seconds", "60", "--ready", strReady},
                                   RKGUEST_CDROM_USER, strFolder));
    ASSERT_TRUE(WaitForFile(strReady, 60)) << Collect(nId, 5).Describe();
    ASSERT_TRUE(Guest().ChangeMedium("cdrom0", s_strCd)) << Guest().LastError();
    RKProbeRun stRun = Collect(nId, 90);

    ASSERT_EQ(stRun.stResult.nStatus, 0) << stRun.Describe();
    RKProbeRecord stResult = stRun.One("writer-wait");
    EXPECT_EQ(stResult.Field("media"), "0x00006001") << stRun.Describe();
    // Started, polled until the disc came, ended.
    std::vector<RKProbeRecord> vecReports = stRun.Of("report");
    ASSERT_GE(vecReports.size(), 3u) << stRun.Describe();
    EXPECT_EQ(vecReports.front().Field("step"), "1");
    for (size_t nReport = 1; nReport + 1 < vecReports.size(); ++nReport)
        EXPECT_EQ(vecReports[nReport].Field("step"), "2") << stRun.Describe();
    EXPECT_EQ(vecReports.back().Field("step"), "4") << stRun.Describe();
}

TEST_F(KernelDrives, LibraryWaitAcrossDrivesEndsAtTheDriveThatGotTheDisc)
{
    SetDisc("cdrom0", "/dev/sr0", "");
    SetDisc("cdrom1", "/dev/sr1", "");
    std::string strFolder = DosDevices("library-any", {{"d::", "/dev/sr1"}, {"e::", "/dev/sr0"}});
    std::string strReady = ReadyFile("library-any");

    int nId = Guest().Start(ProbeCommand({s_strSample, "wait", "any", "--seconds", "60", "--ready", strReady},
                                         RKGUEST_CDROM_USER, strFolder));
    ASSERT_TRUE(WaitForFile(strReady, 60)) << Collect(nId, 5).Describe();
    ASSERT_TRUE(Guest().ChangeMedium("cdrom0", s_strDvd)) << Guest().LastError();
    RKProbeRun stRun = Collect(nId, 90);

    ASSERT_EQ(stRun.stResult.nStatus, 0) << stRun.Describe();
    RKProbeRecord stResult = stRun.One("wait");
    // Writer E, index 1, names /dev/sr0.
    EXPECT_EQ(stResult.Field("result"), "1") << stRun.Describe();
    EXPECT_EQ(stResult.Field("index"), "1") << stRun.Describe();
    EXPECT_EQ(stResult.Field("media"), "0x00006001") << stRun.Describe();
    EXPECT_EQ(stRun.Of("report").back().Field("step"), "4") << stRun.Describe();
}
