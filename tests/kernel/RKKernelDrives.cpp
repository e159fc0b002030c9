#include "RKKernelDrives.h"

std::string KernelDrives::s_strCd;
std::string KernelDrives::s_strDvd;

void KernelDrives::SetUpTestSuite()
{
    CRKGuest stNamer("drives");
    s_strCd = stNamer.MakeImage("cd.iso", 737280000ull);
    s_strDvd = stNamer.MakeImage("dvd.iso", 737280000ull + 2048);
    BootGuest("drives", {{"cdrom0", s_strCd, false}, {"cdrom1", s_strDvd, false}});
}
