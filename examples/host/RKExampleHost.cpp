// An example host: asks for any engine, lists its drives, finds drive E,
// installs a progress callback on every drive, waits for a disc, and
// switches engines while keeping the drive indexes.
//
//   rkdrv_example [-v] [--wait LETTER|any] [--sim]
//
// Without --wait it waits on any drive of the sample engine's simulated set:
// drive letters name image files in a temporary folder (RKDRV_SAMPLE_IMAGES),
// and a disc "arrives" in drive E after 3 seconds. With --wait it waits on
// the drives the engine finds (for the sample engine without that folder, the
// library's own presence test), unless --sim is given too. Ctrl-C cancels the
// wait at its next poll.
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "RKDRV.h"
#include "RKSampleDrives.h"

namespace
{
std::string ToNarrow(const unsigned short* szText)
{
    std::string strOut;
    for (; szText && *szText; ++szText)
        strOut += *szText < 0x80 ? static_cast<char>(*szText) : '?';
    return strOut;
}

class CRKPrintingCallBack : public CRKWriterCallBack
{
public:
    int CallBack(DWORD dwType, RKWRITERCALLBACKINFO& info) override
    {
        std::printf("  progress: type %u, step %d\n", static_cast<unsigned>(dwType), info.step);
        return 1;
    }
};

// Shows the library's own trace when run with -v.
class CRKPrintingSink : public CRKLogSink
{
public:
    void Write(RKLogKind kind, const unsigned short* text) override
    {
        static const char* const s_aszKinds[] = {"enter", "exit", "step", "info", "error", "var"};
        std::printf("  [trace %s] %s\n", s_aszKinds[kind], ToNarrow(text).c_str());
    }
};

// Switches to another engine: the drives the host knows keep their indexes,
// drives new to it follow. Writer pointers from before are dead afterwards.
// False when no manager came back: the host then has none.
bool ShowReload(CRKDRVManager*& pManager)
{
    auto ListDrives = [&pManager]()
    {
        for (int i = 0; i < pManager->GetNbWriter(); ++i)
        {
            CRKWriter* pWriter = pManager->GetWriter(static_cast<DWORD>(i));
            if (pWriter)
                std::printf("  %d: %c: %s\n", i, static_cast<char>(pWriter->GetDriveLetter()),
                            ToNarrow(pWriter->GetModelName()).c_str());
            else
                std::printf("  %d: (drive no longer found)\n", i);
        }
    };
    std::printf("Drives before the reload:\n");
    ListDrives();
    if (!RKDRV::ReloadODDManager(pManager, RKDRV_ENGINE_RD))
    {
        std::printf("Reload failed; no manager left.\n");
        return false;
    }
    std::printf("Reloaded with engine 0x%X; the known drives kept their indexes:\n",
                static_cast<unsigned>(RKDRV_ENGINE_RD));
    ListDrives();
    return true;
}

// ---- Waiting for a disc

volatile std::sig_atomic_t g_bStopWait = 0;

extern "C" void OnInterrupt(int)
{
    g_bStopWait = 1;
}

struct RKWaitOptions
{
    bool bWait = true;
    bool bAnyDrive = true;
    WORD wLetter = 'E';
    bool bSimulate = true;
};

RKWaitOptions ParseWaitOptions(int argc, char** argv)
{
    RKWaitOptions options;
    bool bSimAsked = false;
    for (int i = 1; i < argc; ++i)
    {
        if (std::strcmp(argv[i], "--wait") == 0 && i + 1 < argc)
        {
            const char* szWhat = argv[++i];
            options.bAnyDrive = std::strcmp(szWhat, "any") == 0;
            if (!options.bAnyDrive)
                options.wLetter = static_cast<WORD>(static_cast<unsigned char>(szWhat[0]));
            options.bSimulate = false;
        }
        else if (std::strcmp(argv[i], "--sim") == 0)
        {
            bSimAsked = true;
        }
    }
    options.bSimulate = options.bSimulate || bSimAsked;
    return options;
}

// Shows each report of the wait on one line; answers 0 once Ctrl-C was pressed.
class CRKWaitProgress : public CRKWriterCallBack
{
public:
    int CallBack(DWORD, RKWRITERCALLBACKINFO& info) override
    {
        std::chrono::duration<double> dElapsed = std::chrono::steady_clock::now() - m_tStart;
        if (info.step == RKSTEP_END || info.step == RKSTEP_CANCELLED)
        {
            std::printf("  wait ended after %.1f s (%s)\n", dElapsed.count(),
                        info.step == RKSTEP_END ? "disc found" : "stopped by Ctrl-C");
        }
        else
        {
            std::printf("  waiting for a disc: poll %d, %.1f s (Ctrl-C cancels)\n", ++m_nPolls,
                        dElapsed.count());
        }
        std::fflush(stdout);
        return g_bStopWait ? 0 : 1;
    }

private:
    int m_nPolls = 0;
    std::chrono::steady_clock::time_point m_tStart = std::chrono::steady_clock::now();
};

// Waits for a disc on the chosen drive or on any drive and names the medium.
void RunMediaWait(CRKDRVManager* pManager, const RKWaitOptions& options)
{
    if (!options.bWait)
        return;
    // Simulated drives: the sample engine reads each drive's disc from an
    // image file in a folder the host names; all start empty, and a disc
    // arrives in one drive after 3 s.
    CRKSampleDrives simulation;
    if (options.bSimulate)
    {
        WORD wDisc = options.bAnyDrive ? 'E' : options.wLetter;
        const char szLetters[] = {'d', 'e', 'f', static_cast<char>(wDisc | 0x20), '\0'};
        if (simulation.Create(szLetters))
        {
            simulation.InsertLater(wDisc, std::chrono::milliseconds(3000),
                                   []()
                                   {
                                       std::printf("  (a disc was inserted)\n");
                                       std::fflush(stdout);
                                   });
            std::printf("Simulated drives: a disc arrives in %c: in 3 s.\n", static_cast<char>(wDisc));
        }
        else
        {
            std::printf("Simulated drives are not available here; waiting on the real drives.\n");
        }
    }

    DWORD dwIndex = 0xFFFFFFFF;
    if (!options.bAnyDrive)
    {
        unsigned int uIndex = 0;
        if (!pManager->GetWriterFromLetter(options.wLetter, uIndex))
        {
            std::printf("Drive %c: not found; nothing to wait on.\n", static_cast<char>(options.wLetter));
            return;
        }
        dwIndex = uIndex;
    }
    if (options.bAnyDrive)
        std::printf("Waiting for a disc in any drive:\n");
    else
        std::printf("Waiting for a disc in drive %c:\n", static_cast<char>(options.wLetter));

    CRKWaitProgress progress;
    pManager->SetCallBack(&progress);
    g_bStopWait = 0;
    void (*pfnOldHandler)(int) = std::signal(SIGINT, OnInterrupt);

    RKMediaInfo stInfo = {};
    int bFound = pManager->WaitMedia(stInfo, dwIndex);

    std::signal(SIGINT, pfnOldHandler == SIG_ERR ? SIG_DFL : pfnOldHandler);
    // The progress object goes with this function: give every drive its default back.
    for (int i = 0; i < pManager->GetNbWriter(); ++i)
    {
        if (CRKWriter* pWriter = pManager->GetWriter(static_cast<DWORD>(i)))
            pWriter->SetCallBack(nullptr);
    }

    if (bFound)
    {
        CRKWriter* pWriter = pManager->GetWriter(dwIndex);
        const unsigned short* szType = stInfo.GetMediaType();
        std::printf("Disc found in drive %c: (writer %u): %s\n",
                    pWriter ? static_cast<char>(pWriter->GetDriveLetter()) : '?',
                    static_cast<unsigned>(dwIndex), *szType ? ToNarrow(szType).c_str() : "unknown medium");
    }
    else
    {
        std::printf("No disc: the wait was cancelled or found no drive.\n");
    }
}
} // namespace

int main(int argc, char** argv)
{
    CRKPrintingSink sink;
    if (argc > 1 && std::strcmp(argv[1], "-v") == 0)
        CRKLog::GetInstance()->SetSink(&sink);

    CRKDRVManager* pManager = RKDRV::GetODDManager(RKDRV_ENGINE_ANY);
    if (!pManager)
    {
        std::printf("No engine could be loaded.\n");
        return 1;
    }
    std::printf("Engine loaded; valid: %d; %d writer(s):\n", pManager->IsValid(), pManager->GetNbWriter());
    for (int i = 0; i < pManager->GetNbWriter(); ++i)
    {
        if (CRKWriter* pWriter = pManager->GetWriter(static_cast<DWORD>(i)))
        {
            std::printf("  %d: %c: %s (supported media 0x%x)\n", i,
                        static_cast<char>(pWriter->GetDriveLetter()),
                        ToNarrow(pWriter->GetModelName()).c_str(),
                        static_cast<unsigned>(pWriter->GetSupportedMedia()));
        }
    }

    unsigned int uIndex = 0;
    if (CRKWriter* pWriter = pManager->GetWriterFromLetter('E', uIndex))
        std::printf("Drive E: is writer %u, %s\n", uIndex, ToNarrow(pWriter->GetModelName()).c_str());
    else
        std::printf("Drive E: not found\n");

    CRKPrintingCallBack callBack;
    pManager->SetCallBack(&callBack);
    if (CRKWriter* pWriter = pManager->GetWriter(uIndex))
    {
        RKWRITERCALLBACKINFO info;
        info.step = 1;
        std::printf("Callback installed; a report through drive %c: reaches it:\n",
                    static_cast<char>(pWriter->GetDriveLetter()));
        pWriter->CallBack(1, info);
        RKMediaInfo stInfo = pWriter->GetMediaInfo();
        const unsigned short* szType = stInfo.GetMediaType();
        std::printf("Medium reported by the engine: %s\n",
                    *szType ? ToNarrow(szType).c_str() : "none (no disc)");
    }

    RunMediaWait(pManager, ParseWaitOptions(argc, argv));
    // A failed reload is a failed run, not one to report as done.
    bool bReloaded = ShowReload(pManager);

    RKDRV::ClearODDManager(pManager);
    CRKLog::GetInstance()->SetSink(nullptr);
    std::printf("Manager released.\n");
    return bReloaded ? 0 : 1;
}
