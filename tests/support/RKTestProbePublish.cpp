#include <cstdint>
#include <cstdio>

#include "RKTestModule.h"

void RKTestPublishProbe(RKTestProbe* pProbe)
{
    if (!pProbe)
    {
        RKTestSetEnv("RKDRV_TEST_PROBE", nullptr);
        return;
    }
    char szAddress[32];
    std::snprintf(szAddress, sizeof(szAddress), "%llx",
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(pProbe)));
    RKTestSetEnv("RKDRV_TEST_PROBE", szAddress);
}
