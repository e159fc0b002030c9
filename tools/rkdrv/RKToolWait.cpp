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

// How a wait ended; the names are the document's "result".
enum RKToolWaitEnd
{
    RKWAITEND_FOUND,
    RKWAITEND_OTHER_TYPE,
    RKWAITEND_INTERRUPTED,
    RKWAITEND_TIMED_OUT,
    RKWAITEND_NO_WRITER,
    RKWAITEND_ENGINE_FAILED,
    RKWAITEND_TOOL_FAILED
};
const char* const s_aszEndNames[] = {"found",     "other_type",    "cancelled", "timeout",
                                     "no_writer", "engine_failed", "failed"};

// Why the callback answered 0: the wait was asked to stop.
RKToolWaitEnd EndOfStop(RKToolStop eStop)
{
    return eStop == RKToolStop::Timeout     ? RKWAITEND_TIMED_OUT
           : eStop == RKToolStop::Interrupt ? RKWAITEND_INTERRUPTED
                                            : RKWAITEND_TOOL_FAILED;
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
    RKToolWaitEnd eEnd = RKWAITEND_FOUND;
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
            bFound = RKToolEngineCall("WaitMedia", 0,
                                      [&] { return pManager->WaitMedia(stInfo, dwWaitIndex); }) != 0;
            if (bFound)
                dwFoundIndex = dwWaitIndex;
        }
        if (!bFound)
        {
            if (monitor.HasFinalReport())
                eEnd = EndOfStop(monitor.StopReason());
            else if (ctx.trace.ErrorCount() > nFaultsBefore)
                eEnd = RKWAITEND_ENGINE_FAILED;
            else if (!stRequest.bSingle &&
                     !pManager->GetWriter(monitor.NextAcross(dwIndex, pManager->GetNbWriter())))
                eEnd = RKWAITEND_NO_WRITER;
            else
                eEnd = RKWAITEND_ENGINE_FAILED;
        }
        if (eEnd == RKWAITEND_ENGINE_FAILED)
            strFault = ctx.trace.ErrorCount() > nFaultsBefore
                           ? ctx.trace.LastError()
                           : "its wait ended with no disc and no final report";
        monitor.Stop(eEnd == RKWAITEND_NO_WRITER       ? "the wait ended: no writer at the index polled"
                     : eEnd == RKWAITEND_ENGINE_FAILED ? "the wait ended: the engine failed"
                                                       : "");
    }
    ctx.console.EndStatus();

    if (eEnd == RKWAITEND_FOUND && stRequest.bHasType && stInfo.dwMediaType != stRequest.dwType)
        eEnd = RKWAITEND_OTHER_TYPE;
    bool bDisc = eEnd == RKWAITEND_FOUND || eEnd == RKWAITEND_OTHER_TYPE;
    RKToolDriveRow stRow = RKToolDriveWithMedia(pManager->GetWriter(dwFoundIndex), dwFoundIndex, stInfo);

    double dElapsed = monitor.Elapsed();
    jsonWait["result"] = s_aszEndNames[eEnd];
    jsonWait["elapsed_s"] = Rounded(dElapsed);
    jsonWait["polls"] = monitor.Polls();
    jsonWait["drive"] = bDisc ? RKToolDriveJson(stRow) : RKToolJson();
    jsonOut["wait"] = jsonWait;

    std::string strElapsed = RKToolSeconds(dElapsed) + " s";
    switch (eEnd)
    {
    case RKWAITEND_FOUND:
        ctx.console.Out("Disc in " + RKToolLetterText(stRow.wLetter) + ": (index " +
                        std::to_string(dwFoundIndex) + "): " + RKToolMediaText(stRow) + ", disc state " +
                        RKToolDiscStateText(stRow) + ", after " + strElapsed);
        return RKEXIT_DONE;
    case RKWAITEND_OTHER_TYPE:
        return RKToolFail(ctx, RKEXIT_NO_DISC,
                          "the disc in " + RKToolLetterText(stRow.wLetter) + ": is " +
                              RKToolMediaText(stRow) + ", not " + RKToolMediaName(stRequest.dwType));
    case RKWAITEND_INTERRUPTED:
        return RKToolFail(ctx, RKEXIT_NO_DISC, "wait stopped by Ctrl-C after " + strElapsed + ": no disc");
    case RKWAITEND_TIMED_OUT:
        return RKToolFail(ctx, RKEXIT_NO_DISC,
                          "no disc within the timeout of " + RKToolSeconds(stRequest.dTimeout) +
                              " s (waited " + strElapsed + ")");
    case RKWAITEND_ENGINE_FAILED:
        return RKToolFail(ctx, RKEXIT_ENGINE_FAILED,
                          "the engine failed: " + strFault + " (the library ended the wait on drive " +
                              RKToolLetterText(monitor.LastLetter()) + ":, after " + strElapsed + ")");
    case RKWAITEND_TOOL_FAILED:
        return RKToolFail(ctx, RKEXIT_INTERNAL, "internal failure: the wait's progress report failed");
    case RKWAITEND_NO_WRITER:
        break;
    }
    return RKToolFail(ctx, RKEXIT_NO_DISC, "the wait ended without a disc: no writer at the index it polled");
}
