// The operating-system calls the library makes. Each backend file defines
// RKOsDefaultCalls(); the build links exactly one. Portable code reaches the
// system only through RKOsCalls(), and tests may swap single entries.
#ifndef RKOSLAYER_H
#define RKOSLAYER_H

#include "RKSeamExport.h"
#include "RKTypes.h"

typedef void (*RKOsProc)();

// An open device; null is never a valid one.
typedef void* RKOsDevice;

// pfnCheckMedia's answer for "the medium changed": not a yes.
const int RKOS_MEDIA_CHANGED = -1;
// A pause that another thread can cut short; null is never a valid one.
typedef void* RKOsWake;

struct RKOsCallTable
{
    // Loads a module by the file name the engine contract uses ("RKDRVCL.DLL"),
    // taking one more reference when it is loaded already. Null on failure;
    // an empty name never loads.
    HINSTANCE (*pfnLoadModule)(const unsigned short* szName);
    // The exported symbol's address, or null.
    RKOsProc (*pfnGetSymbol)(HINSTANCE hModule, const char* szSymbol);
    // Drops one reference; nonzero on success.
    int (*pfnFreeModule)(HINSTANCE hModule);

    // Opens a drive's volume device by its path ("\\.\E:") for reading,
    // shared for reading and writing (a program burning a disc holds the
    // drive for writing). Null when it cannot be opened.
    RKOsDevice (*pfnOpenDevice)(const unsigned short* szPath);
    // Nonzero when the device holds a ready medium; 0 otherwise or on
    // failure; RKOS_MEDIA_CHANGED when the system only reports that the
    // medium changed since it was last asked, which says nothing of whether
    // one is in: the caller asks again.
    int (*pfnCheckMedia)(RKOsDevice hDevice);
    // Releases a device that pfnOpenDevice opened.
    void (*pfnCloseDevice)(RKOsDevice hDevice);
    // Suspends the calling thread for the given milliseconds.
    void (*pfnSleep)(DWORD dwMilliseconds);

    // Milliseconds of a clock that never goes back and does not follow
    // changes of the wall clock; its start is arbitrary.
    unsigned long long (*pfnMonotonicMs)();
    // A new pause object, not set; null when the system gives none.
    RKOsWake (*pfnCreateWake)();
    // Sets it: the wait in progress, or else the next one, returns at once.
    // Safe from any thread and from a signal handler: it allocates
    // nothing, takes no lock and never blocks.
    void (*pfnSetWake)(RKOsWake hWake);
    // Waits until the object is set or the milliseconds have passed. 1 when
    // it was set (it is clear again), 0 when the time passed.
    int (*pfnWaitWake)(RKOsWake hWake, DWORD dwMilliseconds);
    void (*pfnCloseWake)(RKOsWake hWake);
    // A value that changes when the system's optical drives change (one
    // added, removed or replaced), read without touching any drive. 0 when
    // the system's list cannot be read, which the caller takes as "no
    // change can be seen".
    int (*pfnDriveListStamp)(unsigned long long* pullStamp);
};

// The table in force.
RKDRV_SEAM_API const RKOsCallTable& RKOsCalls();
// The backend's own table.
RKDRV_SEAM_API const RKOsCallTable& RKOsDefaultCalls();
// Replaces the table in force (tests); null puts the backend's table back.
RKDRV_SEAM_API void RKOsSetCalls(const RKOsCallTable* pCalls);

// The trace file. Opened and closed at module attach and detach, so these
// are plain functions too. Null is never an open file.
typedef void* RKOsFile;
// Opens for appending, creating it if need be, the file that the
// environment variable szVariable names. Null when the variable is unset
// or empty or the file cannot be opened.
RKOsFile RKOsOpenAppendFileNamedBy(const char* szVariable);
// Appends the bytes with one write at the end of the file, as one piece
// even when other processes append to the same file.
void RKOsAppendFile(RKOsFile hFile, const char* pData, DWORD dwSize);
void RKOsCloseFile(RKOsFile hFile);

// Paths for the local log written at module attach. They run before any
// test could swap a table, so they are plain functions. Paths are 8-bit
// texts in buffers of dwSize bytes, terminator included.

// The separator that joins a folder and a file name.
char RKOsPathSeparator();
// The host executable's full path. False when it cannot be read or would
// not fit whole: a cut path could name another folder.
bool RKOsGetHostExecutablePath(char* szPath, DWORD dwSize);
// Cuts the last element off a path, leaving its folder.
void RKOsRemoveFileSpec(char* szPath);
// Whether anything, file or folder, exists at the path.
bool RKOsPathExists(const char* szPath);
// Deletes a file; failures are the caller's to ignore.
void RKOsDeleteFile(const char* szPath);
// This library's own file path, one byte per character. False if unknown.
bool RKOsGetOwnModulePath(char* szPath, DWORD dwSize);
// The four-part file version of this library's file (where files carry no
// version, the one compiled into the library). False if unknown.
bool RKOsGetOwnFileVersion(WORD awVersion[4]);

#endif
