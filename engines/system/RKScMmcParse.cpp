// Parsers of the drive's answers. Each one reads only bytes below nLength
// and below every length field it has checked against nLength.
#include <algorithm>
#include <cstdio>

#include "RKScMmc.h"

namespace
{
WORD Word(const std::uint8_t* pbAt)
{
    return static_cast<WORD>((pbAt[0] << 8) | pbAt[1]);
}

std::uint32_t Long(const std::uint8_t* pbAt)
{
    return (static_cast<std::uint32_t>(pbAt[0]) << 24) | (static_cast<std::uint32_t>(pbAt[1]) << 16) |
           (static_cast<std::uint32_t>(pbAt[2]) << 8) | pbAt[3];
}

std::string Number(std::uint64_t ullValue)
{
    return std::to_string(ullValue);
}

std::string ShortAnswer(std::size_t nLength, const char* szNeeded)
{
    return "answer of " + Number(nLength) + " bytes is shorter than " + szNeeded;
}

// Identification fields are ASCII padded with blanks; some drives pad with
// NUL instead. Anything else unprintable is shown as '?'.
std::string IdentificationText(const std::uint8_t* pbData, std::size_t nFrom, std::size_t nTo)
{
    std::string strText;
    for (std::size_t i = nFrom; i < nTo; ++i)
    {
        std::uint8_t b = pbData[i];
        strText += b == 0 ? ' ' : (b >= 0x20 && b < 0x7F ? static_cast<char>(b) : '?');
    }
    std::string::size_type nFirst = strText.find_first_not_of(' ');
    if (nFirst == std::string::npos)
        return std::string();
    return strText.substr(nFirst, strText.find_last_not_of(' ') - nFirst + 1);
}
} // namespace

RKScSense RKScParseSense(const std::uint8_t* pbData, std::size_t nLength)
{
    RKScSense stSense = {false, false, 0, 0, 0};
    if (!pbData || nLength < 1)
        return stSense;
    std::uint8_t bCode = pbData[0] & 0x7F;
    if (bCode == 0x70 || bCode == 0x71)
    {
        if (nLength < 3)
            return stSense;
        stSense.bValid = true;
        stSense.bKey = pbData[2] & 0x0F;
        // The codes sit at bytes 12 and 13, inside the additional length.
        if (nLength >= 8 && std::min<std::size_t>(nLength, 8u + pbData[7]) >= 14)
        {
            stSense.bCodes = true;
            stSense.bAsc = pbData[12];
            stSense.bAscq = pbData[13];
        }
    }
    else if (bCode == 0x72 || bCode == 0x73)
    {
        if (nLength < 2)
            return stSense;
        stSense.bValid = true;
        stSense.bKey = pbData[1] & 0x0F;
        if (nLength >= 4)
        {
            stSense.bCodes = true;
            stSense.bAsc = pbData[2];
            stSense.bAscq = pbData[3];
        }
    }
    return stSense;
}

bool RKScSenseBecomingReady(const RKScSense& stSense)
{
    return stSense.bValid && stSense.bCodes && stSense.bKey == 0x2 && stSense.bAsc == 0x04 &&
           stSense.bAscq == 0x01;
}

bool RKScSenseMediumBusy(const RKScSense& stSense)
{
    return stSense.bValid && stSense.bCodes && stSense.bKey == 0x2 && stSense.bAsc == 0x04 &&
           stSense.bAscq != 0x02 && stSense.bAscq != 0x03;
}

bool RKScSenseRefused(const RKScSense& stSense)
{
    return stSense.bValid && stSense.bCodes && stSense.bKey == 0x5 &&
           (stSense.bAsc == 0x20 || stSense.bAsc == 0x24) && stSense.bAscq == 0x00;
}

bool RKScSenseNoMedium(const RKScSense& stSense)
{
    return stSense.bValid && stSense.bCodes && stSense.bAsc == 0x3A;
}

bool RKScSenseUnitAttention(const RKScSense& stSense)
{
    return stSense.bValid && stSense.bKey == 0x6;
}

std::string RKScDescribeSense(const RKScSense& stSense)
{
    char szText[32];
    if (!stSense.bValid)
        return "no sense data";
    if (!stSense.bCodes)
        std::snprintf(szText, sizeof(szText), "sense key %X", stSense.bKey);
    else
        std::snprintf(szText, sizeof(szText), "sense %X/%02X/%02X", stSense.bKey, stSense.bAsc,
                      stSense.bAscq);
    return szText;
}

RKScInquiry RKScParseInquiry(const std::uint8_t* pbData, std::size_t nLength)
{
    RKScInquiry stInquiry = {false, 0, std::string(), std::string(), std::string(), std::string()};
    if (!pbData || nLength < 5)
    {
        stInquiry.strProblem = ShortAnswer(nLength, "the 5-byte INQUIRY header");
        return stInquiry;
    }
    stInquiry.bDeviceType = pbData[0] & 0x1F;
    std::size_t nAvailable = std::min<std::size_t>(nLength, 5u + pbData[4]);
    if (nAvailable > 8)
        stInquiry.strVendor = IdentificationText(pbData, 8, std::min<std::size_t>(nAvailable, 16));
    if (nAvailable > 16)
        stInquiry.strProduct = IdentificationText(pbData, 16, std::min<std::size_t>(nAvailable, 32));
    if (nAvailable < 32)
    {
        stInquiry.strProblem = "identification cut after " + Number(nAvailable) + " of 32 bytes";
        return stInquiry;
    }
    if (nAvailable > 32)
        stInquiry.strRevision = IdentificationText(pbData, 32, std::min<std::size_t>(nAvailable, 36));
    stInquiry.bOk = true;
    return stInquiry;
}

std::string RKScModelOfInquiry(const RKScInquiry& stInquiry)
{
    if (stInquiry.strVendor.empty())
        return stInquiry.strProduct;
    if (stInquiry.strProduct.empty())
        return stInquiry.strVendor;
    return stInquiry.strVendor + " " + stInquiry.strProduct;
}

RKScConfiguration RKScParseConfiguration(const std::uint8_t* pbData, std::size_t nLength)
{
    RKScConfiguration stConfig = {false, 0, 0, false, false, 0, std::vector<WORD>(), std::string()};
    if (!pbData)
        nLength = 0;
    if (nLength >= 4)
        stConfig.ullAnnounced = static_cast<std::uint64_t>(Long(pbData)) + 4;
    if (nLength < 8)
    {
        stConfig.strProblem = ShortAnswer(nLength, "the 8-byte header");
        return stConfig;
    }
    if (stConfig.ullAnnounced < 8)
    {
        stConfig.strProblem =
            "header announces " + Number(stConfig.ullAnnounced) + " bytes, fewer than its own 8";
        return stConfig;
    }
    stConfig.bHeader = true;
    stConfig.wCurrentProfile = Word(pbData + 6);

    std::size_t nAvailable =
        static_cast<std::size_t>(std::min<std::uint64_t>(nLength, stConfig.ullAnnounced));
    if (nAvailable < 12)
    {
        // The first feature is not in the answer: cut by the buffer, or none.
        stConfig.bProfilesCut = stConfig.ullAnnounced > nLength;
        return stConfig;
    }
    WORD wFeature = Word(pbData + 8);
    if (wFeature != 0)
    {
        char szText[64];
        std::snprintf(szText, sizeof(szText), "first feature is %04Xh, not the profile list", wFeature);
        stConfig.strProblem = szText;
        return stConfig;
    }
    stConfig.bProfileList = true;
    std::size_t nListLength = pbData[11];
    std::size_t nEnd = 12 + nListLength;
    stConfig.nListEnd = nEnd;
    if (nListLength % 4 != 0)
        stConfig.strProblem = "profile list length " + Number(nListLength) + " is not a multiple of 4";
    else if (nEnd > stConfig.ullAnnounced)
        stConfig.strProblem = "profile list of " + Number(nListLength) + " bytes runs past the announced " +
                              Number(stConfig.ullAnnounced) + " bytes";
    std::size_t nLimit = std::min(nEnd, nAvailable);
    for (std::size_t nAt = 12; nAt + 4 <= nLimit; nAt += 4)
        stConfig.vecProfiles.push_back(Word(pbData + nAt));
    stConfig.bProfilesCut = nEnd > nAvailable || nListLength % 4 != 0;
    return stConfig;
}

RKScDiscInfo RKScParseDiscInfo(const std::uint8_t* pbData, std::size_t nLength)
{
    RKScDiscInfo stInfo = {false, 0, false, std::string()};
    if (!pbData || nLength < 3)
    {
        stInfo.strProblem = ShortAnswer(nLength, "the 3 bytes up to the disc status");
        return stInfo;
    }
    std::size_t nAnnounced = static_cast<std::size_t>(Word(pbData)) + 2;
    if (nAnnounced < 3)
    {
        stInfo.strProblem = "disc information announces " + Number(nAnnounced) +
                            " bytes, fewer than the 3 up to the disc status";
        return stInfo;
    }
    std::uint8_t bDataType = pbData[2] >> 5;
    if (bDataType != 0)
    {
        stInfo.strProblem = "disc information of data type " + Number(bDataType) + ", not the standard one";
        return stInfo;
    }
    stInfo.bOk = true;
    stInfo.bDiscStatus = pbData[2] & 0x03;
    stInfo.bErasable = (pbData[2] & 0x10) != 0;
    return stInfo;
}

RKScMediaEvent RKScParseMediaEvent(const std::uint8_t* pbData, std::size_t nLength)
{
    RKScMediaEvent stEvent = {false, 0, false, false, std::string()};
    if (!pbData || nLength < 4)
    {
        stEvent.strProblem = ShortAnswer(nLength, "the 4-byte event header");
        return stEvent;
    }
    if (pbData[2] & 0x80)
    {
        stEvent.strProblem = "the drive reports no media events";
        return stEvent;
    }
    std::uint8_t bClass = pbData[2] & 0x07;
    if (bClass != 4)
    {
        stEvent.strProblem = "event of class " + Number(bClass) + ", not a media event";
        return stEvent;
    }
    // The event code and the media status are all there is to read; some
    // drives (QEMU's among them) do not count the two reserved bytes after
    // them in the length.
    std::size_t nAvailable = std::min<std::size_t>(nLength, static_cast<std::size_t>(Word(pbData)) + 2);
    if (nAvailable < 6)
    {
        stEvent.strProblem =
            "media event cut after " + Number(nAvailable) + " of the 6 bytes up to its status";
        return stEvent;
    }
    stEvent.bOk = true;
    stEvent.bEventCode = pbData[4] & 0x0F;
    stEvent.bMediaPresent = (pbData[5] & 0x02) != 0;
    stEvent.bTrayOpen = (pbData[5] & 0x01) != 0;
    return stEvent;
}

bool RKScIsFullToc(const std::uint8_t* pbData, std::size_t nLength)
{
    const std::size_t nDescriptor = 11;
    if (!pbData || nLength < 4 + nDescriptor)
        return false;
    std::size_t nAnnounced = static_cast<std::size_t>(Word(pbData)) + 2;
    if (nAnnounced < 4 + nDescriptor || (nAnnounced - 4) % nDescriptor != 0)
        return false;
    std::size_t nAvailable = std::min(nLength, nAnnounced);
    for (std::size_t nAt = 4; nAt + nDescriptor <= nAvailable; nAt += nDescriptor)
    {
        if (pbData[nAt + 3] == 0xA0)
            return true;
    }
    return false;
}
