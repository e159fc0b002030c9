// The guest with one drive of each kind: cdrom0 on the SCSI bus (/dev/sr0,
// a CD image) and ide0 on the IDE bus (/dev/sr1, a DVD image); tests add a
// SCSI drive while it runs (/dev/sr2, /dev/sr3, ... in the order added).
#ifndef RKKERNELHOTPLUG_H
#define RKKERNELHOTPLUG_H

#include "RKKernelFixture.h"

class KernelHotplug : public CRKKernelTest
{
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite() { StopGuest(); }

    // The drives the guest has now, and a new id for one more.
    static int DriveCount();
    static std::string NextDriveId();

    static std::string s_strCd;
    static std::string s_strDvd;
};

#endif
