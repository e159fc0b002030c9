// Linux benchmark of a drive's details. Only Linux code belongs here.
//
// Asks one drive what "rkdrv info" asks of it (the listing, IsMediaIn, then
// the tray's state, the drive's and the disc's details) through the system
// engine over a transport that records every command, and prints them:
// how many, which, and whether any went twice. Then it times the details
// part against the same commands sent raw through SG_IO on one open
// descriptor, interleaved call by call, as the ratio of the medians.
//
//   rkdrv_sc_details_bench --device /dev/srN [--rounds N]
#include <fcntl.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <climits>
#include <linux/cdrom.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "RKDRV.h"
#include "RKScManager.h"
#include "RKScMmcDetails.h"
#include "RKScTransport_linux.h"
#include "RKScWriter.h"

namespace
{
typedef std::chrono::steady_clock RKClock;

struct RKRecorded
{
    std::vector<std::uint8_t> vecCdb; // empty for the kernel's drive status
    std::size_t nLength;              // the allocation the engine gave
    int nOpen;                        // which open of the drive sent it
};

// What the engine did to the drive, in order.
struct RKLog
{
    std::vector<RKRecorded> vecCommands;
    std::vector<RKRecorded> vecStatusCalls;
    int nOpens = 0;
};

class CRKRecordingDevice : public CRKScDevice
{
public:
    CRKRecordingDevice(std::unique_ptr<CRKScDevice> pInner, RKLog& log)
        : m_pInner(std::move(pInner)), m_log(log), m_nOpen(log.nOpens)
    {
    }

    void SendCommand(const std::uint8_t* pbCdb, std::size_t nCdbLength, std::uint8_t* pbData,
                     std::size_t nDataLength, RKScCommandResult& stResult) override
    {
        m_log.vecCommands.push_back(
            {std::vector<std::uint8_t>(pbCdb, pbCdb + nCdbLength), nDataLength, m_nOpen});
        m_pInner->SendCommand(pbCdb, nCdbLength, pbData, nDataLength, stResult);
        Learn();
    }
    RKScDriveStatus GetDriveStatus() override
    {
        m_log.vecStatusCalls.push_back({std::vector<std::uint8_t>(), 0, m_nOpen});
        RKScDriveStatus eStatus = m_pInner->GetDriveStatus();
        Learn();
        return eStatus;
    }
    RKScEjectStatus Eject(std::string& strProblem) override
    {
        RKScEjectStatus eStatus = m_pInner->Eject(strProblem);
        Learn();
        return eStatus;
    }
    void Pause(DWORD dwMilliseconds) override { m_pInner->Pause(dwMilliseconds); }
    RKScTrayResult CloseTray(std::string& strProblem) override
    {
        RKScTrayResult eResult = m_pInner->CloseTray(strProblem);
        Learn();
        return eResult;
    }
    RKScTrayResult LockDoor(bool bLock, std::string& strProblem) override
    {
        RKScTrayResult eResult = m_pInner->LockDoor(bLock, strProblem);
        Learn();
        return eResult;
    }

private:
    // What the system told the inner device, the engine reads here.
    void Learn()
    {
        if (m_strGone.empty())
            m_strGone = m_pInner->m_strGone;
    }

    std::unique_ptr<CRKScDevice> m_pInner;
    RKLog& m_log;
    int m_nOpen;
};

class CRKRecordingTransport : public CRKScTransport
{
public:
    CRKRecordingTransport(std::shared_ptr<CRKScTransport> pInner, const std::string& strDevice, RKLog& log)
        : m_pInner(std::move(pInner)), m_strDevice(strDevice), m_log(log)
    {
    }

    bool ListDrives(RKScDriveList& stList, std::string& strProblem) override
    {
        return m_pInner->ListDrives(stList, strProblem);
    }
    // Only the measured drive's commands are recorded.
    std::unique_ptr<CRKScDevice> Open(const RKScDriveEntry& stEntry, std::string& strProblem) override
    {
        std::unique_ptr<CRKScDevice> pDevice = m_pInner->Open(stEntry, strProblem);
        if (!pDevice || stEntry.strDevice != m_strDevice)
            return pDevice;
        ++m_log.nOpens;
        return std::unique_ptr<CRKScDevice>(new CRKRecordingDevice(std::move(pDevice), m_log));
    }
    bool ProvidesPresence() const override { return m_pInner->ProvidesPresence(); }
    bool LockNeedsDevice() const override { return m_pInner->LockNeedsDevice(); }

private:
    std::shared_ptr<CRKScTransport> m_pInner;
    std::string m_strDevice;
    RKLog& m_log;
};

const char* CommandName(std::uint8_t bOperation)
{
    static const std::map<std::uint8_t, const char*> s_mapNames = {
        {RKSC_OP_TEST_UNIT_READY, "TEST UNIT READY"},
        {RKSC_OP_INQUIRY, "INQUIRY"},
        {RKSC_OP_GET_CONFIGURATION, "GET CONFIGURATION"},
        {RKSC_OP_GET_EVENT_STATUS, "GET EVENT STATUS NOTIFICATION"},
        {RKSC_OP_READ_DISC_INFORMATION, "READ DISC INFORMATION"},
        {RKSC_OP_READ_FORMAT_CAPACITIES, "READ FORMAT CAPACITIES"},
        {RKSC_OP_READ_CAPACITY, "READ CAPACITY"},
        {RKSC_OP_READ_10, "READ (10)"},
        {RKSC_OP_READ_TOC, "READ TOC"},
        {RKSC_OP_READ_TRACK_INFORMATION, "READ TRACK INFORMATION"},
        {RKSC_OP_MODE_SENSE_10, "MODE SENSE (10)"},
        {RKSC_OP_GET_PERFORMANCE, "GET PERFORMANCE"},
        {RKSC_OP_MECHANISM_STATUS, "MECHANISM STATUS"},
    };
    auto it = s_mapNames.find(bOperation);
    return it == s_mapNames.end() ? "?" : it->second;
}

std::string Hex(const std::vector<std::uint8_t>& vecBytes)
{
    std::string strText;
    char szByte[4];
    for (std::uint8_t b : vecBytes)
    {
        std::snprintf(szByte, sizeof(szByte), "%02x", b);
        strText += (strText.empty() ? "" : " ") + std::string(szByte);
    }
    return strText;
}

// The tool's info: presence, then the tray, the drive and (with a disc) the disc.
void AskDetails(CRKWriter* pWriter)
{
    bool bDisc = pWriter->IsMediaIn() != 0;
    RKTrayState stTray = {};
    stTray.cbSize = sizeof(stTray);
    RKDRV::GetTrayState(pWriter, stTray);
    RKDriveDetails stDrive = {};
    stDrive.cbSize = sizeof(stDrive);
    RKDRV::GetDriveDetails(pWriter, stDrive);
    if (bDisc)
    {
        RKDiscDetails stDisc = {};
        stDisc.cbSize = sizeof(stDisc);
        RKDRV::GetDiscDetails(pWriter, stDisc);
    }
}

// The same calls, raw: the kernel's status, then each command with the
// engine's allocation; on one descriptor (bReopen false), or opened anew
// wherever the engine opened the drive anew.
void RawDetails(const std::string& strDevice, const std::vector<RKRecorded>& vecCalls, bool bReopen)
{
    int nFd = -1;
    int nOpen = -1;
    std::vector<std::uint8_t> vecData(65536);
    std::uint8_t abSense[RKSC_SENSE_MAX];
    for (const RKRecorded& stCall : vecCalls)
    {
        if (nFd < 0 || (bReopen && stCall.nOpen != nOpen))
        {
            if (nFd >= 0)
                close(nFd);
            nFd = open(strDevice.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
            nOpen = stCall.nOpen;
            if (nFd < 0)
                return;
        }
        if (stCall.vecCdb.empty())
        {
            ioctl(nFd, CDROM_DRIVE_STATUS, CDSL_CURRENT);
            continue;
        }
        sg_io_hdr_t stHeader;
        std::memset(&stHeader, 0, sizeof(stHeader));
        stHeader.interface_id = 'S';
        stHeader.dxfer_direction = stCall.nLength ? SG_DXFER_FROM_DEV : SG_DXFER_NONE;
        stHeader.cmd_len = static_cast<unsigned char>(stCall.vecCdb.size());
        stHeader.cmdp = const_cast<unsigned char*>(stCall.vecCdb.data());
        stHeader.dxfer_len = static_cast<unsigned int>(stCall.nLength);
        stHeader.dxferp = stCall.nLength ? vecData.data() : nullptr;
        stHeader.mx_sb_len = sizeof(abSense);
        stHeader.sbp = abSense;
        stHeader.timeout = RKSC_COMMAND_TIMEOUT_MS;
        ioctl(nFd, SG_IO, &stHeader);
    }
    if (nFd >= 0)
        close(nFd);
}

double Microseconds(const std::function<void()>& fnCall)
{
    RKClock::time_point tStart = RKClock::now();
    fnCall();
    return std::chrono::duration<double, std::micro>(RKClock::now() - tStart).count();
}

double Median(std::vector<double> vecValues)
{
    std::sort(vecValues.begin(), vecValues.end());
    std::size_t nMiddle = vecValues.size() / 2;
    return vecValues.size() % 2 ? vecValues[nMiddle] : (vecValues[nMiddle - 1] + vecValues[nMiddle]) / 2;
}

void PrintCommands(const char* szWhat, const std::vector<RKRecorded>& vecCommands, std::size_t nFrom,
                   std::size_t nTo)
{
    std::printf("%s: %zu commands\n", szWhat, nTo - nFrom);
    for (std::size_t i = nFrom; i < nTo; ++i)
        std::printf("  %-30s %s (%zu bytes)\n", CommandName(vecCommands[i].vecCdb[0]),
                    Hex(vecCommands[i].vecCdb).c_str(), vecCommands[i].nLength);
}

int Run(const std::string& strDevice, int nRounds)
{
    RKLog log;
    std::shared_ptr<CRKScTransport> pTransport =
        std::make_shared<CRKRecordingTransport>(RKScCreateLinuxTransport(RKScLinuxFolders()), strDevice, log);
    std::unique_ptr<CRKScManager> pManager(new CRKScManager(pTransport));
    std::size_t nListing = log.vecCommands.size();
    CRKWriter* pWriter = nullptr;
    for (int i = 0; i < pManager->GetNbWriter(); ++i)
    {
        if (CRKScWriter* pScWriter = dynamic_cast<CRKScWriter*>(pManager->GetWriter(static_cast<DWORD>(i))))
        {
            if (pScWriter->GetDevice() == strDevice)
                pWriter = pScWriter;
        }
    }
    if (!pWriter)
    {
        std::printf("no drive %s among the engine's writers: nothing to measure\n", strDevice.c_str());
        pManager.release()->Release();
        return 0;
    }
    int nOpensListing = log.nOpens;
    AskDetails(pWriter);
    // The details' calls in the order they went: the status, then commands.
    std::vector<RKRecorded> vecDetails = log.vecStatusCalls;
    vecDetails.insert(vecDetails.end(), log.vecCommands.begin() + static_cast<long>(nListing),
                      log.vecCommands.end());
    std::stable_sort(vecDetails.begin(), vecDetails.end(),
                     [](const RKRecorded& a, const RKRecorded& b) { return a.nOpen < b.nOpen; });

    std::printf("rkdrv info on %s: %zu commands, %d opens, %zu kernel status calls\n", strDevice.c_str(),
                log.vecCommands.size(), log.nOpens, log.vecStatusCalls.size());
    PrintCommands("listing (Identify)", log.vecCommands, 0, nListing);
    PrintCommands("details (IsMediaIn, GetTrayState, GetDriveDetails, GetDiscDetails)", log.vecCommands,
                  nListing, log.vecCommands.size());
    std::printf("opens: %d listing, %d details\n", nOpensListing, log.nOpens - nOpensListing);
    int nTwice = 0;
    for (std::size_t i = 0; i < log.vecCommands.size(); ++i)
    {
        for (std::size_t j = i + 1; j < log.vecCommands.size(); ++j)
        {
            if (log.vecCommands[i].vecCdb == log.vecCommands[j].vecCdb)
            {
                std::printf("sent twice: %s %s\n", CommandName(log.vecCommands[i].vecCdb[0]),
                            Hex(log.vecCommands[i].vecCdb).c_str());
                ++nTwice;
            }
        }
    }
    if (nTwice == 0)
        std::printf("no command sent twice\n");

#ifdef NDEBUG
    const char* szBuild = "optimised build";
#else
    const char* szBuild = "debug build: the engine's unoptimised code counts against it";
#endif
    // Interleaved, each taking its turn first; the first rounds warm up.
    std::vector<std::function<void()>> vecCalls = {
        [pWriter] { AskDetails(pWriter); },
        [&] { RawDetails(strDevice, vecDetails, false); },
        [&] { RawDetails(strDevice, vecDetails, true); },
    };
    std::vector<std::vector<double>> vecTimes(vecCalls.size());
    for (int i = 0; i < nRounds + 3; ++i)
    {
        for (std::size_t j = 0; j < vecCalls.size(); ++j)
        {
            std::size_t nCall = (static_cast<std::size_t>(i) + j) % vecCalls.size();
            double dTime = Microseconds(vecCalls[nCall]);
            if (i >= 3)
                vecTimes[nCall].push_back(dTime);
        }
    }
    double dEngine = Median(vecTimes[0]);
    double dOnce = Median(vecTimes[1]);
    double dReopened = Median(vecTimes[2]);
    std::printf("details       engine %.1f us; the same calls raw: %.1f us on one descriptor (ratio %.3f), "
                "%.1f us opened where the engine opens (ratio %.3f); %d rounds, %s\n",
                dEngine, dOnce, dOnce > 0 ? dEngine / dOnce : 0.0, dReopened,
                dReopened > 0 ? dEngine / dReopened : 0.0, nRounds, szBuild);
    pManager.release()->Release();
    return 0;
}
} // namespace

int main(int nArgs, char** aszArgs)
{
    try
    {
        std::string strDevice;
        int nRounds = 100;
        bool bUsage = false;
        for (int i = 1; i < nArgs; ++i)
        {
            std::string strArg = aszArgs[i];
            if (strArg == "--device" && i + 1 < nArgs)
                strDevice = aszArgs[++i];
            else if (strArg == "--rounds" && i + 1 < nArgs)
                nRounds = std::max(1, std::min(100000, std::atoi(aszArgs[++i])));
            else
                bUsage = true;
        }
        if (bUsage || strDevice.empty())
        {
            std::fprintf(stderr, "usage: rkdrv_sc_details_bench --device /dev/srN [--rounds N]\n");
            return 2;
        }
        return Run(strDevice, nRounds);
    }
    catch (...)
    {
        std::fprintf(stderr, "rkdrv_sc_details_bench: out of memory\n");
        return 1;
    }
}
