// Parsers of what a drive says of itself: the capabilities page, write
// speed descriptors, mechanism status and the INQUIRY revision.
#include <algorithm>
#include <cstdio>

#include "RKScMmcBytes.h"
#include "RKScMmcDetails.h"

namespace
{
std::string Number(std::uint64_t ullValue)
{
    return std::to_string(ullValue);
}

// A 16-bit speed or size field at nAt, when the page reaches it and gives
// a value: the speed fields later drives no longer fill read 0.
DWORD PageField(const std::uint8_t* pbData, std::size_t nAt, std::size_t nEnd)
{
    if (nAt + 2 > nEnd)
        return RKSC_UNKNOWN;
    WORD wValue = RKScWordAt(pbData + nAt);
    return wValue ? wValue : RKSC_UNKNOWN;
}

DWORD Highest(DWORD dwSoFar, DWORD dwValue)
{
    if (dwValue == 0 || dwValue == RKSC_UNKNOWN)
        return dwSoFar;
    return dwSoFar == RKSC_UNKNOWN ? dwValue : std::max(dwSoFar, dwValue);
}
} // namespace

RKScCapabilities RKScParseCapabilities(const std::uint8_t* pbData, std::size_t nLength)
{
    RKScCapabilities stCaps = {false,        false,        false,        false,        0,
                               RKSC_UNKNOWN, RKSC_UNKNOWN, RKSC_UNKNOWN, std::string()};
    if (!pbData || nLength < 8)
    {
        stCaps.strProblem = RKScShortAnswer(pbData ? nLength : 0, "the 8-byte mode parameter header");
        return stCaps;
    }
    std::size_t nAnnounced = static_cast<std::size_t>(RKScWordAt(pbData)) + 2;
    if (nAnnounced < 8)
    {
        stCaps.strProblem = "mode data of " + Number(nAnnounced) + " bytes, fewer than its own 8-byte header";
        return stCaps;
    }
    std::size_t nAvailable = std::min(nLength, nAnnounced);
    std::size_t nPage = 8 + static_cast<std::size_t>(RKScWordAt(pbData + 6));
    if (nAvailable < nPage + 2)
    {
        stCaps.strProblem =
            "mode data of " + Number(nAvailable) + " bytes ends before the page at byte " + Number(nPage);
        return stCaps;
    }
    std::uint8_t bCode = pbData[nPage] & 0x3F;
    if (bCode != RKSC_PAGE_CAPABILITIES)
    {
        char szText[64];
        std::snprintf(szText, sizeof(szText), "page %02Xh, not the capabilities page", bCode);
        stCaps.strProblem = szText;
        return stCaps;
    }
    std::size_t nEnd = std::min(nAvailable, nPage + 2 + pbData[nPage + 1]);
    if (nEnd < nPage + 7)
    {
        stCaps.strProblem = "capabilities page cut after " + Number(nEnd - nPage) + " of 7 bytes";
        return stCaps;
    }
    std::uint8_t bMechanism = pbData[nPage + 6];
    stCaps.bOk = true;
    stCaps.bCanLock = (bMechanism & 0x01) != 0;
    stCaps.bLocked = (bMechanism & 0x02) != 0;
    stCaps.bCanEject = (bMechanism & 0x08) != 0;
    stCaps.bLoading = static_cast<std::uint8_t>(bMechanism >> 5);
    stCaps.dwMaxReadKbps = PageField(pbData, nPage + 8, nEnd);
    stCaps.dwBufferKiB = PageField(pbData, nPage + 12, nEnd);
    stCaps.dwMaxWriteKbps = PageField(pbData, nPage + 18, nEnd);
    // Later drives give their write speeds as descriptors at the page's end.
    if (stCaps.dwMaxWriteKbps == RKSC_UNKNOWN && nPage + 32 <= nEnd)
    {
        std::size_t nCount = RKScWordAt(pbData + nPage + 30);
        for (std::size_t i = 0; i < nCount && nPage + 32 + 4 * i + 4 <= nEnd; ++i)
            stCaps.dwMaxWriteKbps =
                Highest(stCaps.dwMaxWriteKbps, RKScWordAt(pbData + nPage + 32 + 4 * i + 2));
    }
    return stCaps;
}

RKScSpeeds RKScParseWriteSpeeds(const std::uint8_t* pbData, std::size_t nLength)
{
    RKScSpeeds stSpeeds = {false, 0, RKSC_UNKNOWN, RKSC_UNKNOWN, std::string()};
    if (!pbData || nLength < 8)
    {
        stSpeeds.strProblem = RKScShortAnswer(pbData ? nLength : 0, "the 8-byte performance header");
        return stSpeeds;
    }
    std::uint64_t ullAnnounced = static_cast<std::uint64_t>(RKScLongAt(pbData)) + 4;
    if (ullAnnounced < 8)
    {
        stSpeeds.strProblem = "performance data of " + Number(ullAnnounced) + " bytes, fewer than its header";
        return stSpeeds;
    }
    std::size_t nAvailable = static_cast<std::size_t>(std::min<std::uint64_t>(nLength, ullAnnounced));
    stSpeeds.bOk = true;
    for (std::size_t nAt = 8; nAt + 16 <= nAvailable; nAt += 16)
    {
        ++stSpeeds.nDescriptors;
        stSpeeds.dwMaxReadKbps = Highest(stSpeeds.dwMaxReadKbps, RKScLongAt(pbData + nAt + 8));
        stSpeeds.dwMaxWriteKbps = Highest(stSpeeds.dwMaxWriteKbps, RKScLongAt(pbData + nAt + 12));
    }
    if ((ullAnnounced - 8) % 16 != 0)
        stSpeeds.strProblem =
            "write speed descriptors of " + Number(ullAnnounced - 8) + " bytes are not a multiple of 16";
    return stSpeeds;
}

RKScMechanism RKScParseMechanismStatus(const std::uint8_t* pbData, std::size_t nLength)
{
    RKScMechanism stMechanism = {false, false, std::string()};
    if (!pbData || nLength < 8)
    {
        stMechanism.strProblem = RKScShortAnswer(pbData ? nLength : 0, "the 8-byte mechanism status header");
        return stMechanism;
    }
    stMechanism.bOk = true;
    stMechanism.bDoorOpen = (pbData[1] & 0x10) != 0;
    return stMechanism;
}

RKScCore RKScParseCore(const RKScFeature& stFeature)
{
    RKScCore stCore = {false, RKSC_UNKNOWN, std::string()};
    if (stFeature.wCode != RKSC_FEATURE_CORE)
        stCore.strProblem = "not the core feature";
    else if (stFeature.vecData.size() < 4)
        stCore.strProblem =
            "core feature of " + Number(stFeature.vecData.size()) + " bytes, without its interface";
    else
    {
        stCore.bOk = true;
        stCore.dwInterface = RKScLongAt(stFeature.vecData.data());
    }
    return stCore;
}

RKScSerial RKScParseSerial(const RKScFeature& stFeature)
{
    RKScSerial stSerial = {false, std::string(), std::string()};
    if (stFeature.wCode != RKSC_FEATURE_SERIAL_NUMBER)
        stSerial.strProblem = "not the serial number feature";
    // Part of a number would be another drive's number.
    else if (stFeature.bCut)
        stSerial.strProblem = "serial number cut after " + Number(stFeature.vecData.size()) + " of " +
                              Number(stFeature.bAnnounced) + " bytes";
    else
    {
        stSerial.bOk = true;
        stSerial.strSerial = RKScAsciiText(stFeature.vecData.data(), 0, stFeature.vecData.size());
    }
    return stSerial;
}

std::string RKScParseInquiryRevision(const std::uint8_t* pbData, std::size_t nLength)
{
    if (!pbData || nLength < 5)
        return std::string();
    std::size_t nAvailable = std::min<std::size_t>(nLength, 5u + pbData[4]);
    if (nAvailable <= 32)
        return std::string();
    return RKScAsciiText(pbData, 32, std::min<std::size_t>(nAvailable, 36));
}
