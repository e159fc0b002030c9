// What profiles and disc states mean in the library's words.
#include "RKMediaInfo.h"
#include "RKSystemEngine.h"
#include "RKScMmc.h"

namespace
{
struct RKScProfileMedia
{
    WORD wProfile;
    DWORD dwMedia;
    DWORD dwSupportBit;
};

// MMC profile numbers, as the library codes them (its own table, checked
// against the library's by the tests, keeps the engine's parsers free of
// the library for the fuzzers). Sequential and restricted-overwrite DVD-RW
// are one medium, as are sequential and jump-recorded dual-layer DVD-R and
// the two recording modes of BD-R.
const RKScProfileMedia s_aProfiles[] = {
    {0x0008, RKMEDIA_CD, RKSC_SUPPORTS_CD},
    {0x0009, RKMEDIA_CD_R, RKSC_SUPPORTS_CD_R},
    {0x000A, RKMEDIA_CD_RW, RKSC_SUPPORTS_CD_RW},
    {0x0010, RKMEDIA_DVD, RKSC_SUPPORTS_DVD},
    {0x0011, RKMEDIA_DVD_R, RKSC_SUPPORTS_DVD_R},
    {0x0012, RKMEDIA_DVD_RAM, RKSC_SUPPORTS_DVD_RAM},
    {0x0013, RKMEDIA_DVD_RW, RKSC_SUPPORTS_DVD_RW},
    {0x0014, RKMEDIA_DVD_RW, RKSC_SUPPORTS_DVD_RW},
    {0x0015, RKMEDIA_DVD_R_DL, RKSC_SUPPORTS_DVD_R_DL},
    {0x0016, RKMEDIA_DVD_R_DL, RKSC_SUPPORTS_DVD_R_DL},
    {0x001A, RKMEDIA_DVD_PLUS_RW, RKSC_SUPPORTS_DVD_PLUS_RW},
    {0x001B, RKMEDIA_DVD_PLUS_R, RKSC_SUPPORTS_DVD_PLUS_R},
    {0x002B, RKMEDIA_DVD_PLUS_R_DL, RKSC_SUPPORTS_DVD_PLUS_R_DL},
    {0x0040, RKMEDIA_BD_ROM, RKSC_SUPPORTS_BD_ROM},
    {0x0041, RKMEDIA_BD_R, RKSC_SUPPORTS_BD_R},
    {0x0042, RKMEDIA_BD_R, RKSC_SUPPORTS_BD_R},
    {0x0043, RKMEDIA_BD_RE, RKSC_SUPPORTS_BD_RE},
    // Media without a library code: a support bit each.
    {0x0017, 0, RKSC_SUPPORTS_DVD_RW_DL},
    {0x002A, 0, RKSC_SUPPORTS_DVD_PLUS_RW_DL},
    {0x0050, 0, RKSC_SUPPORTS_HD_DVD_ROM},
    {0x0051, 0, RKSC_SUPPORTS_HD_DVD_R},
    {0x0052, 0, RKSC_SUPPORTS_HD_DVD_RAM},
    {0x0053, 0, RKSC_SUPPORTS_HD_DVD_RW},
    {0x0058, 0, RKSC_SUPPORTS_HD_DVD_R_DL},
    {0x005A, 0, RKSC_SUPPORTS_HD_DVD_RW_DL},
};

const RKScProfileMedia* FindProfile(WORD wProfile)
{
    for (const RKScProfileMedia& stEntry : s_aProfiles)
    {
        if (stEntry.wProfile == wProfile)
            return &stEntry;
    }
    return nullptr;
}
} // namespace

DWORD RKScMediaOfProfile(WORD wProfile)
{
    if (wProfile == 0)
        return RKSC_MEDIA_NONE;
    const RKScProfileMedia* pEntry = FindProfile(wProfile);
    return pEntry && pEntry->dwMedia ? pEntry->dwMedia : RKSC_MEDIA_FROM_PROFILE(wProfile);
}

DWORD RKScSupportedMediaOfProfiles(const std::vector<WORD>& vecProfiles)
{
    DWORD dwBits = 0;
    for (WORD wProfile : vecProfiles)
    {
        if (const RKScProfileMedia* pEntry = FindProfile(wProfile))
            dwBits |= pEntry->dwSupportBit;
    }
    return dwBits;
}

DWORD RKScDiscStateOfStatus(std::uint8_t bDiscStatus)
{
    switch (bDiscStatus & 0x03)
    {
    case 0:
        return RKSC_DISC_BLANK;
    case 1:
        return RKSC_DISC_APPENDABLE;
    case 2:
        return RKSC_DISC_COMPLETE;
    default:
        return RKSC_DISC_OTHER;
    }
}
