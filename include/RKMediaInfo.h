// RKMediaInfo: the medium in a drive, as the engine describes it.
#ifndef RKMEDIAINFO_H
#define RKMEDIAINFO_H

#include "RKExport.h"
#include "RKTypes.h"

// The media type codes that have names.
#define RKMEDIA_CD 0x0002u
#define RKMEDIA_CD_R 0x0102u
#define RKMEDIA_CD_RW 0x0003u
#define RKMEDIA_DVD 0x0004u
#define RKMEDIA_DVD_R 0x0014u
#define RKMEDIA_DVD_RW 0x0015u
#define RKMEDIA_DVD_PLUS_R 0x0024u
#define RKMEDIA_DVD_PLUS_RW 0x0025u
#define RKMEDIA_DVD_R_DL 0x0048u
#define RKMEDIA_DVD_PLUS_R_DL 0x0088u
#define RKMEDIA_DVD_RAM 0x0105u
#define RKMEDIA_BD_ROM 0x2000u
#define RKMEDIA_BD_R 0x6000u
#define RKMEDIA_BD_RE 0x6001u

// Each named code with its name, in an order that only ever grows at its
// end: GetMediaType gives these names, and the system engine's
// supported-media bit n stands for entry n (RKSystemEngine.h).
struct RKMediaName
{
    DWORD dwMediaType;
    const char* szName; // ASCII
};
inline constexpr RKMediaName g_aRKMediaNames[] = {
    {RKMEDIA_CD, "CD"},
    {RKMEDIA_CD_R, "CD-R"},
    {RKMEDIA_CD_RW, "CD-RW"},
    {RKMEDIA_DVD, "DVD"},
    {RKMEDIA_DVD_R, "DVD-R"},
    {RKMEDIA_DVD_RW, "DVD-RW"},
    {RKMEDIA_DVD_PLUS_R, "DVD+R"},
    {RKMEDIA_DVD_PLUS_RW, "DVD+RW"},
    {RKMEDIA_DVD_R_DL, "DVD-RDL"},
    {RKMEDIA_DVD_PLUS_R_DL, "DVD+RDL"},
    {RKMEDIA_DVD_RAM, "DVD-RAM"},
    {RKMEDIA_BD_ROM, "BD-ROM"},
    {RKMEDIA_BD_R, "BD-R"},
    {RKMEDIA_BD_RE, "BD-RE"},
};

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
