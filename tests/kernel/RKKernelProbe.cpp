// Runs in the guest: asks an engine, through the library's public interface
// only, what it sees of the guest's drives, and prints one tab-separated
// record per line ("kind" then key=value fields) for the host to compare.
//
//   rkdrv_kernel_probe ENGINE list
//   rkdrv_kernel_probe ENGINE wait INDEX|any [options]   the manager's wait
//   rkdrv_kernel_probe ENGINE writer-wait INDEX [options] one writer's wait
//   rkdrv_kernel_probe ENGINE eject INDEX
//   rkdrv_kernel_probe ENGINE refresh [options]           Refresh until the count changes
//   rkdrv_kernel_probe ENGINE replug INDEX [options]      a drive that goes while listed
//
// Options: --reports N (the callback stops after N reports), --seconds S
// (it stops after S seconds; refresh gives up), --ready FILE (created at
// the first report of a poll, when the wait is polling; for refresh once
// the first count is known), --refresh (after a wait: Refresh, then the
// writers again), --count FILE (rewritten with the number of reports at
// each report, for the host to follow a wait's polls).
//
// replug lists the writers, creates FILE (--ready) and waits, up to S
// seconds, for FILE.go, which the host creates once it has replaced the
// drive at INDEX; then it asks that writer everything again ("after"
// record: media_in, media, name, disc, eject), and lists the writers after
// a Refresh.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include "RKDRV.h"

namespace
{
typedef std::chrono::steady_clock RKClock;

std::string Utf8(const unsigned short* szText)
{
    std::string strOut;
    for (; szText && *szText; ++szText)
    {
        unsigned uChar = *szText;
        if (uChar >= 0xD800 && uChar < 0xDC00 && szText[1] >= 0xDC00 && szText[1] < 0xE000)
            uChar = 0x10000 + ((uChar - 0xD800) << 10) + (*++szText - 0xDC00);
        if (uChar < 0x80)
            strOut += static_cast<char>(uChar);
        else if (uChar < 0x800)
            strOut += {static_cast<char>(0xC0 | (uChar >> 6)), static_cast<char>(0x80 | (uChar & 0x3F))};
        else if (uChar < 0x10000)
            strOut +=
                {static_cast<char>(0xE0 | (uChar >> 12)), static_cast<char>(0x80 | ((uChar >> 6) & 0x3F)),
                 static_cast<char>(0x80 | (uChar & 0x3F))};
        else
            strOut +=
                {static_cast<char>(0xF0 | (uChar >> 18)), static_cast<char>(0x80 | ((uChar >> 12) & 0x3F)),
                 static_cast<char>(0x80 | ((uChar >> 6) & 0x3F)), static_cast<char>(0x80 | (uChar & 0x3F))};
    }
    return strOut;
}

std::string Hex(DWORD dwValue)
{
    char szText[16];
    std::snprintf(szText, sizeof(szText), "0x%08x", static_cast<unsigned>(dwValue));
    return szText;
}

std::string Letter(WORD wLetter)
{
    if (wLetter > 0x20 && wLetter < 0x7F)
        return std::string(1, static_cast<char>(wLetter));
    return "U+" + Hex(wLetter).substr(6);
}

std::string MediaFields(const RKMediaInfo& stInfo)
{
    return "media=" + Hex(stInfo.dwMediaType) + "\tname=" + Utf8(stInfo.GetMediaType()) +
           "\tdisc=" + std::to_string(stInfo.dwDiscType);
}

// Error records, in the order they are written.
class CRKProbeSink : public CRKLogSink
{
public:
    void Write(RKLogKind eKind, const unsigned short* szText) override
    {
        if (eKind == RKLOG_ERROR)
            std::printf("trace\tkind=Error\ttext=%s\n", Utf8(szText).c_str());
    }
};

struct RKProbeOptions
{
    long nReports = -1;
    double dSeconds = -1;
    std::string strReady;
    bool bRefresh = false;
    std::string strCount;
};

bool FileExists(const std::string& strPath)
{
    return std::ifstream(strPath).good();
}

void MarkReady(const RKProbeOptions& stOptions)
{
    if (!stOptions.strReady.empty())
        std::ofstream(stOptions.strReady) << "ready\n";
}

class CRKProbeCallBack : public CRKWriterCallBack
{
public:
    explicit CRKProbeCallBack(const RKProbeOptions& stOptions) : m_stOptions(stOptions) {}

    int CallBack(DWORD dwType, RKWRITERCALLBACKINFO& info) override
    {
        ++m_nReports;
        double dElapsed = std::chrono::duration<double>(RKClock::now() - m_tpStart).count();
        std::printf("report\tcount=%ld\ttype=%u\tstep=%d\tseconds=%.1f\n", m_nReports,
                    static_cast<unsigned>(dwType), info.step, dElapsed);
        std::fflush(stdout);
        if (!m_stOptions.strCount.empty())
        {
            // Whole or not at all: written beside, then moved over.
            std::ofstream(m_stOptions.strCount + ".tmp") << m_nReports << "\n";
            std::rename((m_stOptions.strCount + ".tmp").c_str(), m_stOptions.strCount.c_str());
        }
        if (info.step != RKSTEP_STARTED && !m_bPolling)
        {
            m_bPolling = true;
            MarkReady(m_stOptions);
        }
        if (m_stOptions.nReports >= 0 && m_nReports >= m_stOptions.nReports)
            return 0;
        if (m_stOptions.dSeconds >= 0 && dElapsed >= m_stOptions.dSeconds)
            return 0;
        return 1;
    }
    long Reports() const { return m_nReports; }

private:
    RKProbeOptions m_stOptions;
    RKClock::time_point m_tpStart = RKClock::now();
    long m_nReports = 0;
    bool m_bPolling = false;
};

void PrintWriters(CRKDRVManager* pManager)
{
    int nCount = pManager->GetNbWriter();
    std::printf("writers\tcount=%d\n", nCount);
    for (int nIndex = 0; nIndex < nCount; ++nIndex)
    {
        CRKWriter* pWriter = pManager->GetWriter(static_cast<DWORD>(nIndex));
        if (!pWriter)
        {
            std::printf("writer\tindex=%d\tnull=1\n", nIndex);
            continue;
        }
        int nMediaIn = pWriter->IsMediaIn();
        // The library's own presence test for the same letter.
        int nBaseMediaIn = pWriter->CRKWriter::IsMediaIn();
        RKMediaInfo stInfo = pWriter->GetMediaInfo();
        std::printf(
            "writer\tindex=%d\tletter=%s\tmodel=%s\tsupported=%s\tmedia_in=%d\tbase_media_in=%d\t%s\n",
            nIndex, Letter(pWriter->GetDriveLetter()).c_str(), Utf8(pWriter->GetModelName()).c_str(),
            Hex(pWriter->GetSupportedMedia()).c_str(), nMediaIn, nBaseMediaIn, MediaFields(stInfo).c_str());
    }
}

bool ParseIndex(const char* szText, DWORD& dwIndex)
{
    if (std::strcmp(szText, "any") == 0)
    {
        dwIndex = 0xFFFFFFFFu;
        return true;
    }
    char* pEnd = nullptr;
    unsigned long ulValue = std::strtoul(szText, &pEnd, 0);
    dwIndex = static_cast<DWORD>(ulValue);
    return *szText && !*pEnd;
}

int Usage()
{
    std::fprintf(
        stderr,
        "usage: rkdrv_kernel_probe ENGINE list|wait INDEX|writer-wait INDEX|eject INDEX|refresh|replug INDEX"
        " [--reports N] [--seconds S] [--ready FILE] [--refresh] [--count FILE]\n");
    return 2;
}

int RunCommand(CRKDRVManager* pManager, const std::string& strCommand, const char* szIndex,
               const RKProbeOptions& stOptions)
{
    DWORD dwIndex = 0;
    if (strCommand == "list")
    {
        PrintWriters(pManager);
        return 0;
    }
    if (strCommand == "refresh")
    {
        int nBefore = pManager->GetNbWriter();
        MarkReady(stOptions);
        RKClock::time_point tpStart = RKClock::now();
        int nAfter = nBefore;
        double dElapsed = 0;
        while (nAfter == nBefore && (stOptions.dSeconds < 0 || dElapsed < stOptions.dSeconds))
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            int nResult = pManager->Refresh();
            nAfter = pManager->GetNbWriter();
            dElapsed = std::chrono::duration<double>(RKClock::now() - tpStart).count();
            if (nAfter != nBefore)
                std::printf("refresh\tresult=%d\tbefore=%d\tafter=%d\tseconds=%.1f\n", nResult, nBefore,
                            nAfter, dElapsed);
        }
        PrintWriters(pManager);
        return nAfter != nBefore ? 0 : 1;
    }
    if (!szIndex || !ParseIndex(szIndex, dwIndex))
        return Usage();
    if (strCommand == "replug")
    {
        PrintWriters(pManager);
        MarkReady(stOptions);
        RKClock::time_point tpStart = RKClock::now();
        while (!FileExists(stOptions.strReady + ".go"))
        {
            if (std::chrono::duration<double>(RKClock::now() - tpStart).count() > stOptions.dSeconds)
                return 1;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        CRKWriter* pWriter = pManager->GetWriter(dwIndex);
        if (!pWriter)
            return 1;
        int nMediaIn = pWriter->IsMediaIn();
        RKMediaInfo stInfo = pWriter->GetMediaInfo();
        int nEject = pWriter->EjectTray();
        std::printf("after\tindex=%u\tmedia_in=%d\t%s\teject=%d\n", static_cast<unsigned>(dwIndex), nMediaIn,
                    MediaFields(stInfo).c_str(), nEject);
        std::printf("refresh\tresult=%d\n", pManager->Refresh());
        PrintWriters(pManager);
        return 0;
    }
    if (strCommand == "eject")
    {
        CRKWriter* pWriter = pManager->GetWriter(dwIndex);
        int nResult = pWriter ? pWriter->EjectTray() : -1;
        std::printf("eject\tindex=%u\tresult=%d\n", static_cast<unsigned>(dwIndex), nResult);
        return pWriter ? 0 : 1;
    }
    CRKProbeCallBack cbProbe(stOptions);
    if (strCommand == "wait")
    {
        pManager->SetCallBack(&cbProbe);
        RKMediaInfo stInfo = {};
        int nResult = pManager->WaitMedia(stInfo, dwIndex);
        std::printf("wait\tresult=%d\tindex=%s\t%s\treports=%ld\n", nResult,
                    dwIndex == 0xFFFFFFFFu ? "any" : std::to_string(dwIndex).c_str(),
                    MediaFields(stInfo).c_str(), cbProbe.Reports());
        if (stOptions.bRefresh)
        {
            pManager->SetCallBack(nullptr);
            std::printf("refresh\tresult=%d\n", pManager->Refresh());
            PrintWriters(pManager);
        }
        return 0;
    }
    if (strCommand == "writer-wait")
    {
        CRKWriter* pWriter = pManager->GetWriter(dwIndex);
        if (!pWriter)
            return 1;
        pWriter->SetCallBack(&cbProbe);
        RKMediaInfo stInfo = pWriter->WaitMedia();
        pWriter->SetCallBack(nullptr);
        std::printf("writer-wait\tindex=%u\t%s\treports=%ld\n", static_cast<unsigned>(dwIndex),
                    MediaFields(stInfo).c_str(), cbProbe.Reports());
        return 0;
    }
    return Usage();
}
} // namespace

int main(int nArgs, char** aszArgs)
{
    // Records reach the host even when the guest kills the program.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (nArgs < 3)
        return Usage();
    char* pEnd = nullptr;
    DWORD dwEngine = static_cast<DWORD>(std::strtoul(aszArgs[1], &pEnd, 0));
    if (!*aszArgs[1] || *pEnd)
        return Usage();
    std::string strCommand = aszArgs[2];
    const char* szIndex = nullptr;
    RKProbeOptions stOptions;
    for (int nArg = 3; nArg < nArgs; ++nArg)
    {
        std::string strArg = aszArgs[nArg];
        if (strArg == "--reports" && nArg + 1 < nArgs)
            stOptions.nReports = std::atol(aszArgs[++nArg]);
        else if (strArg == "--seconds" && nArg + 1 < nArgs)
            stOptions.dSeconds = std::atof(aszArgs[++nArg]);
        else if (strArg == "--ready" && nArg + 1 < nArgs)
            stOptions.strReady = aszArgs[++nArg];
        else if (strArg == "--refresh")
            stOptions.bRefresh = true;
        else if (strArg == "--count" && nArg + 1 < nArgs)
            stOptions.strCount = aszArgs[++nArg];
        else if (!szIndex && strArg.compare(0, 2, "--") != 0)
            szIndex = aszArgs[nArg];
        else
            return Usage();
    }

    CRKProbeSink sinkErrors;
    CRKLog::GetInstance()->SetSink(&sinkErrors);
    CRKDRVManager* pManager = RKDRV::GetODDManager(dwEngine);
    if (!pManager)
    {
        std::printf("error\ttext=no manager for engine %s\n", Hex(dwEngine).c_str());
        CRKLog::GetInstance()->SetSink(nullptr);
        return 3;
    }
    int nResult = RunCommand(pManager, strCommand, szIndex, stOptions);
    RKDRV::ClearODDManager(pManager);
    CRKLog::GetInstance()->SetSink(nullptr);
    return nResult;
}
