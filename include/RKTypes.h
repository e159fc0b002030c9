// Fixed-width types shared by the library, its engines and its hosts.
#ifndef RKTYPES_H
#define RKTYPES_H

#include <cstdint>

#if defined(_WIN32)
// Spelled exactly as <windows.h> spells them, so a host may include both.
typedef unsigned long DWORD;
typedef unsigned short WORD;
struct HINSTANCE__;
typedef HINSTANCE__* HINSTANCE;
#else
typedef std::uint32_t DWORD;
typedef std::uint16_t WORD;
typedef void* HINSTANCE;
#endif

static_assert(sizeof(DWORD) == 4, "DWORD must be 32 bits");
static_assert(sizeof(WORD) == 2, "WORD must be 16 bits");

// A 16-bit text literal typed as the interface's text pointer.
#define RK_TEXT(s) (reinterpret_cast<const unsigned short*>(u"" s))

#endif
