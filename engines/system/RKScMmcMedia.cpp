// What profiles and disc states mean in the library's words.
#include "RKMediaInfo.h"
#include "RKWriterDetails.h"
#include "RKSystemEngine.h"
#include "RKScMmc.h"

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
        dwBits |= RKScSupportBitOfMedia(RKDRV::GetMediaTypeOfProfile(wProfile));
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
