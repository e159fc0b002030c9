// Linux only: the library's own presence test (the base writer's IsMediaIn,
// through a dosdevices link) against the raw calls it wraps, open +
// CDROM_DRIVE_STATUS + close, interleaved, as a ratio of medians ("ratio");
// "link_ratio" compares with the same raw calls made through the link.
// It stops after ROUNDS rounds or SECONDS seconds, whichever comes first, so
// a slow build or machine measures fewer rounds instead of running long.
//
//   rkdrv_kernel_presence_bench DEVICE [ROUNDS [SECONDS]]
#include <fcntl.h>
#include <linux/cdrom.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "RKDRV.h"
#include "RKFakeEngine.h"

namespace
{
typedef std::chrono::steady_clock RKClock;

int RawPresence(const std::string& strPath)
{
    int nFd = open(strPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (nFd < 0)
        return 0;
    int nResult = ioctl(nFd, CDROM_DRIVE_STATUS, CDSL_CURRENT) == CDS_DISC_OK ? 1 : 0;
    close(nFd);
    return nResult;
}

double Median(std::vector<double> vecSamples)
{
    std::sort(vecSamples.begin(), vecSamples.end());
    size_t nMiddle = vecSamples.size() / 2;
    return vecSamples.size() % 2 ? vecSamples[nMiddle] : (vecSamples[nMiddle - 1] + vecSamples[nMiddle]) / 2;
}

template <typename F> double Microseconds(F fnCall, int& nAnswer)
{
    RKClock::time_point tpStart = RKClock::now();
    nAnswer = fnCall();
    return std::chrono::duration<double, std::micro>(RKClock::now() - tpStart).count();
}
} // namespace

int main(int nArgs, char** aszArgs)
{
    if (nArgs < 2 || nArgs > 4)
    {
        std::fprintf(stderr, "usage: rkdrv_kernel_presence_bench DEVICE [ROUNDS [SECONDS]]\n");
        return 2;
    }
    const char* szDevice = aszArgs[1];
    int nRounds = nArgs >= 3 ? std::atoi(aszArgs[2]) : 400;
    if (nRounds < 1)
        nRounds = 1;
    double dSeconds = nArgs == 4 ? std::atof(aszArgs[3]) : 1e9;
    RKClock::time_point tpDeadline = RKClock::now() + std::chrono::duration_cast<RKClock::duration>(
                                                          std::chrono::duration<double>(dSeconds));

    char szFolder[] = "/tmp/rkdrv_presence_XXXXXX";
    if (!mkdtemp(szFolder))
    {
        std::perror("mkdtemp");
        return 1;
    }
    std::string strLink = std::string(szFolder) + "/e::";
    if (symlink(szDevice, strLink.c_str()) != 0)
    {
        std::perror("symlink");
        rmdir(szFolder);
        return 1;
    }
    setenv("RKDRV_DOSDEVICES", szFolder, 1);

    // Only the library's presence test is used.
    CRKFakeWriter wrDrive('E');
    std::vector<double> vecLibrary, vecRaw, vecRawLink;
    int nLibrary = 0, nRaw = 0, nRawLink = 0, nMismatches = 0;
    std::string strDevice = szDevice;
    auto fnLibrary = [&wrDrive] { return wrDrive.CRKWriter::IsMediaIn(); };
    auto fnRaw = [&strDevice] { return RawPresence(strDevice); };
    // The same calls through the link, to tell the link's share of the cost.
    auto fnRawLink = [&strLink] { return RawPresence(strLink); };
    for (int nWarm = 0; nWarm < 20; ++nWarm)
    {
        fnLibrary();
        fnRaw();
        fnRawLink();
    }
    int nRound = 0;
    for (; nRound < nRounds && (nRound == 0 || RKClock::now() < tpDeadline); ++nRound)
    {
        // Alternating which goes first cancels any cost of going second.
        if (nRound % 2)
        {
            vecRaw.push_back(Microseconds(fnRaw, nRaw));
            vecRawLink.push_back(Microseconds(fnRawLink, nRawLink));
            vecLibrary.push_back(Microseconds(fnLibrary, nLibrary));
        }
        else
        {
            vecLibrary.push_back(Microseconds(fnLibrary, nLibrary));
            vecRawLink.push_back(Microseconds(fnRawLink, nRawLink));
            vecRaw.push_back(Microseconds(fnRaw, nRaw));
        }
        nMismatches += nLibrary != nRaw || nRawLink != nRaw;
    }
    unlink(strLink.c_str());
    rmdir(szFolder);

    double dLibrary = Median(vecLibrary), dRaw = Median(vecRaw), dRawLink = Median(vecRawLink);
    std::printf(
        "presence-bench\tdevice=%s\trounds=%d\tmedia_in=%d\tlibrary_median_us=%.1f\traw_median_us=%.1f"
        "\traw_link_median_us=%.1f\tratio=%.3f\tlink_ratio=%.3f\n",
        szDevice, nRound, nRaw, dLibrary, dRaw, dRawLink, dRaw > 0 ? dLibrary / dRaw : 0.0,
        dRawLink > 0 ? dLibrary / dRawLink : 0.0);
    if (nMismatches)
    {
        std::printf("error\ttext=the library and the raw calls disagreed %d times\n", nMismatches);
        return 1;
    }
    return 0;
}
