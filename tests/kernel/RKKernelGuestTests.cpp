// The guest itself: device nodes as a distribution sets them up, for the
// drives of the boot and for a drive added later.
#include "RKKernelHotplug.h"

TEST_F(KernelHotplug, DriveNodesBelongToGroupCdromAlsoWhenAddedLater)
{
    std::string strNew = "/dev/sr" + std::to_string(DriveCount());
    ASSERT_TRUE(Guest().HotAddDrive(NextDriveId(), s_strDvd)) << Guest().LastError();
    // A member of group cdrom reaches the new drive once it is ready.
    RKProbeRun stReady =
        RunTool({RKKERNEL_DRIVE, "status", strNew, "--until", "4", "--seconds", "20"}, RKGUEST_CDROM_USER);
    EXPECT_EQ(stReady.stResult.nStatus, 0) << stReady.Describe();

    RKProbeRun stNodes = RunTool({"stat", "-c", "%n %U:%G %a", "/dev/sr0", "/dev/sr1", strNew, "/dev/sg1"});
    EXPECT_EQ(stNodes.stResult.strOut, "/dev/sr0 root:cdrom 660\n/dev/sr1 root:cdrom 660\n" + strNew +
                                           " root:cdrom 660\n/dev/sg1 root:cdrom 660\n")
        << stNodes.Describe();
    // Outside the group, the drive cannot be opened.
    RKProbeRun stOutsider = RunTool({RKKERNEL_DRIVE, "status", strNew}, RKGUEST_PLAIN_USER);
    EXPECT_EQ(stOutsider.stResult.nStatus, 3) << stOutsider.Describe();
}
