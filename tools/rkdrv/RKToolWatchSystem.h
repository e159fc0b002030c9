// What rkdrv watch needs of the operating system; one file per system
// (RKToolWatchSystem_posix.cpp, RKToolWatchSystem_win32.cpp).
#ifndef RKTOOLWATCHSYSTEM_H
#define RKTOOLWATCHSYSTEM_H

#include <ctime>
#include <string>

#include "RKDRV.h"

// A moment as the local time or as UTC, in the way that is safe from any
// thread. False when the system cannot say.
bool RKToolBrokenDownTime(std::time_t tSeconds, bool bLocal, std::tm& stTime);

// Ctrl-C while hWatch runs: the first press stops the watch (StopWatch is
// safe in a handler), the second ends the process at once with 130.
void RKToolInstallWatchInterrupt(HRKWATCH hWatch);
// Puts back what was there before; once it returns no handler uses the
// watch any more.
void RKToolRemoveWatchInterrupt();
// Presses so far.
int RKToolWatchInterrupts();

#endif
