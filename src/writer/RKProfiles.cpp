#include "RKMediaInfo.h"
#include "RKWriterDetails.h"

namespace
{
struct RKProfileEntry
{
    DWORD dwProfile;
    const unsigned short* szName;
    DWORD dwMediaType; // 0: the library has no code for it
};

// The MMC profile numbers and their names. Restricted-overwrite and
// sequential DVD-RW are one library medium, as are the two recording modes
// of dual-layer DVD-R and of BD-R: hosts that must tell them apart read the
// profile itself.
const RKProfileEntry* Profiles(std::size_t& nCount)
{
    static const RKProfileEntry s_aProfiles[] = {
        {0x0001, RK_TEXT("Non-removable disk"), 0},
        {0x0002, RK_TEXT("Removable disk"), 0},
        {0x0003, RK_TEXT("MO Erasable"), 0},
        {0x0004, RK_TEXT("Optical Write Once"), 0},
        {0x0005, RK_TEXT("AS-MO"), 0},
        {0x0008, RK_TEXT("CD-ROM"), RKMEDIA_CD},
        {0x0009, RK_TEXT("CD-R"), RKMEDIA_CD_R},
        {0x000A, RK_TEXT("CD-RW"), RKMEDIA_CD_RW},
        {0x0010, RK_TEXT("DVD-ROM"), RKMEDIA_DVD},
        {0x0011, RK_TEXT("DVD-R Sequential Recording"), RKMEDIA_DVD_R},
        {0x0012, RK_TEXT("DVD-RAM"), RKMEDIA_DVD_RAM},
        {0x0013, RK_TEXT("DVD-RW Restricted Overwrite"), RKMEDIA_DVD_RW},
        {0x0014, RK_TEXT("DVD-RW Sequential Recording"), RKMEDIA_DVD_RW},
        {0x0015, RK_TEXT("DVD-R Dual Layer Sequential Recording"), RKMEDIA_DVD_R_DL},
        {0x0016, RK_TEXT("DVD-R Dual Layer Jump Recording"), RKMEDIA_DVD_R_DL},
        {0x0017, RK_TEXT("DVD-RW Dual Layer"), 0},
        {0x0018, RK_TEXT("DVD-Download Disc Recording"), 0},
        {0x001A, RK_TEXT("DVD+RW"), RKMEDIA_DVD_PLUS_RW},
        {0x001B, RK_TEXT("DVD+R"), RKMEDIA_DVD_PLUS_R},
        {0x0020, RK_TEXT("DDCD-ROM"), 0},
        {0x0021, RK_TEXT("DDCD-R"), 0},
        {0x0022, RK_TEXT("DDCD-RW"), 0},
        {0x002A, RK_TEXT("DVD+RW Dual Layer"), 0},
        {0x002B, RK_TEXT("DVD+R Dual Layer"), RKMEDIA_DVD_PLUS_R_DL},
        {0x0040, RK_TEXT("BD-ROM"), RKMEDIA_BD_ROM},
        {0x0041, RK_TEXT("BD-R Sequential Recording"), RKMEDIA_BD_R},
        {0x0042, RK_TEXT("BD-R Random Recording"), RKMEDIA_BD_R},
        {0x0043, RK_TEXT("BD-RE"), RKMEDIA_BD_RE},
        {0x0050, RK_TEXT("HD DVD-ROM"), 0},
        {0x0051, RK_TEXT("HD DVD-R"), 0},
        {0x0052, RK_TEXT("HD DVD-RAM"), 0},
        {0x0053, RK_TEXT("HD DVD-RW"), 0},
        {0x0058, RK_TEXT("HD DVD-R Dual Layer"), 0},
        {0x005A, RK_TEXT("HD DVD-RW Dual Layer"), 0},
        {0xFFFF, RK_TEXT("Nonstandard"), 0},
    };
    nCount = sizeof(s_aProfiles) / sizeof(s_aProfiles[0]);
    return s_aProfiles;
}

const RKProfileEntry* FindProfile(DWORD dwProfile)
{
    std::size_t nCount = 0;
    const RKProfileEntry* pEntries = Profiles(nCount);
    for (std::size_t i = 0; i < nCount; ++i)
    {
        if (pEntries[i].dwProfile == dwProfile)
            return &pEntries[i];
    }
    return nullptr;
}
} // namespace

namespace RKDRV
{
const unsigned short* GetProfileName(DWORD dwProfile)
{
    const RKProfileEntry* pEntry = FindProfile(dwProfile);
    return pEntry ? pEntry->szName : RK_TEXT("");
}

DWORD GetMediaTypeOfProfile(DWORD dwProfile)
{
    const RKProfileEntry* pEntry = FindProfile(dwProfile);
    return pEntry ? pEntry->dwMediaType : 0;
}
} // namespace RKDRV
