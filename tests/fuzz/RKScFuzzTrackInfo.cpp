// READ TRACK INFORMATION answers of any shape: the free blocks come only
// from a whole field inside the announced length.
#include <cstdint>

#include "RKScMmcDetails.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pbData, std::size_t nLength)
{
    RKScTrackInfo stTrack = RKScParseTrackInfo(pbData, nLength);
    std::size_t nAnnounced = nLength >= 2 ? ((pbData[0] << 8 | pbData[1]) + 2u) : 0;
    if (stTrack.bOk && (nLength < 20 || nAnnounced < 20))
        __builtin_trap();
    if (stTrack.dwTrackSize != RKSC_UNKNOWN && (nLength < 28 || nAnnounced < 28))
        __builtin_trap();
    if (!stTrack.bOk && stTrack.dwFreeBlocks != RKSC_UNKNOWN)
        __builtin_trap();
    return 0;
}
