// Runs a real wait on one drive and a real wait across two drives, each on
// disc images that appear after a delay, and prints the CPU time spent per
// second of waiting. Drives are named through a temporary dosdevices folder.
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "RKDRV.h"
#include "RKFakeEngine.h"

namespace
{
typedef std::chrono::steady_clock RKClock;

double CpuSeconds()
{
    rusage stUsage;
    getrusage(RUSAGE_SELF, &stUsage);
    return static_cast<double>(stUsage.ru_utime.tv_sec + stUsage.ru_stime.tv_sec) +
           static_cast<double>(stUsage.ru_utime.tv_usec + stUsage.ru_stime.tv_usec) / 1e6;
}

// Inserts the disc: writes the image once the delay has passed.
class CRKArrivingDisc : public CRKWriterCallBack
{
public:
    CRKArrivingDisc(std::string strImage, double dDelay)
        : m_strImage(std::move(strImage)), m_dDelay(dDelay), m_tStart(RKClock::now())
    {
    }
    int CallBack(DWORD, RKWRITERCALLBACKINFO&) override
    {
        ++nReports;
        std::chrono::duration<double> dElapsed = RKClock::now() - m_tStart;
        if (!m_bInserted && dElapsed.count() >= m_dDelay)
        {
            std::ofstream(m_strImage, std::ios::binary) << "DISC";
            m_bInserted = true;
        }
        return 1;
    }
    int nReports = 0;

private:
    std::string m_strImage;
    double m_dDelay;
    RKClock::time_point m_tStart;
    bool m_bInserted = false;
};

void Report(const char* szName, double dWall, double dCpu, int nReports)
{
    std::printf("%-28s waited %.2f s, CPU %.2f ms, %.3f ms CPU per s = %.4f%% of one core (%d reports)\n",
                szName, dWall, dCpu * 1000.0, dCpu * 1000.0 / dWall, dCpu * 100.0 / dWall, nReports);
}
} // namespace

int main()
{
    char szTemplate[] = "/tmp/rkdrv_bench_XXXXXX";
    if (!mkdtemp(szTemplate))
    {
        std::perror("mkdtemp");
        return 1;
    }
    std::string strFolder = szTemplate;
    std::string strD = strFolder + "/d.iso";
    std::string strE = strFolder + "/e.iso";
    if (symlink(strD.c_str(), (strFolder + "/d::").c_str()) != 0 ||
        symlink(strE.c_str(), (strFolder + "/e::").c_str()) != 0)
    {
        std::perror("symlink");
        return 1;
    }
    setenv("RKDRV_DOSDEVICES", strFolder.c_str(), 1);

    // Fake writers use the library's own presence test.
    CRKFakeManager manager;
    manager.List({'D', 'E'});
    int nResult = 0;

    // One drive, polled every 500 ms; the disc comes after 3 s.
    {
        CRKArrivingDisc disc(strE, 3.0);
        CRKWriter* pWriter = manager.GetWriter(1);
        pWriter->SetCallBack(&disc);
        RKClock::time_point tStart = RKClock::now();
        double dCpuStart = CpuSeconds();
        RKMediaInfo stInfo = pWriter->WaitMedia();
        double dCpu = CpuSeconds() - dCpuStart;
        std::chrono::duration<double> dWall = RKClock::now() - tStart;
        Report("wait on one drive:", dWall.count(), dCpu, disc.nReports);
        nResult |= stInfo.dwMediaType == 0x0025 ? 0 : 2;
        pWriter->SetCallBack(nullptr);
        unlink(strE.c_str());
    }

    // Any drive: D stays empty, the disc comes to E after 2 s, so the wait
    // pauses 4 s after D and finds the disc at E.
    {
        CRKArrivingDisc disc(strE, 2.0);
        manager.SetCallBack(&disc);
        RKMediaInfo stInfo;
        DWORD dwIndex = 0xFFFFFFFF;
        RKClock::time_point tStart = RKClock::now();
        double dCpuStart = CpuSeconds();
        int bFound = manager.WaitMedia(stInfo, dwIndex);
        double dCpu = CpuSeconds() - dCpuStart;
        std::chrono::duration<double> dWall = RKClock::now() - tStart;
        Report("wait across two drives:", dWall.count(), dCpu, disc.nReports);
        nResult |= (bFound == 1 && dwIndex == 1) ? 0 : 4;
    }

    manager.ClearWriters();
    unlink(strE.c_str());
    unlink((strFolder + "/d::").c_str());
    unlink((strFolder + "/e::").c_str());
    rmdir(strFolder.c_str());
    if (nResult)
        std::printf("unexpected wait result (%d)\n", nResult);
    return nResult;
}
