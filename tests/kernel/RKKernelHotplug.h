// The guest with one drive of each kind: cdrom0 on the SCSI bus (/dev/sr0,
// a CD image) and ide0 on the IDE bus (/dev/sr1, a DVD image); tests add a
// SCSI drive while it runs (/dev/sr2).
#ifndef RKKERNELHOTPLUG_H
#define RKKERNELHOTPLUG_H

#include "RKKernelFixture.h"

class KernelHotplug : public CRKKernelTest
{
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite() { StopGuest(); }

    static std::string s_strCd;
    static std::string s_strDvd;
};

#endif
