#include "RKDRVManager.h"
#include "RKEngineFault.h"
#include "RKLog.h"
#include "RKOsLayer.h"

namespace
{
// dwIndex asking for any drive, each in turn.
const DWORD RKWAIT_ANY_DRIVE = 0xFFFFFFFF;
// Pause after opening an empty drive's tray, so the loop never spins.
const DWORD RKWAIT_EMPTY_POLL_MS = 4000;

int CallBackGuarded(CRKWriter* pWriter, RKWRITERCALLBACKINFO& CallBackInfo)
{
    return RKGuardedCall(RK_TEXT("CallBack"),
                         [&] { return pWriter->CallBack(RKCALLBACK_TYPE_MEDIA, CallBackInfo); });
}

// The wait; the caller's dwIndex and stMediaInfo are written only once
// everything, the final notice included, has gone through. Throws
// RKCallFault, after its trace line, when the engine or the callback threw.
bool RunWait(CRKDRVManager& mgrManager, RKMediaInfo& stMediaInfo, DWORD& dwIndex)
{
    CRKWriter* pWriter = nullptr;
    RKWRITERCALLBACKINFO CallBackInfo;
    DWORD ulTempIndex = 0;
    DWORD dwPollIndex = dwIndex != RKWAIT_ANY_DRIVE ? dwIndex : 0;
    bool bIsMediaIn = false;
    bool bUserCancel = false;

    // The mode is read from the caller's dwIndex at each test.
    while (!bUserCancel && !bIsMediaIn)
    {
        if (dwIndex == RKWAIT_ANY_DRIVE && dwPollIndex >= static_cast<DWORD>(mgrManager.GetNbWriter()))
            dwPollIndex = 0;
        pWriter = mgrManager.GetWriter(dwPollIndex);
        if (!pWriter)
            break;

        bUserCancel = CallBackGuarded(pWriter, CallBackInfo) == 0;
        // Asked even after a stop, and only 1 counts as a disc.
        bIsMediaIn = RKGuardedCall(RK_TEXT("IsMediaIn"), [&] { return pWriter->IsMediaIn(); }) == 1;
        ulTempIndex = dwPollIndex;
        if (!bIsMediaIn)
        {
            RKGuardedCall(RK_TEXT("EjectTray"), [&] { return pWriter->EjectTray(); });
            RKOsCalls().pfnSleep(RKWAIT_EMPTY_POLL_MS);
            CRKLog::GetInstance()->AddInfo(RK_TEXT("WaitMedia: Tray Ejected"));
        }
        if (dwIndex == RKWAIT_ANY_DRIVE)
            ++dwPollIndex;
    }

    CRKLog::GetInstance()->AddInfo(RK_TEXT("bIsMediaIn, bUserCancel, %d - %d"), bIsMediaIn ? 1 : 0,
                                   bUserCancel ? 1 : 0);
    CallBackInfo.step = bUserCancel ? RKSTEP_CANCELLED : RKSTEP_END;
    CRKLog::GetInstance()->AddVariable(RK_TEXT("ulTempIndex"), ulTempIndex, 0, 0);

    RKMediaInfo stFound;
    if (bIsMediaIn)
    {
        stFound = RKGuardedCall(RK_TEXT("GetMediaInfo"), [&] { return pWriter->GetMediaInfo(); });
        CRKLog::GetInstance()->AddInfo(RK_TEXT("dwDiscType = %ld, dwMediaType = %ld"),
                                       static_cast<int>(stFound.dwDiscType),
                                       static_cast<int>(stFound.dwMediaType));
    }

    // No final notice when the loop ended at a missing writer.
    if (pWriter)
        CallBackGuarded(pWriter, CallBackInfo);

    if (bIsMediaIn)
    {
        dwIndex = ulTempIndex;
        stMediaInfo.dwMediaType = stFound.dwMediaType;
        stMediaInfo.dwDiscType = stFound.dwDiscType;
    }
    return bIsMediaIn;
}
} // namespace

int CRKDRVManager::WaitMedia(RKMediaInfo& stMediaInfo, DWORD& dwIndex)
{
    CRKLog::GetInstance()->EnterFunction(RK_TEXT("CRKDRVManager::WaitMedia(&stMediaInfo,&dwIndex)"));
    bool bIsMediaIn = false;
    try
    {
        bIsMediaIn = RunWait(*this, stMediaInfo, dwIndex);
    }
    catch (...)
    {
        // Ended by a throwing call: no disc is reported, the scope still closes.
        bIsMediaIn = false;
    }
    return CRKLog::GetInstance()->ExitFunction(bIsMediaIn ? 1 : 0);
}
