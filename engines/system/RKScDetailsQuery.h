// What the engine asks an open drive for its details, its disc's and its
// tray's, over any transport. Each query fills the fields its answers give
// and leaves the others as they are (the library set them to "not known");
// it traces what went wrong, naming the drive by strDevice.
#ifndef RKSCDETAILSQUERY_H
#define RKSCDETAILSQUERY_H

#include <cstdint>
#include <string>
#include <vector>

#include "RKWriterDetails.h"
#include "RKScDriveQuery.h"
#include "RKScMmcDetails.h"

// The whole feature list is read at once; no drive gives more.
const WORD RKSC_FEATURES_READ = 4096;
const WORD RKSC_CAPABILITIES_READ = 256;
const WORD RKSC_WRITE_SPEEDS = 32;
const WORD RKSC_TRACKS_READ = 804; // the header and 100 descriptors, the lead-out included
const WORD RKSC_CAPACITY_READ = 8;
const WORD RKSC_FORMAT_CAPACITIES_READ = 12;
const WORD RKSC_TRACK_INFO_READ = 48;
const WORD RKSC_MECHANISM_READ = 8;

// One trace line for a command the drive did not run: information for an
// illegal request (a command older drives lack), an error otherwise.
void RKScTraceReply(const std::string& strDevice, const char* szCommand, const RKScReply& stReply);
// An error line for an answer that could not be used; none for "".
void RKScTraceProblem(const std::string& strDevice, const char* szCommand, const std::string& strProblem);

// An ASCII text into a record's 16-bit field of nChars characters, cut to
// fit and always ended with a zero.
void RKScPutText(unsigned short* pwField, std::size_t nChars, const std::string& strText);

// RKLOADING_* of an MMC loading mechanism type; RKDETAILS_UNKNOWN for the
// reserved ones.
DWORD RKScLoadingOfType(std::uint8_t bType);
// The INQUIRY identification into the record.
void RKScApplyIdentification(const RKScInquiry& stInquiry, RKDriveDetails& stDetails);
// The current profile, the profile list and what the features say of the
// interface, the loading mechanism and the serial number; one GET
// CONFIGURATION for all of them.
void RKScQueryFeatures(CRKScDevice& device, const std::string& strDevice, RKDriveDetails& stDetails);
// The whole MODE SENSE answer of the capabilities page into vecAnswer;
// false, with vecAnswer empty, when the drive gave none that can be used.
// bQuiet: no trace lines (the tray's state is polled).
bool RKScQueryCapabilities(CRKScDevice& device, const std::string& strDevice,
                           std::vector<std::uint8_t>& vecAnswer, bool bQuiet);
// Speeds and buffer from the page; for drives without the features, also
// what the mechanism can do.
void RKScApplyCapabilities(const RKScCapabilities& stCaps, RKDriveDetails& stDetails);
// GET PERFORMANCE, for the speeds the page did not give.
void RKScQueryWriteSpeeds(CRKScDevice& device, const std::string& strDevice, RKDriveDetails& stDetails);

// Everything about the disc; dwDiscPresent 0 for an empty drive. False
// when the drive's answers could not tell whether a disc is in.
bool RKScQueryDiscDetails(CRKScDevice& device, const std::string& strDevice, RKDiscDetails& stDetails);

// The tray, the medium and the door from status commands alone (media
// event, TEST UNIT READY, MECHANISM STATUS where there are no events, the
// capabilities page for the lock). Traces nothing: it is polled. False when
// no answer told anything.
bool RKScQueryTrayState(CRKScDevice& device, RKTrayState& stState,
                        std::vector<std::uint8_t>& vecCapabilities);
// The RKTRAY_EVENT_* bits of what the system reported of the drive's media
// events (RKSC_DRIVE_EVENT_*): its eject requests. A media change it
// reported is not counted: the system reports one after any program's open
// of the drive, at times that have nothing to do with this query, and the
// tray and medium answered here tell every change of them already; taken
// as an event it would read as a disc changed between two queries.
DWORD RKScTrayEventsOf(unsigned uDriveEvents);

#endif
