// The tool's command line: what was asked for, parsed and checked.
#ifndef RKTOOLOPTIONS_H
#define RKTOOLOPTIONS_H

#include <string>
#include <vector>

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
    Demo,
    Watch
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
    bool bHasTimeout = false; // also watch
    double dTimeout = 0;

    // watch: the letters (upper case; none: every drive), 0 for the
    // default interval, and the events to end after.
    std::vector<WORD> vecWatchLetters;
    DWORD dwIntervalMs = 0;
    bool bHasCount = false;
    long long llCount = 0;

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
