// One writer as the tool shows it, and the names of media codes.
#ifndef RKTOOLDRIVE_H
#define RKTOOLDRIVE_H

#include <string>
#include <vector>

#include "RKDRV.h"
#include "RKToolDetails.h"

struct RKToolDriveRow
{
    DWORD dwIndex = 0;
    bool bPlaceholder = false; // a table slot that holds no writer
    WORD wLetter = 0;
    std::string strModel;
    DWORD dwSupportedMedia = 0;
    bool bMediaKnown = false; // the medium was asked for (or reported by a wait)
    bool bDisc = false;
    // The engine's media record; meaningful only with a disc.
    DWORD dwMediaType = 0;
    DWORD dwDiscType = 0;
    // What the engine's details say, where it offers them: the meanings of
    // the words above.
    RKToolDetails stDetails;
};

// The writer at dwIndex: identity always, the medium when bQueryMedia
// (IsMediaIn, then, only when a disc is in, the disc's details where the
// engine offers them, else GetMediaInfo), with the drive's details and,
// when bTray, the tray's.
RKToolDriveRow RKToolReadDrive(CRKDRVManager* pManager, DWORD dwIndex, bool bQueryMedia, bool bTray = false);
// Every entry of the table, placeholders included.
std::vector<RKToolDriveRow> RKToolReadDrives(CRKDRVManager* pManager, bool bQueryMedia);
// A row for a writer whose medium a wait has just reported.
RKToolDriveRow RKToolDriveWithMedia(CRKWriter* pWriter, DWORD dwIndex, const RKMediaInfo& stInfo);

// A media code's name ("DVD+RW"); "" when it has none.
std::string RKToolMediaName(DWORD dwMediaType);
// The code whose name equals strName, case ignored. False when none does.
bool RKToolFindMediaType(const std::string& strName, DWORD& dwMediaType);
// "CD, CD-R, ..." for --help and errors.
std::string RKToolMediaNameList();

#endif
