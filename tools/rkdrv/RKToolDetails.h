// What a writer's details say, where its engine offers them: the drive,
// its disc and its tray, and the library's meanings behind them. The tool
// takes the meaning of an engine's words from here, never from the name of
// the engine's module.
#ifndef RKTOOLDETAILS_H
#define RKTOOLDETAILS_H

#include <string>
#include <vector>

#include "RKDRV.h"

struct RKToolDetails
{
    bool bOffered = false;   // the writer's engine offers details
    bool bDiscAsked = false; // not asked when the drive said it holds none
    bool bDrive = false;     // each part the engine answered
    bool bDisc = false;
    bool bTray = false;
    RKDriveDetails stDrive = {};
    RKDiscDetails stDisc = {};
    RKTrayState stTray = {};

    // A disc the details describe: answered, and present.
    bool HasDisc() const { return bDisc && stDisc.dwDiscPresent == 1; }
};

enum
{
    RKTOOL_DETAILS_DRIVE = 1,
    RKTOOL_DETAILS_DISC = 2,
    RKTOOL_DETAILS_TRAY = 4
};

// Asks the writer for the parts named by nParts (RKTOOL_DETAILS_* bits), the
// tray first: its state is of this moment, and an engine may reuse what it
// learnt there for the drive.
RKToolDetails RKToolReadDetails(CRKWriter* pWriter, int nParts);

// The library's media names of the drive's profiles, each once, in the
// library's order; empty when the list is not known.
std::vector<std::string> RKToolProfileMediaNames(const RKDriveDetails& stDrive);
// Whether the drive's profile list is known.
bool RKToolProfilesKnown(const RKDriveDetails& stDrive);

// Names of the details' values; "" for a value without one.
std::string RKToolDiscStateName(DWORD dwState);     // RKDISC_STATE_*: "blank", ...
std::string RKToolSessionStateName(DWORD dwState);  // RKSESSION_*: "empty", ...
std::string RKToolInterfaceName(DWORD dwInterface); // RKINTERFACE_*: "SCSI", "USB", ...
std::string RKToolLoadingName(DWORD dwLoading);     // RKLOADING_*: "tray", ...

#endif
