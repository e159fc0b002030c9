// What rkdrv watch needs of the operating system; one file per system
// (RKToolWatchSystem_posix.cpp, RKToolWatchSystem_win32.cpp).
#ifndef RKTOOLWATCHSYSTEM_H
#define RKTOOLWATCHSYSTEM_H

#include <string>

#include "RKDRV.h"

// Now, as the local time of day ("20:31:46.123") and as UTC in ISO 8601
// with milliseconds ("2024-05-01T18:31:46.123Z").
void RKToolWallClock(std::string& strLocalTime, std::string& strIsoUtc);

// Ctrl-C while hWatch runs: the first press stops the watch (StopWatch is
// safe in a handler), the second ends the process at once with 130.
void RKToolInstallWatchInterrupt(HRKWATCH hWatch);
// Puts back what was there before; once it returns no handler uses the
// watch any more.
void RKToolRemoveWatchInterrupt();
// Presses so far.
int RKToolWatchInterrupts();

#endif
