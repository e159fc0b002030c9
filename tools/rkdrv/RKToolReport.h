// How engines and drives are shown: JSON values with stable field names,
// and text lines for a person.
#ifndef RKTOOLREPORT_H
#define RKTOOLREPORT_H

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "RKToolDrive.h"
#include "RKToolEngine.h"

typedef nlohmann::ordered_json RKToolJson;

// The document as it is printed. Texts from the system are bytes that need
// not be UTF-8 (a path under a Latin-1 folder name): a byte that is not
// becomes U+FFFD, so that there is always one valid document.
std::string RKToolDocumentText(const RKToolJson& jsonDoc);
// The same on one line, for JSON Lines.
std::string RKToolJsonLine(const RKToolJson& jsonValue);

RKToolJson RKToolEngineJson(const CRKToolEngine& engine);
RKToolJson RKToolDriveJson(const RKToolDriveRow& stRow);
RKToolJson RKToolDrivesJson(const std::vector<RKToolDriveRow>& vecRows);

// "RKDRVCL (--engine cl, 0xF0000002): /path/libRKDRVCL.so"
std::string RKToolEngineLine(const CRKToolEngine& engine);
// The list table, heading first.
std::vector<std::string> RKToolDriveTable(const std::vector<RKToolDriveRow>& vecRows);
// One drive, one field a line.
std::vector<std::string> RKToolDriveDetail(const RKToolDriveRow& stRow);

// The cells of a row, also used by the wait's result line. The engine's
// words are named where its details give their meaning, raw otherwise.
std::string RKToolSupportedText(const RKToolDriveRow& stRow);
std::string RKToolMediaText(const RKToolDriveRow& stRow);
std::string RKToolDiscStateText(const RKToolDriveRow& stRow);

#endif
