// Watches one media wait: receives every report of the library's callback,
// keeps the progress line up to date, and decides when the callback
// answers 0 (Ctrl-C, --timeout).
#ifndef RKTOOLWAITMONITOR_H
#define RKTOOLWAITMONITOR_H

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "RKDRV.h"
#include "RKToolConsole.h"

enum class RKToolStop
{
    None,
    Interrupt,
    Timeout,
    Failure // the tool's own report failed
};

class CRKToolWaitMonitor
{
public:
    // bAcross: the manager's wait (4 s after each empty drive); otherwise
    // the writer's own (500 ms polls). dTimeout < 0: none.
    CRKToolWaitMonitor(CRKToolConsole& console, bool bAcross, double dTimeout);
    ~CRKToolWaitMonitor();
    CRKToolWaitMonitor(const CRKToolWaitMonitor&) = delete;
    CRKToolWaitMonitor& operator=(const CRKToolWaitMonitor&) = delete;

    // The writer's own wait opens the tray before its first report when the
    // drive is empty; the caller knows which it will be.
    void SetTrayOpenedAtStart(bool bOpened);

    // Starts the clock, and on a terminal the thread that keeps the line live.
    void Start();
    // Stops that thread; the progress line keeps its last text.
    void Stop(const std::string& strFinalNote);

    // One report of the wait, through the writer at dwIndex. Answers what
    // the callback answers: 0 once Ctrl-C was pressed or the time is up.
    int Report(DWORD dwIndex, WORD wLetter, const RKWRITERCALLBACKINFO& info);

    // The callback could not report: it answers 0 from now on.
    void NoteFailure();

    // What the wait did.
    bool HasFinalReport() const;
    int FinalStep() const;
    int Polls() const;
    RKToolStop StopReason() const;
    double Elapsed() const;
    // The letter of the drive reported last; 0 before any report.
    WORD LastLetter() const;
    // The index the wait across drives polls after the last report (the
    // first, dwStart, before any): the next one for any drive, wrapping at
    // nCount, else dwStart again.
    DWORD NextAcross(DWORD dwStart, int nCount) const;

private:
    double SecondsLocked() const;
    // Sets m_eStop when a stop is due and says so once.
    void CheckStopLocked();
    std::string StatusLocked() const;
    void RunTicker();

    CRKToolConsole& m_console;
    bool m_bAcross;
    double m_dTimeout;

    mutable std::mutex m_mutex;
    std::chrono::steady_clock::time_point m_tStart;
    int m_nPolls = 0;
    bool m_bHaveReport = false;
    DWORD m_dwIndex = 0;
    WORD m_wLetter = 0;
    WORD m_wPreviousLetter = 0;
    bool m_bHavePrevious = false;
    int m_nStep = 0;
    bool m_bFinal = false;
    bool m_bTrayOpenedAtStart = false;
    RKToolStop m_eStop = RKToolStop::None;
    double m_dStopAt = 0;

    std::thread m_ticker;
    std::condition_variable m_cvStop;
    bool m_bStopTicker = false;
};

#endif
