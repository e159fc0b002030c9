#include "RKMediaInfo.h"

#include <cstddef>

namespace
{
const std::size_t RKMEDIA_NAMED = sizeof(g_aRKMediaNames) / sizeof(g_aRKMediaNames[0]);
const std::size_t RKMEDIA_NAME_CHARS = 16;

// The names as the interface's 16-bit texts, made by the compiler: looking
// one up allocates nothing and cannot fail.
struct RKMediaTexts
{
    unsigned short aawNames[RKMEDIA_NAMED][RKMEDIA_NAME_CHARS];
};

constexpr std::size_t LongestName()
{
    std::size_t nLongest = 0;
    for (const RKMediaName& stName : g_aRKMediaNames)
    {
        std::size_t nLength = 0;
        while (stName.szName[nLength])
            ++nLength;
        nLongest = nLength > nLongest ? nLength : nLongest;
    }
    return nLongest;
}
static_assert(LongestName() < RKMEDIA_NAME_CHARS, "a media name fits its text with the terminator");

constexpr RKMediaTexts MakeTexts()
{
    RKMediaTexts stTexts{};
    for (std::size_t i = 0; i < RKMEDIA_NAMED; ++i)
    {
        for (std::size_t j = 0; g_aRKMediaNames[i].szName[j]; ++j)
            stTexts.aawNames[i][j] = static_cast<unsigned char>(g_aRKMediaNames[i].szName[j]);
    }
    return stTexts;
}

constexpr RKMediaTexts s_stTexts = MakeTexts();
} // namespace

RKMediaInfo& RKMediaInfo::operator=(const RKMediaInfo& stOther)
{
    dwMediaType = stOther.dwMediaType;
    dwDiscType = stOther.dwDiscType;
    return *this;
}

const unsigned short* RKMediaInfo::GetMediaType() const
{
    // By exact value: the whole word counts, and codes are not bit sets.
    for (std::size_t i = 0; i < RKMEDIA_NAMED; ++i)
    {
        if (g_aRKMediaNames[i].dwMediaType == dwMediaType)
            return s_stTexts.aawNames[i];
    }
    return RK_TEXT("");
}
