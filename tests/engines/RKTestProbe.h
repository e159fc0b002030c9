// Shared between the tests and the test engines: counters and an event
// list that outlive an engine module's unload. A test publishes the
// probe's address in RKDRV_TEST_PROBE; an engine without it counts nothing.
#ifndef RKTESTPROBE_H
#define RKTESTPROBE_H

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "RKTypes.h"

struct RKTestProbe
{
    int nFactoryCalls;
    int nInitialize;
    int nEnumerate;
    int nRelease;
    int nManagersDestroyed;
    int nWritersDestroyed;
    int nUnloads;
    // Drives the next managers list, in order; nLetters < 0: the default E, F.
    int nLetters;
    WORD awLetters[16];
    // "engine:event;" entries in the order they happened.
    char szEvents[4096];
    // "engine:operation" ("RKDRVSC:initialize"): that operation throws.
    char szThrowIn[32];
};

inline void RKTestProbeReset(RKTestProbe& probe)
{
    std::memset(&probe, 0, sizeof(probe));
    probe.nLetters = -1;
}

inline void RKTestProbeEvent(RKTestProbe* pProbe, const char* szEngine, const char* szEvent)
{
    if (!pProbe)
        return;
    std::size_t nUsed = std::strlen(pProbe->szEvents);
    std::snprintf(pProbe->szEvents + nUsed, sizeof(pProbe->szEvents) - nUsed, "%s:%s;", szEngine, szEvent);
}

// Whether engine szEngine's operation szOperation is to throw.
inline bool RKTestProbeThrows(const RKTestProbe* pProbe, const char* szEngine, const char* szOperation)
{
    if (!pProbe)
        return false;
    char szWanted[sizeof(pProbe->szThrowIn)];
    std::snprintf(szWanted, sizeof(szWanted), "%s:%s", szEngine, szOperation);
    return std::strcmp(szWanted, pProbe->szThrowIn) == 0;
}

inline RKTestProbe* RKTestProbeFromEnvironment()
{
    const char* szAddress = std::getenv("RKDRV_TEST_PROBE");
    if (!szAddress || !*szAddress)
        return nullptr;
    return reinterpret_cast<RKTestProbe*>(static_cast<std::uintptr_t>(std::strtoull(szAddress, nullptr, 16)));
}

#endif
