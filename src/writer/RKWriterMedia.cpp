#include "RKLog.h"
#include "RKOsLayer.h"
#include "RKWriter.h"

namespace
{
// Every report of a media wait carries this type.
const DWORD RKCALLBACK_TYPE_MEDIA = 1;
// Pause between two polls of an empty drive.
const DWORD RKWAIT_POLL_MS = 500;
} // namespace

int CRKWriter::IsMediaIn()
{
    // The letter goes in as stored: the platform decides what its case means.
    CRKString strVolumeName;
    strVolumeName.Format(RK_TEXT("\\\\.\\%c:"), static_cast<int>(m_wDriveLetter));

    const RKOsCallTable& osCalls = RKOsCalls();
    RKOsDevice hDevice = osCalls.pfnOpenDevice(strVolumeName);
    if (!hDevice)
        return 0;
    // Any nonzero answer is a medium; callers that count only 1 see it as one.
    int bIsMediaIn = osCalls.pfnCheckMedia(hDevice) ? 1 : 0;
    osCalls.pfnCloseDevice(hDevice);
    return bIsMediaIn;
}

RKMediaInfo CRKWriter::WaitMedia()
{
    CRKLog::GetInstance()->AddStep(RK_TEXT("Writer"));
    CRKLog::GetInstance()->AddInfo(RK_TEXT("WaitMedia: Start"));

    if (!IsMediaIn())
    {
        EjectTray();
        CRKLog::GetInstance()->AddInfo(RK_TEXT("WaitMedia: Tray Ejected"));
    }

    // One record for the whole wait; the callback may keep its own words in it.
    RKWRITERCALLBACKINFO CallBackInfo;
    CallBackInfo.step = RKSTEP_STARTED;
    // The active callback is read anew for every report, so one installed
    // during the wait receives the reports that follow.
    int bGoOn = m_pCallBack->CallBack(RKCALLBACK_TYPE_MEDIA, CallBackInfo);
    CallBackInfo.step = RKSTEP_WAITING;

    // Presence first: a disc that came during the last pause ends the wait
    // even when the callback has asked to stop.
    while (!IsMediaIn() && bGoOn)
    {
        CRKLog::GetInstance()->AddInfo(RK_TEXT("WaitMedia: CallBack Waiting Media"));
        bGoOn = m_pCallBack->CallBack(RKCALLBACK_TYPE_MEDIA, CallBackInfo);
        RKOsCalls().pfnSleep(RKWAIT_POLL_MS);
    }

    RKMediaInfo Result = GetMediaInfo();

    CallBackInfo.step = bGoOn ? RKSTEP_END : RKSTEP_CANCELLED;
    CRKLog::GetInstance()->AddInfo(RK_TEXT("WaitMedia: CallBack End = %d"), CallBackInfo.step);
    m_pCallBack->CallBack(RKCALLBACK_TYPE_MEDIA, CallBackInfo);
    CRKLog::GetInstance()->AddInfo(RK_TEXT("WaitMedia: CallBack Return"));

    CRKLog::GetInstance()->AddInfo(RK_TEXT("WaitMedia: Result ("));
    CRKLog::GetInstance()->AddInfo(RK_TEXT("%d"), static_cast<int>(Result.dwDiscType));
    CRKLog::GetInstance()->AddInfo(RK_TEXT(","));
    CRKLog::GetInstance()->AddInfo(RK_TEXT("%d"), static_cast<int>(Result.dwMediaType));
    CRKLog::GetInstance()->AddInfo(RK_TEXT(")"));
    return Result;
}

int CRKWriter::WaitMedia(DWORD dwMediaType, DWORD dwDiscType)
{
    RKMediaInfo stResult = WaitMedia();
    return (stResult.dwMediaType == dwMediaType && stResult.dwDiscType == dwDiscType) ? 1 : 0;
}
