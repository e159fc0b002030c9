// Reading the big-endian fields and ASCII texts of MMC answers.
#ifndef RKSCMMCBYTES_H
#define RKSCMMCBYTES_H

#include <cstddef>
#include <cstdint>
#include <string>

inline std::uint16_t RKScWordAt(const std::uint8_t* pbAt)
{
    return static_cast<std::uint16_t>((pbAt[0] << 8) | pbAt[1]);
}

inline std::uint32_t RKScLongAt(const std::uint8_t* pbAt)
{
    return (static_cast<std::uint32_t>(pbAt[0]) << 24) | (static_cast<std::uint32_t>(pbAt[1]) << 16) |
           (static_cast<std::uint32_t>(pbAt[2]) << 8) | pbAt[3];
}

inline std::string RKScShortAnswer(std::size_t nLength, const char* szNeeded)
{
    return "answer of " + std::to_string(nLength) + " bytes is shorter than " + szNeeded;
}

// Bytes [nFrom, nTo) as text without the blanks around it: NUL counts as a
// blank (some drives pad with it), anything else unprintable shows as '?'.
inline std::string RKScAsciiText(const std::uint8_t* pbData, std::size_t nFrom, std::size_t nTo)
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

#endif
