// POSIX side of rkdrv watch. Only POSIX calls belong here.
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "RKToolWatchSystem.h"

namespace
{
std::atomic<HRKWATCH> s_hWatch{nullptr};
// Handlers inside the watch's code right now: the watch is closed only
// once none is.
std::atomic<int> s_nInHandler{0};
std::atomic<int> s_nInterrupts{0};
static_assert(ATOMIC_INT_LOCK_FREE == 2 && ATOMIC_POINTER_LOCK_FREE == 2,
              "the handler's data must be lock-free");

struct sigaction s_OldAction;
bool s_bInstalled = false;

extern "C" void RKToolOnWatchInterrupt(int)
{
    int nSavedErrno = errno;
    if (s_nInterrupts.fetch_add(1) >= 1)
    {
        static const char s_szMessage[] = "\nrkdrv: interrupted\n";
        ssize_t nIgnored = write(STDERR_FILENO, s_szMessage, sizeof(s_szMessage) - 1);
        (void)nIgnored;
        _exit(130);
    }
    s_nInHandler.fetch_add(1);
    if (HRKWATCH hWatch = s_hWatch.load())
        RKDRV::StopWatch(hWatch);
    s_nInHandler.fetch_sub(1);
    errno = nSavedErrno;
}
} // namespace

bool RKToolBrokenDownTime(std::time_t tSeconds, bool bLocal, std::tm& stTime)
{
    std::memset(&stTime, 0, sizeof(stTime));
    return (bLocal ? localtime_r(&tSeconds, &stTime) : gmtime_r(&tSeconds, &stTime)) != nullptr;
}

void RKToolInstallWatchInterrupt(HRKWATCH hWatch)
{
    // Called once now, so that the handler never makes the dynamic linker
    // look the function up (a null watch does nothing).
    RKDRV::StopWatch(nullptr);
    s_hWatch.store(hWatch);
    struct sigaction stAction;
    std::memset(&stAction, 0, sizeof(stAction));
    stAction.sa_handler = RKToolOnWatchInterrupt;
    sigemptyset(&stAction.sa_mask);
    stAction.sa_flags = SA_RESTART;
    s_bInstalled = sigaction(SIGINT, &stAction, &s_OldAction) == 0;
}

void RKToolRemoveWatchInterrupt()
{
    if (s_bInstalled)
        sigaction(SIGINT, &s_OldAction, nullptr);
    s_bInstalled = false;
    s_hWatch.store(nullptr);
    // A handler that took the watch before it was cleared is let finish.
    while (s_nInHandler.load() != 0)
        std::this_thread::yield();
}

int RKToolWatchInterrupts()
{
    return s_nInterrupts.load();
}
