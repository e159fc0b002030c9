#include "RKKernelRemovable.h"

#include <cstdlib>
#include <thread>

std::string KernelRemovable::s_strCd;
std::string KernelRemovable::s_strDvd;

void KernelRemovable::SetUpTestSuite()
{
    CRKGuest stNamer("removable");
    s_strCd = stNamer.MakeImage("cd.iso", 737280000ull);
    s_strDvd = stNamer.MakeImage("dvd.iso", 737280000ull + 2048);
    BootGuest("removable",
              {{"sata0", s_strDvd, false, RKGUEST_SATA_BUS}, {"usb0", s_strCd, false, RKGUEST_USB_BUS}});
}

bool KernelRemovable::WaitForDriveCount(int nCount, int nSeconds)
{
    RKProbeRun stRun =
        RunTool({"sh", "-c",
                 "i=0; while [ \"$(ls -d /sys/block/sr* 2>/dev/null | wc -l)\" != " + std::to_string(nCount) +
                     " ]; do i=$((i+1)); [ $i -le " + std::to_string(nSeconds * 10) +
                     " ] || exit 1; sleep 0.1; done"},
                RKGUEST_ROOT, nSeconds + 5);
    return stRun.stResult.nStatus == 0;
}

RKProbeRun KernelRemovable::WaitForDisc(const std::string& strDevice, int nSeconds)
{
    // The node of a drive just plugged in appears, then gets its group.
    std::string strScript = "i=0; until " + std::string(RKKERNEL_DRIVE) + " status " + strDevice +
                            " --until 4 --seconds 2; do i=$((i+1)); [ $i -le " +
                            std::to_string(nSeconds * 5) + " ] || exit 1; sleep 0.2; done";
    return RunTool({"sh", "-c", strScript}, RKGUEST_CDROM_USER, nSeconds * 3 + 5);
}

std::string KernelRemovable::DriveState()
{
    RKProbeRun stRun = RunTool(
        {"sh", "-c",
         std::string(
             "ls -l /dev/sr* /sys/class/block/ | grep sr; stat -L -c '%n %i' /sys/class/block/sr*; ") +
             RKKERNEL_DRIVE + " status /dev/sr1; dmesg | tail -n 8"});
    return stRun.stResult.strOut + stRun.stResult.strErr;
}
