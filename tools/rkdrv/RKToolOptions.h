// The tool's command line: what was asked for, parsed and checked.
#ifndef RKTOOLOPTIONS_H
#define RKTOOLOPTIONS_H

#include <string>

#include "RKToolEngine.h"

enum class RKToolCommand
{
    None,
    List,
    Info,
    Wait,
    Eject,
    Close,
    Lock,
    Unlock,
    Reload,
    Demo
};

struct RKToolOptions
{
    RKToolCommand eCommand = RKToolCommand::None;
    RKToolEngineChoice stEngine;
    bool bEngineGiven = false;
    bool bJson = false;
    bool bTrace = false;
    bool bVersion = false;

    // info, eject, close, lock, unlock, wait: the drive asked for, upper
    // case ("any" for wait).
    WORD wLetter = 0;
    bool bAnyDrive = false;

    // wait
    bool bSingle = false;
    bool bHasType = false;
    DWORD dwType = 0;
    bool bHasTimeout = false;
    double dTimeout = 0;

    // reload
    RKToolEngineChoice stReloadTo;
};

// Fills options from the arguments. Returns -1 when the tool goes on;
// otherwise the exit code after help (0) or a usage error (2, one line and
// the usage hint on stderr) was printed.
int RKToolParseArguments(int argc, char** argv, RKToolOptions& options);

// A usage error found after parsing, written as every usage error is.
int RKToolUsageError(const std::string& strMessage, const std::string& strCommand);

#endif
