// What profiles and disc states mean in the library's words.
#include "RKMediaInfo.h"
#include "RKWriterDetails.h"
#include "RKSystemEngine.h"
#include "RKScMmc.h"

namespace
{
struct RKScProfileBit
{
    WORD wProfile;
    DWORD dwSupportBit;
};

// Media the library has no code for: a support bit each. The library keeps
// which profile is which medium for the others.
const RKScProfileBit s_aUncodedProfiles[] = {
    {0x0017, RKSC_SUPPORTS_DVD_RW_DL},   {0x002A, RKSC_SUPPORTS_DVD_PLUS_RW_DL},
    {0x0050, RKSC_SUPPORTS_HD_DVD_ROM},  {0x0051, RKSC_SUPPORTS_HD_DVD_R},
    {0x0052, RKSC_SUPPORTS_HD_DVD_RAM},  {0x0053, RKSC_SUPPORTS_HD_DVD_RW},
    {0x0058, RKSC_SUPPORTS_HD_DVD_R_DL}, {0x005A, RKSC_SUPPORTS_HD_DVD_RW_DL},
};
} // namespace

DWORD RKScMediaOfProfile(WORD wProfile)
{
    if (wProfile == 0)
        return RKSC_MEDIA_NONE;
    // The library keeps which profile is which medium.
    DWORD dwMedia = RKDRV::GetMediaTypeOfProfile(wProfile);
    return dwMedia ? dwMedia : RKSC_MEDIA_FROM_PROFILE(wProfile);
}

DWORD RKScSupportedMediaOfProfiles(const std::vector<WORD>& vecProfiles)
{
    DWORD dwBits = 0;
    for (WORD wProfile : vecProfiles)
    {
        dwBits |= RKScSupportBitOfMedia(RKDRV::GetMediaTypeOfProfile(wProfile));
        for (const RKScProfileBit& stEntry : s_aUncodedProfiles)
        {
            if (stEntry.wProfile == wProfile)
                dwBits |= stEntry.dwSupportBit;
        }
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
