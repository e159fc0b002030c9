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
void AppendHex(RKText& strOut, unsigned long long ullValue, int nMinDigits)
{
    unsigned short awDigits[16];
    int nCount = 0;
    do
    {
        awDigits[nCount++] = static_cast<unsigned char>("0123456789abcdef"[ullValue & 0xF]);
        ullValue >>= 4;
    } while (ullValue != 0);
    for (int i = nCount; i < nMinDigits; ++i)
        strOut += '0';
    while (nCount > 0)
        strOut += awDigits[--nCount];
}

void AppendDecimal(RKText& strOut, int nValue)
{
    // Widened first so that the most negative value negates safely.
    long long llValue = nValue;
    if (llValue < 0)
    {
        strOut += '-';
        llValue = -llValue;
    }
    unsigned short awDigits[12];
    int nCount = 0;
    do
    {
        awDigits[nCount++] = static_cast<unsigned short>('0' + llValue % 10);
        llValue /= 10;
    } while (llValue != 0);
    while (nCount > 0)
        strOut += awDigits[--nCount];
}
} // namespace

void RKTextAppendAscii(RKText& strOut, const char* szText)
{
    for (; szText && *szText; ++szText)
        strOut += static_cast<unsigned char>(*szText);
}

void RKFormatV(RKText& strOut, const unsigned short* szFormat, va_list vaArgs)
{
    if (!szFormat)
        return;
    const unsigned short* p = szFormat;
    while (*p != 0)
    {
        if (*p != '%')
        {
            strOut += *p++;
            continue;
        }
        const unsigned short* pStart = p++;
        if (*p == 'l' && p[1] == 'd')
            ++p;
        switch (*p)
        {
        case 'd':
            AppendDecimal(strOut, va_arg(vaArgs, int));
            break;
        case 'x':
            AppendHex(strOut, va_arg(vaArgs, unsigned int), 1);
            break;
        case 'p':
            RKTextAppendAscii(strOut, "0x");
            AppendHex(strOut, reinterpret_cast<std::uintptr_t>(va_arg(vaArgs, void*)), 1);
            break;
        case 'c':
        {
            int nChar = va_arg(vaArgs, int);
            if ((nChar & 0xFFFF) != 0)
                strOut += static_cast<unsigned short>(nChar & 0xFFFF);
            break;
        }
        case 's':
        {
            const unsigned short* szArg = va_arg(vaArgs, const unsigned short*);
            if (!szArg)
            {
                RKTextAppendAscii(strOut, "(null)");
            }
            else
            {
                strOut += szArg;
            }
            break;
        }
        case '%':
            strOut += '%';
            break;
        default:
            // Unknown or truncated: copy what was read, and go on after it.
            strOut.append(pStart, p);
            continue;
        }
        ++p;
    }
}
