#include "RKToolText.h"

#include <cstdio>

namespace
{
void AppendUtf8(std::string& strOut, unsigned long ulCode)
{
    if (ulCode < 0x80)
    {
        strOut += static_cast<char>(ulCode);
    }
    else if (ulCode < 0x800)
    {
        strOut += static_cast<char>(0xC0 | (ulCode >> 6));
        strOut += static_cast<char>(0x80 | (ulCode & 0x3F));
    }
    else if (ulCode < 0x10000)
    {
        strOut += static_cast<char>(0xE0 | (ulCode >> 12));
        strOut += static_cast<char>(0x80 | ((ulCode >> 6) & 0x3F));
        strOut += static_cast<char>(0x80 | (ulCode & 0x3F));
    }
    else
    {
        strOut += static_cast<char>(0xF0 | (ulCode >> 18));
        strOut += static_cast<char>(0x80 | ((ulCode >> 12) & 0x3F));
        strOut += static_cast<char>(0x80 | ((ulCode >> 6) & 0x3F));
        strOut += static_cast<char>(0x80 | (ulCode & 0x3F));
    }
}

bool IsHigh(unsigned short wUnit)
{
    return wUnit >= 0xD800 && wUnit <= 0xDBFF;
}

bool IsLow(unsigned short wUnit)
{
    return wUnit >= 0xDC00 && wUnit <= 0xDFFF;
}
} // namespace

std::string RKToolUtf8(const unsigned short* szText)
{
    std::string strOut;
    for (const unsigned short* p = szText; p && *p; ++p)
    {
        unsigned long ulCode = *p;
        // p[1] is at worst the terminator, which is no low surrogate.
        if (IsHigh(*p) && IsLow(p[1]))
        {
            ulCode = 0x10000 + ((ulCode - 0xD800) << 10) + (p[1] - 0xDC00u);
            ++p;
        }
        else if (IsHigh(*p) || IsLow(*p))
        {
            ulCode = 0xFFFD;
        }
        AppendUtf8(strOut, ulCode);
    }
    return strOut;
}

std::string RKToolLetterText(WORD wLetter)
{
    const unsigned short awText[] = {wLetter, 0};
    return RKToolUtf8(awText);
}

std::string RKToolHex(DWORD dwValue)
{
    char szText[16];
    std::snprintf(szText, sizeof(szText), "0x%08X", static_cast<unsigned int>(dwValue));
    return szText;
}

std::string RKToolSeconds(double dSeconds)
{
    char szText[32];
    std::snprintf(szText, sizeof(szText), "%.1f", dSeconds);
    return szText;
}

std::string RKToolUpper(const std::string& strText)
{
    std::string strOut = strText;
    for (char& c : strOut)
    {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return strOut;
}
