// Scripted writers, recording callbacks and recorded pauses for the media
// wait tests. Everything that happens goes into one event list, so that
// orders across writers, callbacks and pauses can be checked at once.
#ifndef RKWAITSCRIPT_H
#define RKWAITSCRIPT_H

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "RKDRV.h"
#include "RKFakeEngine.h"
#include "RKOsLayer.h"

typedef std::vector<std::string> RKEventList;

inline RKMediaInfo RKMakeMediaInfo(DWORD dwMediaType, DWORD dwDiscType)
{
    RKMediaInfo stInfo;
    stInfo.dwMediaType = dwMediaType;
    stInfo.dwDiscType = dwDiscType;
    return stInfo;
}

// Answers IsMediaIn from a script (the last answer repeats) and records the
// engine operations the waits call.
class CRKScriptedWriter : public CRKFakeWriter
{
public:
    CRKScriptedWriter(WORD wLetter, RKEventList& events, std::vector<int> vecPresence,
                      RKMediaInfo stMedia = RKMakeMediaInfo(0x0025, 7),
                      std::vector<std::string>* pDestroyed = nullptr)
        : CRKFakeWriter(wLetter, pDestroyed), m_events(events), m_vecPresence(std::move(vecPresence)),
          m_stMedia(stMedia)
    {
    }

    int IsMediaIn() override
    {
        ThrowIfAsked("IsMediaIn");
        int nAnswer = m_vecPresence.empty()               ? 0
                      : nIsMediaIn < m_vecPresence.size() ? m_vecPresence[nIsMediaIn]
                                                          : m_vecPresence.back();
        ++nIsMediaIn;
        m_events.push_back(Name() + ":IsMediaIn=" + std::to_string(nAnswer));
        return nAnswer;
    }
    int EjectTray() override
    {
        ThrowIfAsked("EjectTray");
        ++nEjectTray;
        m_events.push_back(Name() + ":EjectTray");
        return 0;
    }
    RKMediaInfo GetMediaInfo() override
    {
        ThrowIfAsked("GetMediaInfo");
        ++nGetMediaInfo;
        m_events.push_back(Name() + ":GetMediaInfo");
        return m_stMedia;
    }

    std::string Name() { return std::string(1, static_cast<char>(m_wDriveLetter)); }

    std::size_t nIsMediaIn = 0;
    int nEjectTray = 0;
    int nGetMediaInfo = 0;
    // The engine operation that throws, as a faulty engine's would.
    std::string strThrowIn;

private:
    void ThrowIfAsked(const char* szOperation)
    {
        if (strThrowIn == szOperation)
        {
            m_events.push_back(Name() + ":" + szOperation + " threw");
            throw std::runtime_error(szOperation);
        }
    }

    RKEventList& m_events;
    std::vector<int> m_vecPresence;
    RKMediaInfo m_stMedia;
};

// What one report carried when it arrived.
struct RKReport
{
    DWORD dwType;
    int step;
    DWORD adwWords[5];
    const RKWRITERCALLBACKINFO* pRecord;
};

// Records every report; answers 0 at the chosen call (1-based, 0: never)
// and may act on the record or the writer through onCall.
class CRKScriptedCallBack : public CRKWriterCallBack
{
public:
    CRKScriptedCallBack(RKEventList& events, std::string strName, std::size_t nStopAt = 0)
        : m_events(events), m_strName(std::move(strName)), m_nStopAt(nStopAt)
    {
    }

    int CallBack(DWORD dwType, RKWRITERCALLBACKINFO& info) override
    {
        RKReport report = {dwType, info.step, {}, &info};
        for (int i = 0; i < 5; ++i)
            report.adwWords[i] = info.dwData[i];
        vecReports.push_back(report);
        m_events.push_back(m_strName + ":CallBack step=" + std::to_string(info.step));
        if (onCall)
            onCall(vecReports.size(), info);
        return vecReports.size() == m_nStopAt ? 0 : 1;
    }

    std::vector<RKReport> vecReports;
    std::function<void(std::size_t, RKWRITERCALLBACKINFO&)> onCall;

private:
    RKEventList& m_events;
    std::string m_strName;
    std::size_t m_nStopAt;
};

// Replaces the layer's pause while it lives: pauses are recorded, never
// slept through.
class CRKRecordedSleep
{
public:
    explicit CRKRecordedSleep(RKEventList& events) : m_calls(RKOsDefaultCalls())
    {
        Events() = &events;
        m_calls.pfnSleep = &Record;
        RKOsSetCalls(&m_calls);
    }
    ~CRKRecordedSleep()
    {
        RKOsSetCalls(nullptr);
        Events() = nullptr;
    }
    CRKRecordedSleep(const CRKRecordedSleep&) = delete;
    CRKRecordedSleep& operator=(const CRKRecordedSleep&) = delete;

    RKOsCallTable& Calls() { return m_calls; }

private:
    static RKEventList*& Events()
    {
        static RKEventList* s_pEvents = nullptr;
        return s_pEvents;
    }
    static void Record(DWORD dwMilliseconds)
    {
        if (Events())
            Events()->push_back("Sleep " + std::to_string(dwMilliseconds));
    }

    RKOsCallTable m_calls;
};

#endif
