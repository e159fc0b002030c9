// The watch object behind HRKWATCH, and one run of it.
#ifndef RKWATCHRUN_H
#define RKWATCHRUN_H

#include <atomic>
#include <vector>

#include "RKOsLayer.h"
#include "RKWatch.h"
#include "RKWatchDrive.h"

static_assert(ATOMIC_INT_LOCK_FREE == 2, "a stop request must be a lock-free store");

struct RKWatchHandle
{
    CRKDRVManager* pManager = nullptr;
    DWORD dwIntervalMs = RKWATCH_DEFAULT_INTERVAL_MS;
    DWORD dwDurationMs = 0;
    // Upper case; empty: every drive.
    std::vector<WORD> vecLetters;
    // The pause and the calls that work it, taken from the table in force
    // when the watch was made, so that it is closed by the code that made
    // it.
    RKOsWake hWake = nullptr;
    void (*pfnSetWake)(RKOsWake) = nullptr;
    int (*pfnWaitWake)(RKOsWake, DWORD) = nullptr;
    void (*pfnCloseWake)(RKOsWake) = nullptr;
    std::atomic<int> nStopRequested{0};
    bool bRunning = false;
};

class CRKWatchRun
{
public:
    CRKWatchRun(RKWatchHandle& watch, CRKWatchCallBack& callBack);
    CRKWatchRun(const CRKWatchRun&) = delete;
    CRKWatchRun& operator=(const CRKWatchRun&) = delete;

    // RKWATCH_END_*. Engine and callback exceptions stay inside.
    DWORD Run();

private:
    DWORD RunRounds();
    unsigned long long Now() const;
    bool StopRequested() const;
    bool Wanted(WORD wLetter) const;
    // The watched drives of the manager's table, and the letter of every
    // index (a placeholder keeps the letter of the drive that was there).
    void ListDrives(const std::vector<RKWatchDrive>& vecKnown, std::vector<RKWatchDrive>& vecDrives,
                    std::vector<bool>& vecNew);
    // Asks a drive for the first time and reports where it stands.
    bool Introduce(RKWatchDrive& drive, DWORD dwKind);
    bool PollDrives();
    // Acts on a change of the system's drives once it has held still.
    bool CheckDriveList();
    bool Relist();
    // Hands one event to the callback; false when the watch is to end.
    bool Report(const RKWatchDrive& drive, DWORD dwKind);
    void ReadMedia(RKWatchDrive& drive);

    RKWatchHandle& m_watch;
    CRKWatchCallBack& m_callBack;
    DWORD m_dwEnd = RKWATCH_END_CALLBACK;
    unsigned long long m_ullStart = 0;
    std::vector<RKWatchDrive> m_vecDrives;
    std::vector<WORD> m_vecTableLetters;
    bool m_bHaveStamp = false;
    unsigned long long m_ullStamp = 0;
    bool m_bStampPending = false;
    unsigned long long m_ullPendingStamp = 0;
};

#endif
