#include "RKKernelHotplug.h"

std::string KernelHotplug::s_strCd;
std::string KernelHotplug::s_strDvd;

void KernelHotplug::SetUpTestSuite()
{
    CRKGuest stNamer("hotplug");
    s_strCd = stNamer.MakeImage("cd.iso", 650ull << 20);
    s_strDvd = stNamer.MakeImage("dvd.iso", 4700372992ull);
    BootGuest("hotplug", {{"cdrom0", s_strCd, false}, {"ide0", s_strDvd, true}});
}
