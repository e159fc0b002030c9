// Media waits when an engine operation or the host's callback throws: the
// wait ends at once with no disc, one trace line names the call, and the
// caller's variables are left as they were.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "RKDRV.h"
#include "RKTraceCapture.h"
#include "RKWaitScript.h"

namespace
{
const DWORD RKANY = 0xFFFFFFFF;

struct RKFaultCase
{
    const char* szThrowIn;   // the writer's operation that throws, or "CallBack"
    std::size_t nCallBackAt; // which report throws, for "CallBack"
    std::vector<int> vecPresence;
    RKEventList vecManagerEvents; // the wait across drives, up to the fault
    RKEventList vecWriterEvents;  // the wait on one drive, up to the fault
};

void PrintTo(const RKFaultCase& faultCase, std::ostream* pOut)
{
    *pOut << faultCase.szThrowIn << " #" << faultCase.nCallBackAt;
}

class RKWaitFaultTest : public ::testing::TestWithParam<RKFaultCase>
{
protected:
    void SetUp() override
    {
        const RKFaultCase& faultCase = GetParam();
        m_pWriter = new CRKScriptedWriter('E', m_events, faultCase.vecPresence);
        m_manager.Table().push_back(m_pWriter);
        if (std::string(faultCase.szThrowIn) != "CallBack")
            m_pWriter->strThrowIn = faultCase.szThrowIn;
        m_callBack.onCall = [this](std::size_t nCall, RKWRITERCALLBACKINFO&)
        {
            if (std::string(GetParam().szThrowIn) == "CallBack" && nCall == GetParam().nCallBackAt)
            {
                m_events.push_back("cb threw");
                throw std::runtime_error("callback");
            }
        };
        m_pWriter->SetCallBack(&m_callBack);
    }

    std::string FaultLine() const { return std::string(GetParam().szThrowIn) + " threw an exception"; }

    RKEventList m_events;
    CRKRecordedSleep m_sleep{m_events};
    CRKFakeManager m_manager;
    CRKScriptedWriter* m_pWriter = nullptr;
    CRKScriptedCallBack m_callBack{m_events, "cb"};
};
} // namespace

TEST_P(RKWaitFaultTest, WaitAcrossDrivesEndsWithNoDiscAndClosesItsScope)
{
    for (DWORD dwStart : {RKANY, static_cast<DWORD>(0)})
    {
        m_events.clear();
        m_callBack.vecReports.clear();
        RKMediaInfo stMedia = RKMakeMediaInfo(0xAAAA, 0xBBBB);
        DWORD dwIndex = dwStart;
        CRKTraceCapture capture;

        EXPECT_EQ(0, m_manager.WaitMedia(stMedia, dwIndex));

        EXPECT_EQ(dwStart, dwIndex);
        EXPECT_EQ(0xAAAAu, stMedia.dwMediaType);
        EXPECT_EQ(0xBBBBu, stMedia.dwDiscType);
        EXPECT_EQ(GetParam().vecManagerEvents, m_events);
        ASSERT_GE(capture.records.size(), 3u);
        EXPECT_EQ(Enter("CRKDRVManager::WaitMedia(&stMediaInfo,&dwIndex)"), capture.records.front());
        EXPECT_EQ((std::vector<RKTraceRecord>{Error(FaultLine()), Exit("0")}),
                  std::vector<RKTraceRecord>(capture.records.end() - 2, capture.records.end()));
    }
}

TEST_P(RKWaitFaultTest, WaitOnOneDriveEndsWithNoMedium)
{
    CRKTraceCapture capture;
    RKMediaInfo stResult = m_pWriter->WaitMedia();
    EXPECT_EQ(0u, stResult.dwMediaType);
    EXPECT_EQ(0u, stResult.dwDiscType);
    EXPECT_EQ(GetParam().vecWriterEvents, m_events);
    ASSERT_FALSE(capture.records.empty());
    EXPECT_EQ(Error(FaultLine()), capture.records.back());

    // Not even a wanted record of zeros is taken for a disc.
    m_events.clear();
    m_callBack.vecReports.clear();
    EXPECT_EQ(0, m_pWriter->WaitMedia(0, 0));
    EXPECT_EQ(GetParam().vecWriterEvents, m_events);
}

INSTANTIATE_TEST_SUITE_P(
    EachCall, RKWaitFaultTest,
    ::testing::Values(
        RKFaultCase{"IsMediaIn", 0, {1}, {"cb:CallBack step=0", "E:IsMediaIn threw"}, {"E:IsMediaIn threw"}},
        RKFaultCase{"EjectTray",
                    0,
                    {0},
                    {"cb:CallBack step=0", "E:IsMediaIn=0", "E:EjectTray threw"},
                    {"E:IsMediaIn=0", "E:EjectTray threw"}},
        RKFaultCase{"GetMediaInfo",
                    0,
                    {1},
                    {"cb:CallBack step=0", "E:IsMediaIn=1", "E:GetMediaInfo threw"},
                    {"E:IsMediaIn=1", "cb:CallBack step=1", "E:IsMediaIn=1", "E:GetMediaInfo threw"}},
        // The first report of each wait.
        RKFaultCase{"CallBack",
                    1,
                    {1},
                    {"cb:CallBack step=0", "cb threw"},
                    {"E:IsMediaIn=1", "cb:CallBack step=1", "cb threw"}},
        // The final notice, after the disc was found: still no disc reported.
        RKFaultCase{
            "CallBack",
            2,
            {1},
            {"cb:CallBack step=0", "E:IsMediaIn=1", "E:GetMediaInfo", "cb:CallBack step=4", "cb threw"},
            {"E:IsMediaIn=1", "cb:CallBack step=1", "E:IsMediaIn=1", "E:GetMediaInfo", "cb:CallBack step=4",
             "cb threw"}}));
