#include "RKMediaInfo.h"

RKMediaInfo& RKMediaInfo::operator=(const RKMediaInfo& stOther)
{
    dwMediaType = stOther.dwMediaType;
    dwDiscType = stOther.dwDiscType;
    return *this;
}

const unsigned short* RKMediaInfo::GetMediaType() const
{
    // By exact value: the whole word counts, and codes are not bit sets.
    switch (dwMediaType)
    {
    case RKMEDIA_CD:
        return RK_TEXT("CD");
    case RKMEDIA_CD_R:
        return RK_TEXT("CD-R");
    case RKMEDIA_CD_RW:
        return RK_TEXT("CD-RW");
    case RKMEDIA_DVD:
        return RK_TEXT("DVD");
    case RKMEDIA_DVD_R:
        return RK_TEXT("DVD-R");
    case RKMEDIA_DVD_RW:
        return RK_TEXT("DVD-RW");
    case RKMEDIA_DVD_PLUS_R:
        return RK_TEXT("DVD+R");
    case RKMEDIA_DVD_PLUS_RW:
        return RK_TEXT("DVD+RW");
    case RKMEDIA_DVD_R_DL:
        return RK_TEXT("DVD-RDL");
    case RKMEDIA_DVD_PLUS_R_DL:
        return RK_TEXT("DVD+RDL");
    case RKMEDIA_DVD_RAM:
        return RK_TEXT("DVD-RAM");
    case RKMEDIA_BD_ROM:
        return RK_TEXT("BD-ROM");
    case RKMEDIA_BD_R:
        return RK_TEXT("BD-R");
    case RKMEDIA_BD_RE:
        return RK_TEXT("BD-RE");
    }
    return RK_TEXT("");
}
