#include "RKToolText.h"

#include <cstdio>

#include "RKUtf8.h"

std::string RKToolLetterText(WORD wLetter)
{
    const unsigned short awText[] = {wLetter, 0};
    return RKTextToUtf8(awText);
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

std::string RKToolLower(const std::string& strText)
{
    std::string strOut = strText;
    for (char& c : strOut)
    {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return strOut;
}
