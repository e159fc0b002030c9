// The MMC answers behind a drive's details: its capabilities page, its
// speeds and mechanism, and its disc's layout, capacity and volume label.
// Pure computation on byte buffers under the rules of RKScMmc.h: every
// parser reads only the bytes the drive transferred, checks each length
// field first, and says in strProblem why an answer could not be used. A
// value the answer does not give is RKSC_UNKNOWN, never 0.
#ifndef RKSCMMCDETAILS_H
#define RKSCMMCDETAILS_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "RKScMmc.h"

// The same word as the library's RKDETAILS_UNKNOWN.
const DWORD RKSC_UNKNOWN = 0xFFFFFFFFu;

// Further read-only commands; the kernel lets anyone who may open the
// drive send each of them.
enum
{
    RKSC_OP_READ_FORMAT_CAPACITIES = 0x23,
    RKSC_OP_READ_CAPACITY = 0x25,
    RKSC_OP_READ_10 = 0x28,
    RKSC_OP_READ_TRACK_INFORMATION = 0x52,
    RKSC_OP_MODE_SENSE_10 = 0x5A,
    RKSC_OP_GET_PERFORMANCE = 0xAC,
    RKSC_OP_MECHANISM_STATUS = 0xBD
};

// The track READ TRACK INFORMATION calls the invisible or incomplete one:
// where the next data would be written.
const DWORD RKSC_INVISIBLE_TRACK = 0xFF;
// The block of an ISO 9660 primary volume descriptor, from the start of
// the session's first track.
const DWORD RKSC_VOLUME_DESCRIPTOR_BLOCK = 16;
const std::size_t RKSC_DATA_BLOCK = 2048;

// MODE SENSE (10) of one page, current values, no block descriptors.
RKScCdb RKScModeSenseCdb(std::uint8_t bPage, WORD wAllocation);
RKScCdb RKScReadCapacityCdb();
RKScCdb RKScReadFormatCapacitiesCdb(WORD wAllocation);
// By track number (RKSC_INVISIBLE_TRACK for the track being written).
RKScCdb RKScReadTrackInformationCdb(DWORD dwTrack, WORD wAllocation);
// GET PERFORMANCE, write speed descriptors (type 03h).
RKScCdb RKScWriteSpeedsCdb(WORD wDescriptors);
RKScCdb RKScRead10Cdb(DWORD dwBlock, WORD wBlocks);
RKScCdb RKScMechanismStatusCdb(WORD wAllocation);

// Mode page 2Ah, the drive's capabilities and mechanical status.
const std::uint8_t RKSC_PAGE_CAPABILITIES = 0x2A;

struct RKScCapabilities
{
    bool bOk; // the mechanism byte was read: the flags below are the drive's
    bool bCanLock;
    bool bLocked;
    bool bCanEject;
    std::uint8_t bLoading; // loading mechanism type, 0 to 7
    // kB/s (1000 bytes) and KiB; RKSC_UNKNOWN where the page has no value
    // (later drives leave the speed fields 0).
    DWORD dwMaxReadKbps;
    DWORD dwMaxWriteKbps;
    DWORD dwBufferKiB;
    std::string strProblem;
};

// The whole MODE SENSE (10) answer, header included.
RKScCapabilities RKScParseCapabilities(const std::uint8_t* pbData, std::size_t nLength);

struct RKScSpeeds
{
    bool bOk;
    std::size_t nDescriptors; // whole descriptors read
    DWORD dwMaxReadKbps;      // the highest nonzero one, or RKSC_UNKNOWN
    DWORD dwMaxWriteKbps;
    std::string strProblem;
};

RKScSpeeds RKScParseWriteSpeeds(const std::uint8_t* pbData, std::size_t nLength);

struct RKScMechanism
{
    bool bOk;
    bool bDoorOpen;
    std::string strProblem;
};

RKScMechanism RKScParseMechanismStatus(const std::uint8_t* pbData, std::size_t nLength);

// The product revision of a standard INQUIRY answer; empty when the answer
// does not reach it.
std::string RKScParseInquiryRevision(const std::uint8_t* pbData, std::size_t nLength);

// Feature 0001h: the physical interface standard the drive speaks.
struct RKScCore
{
    bool bOk;
    DWORD dwInterface; // as the drive gives it (0001h SCSI, 0002h ATAPI, 0008h USB, ...)
    std::string strProblem;
};

RKScCore RKScParseCore(const RKScFeature& stFeature);

// Feature 0108h: the drive's serial number.
struct RKScSerial
{
    bool bOk;              // the whole number arrived
    std::string strSerial; // trimmed; unprintable bytes show as '?'
    std::string strProblem;
};

RKScSerial RKScParseSerial(const RKScFeature& stFeature);

// Standard disc information beyond the disc status.
struct RKScDiscLayout
{
    bool bOk;                  // the disc status was read (RKScParseDiscInfo)
    std::uint8_t bDiscStatus;  // 0 blank, 1 incomplete, 2 complete, 3 other
    std::uint8_t bLastSession; // 0 empty, 1 incomplete, 2 damaged, 3 complete
    bool bErasable;
    bool bCounts; // the track and session numbers below were read
    DWORD dwFirstTrack;
    DWORD dwSessions;
    DWORD dwFirstTrackLastSession;
    DWORD dwLastTrackLastSession;
    std::string strProblem;
};

RKScDiscLayout RKScParseDiscLayout(const std::uint8_t* pbData, std::size_t nLength);

struct RKScTocTrack
{
    std::uint8_t bTrack;
    bool bData; // control says data; audio otherwise
    DWORD dwStart;
};

struct RKScToc
{
    bool bOk; // the header was read
    std::uint8_t bFirstTrack;
    std::uint8_t bLastTrack;
    // Every descriptor that arrived whole, the lead-out left out.
    std::vector<RKScTocTrack> vecTracks;
    bool bWhole; // one descriptor for each track from first to last
    std::string strProblem;
};

RKScToc RKScParseToc(const std::uint8_t* pbData, std::size_t nLength);

struct RKScCapacity
{
    bool bOk;
    DWORD dwBlocks; // the last block's address plus one
    DWORD dwBlockLength;
    std::string strProblem;
};

RKScCapacity RKScParseCapacity(const std::uint8_t* pbData, std::size_t nLength);

// READ FORMAT CAPACITIES: the current or maximum capacity descriptor.
enum
{
    RKSC_FORMAT_UNFORMATTED = 1, // the most the medium would hold once formatted
    RKSC_FORMAT_FORMATTED = 2,   // what the formatted medium holds
    RKSC_FORMAT_NO_MEDIUM = 3
};

struct RKScFormatCapacity
{
    bool bOk;
    std::uint8_t bType; // RKSC_FORMAT_*, or 0 for the reserved value
    DWORD dwBlocks;
    DWORD dwBlockLength;
    std::string strProblem;
};

RKScFormatCapacity RKScParseFormatCapacity(const std::uint8_t* pbData, std::size_t nLength);

struct RKScTrackInfo
{
    bool bOk; // up to the free blocks
    bool bBlank;
    DWORD dwStart;
    DWORD dwFreeBlocks;
    DWORD dwTrackSize; // RKSC_UNKNOWN when the answer stops before it
    std::string strProblem;
};

RKScTrackInfo RKScParseTrackInfo(const std::uint8_t* pbData, std::size_t nLength);

// An ISO 9660 primary volume descriptor. bOk is false, without a problem,
// for a block that holds another file system's data.
struct RKScVolume
{
    bool bOk;
    std::string strLabel; // the volume identifier, trimmed; may be empty
    std::string strProblem;
};

RKScVolume RKScParsePrimaryVolume(const std::uint8_t* pbData, std::size_t nLength);

#endif
