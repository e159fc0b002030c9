// rkdrv wait: the manager's wait across drives, or one writer's own wait,
// with a live progress line and Ctrl-C / --timeout answered through the
// callback.
#include <cmath>
#include <memory>
#include <vector>

#include "RKToolCommands.h"
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
    NoWriter
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
    }
    return "";
}

RKToolWaitEnd EndOfStop(RKToolStop eStop)
{
    return eStop == RKToolStop::Timeout ? RKToolWaitEnd::TimedOut : RKToolWaitEnd::Interrupted;
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
    RKToolWaitEnd eEnd = RKToolWaitEnd::NoWriter;
    RKMediaInfo stInfo = {};
    DWORD dwFoundIndex = dwIndex;
    {
        CRKToolInstalledCallBacks callBacks(monitor);
        CRKToolInterruptScope interrupts;
        if (stRequest.bSingle)
        {
            CRKWriter* pWriter = pManager->GetWriter(dwIndex);
            callBacks.Install(pWriter, dwIndex);
            // The wait opens the tray of a drive it finds empty; asking first
            // tells the progress line which it will be.
            monitor.SetTrayOpenedAtStart(pWriter->IsMediaIn() == 0);
            monitor.Start();
            stInfo = pWriter->WaitMedia();
            // Presence is tested before the answer, so a disc may have come
            // in the poll that was told to stop.
            bool bFound = monitor.FinalStep() == RKSTEP_END || pWriter->IsMediaIn() != 0;
            eEnd = bFound ? RKToolWaitEnd::Found : EndOfStop(monitor.StopReason());
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
            if (pManager->WaitMedia(stInfo, dwWaitIndex))
            {
                eEnd = RKToolWaitEnd::Found;
                dwFoundIndex = dwWaitIndex;
            }
            else if (monitor.HasFinalReport())
            {
                eEnd = EndOfStop(monitor.StopReason());
            }
        }
        monitor.Stop(eEnd == RKToolWaitEnd::NoWriter ? "the wait ended: no writer at the index polled" : "");
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
    jsonWait["drive"] = bDisc ? RKToolDriveJson(stRow) : RKToolJson();
    jsonOut["wait"] = jsonWait;

    std::string strElapsed = RKToolSeconds(dElapsed) + " s";
    switch (eEnd)
    {
    case RKToolWaitEnd::Found:
        ctx.console.Out("Disc in " + RKToolLetterText(stRow.wLetter) + ": (index " +
                        std::to_string(dwFoundIndex) + "): " + RKToolMediaText(stRow) + ", disc state " +
                        RKToolDiscStateText(stRow) + ", after " + strElapsed);
        return RKEXIT_DONE;
    case RKToolWaitEnd::OtherType:
        return RKToolFail(ctx, RKEXIT_NO_DISC,
                          "the disc in " + RKToolLetterText(stRow.wLetter) + ": is " +
                              RKToolMediaText(stRow) + ", not " + RKToolMediaName(stRequest.dwType));
    case RKToolWaitEnd::Interrupted:
        return RKToolFail(ctx, RKEXIT_NO_DISC, "wait stopped by Ctrl-C after " + strElapsed + ": no disc");
    case RKToolWaitEnd::TimedOut:
        return RKToolFail(ctx, RKEXIT_NO_DISC,
                          "no disc within the timeout of " + RKToolSeconds(stRequest.dTimeout) +
                              " s (waited " + strElapsed + ")");
    case RKToolWaitEnd::NoWriter:
        break;
    }
    return RKToolFail(ctx, RKEXIT_NO_DISC, "the wait ended without a disc: no writer at the index it polled");
}
