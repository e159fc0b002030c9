// RKMediaInfo: the medium in a drive, as the engine describes it.
#ifndef RKMEDIAINFO_H
#define RKMEDIAINFO_H

#include "RKExport.h"
#include "RKTypes.h"

struct RKDRV_API RKMediaInfo
{
    RKMediaInfo() = default;
    RKMediaInfo(const RKMediaInfo&) = default;
    RKMediaInfo& operator=(const RKMediaInfo& stOther);

    // The name of dwMediaType ("CD", "DVD+RW", ...), matched by exact value;
    // an unknown code gives the empty text, never null.
    const unsigned short* GetMediaType() const;

    DWORD dwMediaType;
    DWORD dwDiscType;
};

#endif
