// The guest itself: device nodes as a distribution sets them up, for the
// drives of the boot and for a drive added later.
#include "RKKernelHotplug.h"

TEST_F(KernelHotplug, DriveNodesBelongToGroupCdromAlsoWhenAddedLater)
{
    ASSERT_TRUE(Guest().HotAddDrive("cdrom1", s_strDvd)) << Guest().LastError();
    // A member of group cdrom reaches the new drive once it is ready.
    RKProbeRun stReady = RunTool({RKKERNEL_DRIVE, "status", "/dev/sr2", "--until", "4", "--seconds", "20"},
                                 RKGUEST_CDROM_USER);
    EXPECT_EQ(stReady.stResult.nStatus, 0) << stReady.Describe();

    RKProbeRun stNodes =
        RunTool({"stat", "-c", "%n %U:%G %a", "/dev/sr0", "/dev/sr1", "/dev/sr2", "/dev/sg2"});
    EXPECT_EQ(stNodes.stResult.strOut,
              "/dev/sr0 root:cdrom 660\n/dev/sr1 root:cdrom 660\n/dev/sr2 root:cdrom 660\n"
              "/dev/sg2 root:cdrom 660\n")
        << stNodes.Describe();
    // Outside the group, the drive cannot be opened.
    RKProbeRun stOutsider = RunTool({RKKERNEL_DRIVE, "status", "/dev/sr2"}, RKGUEST_PLAIN_USER);
    EXPECT_EQ(stOutsider.stResult.nStatus, 3) << stOutsider.Describe();
}
