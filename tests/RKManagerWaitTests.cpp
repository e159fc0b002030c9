// The media wait across drives.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "RKDRV.h"
#include "RKTraceCapture.h"
#include "RKWaitScript.h"

namespace
{
const DWORD RKANY = 0xFFFFFFFF;

// Writers are listed with scripts; each must be destroyed exactly once.
class RKManagerWaitTest : public ::testing::Test
{
protected:
    CRKScriptedWriter* Add(WORD wLetter, std::vector<int> vecPresence,
                           RKMediaInfo stMedia = RKMakeMediaInfo(0x25, 7))
    {
        CRKScriptedWriter* pWriter =
            new CRKScriptedWriter(wLetter, m_events, vecPresence, stMedia, &m_destroyed);
        m_manager->Table().push_back(pWriter);
        m_vecExpectedDestroyed.push_back(std::string("destroyed ") + static_cast<char>(wLetter));
        return pWriter;
    }
    void AddPlaceholder() { m_manager->Table().push_back(nullptr); }

    int Wait(DWORD& dwIndex)
    {
        m_stMedia = RKMakeMediaInfo(0xAAAA, 0xBBBB);
        return m_manager->WaitMedia(m_stMedia, dwIndex);
    }

    void TearDown() override
    {
        delete m_manager;
        std::sort(m_destroyed.begin(), m_destroyed.end());
        std::sort(m_vecExpectedDestroyed.begin(), m_vecExpectedDestroyed.end());
        EXPECT_EQ(m_vecExpectedDestroyed, m_destroyed);
    }

    RKEventList m_events;
    std::vector<std::string> m_destroyed;
    std::vector<std::string> m_vecExpectedDestroyed;
    CRKFakeManager* m_manager = new CRKFakeManager;
    CRKRecordedSleep m_sleep{m_events};
    CRKTraceCapture m_capture;
    RKMediaInfo m_stMedia;
};

const RKTraceRecord s_enter = Enter("CRKDRVManager::WaitMedia(&stMediaInfo,&dwIndex)");
const RKTraceRecord s_ejected = Info("WaitMedia: Tray Ejected");

RKTraceRecord GetWriterLine(int nIndex)
{
    return Info("CRKDRVManager::GetWriter(" + std::to_string(nIndex) + ")");
}
} // namespace

TEST_F(RKManagerWaitTest, EmptyTableEndsAtOnce)
{
    DWORD dwIndex = RKANY;
    EXPECT_EQ(0, Wait(dwIndex));
    EXPECT_EQ(RKANY, dwIndex);
    EXPECT_EQ(0xAAAAu, m_stMedia.dwMediaType);
    EXPECT_EQ(0xBBBBu, m_stMedia.dwDiscType);
    EXPECT_TRUE(m_events.empty());
    EXPECT_EQ((std::vector<RKTraceRecord>{s_enter, GetWriterLine(0), Info("bIsMediaIn, bUserCancel, 0 - 0"),
                                          Variable("ulTempIndex = 0"), Exit("0")}),
              m_capture.records);
}

TEST_F(RKManagerWaitTest, IndexBeyondTheTableOrOnAPlaceholderEndsAtOnce)
{
    Add('E', {1});
    AddPlaceholder();
    Add('G', {1});
    DWORD dwIndex = 7;
    EXPECT_EQ(0, Wait(dwIndex));
    EXPECT_EQ(7u, dwIndex);
    EXPECT_EQ((std::vector<RKTraceRecord>{s_enter, GetWriterLine(7), Info("bIsMediaIn, bUserCancel, 0 - 0"),
                                          Variable("ulTempIndex = 0"), Exit("0")}),
              m_capture.records);

    dwIndex = 1;
    EXPECT_EQ(0, Wait(dwIndex));
    EXPECT_EQ(1u, dwIndex);
    EXPECT_EQ(0xAAAAu, m_stMedia.dwMediaType);
    EXPECT_TRUE(m_events.empty());
}

TEST_F(RKManagerWaitTest, DiscAtTheChosenIndex)
{
    Add('E', {0});
    CRKScriptedWriter* pF = Add('F', {1}, RKMakeMediaInfo(0x14, 8));
    Add('G', {0});
    CRKScriptedCallBack callBack(m_events, "cb");
    m_manager->SetCallBack(&callBack);
    DWORD dwIndex = 1;

    EXPECT_EQ(1, Wait(dwIndex));

    EXPECT_EQ(1u, dwIndex);
    EXPECT_EQ(0x14u, m_stMedia.dwMediaType);
    EXPECT_EQ(8u, m_stMedia.dwDiscType);
    EXPECT_EQ((RKEventList{"cb:CallBack step=0", "F:IsMediaIn=1", "F:GetMediaInfo", "cb:CallBack step=4"}),
              m_events);
    ASSERT_EQ(2u, callBack.vecReports.size());
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(0u, callBack.vecReports[0].adwWords[i]);
    EXPECT_EQ(1u, callBack.vecReports[0].dwType);
    EXPECT_EQ(1u, callBack.vecReports[1].dwType);
    EXPECT_EQ(0, pF->nEjectTray);
    EXPECT_EQ((std::vector<RKTraceRecord>{s_enter, GetWriterLine(1), Info("bIsMediaIn, bUserCancel, 1 - 0"),
                                          Variable("ulTempIndex = 1"),
                                          Info("dwDiscType = 8, dwMediaType = 20"), Exit("1")}),
              m_capture.records);
}

TEST_F(RKManagerWaitTest, ChosenDriveIsPolledAgainAfterEveryEmptyPoll)
{
    Add('E', {0});
    Add('F', {0, 0, 1});
    DWORD dwIndex = 1;
    EXPECT_EQ(1, Wait(dwIndex));
    EXPECT_EQ((RKEventList{"F:IsMediaIn=0", "F:EjectTray", "Sleep 4000", "F:IsMediaIn=0", "F:EjectTray",
                           "Sleep 4000", "F:IsMediaIn=1", "F:GetMediaInfo"}),
              m_events);
    EXPECT_EQ((std::vector<RKTraceRecord>{s_enter, GetWriterLine(1), s_ejected, GetWriterLine(1), s_ejected,
                                          GetWriterLine(1), Info("bIsMediaIn, bUserCancel, 1 - 0"),
                                          Variable("ulTempIndex = 1"),
                                          Info("dwDiscType = 7, dwMediaType = 37"), Exit("1")}),
              m_capture.records);
}

TEST_F(RKManagerWaitTest, AnyDriveFindsTheSecondAndNotifiesIt)
{
    Add('A', {0});
    Add('B', {1}, RKMakeMediaInfo(0x6001, 3));
    CRKScriptedCallBack callA(m_events, "cbA");
    CRKScriptedCallBack callB(m_events, "cbB");
    m_manager->GetWriter(0)->SetCallBack(&callA);
    m_manager->GetWriter(1)->SetCallBack(&callB);
    m_capture.records.clear();
    DWORD dwIndex = RKANY;

    EXPECT_EQ(1, Wait(dwIndex));

    EXPECT_EQ(1u, dwIndex);
    EXPECT_EQ(0x6001u, m_stMedia.dwMediaType);
    EXPECT_EQ((RKEventList{"cbA:CallBack step=0", "A:IsMediaIn=0", "A:EjectTray", "Sleep 4000",
                           "cbB:CallBack step=0", "B:IsMediaIn=1", "B:GetMediaInfo", "cbB:CallBack step=4"}),
              m_events);
    EXPECT_EQ((std::vector<RKTraceRecord>{s_enter, GetWriterLine(0), s_ejected, GetWriterLine(1),
                                          Info("bIsMediaIn, bUserCancel, 1 - 0"), Variable("ulTempIndex = 1"),
                                          Info("dwDiscType = 3, dwMediaType = 24577"), Exit("1")}),
              m_capture.records);
}

TEST_F(RKManagerWaitTest, AnyDriveStopsAtAPlaceholderWithoutFinalNotice)
{
    Add('A', {0});
    AddPlaceholder();
    CRKScriptedWriter* pC = Add('C', {1});
    CRKScriptedCallBack callBack(m_events, "cb");
    m_manager->SetCallBack(&callBack);
    m_capture.records.clear();
    DWORD dwIndex = RKANY;

    EXPECT_EQ(0, Wait(dwIndex));

    EXPECT_EQ(RKANY, dwIndex);
    EXPECT_EQ(0xAAAAu, m_stMedia.dwMediaType);
    EXPECT_EQ((RKEventList{"cb:CallBack step=0", "A:IsMediaIn=0", "A:EjectTray", "Sleep 4000"}), m_events);
    EXPECT_EQ(0u, pC->nIsMediaIn);
    EXPECT_EQ((std::vector<RKTraceRecord>{s_enter, GetWriterLine(0), s_ejected, GetWriterLine(1),
                                          Info("bIsMediaIn, bUserCancel, 0 - 0"), Variable("ulTempIndex = 0"),
                                          Exit("0")}),
              m_capture.records);
}

TEST_F(RKManagerWaitTest, AnyDriveSweepsAgainFromTheFirstAndKeepsTheCallBacksWords)
{
    Add('A', {0});
    Add('B', {0, 1});
    CRKScriptedCallBack callBack(m_events, "cb");
    callBack.onCall = [](std::size_t nCall, RKWRITERCALLBACKINFO& info)
    {
        if (nCall == 1)
        {
            info.step = 3;
            info.dwData[4] = 99;
        }
    };
    m_manager->SetCallBack(&callBack);
    m_capture.records.clear();
    DWORD dwIndex = RKANY;

    EXPECT_EQ(1, Wait(dwIndex));

    EXPECT_EQ(1u, dwIndex);
    EXPECT_EQ((RKEventList{"cb:CallBack step=0", "A:IsMediaIn=0", "A:EjectTray", "Sleep 4000",
                           "cb:CallBack step=3", "B:IsMediaIn=0", "B:EjectTray", "Sleep 4000",
                           "cb:CallBack step=3", "A:IsMediaIn=0", "A:EjectTray", "Sleep 4000",
                           "cb:CallBack step=3", "B:IsMediaIn=1", "B:GetMediaInfo", "cb:CallBack step=4"}),
              m_events);
    EXPECT_EQ(99u, callBack.vecReports.back().adwWords[4]);
    std::vector<RKTraceRecord> vecExpected = {s_enter,
                                              GetWriterLine(0),
                                              s_ejected,
                                              GetWriterLine(1),
                                              s_ejected,
                                              GetWriterLine(0),
                                              s_ejected,
                                              GetWriterLine(1),
                                              Info("bIsMediaIn, bUserCancel, 1 - 0"),
                                              Variable("ulTempIndex = 1"),
                                              Info("dwDiscType = 7, dwMediaType = 37"),
                                              Exit("1")};
    EXPECT_EQ(vecExpected, m_capture.records);
}

TEST_F(RKManagerWaitTest, CancelOnAnEmptyDriveStillOpensTheTrayAndPauses)
{
    Add('E', {0});
    CRKScriptedCallBack callBack(m_events, "cb", 1);
    m_manager->SetCallBack(&callBack);
    m_capture.records.clear();
    DWORD dwIndex = 0;

    EXPECT_EQ(0, Wait(dwIndex));

    EXPECT_EQ(0u, dwIndex);
    EXPECT_EQ(0xAAAAu, m_stMedia.dwMediaType);
    EXPECT_EQ(0xBBBBu, m_stMedia.dwDiscType);
    EXPECT_EQ((RKEventList{"cb:CallBack step=0", "E:IsMediaIn=0", "E:EjectTray", "Sleep 4000",
                           "cb:CallBack step=5"}),
              m_events);
    EXPECT_EQ((std::vector<RKTraceRecord>{s_enter, GetWriterLine(0), s_ejected,
                                          Info("bIsMediaIn, bUserCancel, 0 - 1"), Variable("ulTempIndex = 0"),
                                          Exit("0")}),
              m_capture.records);
}

TEST_F(RKManagerWaitTest, CancelOnThePollThatFindsTheDiscStillHandsItBack)
{
    Add('A', {0});
    Add('B', {1}, RKMakeMediaInfo(0x2000, 2));
    CRKScriptedCallBack callBack(m_events, "cb", 2);
    m_manager->SetCallBack(&callBack);
    m_capture.records.clear();
    DWORD dwIndex = RKANY;

    EXPECT_EQ(1, Wait(dwIndex));

    EXPECT_EQ(1u, dwIndex);
    EXPECT_EQ(0x2000u, m_stMedia.dwMediaType);
    EXPECT_EQ(2u, m_stMedia.dwDiscType);
    EXPECT_EQ(5, callBack.vecReports.back().step);
    EXPECT_EQ((RKEventList{"cb:CallBack step=0", "A:IsMediaIn=0", "A:EjectTray", "Sleep 4000",
                           "cb:CallBack step=0", "B:IsMediaIn=1", "B:GetMediaInfo", "cb:CallBack step=5"}),
              m_events);
    EXPECT_EQ((std::vector<RKTraceRecord>{s_enter, GetWriterLine(0), s_ejected, GetWriterLine(1),
                                          Info("bIsMediaIn, bUserCancel, 1 - 1"), Variable("ulTempIndex = 1"),
                                          Info("dwDiscType = 2, dwMediaType = 8192"), Exit("1")}),
              m_capture.records);
}

TEST_F(RKManagerWaitTest, OnlyOneCountsAsADisc)
{
    // The wait on one drive would stop at 2; this one opens the tray and goes on.
    Add('E', {2, -1, 1});
    DWORD dwIndex = 0;
    EXPECT_EQ(1, Wait(dwIndex));
    EXPECT_EQ((RKEventList{"E:IsMediaIn=2", "E:EjectTray", "Sleep 4000", "E:IsMediaIn=-1", "E:EjectTray",
                           "Sleep 4000", "E:IsMediaIn=1", "E:GetMediaInfo"}),
              m_events);
}

TEST_F(RKManagerWaitTest, ResultIsWhatTheScopeClosesWith)
{
    // The closing record carries the result; nothing follows it.
    Add('E', {1});
    DWORD dwIndex = RKANY;
    EXPECT_EQ(1, Wait(dwIndex));
    EXPECT_EQ(0u, dwIndex);
    ASSERT_FALSE(m_capture.records.empty());
    EXPECT_EQ(Exit("1"), m_capture.records.back());
    EXPECT_EQ(1, std::count_if(m_capture.records.begin(), m_capture.records.end(),
                               [](const RKTraceRecord& record) { return record.kind == RKLOG_ENTER; }));
}
