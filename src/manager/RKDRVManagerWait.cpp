#include "RKDRVManager.h"
#include "RKLog.h"
#include "RKOsLayer.h"

namespace
{
// dwIndex asking for any drive, each in turn.
const DWORD RKWAIT_ANY_DRIVE = 0xFFFFFFFF;
// Every report of a media wait carries this type.
const DWORD RKCALLBACK_TYPE_MEDIA = 1;
// Pause after opening an empty drive's tray, so the loop never spins.
const DWORD RKWAIT_EMPTY_POLL_MS = 4000;
} // namespace

int CRKDRVManager::WaitMedia(RKMediaInfo& stMediaInfo, DWORD& dwIndex)
{
    CRKLog::GetInstance()->EnterFunction(RK_TEXT("CRKDRVManager::WaitMedia(&stMediaInfo,&dwIndex)"));

    CRKWriter* pWriter = nullptr;
    RKWRITERCALLBACKINFO CallBackInfo;
    DWORD ulTempIndex = 0;
    DWORD dwPollIndex = dwIndex != RKWAIT_ANY_DRIVE ? dwIndex : 0;
    bool bIsMediaIn = false;
    bool bUserCancel = false;

    // The mode is read from the caller's dwIndex at each test; it is written
    // only once a disc was found.
    while (!bUserCancel && !bIsMediaIn)
    {
        if (dwIndex == RKWAIT_ANY_DRIVE && dwPollIndex >= static_cast<DWORD>(GetNbWriter()))
            dwPollIndex = 0;
        pWriter = GetWriter(dwPollIndex);
        if (!pWriter)
            break;

        bUserCancel = pWriter->CallBack(RKCALLBACK_TYPE_MEDIA, CallBackInfo) == 0;
        // Asked even after a stop, and only 1 counts as a disc.
        bIsMediaIn = pWriter->IsMediaIn() == 1;
        ulTempIndex = dwPollIndex;
        if (!bIsMediaIn)
        {
            pWriter->EjectTray();
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

    if (bIsMediaIn)
    {
        dwIndex = ulTempIndex;
        RKMediaInfo stFound = pWriter->GetMediaInfo();
        stMediaInfo.dwMediaType = stFound.dwMediaType;
        stMediaInfo.dwDiscType = stFound.dwDiscType;
        CRKLog::GetInstance()->AddInfo(RK_TEXT("dwDiscType = %ld, dwMediaType = %ld"),
                                       static_cast<int>(stMediaInfo.dwDiscType),
                                       static_cast<int>(stMediaInfo.dwMediaType));
    }

    // No final notice when the loop ended at a missing writer.
    if (pWriter)
        pWriter->CallBack(RKCALLBACK_TYPE_MEDIA, CallBackInfo);

    return CRKLog::GetInstance()->ExitFunction(bIsMediaIn ? 1 : 0);
}
