// Linux benchmark of the system engine. Only Linux code belongs here.
//
// Measures the system engine on a real drive against the raw system calls
// each of its operations wraps, interleaved call by call, and prints the
// ratio of the medians (engine / raw); also the time to list the drives.
//
//   rkdrv_sc_bench [E | --device /dev/srN --index N] [--rounds N] [--seconds S]
//
// --seconds bounds the whole measuring time: a slow build or machine
// measures fewer rounds instead of running long.
//
// E is a drive letter whose dosdevices link leads to the drive; --device
// names the drive directly, with the index of its writer in the engine.
#include <fcntl.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <climits>
#include <linux/cdrom.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "RKDRV.h"
#include "RKScDriveQuery.h"
#include "RKScMmc.h"
#include "RKScTransport_linux.h"

namespace
{
typedef std::chrono::steady_clock RKClock;

struct RKBenchOptions
{
    WORD wLetter = 0;
    std::string strDevice;
    long nIndex = -1;
    int nRounds = 200;
    // Each measurement stops after its share of this, rounds or not.
    double dSeconds = 1e9;
};

// The time one measurement may take: a slow build measures fewer rounds.
double s_dShare = 1e9;

bool TimeLeft(int nDone, RKClock::time_point tpStart)
{
    return nDone == 0 || std::chrono::duration<double>(RKClock::now() - tpStart).count() < s_dShare;
}

double Microseconds(const std::function<void()>& fnCall)
{
    RKClock::time_point tStart = RKClock::now();
    fnCall();
    return std::chrono::duration<double, std::micro>(RKClock::now() - tStart).count();
}

double Median(std::vector<double> vecValues)
{
    if (vecValues.empty())
        return 0;
    std::sort(vecValues.begin(), vecValues.end());
    std::size_t nMiddle = vecValues.size() / 2;
    return vecValues.size() % 2 ? vecValues[nMiddle] : (vecValues[nMiddle - 1] + vecValues[nMiddle]) / 2;
}

// Runs both calls nRounds times, alternating which goes first, and prints
// the medians and their ratio.
void Compare(const char* szWhat, int nRounds, const std::function<void()>& fnEngine,
             const std::function<void()>& fnRaw)
{
    for (int i = 0; i < 3; ++i)
    {
        fnEngine();
        fnRaw();
    }
    std::vector<double> vecEngine;
    std::vector<double> vecRaw;
    RKClock::time_point tpStart = RKClock::now();
    for (int i = 0; i < nRounds && TimeLeft(i, tpStart); ++i)
    {
        if (i % 2)
        {
            vecEngine.push_back(Microseconds(fnEngine));
            vecRaw.push_back(Microseconds(fnRaw));
        }
        else
        {
            vecRaw.push_back(Microseconds(fnRaw));
            vecEngine.push_back(Microseconds(fnEngine));
        }
    }
    double dEngine = Median(vecEngine);
    double dRaw = Median(vecRaw);
    std::printf("%-13s engine %9.1f us, raw %9.1f us, ratio %.3f (target <= 1.10), %zu rounds\n", szWhat,
                dEngine, dRaw, dRaw > 0 ? dEngine / dRaw : 0.0, vecEngine.size());
}

int OpenDrive(const std::string& strDevice)
{
    return open(strDevice.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
}

// What every open of the engine also asks: where sysfs has the device the
// descriptor reaches, so a replaced drive is never taken for the listed one.
void RawWhereAttached(int nFd)
{
    struct stat stNode;
    if (fstat(nFd, &stNode) != 0)
        return;
    std::string strLink = "/sys/dev/block/" + std::to_string(major(stNode.st_rdev)) + ":" +
                          std::to_string(minor(stNode.st_rdev));
    char szTarget[1024];
    struct stat stFolder;
    if (readlink(strLink.c_str(), szTarget, sizeof(szTarget)) > 0)
        stat(strLink.c_str(), &stFolder);
}

int RawDriveStatus(const std::string& strDevice)
{
    int nFd = OpenDrive(strDevice);
    if (nFd < 0)
        return -1;
    RawWhereAttached(nFd);
    int nStatus = ioctl(nFd, CDROM_DRIVE_STATUS, CDSL_CURRENT);
    close(nFd);
    return nStatus;
}

bool RawCommand(int nFd, const RKScCdb& stCdb, std::uint8_t* pbData, std::size_t nLength,
                std::size_t& nTransferred)
{
    std::uint8_t abSense[RKSC_SENSE_MAX];
    sg_io_hdr_t stHeader;
    std::memset(&stHeader, 0, sizeof(stHeader));
    stHeader.interface_id = 'S';
    stHeader.dxfer_direction = SG_DXFER_FROM_DEV;
    stHeader.cmd_len = static_cast<unsigned char>(stCdb.nLength);
    stHeader.cmdp = const_cast<unsigned char*>(stCdb.abBytes);
    stHeader.dxfer_len = static_cast<unsigned int>(nLength);
    stHeader.dxferp = pbData;
    stHeader.mx_sb_len = sizeof(abSense);
    stHeader.sbp = abSense;
    stHeader.timeout = RKSC_COMMAND_TIMEOUT_MS;
    if (ioctl(nFd, SG_IO, &stHeader) < 0 || stHeader.status != 0 || stHeader.host_status != 0)
        return false;
    nTransferred = nLength - static_cast<std::size_t>(std::max(0, std::min<int>(stHeader.resid, nLength)));
    return true;
}

// The commands GetMediaInfo sends, on one open: the identification (the
// drive is still the listed one), the current profile, then the disc
// information unless there is no medium.
void RawMediaInfo(const std::string& strDevice)
{
    int nFd = OpenDrive(strDevice);
    if (nFd < 0)
        return;
    RawWhereAttached(nFd);
    std::uint8_t abInquiry[RKSC_INQUIRY_READ] = {};
    std::size_t nTransferred = 0;
    RawCommand(nFd, RKScInquiryCdb(RKSC_INQUIRY_READ), abInquiry, sizeof(abInquiry), nTransferred);
    std::uint8_t abConfig[RKSC_CURRENT_PROFILE_READ] = {};
    if (RawCommand(nFd, RKScGetConfigurationCdb(RKSC_RT_ONE, 0, RKSC_CURRENT_PROFILE_READ), abConfig,
                   sizeof(abConfig), nTransferred) &&
        nTransferred == sizeof(abConfig) && (abConfig[6] || abConfig[7]))
    {
        std::uint8_t abDisc[RKSC_DISC_INFO_READ] = {};
        RawCommand(nFd, RKScReadDiscInformationCdb(RKSC_DISC_INFO_READ), abDisc, sizeof(abDisc),
                   nTransferred);
    }
    close(nFd);
}

std::string LinkTarget(WORD wLetter)
{
    std::string strLink = RKScDosDevicesFolder() + "/" + static_cast<char>(wLetter - 'A' + 'a') + "::";
    char* szReal = realpath(strLink.c_str(), nullptr);
    if (!szReal)
        return std::string();
    std::string strTarget = szReal;
    std::free(szReal);
    return strTarget;
}

bool ParseOptions(int nArgs, char** aszArgs, RKBenchOptions& stOptions)
{
    for (int i = 1; i < nArgs; ++i)
    {
        std::string strArg = aszArgs[i];
        if (strArg == "--device" && i + 1 < nArgs)
            stOptions.strDevice = aszArgs[++i];
        else if (strArg == "--index" && i + 1 < nArgs)
            stOptions.nIndex = std::strtol(aszArgs[++i], nullptr, 10);
        else if (strArg == "--rounds" && i + 1 < nArgs)
            stOptions.nRounds = std::max(1, std::min(100000, std::atoi(aszArgs[++i])));
        else if (strArg == "--seconds" && i + 1 < nArgs)
            stOptions.dSeconds = std::max(0.0, std::atof(aszArgs[++i]));
        else if (strArg.size() == 1 && std::isalpha(static_cast<unsigned char>(strArg[0])))
            stOptions.wLetter = static_cast<WORD>(std::toupper(static_cast<unsigned char>(strArg[0])));
        else
            return false;
    }
    return stOptions.strDevice.empty() == (stOptions.nIndex < 0);
}

void MeasureEnumeration(CRKDRVManager* pManager, int nRounds)
{
    int nEnumerations = std::max(5, nRounds / 10);
    std::vector<double> vecLoad;
    std::vector<double> vecRefresh;
    RKClock::time_point tpStart = RKClock::now();
    for (int i = 0; i < nEnumerations && TimeLeft(i, tpStart); ++i)
    {
        vecLoad.push_back(
            Microseconds([] { RKDRV::ClearODDManager(RKDRV::GetODDManager(RKDRV_ENGINE_SC)); }));
        vecRefresh.push_back(Microseconds([pManager] { pManager->Refresh(); }));
    }
    std::printf(
        "enumeration   GetODDManager+ClearODDManager %.1f us, Refresh %.1f us (%d drives, medians of %d)\n",
        Median(vecLoad), Median(vecRefresh), pManager->GetNbWriter(), static_cast<int>(vecLoad.size()));
}

int Run(const RKBenchOptions& stOptions)
{
    // Three measurements share the time: IsMediaIn, GetMediaInfo, enumeration.
    s_dShare = stOptions.dSeconds / 3;
    CRKDRVManager* pManager = RKDRV::GetODDManager(RKDRV_ENGINE_SC);
    if (!pManager)
    {
        std::printf("the system engine RKDRVSC did not load\n");
        return 1;
    }
    if (pManager->GetNbWriter() == 0)
    {
        std::printf("no optical drive: nothing to measure\n");
        RKDRV::ClearODDManager(pManager);
        return 0;
    }

    std::string strDevice = stOptions.strDevice;
    long nIndex = stOptions.nIndex;
    WORD wLetter = stOptions.wLetter;
    if (strDevice.empty())
    {
        if (!wLetter)
            wLetter = pManager->GetWriter(0) ? pManager->GetWriter(0)->GetDriveLetter() : 0;
        unsigned int uIndex = 0;
        if (wLetter && pManager->GetWriterFromLetter(wLetter, uIndex))
        {
            nIndex = static_cast<long>(uIndex);
            strDevice = LinkTarget(wLetter);
        }
    }
    if (strDevice.empty() || nIndex < 0 || nIndex >= pManager->GetNbWriter() ||
        !pManager->GetWriter(static_cast<DWORD>(nIndex)))
    {
        std::printf("no drive to compare with: give a letter with a dosdevices link, or --device /dev/srN "
                    "--index N\n");
        MeasureEnumeration(pManager, stOptions.nRounds);
        RKDRV::ClearODDManager(pManager);
        return 0;
    }

    // The engine is built as this program is; unoptimised code shows in the
    // figures, since the raw calls have none to run.
#ifdef NDEBUG
    const char* szBuild = "optimised build";
#else
    const char* szBuild = "debug build: the engine's unoptimised code counts against it";
#endif
    std::printf("drive %s, writer %ld, %d rounds, %s\n", strDevice.c_str(), nIndex, stOptions.nRounds,
                szBuild);
    int nRaw = RawDriveStatus(strDevice);
    int nEngine = pManager->GetWriter(static_cast<DWORD>(nIndex))->IsMediaIn();
    std::printf("presence      engine %d, raw CDROM_DRIVE_STATUS %d (%s)\n", nEngine, nRaw,
                (nEngine == 1) == (nRaw == CDS_DISC_OK) ? "agree" : "DISAGREE");

    // Taken before the enumeration runs: Refresh replaces the writers.
    CRKWriter* pWriter = pManager->GetWriter(static_cast<DWORD>(nIndex));
    Compare(
        "IsMediaIn", stOptions.nRounds, [pWriter] { pWriter->IsMediaIn(); },
        [&strDevice] { RawDriveStatus(strDevice); });
    Compare(
        "GetMediaInfo", stOptions.nRounds, [pWriter] { pWriter->GetMediaInfo(); },
        [&strDevice] { RawMediaInfo(strDevice); });
    MeasureEnumeration(pManager, stOptions.nRounds);
    RKDRV::ClearODDManager(pManager);
    return 0;
}
} // namespace

int main(int nArgs, char** aszArgs)
{
    try
    {
        RKBenchOptions stOptions;
        if (!ParseOptions(nArgs, aszArgs, stOptions))
        {
            std::fprintf(
                stderr,
                "usage: rkdrv_sc_bench [LETTER | --device /dev/srN --index N] [--rounds N] [--seconds S]\n");
            return 2;
        }
        return Run(stOptions);
    }
    catch (...)
    {
        std::fprintf(stderr, "rkdrv_sc_bench: out of memory\n");
        return 1;
    }
}
