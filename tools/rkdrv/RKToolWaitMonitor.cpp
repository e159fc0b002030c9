#include "RKToolWaitMonitor.h"

#include "RKToolSystem.h"
#include "RKToolText.h"

namespace
{
const char* StepName(int nStep)
{
    switch (nStep)
    {
    case RKSTEP_POLL:
        return "poll";
    case RKSTEP_STARTED:
        return "started";
    case RKSTEP_WAITING:
        return "waiting";
    case RKSTEP_END:
        return "end";
    case RKSTEP_CANCELLED:
        return "cancelled";
    default:
        return "?";
    }
}

// How often the live line is redrawn and Ctrl-C looked for between reports.
const std::chrono::milliseconds s_msTick(100);
} // namespace

CRKToolWaitMonitor::CRKToolWaitMonitor(CRKToolConsole& console, bool bAcross, double dTimeout)
    : m_console(console), m_bAcross(bAcross), m_dTimeout(dTimeout), m_tStart(std::chrono::steady_clock::now())
{
}

CRKToolWaitMonitor::~CRKToolWaitMonitor()
{
    Stop("");
}

void CRKToolWaitMonitor::SetTrayOpenedAtStart(bool bOpened)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bTrayOpenedAtStart = bOpened;
}

void CRKToolWaitMonitor::Start()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_tStart = std::chrono::steady_clock::now();
    }
    // Between reports (4 s apart across drives) the line still counts
    // seconds, and Ctrl-C is answered on screen at once.
    m_ticker = std::thread([this]() { RunTicker(); });
}

void CRKToolWaitMonitor::Stop(const std::string& strFinalNote)
{
    if (m_ticker.joinable())
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_bStopTicker = true;
        }
        m_cvStop.notify_one();
        m_ticker.join();
    }
    if (!strFinalNote.empty())
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_console.Status("waiting: " + RKToolSeconds(SecondsLocked()) + " s, " + strFinalNote);
    }
}

int CRKToolWaitMonitor::Report(DWORD dwIndex, WORD wLetter, const RKWRITERCALLBACKINFO& info)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_nStep = info.step;
    if (info.step == RKSTEP_END || info.step == RKSTEP_CANCELLED)
    {
        m_bFinal = true;
        m_dwIndex = dwIndex;
        m_wLetter = wLetter;
        m_console.Status(StatusLocked());
        return 1;
    }
    // A report after another one means the drive polled before was empty:
    // otherwise the wait would have ended there.
    if (m_bHaveReport)
    {
        m_wPreviousLetter = m_wLetter;
        m_bHavePrevious = true;
    }
    m_bHaveReport = true;
    m_dwIndex = dwIndex;
    m_wLetter = wLetter;
    // The writer's own wait reports once before its first poll.
    if (m_bAcross || info.step != RKSTEP_STARTED)
        ++m_nPolls;
    CheckStopLocked();
    m_console.Status(StatusLocked());
    return m_eStop == RKToolStop::None ? 1 : 0;
}

void CRKToolWaitMonitor::NoteFailure()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_eStop = RKToolStop::Failure;
}

WORD CRKToolWaitMonitor::LastLetter() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bHaveReport || m_bFinal ? m_wLetter : 0;
}

DWORD CRKToolWaitMonitor::NextAcross(DWORD dwStart, int nCount) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (dwStart != 0xFFFFFFFF)
        return dwStart;
    if (!m_bHaveReport)
        return 0;
    return nCount > 0 && m_dwIndex + 1 < static_cast<DWORD>(nCount) ? m_dwIndex + 1 : 0;
}

bool CRKToolWaitMonitor::HasFinalReport() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bFinal;
}

int CRKToolWaitMonitor::FinalStep() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bFinal ? m_nStep : -1;
}

int CRKToolWaitMonitor::Polls() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nPolls;
}

RKToolStop CRKToolWaitMonitor::StopReason() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_eStop;
}

double CRKToolWaitMonitor::Elapsed() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return SecondsLocked();
}

double CRKToolWaitMonitor::SecondsLocked() const
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_tStart).count();
}

void CRKToolWaitMonitor::CheckStopLocked()
{
    if (m_eStop != RKToolStop::None || m_bFinal)
        return;
    double dNow = SecondsLocked();
    if (RKToolInterruptCount() > 0)
        m_eStop = RKToolStop::Interrupt;
    else if (m_dTimeout >= 0 && dNow >= m_dTimeout)
        m_eStop = RKToolStop::Timeout;
    else
        return;
    m_dStopAt = dNow;
    // The answer 0 goes out at the next report, and the library still
    // finishes the poll that report belongs to.
    std::string strRest =
        std::string("the callback answers 0 at the next report; the library then finishes that "
                    "poll (up to ") +
        (m_bAcross ? "4 s" : "0.5 s") + ")";
    if (m_eStop == RKToolStop::Interrupt)
        m_console.Err("rkdrv: Ctrl-C: " + strRest + "; Ctrl-C again quits at once");
    else
        m_console.Err("rkdrv: timeout of " + RKToolSeconds(m_dTimeout) + " s reached: " + strRest);
}

std::string CRKToolWaitMonitor::StatusLocked() const
{
    std::string strLine = "waiting: " + RKToolSeconds(SecondsLocked()) + " s";
    if (!m_bHaveReport && !m_bFinal)
        return strLine + ", starting";
    if (!m_bFinal && m_nPolls > 0)
        strLine += ", poll " + std::to_string(m_nPolls);
    strLine += ", drive " + RKToolLetterText(m_wLetter) + ": (index " + std::to_string(m_dwIndex) + ")";
    if (m_bFinal)
    {
        strLine += ", step " + std::to_string(m_nStep) + " (" + StepName(m_nStep) + ")";
        if (m_nStep == RKSTEP_END)
            return strLine + ": disc found";
        return strLine + (m_eStop == RKToolStop::Timeout     ? ": timeout"
                          : m_eStop == RKToolStop::Interrupt ? ": stopped by Ctrl-C"
                                                             : ": stopped");
    }
    if (m_bAcross && m_bHavePrevious)
        strLine += ", " + RKToolLetterText(m_wPreviousLetter) + ": empty, tray opened";
    if (!m_bAcross)
    {
        if (m_nStep == RKSTEP_STARTED)
            strLine += m_bTrayOpenedAtStart ? ", tray opened" : ", disc in at the start";
        else
            strLine += ", empty";
    }
    strLine += ", step " + std::to_string(m_nStep) + " (" + StepName(m_nStep) + ")";
    if (m_eStop != RKToolStop::None)
        strLine += ", stopping at the next report";
    return strLine;
}

void CRKToolWaitMonitor::RunTicker()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_bStopTicker)
    {
        m_cvStop.wait_for(lock, s_msTick);
        if (m_bStopTicker || m_bFinal)
            continue;
        CheckStopLocked();
        if (m_console.IsTerminal())
            m_console.Status(StatusLocked());
    }
}
