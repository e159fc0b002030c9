// How a writer's details are shown: the "drive", "disc" and "tray" objects
// of the info document, and the grouped text.
#ifndef RKTOOLDETAILSREPORT_H
#define RKTOOLDETAILSREPORT_H

#include <string>
#include <vector>

#include "RKToolDetails.h"
#include "RKToolReport.h"

// Adds the three objects to a writer object: "drive" and "tray" always,
// their fields null where not known; "disc" null without a disc.
void RKToolAddDetailsJson(const RKToolDetails& stDetails, RKToolJson& jsonWriter);
// The details as text, one group each for the drive, the disc and the tray.
std::vector<std::string> RKToolDetailsLines(const RKToolDetails& stDetails);
// "737,280,000 bytes (703.1 MiB)"; below a KiB the bytes alone.
std::string RKToolBytesText(unsigned long long ullBytes);

#endif
