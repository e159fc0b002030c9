#include "RKTextUtil.h"

#include <cstdint>

DWORD RKTextLength(const unsigned short* szText)
{
    DWORD dwLength = 0;
    if (szText)
    {
        while (szText[dwLength] != 0)
            ++dwLength;
    }
    return dwLength;
}

namespace
{
void AppendUtf8(std::string& strOut, std::uint32_t uCode)
{
    if (uCode < 0x80)
    {
        strOut += static_cast<char>(uCode);
    }
    else if (uCode < 0x800)
    {
        strOut += static_cast<char>(0xC0 | (uCode >> 6));
        strOut += static_cast<char>(0x80 | (uCode & 0x3F));
    }
    else if (uCode < 0x10000)
    {
        strOut += static_cast<char>(0xE0 | (uCode >> 12));
        strOut += static_cast<char>(0x80 | ((uCode >> 6) & 0x3F));
        strOut += static_cast<char>(0x80 | (uCode & 0x3F));
    }
    else
    {
        strOut += static_cast<char>(0xF0 | (uCode >> 18));
        strOut += static_cast<char>(0x80 | ((uCode >> 12) & 0x3F));
        strOut += static_cast<char>(0x80 | ((uCode >> 6) & 0x3F));
        strOut += static_cast<char>(0x80 | (uCode & 0x3F));
    }
}

void AppendHex(RKText& strOut, unsigned long long ullValue, int nMinDigits)
{
    char16_t acDigits[16];
    int nCount = 0;
    do
    {
        acDigits[nCount++] = u"0123456789abcdef"[ullValue & 0xF];
        ullValue >>= 4;
    } while (ullValue != 0);
    for (int i = nCount; i < nMinDigits; ++i)
        strOut += u'0';
    while (nCount > 0)
        strOut += acDigits[--nCount];
}

void AppendDecimal(RKText& strOut, int nValue)
{
    // Widened first so that the most negative value negates safely.
    long long llValue = nValue;
    if (llValue < 0)
    {
        strOut += u'-';
        llValue = -llValue;
    }
    char16_t acDigits[12];
    int nCount = 0;
    do
    {
        acDigits[nCount++] = static_cast<char16_t>(u'0' + llValue % 10);
        llValue /= 10;
    } while (llValue != 0);
    while (nCount > 0)
        strOut += acDigits[--nCount];
}
} // namespace

std::string RKTextToUtf8(const unsigned short* szText)
{
    std::string strOut;
    if (!szText)
        return strOut;
    for (DWORD i = 0; szText[i] != 0; ++i)
    {
        std::uint32_t uCode = szText[i];
        if (uCode >= 0xD800 && uCode <= 0xDBFF && szText[i + 1] >= 0xDC00 && szText[i + 1] <= 0xDFFF)
        {
            uCode = 0x10000 + ((uCode - 0xD800) << 10) + (szText[i + 1] - 0xDC00);
            ++i;
        }
        else if (uCode >= 0xD800 && uCode <= 0xDFFF)
        {
            uCode = 0xFFFD;
        }
        AppendUtf8(strOut, uCode);
    }
    return strOut;
}

void RKFormatV(RKText& strOut, const unsigned short* szFormat, va_list vaArgs)
{
    if (!szFormat)
        return;
    const unsigned short* p = szFormat;
    while (*p != 0)
    {
        if (*p != u'%')
        {
            strOut += static_cast<char16_t>(*p++);
            continue;
        }
        const unsigned short* pStart = p++;
        if (*p == u'l' && p[1] == u'd')
            ++p;
        switch (*p)
        {
        case u'd':
            AppendDecimal(strOut, va_arg(vaArgs, int));
            break;
        case u'x':
            AppendHex(strOut, va_arg(vaArgs, unsigned int), 1);
            break;
        case u'p':
            strOut += u"0x";
            AppendHex(strOut, reinterpret_cast<std::uintptr_t>(va_arg(vaArgs, void*)), 1);
            break;
        case u'c':
        {
            int nChar = va_arg(vaArgs, int);
            if ((nChar & 0xFFFF) != 0)
                strOut += static_cast<char16_t>(nChar & 0xFFFF);
            break;
        }
        case u's':
        {
            const unsigned short* szArg = va_arg(vaArgs, const unsigned short*);
            if (!szArg)
            {
                strOut += u"(null)";
            }
            else
            {
                for (; *szArg != 0; ++szArg)
                    strOut += static_cast<char16_t>(*szArg);
            }
            break;
        }
        case u'%':
            strOut += u'%';
            break;
        default:
            // Unknown or truncated: copy what was read, and go on after it.
            for (const unsigned short* q = pStart; q < p; ++q)
                strOut += static_cast<char16_t>(*q);
            continue;
        }
        ++p;
    }
}
