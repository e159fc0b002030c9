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

// Allocation of the first profile list read; a longer list is read again
// with the length the drive announces, up to RKSC_PROFILES_MAX_READ.
const WORD RKSC_PROFILES_FIRST_READ = 128;
const WORD RKSC_PROFILES_MAX_READ = 4096;
// Allocations of the fixed-size reads.
const WORD RKSC_INQUIRY_READ = 36;
const WORD RKSC_CURRENT_PROFILE_READ = 8;
const WORD RKSC_DISC_INFO_READ = 34;
const WORD RKSC_MEDIA_EVENT_READ = 8;

struct RKScReply
{
    RKScCommandStatus eStatus;
    std::size_t nTransferred; // never above the buffer given
    RKScSense stSense;        // of a check condition
    std::string strProblem;   // of a failure
};

// Sends one command. A unit attention reports an event, not an answer: the
// command is sent again, twice at most.
RKScReply RKScSend(CRKScDevice& device, const RKScCdb& stCdb, std::uint8_t* pbData, std::size_t nLength);
// "check condition, sense 5/24/00", or the transport's reason.
std::string RKScDescribeReply(const RKScReply& stReply);

// The parts of a drive's INQUIRY answer, as far as they arrived.
struct RKScIdentification
{
    bool bRead = false; // the drive answered INQUIRY
    std::string strVendor;
    std::string strProduct;
    std::string strRevision;
};

// "VENDOR PRODUCT" from INQUIRY into strModel (what could be read of it),
// and its parts into pIdentification when given. False when the
// identification was not whole.
bool RKScQueryModel(CRKScDevice& device, const std::string& strDevice, std::string& strModel,
                    RKScIdentification* pIdentification = nullptr);
// The drive's profile list. False when none could be read; a list cut
// short gives true with the profiles that arrived whole.
bool RKScQueryProfiles(CRKScDevice& device, const std::string& strDevice, std::vector<WORD>& vecProfiles);
// The medium as GetMediaInfo reports it, and the current profile behind it.
RKMediaInfo RKScQueryMedia(CRKScDevice& device, const std::string& strDevice, WORD& wProfile);
// The drive's state from TEST UNIT READY and its media event, for systems
// that keep none of their own.
RKScDriveStatus RKScQueryDriveStatus(CRKScDevice& device);

#endif
