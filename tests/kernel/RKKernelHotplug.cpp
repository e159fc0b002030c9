#include "RKKernelHotplug.h"

#include <cstdlib>

std::string KernelHotplug::s_strCd;
std::string KernelHotplug::s_strDvd;

void KernelHotplug::SetUpTestSuite()
{
    CRKGuest stNamer("hotplug");
    s_strCd = stNamer.MakeImage("cd.iso", 650ull << 20);
    s_strDvd = stNamer.MakeImage("dvd.iso", 4700372992ull);
    BootGuest("hotplug", {{"cdrom0", s_strCd, false}, {"ide0", s_strDvd, true}});
}

int KernelHotplug::DriveCount()
{
    RKProbeRun stRun = RunTool({"sh", "-c", "ls -d /sys/block/sr* | wc -l"});
    EXPECT_EQ(stRun.stResult.nStatus, 0) << stRun.Describe();
    return std::atoi(stRun.stResult.strOut.c_str());
}

std::string KernelHotplug::NextDriveId()
{
    static int s_nAdded = 0;
    return "hot" + std::to_string(s_nAdded++);
}
