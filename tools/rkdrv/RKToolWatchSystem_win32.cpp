// Windows side of rkdrv watch. Only Windows calls belong here.
#include <windows.h>

#include <time.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "RKToolSystem.h"
#include "RKToolWatchSystem.h"

namespace
{
std::atomic<HRKWATCH> s_hWatch{nullptr};
// Handlers inside the watch's code right now: the watch is closed only
// once none is.
std::atomic<int> s_nInHandler{0};
std::atomic<int> s_nInterrupts{0};
bool s_bInstalled = false;

// Runs on a thread of its own, which the system starts for each press.
BOOL WINAPI RKToolOnWatchControl(DWORD dwType)
{
    if (dwType != CTRL_C_EVENT && dwType != CTRL_BREAK_EVENT)
        return FALSE;
    if (s_nInterrupts.fetch_add(1) >= 1)
    {
        static const char s_szMessage[] = "\r\nrkdrv: interrupted\r\n";
        DWORD dwWritten = 0;
        WriteFile(GetStdHandle(STD_ERROR_HANDLE), s_szMessage, sizeof(s_szMessage) - 1, &dwWritten, nullptr);
        // The process ends here, before the handler that would put the
        // console's code page back.
        RKToolRestoreConsole();
        TerminateProcess(GetCurrentProcess(), 130);
    }
    s_nInHandler.fetch_add(1);
    if (HRKWATCH hWatch = s_hWatch.load())
        RKDRV::StopWatch(hWatch);
    s_nInHandler.fetch_sub(1);
    return TRUE;
}
} // namespace

bool RKToolBrokenDownTime(std::time_t tSeconds, bool bLocal, std::tm& stTime)
{
    std::memset(&stTime, 0, sizeof(stTime));
    return (bLocal ? localtime_s(&stTime, &tSeconds) : gmtime_s(&stTime, &tSeconds)) == 0;
}

void RKToolInstallWatchInterrupt(HRKWATCH hWatch)
{
    s_hWatch.store(hWatch);
    s_bInstalled = SetConsoleCtrlHandler(RKToolOnWatchControl, TRUE) != FALSE;
}

void RKToolRemoveWatchInterrupt()
{
    if (s_bInstalled)
        SetConsoleCtrlHandler(RKToolOnWatchControl, FALSE);
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
