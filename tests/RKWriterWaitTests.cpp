// Media presence and the media wait on one drive.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "RKDRV.h"
#include "RKOsLayer.h"
#include "RKTextUtil.h"
#include "RKTraceCapture.h"
#include "RKWaitScript.h"

namespace
{
// The trace of a wait's end, for a step code and the record 0x25 / 7.
std::vector<RKTraceRecord> EndTrace(int nStep)
{
    return {Info("WaitMedia: CallBack End = " + std::to_string(nStep)),
            Info("WaitMedia: CallBack Return"),
            Info("WaitMedia: Result ("),
            Info("7"),
            Info(","),
            Info("37"),
            Info(")")};
}

std::vector<RKTraceRecord> Concat(std::vector<RKTraceRecord> vecFirst,
                                  const std::vector<RKTraceRecord>& vecSecond)
{
    vecFirst.insert(vecFirst.end(), vecSecond.begin(), vecSecond.end());
    return vecFirst;
}

class RKWriterWaitTest : public ::testing::Test
{
protected:
    RKEventList m_events;
    CRKRecordedSleep m_sleep{m_events};
    CRKTraceCapture m_capture;
};
} // namespace

TEST_F(RKWriterWaitTest, DiscAlreadyInNeedsNoTrayNoPollAndNoPause)
{
    CRKScriptedWriter writer('E', m_events, {1});
    CRKScriptedCallBack callBack(m_events, "cb");
    writer.SetCallBack(&callBack);

    RKMediaInfo stResult = writer.WaitMedia();

    EXPECT_EQ(0x25u, stResult.dwMediaType);
    EXPECT_EQ(7u, stResult.dwDiscType);
    EXPECT_EQ((RKEventList{"E:IsMediaIn=1", "cb:CallBack step=1", "E:IsMediaIn=1", "E:GetMediaInfo",
                           "cb:CallBack step=4"}),
              m_events);
    EXPECT_EQ(Concat({Step("Writer"), Info("WaitMedia: Start")}, EndTrace(4)), m_capture.records);
    // Every report is type 1 on one record that lives for the wait.
    ASSERT_EQ(2u, callBack.vecReports.size());
    EXPECT_EQ(1u, callBack.vecReports[0].dwType);
    EXPECT_EQ(1u, callBack.vecReports[1].dwType);
    EXPECT_EQ(callBack.vecReports[0].pRecord, callBack.vecReports[1].pRecord);
}

TEST_F(RKWriterWaitTest, StopOnFirstReportStillAsksTheEngineForTheMedium)
{
    // With a disc: no tray, end with step 5.
    {
        CRKScriptedWriter writer('E', m_events, {1});
        CRKScriptedCallBack callBack(m_events, "cb", 1);
        writer.SetCallBack(&callBack);
        RKMediaInfo stResult = writer.WaitMedia();
        EXPECT_EQ(0x25u, stResult.dwMediaType);
        EXPECT_EQ((RKEventList{"E:IsMediaIn=1", "cb:CallBack step=1", "E:IsMediaIn=1", "E:GetMediaInfo",
                               "cb:CallBack step=5"}),
                  m_events);
        EXPECT_EQ(Concat({Step("Writer"), Info("WaitMedia: Start")}, EndTrace(5)), m_capture.records);
    }
    // Without one: the tray opens once, presence is still tested, no report of step 2, no pause.
    m_events.clear();
    m_capture.records.clear();
    {
        CRKScriptedWriter writer('E', m_events, {0});
        CRKScriptedCallBack callBack(m_events, "cb", 1);
        writer.SetCallBack(&callBack);
        writer.WaitMedia();
        EXPECT_EQ((RKEventList{"E:IsMediaIn=0", "E:EjectTray", "cb:CallBack step=1", "E:IsMediaIn=0",
                               "E:GetMediaInfo", "cb:CallBack step=5"}),
                  m_events);
        EXPECT_EQ(
            Concat({Step("Writer"), Info("WaitMedia: Start"), Info("WaitMedia: Tray Ejected")}, EndTrace(5)),
            m_capture.records);
    }
}

TEST_F(RKWriterWaitTest, EmptyDrivePollsEveryHalfSecondUntilTheDiscComes)
{
    CRKScriptedWriter writer('E', m_events, {0, 0, 0, 1});
    CRKScriptedCallBack callBack(m_events, "cb");
    writer.SetCallBack(&callBack);

    writer.WaitMedia();

    EXPECT_EQ((RKEventList{"E:IsMediaIn=0", "E:EjectTray", "cb:CallBack step=1", "E:IsMediaIn=0",
                           "cb:CallBack step=2", "Sleep 500", "E:IsMediaIn=0", "cb:CallBack step=2",
                           "Sleep 500", "E:IsMediaIn=1", "E:GetMediaInfo", "cb:CallBack step=4"}),
              m_events);
    EXPECT_EQ(Concat({Step("Writer"), Info("WaitMedia: Start"), Info("WaitMedia: Tray Ejected"),
                      Info("WaitMedia: CallBack Waiting Media"), Info("WaitMedia: CallBack Waiting Media")},
                     EndTrace(4)),
              m_capture.records);
    EXPECT_EQ(1, writer.nEjectTray);
}

TEST_F(RKWriterWaitTest, StopOnAPollStillPausesAndTestsPresenceOnceMore)
{
    // The disc comes during the last pause: the wait still ends as stopped.
    CRKScriptedWriter writer('E', m_events, {0, 0, 0, 1});
    CRKScriptedCallBack callBack(m_events, "cb", 3);
    writer.SetCallBack(&callBack);

    RKMediaInfo stResult = writer.WaitMedia();

    EXPECT_EQ((RKEventList{"E:IsMediaIn=0", "E:EjectTray", "cb:CallBack step=1", "E:IsMediaIn=0",
                           "cb:CallBack step=2", "Sleep 500", "E:IsMediaIn=0", "cb:CallBack step=2",
                           "Sleep 500", "E:IsMediaIn=1", "E:GetMediaInfo", "cb:CallBack step=5"}),
              m_events);
    EXPECT_EQ(0x25u, stResult.dwMediaType);

    // And without a disc.
    m_events.clear();
    CRKScriptedWriter empty('F', m_events, {0});
    CRKScriptedCallBack stopper(m_events, "cb", 2);
    empty.SetCallBack(&stopper);
    empty.WaitMedia();
    EXPECT_EQ((RKEventList{"F:IsMediaIn=0", "F:EjectTray", "cb:CallBack step=1", "F:IsMediaIn=0",
                           "cb:CallBack step=2", "Sleep 500", "F:IsMediaIn=0", "F:GetMediaInfo",
                           "cb:CallBack step=5"}),
              m_events);
}

TEST_F(RKWriterWaitTest, AnyNonzeroPresenceCountsAsADisc)
{
    CRKScriptedWriter writer('E', m_events, {0, 2});
    CRKScriptedCallBack callBack(m_events, "cb");
    writer.SetCallBack(&callBack);
    writer.WaitMedia();
    EXPECT_EQ((RKEventList{"E:IsMediaIn=0", "E:EjectTray", "cb:CallBack step=1", "E:IsMediaIn=2",
                           "E:GetMediaInfo", "cb:CallBack step=4"}),
              m_events);
}

TEST_F(RKWriterWaitTest, WordsTheCallBackWritesStayForLaterReports)
{
    CRKScriptedWriter writer('E', m_events, {0, 0, 0, 0, 1});
    CRKScriptedCallBack callBack(m_events, "cb");
    callBack.onCall = [](std::size_t nCall, RKWRITERCALLBACKINFO& info)
    {
        if (nCall == 1)
        {
            for (int i = 0; i < 5; ++i)
                info.dwData[i] = 11 + i;
        }
        if (nCall == 2)
            info.step = 9;
    };
    writer.SetCallBack(&callBack);

    writer.WaitMedia();

    ASSERT_EQ(5u, callBack.vecReports.size());
    // The wait writes step only before polling and at the end.
    std::vector<int> vecSteps;
    for (const RKReport& report : callBack.vecReports)
        vecSteps.push_back(report.step);
    EXPECT_EQ((std::vector<int>{1, 2, 9, 9, 4}), vecSteps);
    for (std::size_t n = 1; n < callBack.vecReports.size(); ++n)
    {
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(static_cast<DWORD>(11 + i), callBack.vecReports[n].adwWords[i]) << n << "," << i;
    }
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(0u, callBack.vecReports[0].adwWords[i]);
}

TEST_F(RKWriterWaitTest, CallBackInstalledDuringTheWaitGetsTheRest)
{
    CRKScriptedWriter writer('E', m_events, {0, 0, 0, 1});
    CRKScriptedCallBack second(m_events, "second");
    CRKScriptedCallBack first(m_events, "first");
    first.onCall = [&](std::size_t nCall, RKWRITERCALLBACKINFO&)
    {
        if (nCall == 2)
            writer.SetCallBack(&second);
    };
    writer.SetCallBack(&first);

    writer.WaitMedia();

    EXPECT_EQ((RKEventList{"E:IsMediaIn=0", "E:EjectTray", "first:CallBack step=1", "E:IsMediaIn=0",
                           "first:CallBack step=2", "Sleep 500", "E:IsMediaIn=0", "second:CallBack step=2",
                           "Sleep 500", "E:IsMediaIn=1", "E:GetMediaInfo", "second:CallBack step=4"}),
              m_events);
    // The writer's default callback takes over when the host's goes: it never stops.
    m_events.clear();
    CRKScriptedCallBack leaving(m_events, "leaving");
    CRKScriptedWriter other('F', m_events, {0, 0, 0, 1});
    leaving.onCall = [&](std::size_t, RKWRITERCALLBACKINFO&) { other.SetCallBack(nullptr); };
    other.SetCallBack(&leaving);
    other.WaitMedia();
    EXPECT_EQ(1u, leaving.vecReports.size());
    EXPECT_EQ(2, static_cast<int>(std::count(m_events.begin(), m_events.end(), "Sleep 500")));
}

TEST_F(RKWriterWaitTest, WantedMediumComparesTypeWithTheFirstArgumentAndDiscWithTheSecond)
{
    struct Case
    {
        DWORD dwMediaType;
        DWORD dwDiscType;
        int nExpected;
    };
    for (Case c : {Case{0x25, 7, 1}, Case{0x25, 8, 0}, Case{0x24, 7, 0}, Case{7, 0x25, 0}})
    {
        CRKScriptedWriter writer('E', m_events, {1});
        CRKWriter* pWriter = &writer;
        EXPECT_EQ(c.nExpected, pWriter->WaitMedia(c.dwMediaType, c.dwDiscType));
    }
    // A stopped wait is judged by the record alone.
    CRKScriptedWriter writer('E', m_events, {0});
    CRKScriptedCallBack stopper(m_events, "cb", 1);
    writer.SetCallBack(&stopper);
    EXPECT_EQ(1, writer.WaitMedia(0x25, 7));
    EXPECT_EQ(5, stopper.vecReports.back().step);
}

// ---- IsMediaIn through the operating-system layer

namespace
{
struct RKDeviceScript
{
    std::vector<std::string> vecPaths;
    RKEventList events;
    bool bOpens = true;
    int nCheckAnswer = 1;
    std::vector<int> vecFirstAnswers; // answered, in order, before nCheckAnswer
};
RKDeviceScript* s_pDevice = nullptr;
int s_nDeviceToken = 0;

RKOsDevice ScriptOpen(const unsigned short* szPath)
{
    s_pDevice->vecPaths.push_back(RKTextToUtf8(szPath));
    s_pDevice->events.push_back("open");
    return s_pDevice->bOpens ? &s_nDeviceToken : nullptr;
}
int ScriptCheck(RKOsDevice hDevice)
{
    s_pDevice->events.push_back(hDevice == &s_nDeviceToken ? "check" : "check(other)");
    std::vector<int>& vecFirst = s_pDevice->vecFirstAnswers;
    if (vecFirst.empty())
        return s_pDevice->nCheckAnswer;
    int nAnswer = vecFirst.front();
    vecFirst.erase(vecFirst.begin());
    return nAnswer;
}
void ScriptClose(RKOsDevice hDevice)
{
    s_pDevice->events.push_back(hDevice == &s_nDeviceToken ? "close" : "close(other)");
}

class RKIsMediaInTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        s_pDevice = &m_device;
        m_calls = RKOsDefaultCalls();
        m_calls.pfnOpenDevice = ScriptOpen;
        m_calls.pfnCheckMedia = ScriptCheck;
        m_calls.pfnCloseDevice = ScriptClose;
        RKOsSetCalls(&m_calls);
    }
    void TearDown() override
    {
        RKOsSetCalls(nullptr);
        s_pDevice = nullptr;
    }
    RKDeviceScript m_device;
    RKOsCallTable m_calls;
    CRKTraceCapture m_capture;
};
} // namespace

TEST_F(RKIsMediaInTest, OpensTheVolumePathChecksAndClosesEveryTime)
{
    CRKFakeWriter writer('E');
    EXPECT_EQ(1, writer.IsMediaIn());
    EXPECT_EQ(1, writer.IsMediaIn());
    EXPECT_EQ((std::vector<std::string>{"\\\\.\\E:", "\\\\.\\E:"}), m_device.vecPaths);
    EXPECT_EQ((RKEventList{"open", "check", "close", "open", "check", "close"}), m_device.events);
    EXPECT_TRUE(m_capture.records.empty());
}

TEST_F(RKIsMediaInTest, LetterGoesInAsStored)
{
    CRKFakeWriter lower('e');
    lower.IsMediaIn();
    CRKFakeWriter wide(0x0145);
    wide.IsMediaIn();
    ASSERT_EQ(2u, m_device.vecPaths.size());
    EXPECT_EQ("\\\\.\\e:", m_device.vecPaths[0]);
    EXPECT_EQ("\\\\.\\\xc5\x85:", m_device.vecPaths[1]);
}

TEST_F(RKIsMediaInTest, EveryFailureIsNoMediumAndAnyYesIsOne)
{
    CRKFakeWriter writer('E');
    m_device.bOpens = false;
    EXPECT_EQ(0, writer.IsMediaIn());
    EXPECT_EQ((RKEventList{"open"}), m_device.events);

    m_device.events.clear();
    m_device.bOpens = true;
    m_device.nCheckAnswer = 0;
    EXPECT_EQ(0, writer.IsMediaIn());
    EXPECT_EQ((RKEventList{"open", "check", "close"}), m_device.events);

    // The wait across drives counts only 1, so a yes is always 1.
    m_device.nCheckAnswer = 0x2D4800;
    EXPECT_EQ(1, writer.IsMediaIn());
    EXPECT_TRUE(m_capture.records.empty());
}

// The system's first check after a disc change reports the change, not
// the disc: the same device is asked once more, and only then answers.
TEST_F(RKIsMediaInTest, AChangeReportIsAskedOnceMore)
{
    CRKFakeWriter writer('E');
    const struct
    {
        std::vector<int> vecAnswers;
        int nExpected;
    } aCases[] = {
        {{RKOS_MEDIA_CHANGED, 1}, 1},
        {{RKOS_MEDIA_CHANGED, 0}, 0},
        {{RKOS_MEDIA_CHANGED, RKOS_MEDIA_CHANGED}, 0},
    };
    for (const auto& stCase : aCases)
    {
        m_device.events.clear();
        m_device.vecFirstAnswers = stCase.vecAnswers;
        EXPECT_EQ(stCase.nExpected, writer.IsMediaIn());
        EXPECT_EQ((RKEventList{"open", "check", "check", "close"}), m_device.events);
    }
    EXPECT_TRUE(m_capture.records.empty());
}

TEST_F(RKIsMediaInTest, DriveWithoutDeviceOpensTheTrayOnceAndPollsUntilStopped)
{
    m_device.bOpens = false;
    RKEventList events;
    CRKRecordedSleep sleep(events);
    sleep.Calls().pfnOpenDevice = ScriptOpen;
    sleep.Calls().pfnCheckMedia = ScriptCheck;
    sleep.Calls().pfnCloseDevice = ScriptClose;

    // The fake's own IsMediaIn is the library's.
    CRKFakeWriter writer('Q');
    CRKScriptedCallBack stopper(events, "cb", 4);
    writer.SetCallBack(&stopper);
    writer.WaitMedia();

    EXPECT_EQ(1, writer.nEjectCalls);
    EXPECT_EQ((RKEventList{"cb:CallBack step=1", "cb:CallBack step=2", "Sleep 500", "cb:CallBack step=2",
                           "Sleep 500", "cb:CallBack step=2", "Sleep 500", "cb:CallBack step=5"}),
              events);
    // Start, then one presence test per poll.
    EXPECT_EQ(5u, m_device.vecPaths.size());
}

// The one test that really waits: one real poll of a real pause.
TEST(RKWriterWaitReal, OnePollTakesHalfASecond)
{
    RKEventList events;
    CRKScriptedWriter writer('E', events, {0, 0, 1});
    auto tStart = std::chrono::steady_clock::now();
    writer.WaitMedia();
    auto nElapsedMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - tStart)
            .count();
    EXPECT_GE(nElapsedMs, 500);
    EXPECT_LT(nElapsedMs, 5000);
    EXPECT_EQ(3u, writer.nIsMediaIn);
}
