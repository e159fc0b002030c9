// Fixed-width types shared by the library, its engines and its hosts.
#ifndef RKTYPES_H
#define RKTYPES_H

#include <cstddef>
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

// A 16-bit text literal held as the interface's own character type, so
// that it is read as the type it is: a u"" literal reached through a cast
// to unsigned short would be read through a type it does not have.
template <std::size_t N> struct RKTextLiteral
{
    unsigned short awText[N];
};

template <std::size_t N> constexpr RKTextLiteral<N> RKMakeTextLiteral(const char16_t (&szText)[N])
{
    RKTextLiteral<N> stLiteral{};
    for (std::size_t i = 0; i < N; ++i)
        stLiteral.awText[i] = static_cast<unsigned short>(szText[i]);
    return stLiteral;
}

// RK_TEXT("text"): a zero-terminated const unsigned short* to constant
// static storage.
#define RK_TEXT(s)                                                                                           \
    (                                                                                                        \
        []() -> const unsigned short*                                                                        \
        {                                                                                                    \
            static constexpr auto s_stLiteral = RKMakeTextLiteral(u"" s);                                    \
            return s_stLiteral.awText;                                                                       \
        }())

#endif
