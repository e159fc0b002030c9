// Small helpers on 16-bit texts, internal to the library.
#ifndef RKTEXTUTIL_H
#define RKTEXTUTIL_H

#include <cstdarg>
#include <cwchar>
#include <string>

#include "RKSeamExport.h"
#include "RKTypes.h"
#include "RKUtf8.h"

// Character traits for texts of the interface's own 16-bit type, so that a
// text is built, stored and handed out as unsigned short throughout, never
// reached through a pointer of another character type.
struct RKTextTraits
{
    typedef unsigned short char_type;
    typedef unsigned int int_type;
    typedef std::streamoff off_type;
    typedef std::u16streampos pos_type;
    typedef std::mbstate_t state_type;

    static void assign(char_type& c1, const char_type& c2) noexcept { c1 = c2; }
    static constexpr bool eq(char_type c1, char_type c2) noexcept { return c1 == c2; }
    static constexpr bool lt(char_type c1, char_type c2) noexcept { return c1 < c2; }
    static int compare(const char_type* s1, const char_type* s2, std::size_t n)
    {
        for (std::size_t i = 0; i < n; ++i)
        {
            if (s1[i] != s2[i])
                return s1[i] < s2[i] ? -1 : 1;
        }
        return 0;
    }
    static std::size_t length(const char_type* s)
    {
        std::size_t n = 0;
        while (s[n] != 0)
            ++n;
        return n;
    }
    static const char_type* find(const char_type* s, std::size_t n, const char_type& c)
    {
        for (std::size_t i = 0; i < n; ++i)
        {
            if (s[i] == c)
                return s + i;
        }
        return nullptr;
    }
    static char_type* move(char_type* s1, const char_type* s2, std::size_t n)
    {
        // Either direction, so that overlapping ranges copy right.
        if (s1 < s2)
        {
            for (std::size_t i = 0; i < n; ++i)
                s1[i] = s2[i];
        }
        else
        {
            for (std::size_t i = n; i > 0; --i)
                s1[i - 1] = s2[i - 1];
        }
        return s1;
    }
    static char_type* copy(char_type* s1, const char_type* s2, std::size_t n)
    {
        for (std::size_t i = 0; i < n; ++i)
            s1[i] = s2[i];
        return s1;
    }
    static char_type* assign(char_type* s, std::size_t n, char_type c)
    {
        for (std::size_t i = 0; i < n; ++i)
            s[i] = c;
        return s;
    }
    static constexpr char_type to_char_type(int_type c) noexcept { return static_cast<char_type>(c); }
    static constexpr int_type to_int_type(char_type c) noexcept { return c; }
    static constexpr bool eq_int_type(int_type c1, int_type c2) noexcept { return c1 == c2; }
    static constexpr int_type eof() noexcept { return 0xFFFFFFFFu; }
    static constexpr int_type not_eof(int_type c) noexcept { return c == eof() ? 0 : c; }
};

typedef std::basic_string<unsigned short, RKTextTraits> RKText;

// Length of a zero-terminated 16-bit text; 0 for null.
DWORD RKTextLength(const unsigned short* szText);

// Appends a 7-bit text, one character per byte.
void RKTextAppendAscii(RKText& strOut, const char* szText);


// Appends szFormat formatted with the arguments of vaArgs to strOut.
// %d and %ld read int, %x unsigned int, %p void*, %c int (one 16-bit
// character; 0 writes nothing), %s const unsigned short* (null: "(null)"),
// %% writes '%'. Any other sequence is copied as it stands and reads no
// argument, so no format can make it read an argument of another kind.
RKDRV_SEAM_API void RKFormatV(RKText& strOut, const unsigned short* szFormat, va_list vaArgs);

#endif
