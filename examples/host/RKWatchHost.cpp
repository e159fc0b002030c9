// An example host that watches drives: asks for any engine, then prints
// every change of its drives (discs in and out, trays, the eject button,
// drives that come and go) until Ctrl-C or the time given has passed.
//
//   rkdrv_watch_example [--seconds N] [LETTER...]
//
// The watch blocks this thread and calls back on it; Ctrl-C stops it from
// the signal handler, the one call that is safe there.
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "RKDRV.h"

namespace
{
std::atomic<HRKWATCH> g_hWatch{nullptr};

extern "C" void OnInterrupt(int)
{
    RKDRV::StopWatch(g_hWatch.load());
}

std::string ToNarrow(const unsigned short* szText)
{
    std::string strOut;
    for (; szText && *szText; ++szText)
        strOut += *szText < 0x80 ? static_cast<char>(*szText) : '?';
    return strOut;
}

const char* YesNo(DWORD dwValue, const char* szYes, const char* szNo)
{
    return dwValue == RKDETAILS_UNKNOWN ? "?" : dwValue ? szYes : szNo;
}

class CRKPrintingWatch : public CRKWatchCallBack
{
public:
    int OnWatchEvent(const RKWatchEvent& stEvent) override
    {
        std::printf("  %7.3f s  %c:  ", static_cast<double>(stEvent.ullTimeMs) / 1000.0,
                    stEvent.wLetter ? static_cast<char>(stEvent.wLetter) : '?');
        switch (stEvent.dwKind)
        {
        case RKWATCH_STATE:
        case RKWATCH_DRIVE_ADDED:
            std::printf(
                "%s %s: disc %s, tray %s, door %s%s", stEvent.dwKind == RKWATCH_STATE ? "watching" : "added",
                ToNarrow(stEvent.szModel).c_str(), YesNo(stEvent.dwDiscPresent, "in", "out"),
                YesNo(stEvent.dwTrayOpen, "open", "closed"), YesNo(stEvent.dwLocked, "locked", "unlocked"),
                stEvent.dwSource == RKWATCH_SOURCE_PRESENCE ? " (disc events only)" : "");
            if (stEvent.dwDiscPresent == 1)
                PrintMedia(stEvent);
            break;
        case RKWATCH_DISC_INSERTED:
            std::printf("disc inserted");
            PrintMedia(stEvent);
            break;
        case RKWATCH_DISC_REMOVED:
            std::printf("disc removed");
            break;
        case RKWATCH_TRAY_OPENED:
            std::printf("tray opened");
            break;
        case RKWATCH_TRAY_CLOSED:
            std::printf("tray closed");
            break;
        case RKWATCH_EJECT_REQUEST:
            std::printf("eject button pressed while the door is locked");
            break;
        case RKWATCH_DRIVE_REMOVED:
            std::printf("removed %s", ToNarrow(stEvent.szModel).c_str());
            break;
        }
        std::printf("\n");
        std::fflush(stdout);
        // Nonzero goes on; 0 would end the watch.
        return 1;
    }

private:
    static void PrintMedia(const RKWatchEvent& stEvent)
    {
        RKMediaInfo stMedia;
        stMedia.dwMediaType = stEvent.dwMediaType;
        stMedia.dwDiscType = stEvent.dwDiscType;
        std::printf(": %s (media 0x%X, disc type %u)", ToNarrow(stMedia.GetMediaType()).c_str(),
                    static_cast<unsigned>(stEvent.dwMediaType), static_cast<unsigned>(stEvent.dwDiscType));
    }
};
} // namespace

int main(int argc, char** argv)
{
    RKWatchSettings stSettings = {};
    stSettings.cbSize = sizeof(stSettings);
    for (int i = 1; i < argc; ++i)
    {
        if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc)
            stSettings.dwDurationMs = static_cast<DWORD>(std::atof(argv[++i]) * 1000.0);
        else if (stSettings.dwLetterCount < 26)
            stSettings.awLetters[stSettings.dwLetterCount++] =
                static_cast<WORD>(static_cast<unsigned char>(argv[i][0]));
    }

    CRKDRVManager* pManager = RKDRV::GetODDManager(RKDRV_ENGINE_ANY);
    if (!pManager)
    {
        std::printf("No engine could be loaded.\n");
        return 1;
    }
    HRKWATCH hWatch = RKDRV::CreateWatch(pManager, &stSettings);
    if (!hWatch)
    {
        std::printf("The watch could not be made.\n");
        RKDRV::ClearODDManager(pManager);
        return 1;
    }
    std::printf("Watching %d drive(s); Ctrl-C stops.\n", pManager->GetNbWriter());
    std::fflush(stdout);

    g_hWatch.store(hWatch);
    std::signal(SIGINT, OnInterrupt);
    CRKPrintingWatch printer;
    DWORD dwEnd = RKDRV::RunWatch(hWatch, &printer);
    std::signal(SIGINT, SIG_DFL);
    g_hWatch.store(nullptr);
    std::printf("Watch ended: %s.\n", dwEnd == RKWATCH_END_STOPPED    ? "Ctrl-C"
                                      : dwEnd == RKWATCH_END_DURATION ? "time is up"
                                                                      : "the callback or a failure ended it");

    // The watch refreshed the manager when drives came or went; writer
    // pointers taken before would be stale now, the manager is not.
    RKDRV::CloseWatch(hWatch);
    RKDRV::ClearODDManager(pManager);
    return dwEnd == RKWATCH_END_FAILED ? 1 : 0;
}
