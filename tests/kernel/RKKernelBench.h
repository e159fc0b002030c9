// The benchmark guest: cdrom0 (/dev/sr0) holding a CD, cdrom1 (/dev/sr1)
// empty. Benchmarks pass when
// their programs run and print their figures, never on the figures; the
// figures go to the test's output and to the run's figures.txt.
#ifndef RKKERNELBENCH_H
#define RKKERNELBENCH_H

#include "RKKernelFixture.h"

class KernelBench : public CRKKernelTest
{
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite() { StopGuest(); }

    static void Report(const RKProbeRun& stRun);
};

#endif
