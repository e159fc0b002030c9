// Small helpers on 16-bit texts, internal to the library.
#ifndef RKTEXTUTIL_H
#define RKTEXTUTIL_H

#include <cstdarg>
#include <string>

#include "RKExport.h"
#include "RKTypes.h"

typedef std::basic_string<char16_t> RKText;

// Length of a zero-terminated 16-bit text; 0 for null.
DWORD RKTextLength(const unsigned short* szText);

// UTF-8 form of a 16-bit text (UTF-16; lone surrogates become U+FFFD).
RKDRV_API std::string RKTextToUtf8(const unsigned short* szText);

// Appends szFormat formatted with the arguments of vaArgs to strOut.
// %d and %ld read int, %x unsigned int, %p void*, %c int (one 16-bit
// character; 0 writes nothing), %s const unsigned short* (null: "(null)"),
// %% writes '%'. Any other sequence is copied as it stands and reads no
// argument, so no format can make it read an argument of another kind.
RKDRV_API void RKFormatV(RKText& strOut, const unsigned short* szFormat, va_list vaArgs);

inline const unsigned short* RKTextPtr(const RKText& strText)
{
    return reinterpret_cast<const unsigned short*>(strText.c_str());
}

#endif
