// Text helpers: letters and fixed number forms.
#ifndef RKTOOLTEXT_H
#define RKTOOLTEXT_H

#include <string>

#include "RKTypes.h"

// One drive letter as text ("E"); 0 gives "".
std::string RKToolLetterText(WORD wLetter);
// "0x0000ABCD".
std::string RKToolHex(DWORD dwValue);
// Seconds with one decimal ("4.0").
std::string RKToolSeconds(double dSeconds);
// Upper or lower case of ASCII letters only.
std::string RKToolUpper(const std::string& strText);
std::string RKToolLower(const std::string& strText);

#endif
