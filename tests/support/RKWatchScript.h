// Scripted drives, a recorded clock and pause, and a recording callback for
// the watch tests. Drives answer each poll from a script whose last entry
// repeats; the script outlives the writer, so a drive listed again by a
// refresh goes on where it was.
#ifndef RKWATCHSCRIPT_H
#define RKWATCHSCRIPT_H

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "RKDRV.h"
#include "RKFakeEngine.h"
#include "RKOsLayer.h"

typedef std::vector<std::string> RKEventList;

const DWORD U = RKDETAILS_UNKNOWN;

// One poll's answer: open, present, ready, locked, events.
inline RKTrayState Tray(DWORD dwOpen, DWORD dwPresent, DWORD dwReady, DWORD dwLocked = 0, DWORD dwEvents = 0)
{
    return {sizeof(RKTrayState), dwOpen, dwPresent, dwReady, dwLocked, dwEvents};
}
// Closed, with a ready disc / empty / open.
inline RKTrayState Disc(DWORD dwEvents = 0)
{
    return Tray(0, 1, 1, 0, dwEvents);
}
inline RKTrayState Empty(DWORD dwEvents = 0)
{
    return Tray(0, 0, 0, 0, dwEvents);
}
inline RKTrayState Open()
{
    return Tray(1, 0, 0, 0);
}

struct RKDriveScript
{
    std::vector<RKTrayState> vecTray;
    std::size_t nPoll = 0;
    bool bFails = false; // GetTrayState answers 0
    RKMediaInfo stMedia = {0x25, 2};
    // Whether the disc's details tell the disc; they then give the media
    // record with this profile and state.
    bool bDiscDetails = false;
    DWORD dwProfile = 0x1A;
    DWORD dwDiscState = RKDISC_STATE_APPENDABLE;
};

// A writer that offers tray state from its script and records every call
// into the shared event list. It must never move a tray.
class CRKTrayWriter : public CRKFakeWriter, public CRKWriterDetails
{
public:
    CRKTrayWriter(WORD wLetter, const char* szModel, std::shared_ptr<RKDriveScript> pScript,
                  RKEventList& events)
        : CRKFakeWriter(wLetter, &events, szModel), m_pScript(std::move(pScript)), m_events(events)
    {
    }

    int GetTrayState(RKTrayState& stState) override
    {
        RKDriveScript& script = *m_pScript;
        std::size_t nAt = std::min(script.nPoll++, script.vecTray.size() - 1);
        m_events.push_back(Name() + ":tray");
        if (script.bFails)
            return 0;
        stState = script.vecTray[nAt];
        return 1;
    }
    RKMediaInfo GetMediaInfo() override
    {
        m_events.push_back(Name() + ":media");
        return m_pScript->stMedia;
    }
    int IsMediaIn() override
    {
        m_events.push_back(Name() + ":IsMediaIn");
        return 0;
    }
    int EjectTray() override { return Forbidden("EjectTray"); }
    int GetDriveDetails(RKDriveDetails&) override { return Forbidden("GetDriveDetails"); }
    // Without bDiscDetails, like an engine whose details tell no disc.
    int GetDiscDetails(RKDiscDetails& stDetails) override
    {
        const RKDriveScript& script = *m_pScript;
        if (!script.bDiscDetails)
            return 0;
        m_events.push_back(Name() + ":disc");
        stDetails.dwDiscPresent = 1;
        stDetails.dwMediaType = script.stMedia.dwMediaType;
        stDetails.dwDiscType = script.stMedia.dwDiscType;
        stDetails.dwProfile = script.dwProfile;
        stDetails.dwDiscState = script.dwDiscState;
        return 1;
    }
    int CloseTray() override { return Forbidden("CloseTray"); }
    int LockTray(int) override { return Forbidden("LockTray"); }

private:
    std::string Name() const { return std::string(1, static_cast<char>(m_wDriveLetter)); }
    int Forbidden(const char* szCall)
    {
        m_events.push_back(Name() + ":" + szCall + " (forbidden)");
        return 0;
    }

    std::shared_ptr<RKDriveScript> m_pScript;
    RKEventList& m_events;
};

// A manager whose next listing the test chooses: letters, models, scripts.
class CRKWatchManager : public CRKDRVManager
{
public:
    struct RKDriveSpec
    {
        WORD wLetter;
        std::string strModel;
        std::shared_ptr<RKDriveScript> pScript;
    };

    explicit CRKWatchManager(RKEventList& events) : m_events(events) { m_bValid = 1; }
    ~CRKWatchManager() override {}

    std::shared_ptr<RKDriveScript> Add(WORD wLetter, std::vector<RKTrayState> vecTray,
                                       const std::string& strModel = "Fake Drive")
    {
        auto pScript = std::make_shared<RKDriveScript>();
        pScript->vecTray = std::move(vecTray);
        vecNext.push_back({wLetter, strModel, pScript});
        return pScript;
    }
    // Lists vecNext now, as the engine's first listing.
    void ListNow() { EnumerateWriters(); }
    // A writer without tray state, present per its answers.
    void AddPlain(CRKWriter* pWriter) { m_vecWriters.push_back(pWriter); }
    std::vector<CRKWriter*>& Table() { return m_vecWriters; }

    int EnumerateWriters() override
    {
        m_events.push_back("enumerate");
        for (const RKDriveSpec& spec : vecNext)
            m_vecWriters.push_back(
                new CRKTrayWriter(spec.wLetter, spec.strModel.c_str(), spec.pScript, m_events));
        return 1;
    }
    int Initialize() override { return 1; }
    int EngineReserved() override { return 0; }
    int Release() override
    {
        delete this;
        return 1;
    }

    std::vector<RKDriveSpec> vecNext;

private:
    RKEventList& m_events;
};

// The clock, the pause and the drive stamp of the layer, while it lives.
// A pause moves the clock on by its length and runs onPause (what other
// threads or the world do meanwhile); nothing sleeps.
class CRKWatchOs
{
public:
    CRKWatchOs() : m_calls(RKOsDefaultCalls())
    {
        Current() = this;
        m_calls.pfnMonotonicMs = [] { return Current()->ullNow; };
        m_calls.pfnCreateWake = []() -> RKOsWake
        {
            ++Current()->nWakesMade;
            return &Current()->bSet;
        };
        m_calls.pfnSetWake = [](RKOsWake hWake) { *static_cast<bool*>(hWake) = true; };
        m_calls.pfnWaitWake = [](RKOsWake hWake, DWORD dwMilliseconds)
        {
            CRKWatchOs& os = *Current();
            bool& bSet = *static_cast<bool*>(hWake);
            // A look without a pause only takes a wake-up away; a set object
            // ends the pause before any time passes.
            if (dwMilliseconds > 0)
                os.vecPauses.push_back(dwMilliseconds);
            if (dwMilliseconds > 0 && !bSet)
            {
                os.ullNow += dwMilliseconds;
                if (os.onPause)
                    os.onPause(os.vecPauses.size());
            }
            int bWasSet = bSet ? 1 : 0;
            bSet = false;
            return bWasSet;
        };
        m_calls.pfnCloseWake = [](RKOsWake) { ++Current()->nWakesClosed; };
        m_calls.pfnDriveListStamp = [](unsigned long long* pullStamp)
        {
            *pullStamp = Current()->ullStamp;
            return Current()->bStampReadable ? 1 : 0;
        };
        m_calls.pfnSleep = [](DWORD) { throw std::logic_error("the watch never sleeps without a wake-up"); };
        RKOsSetCalls(&m_calls);
    }
    ~CRKWatchOs()
    {
        RKOsSetCalls(nullptr);
        Current() = nullptr;
    }
    CRKWatchOs(const CRKWatchOs&) = delete;
    CRKWatchOs& operator=(const CRKWatchOs&) = delete;

    unsigned long long ullNow = 5000000;
    std::vector<DWORD> vecPauses;
    std::function<void(std::size_t)> onPause;
    bool bSet = false;
    unsigned long long ullStamp = 1;
    bool bStampReadable = true;
    int nWakesMade = 0;
    int nWakesClosed = 0;

private:
    static CRKWatchOs*& Current()
    {
        static CRKWatchOs* s_pCurrent = nullptr;
        return s_pCurrent;
    }

    RKOsCallTable m_calls;
};

// Records each event as one line; answers 0 at the chosen event (1-based;
// 0: never) or when onEvent says so.
class CRKWatchRecorder : public CRKWatchCallBack
{
public:
    explicit CRKWatchRecorder(RKEventList& events, std::size_t nStopAt = 0)
        : m_events(events), m_nStopAt(nStopAt)
    {
    }

    int OnWatchEvent(const RKWatchEvent& stEvent) override
    {
        vecEvents.push_back(stEvent);
        m_events.push_back(Line(stEvent));
        if (onEvent && !onEvent(stEvent))
            return 0;
        return vecEvents.size() == m_nStopAt ? 0 : 1;
    }

    // "t=250 E1 opened disc=0 open=1 lock=0", media as "media=0x25/2".
    static std::string Line(const RKWatchEvent& stEvent)
    {
        static const char* const s_aszKinds[] = {"?",      "state", "inserted", "removed", "opened",
                                                 "closed", "eject", "added",    "gone"};
        auto Bool = [](DWORD dwValue) { return dwValue == U ? std::string("?") : std::to_string(dwValue); };
        std::string strLine = "t=" + std::to_string(stEvent.ullTimeMs) + " " +
                              std::string(1, static_cast<char>(stEvent.wLetter)) +
                              std::to_string(stEvent.dwIndex) + " " +
                              (stEvent.dwKind <= 8 ? s_aszKinds[stEvent.dwKind] : "?") +
                              " disc=" + Bool(stEvent.dwDiscPresent) + " open=" + Bool(stEvent.dwTrayOpen) +
                              " lock=" + Bool(stEvent.dwLocked);
        if (stEvent.dwMediaType || stEvent.dwDiscType)
        {
            char szMedia[32];
            std::snprintf(szMedia, sizeof(szMedia), " media=0x%x/%u",
                          static_cast<unsigned>(stEvent.dwMediaType),
                          static_cast<unsigned>(stEvent.dwDiscType));
            strLine += szMedia;
        }
        if (stEvent.dwDiscState != U || stEvent.dwProfile != U)
            strLine += " state=" + Bool(stEvent.dwDiscState) + " profile=" + Bool(stEvent.dwProfile);
        return strLine;
    }

    std::vector<RKWatchEvent> vecEvents;
    std::function<bool(const RKWatchEvent&)> onEvent;

private:
    RKEventList& m_events;
    std::size_t m_nStopAt;
};

#endif
