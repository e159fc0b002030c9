// READ TOC answers of any shape, through both readers of them. The track
// table: every track read lies inside the answer, and a table called whole
// names each track from the first to the last. The full table: only a whole
// one, with point A0h among the descriptors that arrived, counts as one.
#include <cstdint>

#include "RKScMmc.h"
#include "RKScMmcDetails.h"

namespace
{
void CheckTrackTable(const std::uint8_t* pbData, std::size_t nLength)
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
}

void CheckFullTable(const std::uint8_t* pbData, std::size_t nLength)
{
    if (!RKScIsFullToc(pbData, nLength))
        return;
    std::size_t nAnnounced = static_cast<std::size_t>((pbData[0] << 8) | pbData[1]) + 2;
    if (nLength < 15 || (nAnnounced - 4) % 11 != 0)
        __builtin_trap();
    bool bPoint = false;
    for (std::size_t nAt = 4; nAt + 11 <= nLength && nAt + 11 <= nAnnounced; nAt += 11)
        bPoint = bPoint || pbData[nAt + 3] == 0xA0;
    if (!bPoint)
        __builtin_trap();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pbData, std::size_t nLength)
{
    CheckTrackTable(pbData, nLength);
    CheckFullTable(pbData, nLength);
    return 0;
}
