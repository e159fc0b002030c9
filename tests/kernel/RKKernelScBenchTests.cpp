// The system engine's own benchmark, run in the guest by a member of group
// cdrom against /dev/sr0.
#include "RKKernelBench.h"

TEST_F(KernelBench, SystemEngineAgainstTheRawCalls)
{
    RKProbeRun stRun = RunTool({RKKERNEL_SC_BENCH, "--device", "/dev/sr0", "--index", "0", "--seconds", "10"},
                               RKGUEST_CDROM_USER, 150);
    Report(stRun);
    ASSERT_EQ(stRun.stResult.nStatus, 0) << stRun.Describe();
    EXPECT_FALSE(stRun.stResult.strOut.empty()) << stRun.Describe();
}
