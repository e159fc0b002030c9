#include "RKOsLayer.h"

namespace
{
const RKOsCallTable* s_pCalls = nullptr;
}

const RKOsCallTable& RKOsCalls()
{
    return s_pCalls ? *s_pCalls : RKOsDefaultCalls();
}

void RKOsSetCalls(const RKOsCallTable* pCalls)
{
    s_pCalls = pCalls;
}
