#include "RKWatchRun.h"

#include <algorithm>

#include "RKEngineFault.h"
#include "RKLog.h"
#include "RKWriterDetails.h"

namespace
{
const unsigned short* KindName(DWORD dwKind)
{
    switch (dwKind)
    {
    case RKWATCH_STATE:
        return RK_TEXT("state");
    case RKWATCH_DISC_INSERTED:
        return RK_TEXT("disc inserted");
    case RKWATCH_DISC_REMOVED:
        return RK_TEXT("disc removed");
    case RKWATCH_TRAY_OPENED:
        return RK_TEXT("tray opened");
    case RKWATCH_TRAY_CLOSED:
        return RK_TEXT("tray closed");
    case RKWATCH_EJECT_REQUEST:
        return RK_TEXT("eject request");
    case RKWATCH_DRIVE_ADDED:
        return RK_TEXT("drive added");
    case RKWATCH_DRIVE_REMOVED:
        return RK_TEXT("drive removed");
    }
    return RK_TEXT("?");
}

WORD Upper(WORD wLetter)
{
    return wLetter >= 'a' && wLetter <= 'z' ? static_cast<WORD>(wLetter - 'a' + 'A') : wLetter;
}
} // namespace

CRKWatchRun::CRKWatchRun(RKWatchHandle& watch, CRKWatchCallBack& callBack)
    : m_watch(watch), m_callBack(callBack)
{
}

unsigned long long CRKWatchRun::Now() const
{
    return RKOsCalls().pfnMonotonicMs();
}

bool CRKWatchRun::StopRequested() const
{
    return m_watch.nStopRequested.load() != 0;
}

bool CRKWatchRun::Wanted(WORD wLetter) const
{
    return m_watch.vecLetters.empty() || std::find(m_watch.vecLetters.begin(), m_watch.vecLetters.end(),
                                                   Upper(wLetter)) != m_watch.vecLetters.end();
}

DWORD CRKWatchRun::Run()
{
    try
    {
        return RunRounds();
    }
    catch (const RKCallFault&)
    {
        // The callback threw; the line is written.
        return RKWATCH_END_CALLBACK;
    }
    catch (...)
    {
        CRKLog::GetInstance()->AddError(RK_TEXT("Watch: out of memory"));
        return RKWATCH_END_FAILED;
    }
}

DWORD CRKWatchRun::RunRounds()
{
    m_ullStart = Now();
    // A wake-up left from a request that an earlier run used up is not
    // this run's: taken away first, so that a request made from now on
    // is seen by the flag below or by the next pause.
    m_watch.pfnWaitWake(m_watch.hWake, 0);
    if (StopRequested())
        return RKWATCH_END_STOPPED;
    const RKOsCallTable& osCalls = RKOsCalls();
    m_bHaveStamp = osCalls.pfnDriveListStamp(&m_ullStamp) != 0;
    std::vector<bool> vecNew;
    ListDrives({}, m_vecDrives, vecNew);
    for (RKWatchDrive& drive : m_vecDrives)
    {
        if (!Introduce(drive, RKWATCH_STATE))
            return m_dwEnd;
    }

    const DWORD dwInterval = m_watch.dwIntervalMs;
    const DWORD dwDuration = m_watch.dwDurationMs;
    unsigned long long ullNext = Now() + dwInterval;
    for (;;)
    {
        if (StopRequested())
            return RKWATCH_END_STOPPED;
        unsigned long long ullNow = Now();
        if (dwDuration && ullNow - m_ullStart >= dwDuration)
            return RKWATCH_END_DURATION;
        unsigned long long ullWake = ullNext;
        if (dwDuration)
            ullWake = std::min(ullWake, m_ullStart + dwDuration);
        if (ullWake > ullNow)
            m_watch.pfnWaitWake(m_watch.hWake, static_cast<DWORD>(ullWake - ullNow));
        if (StopRequested())
            return RKWATCH_END_STOPPED;
        ullNow = Now();
        if (dwDuration && ullNow - m_ullStart >= dwDuration)
            return RKWATCH_END_DURATION;
        // Woken before its time without a request: pause again.
        if (ullNow < ullNext)
            continue;
        // Rounds keep their cadence; one that ran late does not make the
        // next ones come in a burst.
        ullNext += dwInterval;
        if (ullNext <= ullNow)
            ullNext = ullNow + dwInterval;
        if (!CheckDriveList() || !PollDrives())
            return m_dwEnd;
    }
}

void CRKWatchRun::ListDrives(const std::vector<RKWatchDrive>& vecKnown, std::vector<RKWatchDrive>& vecDrives,
                             std::vector<bool>& vecNew)
{
    CRKDRVManager* pManager = m_watch.pManager;
    std::vector<WORD> vecLetters;
    std::vector<bool> vecMatched(vecKnown.size(), false);
    int nCount = pManager->GetNbWriter();
    for (int i = 0; i < nCount; ++i)
    {
        DWORD dwIndex = static_cast<DWORD>(i);
        CRKWriter* pWriter = pManager->GetWriter(dwIndex);
        WORD wLetter = 0;
        if (pWriter)
            wLetter = pWriter->GetDriveLetter();
        else if (dwIndex < m_vecTableLetters.size())
            wLetter = m_vecTableLetters[dwIndex];
        vecLetters.push_back(wLetter);
        if (!pWriter || !Wanted(wLetter))
            continue;

        RKWatchDrive drive;
        drive.pWriter = pWriter;
        drive.dwIndex = dwIndex;
        drive.wLetter = wLetter;
        drive.strModel = pWriter->GetModelName();
        // The same drive as before: the same letter and the same model.
        bool bKnown = false;
        for (std::size_t k = 0; k < vecKnown.size() && !bKnown; ++k)
        {
            if (!vecMatched[k] && vecKnown[k].wLetter == wLetter && vecKnown[k].strModel == drive.strModel)
            {
                vecMatched[k] = true;
                bKnown = true;
                drive = vecKnown[k];
                drive.pWriter = pWriter;
                drive.dwIndex = dwIndex;
            }
        }
        if (!bKnown)
            drive.dwSource =
                RKDRV::GetWriterDetails(pWriter) ? RKWATCH_SOURCE_TRAY_STATE : RKWATCH_SOURCE_PRESENCE;
        vecDrives.push_back(drive);
        vecNew.push_back(!bKnown);
    }
    m_vecTableLetters.swap(vecLetters);
}

bool CRKWatchRun::Introduce(RKWatchDrive& drive, DWORD dwKind)
{
    if (drive.dwSource == RKWATCH_SOURCE_PRESENCE)
        CRKLog::GetInstance()->AddInfo(
            RK_TEXT("Watch: %c: its engine offers no tray state: IsMediaIn alone tells "
                    "of discs, so only disc-inserted and disc-removed are reported"),
            static_cast<int>(drive.wLetter));
    RKWatchBegin(drive, RKWatchObserve(drive));
    if (drive.bDisc)
        ReadMedia(drive);
    return Report(drive, dwKind);
}

void CRKWatchRun::ReadMedia(RKWatchDrive& drive)
{
    drive.dwProfile = RKDETAILS_UNKNOWN;
    drive.dwDiscState = RKDETAILS_UNKNOWN;
    try
    {
        // The disc's details give the same media record and also what it
        // means; GetMediaInfo where the engine offers none, or they tell
        // no record.
        if (drive.dwSource == RKWATCH_SOURCE_TRAY_STATE)
        {
            RKDiscDetails stDisc = {};
            stDisc.cbSize = sizeof(stDisc);
            if (RKDRV::GetDiscDetails(drive.pWriter, stDisc) && stDisc.dwDiscPresent == 1 &&
                stDisc.dwMediaType != RKDETAILS_UNKNOWN && stDisc.dwDiscType != RKDETAILS_UNKNOWN)
            {
                drive.stMedia.dwMediaType = stDisc.dwMediaType;
                drive.stMedia.dwDiscType = stDisc.dwDiscType;
                drive.dwProfile = stDisc.dwProfile;
                drive.dwDiscState = stDisc.dwDiscState;
                return;
            }
        }
        drive.stMedia = RKGuardedCall(RK_TEXT("GetMediaInfo"), [&] { return drive.pWriter->GetMediaInfo(); });
    }
    catch (...)
    {
        drive.stMedia.dwMediaType = 0;
        drive.stMedia.dwDiscType = 0;
    }
}

bool CRKWatchRun::PollDrives()
{
    std::vector<DWORD> vecKinds;
    for (RKWatchDrive& drive : m_vecDrives)
    {
        if (StopRequested())
        {
            m_dwEnd = RKWATCH_END_STOPPED;
            return false;
        }
        vecKinds.clear();
        RKWatchAdvance(drive, RKWatchObserve(drive), vecKinds);
        for (DWORD dwKind : vecKinds)
        {
            if (dwKind == RKWATCH_DISC_INSERTED)
                ReadMedia(drive);
            if (!Report(drive, dwKind))
                return false;
        }
    }
    return true;
}

bool CRKWatchRun::CheckDriveList()
{
    unsigned long long ullStamp = 0;
    if (!RKOsCalls().pfnDriveListStamp(&ullStamp))
        return true;
    if (!m_bHaveStamp || ullStamp == m_ullStamp)
    {
        m_bHaveStamp = true;
        m_ullStamp = ullStamp;
        m_bStampPending = false;
        return true;
    }
    if (!m_bStampPending || ullStamp != m_ullPendingStamp)
    {
        m_bStampPending = true;
        m_ullPendingStamp = ullStamp;
        return true;
    }
    m_ullStamp = ullStamp;
    m_bStampPending = false;
    return Relist();
}

bool CRKWatchRun::Relist()
{
    CRKLog::GetInstance()->AddInfo(
        RK_TEXT("Watch: the system's optical drives changed: the engine lists its drives again"));
    CRKDRVManager* pManager = m_watch.pManager;
    std::vector<WORD> vecLetters = m_vecTableLetters;
    try
    {
        RKGuardedCall(RK_TEXT("Refresh"), [&] { return pManager->Refresh(); });
    }
    catch (const RKCallFault&)
    {
        // The table holds whatever the engine listed before it threw.
    }
    // The drives known before keep their indexes.
    pManager->ReorderEngineVector(vecLetters);

    std::vector<RKWatchDrive> vecKnown;
    vecKnown.swap(m_vecDrives);
    std::vector<bool> vecNew;
    ListDrives(vecKnown, m_vecDrives, vecNew);

    for (RKWatchDrive& drive : vecKnown)
    {
        bool bStays = false;
        for (std::size_t i = 0; i < m_vecDrives.size() && !bStays; ++i)
            bStays = !vecNew[i] && m_vecDrives[i].wLetter == drive.wLetter &&
                     m_vecDrives[i].strModel == drive.strModel;
        if (bStays)
            continue;
        // Gone, and its writer with it: the event carries what was known.
        drive.pWriter = nullptr;
        drive.bDisc = false;
        if (!Report(drive, RKWATCH_DRIVE_REMOVED))
            return false;
    }
    for (std::size_t i = 0; i < m_vecDrives.size(); ++i)
    {
        if (vecNew[i] && !Introduce(m_vecDrives[i], RKWATCH_DRIVE_ADDED))
            return false;
    }
    return true;
}

bool CRKWatchRun::Report(const RKWatchDrive& drive, DWORD dwKind)
{
    RKWatchEvent stEvent;
    stEvent.cbSize = sizeof(stEvent);
    stEvent.dwKind = dwKind;
    stEvent.ullTimeMs = Now() - m_ullStart;
    stEvent.dwIndex = drive.dwIndex;
    stEvent.wLetter = drive.wLetter;
    stEvent.wReserved = 0;
    std::size_t nChars = std::min<std::size_t>(drive.strModel.size(), RKWATCH_MODEL_CHARS - 1);
    std::copy(drive.strModel.begin(), drive.strModel.begin() + nChars, stEvent.szModel);
    std::fill(stEvent.szModel + nChars, stEvent.szModel + RKWATCH_MODEL_CHARS, 0);
    stEvent.dwSource = drive.dwSource;
    bool bKnown = drive.stLast.bOk && dwKind != RKWATCH_DRIVE_REMOVED;
    // Each event says what it did to the disc, also when a later event of
    // the same poll undoes it (a disc changed between two polls).
    bool bDisc = dwKind == RKWATCH_DISC_REMOVED    ? false
                 : dwKind == RKWATCH_DISC_INSERTED ? true
                                                   : drive.bDisc;
    stEvent.dwDiscPresent = bKnown ? (bDisc ? 1u : 0u) : RKDETAILS_UNKNOWN;
    stEvent.dwTrayOpen = bKnown ? drive.dwTrayOpen : RKDETAILS_UNKNOWN;
    stEvent.dwLocked = bKnown ? drive.dwLocked : RKDETAILS_UNKNOWN;
    bool bMedia = drive.bDisc && (dwKind == RKWATCH_DISC_INSERTED || dwKind == RKWATCH_STATE ||
                                  dwKind == RKWATCH_DRIVE_ADDED);
    stEvent.dwMediaType = bMedia ? drive.stMedia.dwMediaType : 0;
    stEvent.dwDiscType = bMedia ? drive.stMedia.dwDiscType : 0;
    stEvent.dwProfile = bMedia ? drive.dwProfile : RKDETAILS_UNKNOWN;
    stEvent.dwDiscState = bMedia ? drive.dwDiscState : RKDETAILS_UNKNOWN;

    if (bMedia)
        CRKLog::GetInstance()->AddInfo(RK_TEXT("Watch: %c: %s (media 0x%x, disc type %d)"),
                                       static_cast<int>(drive.wLetter), KindName(dwKind),
                                       static_cast<unsigned int>(stEvent.dwMediaType),
                                       static_cast<int>(stEvent.dwDiscType));
    else
        CRKLog::GetInstance()->AddInfo(RK_TEXT("Watch: %c: %s"), static_cast<int>(drive.wLetter),
                                       KindName(dwKind));

    if (RKGuardedCall(RK_TEXT("OnWatchEvent"), [&] { return m_callBack.OnWatchEvent(stEvent); }))
        return true;
    m_dwEnd = RKWATCH_END_CALLBACK;
    return false;
}
