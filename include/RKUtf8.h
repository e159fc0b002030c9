// The interface's 16-bit texts (UTF-16) as UTF-8, for hosts, engines and
// the library's own trace file alike.
#ifndef RKUTF8_H
#define RKUTF8_H

#include <string>

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

#endif
