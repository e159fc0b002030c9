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
//   held    opened= media_in=           presence while the program holds the drive for writing
//   eject   result=                     the tray opened by the engine
//   wait    result= index= media= name= disc= reports=
//   drive   vendor= product= interface= loading= profile=
//   disc    present= profile= state= sessions= first= last= audio= data= blocks= block= free=
//   tray    open= present= locked=
//   tray-action action= result=         the engine's eject, close, lock, unlock
//   watch   event= index= letter= disc_present= media= name= disc=
//   watchend end=                       how the watch ended
//   trace   kind=Error text=            each error line of the engine
//   timeout step=                       the host never answered; the run ends
//   done
// Steps: "listed" (a CD is in), "dvd" (the host put a DVD in), "open" (the
// host opened the tray), "closed" (the host put the CD back; the engine
// ejects it), then the wait across drives, which the host ends with a disc;
// then the details of that disc, and "reopened" (the engine ejected it
// again), "reclosed" (the engine closed the tray), "locked" (the engine
// locked the door and holds the drive), "unlocked"; then a watch: once it
// has reported where the drive stands it creates FOLDER\watching.ready, the
// host takes the disc out and puts a CD in, and the watch ends at that disc.
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

std::string Known(DWORD dwValue)
{
    return dwValue == RKDETAILS_UNKNOWN ? std::string("?") : std::to_string(dwValue);
}

// The details through the library, as a host asks for them.
bool PrintDetails(CRKWriter* pWriter)
{
    RKTrayState stTray = {};
    stTray.cbSize = sizeof(stTray);
    RKDriveDetails stDrive = {};
    stDrive.cbSize = sizeof(stDrive);
    RKDiscDetails stDisc = {};
    stDisc.cbSize = sizeof(stDisc);
    if (!RKDRV::GetTrayState(pWriter, stTray) || !RKDRV::GetDriveDetails(pWriter, stDrive) ||
        !RKDRV::GetDiscDetails(pWriter, stDisc))
        return false;
    Print("drive\tvendor=" + Text(stDrive.szVendor) + "\tproduct=" + Text(stDrive.szProduct) +
          "\tinterface=" + Known(stDrive.dwInterface) + "\tloading=" + Known(stDrive.dwLoading) +
          "\tprofile=" + Known(stDrive.dwCurrentProfile));
    Print("disc\tpresent=" + Known(stDisc.dwDiscPresent) + "\tprofile=" + Known(stDisc.dwProfile) +
          "\tstate=" + Known(stDisc.dwDiscState) + "\tsessions=" + Known(stDisc.dwSessions) +
          "\tfirst=" + Known(stDisc.dwFirstTrack) + "\tlast=" + Known(stDisc.dwLastTrack) +
          "\taudio=" + Known(stDisc.dwAudioTracks) + "\tdata=" + Known(stDisc.dwDataTracks) +
          "\tblocks=" + Known(stDisc.dwCapacityBlocks) + "\tblock=" + Known(stDisc.dwBlockSize) +
          "\tfree=" + Known(stDisc.dwFreeBlocks));
    Print("tray\topen=" + Known(stTray.dwOpen) + "\tpresent=" + Known(stTray.dwMediaPresent) +
          "\tlocked=" + Known(stTray.dwLocked));
    return true;
}

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
        if (std::string(szStep) == "dvd")
        {
            // The drive held for writing, as a burning program holds it:
            // the presence check still sees the disc. (Wine shares devices
            // whatever is asked; the library's own tests hold it to the
            // share mode, on a file.)
            HANDLE hHeld =
                CreateFileW(L"\\\\.\\E:", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
            CRKWriter* pHeld = pManager->GetWriter(0);
            Print("held\topened=" + std::to_string(hHeld != INVALID_HANDLE_VALUE ? 1 : 0) +
                  "\tmedia_in=" + std::to_string(pHeld ? pHeld->IsMediaIn() : -1));
            if (hHeld != INVALID_HANDLE_VALUE)
                CloseHandle(hHeld);
        }
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
    pManager->SetCallBack(nullptr);
    if (!pWriter || !PrintDetails(pWriter))
        return 1;
    auto Action = [](const char* szAction, int nResult)
    { Print(std::string("tray-action\taction=") + szAction + "\tresult=" + std::to_string(nResult)); };
    Action("eject", pWriter->EjectTray());
    if (!handOver.Step("reopened"))
        return 1;
    Action("close", RKDRV::CloseTray(pWriter));
    if (!handOver.Step("reclosed"))
        return 1;
    Action("lock", RKDRV::LockTray(pWriter, 1));
    if (!handOver.Step("locked"))
        return 1;
    Action("unlock", RKDRV::LockTray(pWriter, 0));
    if (!handOver.Step("unlocked"))
        return 1;
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
