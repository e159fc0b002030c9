// The guest with a SATA and a USB drive: sata0 (ide-cd on an AHCI
// controller, /dev/sr0, a DVD image) and usb0 (a CD-ROM behind a USB mass
// storage device on an xHCI controller, /dev/sr1, a CD image). Tests pull
// the USB drive out and plug others in; each takes the lowest free srN.
#ifndef RKKERNELREMOVABLE_H
#define RKKERNELREMOVABLE_H

#include "RKKernelFixture.h"

class KernelRemovable : public CRKKernelTest
{
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite() { StopGuest(); }

    // Waits until the guest has that many drives.
    static bool WaitForDriveCount(int nCount, int nSeconds);
    // Waits until a member of group cdrom sees a ready disc in the drive.
    static RKProbeRun WaitForDisc(const std::string& strDevice, int nSeconds);
    // The guest's drive nodes and the kernel's last messages, for failures.
    static std::string DriveState();

    static std::string s_strCd;
    static std::string s_strDvd;
};

#endif
