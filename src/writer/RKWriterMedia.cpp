#include "RKEngineFault.h"
#include "RKLog.h"
#include "RKOsLayer.h"
#include "RKWriter.h"

namespace
{
// Pause between two polls of an empty drive.
const DWORD RKWAIT_POLL_MS = 500;

bool IsMediaInGuarded(CRKWriter& wrWriter)
{
    return RKGuardedCall(RK_TEXT("IsMediaIn"), [&] { return wrWriter.IsMediaIn(); }) != 0;
}

int CallBackGuarded(CRKWriter& wrWriter, RKWRITERCALLBACKINFO& CallBackInfo)
{
    // The writer reads its active callback anew for every report, so one
    // installed during the wait receives the reports that follow.
    return RKGuardedCall(RK_TEXT("CallBack"),
                         [&] { return wrWriter.CallBack(RKCALLBACK_TYPE_MEDIA, CallBackInfo); });
}

// The wait itself. Throws RKCallFault, after its trace line, when the engine
// or the callback threw.
RKMediaInfo RunWait(CRKWriter& wrWriter)
{
    if (!IsMediaInGuarded(wrWriter))
    {
        RKGuardedCall(RK_TEXT("EjectTray"), [&] { return wrWriter.EjectTray(); });
        CRKLog::GetInstance()->AddInfo(RK_TEXT("WaitMedia: Tray Ejected"));
    }

    // One record for the whole wait; the callback may keep its own words in it.
    RKWRITERCALLBACKINFO CallBackInfo;
    CallBackInfo.step = RKSTEP_STARTED;
    int bGoOn = CallBackGuarded(wrWriter, CallBackInfo);
    CallBackInfo.step = RKSTEP_WAITING;

    // Presence first: a disc that came during the last pause ends the wait
    // even when the callback has asked to stop.
    while (!IsMediaInGuarded(wrWriter) && bGoOn)
    {
        CRKLog::GetInstance()->AddInfo(RK_TEXT("WaitMedia: CallBack Waiting Media"));
        bGoOn = CallBackGuarded(wrWriter, CallBackInfo);
        RKOsCalls().pfnSleep(RKWAIT_POLL_MS);
    }

    RKMediaInfo Result = RKGuardedCall(RK_TEXT("GetMediaInfo"), [&] { return wrWriter.GetMediaInfo(); });

    CallBackInfo.step = bGoOn ? RKSTEP_END : RKSTEP_CANCELLED;
    CRKLog::GetInstance()->AddInfo(RK_TEXT("WaitMedia: CallBack End = %d"), CallBackInfo.step);
    CallBackGuarded(wrWriter, CallBackInfo);
    CRKLog::GetInstance()->AddInfo(RK_TEXT("WaitMedia: CallBack Return"));

    CRKLog::GetInstance()->AddInfo(RK_TEXT("WaitMedia: Result ("));
    CRKLog::GetInstance()->AddInfo(RK_TEXT("%d"), static_cast<int>(Result.dwDiscType));
    CRKLog::GetInstance()->AddInfo(RK_TEXT(","));
    CRKLog::GetInstance()->AddInfo(RK_TEXT("%d"), static_cast<int>(Result.dwMediaType));
    CRKLog::GetInstance()->AddInfo(RK_TEXT(")"));
    return Result;
}

// The whole wait with its opening lines. False when a throwing call ended
// it: the record then says no medium is known.
bool RunWaitTraced(CRKWriter& wrWriter, RKMediaInfo& stResult)
{
    CRKLog::GetInstance()->AddStep(RK_TEXT("Writer"));
    CRKLog::GetInstance()->AddInfo(RK_TEXT("WaitMedia: Start"));
    try
    {
        stResult = RunWait(wrWriter);
        return true;
    }
    catch (...)
    {
        stResult.dwMediaType = 0;
        stResult.dwDiscType = 0;
        return false;
    }
}
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
    // A change report says nothing of the medium: asked once more, and a
    // second one in a row is no answer. Any other nonzero answer is a
    // medium; callers that count only 1 see it as one.
    int nAnswer = osCalls.pfnCheckMedia(hDevice);
    if (nAnswer == RKOS_MEDIA_CHANGED)
        nAnswer = osCalls.pfnCheckMedia(hDevice);
    int bIsMediaIn = nAnswer != 0 && nAnswer != RKOS_MEDIA_CHANGED ? 1 : 0;
    osCalls.pfnCloseDevice(hDevice);
    return bIsMediaIn;
}

RKMediaInfo CRKWriter::WaitMedia()
{
    RKMediaInfo stResult;
    RunWaitTraced(*this, stResult);
    return stResult;
}

int CRKWriter::WaitMedia(DWORD dwMediaType, DWORD dwDiscType)
{
    RKMediaInfo stResult;
    // A wait that a throwing call ended found no medium, whatever was asked.
    if (!RunWaitTraced(*this, stResult))
        return 0;
    return (stResult.dwMediaType == dwMediaType && stResult.dwDiscType == dwDiscType) ? 1 : 0;
}
