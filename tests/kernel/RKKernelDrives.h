// The guest with two SCSI drives: cdrom0 (/dev/sr0) holding a CD image of
// exactly the largest size QEMU still calls a CD, cdrom1 (/dev/sr1) a DVD
// image one sector larger.
#ifndef RKKERNELDRIVES_H
#define RKKERNELDRIVES_H

#include "RKKernelFixture.h"

class KernelDrives : public CRKKernelTest
{
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite() { StopGuest(); }

    static std::string s_strCd;
    static std::string s_strDvd;
};

#endif
