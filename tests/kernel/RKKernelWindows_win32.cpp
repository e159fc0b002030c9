// Runs under wine in the guest: the system engine's Windows build against
// the guest's drive, through the library's public interface only. Only
// Win32 code belongs here.
//
//   rkdrv_kernel_windows FOLDER
//
// Wine starts slowly under emulation, so one run does every step. Between
// steps the program hands over to the host: it creates FOLDER\<step>.ready,
// the host changes the drive and creates FOLDER\<step>.go. It prints one
// tab-separated record per line ("kind" then key=value fields):
//   manager valid= writers=             once
//   writer  step= index= letter= model= supported= media_in= media= name= disc=
//   eject   result=                     the tray opened by the engine
//   wait    result= index= media= name= disc= reports=
//   watch   event= index= letter= disc_present= media= name= disc=
//   watchend end=                       how the watch ended
//   trace   kind=Error text=            each error line of the engine
//   timeout step=                       the host never answered; the run ends
//   done
// Steps: "listed" (a CD is in), "dvd" (the host put a DVD in), "open" (the
// host opened the tray), "closed" (the host put the CD back; the engine
// ejects it), then the wait across drives, which the host ends with a disc,
// then a watch: once it has reported where the drive stands it creates
// FOLDER\watching.ready, the host takes the disc out and puts a CD in, and
// the watch ends at that disc.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>

#include "RKDRV.h"

namespace
{
std::string Text(const unsigned short* szText)
{
    std::string strText;
    for (; szText && *szText; ++szText)
        strText += *szText < 0x80 ? static_cast<char>(*szText) : '?';
    return strText;
}

std::string Hex(DWORD dwValue)
{
    char szText[16];
    std::snprintf(szText, sizeof(szText), "0x%08x", static_cast<unsigned>(dwValue));
    return szText;
}

std::string MediaFields(const RKMediaInfo& stInfo)
{
    return "media=" + Hex(stInfo.dwMediaType) + "\tname=" + Text(stInfo.GetMediaType()) +
           "\tdisc=" + std::to_string(stInfo.dwDiscType);
}

void Print(const std::string& strRecord)
{
    std::printf("%s\n", strRecord.c_str());
    std::fflush(stdout);
}

class CRKErrorSink : public CRKLogSink
{
public:
    void Write(RKLogKind eKind, const unsigned short* szText) override
    {
        if (eKind == RKLOG_ERROR)
            Print("trace\tkind=Error\ttext=" + Text(szText));
    }
};

class CRKHandOver
{
public:
    explicit CRKHandOver(const std::string& strFolder) : m_strFolder(strFolder) {}

    // Tells the host the step is done.
    void Ready(const std::string& strStep)
    {
        HANDLE hReady = CreateFileA((m_strFolder + "\\" + strStep + ".ready").c_str(), GENERIC_WRITE, 0,
                                    nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (hReady != INVALID_HANDLE_VALUE)
            CloseHandle(hReady);
    }

    // Tells the host the step is done and waits, bounded, for its answer.
    bool Step(const std::string& strStep)
    {
        Ready(strStep);
        std::string strGo = m_strFolder + "\\" + strStep + ".go";
        for (int nTry = 0; nTry < 1200; ++nTry)
        {
            if (GetFileAttributesA(strGo.c_str()) != INVALID_FILE_ATTRIBUTES)
                return true;
            Sleep(100);
        }
        Print("timeout\tstep=" + strStep);
        return false;
    }

private:
    std::string m_strFolder;
};

void PrintWriters(CRKDRVManager* pManager, const std::string& strStep)
{
    for (int nIndex = 0; nIndex < pManager->GetNbWriter(); ++nIndex)
    {
        CRKWriter* pWriter = pManager->GetWriter(static_cast<DWORD>(nIndex));
        if (!pWriter)
            continue;
        int nMediaIn = pWriter->IsMediaIn();
        RKMediaInfo stInfo = pWriter->GetMediaInfo();
        WORD wLetter = pWriter->GetDriveLetter();
        Print("writer\tstep=" + strStep + "\tindex=" + std::to_string(nIndex) + "\tletter=" +
              std::string(1, wLetter > 0x20 && wLetter < 0x7F ? static_cast<char>(wLetter) : '?') +
              "\tmodel=" + Text(pWriter->GetModelName()) +
              "\tsupported=" + Hex(pWriter->GetSupportedMedia()) + "\tmedia_in=" + std::to_string(nMediaIn) +
              "\t" + MediaFields(stInfo));
    }
}

// Polls until the host ends the wait with a disc, a minute at most.
class CRKWaitCallBack : public CRKWriterCallBack
{
public:
    int CallBack(DWORD, RKWRITERCALLBACKINFO& info) override
    {
        if (info.step != RKSTEP_POLL)
            return 1;
        ++m_nReports;
        return GetTickCount64() - m_ullStart < 60000 ? 1 : 0;
    }
    int m_nReports = 0;

private:
    ULONGLONG m_ullStart = GetTickCount64();
};

// Prints each event; hands over once the start is reported, ends at the
// first disc inserted.
class CRKWatchPrinter : public CRKWatchCallBack
{
public:
    explicit CRKWatchPrinter(CRKHandOver& handOver) : m_handOver(handOver) {}

    int OnWatchEvent(const RKWatchEvent& stEvent) override
    {
        RKMediaInfo stInfo;
        stInfo.dwMediaType = stEvent.dwMediaType;
        stInfo.dwDiscType = stEvent.dwDiscType;
        Print("watch\tevent=" + std::to_string(stEvent.dwKind) +
              "\tindex=" + std::to_string(stEvent.dwIndex) +
              "\tletter=" + std::string(1, static_cast<char>(stEvent.wLetter)) +
              "\tdisc_present=" + std::to_string(stEvent.dwDiscPresent) + "\t" + MediaFields(stInfo));
        if (stEvent.dwKind == RKWATCH_STATE)
            m_handOver.Ready("watching");
        return stEvent.dwKind == RKWATCH_DISC_INSERTED ? 0 : 1;
    }

private:
    CRKHandOver& m_handOver;
};

void Watch(CRKDRVManager* pManager, CRKHandOver& handOver)
{
    RKWatchSettings stSettings = {sizeof(stSettings), 100, 60000, 0, {}};
    HRKWATCH hWatch = RKDRV::CreateWatch(pManager, &stSettings);
    CRKWatchPrinter printer(handOver);
    Print("watchend\tend=" + std::to_string(hWatch ? RKDRV::RunWatch(hWatch, &printer) : 0));
    RKDRV::CloseWatch(hWatch);
}

int Run(CRKDRVManager* pManager, CRKHandOver& handOver)
{
    Print("manager\tvalid=" + std::to_string(pManager->IsValid()) +
          "\twriters=" + std::to_string(pManager->GetNbWriter()));
    for (const char* szStep : {"listed", "dvd", "open"})
    {
        PrintWriters(pManager, szStep);
        if (!handOver.Step(szStep))
            return 1;
    }
    PrintWriters(pManager, "closed");
    CRKWriter* pWriter = pManager->GetWriter(0);
    Print("eject\tresult=" + std::to_string(pWriter ? pWriter->EjectTray() : -1));
    if (!handOver.Step("closed"))
        return 1;

    CRKWaitCallBack cbWait;
    pManager->SetCallBack(&cbWait);
    RKMediaInfo stInfo;
    DWORD dwIndex = 0xFFFFFFFF;
    int nResult = pManager->WaitMedia(stInfo, dwIndex);
    Print("wait\tresult=" + std::to_string(nResult) +
          "\tindex=" + std::to_string(static_cast<long>(dwIndex)) + "\t" + MediaFields(stInfo) +
          "\treports=" + std::to_string(cbWait.m_nReports));
    Watch(pManager, handOver);
    Print("done");
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: rkdrv_kernel_windows FOLDER\n");
        return 2;
    }
    // Lines end as the host reads them, without a carriage return.
    _setmode(_fileno(stdout), _O_BINARY);
    CRKErrorSink sink;
    CRKLog::GetInstance()->SetSink(&sink);
    CRKHandOver handOver(argv[1]);
    CRKDRVManager* pManager = RKDRV::GetODDManager(RKDRV_ENGINE_SC);
    int nStatus = 1;
    if (pManager)
        nStatus = Run(pManager, handOver);
    else
        Print("manager\tvalid=0\twriters=0");
    RKDRV::ClearODDManager(pManager);
    CRKLog::GetInstance()->SetSink(nullptr);
    return nStatus;
}
