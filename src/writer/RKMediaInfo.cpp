#include "RKMediaInfo.h"

#include <cstddef>

namespace
{
struct RKMediaName
{
    DWORD dwCode;
    const char16_t* szName;
};

const RKMediaName s_aMediaNames[] = {
    {RKMEDIA_CD, u"CD"},
    {RKMEDIA_CD_R, u"CD-R"},
    {RKMEDIA_CD_RW, u"CD-RW"},
    {RKMEDIA_DVD, u"DVD"},
    {RKMEDIA_DVD_R, u"DVD-R"},
    {RKMEDIA_DVD_RW, u"DVD-RW"},
    {RKMEDIA_DVD_PLUS_R, u"DVD+R"},
    {RKMEDIA_DVD_PLUS_RW, u"DVD+RW"},
    {RKMEDIA_DVD_R_DL, u"DVD-RDL"},
    {RKMEDIA_DVD_PLUS_R_DL, u"DVD+RDL"},
    {RKMEDIA_DVD_RAM, u"DVD-RAM"},
    {RKMEDIA_BD_ROM, u"BD-ROM"},
    {RKMEDIA_BD_R, u"BD-R"},
    {RKMEDIA_BD_RE, u"BD-RE"},
};
} // namespace

RKMediaInfo& RKMediaInfo::operator=(const RKMediaInfo& stOther)
{
    dwMediaType = stOther.dwMediaType;
    dwDiscType = stOther.dwDiscType;
    return *this;
}

const unsigned short* RKMediaInfo::GetMediaType() const
{
    for (const RKMediaName& stName : s_aMediaNames)
    {
        if (stName.dwCode == dwMediaType)
            return reinterpret_cast<const unsigned short*>(stName.szName);
    }
    return RK_TEXT("");
}
