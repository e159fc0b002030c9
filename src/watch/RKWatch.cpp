#include "RKWatch.h"

#include <new>

#include "RKLog.h"
#include "RKWatchRun.h"

namespace
{
WORD Upper(WORD wLetter)
{
    return wLetter >= 'a' && wLetter <= 'z' ? static_cast<WORD>(wLetter - 'a' + 'A') : wLetter;
}

// The settings checked into the watch; false, with the line, when they
// cannot be used.
bool TakeSettings(const RKWatchSettings& stSettings, RKWatchHandle& watch)
{
    CRKLog* pLog = CRKLog::GetInstance();
    if (stSettings.cbSize < sizeof(RKWatchSettings))
    {
        pLog->AddError(RK_TEXT("CreateWatch: settings of %d bytes, at least %d needed"),
                       static_cast<int>(stSettings.cbSize), static_cast<int>(sizeof(RKWatchSettings)));
        return false;
    }
    if (stSettings.dwIntervalMs != 0)
    {
        if (stSettings.dwIntervalMs < RKWATCH_MIN_INTERVAL_MS ||
            stSettings.dwIntervalMs > RKWATCH_MAX_INTERVAL_MS)
        {
            pLog->AddError(RK_TEXT("CreateWatch: an interval of %d ms is not within %d to %d ms"),
                           static_cast<int>(stSettings.dwIntervalMs),
                           static_cast<int>(RKWATCH_MIN_INTERVAL_MS),
                           static_cast<int>(RKWATCH_MAX_INTERVAL_MS));
            return false;
        }
        watch.dwIntervalMs = stSettings.dwIntervalMs;
    }
    if (stSettings.dwLetterCount > 26)
    {
        pLog->AddError(RK_TEXT("CreateWatch: %d letters, at most 26"),
                       static_cast<int>(stSettings.dwLetterCount));
        return false;
    }
    watch.dwDurationMs = stSettings.dwDurationMs;
    for (DWORD i = 0; i < stSettings.dwLetterCount; ++i)
        watch.vecLetters.push_back(Upper(stSettings.awLetters[i]));
    return true;
}
} // namespace

namespace RKDRV
{
HRKWATCH CreateWatch(CRKDRVManager* pManager, const RKWatchSettings* pSettings)
{
    if (!pManager)
    {
        CRKLog::GetInstance()->AddError(RK_TEXT("CreateWatch: no manager"));
        return nullptr;
    }
    RKWatchHandle* pWatch = new (std::nothrow) RKWatchHandle;
    if (!pWatch)
    {
        CRKLog::GetInstance()->AddError(RK_TEXT("CreateWatch: out of memory"));
        return nullptr;
    }
    pWatch->pManager = pManager;
    bool bOk = false;
    try
    {
        bOk = !pSettings || TakeSettings(*pSettings, *pWatch);
    }
    catch (...)
    {
        CRKLog::GetInstance()->AddError(RK_TEXT("CreateWatch: out of memory"));
    }
    if (bOk)
    {
        const RKOsCallTable& osCalls = RKOsCalls();
        pWatch->pfnSetWake = osCalls.pfnSetWake;
        pWatch->pfnWaitWake = osCalls.pfnWaitWake;
        pWatch->pfnCloseWake = osCalls.pfnCloseWake;
        pWatch->hWake = osCalls.pfnCreateWake();
        if (!pWatch->hWake)
        {
            CRKLog::GetInstance()->AddError(RK_TEXT("CreateWatch: the system gave no object to pause on"));
            bOk = false;
        }
    }
    if (!bOk)
    {
        delete pWatch;
        return nullptr;
    }
    return pWatch;
}

DWORD RunWatch(HRKWATCH hWatch, CRKWatchCallBack* pCallBack)
{
    CRKLog::GetInstance()->EnterFunction(RK_TEXT("RKDRV::RunWatch"));
    DWORD dwEnd = RKWATCH_END_FAILED;
    if (!hWatch || !pCallBack)
        CRKLog::GetInstance()->AddError(RK_TEXT("RunWatch: no watch or no callback"));
    else if (hWatch->bRunning)
        CRKLog::GetInstance()->AddError(RK_TEXT("RunWatch: the watch runs already"));
    else
    {
        hWatch->bRunning = true;
        CRKWatchRun run(*hWatch, *pCallBack);
        dwEnd = run.Run();
        hWatch->bRunning = false;
        // The request that ended this run is used up.
        hWatch->nStopRequested.store(0);
    }
    return static_cast<DWORD>(CRKLog::GetInstance()->ExitFunction(static_cast<int>(dwEnd)));
}

void StopWatch(HRKWATCH hWatch)
{
    if (!hWatch)
        return;
    hWatch->nStopRequested.store(1);
    hWatch->pfnSetWake(hWatch->hWake);
}

void CloseWatch(HRKWATCH hWatch)
{
    if (!hWatch)
        return;
    if (hWatch->bRunning)
    {
        CRKLog::GetInstance()->AddError(RK_TEXT("CloseWatch: the watch is running: it is not closed"));
        return;
    }
    hWatch->pfnCloseWake(hWatch->hWake);
    delete hWatch;
}
} // namespace RKDRV
