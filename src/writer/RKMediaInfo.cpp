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
    {0x0002, u"CD"},      {0x0102, u"CD-R"},    {0x0003, u"CD-RW"},   {0x0004, u"DVD"},
    {0x0014, u"DVD-R"},   {0x0015, u"DVD-RW"},  {0x0024, u"DVD+R"},   {0x0025, u"DVD+RW"},
    {0x0048, u"DVD-RDL"}, {0x0088, u"DVD+RDL"}, {0x0105, u"DVD-RAM"}, {0x2000, u"BD-ROM"},
    {0x6000, u"BD-R"},    {0x6001, u"BD-RE"},
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
