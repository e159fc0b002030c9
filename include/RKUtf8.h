// The interface's 16-bit texts (UTF-16) to UTF-8 and back, for hosts,
// engines and the library's own trace file alike.
#ifndef RKUTF8_H
#define RKUTF8_H

#include <string>
#include <vector>

// UTF-8 of a zero-terminated UTF-16 text; null gives "". A surrogate
// without its partner becomes U+FFFD, so the result is always valid UTF-8.
inline std::string RKTextToUtf8(const unsigned short* szText)
{
    std::string strOut;
    for (const unsigned short* p = szText; p && *p; ++p)
    {
        unsigned long ulCode = *p;
        // p[1] is at worst the terminator, which is no low surrogate.
        if (ulCode >= 0xD800 && ulCode <= 0xDBFF && p[1] >= 0xDC00 && p[1] <= 0xDFFF)
        {
            ulCode = 0x10000 + ((ulCode - 0xD800) << 10) + (p[1] - 0xDC00u);
            ++p;
        }
        else if (ulCode >= 0xD800 && ulCode <= 0xDFFF)
        {
            ulCode = 0xFFFD;
        }
        if (ulCode < 0x80)
        {
            strOut += static_cast<char>(ulCode);
            continue;
        }
        // The lead byte marks the length; each byte after it holds 6 bits.
        const unsigned char abLead[] = {0x00, 0xC0, 0xE0, 0xF0};
        int nMore = ulCode < 0x800 ? 1 : ulCode < 0x10000 ? 2 : 3;
        strOut += static_cast<char>(abLead[nMore] | (ulCode >> (6 * nMore)));
        for (int i = nMore - 1; i >= 0; --i)
            strOut += static_cast<char>(0x80 | ((ulCode >> (6 * i)) & 0x3F));
    }
    return strOut;
}

// UTF-16 of a zero-terminated UTF-8 text, zero-terminated; null gives the
// empty text. Each byte that does not begin a valid sequence (a stray or
// missing continuation byte, an overlong form, a surrogate, a code point
// past U+10FFFF) becomes U+FFFD, and decoding goes on after it.
inline std::vector<unsigned short> RKTextFromUtf8(const char* szUtf8)
{
    std::vector<unsigned short> vecOut;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(szUtf8);
    while (p && *p)
    {
        unsigned long ulCode = *p;
        int nMore = ulCode < 0x80             ? 0
                    : (ulCode & 0xE0) == 0xC0 ? 1
                    : (ulCode & 0xF0) == 0xE0 ? 2
                    : (ulCode & 0xF8) == 0xF0 ? 3
                                              : -1;
        const unsigned long aulLeast[] = {0, 0x80, 0x800, 0x10000};
        bool bValid = nMore >= 0;
        if (nMore > 0)
        {
            ulCode &= 0x3Fu >> nMore;
            // The terminator is no continuation byte, so nothing past it is read.
            for (int i = 1; i <= nMore && bValid; ++i)
            {
                bValid = (p[i] & 0xC0) == 0x80;
                ulCode = (ulCode << 6) | (p[i] & 0x3Fu);
            }
            bValid = bValid && ulCode >= aulLeast[nMore] && ulCode <= 0x10FFFF &&
                     (ulCode < 0xD800 || ulCode > 0xDFFF);
        }
        if (!bValid)
        {
            vecOut.push_back(0xFFFD);
            ++p;
            continue;
        }
        p += nMore + 1;
        if (ulCode >= 0x10000)
        {
            vecOut.push_back(static_cast<unsigned short>(0xD800 + ((ulCode - 0x10000) >> 10)));
            vecOut.push_back(static_cast<unsigned short>(0xDC00 + ((ulCode - 0x10000) & 0x3FF)));
        }
        else
        {
            vecOut.push_back(static_cast<unsigned short>(ulCode));
        }
    }
    vecOut.push_back(0);
    return vecOut;
}

#endif
