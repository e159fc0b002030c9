// What watching costs: the library's watch of the system engine's drives,
// over a transport of canned answers or over the machine's real drives, at
// the default interval. Only Linux code belongs here.
//
//   rkdrv_sc_watch_bench [--real] [--seconds S]
//
// Prints per drive the device opens, SCSI commands and system calls per
// second, and the CPU time per second of watching, beside the floor of the
// same process watching none of its drives (the pause and the system's
// drive list alone).
// System calls are counted by running the measurement again under strace
// -c, when strace is there; CPU time is taken from the run without it.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "RKDRV.h"
#include "RKScFakeTransport.h"
#include "RKScManager.h"
#include "RKScTransport_linux.h"

namespace
{
double CpuSeconds()
{
    rusage stUsage;
    getrusage(RUSAGE_SELF, &stUsage);
    return static_cast<double>(stUsage.ru_utime.tv_sec + stUsage.ru_stime.tv_sec) +
           static_cast<double>(stUsage.ru_utime.tv_usec + stUsage.ru_stime.tv_usec) / 1e6;
}

class CRKCountingWatch : public CRKWatchCallBack
{
public:
    int OnWatchEvent(const RKWatchEvent& stEvent) override
    {
        if (stEvent.dwKind == RKWATCH_STATE)
        {
            dwSource = stEvent.dwSource;
            // What the canned drives hold: a disc, the tray closed, the door
            // unlocked; anything else means the engine no longer reads
            // their answers.
            bStatesAsCanned = bStatesAsCanned && stEvent.dwDiscPresent == 1 && stEvent.dwTrayOpen == 0 &&
                              stEvent.dwLocked == 0 && stEvent.dwProfile == 0x10;
        }
        else
            ++nEvents;
        return 1;
    }
    int nEvents = 0;
    DWORD dwSource = 0;
    bool bStatesAsCanned = true;
};

// The machine's own drives, with their opens and commands counted.
class CRKCountingDevice : public CRKScDevice
{
public:
    CRKCountingDevice(std::unique_ptr<CRKScDevice> pDevice, std::size_t& nCommands)
        : m_pDevice(std::move(pDevice)), m_nCommands(nCommands)
    {
    }
    void SendCommand(const std::uint8_t* pbCdb, std::size_t nCdbLength, std::uint8_t* pbData,
                     std::size_t nDataLength, RKScCommandResult& stResult) override
    {
        ++m_nCommands;
        m_pDevice->SendCommand(pbCdb, nCdbLength, pbData, nDataLength, stResult);
        Take();
    }
    RKScDriveStatus GetDriveStatus() override { return Take(m_pDevice->GetDriveStatus()); }
    RKScEjectStatus Eject(std::string& strProblem) override { return Take(m_pDevice->Eject(strProblem)); }
    void Pause(DWORD dwMilliseconds) override { m_pDevice->Pause(dwMilliseconds); }
    RKScTrayResult CloseTray(std::string& strProblem) override
    {
        return Take(m_pDevice->CloseTray(strProblem));
    }
    RKScTrayResult LockDoor(bool bLock, std::string& strProblem) override
    {
        return Take(m_pDevice->LockDoor(bLock, strProblem));
    }

private:
    // What the device learnt is the wrapper's, which the engine reads.
    template <typename T> T Take(T tResult)
    {
        Take();
        return tResult;
    }
    void Take()
    {
        if (m_strGone.empty())
            m_strGone = m_pDevice->m_strGone;
        m_bUnanswered = m_bUnanswered || m_pDevice->m_bUnanswered;
    }
    std::unique_ptr<CRKScDevice> m_pDevice;
    std::size_t& m_nCommands;
};

class CRKCountingTransport : public CRKScTransport
{
public:
    explicit CRKCountingTransport(std::shared_ptr<CRKScTransport> pTransport)
        : m_pTransport(std::move(pTransport))
    {
    }
    bool ListDrives(RKScDriveList& stList, std::string& strProblem) override
    {
        return m_pTransport->ListDrives(stList, strProblem);
    }
    std::unique_ptr<CRKScDevice> Open(const RKScDriveEntry& stEntry, std::string& strProblem) override
    {
        std::unique_ptr<CRKScDevice> pDevice = m_pTransport->Open(stEntry, strProblem);
        if (!pDevice)
            return pDevice;
        ++nOpens;
        return std::unique_ptr<CRKScDevice>(new CRKCountingDevice(std::move(pDevice), nCommands));
    }
    bool ProvidesPresence() const override { return m_pTransport->ProvidesPresence(); }
    std::uint64_t Milliseconds() const override { return m_pTransport->Milliseconds(); }
    bool LockNeedsDevice() const override { return m_pTransport->LockNeedsDevice(); }
    void ListenForDriveEvents() override { m_pTransport->ListenForDriveEvents(); }
    unsigned TakeDriveEvents(const RKScDriveEntry& stEntry) override
    {
        return m_pTransport->TakeDriveEvents(stEntry);
    }

    std::size_t nOpens = 0;
    std::size_t nCommands = 0;

private:
    std::shared_ptr<CRKScTransport> m_pTransport;
};

// Two drives holding a disc, answering every status command the engine may
// send.
std::shared_ptr<CRKScFakeTransport> FakeDrives(int nDrives)
{
    auto pTransport = std::make_shared<CRKScFakeTransport>();
    for (int i = 0; i < nDrives; ++i)
    {
        RKScFakeDrive& drive =
            pTransport->AddDrive("/dev/sr" + std::to_string(i), "FAKE DRIVE", static_cast<WORD>('E' + i));
        drive.Answer(INQ, Good(InquiryBytes("FAKE", "DRIVE")));
        drive.Answer(GC, Good(ConfigurationBytes(0x10, {0x10, 0x08})));
        drive.Answer(RDI, Good(DiscInfoBytes(0x0E)));
        drive.Answer(TUR, Good({}));
        // Media class, no event, medium present, tray closed.
        drive.Answer(GESN, Good({0, 6, 0x04, 0x54, 0, 0x02, 0, 0}));
        // MECHANISM STATUS: no changer, door closed.
        drive.Answer(0xBD, Good({0, 0, 0, 0, 0, 0, 0, 0}));
        // MODE SENSE (10), page 2Ah with its lock bit clear.
        RKScBytes vecMode(8 + 30, 0);
        vecMode[1] = 36;
        vecMode[8] = 0x2A;
        vecMode[9] = 28;
        drive.Answer(0x5A, Good(vecMode));
    }
    return pTransport;
}

struct RKRun
{
    double dSeconds = 0;
    double dCpu = 0;
    DWORD dwSource = 0;
    int nEvents = 0;
    bool bStatesAsCanned = false;
};

// bNoDrive: the floor, a watch of a letter no drive has.
RKRun Watch(CRKDRVManager* pManager, double dSeconds, bool bNoDrive)
{
    RKRun stRun;
    RKWatchSettings stSettings = {};
    stSettings.cbSize = sizeof(stSettings);
    stSettings.dwDurationMs = static_cast<DWORD>(dSeconds * 1000);
    if (bNoDrive)
    {
        stSettings.dwLetterCount = 1;
        stSettings.awLetters[0] = '#';
    }
    HRKWATCH hWatch = RKDRV::CreateWatch(pManager, &stSettings);
    if (!hWatch)
        return stRun;
    CRKCountingWatch counter;
    double dCpu = CpuSeconds();
    auto tStart = std::chrono::steady_clock::now();
    RKDRV::RunWatch(hWatch, &counter);
    stRun.dSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - tStart).count();
    stRun.dCpu = CpuSeconds() - dCpu;
    stRun.dwSource = counter.dwSource;
    stRun.nEvents = counter.nEvents;
    stRun.bStatesAsCanned = counter.bStatesAsCanned;
    RKDRV::CloseWatch(hWatch);
    return stRun;
}

// The manager of the run: the canned drives, or the machine's own.
CRKDRVManager* MakeManager(bool bReal, std::shared_ptr<CRKScFakeTransport>& pFake,
                           std::shared_ptr<CRKCountingTransport>& pCounting)
{
    if (bReal)
    {
        pCounting = std::make_shared<CRKCountingTransport>(RKScCreateLinuxTransport(RKScLinuxFolders()));
        return new CRKScManager(pCounting);
    }
    pFake = FakeDrives(2);
    return new CRKScManager(pFake);
}

// One measured watch, in this process: "drives seconds cpu source events
// opens commands" on one line.
int Measure(bool bReal, bool bEmpty, double dSeconds)
{
    std::shared_ptr<CRKScFakeTransport> pFake;
    std::shared_ptr<CRKCountingTransport> pCounting;
    CRKDRVManager* pManager = MakeManager(bReal, pFake, pCounting);
    int nDrives = pManager->GetNbWriter();
    std::size_t nOpens = 0;
    std::size_t nCommands = 0;
    if (pCounting)
        pCounting->nOpens = pCounting->nCommands = 0;
    if (pFake)
    {
        // What listing the drives cost is not the watch's.
        for (const auto& pDrive : pFake->vecDrives)
        {
            pDrive->nOpens = 0;
            pDrive->vecCommands.clear();
        }
    }
    RKRun stRun = Watch(pManager, dSeconds, bEmpty);
    if (pCounting)
    {
        nOpens = pCounting->nOpens;
        nCommands = pCounting->nCommands;
    }
    if (pFake)
    {
        for (const auto& pDrive : pFake->vecDrives)
        {
            nOpens += static_cast<std::size_t>(pDrive->nOpens);
            nCommands += pDrive->vecCommands.size();
        }
    }
    std::printf("%d %.3f %.6f %u %d %zu %zu %d\n", nDrives, stRun.dSeconds, stRun.dCpu,
                static_cast<unsigned>(stRun.dwSource), stRun.nEvents, nOpens, nCommands,
                stRun.bStatesAsCanned ? 1 : 0);
    pManager->Release();
    return 0;
}

struct RKFigures
{
    int nDrives = 0;
    double dSeconds = 0;
    double dCpu = 0;
    unsigned uSource = 0;
    int nEvents = 0;
    double dOpens = 0;
    double dCommands = 0;
    int nAsCanned = 0;
    bool bOk = false;
};

std::string Self()
{
    char szPath[4096];
    ssize_t nLength = readlink("/proc/self/exe", szPath, sizeof(szPath) - 1);
    if (nLength <= 0)
        return std::string();
    szPath[nLength] = 0;
    return szPath;
}

// Runs the measurement in a child, under strace -c when a file for its
// summary is given. The child's line, read from its output.
RKFigures Child(const std::vector<std::string>& vecArgs, const std::string& strStraceFile)
{
    RKFigures stFigures;
    std::string strCommand;
    if (!strStraceFile.empty())
        strCommand = "strace -f -c -o '" + strStraceFile + "' ";
    strCommand += "'" + Self() + "'";
    for (const std::string& strArg : vecArgs)
        strCommand += " " + strArg;
    FILE* pPipe = popen(strCommand.c_str(), "r");
    if (!pPipe)
        return stFigures;
    char szLine[256] = {};
    bool bRead = std::fgets(szLine, sizeof(szLine), pPipe) != nullptr;
    int nStatus = pclose(pPipe);
    if (!bRead || nStatus != 0)
        return stFigures;
    std::istringstream in(szLine);
    in >> stFigures.nDrives >> stFigures.dSeconds >> stFigures.dCpu >> stFigures.uSource >>
        stFigures.nEvents >> stFigures.dOpens >> stFigures.dCommands >> stFigures.nAsCanned;
    stFigures.bOk = !in.fail();
    return stFigures;
}

// The "total" row of strace -c: the calls of the whole run.
long StraceTotal(const std::string& strFile)
{
    std::ifstream file(strFile);
    std::string strLine;
    while (std::getline(file, strLine))
    {
        if (strLine.find("total") == std::string::npos)
            continue;
        std::istringstream in(strLine);
        std::vector<std::string> vecWords;
        std::string strWord;
        while (in >> strWord)
            vecWords.push_back(strWord);
        // "100.00 seconds usecs/call calls [errors] total"
        if (vecWords.size() >= 4)
            return std::atol(vecWords[3].c_str());
    }
    return -1;
}

const char* SourceName(unsigned uSource)
{
    return uSource == RKWATCH_SOURCE_TRAY_STATE ? "the engine's tray state"
           : uSource == RKWATCH_SOURCE_PRESENCE ? "IsMediaIn (the engine offers no tray state)"
                                                : "no drive";
}
} // namespace

int main(int nArgs, char** aszArgs)
{
    bool bReal = false;
    bool bMeasure = false;
    bool bEmpty = false;
    double dSeconds = 3.0;
    for (int i = 1; i < nArgs; ++i)
    {
        std::string strArg = aszArgs[i];
        if (strArg == "--real")
            bReal = true;
        else if (strArg == "--measure")
            bMeasure = true;
        else if (strArg == "--empty")
            bEmpty = true;
        else if (strArg == "--seconds" && i + 1 < nArgs)
            dSeconds = std::atof(aszArgs[++i]);
        else
        {
            std::fprintf(stderr, "usage: rkdrv_sc_watch_bench [--real] [--seconds S]\n");
            return 2;
        }
    }
    if (bMeasure)
        return Measure(bReal, bEmpty, dSeconds);

    std::vector<std::string> vecArgs = {"--measure", "--seconds", std::to_string(dSeconds)};
    if (bReal)
        vecArgs.push_back("--real");
    std::vector<std::string> vecEmpty = vecArgs;
    vecEmpty.push_back("--empty");
    RKFigures stWatch = Child(vecArgs, "");
    RKFigures stFloor = Child(vecEmpty, "");
    if (!stWatch.bOk || !stFloor.bOk)
    {
        std::printf("watch-bench failed: the measuring run gave no figures\n");
        return 1;
    }
    const char* szWhere = bReal ? "the machine's drives" : "the fake transport";
    if (stWatch.nDrives == 0)
    {
        std::printf("watch-bench over %s: no optical drive: nothing to measure\n", szWhere);
        return 0;
    }
    double dPerDrive = stWatch.dSeconds * stWatch.nDrives;
    std::printf("watch-bench over %s: %d drives, %.1f s at the default interval (%u ms), through %s\n",
                szWhere, stWatch.nDrives, stWatch.dSeconds, RKWATCH_DEFAULT_INTERVAL_MS,
                SourceName(stWatch.uSource));
    std::printf(
        "watch-bench cpu_ms_per_s=%.3f floor_cpu_ms_per_s=%.3f ratio=%.2f (floor: watching none of the "
        "drives)\n",
        stWatch.dCpu * 1000 / stWatch.dSeconds, stFloor.dCpu * 1000 / stFloor.dSeconds,
        stFloor.dCpu > 0 ? (stWatch.dCpu / stWatch.dSeconds) / (stFloor.dCpu / stFloor.dSeconds) : 0.0);
    std::printf("watch-bench per_drive: opens_per_s=%.2f scsi_commands_per_s=%.2f\n",
                stWatch.dOpens / dPerDrive, stWatch.dCommands / dPerDrive);
    if (!bReal && !stWatch.nAsCanned)
    {
        std::printf("watch-bench failed: the engine no longer reads the canned drives' answers as a disc in, "
                    "the tray closed and the door unlocked\n");
        return 1;
    }

    // System calls: the same runs again under strace, whose own cost is
    // left out of the CPU figures above; each also for a moment only, so
    // that starting, listing the drives and ending are taken away.
    std::string strTrace = "/tmp/rkdrv_watch_bench_" + std::to_string(getpid());
    auto Calls = [&](std::vector<std::string> vecRun, bool bMoment, double& dSpent)
    {
        if (bMoment)
            vecRun[2] = "0.001";
        RKFigures stTraced = Child(vecRun, strTrace);
        long nCalls = stTraced.bOk ? StraceTotal(strTrace) : -1;
        std::remove(strTrace.c_str());
        dSpent = stTraced.dSeconds;
        return nCalls;
    };
    double dWatchSeconds = 0;
    double dFloorSeconds = 0;
    double dIgnored = 0;
    long nWatch = Calls(vecArgs, false, dWatchSeconds);
    long nWatchMoment = Calls(vecArgs, true, dIgnored);
    long nFloor = Calls(vecEmpty, false, dFloorSeconds);
    long nFloorMoment = Calls(vecEmpty, true, dIgnored);
    if (nWatch < 0 || nWatchMoment < 0 || nFloor < 0 || nFloorMoment < 0)
    {
        std::printf("watch-bench syscalls: not counted (strace is not there or failed)\n");
        return 0;
    }
    double dFloorRate = static_cast<double>(nFloor - nFloorMoment) / dFloorSeconds;
    double dWatchRate = static_cast<double>(nWatch - nWatchMoment) / dWatchSeconds;
    std::printf(
        "watch-bench syscalls_per_s_per_drive=%.2f floor_syscalls_per_s=%.2f (the pause and the drive "
        "list, for all drives together)\n",
        (dWatchRate - dFloorRate) / stWatch.nDrives, dFloorRate);
    return 0;
}
