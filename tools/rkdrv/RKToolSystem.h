// What the rkdrv tool needs of the operating system; one file per system
// implements it (RKToolSystem_posix.cpp, RKToolSystem_win32.cpp).
#ifndef RKTOOLSYSTEM_H
#define RKTOOLSYSTEM_H

#include <string>

#include "RKTypes.h"

// Ctrl-C during a wait. The first press is only counted; the second ends
// the process at once with exit code 130. The handler does nothing else.
void RKToolInstallInterruptHandler();
// Puts back what was there before; presses counted so far are kept.
void RKToolRemoveInterruptHandler();
// Presses since the handler was first installed; safe from any thread.
int RKToolInterruptCount();

// Whether standard error is a terminal a person looks at.
bool RKToolStderrIsTerminal();
// Columns of standard error's terminal, or 0 when unknown.
int RKToolTerminalColumns();
// Makes the console show UTF-8 where it needs telling.
void RKToolPrepareConsole();

// Sets a variable of the process environment, which engines loaded into
// the process read; null removes it. False when that failed.
bool RKToolSetEnvironment(const char* szName, const char* szValue);

// The folder the running program's file is in; empty when unknown.
std::string RKToolProgramFolder();
// Loads engine strName ("RKDRVCL") by its full path from strFolder and keeps
// it loaded until RKToolReleaseModule: the library's load of that engine by
// name then finds this one, wherever the search would have led. Null when
// it cannot be loaded.
void* RKToolHoldEngineModule(const std::string& strFolder, const std::string& strName);
void RKToolReleaseModule(void* hModule);

// A module file as the tool reports it.
struct RKToolFileInfo
{
    std::string strPath;          // full path, UTF-8; empty when unknown
    std::string strName;          // engine name without prefix or extension ("RKDRVCL")
    std::string strVersion;       // empty when the file carries none
    std::string strVersionSource; // where the version came from, or why there is none
};

// The RKDRV library loaded into this process.
RKToolFileInfo RKToolLibraryFile();
// The engine module behind a manager's module handle.
RKToolFileInfo RKToolEngineFile(HINSTANCE hModule);

#endif
