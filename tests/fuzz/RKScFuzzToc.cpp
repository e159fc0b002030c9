// READ TOC answers of any shape: every track read lies inside the answer,
// and a table called whole names each track from the first to the last.
#include <cstdint>

#include "RKScMmcDetails.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pbData, std::size_t nLength)
{
    RKScToc stToc = RKScParseToc(pbData, nLength);
    if (!stToc.bOk && (stToc.bWhole || !stToc.vecTracks.empty()))
        __builtin_trap();
    if (stToc.bOk && 4 + 8 * stToc.vecTracks.size() > nLength)
        __builtin_trap();
    if (stToc.bWhole)
    {
        if (stToc.bFirstTrack == 0 || stToc.bFirstTrack > stToc.bLastTrack || !stToc.strProblem.empty())
            __builtin_trap();
        for (unsigned uTrack = stToc.bFirstTrack; uTrack <= stToc.bLastTrack; ++uTrack)
        {
            bool bFound = false;
            for (const RKScTocTrack& stTrack : stToc.vecTracks)
                bFound = bFound || stTrack.bTrack == uTrack;
            if (!bFound)
                __builtin_trap();
        }
    }
    for (const RKScTocTrack& stTrack : stToc.vecTracks)
    {
        if (stTrack.bTrack == 0xAA)
            __builtin_trap();
    }
    return 0;
}
