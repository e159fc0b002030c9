// The MMC command set as this engine speaks it: command blocks, parsers of
// the drive's answers, sense data, and what profiles and disc states mean in
// the library's words. Pure computation on byte buffers, no system calls, so
// every transport shares it and the fuzzers reach all of it.
//
// Every parser takes the bytes the drive really transferred and never reads
// past them. Length fields inside an answer are checked against that count
// before anything behind them is read; a parser that finds its answer bad
// says why in strProblem and leaves the fields it could not read at 0.
#ifndef RKSCMMC_H
#define RKSCMMC_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "RKTypes.h"

// A command block of at most 16 bytes.
struct RKScCdb
{
    std::uint8_t abBytes[16];
    std::size_t nLength;
};

// Operation codes of the commands this engine sends. All of them are the
// read-only commands that any program allowed to open the drive may send.
enum
{
    RKSC_OP_TEST_UNIT_READY = 0x00,
    RKSC_OP_INQUIRY = 0x12,
    RKSC_OP_GET_CONFIGURATION = 0x46,
    RKSC_OP_GET_EVENT_STATUS = 0x4A,
    RKSC_OP_READ_DISC_INFORMATION = 0x51
};

// GET CONFIGURATION request types.
enum
{
    RKSC_RT_ALL = 0,
    RKSC_RT_CURRENT = 1,
    RKSC_RT_ONE = 2
};

RKScCdb RKScTestUnitReadyCdb();
// Standard INQUIRY data.
RKScCdb RKScInquiryCdb(WORD wAllocation);
RKScCdb RKScGetConfigurationCdb(std::uint8_t bRequestType, WORD wStartFeature, WORD wAllocation);
// Standard disc information (data type 0).
RKScCdb RKScReadDiscInformationCdb(WORD wAllocation);
// Polled, media event class only.
RKScCdb RKScMediaEventCdb(WORD wAllocation);

// Sense data, fixed (70h/71h) or descriptor (72h/73h) format.
struct RKScSense
{
    bool bValid;       // a sense key was read
    bool bCodes;       // the additional sense code and qualifier were read too
    std::uint8_t bKey; // 0 to 15
    std::uint8_t bAsc;
    std::uint8_t bAscq;
};

RKScSense RKScParseSense(const std::uint8_t* pbData, std::size_t nLength);
// Sense key 2, 04h/01h: a disc was just inserted and the drive spins it up.
bool RKScSenseBecomingReady(const RKScSense& stSense);
// Additional sense code 3Ah, whatever the key.
bool RKScSenseNoMedium(const RKScSense& stSense);
// Sense key 6: the drive reports an event (new medium, reset) instead of
// running the command; the command itself may be sent again.
bool RKScSenseUnitAttention(const RKScSense& stSense);
// "sense 2/3A/00", "sense key 5" or "no sense data".
std::string RKScDescribeSense(const RKScSense& stSense);

struct RKScInquiry
{
    bool bOk;
    std::uint8_t bDeviceType; // peripheral device type, 5 for MMC drives
    std::string strVendor;    // trimmed, printable ASCII only
    std::string strProduct;
    std::string strProblem;
};

RKScInquiry RKScParseInquiry(const std::uint8_t* pbData, std::size_t nLength);
// "VENDOR PRODUCT"; one of them alone when the other is empty.
std::string RKScModelOfInquiry(const RKScInquiry& stInquiry);

// The answer to GET CONFIGURATION: its header and, when present, the profile
// list feature (feature 0) that follows it.
struct RKScConfiguration
{
    bool bHeader;               // the header was whole: wCurrentProfile is the drive's
    WORD wCurrentProfile;       // 0: no medium
    std::uint64_t ullAnnounced; // bytes the drive has to give, header included
    bool bProfileList;          // a profile list feature was read
    bool bProfilesCut;          // the list went on past the answer (or was not whole)
    std::vector<WORD> vecProfiles;
    std::string strProblem;
};

RKScConfiguration RKScParseConfiguration(const std::uint8_t* pbData, std::size_t nLength);

// One feature descriptor of a GET CONFIGURATION answer, with a copy of the
// additional data that arrived.
struct RKScFeature
{
    WORD wCode;
    bool bCurrent;                     // the feature is active now (for the medium in)
    bool bPersistent;                  // always current, medium or not
    std::uint8_t bVersion;             // 0 to 15
    std::uint8_t bAnnounced;           // additional length the descriptor gives
    bool bCut;                         // fewer than bAnnounced bytes arrived
    std::vector<std::uint8_t> vecData; // the additional data, as much as arrived
};

// Every feature descriptor of a GET CONFIGURATION answer, in the drive's
// order. Only bytes below the header's announced length and below nLength
// are read; a descriptor whose data goes on past them is the last one and
// comes cut. A descriptor whose own 4-byte header is cut is left out.
struct RKScFeatureList
{
    bool bHeader;               // the 8-byte header was whole
    WORD wCurrentProfile;       // 0: no medium (or the drive does not say)
    std::uint64_t ullAnnounced; // bytes the drive has to give, header included
    bool bCut;                  // the answer went on past the bytes that arrived
    std::vector<RKScFeature> vecFeatures;
    std::string strProblem;
};

RKScFeatureList RKScParseFeatures(const std::uint8_t* pbData, std::size_t nLength);
// The first descriptor of that code, or null.
const RKScFeature* RKScFindFeature(const RKScFeatureList& stList, WORD wCode);

// Feature codes this engine reads.
enum
{
    RKSC_FEATURE_PROFILE_LIST = 0x0000,
    RKSC_FEATURE_CORE = 0x0001,
    RKSC_FEATURE_REMOVABLE_MEDIUM = 0x0003,
    RKSC_FEATURE_SERIAL_NUMBER = 0x0108
};

// Loading mechanism types of feature 0003h.
enum
{
    RKSC_LOADING_CADDY_OR_SLOT = 0,
    RKSC_LOADING_TRAY = 1,
    RKSC_LOADING_POPUP = 2,
    RKSC_LOADING_CHANGER = 4,
    RKSC_LOADING_MAGAZINE = 5
};

// Feature 0003h: how media go in and out.
struct RKScRemovableMedium
{
    bool bOk;
    std::uint8_t bLoading; // RKSC_LOADING_* (any value 0 to 7 as the drive gives it)
    bool bEject;           // software can eject (open the tray, push the disc out)
    bool bLoadKnown;       // version 2 or later: bLoad says something
    bool bLoad;            // software can load (close the tray)
    bool bLock;            // the medium can be locked in
    std::string strProblem;
};

// The drive's answer for feature 0003h; a descriptor of another code, or
// one without its first data byte, is not read.
RKScRemovableMedium RKScParseRemovableMedium(const RKScFeature& stFeature);
// True when the drive has a tray to open: any mechanism but a caddy or slot.
bool RKScHasTray(const RKScRemovableMedium& stMedium);

struct RKScDiscInfo
{
    bool bOk;
    std::uint8_t bDiscStatus; // 0 blank, 1 incomplete, 2 complete, 3 other
    bool bErasable;
    std::string strProblem;
};

RKScDiscInfo RKScParseDiscInfo(const std::uint8_t* pbData, std::size_t nLength);

struct RKScMediaEvent
{
    bool bOk;
    std::uint8_t bEventCode;
    bool bMediaPresent;
    bool bTrayOpen;
    std::string strProblem;
};

RKScMediaEvent RKScParseMediaEvent(const std::uint8_t* pbData, std::size_t nLength);

// The library's media code of a profile: an RKMEDIA_* code, 0 for profile 0
// (no medium), RKSC_MEDIA_FROM_PROFILE for a profile without a code.
DWORD RKScMediaOfProfile(WORD wProfile);
// RKSC_SUPPORTS_* bits of the profiles a drive lists.
DWORD RKScSupportedMediaOfProfiles(const std::vector<WORD>& vecProfiles);
// RKSC_DISC_* state of a disc status field.
DWORD RKScDiscStateOfStatus(std::uint8_t bDiscStatus);

#endif
