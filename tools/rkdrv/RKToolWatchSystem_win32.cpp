// Windows side of rkdrv watch. Only Windows calls belong here.
#include <windows.h>

#include <time.h>

#include <atomic>
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
        TerminateProcess(GetCurrentProcess(), 130);
    }
    s_nInHandler.fetch_add(1);
    if (HRKWATCH hWatch = s_hWatch.load())
        RKDRV::StopWatch(hWatch);
    s_nInHandler.fetch_sub(1);
    return TRUE;
}
} // namespace

void RKToolWallClock(std::string& strLocalTime, std::string& strIsoUtc)
{
    std::chrono::system_clock::time_point tpNow = std::chrono::system_clock::now();
    long long llMs = std::chrono::duration_cast<std::chrono::milliseconds>(tpNow.time_since_epoch()).count();
    time_t tSeconds = static_cast<time_t>(llMs / 1000);
    int nMs = static_cast<int>(llMs % 1000);
    struct tm stLocal;
    struct tm stUtc;
    char szText[64];
    std::memset(&stLocal, 0, sizeof(stLocal));
    std::memset(&stUtc, 0, sizeof(stUtc));
    localtime_s(&stLocal, &tSeconds);
    gmtime_s(&stUtc, &tSeconds);
    std::snprintf(szText, sizeof(szText), "%02d:%02d:%02d.%03d", stLocal.tm_hour, stLocal.tm_min,
                  stLocal.tm_sec, nMs);
    strLocalTime = szText;
    std::snprintf(szText, sizeof(szText), "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", stUtc.tm_year + 1900,
                  stUtc.tm_mon + 1, stUtc.tm_mday, stUtc.tm_hour, stUtc.tm_min, stUtc.tm_sec, nMs);
    strIsoUtc = szText;
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
