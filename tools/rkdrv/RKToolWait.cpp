// rkdrv wait: the manager's wait across drives, or one writer's own wait,
// with a live progress line and Ctrl-C / --timeout answered through the
// callback.
#include <cmath>
#include <memory>
#include <vector>

#include "RKToolCommands.h"
#include "RKToolEngineCall.h"
#include "RKToolExitCodes.h"
#include "RKToolSystem.h"
#include "RKToolText.h"
#include "RKToolWaitMonitor.h"

namespace
{
// One per writer, since the library's report does not say which writer
// sent it.
class CRKToolDriveCallBack : public CRKWriterCallBack
{
public:
    CRKToolDriveCallBack(CRKToolWaitMonitor& monitor, DWORD dwIndex, WORD wLetter)
        : m_monitor(monitor), m_dwIndex(dwIndex), m_wLetter(wLetter)
    {
    }

    int CallBack(DWORD, RKWRITERCALLBACKINFO& info) override
    {
        // Runs inside the library: nothing may escape; a failure stops the wait.
        try
        {
            return m_monitor.Report(m_dwIndex, m_wLetter, info);
        }
        catch (...)
        {
            m_monitor.NoteFailure();
            return 0;
        }
    }

private:
    CRKToolWaitMonitor& m_monitor;
    DWORD m_dwIndex;
    WORD m_wLetter;
};

// Callbacks installed on writers for one wait, taken off again on every
// path out: the writers outlive them.
class CRKToolInstalledCallBacks
{
public:
    explicit CRKToolInstalledCallBacks(CRKToolWaitMonitor& monitor) : m_monitor(monitor) {}
    ~CRKToolInstalledCallBacks()
    {
        for (CRKWriter* pWriter : m_vecWriters)
            pWriter->SetCallBack(nullptr);
    }
    CRKToolInstalledCallBacks(const CRKToolInstalledCallBacks&) = delete;
    CRKToolInstalledCallBacks& operator=(const CRKToolInstalledCallBacks&) = delete;

    void Install(CRKWriter* pWriter, DWORD dwIndex)
    {
        m_vecCallBacks.push_back(
            std::make_unique<CRKToolDriveCallBack>(m_monitor, dwIndex, pWriter->GetDriveLetter()));
        m_vecWriters.push_back(pWriter);
        pWriter->SetCallBack(m_vecCallBacks.back().get());
    }

private:
    CRKToolWaitMonitor& m_monitor;
    std::vector<std::unique_ptr<CRKToolDriveCallBack>> m_vecCallBacks;
    std::vector<CRKWriter*> m_vecWriters;
};

class CRKToolInterruptScope
{
public:
    CRKToolInterruptScope() { RKToolInstallInterruptHandler(); }
    ~CRKToolInterruptScope() { RKToolRemoveInterruptHandler(); }
    CRKToolInterruptScope(const CRKToolInterruptScope&) = delete;
    CRKToolInterruptScope& operator=(const CRKToolInterruptScope&) = delete;
};

enum class RKToolWaitEnd
{
    Found,
    OtherType,
    Interrupted,
    TimedOut,
    NoWriter,
    EngineFailed,
    ToolFailed
};

const char* EndName(RKToolWaitEnd eEnd)
{
    switch (eEnd)
    {
    case RKToolWaitEnd::Found:
        return "found";
    case RKToolWaitEnd::OtherType:
        return "other_type";
    case RKToolWaitEnd::Interrupted:
        return "cancelled";
    case RKToolWaitEnd::TimedOut:
        return "timeout";
    case RKToolWaitEnd::NoWriter:
        return "no_writer";
    case RKToolWaitEnd::EngineFailed:
        return "engine_failed";
    case RKToolWaitEnd::ToolFailed:
        return "failed";
    }
    return "";
}

// Why the callback answered 0: the wait was asked to stop.
RKToolWaitEnd EndOfStop(RKToolStop eStop)
{
    switch (eStop)
    {
    case RKToolStop::Timeout:
        return RKToolWaitEnd::TimedOut;
    case RKToolStop::Interrupt:
        return RKToolWaitEnd::Interrupted;
    case RKToolStop::Failure:
    case RKToolStop::None:
        break;
    }
    return RKToolWaitEnd::ToolFailed;
}

double Rounded(double dSeconds)
{
    return std::round(dSeconds * 1000.0) / 1000.0;
}
} // namespace

int RKToolWait(RKToolContext& ctx, CRKToolEngine& engine, const RKToolWaitRequest& stRequest,
               RKToolJson& jsonOut)
{
    CRKDRVManager* pManager = engine.Manager();
    bool bSystem = engine.IsSystemEngine();
    RKToolJson jsonWait;
    jsonWait["target"] = stRequest.bAnyDrive ? std::string("any") : RKToolLetterText(stRequest.wLetter);
    jsonWait["mode"] = stRequest.bSingle ? "single" : "across";
    jsonWait["type"] = stRequest.bHasType ? RKToolJson(RKToolMediaName(stRequest.dwType)) : RKToolJson();
    jsonWait["timeout_s"] = stRequest.bHasTimeout ? RKToolJson(stRequest.dTimeout) : RKToolJson();
    jsonOut["engine"] = RKToolEngineJson(engine);

    DWORD dwIndex = 0xFFFFFFFF;
    if (stRequest.bAnyDrive)
    {
        if (pManager->GetNbWriter() <= 0)
            return RKToolFail(ctx, RKEXIT_NO_DRIVE, "the engine lists no drives: nothing to wait on");
    }
    else if (int nCode = RKToolFindDrive(ctx, engine, stRequest.wLetter, dwIndex))
    {
        return nCode;
    }

    std::string strWhat =
        stRequest.bAnyDrive ? std::string("any drive") : "drive " + RKToolLetterText(stRequest.wLetter) + ":";
    ctx.console.Err("rkdrv: waiting for a disc in " + strWhat +
                    (stRequest.bSingle ? " (one drive's own wait: 0.5 s polls)"
                                       : " (manager's wait: 4 s pause per empty drive)") +
                    "; Ctrl-C stops");

    CRKToolWaitMonitor monitor(ctx.console, !stRequest.bSingle,
                               stRequest.bHasTimeout ? stRequest.dTimeout : -1.0);
    RKToolWaitEnd eEnd = RKToolWaitEnd::Found;
    RKMediaInfo stInfo = {};
    DWORD dwFoundIndex = dwIndex;
    // The library's fault records during the wait: a throwing engine call
    // ends it with no final report, and this says which call.
    int nFaultsBefore = ctx.trace.ErrorCount();
    std::string strFault;
    {
        CRKToolInstalledCallBacks callBacks(monitor);
        CRKToolInterruptScope interrupts;
        bool bFound = false;
        if (stRequest.bSingle)
        {
            CRKWriter* pWriter = pManager->GetWriter(dwIndex);
            WORD wLetter = pWriter->GetDriveLetter();
            callBacks.Install(pWriter, dwIndex);
            // The wait opens the tray of a drive it finds empty; asking first
            // tells the progress line which it will be.
            monitor.SetTrayOpenedAtStart(
                RKToolEngineCall("IsMediaIn", wLetter, [&] { return pWriter->IsMediaIn(); }) == 0);
            monitor.Start();
            stInfo = pWriter->WaitMedia();
            // Presence is tested before the answer, so a disc may have come
            // in the poll that was told to stop.
            bFound = monitor.FinalStep() == RKSTEP_END ||
                     (monitor.FinalStep() == RKSTEP_CANCELLED &&
                      RKToolEngineCall("IsMediaIn", wLetter, [&] { return pWriter->IsMediaIn(); }) != 0);
        }
        else
        {
            int nCount = pManager->GetNbWriter();
            for (int i = 0; i < nCount; ++i)
            {
                if (CRKWriter* pWriter = pManager->GetWriter(static_cast<DWORD>(i)))
                    callBacks.Install(pWriter, static_cast<DWORD>(i));
            }
            monitor.Start();
            DWORD dwWaitIndex = dwIndex;
            bFound = RKToolEngineCall("WaitMedia", 0, [&] { return pManager->WaitMedia(stInfo, dwWaitIndex); }) != 0;
            if (bFound)
                dwFoundIndex = dwWaitIndex;
        }
        if (!bFound)
        {
            if (monitor.HasFinalReport())
                eEnd = EndOfStop(monitor.StopReason());
            else if (ctx.trace.ErrorCount() > nFaultsBefore)
                eEnd = RKToolWaitEnd::EngineFailed;
            else if (!stRequest.bSingle && !pManager->GetWriter(monitor.NextAcross(dwIndex, pManager->GetNbWriter())))
                eEnd = RKToolWaitEnd::NoWriter;
            else
                eEnd = RKToolWaitEnd::EngineFailed;
        }
        if (eEnd == RKToolWaitEnd::EngineFailed)
            strFault = ctx.trace.ErrorCount() > nFaultsBefore ? ctx.trace.LastError()
                                                               : "its wait ended with no disc and no final report";
        monitor.Stop(eEnd == RKToolWaitEnd::NoWriter       ? "the wait ended: no writer at the index polled"
                     : eEnd == RKToolWaitEnd::EngineFailed ? "the wait ended: the engine failed"
                                                           : "");
    }
    ctx.console.EndStatus();

    if (eEnd == RKToolWaitEnd::Found && stRequest.bHasType && stInfo.dwMediaType != stRequest.dwType)
        eEnd = RKToolWaitEnd::OtherType;
    bool bDisc = eEnd == RKToolWaitEnd::Found || eEnd == RKToolWaitEnd::OtherType;
    RKToolDriveRow stRow = RKToolDriveWithMedia(pManager->GetWriter(dwFoundIndex), dwFoundIndex, stInfo);

    double dElapsed = monitor.Elapsed();
    jsonWait["result"] = EndName(eEnd);
    jsonWait["elapsed_s"] = Rounded(dElapsed);
    jsonWait["polls"] = monitor.Polls();
    jsonWait["drive"] = bDisc ? RKToolDriveJson(stRow, bSystem) : RKToolJson();
    jsonOut["wait"] = jsonWait;

    std::string strElapsed = RKToolSeconds(dElapsed) + " s";
    switch (eEnd)
    {
    case RKToolWaitEnd::Found:
        ctx.console.Out("Disc in " + RKToolLetterText(stRow.wLetter) + ": (index " +
                        std::to_string(dwFoundIndex) + "): " + RKToolMediaText(stRow, bSystem) +
                        ", disc state " + RKToolDiscStateText(stRow, bSystem) + ", after " + strElapsed);
        return RKEXIT_DONE;
    case RKToolWaitEnd::OtherType:
        return RKToolFail(ctx, RKEXIT_NO_DISC,
                          "the disc in " + RKToolLetterText(stRow.wLetter) + ": is " +
                              RKToolMediaText(stRow, bSystem) + ", not " + RKToolMediaName(stRequest.dwType));
    case RKToolWaitEnd::Interrupted:
        return RKToolFail(ctx, RKEXIT_NO_DISC, "wait stopped by Ctrl-C after " + strElapsed + ": no disc");
    case RKToolWaitEnd::TimedOut:
        return RKToolFail(ctx, RKEXIT_NO_DISC,
                          "no disc within the timeout of " + RKToolSeconds(stRequest.dTimeout) +
                              " s (waited " + strElapsed + ")");
    case RKToolWaitEnd::EngineFailed:
        return RKToolFail(ctx, RKEXIT_ENGINE_FAILED,
                          "the engine failed: " + strFault + " (the library ended the wait on drive " +
                              RKToolLetterText(monitor.LastLetter()) + ":, after " + strElapsed + ")");
    case RKToolWaitEnd::ToolFailed:
        return RKToolFail(ctx, RKEXIT_INTERNAL, "internal failure: the wait's progress report failed");
    case RKToolWaitEnd::NoWriter:
        break;
    }
    return RKToolFail(ctx, RKEXIT_NO_DISC, "the wait ended without a disc: no writer at the index it polled");
}
