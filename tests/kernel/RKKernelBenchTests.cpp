// The library's own presence test against the raw calls, in the guest.
#include "RKKernelBench.h"

#include <fstream>
#include <iostream>

void KernelBench::SetUpTestSuite()
{
    CRKGuest stNamer("bench");
    std::string strCd = stNamer.MakeImage("cd.iso", 650ull << 20);
    std::ofstream(stNamer.RunPath() + "/figures.txt", std::ios::trunc).close();
    // The second drive, empty, is for the figures of watching two drives.
    BootGuest("bench", {{"cdrom0", strCd, false}, {"cdrom1", "", false}});
}

void KernelBench::Report(const RKProbeRun& stRun)
{
    std::cout << stRun.stResult.strOut << std::flush;
    std::ofstream(Guest().RunPath() + "/figures.txt", std::ios::app) << stRun.stResult.strOut;
}

TEST_F(KernelBench, LibraryPresenceAgainstTheRawCalls)
{
    // At most 10 s of measuring, well inside the guest's limit however slow
    // the build: the figures are printed, never judged.
    RKProbeRun stRun = RunTool({RKKERNEL_PRESENCE_BENCH, "/dev/sr0", "1000", "10"}, RKGUEST_CDROM_USER, 120);
    Report(stRun);
    ASSERT_EQ(stRun.stResult.nStatus, 0) << stRun.Describe();
    RKProbeRecord stFigures = stRun.One("presence-bench");
    EXPECT_EQ(stFigures.Field("media_in"), "1") << stRun.Describe();
    EXPECT_NE(stFigures.Field("ratio"), "<none>") << stRun.Describe();
}
