// The watch: canned tray states in, events out, through the public calls,
// with the layer's clock and pause recorded instead of waited through.
#include <gtest/gtest.h>

#include <cstddef>
#include <thread>

#include "RKDRV.h"
#include "RKTraceCapture.h"
#include "RKWaitScript.h"
#include "RKWatchScript.h"

static_assert(offsetof(RKWatchEvent, ullTimeMs) == 8 && offsetof(RKWatchEvent, szModel) == 24 &&
                  offsetof(RKWatchEvent, dwSource) == 152 && offsetof(RKWatchEvent, dwProfile) == 176 &&
                  sizeof(RKWatchEvent) == 184,
              "watch event layout");
static_assert(sizeof(RKWatchSettings) == 68, "watch settings layout");

namespace
{
class RKWatchTest : public ::testing::Test
{
protected:
    void SetUp() override { m_pManager = new CRKWatchManager(m_events); }
    void TearDown() override
    {
        RKDRV::CloseWatch(m_hWatch);
        m_pManager->Release();
        EXPECT_EQ(m_os.nWakesMade, m_os.nWakesClosed);
    }

    // Runs a watch of the manager with these settings to its end.
    DWORD Watch(CRKWatchRecorder& recorder, DWORD dwDurationMs, DWORD dwIntervalMs = 0,
                const std::vector<WORD>& vecLetters = {})
    {
        RKWatchSettings stSettings = {};
        stSettings.cbSize = sizeof(stSettings);
        stSettings.dwIntervalMs = dwIntervalMs;
        stSettings.dwDurationMs = dwDurationMs;
        stSettings.dwLetterCount = static_cast<DWORD>(vecLetters.size());
        std::copy(vecLetters.begin(), vecLetters.end(), stSettings.awLetters);
        RKDRV::CloseWatch(m_hWatch);
        m_hWatch = RKDRV::CreateWatch(m_pManager, &stSettings);
        EXPECT_NE(m_hWatch, nullptr);
        return RKDRV::RunWatch(m_hWatch, &recorder);
    }

    // The events list without the drives' own calls.
    RKEventList Reported() const
    {
        RKEventList vecOut;
        for (const std::string& strEvent : m_events)
        {
            if (strEvent.compare(0, 2, "t=") == 0)
                vecOut.push_back(strEvent);
        }
        return vecOut;
    }

    RKEventList m_events;
    CRKWatchOs m_os;
    CRKWatchManager* m_pManager = nullptr;
    HRKWATCH m_hWatch = nullptr;
};

TEST_F(RKWatchTest, OpenRemoveInsertCloseComeInOrderFromStatusCallsAlone)
{
    m_pManager->Add('E', {Disc(), Open(), Open(), Tray(0, 1, 0), Tray(0, 1, 0), Disc()});
    m_pManager->ListNow();
    CRKWatchRecorder recorder(m_events);
    CRKTraceCapture capture;
    EXPECT_EQ(Watch(recorder, 2000), RKWATCH_END_DURATION);

    EXPECT_EQ(m_events,
              (RKEventList{"enumerate", "E:tray", "E:media", "t=0 E0 state disc=1 open=0 lock=0 media=0x25/2",
                           "E:tray", "t=250 E0 opened disc=0 open=1 lock=0",
                           "t=250 E0 removed disc=0 open=1 lock=0", "E:tray", "E:tray",
                           "t=750 E0 closed disc=0 open=0 lock=0", "E:tray", "E:tray", "E:media",
                           "t=1250 E0 inserted disc=1 open=0 lock=0 media=0x25/2", "E:tray", "E:tray"}));
    // Eight rounds at the default cadence, the last pause cut at the end.
    EXPECT_EQ(m_os.vecPauses, (std::vector<DWORD>(8, 250)));
    EXPECT_EQ(recorder.vecEvents[0].dwSource, RKWATCH_SOURCE_TRAY_STATE);
    EXPECT_EQ(recorder.vecEvents[0].cbSize, sizeof(RKWatchEvent));
    EXPECT_EQ(RKTextToUtf8(recorder.vecEvents[0].szModel), "Fake Drive");
    EXPECT_EQ(capture.records,
              (std::vector<RKTraceRecord>{
                  Enter("RKDRV::RunWatch"), Info("CRKDRVManager::GetWriter(0)"),
                  Info("Watch: E: state (media 0x25, disc type 2)"), Info("Watch: E: tray opened"),
                  Info("Watch: E: disc removed"), Info("Watch: E: tray closed"),
                  Info("Watch: E: disc inserted (media 0x25, disc type 2)"), Exit("3")}));
}

TEST_F(RKWatchTest, DiscDetailsGiveTheMediaRecordAndWhatItMeans)
{
    m_pManager->Add('F', {Disc()})->bDiscDetails = true;
    m_pManager->ListNow();
    CRKWatchRecorder recorder(m_events);
    EXPECT_EQ(Watch(recorder, 1), RKWATCH_END_DURATION);
    EXPECT_EQ(RKEventList(m_events.begin(), m_events.begin() + 4),
              (RKEventList{"enumerate", "F:tray", "F:disc",
                           "t=0 F0 state disc=1 open=0 lock=0 media=0x25/2 state=2 profile=26"}));
}

TEST_F(RKWatchTest, EventsCountOnceWhenTheyAppearAndNeverFromBeforeTheStart)
{
    const DWORD dwEject = RKTRAY_EVENT_EJECT_REQUEST;
    // Held at the start (not news), then pressed twice, the second time
    // repeated by the drive over three polls.
    m_pManager->Add('E', {Tray(0, 1, 1, 1, dwEject), Tray(0, 1, 1, 1), Tray(0, 1, 1, 1, dwEject),
                          Tray(0, 1, 1, 1), Tray(0, 1, 1, 1, dwEject), Tray(0, 1, 1, 1, dwEject),
                          Tray(0, 1, 1, 1, dwEject), Tray(0, 1, 1, 1)});
    m_pManager->ListNow();
    CRKWatchRecorder recorder(m_events);
    EXPECT_EQ(Watch(recorder, 2000), RKWATCH_END_DURATION);
    EXPECT_EQ(Reported(),
              (RKEventList{"t=0 E0 state disc=1 open=0 lock=1 media=0x25/2",
                           "t=500 E0 eject disc=1 open=0 lock=1", "t=1000 E0 eject disc=1 open=0 lock=1"}));
}

TEST_F(RKWatchTest, MediaEventsSwapADiscOnceAndAreIgnoredAfterEightThatNothingBacks)
{
    const DWORD dwNew = RKTRAY_EVENT_NEW_MEDIA;
    // A disc changed between two polls, then a drive that reports new media
    // every other poll while nothing changes, then a real removal.
    std::vector<RKTrayState> vecTray = {Disc(), Disc(dwNew), Disc()};
    for (int i = 0; i < 8; ++i)
    {
        vecTray.push_back(Disc(dwNew));
        vecTray.push_back(Disc());
    }
    vecTray.push_back(Empty(RKTRAY_EVENT_MEDIA_REMOVED));
    m_pManager->Add('E', vecTray);
    m_pManager->ListNow();
    CRKWatchRecorder recorder(m_events);
    CRKTraceCapture capture;
    EXPECT_EQ(Watch(recorder, 250 * 20), RKWATCH_END_DURATION);

    RKEventList vecExpected = {"t=0 E0 state disc=1 open=0 lock=0 media=0x25/2"};
    // The first swap is the real one; seven more are believed before the
    // eighth report without a change makes the drive's events ignored.
    for (int nPoll : {1, 3, 5, 7, 9, 11, 13, 15})
    {
        std::string strTime = "t=" + std::to_string(250 * nPoll);
        vecExpected.push_back(strTime + " E0 removed disc=0 open=0 lock=0");
        vecExpected.push_back(strTime + " E0 inserted disc=1 open=0 lock=0 media=0x25/2");
    }
    vecExpected.push_back("t=4750 E0 removed disc=0 open=0 lock=0");
    EXPECT_EQ(Reported(), vecExpected);
    // The eighth still counts and writes the line; from the ninth on the
    // drive's media events are not believed.
    int nIgnored = 0;
    for (const RKTraceRecord& record : capture.records)
    {
        if (record ==
            Info("Watch: E: 8 media events in a row without a change of the drive's state: its media "
                 "events are ignored, its readiness alone counts"))
            ++nIgnored;
    }
    EXPECT_EQ(nIgnored, 1);
}

TEST_F(RKWatchTest, ReadinessAloneDrivesWithoutEventsAndADiscIsReportedOnlyOnceReady)
{
    // A drive that never reports events; a disc spinning up for two polls.
    m_pManager->Add('E', {Empty(), Tray(0, 1, 0), Tray(0, 1, 0), Disc(), Disc(), Empty()});
    // A drive that knows its tray, not its disc: the disc is asked the old way.
    auto pOther = m_pManager->Add('F', {Tray(0, U, U)});
    m_pManager->ListNow();
    CRKWatchRecorder recorder(m_events);
    EXPECT_EQ(Watch(recorder, 1500), RKWATCH_END_DURATION);
    EXPECT_EQ(Reported(),
              (RKEventList{"t=0 E0 state disc=0 open=0 lock=0", "t=0 F1 state disc=0 open=0 lock=0",
                           "t=750 E0 inserted disc=1 open=0 lock=0 media=0x25/2",
                           "t=1250 E0 removed disc=0 open=0 lock=0"}));
    EXPECT_EQ(std::count(m_events.begin(), m_events.end(), "F:IsMediaIn"), 6);
    EXPECT_EQ(pOther->nPoll, 6u);
}

TEST_F(RKWatchTest, WritersWithoutTrayStateAreWatchedThroughIsMediaInAndSaySo)
{
    RKEventList calls;
    m_pManager->AddPlain(new CRKScriptedWriter('D', calls, {0, 0, 1, 1, 0}, RKMakeMediaInfo(0x1A, 3)));
    CRKWatchRecorder recorder(m_events);
    CRKTraceCapture capture;
    EXPECT_EQ(Watch(recorder, 1250), RKWATCH_END_DURATION);
    EXPECT_EQ(Reported(), (RKEventList{"t=0 D0 state disc=0 open=? lock=?",
                                       "t=500 D0 inserted disc=1 open=? lock=? media=0x1a/3",
                                       "t=1000 D0 removed disc=0 open=? lock=?"}));
    EXPECT_EQ(recorder.vecEvents[0].dwSource, RKWATCH_SOURCE_PRESENCE);
    EXPECT_EQ(calls, (RKEventList{"D:IsMediaIn=0", "D:IsMediaIn=0", "D:IsMediaIn=1", "D:GetMediaInfo",
                                  "D:IsMediaIn=1", "D:IsMediaIn=0"}));
    EXPECT_EQ(capture.records[2],
              Info("Watch: D: its engine offers no tray state: IsMediaIn alone tells of discs, "
                   "so only disc-inserted and disc-removed are reported"));
}

TEST_F(RKWatchTest, AStopEndsTheRunFromAnywhereAndIsUsedUp)
{
    m_pManager->Add('E', {Disc()});
    m_pManager->ListNow();
    CRKWatchRecorder recorder(m_events);
    RKWatchSettings stSettings = {sizeof(stSettings), 100, 0, 0, {}};
    m_hWatch = RKDRV::CreateWatch(m_pManager, &stSettings);

    // Before the run: no event at all.
    RKDRV::StopWatch(m_hWatch);
    EXPECT_EQ(RKDRV::RunWatch(m_hWatch, &recorder), RKWATCH_END_STOPPED);
    EXPECT_TRUE(recorder.vecEvents.empty());

    // During a pause, as another thread would; the request was used up, so
    // this run went on until then.
    m_os.onPause = [&](std::size_t nPause)
    {
        if (nPause == 3)
            RKDRV::StopWatch(m_hWatch);
    };
    EXPECT_EQ(RKDRV::RunWatch(m_hWatch, &recorder), RKWATCH_END_STOPPED);
    EXPECT_EQ(std::count(m_events.begin(), m_events.end(), "E:tray"), 3);

    // From the callback, while it runs: the watch is not closed under it,
    // and ends before the next drive or round.
    m_os.onPause = nullptr;
    recorder.onEvent = [&](const RKWatchEvent&)
    {
        RKDRV::StopWatch(m_hWatch);
        CRKTraceCapture capture;
        RKDRV::CloseWatch(m_hWatch);
        EXPECT_EQ(capture.records,
                  std::vector<RKTraceRecord>{Error("CloseWatch: the watch is running: it is not closed")});
        return true;
    };
    EXPECT_EQ(RKDRV::RunWatch(m_hWatch, &recorder), RKWATCH_END_STOPPED);
    EXPECT_EQ(m_os.nWakesMade, 1);
    EXPECT_EQ(m_os.nWakesClosed, 0);
}

TEST_F(RKWatchTest, TheCallbackEndsTheWatchByAnsweringZeroOrThrowing)
{
    m_pManager->Add('E', {Disc(), Open()});
    m_pManager->Add('F', {Empty()});
    m_pManager->ListNow();
    // Stops at the tray event: the disc-removed of the same poll never comes.
    CRKWatchRecorder recorder(m_events, 3);
    EXPECT_EQ(Watch(recorder, 0), RKWATCH_END_CALLBACK);
    EXPECT_EQ(Reported().back(), "t=250 E0 opened disc=0 open=1 lock=0");
    EXPECT_EQ(recorder.vecEvents.size(), 3u);

    CRKWatchRecorder thrower(m_events);
    thrower.onEvent = [](const RKWatchEvent&) -> bool { throw std::runtime_error("host"); };
    CRKTraceCapture capture;
    EXPECT_EQ(Watch(thrower, 0), RKWATCH_END_CALLBACK);
    EXPECT_EQ(thrower.vecEvents.size(), 1u);
    EXPECT_EQ(capture.records[capture.records.size() - 2], Error("OnWatchEvent threw an exception"));
}

TEST_F(RKWatchTest, RoundsKeepTheirCadenceWhenPollsTakeTime)
{
    m_pManager->Add('E', {Disc()});
    m_pManager->ListNow();
    CRKWatchRecorder recorder(m_events);
    // Each round takes 100 ms after its pause, the third one 400 ms.
    m_os.onPause = [&](std::size_t nPause) { m_os.ullNow += nPause == 3 ? 400 : 100; };
    EXPECT_EQ(Watch(recorder, 1600), RKWATCH_END_DURATION);
    // 250 after the start, then what is left of each interval; after the
    // slow round a whole interval, with no burst to catch up; the last
    // pause is cut at the end of the duration.
    EXPECT_EQ(m_os.vecPauses, (std::vector<DWORD>{250, 150, 150, 250, 100}));
    EXPECT_EQ(std::count(m_events.begin(), m_events.end(), "E:tray"), 5);
}

TEST_F(RKWatchTest, DrivesThatComeAndGoKeepTheirIndexesOnceTheSystemsListHoldsStill)
{
    m_pManager->Add('D', {Empty()});
    m_pManager->Add('E', {Disc()});
    m_pManager->ListNow();
    CRKWatchRecorder recorder(m_events);
    m_os.onPause = [&](std::size_t nPause)
    {
        switch (nPause)
        {
        case 1:
            // F arrives with a disc; the list changes again before it holds
            // still, so nothing is listed until the third round.
            m_pManager->Add('F', {Disc()}, "New Drive");
            m_os.ullStamp = 2;
            break;
        case 2:
            m_os.ullStamp = 3;
            break;
        case 4:
            // D goes; E is replaced by another model under its letter.
            m_pManager->vecNext.erase(m_pManager->vecNext.begin(), m_pManager->vecNext.begin() + 2);
            m_pManager->Add('E', {Open()}, "Other Drive");
            m_os.ullStamp = 4;
            break;
        case 6:
            // D comes back and takes its old index.
            m_pManager->Add('D', {Empty()});
            m_os.ullStamp = 5;
            break;
        }
    };
    EXPECT_EQ(Watch(recorder, 2000), RKWATCH_END_DURATION);
    EXPECT_EQ(
        Reported(),
        (RKEventList{"t=0 D0 state disc=0 open=0 lock=0", "t=0 E1 state disc=1 open=0 lock=0 media=0x25/2",
                     "t=750 F2 added disc=1 open=0 lock=0 media=0x25/2",
                     "t=1250 D0 gone disc=? open=? lock=?", "t=1250 E1 gone disc=? open=? lock=?",
                     "t=1250 E1 added disc=0 open=1 lock=0", "t=1750 D0 added disc=0 open=0 lock=0"}));
    EXPECT_EQ(RKTextToUtf8(recorder.vecEvents[4].szModel), "Fake Drive");
    EXPECT_EQ(RKTextToUtf8(recorder.vecEvents[5].szModel), "Other Drive");
    EXPECT_EQ(TableLetters(m_pManager), "DEF");
    // Every writer of every listing destroyed once, the last ones by the
    // release below.
    EXPECT_EQ(std::count(m_events.begin(), m_events.end(), "enumerate"), 4);
    m_pManager->Release();
    m_pManager = new CRKWatchManager(m_events);
    EXPECT_EQ(std::count(m_events.begin(), m_events.end(), "destroyed D"), 3);
    EXPECT_EQ(std::count(m_events.begin(), m_events.end(), "destroyed E"), 4);
    EXPECT_EQ(std::count(m_events.begin(), m_events.end(), "destroyed F"), 3);
}

TEST_F(RKWatchTest, OnlyTheLettersAskedForAreWatchedAlsoWhenTheyArriveLater)
{
    m_pManager->Add('D', {Disc()});
    m_pManager->Add('e', {Empty()});
    m_pManager->ListNow();
    CRKWatchRecorder recorder(m_events);
    m_os.onPause = [&](std::size_t nPause)
    {
        if (nPause == 1)
        {
            m_pManager->Add('G', {Empty()});
            m_pManager->Add('F', {Empty()});
            m_os.ullStamp = 2;
        }
    };
    EXPECT_EQ(Watch(recorder, 1000, 0, {'E', 'f'}), RKWATCH_END_DURATION);
    EXPECT_EQ(Reported(),
              (RKEventList{"t=0 e1 state disc=0 open=0 lock=0", "t=500 F3 added disc=0 open=0 lock=0"}));
    EXPECT_EQ(std::count(m_events.begin(), m_events.end(), "D:tray"), 0);
}

TEST_F(RKWatchTest, SettingsTheWatchCannotUseAreRefusedWithOneLine)
{
    RKWatchSettings stSettings = {sizeof(stSettings), 19, 0, 0, {}};
    CRKTraceCapture capture;
    EXPECT_EQ(RKDRV::CreateWatch(m_pManager, &stSettings), nullptr);
    stSettings.dwIntervalMs = RKWATCH_MAX_INTERVAL_MS + 1;
    EXPECT_EQ(RKDRV::CreateWatch(m_pManager, &stSettings), nullptr);
    stSettings.dwIntervalMs = RKWATCH_MIN_INTERVAL_MS;
    stSettings.dwLetterCount = 27;
    EXPECT_EQ(RKDRV::CreateWatch(m_pManager, &stSettings), nullptr);
    stSettings.cbSize = sizeof(stSettings) - 2;
    EXPECT_EQ(RKDRV::CreateWatch(m_pManager, &stSettings), nullptr);
    EXPECT_EQ(RKDRV::CreateWatch(nullptr, nullptr), nullptr);
    EXPECT_EQ(RKDRV::RunWatch(nullptr, nullptr), RKWATCH_END_FAILED);
    RKDRV::StopWatch(nullptr);
    RKDRV::CloseWatch(nullptr);
    EXPECT_EQ(
        capture.records,
        (std::vector<RKTraceRecord>{
            Error("CreateWatch: an interval of 19 ms is not within 20 to 600000 ms"),
            Error("CreateWatch: an interval of 600001 ms is not within 20 to 600000 ms"),
            Error("CreateWatch: 27 letters, at most 26"),
            Error("CreateWatch: settings of 66 bytes, at least 68 needed"), Error("CreateWatch: no manager"),
            Enter("RKDRV::RunWatch"), Error("RunWatch: no watch or no callback"), Exit("0")}));
    EXPECT_EQ(m_os.nWakesMade, 0);
}
} // namespace

// The system's own pause, woken by another thread: no drive, an interval
// far longer than any test, and the run still ends at once.
TEST(RKWatchSystemTest, AStopFromAnotherThreadCutsTheSystemsPauseShort)
{
    RKEventList events;
    CRKWatchManager* pManager = new CRKWatchManager(events);
    RKWatchSettings stSettings = {sizeof(stSettings), RKWATCH_MAX_INTERVAL_MS, 0, 0, {}};
    HRKWATCH hWatch = RKDRV::CreateWatch(pManager, &stSettings);
    ASSERT_NE(hWatch, nullptr);
    CRKWatchRecorder recorder(events);
    std::thread stopper([hWatch] { RKDRV::StopWatch(hWatch); });
    EXPECT_EQ(RKDRV::RunWatch(hWatch, &recorder), RKWATCH_END_STOPPED);
    stopper.join();
    RKDRV::CloseWatch(hWatch);
    pManager->Release();
}
