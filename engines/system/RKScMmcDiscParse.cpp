// Parsers of what a drive says of its disc: the disc information beyond
// its status, the table of contents, the capacities, the track being
// written, and the ISO 9660 primary volume descriptor.
#include <algorithm>
#include <bitset>
#include <cstring>

#include "RKScMmcBytes.h"
#include "RKScMmcDetails.h"

namespace
{
std::string Number(std::uint64_t ullValue)
{
    return std::to_string(ullValue);
}

std::string CutAfter(const char* szWhat, std::size_t nHave, std::size_t nNeeded)
{
    return std::string(szWhat) + " cut after " + Number(nHave) + " of " + Number(nNeeded) + " bytes";
}
} // namespace

RKScDiscLayout RKScParseDiscLayout(const std::uint8_t* pbData, std::size_t nLength)
{
    RKScDiscLayout stLayout = {
        false, 0, 0, false, false, RKSC_UNKNOWN, RKSC_UNKNOWN, RKSC_UNKNOWN, RKSC_UNKNOWN, std::string()};
    RKScDiscInfo stInfo = RKScParseDiscInfo(pbData, nLength);
    stLayout.strProblem = stInfo.strProblem;
    if (!stInfo.bOk)
        return stLayout;
    stLayout.bOk = true;
    stLayout.bDiscStatus = stInfo.bDiscStatus;
    stLayout.bErasable = stInfo.bErasable;
    stLayout.bLastSession = static_cast<std::uint8_t>((pbData[2] >> 2) & 0x03);
    std::size_t nAvailable = std::min<std::size_t>(nLength, static_cast<std::size_t>(RKScWordAt(pbData)) + 2);
    if (nAvailable < 12)
    {
        stLayout.strProblem = CutAfter("disc information", nAvailable, 12);
        return stLayout;
    }
    // Each number's low byte comes first in the answer, its high byte later.
    stLayout.bCounts = true;
    stLayout.dwFirstTrack = pbData[3];
    stLayout.dwSessions = static_cast<DWORD>(pbData[9] << 8 | pbData[4]);
    stLayout.dwFirstTrackLastSession = static_cast<DWORD>(pbData[10] << 8 | pbData[5]);
    stLayout.dwLastTrackLastSession = static_cast<DWORD>(pbData[11] << 8 | pbData[6]);
    return stLayout;
}

RKScToc RKScParseToc(const std::uint8_t* pbData, std::size_t nLength)
{
    RKScToc stToc = {false, 0, 0, std::vector<RKScTocTrack>(), false, std::string()};
    if (!pbData || nLength < 4)
    {
        stToc.strProblem = RKScShortAnswer(pbData ? nLength : 0, "the 4-byte TOC header");
        return stToc;
    }
    std::size_t nAnnounced = static_cast<std::size_t>(RKScWordAt(pbData)) + 2;
    if (nAnnounced < 4)
    {
        stToc.strProblem = "TOC of " + Number(nAnnounced) + " bytes, fewer than its own 4-byte header";
        return stToc;
    }
    stToc.bOk = true;
    stToc.bFirstTrack = pbData[2];
    stToc.bLastTrack = pbData[3];
    std::size_t nAvailable = std::min(nLength, nAnnounced);
    // Each track once: a table that repeats one is not believed whole.
    std::bitset<256> bitsSeen;
    std::size_t nInRange = 0;
    std::string strRepeated;
    for (std::size_t nAt = 4; nAt + 8 <= nAvailable; nAt += 8)
    {
        std::uint8_t bTrack = pbData[nAt + 2];
        if (bTrack == 0xAA)
            continue;
        if (bitsSeen.test(bTrack))
        {
            strRepeated = "TOC lists track " + Number(bTrack) + " more than once";
            continue;
        }
        bitsSeen.set(bTrack);
        stToc.vecTracks.push_back({bTrack, (pbData[nAt + 1] & 0x04) != 0, RKScLongAt(pbData + nAt + 4)});
        if (bTrack >= stToc.bFirstTrack && bTrack <= stToc.bLastTrack)
            ++nInRange;
    }
    if (stToc.bFirstTrack == 0 || stToc.bFirstTrack > stToc.bLastTrack)
        stToc.strProblem =
            "TOC names tracks " + Number(stToc.bFirstTrack) + " to " + Number(stToc.bLastTrack);
    else if ((nAnnounced - 4) % 8 != 0)
        stToc.strProblem = "TOC descriptors of " + Number(nAnnounced - 4) + " bytes are not a multiple of 8";
    else if (nInRange != static_cast<std::size_t>(stToc.bLastTrack - stToc.bFirstTrack + 1))
        stToc.strProblem = "TOC of tracks " + Number(stToc.bFirstTrack) + " to " + Number(stToc.bLastTrack) +
                           " describes " + Number(nInRange) + " of them";
    else if (!strRepeated.empty())
        stToc.strProblem = strRepeated;
    else
        stToc.bWhole = true;
    return stToc;
}

RKScCapacity RKScParseCapacity(const std::uint8_t* pbData, std::size_t nLength)
{
    RKScCapacity stCapacity = {false, RKSC_UNKNOWN, RKSC_UNKNOWN, std::string()};
    if (!pbData || nLength < 8)
    {
        stCapacity.strProblem = RKScShortAnswer(pbData ? nLength : 0, "the 8-byte capacity");
        return stCapacity;
    }
    std::uint32_t dwLast = RKScLongAt(pbData);
    std::uint32_t dwBlockLength = RKScLongAt(pbData + 4);
    // 0xFFFFFFFF blocks would read as "not known".
    if (dwLast >= 0xFFFFFFFEu)
        stCapacity.strProblem = "the capacity is beyond what READ CAPACITY (10) can give";
    else if (dwBlockLength == 0)
        stCapacity.strProblem = "block length 0";
    else
    {
        stCapacity.bOk = true;
        stCapacity.dwBlocks = dwLast + 1;
        stCapacity.dwBlockLength = dwBlockLength;
    }
    return stCapacity;
}

RKScFormatCapacity RKScParseFormatCapacity(const std::uint8_t* pbData, std::size_t nLength)
{
    RKScFormatCapacity stCapacity = {false, 0, RKSC_UNKNOWN, RKSC_UNKNOWN, std::string()};
    if (!pbData || nLength < 12)
    {
        stCapacity.strProblem =
            RKScShortAnswer(pbData ? nLength : 0, "the 12 bytes up to the first capacity descriptor");
        return stCapacity;
    }
    if (pbData[3] < 8)
    {
        stCapacity.strProblem = "capacity list of " + Number(pbData[3]) + " bytes holds no descriptor";
        return stCapacity;
    }
    stCapacity.bOk = true;
    stCapacity.bType = static_cast<std::uint8_t>(pbData[8] & 0x03);
    stCapacity.dwBlocks = RKScLongAt(pbData + 4);
    stCapacity.dwBlockLength = static_cast<DWORD>(pbData[9] << 16 | pbData[10] << 8 | pbData[11]);
    return stCapacity;
}

RKScTrackInfo RKScParseTrackInfo(const std::uint8_t* pbData, std::size_t nLength)
{
    RKScTrackInfo stTrack = {false, false, RKSC_UNKNOWN, RKSC_UNKNOWN, RKSC_UNKNOWN, std::string()};
    if (!pbData || nLength < 2)
    {
        stTrack.strProblem = RKScShortAnswer(pbData ? nLength : 0, "the 2-byte length");
        return stTrack;
    }
    std::size_t nAvailable = std::min<std::size_t>(nLength, static_cast<std::size_t>(RKScWordAt(pbData)) + 2);
    if (nAvailable < 20)
    {
        stTrack.strProblem = CutAfter("track information", nAvailable, 20);
        return stTrack;
    }
    stTrack.bOk = true;
    stTrack.bBlank = (pbData[6] & 0x40) != 0;
    stTrack.dwStart = RKScLongAt(pbData + 8);
    stTrack.dwFreeBlocks = RKScLongAt(pbData + 16);
    if (nAvailable >= 28)
        stTrack.dwTrackSize = RKScLongAt(pbData + 24);
    return stTrack;
}

RKScVolume RKScParsePrimaryVolume(const std::uint8_t* pbData, std::size_t nLength)
{
    RKScVolume stVolume = {false, std::string(), std::string()};
    // The volume identifier ends at byte 72.
    if (!pbData || nLength < 72)
    {
        stVolume.strProblem =
            RKScShortAnswer(pbData ? nLength : 0, "the 72 bytes up to the volume identifier");
        return stVolume;
    }
    if (pbData[0] != 1 || std::memcmp(pbData + 1, "CD001", 5) != 0 || pbData[6] != 1)
        return stVolume;
    stVolume.bOk = true;
    stVolume.strLabel = RKScAsciiText(pbData, 40, 72);
    return stVolume;
}
