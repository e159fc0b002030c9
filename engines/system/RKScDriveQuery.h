// What the engine asks an open drive, over any transport. Each query sends
// its commands, checks the answers with the MMC parsers and traces what went
// wrong, naming the drive by strDevice.
#ifndef RKSCDRIVEQUERY_H
#define RKSCDRIVEQUERY_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "RKMediaInfo.h"
#include "RKScMmc.h"
#include "RKScTransport.h"

// Allocation of the first profile list read: room for 29 profiles. A longer
// list is read again at its own length, which its one-byte length field
// keeps below 268 bytes.
const WORD RKSC_PROFILES_FIRST_READ = 128;
// Allocations of the fixed-size reads. Every allocation is even: some
// bridges (USB, SATA) transfer in 16-bit words and fail odd lengths.
const WORD RKSC_INQUIRY_READ = 36;
const WORD RKSC_CURRENT_PROFILE_READ = 8;
const WORD RKSC_DISC_INFO_READ = 34;
const WORD RKSC_MEDIA_EVENT_READ = 8;
const WORD RKSC_TOC_READ = 48;     // the header and four full-table descriptors
const WORD RKSC_FEATURE_READ = 16; // the header and one short feature

// While the drive brings a medium up, GetMediaInfo asks again after a pause,
// this many times at most: a drive reports its current profile a few hundred
// milliseconds after it turned ready, and loads a disc in a few seconds.
const DWORD RKSC_SETTLE_PAUSE_MS = 250;
const int RKSC_SETTLE_TRIES = 8;

struct RKScReply
{
    RKScCommandStatus eStatus;
    std::size_t nTransferred; // never above the buffer given
    RKScSense stSense;        // of a check condition
    std::string strProblem;   // of a failure
};

// Sends one command. A unit attention reports an event, not an answer: the
// command is sent again, twice at most. Once the system said the device is
// gone, or a command of this open went unanswered, nothing more is sent:
// the reply is that failure again.
RKScReply RKScSend(CRKScDevice& device, const RKScCdb& stCdb, std::uint8_t* pbData, std::size_t nLength);
// "check condition, sense 5/24/00", or the transport's reason.
std::string RKScDescribeReply(const RKScReply& stReply);

// The INQUIRY identification into stInquiry (what could be read of it).
// False when it was not whole.
bool RKScQueryInquiry(CRKScDevice& device, const std::string& strDevice, RKScInquiry& stInquiry);
// The drive's profile list. False when none could be read; a list cut
// short gives true with the profiles that arrived whole.
bool RKScQueryProfiles(CRKScDevice& device, const std::string& strDevice, std::vector<WORD>& vecProfiles);
// Feature 0003h, how media go in and out. bOk false (quietly) when the
// drive does not say.
RKScRemovableMedium RKScQueryRemovableMedium(CRKScDevice& device);

// What the drive's own answers say of its medium.
enum RKScMediumState
{
    RKSC_MEDIUM_UNKNOWN, // nothing says
    RKSC_MEDIUM_NONE,    // no medium: the tray is closed and empty, or open
    RKSC_MEDIUM_BUSY,    // a medium is in but not ready: being loaded, formatted or written
    RKSC_MEDIUM_READY    // a medium is in and ready
};

// The medium's state, from TEST UNIT READY and, when that says not ready,
// the media event status; eSystem (the transport's own view) decides when
// the drive gives no answer, and its "becoming ready" is believed at once.
RKScMediumState RKScQueryMediumState(CRKScDevice& device, RKScDriveStatus eSystem);
// The medium as GetMediaInfo reports it, and the current profile behind it
// (0 when the drive gave none).
RKMediaInfo RKScQueryMedia(CRKScDevice& device, const std::string& strDevice, WORD& wProfile);

#endif
