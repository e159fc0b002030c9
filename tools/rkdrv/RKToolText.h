// Text helpers: the library's 16-bit texts as UTF-8, and fixed number forms.
#ifndef RKTOOLTEXT_H
#define RKTOOLTEXT_H

#include <string>

#include "RKTypes.h"

// UTF-8 of a zero-terminated 16-bit text; null gives "". A surrogate
// without its partner becomes U+FFFD, so the result is always valid UTF-8.
std::string RKToolUtf8(const unsigned short* szText);
// One drive letter as text ("E"); 0 gives "".
std::string RKToolLetterText(WORD wLetter);
// "0x0000ABCD".
std::string RKToolHex(DWORD dwValue);
// Seconds with one decimal ("4.0").
std::string RKToolSeconds(double dSeconds);
// Upper case of ASCII letters only.
std::string RKToolUpper(const std::string& strText);

#endif
