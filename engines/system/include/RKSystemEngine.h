// What the system engine (RKDRVSC, identifier RKDRV_ENGINE_SC) stores in the
// words the library leaves to engines. Hosts may include this header to read
// those words; nothing in it is needed to use the engine.
#ifndef RKSYSTEMENGINE_H
#define RKSYSTEMENGINE_H

#include "RKMediaInfo.h"
#include "RKTypes.h"

// RKMediaInfo::dwMediaType: one of the library's RKMEDIA_* codes, taken from
// the drive's current profile; 0 when the drive holds no medium. A profile
// that has no library code is reported as RKSC_MEDIA_FROM_PROFILE(profile),
// whose name (GetMediaType) is the empty text. Profiles the library gives
// one code (the two DVD-RW modes, the two dual-layer DVD-R modes, the two
// BD-R modes) are reported by that code; the exact profile is the drive's
// detail.
#define RKSC_MEDIA_NONE 0u
// A medium is in the drive, but the engine cannot tell which: the drive
// reports no current profile for it (yet), refuses to say, or keeps it
// becoming ready beyond a short wait. Its name is the empty text.
#define RKSC_MEDIA_UNKNOWN 0x00020000u
#define RKSC_MEDIA_PROFILE_FLAG 0x00010000u
#define RKSC_MEDIA_FROM_PROFILE(wProfile) (RKSC_MEDIA_PROFILE_FLAG | ((DWORD)(wProfile)&0xFFFFu))
#define RKSC_MEDIA_IS_PROFILE(dwMedia) (((dwMedia)&0xFFFF0000u) == RKSC_MEDIA_PROFILE_FLAG)
#define RKSC_MEDIA_PROFILE(dwMedia) ((WORD)((dwMedia)&0xFFFFu))

// RKMediaInfo::dwDiscType: the state of the disc, from the drive's disc
// information.
#define RKSC_DISC_NONE 0u       // no medium in the drive
#define RKSC_DISC_BLANK 1u      // recordable and empty
#define RKSC_DISC_APPENDABLE 2u // recorded, more can be written
#define RKSC_DISC_COMPLETE 3u   // closed, or a pressed disc
#define RKSC_DISC_OTHER 4u      // a state the drive reports otherwise, or none

// CRKWriter::GetSupportedMedia(): one bit per media code the drive can hold,
// from the profiles the drive lists; bit n below 14 stands for the code of
// entry n of g_aRKMediaNames (RKMediaInfo.h), bits 14 and up for media
// without a library code, one profile each. A drive whose profile list
// cannot be read reports 0.
#define RKSC_SUPPORTS_CD (1u << 0)
#define RKSC_SUPPORTS_CD_R (1u << 1)
#define RKSC_SUPPORTS_CD_RW (1u << 2)
#define RKSC_SUPPORTS_DVD (1u << 3)
#define RKSC_SUPPORTS_DVD_R (1u << 4)
#define RKSC_SUPPORTS_DVD_RW (1u << 5)
#define RKSC_SUPPORTS_DVD_PLUS_R (1u << 6)
#define RKSC_SUPPORTS_DVD_PLUS_RW (1u << 7)
#define RKSC_SUPPORTS_DVD_R_DL (1u << 8)
#define RKSC_SUPPORTS_DVD_PLUS_R_DL (1u << 9)
#define RKSC_SUPPORTS_DVD_RAM (1u << 10)
#define RKSC_SUPPORTS_BD_ROM (1u << 11)
#define RKSC_SUPPORTS_BD_R (1u << 12)
#define RKSC_SUPPORTS_BD_RE (1u << 13)
#define RKSC_SUPPORTS_DVD_RW_DL (1u << 14)      // profile 0x17
#define RKSC_SUPPORTS_DVD_PLUS_RW_DL (1u << 15) // profile 0x2A
#define RKSC_SUPPORTS_HD_DVD_ROM (1u << 16)     // profile 0x50
#define RKSC_SUPPORTS_HD_DVD_R (1u << 17)       // profile 0x51
#define RKSC_SUPPORTS_HD_DVD_RAM (1u << 18)     // profile 0x52
#define RKSC_SUPPORTS_HD_DVD_RW (1u << 19)      // profile 0x53
#define RKSC_SUPPORTS_HD_DVD_R_DL (1u << 20)    // profile 0x58
#define RKSC_SUPPORTS_HD_DVD_RW_DL (1u << 21)   // profile 0x5A

// The supported-media bit of a media code; 0 for a code without a name.
inline constexpr DWORD RKScSupportBitOfMedia(DWORD dwMediaType)
{
    for (DWORD i = 0; i < sizeof(g_aRKMediaNames) / sizeof(g_aRKMediaNames[0]); ++i)
    {
        if (g_aRKMediaNames[i].dwMediaType == dwMediaType)
            return 1u << i;
    }
    return 0;
}

static_assert(RKScSupportBitOfMedia(RKMEDIA_CD) == RKSC_SUPPORTS_CD &&
                  RKScSupportBitOfMedia(RKMEDIA_CD_R) == RKSC_SUPPORTS_CD_R &&
                  RKScSupportBitOfMedia(RKMEDIA_CD_RW) == RKSC_SUPPORTS_CD_RW &&
                  RKScSupportBitOfMedia(RKMEDIA_DVD) == RKSC_SUPPORTS_DVD &&
                  RKScSupportBitOfMedia(RKMEDIA_DVD_R) == RKSC_SUPPORTS_DVD_R &&
                  RKScSupportBitOfMedia(RKMEDIA_DVD_RW) == RKSC_SUPPORTS_DVD_RW &&
                  RKScSupportBitOfMedia(RKMEDIA_DVD_PLUS_R) == RKSC_SUPPORTS_DVD_PLUS_R &&
                  RKScSupportBitOfMedia(RKMEDIA_DVD_PLUS_RW) == RKSC_SUPPORTS_DVD_PLUS_RW &&
                  RKScSupportBitOfMedia(RKMEDIA_DVD_R_DL) == RKSC_SUPPORTS_DVD_R_DL &&
                  RKScSupportBitOfMedia(RKMEDIA_DVD_PLUS_R_DL) == RKSC_SUPPORTS_DVD_PLUS_R_DL &&
                  RKScSupportBitOfMedia(RKMEDIA_DVD_RAM) == RKSC_SUPPORTS_DVD_RAM &&
                  RKScSupportBitOfMedia(RKMEDIA_BD_ROM) == RKSC_SUPPORTS_BD_ROM &&
                  RKScSupportBitOfMedia(RKMEDIA_BD_R) == RKSC_SUPPORTS_BD_R &&
                  RKScSupportBitOfMedia(RKMEDIA_BD_RE) == RKSC_SUPPORTS_BD_RE,
              "each supported-media bit stands for its entry of the named media codes");

#endif
