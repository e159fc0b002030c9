// The manager's shared part: lifecycle, copying and the writer table.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "RKDRV.h"
#include "RKFakeEngine.h"
#include "RKTraceCapture.h"

namespace
{
class CRKCountingCallBack : public CRKWriterCallBack
{
public:
    int CallBack(DWORD, RKWRITERCALLBACKINFO&) override
    {
        ++nCalls;
        return 0;
    }
    int nCalls = 0;
};

// Every test checks at its end that each writer was destroyed exactly once.
class RKManagerTest : public ::testing::Test
{
protected:
    CRKFakeManager* NewManager(const std::vector<WORD>& vecLetters)
    {
        CRKFakeManager* pManager = new CRKFakeManager(&m_vecEvents);
        pManager->List(vecLetters);
        for (WORD wLetter : vecLetters)
        {
            if (wLetter)
                m_vecExpectedDestroyed.push_back(std::string("destroyed ") + static_cast<char>(wLetter));
        }
        return pManager;
    }
    void TearDown() override
    {
        std::sort(m_vecEvents.begin(), m_vecEvents.end());
        std::sort(m_vecExpectedDestroyed.begin(), m_vecExpectedDestroyed.end());
        EXPECT_EQ(m_vecExpectedDestroyed, m_vecEvents);
    }

    std::vector<std::string> m_vecEvents;
    std::vector<std::string> m_vecExpectedDestroyed;
};

const std::vector<RKTraceRecord> s_vecClearScope = {Enter("ClearWriters"), Exit()};
} // namespace

TEST_F(RKManagerTest, FreshManagerHasNoModuleAndNoWriters)
{
    CRKFakeManager* pManager = NewManager({});
    EXPECT_EQ(nullptr, pManager->GetModule());
    EXPECT_EQ(0, pManager->GetNbWriter());
    EXPECT_GE(pManager->Table().capacity(), 50u);
    pManager->Release();
}

TEST_F(RKManagerTest, ModuleHandleRoundTripAndDump)
{
    CRKFakeManager* pManager = NewManager({});
    int nDummy = 0;
    HINSTANCE hModule = reinterpret_cast<HINSTANCE>(&nDummy);
    pManager->SetModule(hModule);
    EXPECT_EQ(hModule, pManager->GetModule());
    pManager->SetModule(nullptr);
    EXPECT_EQ(nullptr, pManager->GetModule());
    EXPECT_EQ(0, pManager->Dump());
    EXPECT_EQ(0x10FFFFFFu, pManager->m_Error.GetError());
    pManager->Release();
}

TEST_F(RKManagerTest, ClearWritersDestroysEachOnceAndPassesPlaceholders)
{
    CRKFakeManager* pManager = NewManager({'E', 0, 'F'});
    std::size_t nCapacity = pManager->Table().capacity();
    {
        CRKTraceCapture capture;
        pManager->ClearWriters();
        EXPECT_EQ(s_vecClearScope, capture.records);
    }
    EXPECT_EQ(2u, m_vecEvents.size());
    EXPECT_EQ(0, pManager->GetNbWriter());
    EXPECT_EQ(nCapacity, pManager->Table().capacity());
    {
        CRKTraceCapture capture;
        pManager->ClearWriters();
        EXPECT_EQ(s_vecClearScope, capture.records);
    }
    EXPECT_EQ(2u, m_vecEvents.size());
    pManager->Release();
}

TEST_F(RKManagerTest, DestructionClearsTheTable)
{
    CRKFakeManager* pManager = NewManager({'E', 'F', 'G'});
    CRKTraceCapture capture;
    pManager->Release();
    EXPECT_EQ(s_vecClearScope, capture.records);
    EXPECT_EQ(3u, m_vecEvents.size());
}

TEST_F(RKManagerTest, CopyListsTheSameWritersAndFields)
{
    CRKFakeManager* pManager = NewManager({'E', 0, 'F'});
    int nDummy = 0;
    pManager->SetModule(reinterpret_cast<HINSTANCE>(&nDummy));
    pManager->SetValid(7);
    pManager->Dump();

    // The copy must be discarded without destroying the shared writers.
    CRKFakeManager* pCopy = new CRKFakeManager(*pManager);
    EXPECT_EQ(pManager->Table(), pCopy->Table());
    EXPECT_EQ(7, pCopy->IsValid());
    EXPECT_EQ(pManager->GetModule(), pCopy->GetModule());
    EXPECT_EQ(0x10FFFFFFu, pCopy->m_Error.GetError());
    pCopy->Table().clear();
    pCopy->Release();

    CRKFakeManager assigned;
    assigned = *pManager;
    EXPECT_EQ(pManager->Table(), assigned.Table());
    EXPECT_EQ(7, assigned.IsValid());
    EXPECT_EQ(pManager->GetModule(), assigned.GetModule());
    assigned.Table().clear();

    EXPECT_TRUE(m_vecEvents.empty());
    pManager->Release();
}

TEST_F(RKManagerTest, EmptyTableLookups)
{
    CRKFakeManager* pManager = NewManager({});
    CRKTraceCapture capture;
    EXPECT_EQ(0, pManager->GetNbWriter());
    EXPECT_EQ(nullptr, pManager->GetWriter(0));
    unsigned int uIndex = 77;
    EXPECT_EQ(nullptr, pManager->GetWriterFromLetter('E', uIndex));
    EXPECT_EQ(77u, uIndex);
    std::vector<RKTraceRecord> vecExpected = {
        Info("CRKDRVManager::GetWriter(0)"),
        Info("CRKDRVManager::GetWriterFromLetter(E:\\)"),
    };
    EXPECT_EQ(vecExpected, capture.records);
    pManager->Release();
}

TEST_F(RKManagerTest, GetWriterBoundaries)
{
    CRKFakeManager* pManager = NewManager({'E', 'F', 'G'});
    CRKTraceCapture capture;
    EXPECT_EQ(pManager->Table()[0], pManager->GetWriter(0));
    EXPECT_EQ(pManager->Table()[2], pManager->GetWriter(2));
    EXPECT_EQ(nullptr, pManager->GetWriter(3));
    EXPECT_EQ(nullptr, pManager->GetWriter(0xFFFFFFFF));
    EXPECT_EQ(nullptr, pManager->GetWriter(0x80000000));
    std::vector<RKTraceRecord> vecExpected = {
        Info("CRKDRVManager::GetWriter(0)"),           Info("CRKDRVManager::GetWriter(2)"),
        Info("CRKDRVManager::GetWriter(3)"),           Info("CRKDRVManager::GetWriter(-1)"),
        Info("CRKDRVManager::GetWriter(-2147483648)"),
    };
    EXPECT_EQ(vecExpected, capture.records);
    pManager->Release();
}

TEST_F(RKManagerTest, LetterSearchVisitsUpToTheMatch)
{
    CRKFakeManager* pManager = NewManager({'E', 'F', 'G'});
    CRKTraceCapture capture;
    unsigned int uIndex = 0;
    EXPECT_EQ(pManager->Table()[2], pManager->GetWriterFromLetter('G', uIndex));
    EXPECT_EQ(2u, uIndex);
    std::vector<RKTraceRecord> vecExpected = {
        Info("CRKDRVManager::GetWriterFromLetter(G:\\)"),
        Info("CRKDRVManager::GetWriter(0)"),
        Info("CRKDRVManager::GetWriter(1)"),
        Info("CRKDRVManager::GetWriter(2)"),
    };
    EXPECT_EQ(vecExpected, capture.records);
    pManager->Release();
}

TEST_F(RKManagerTest, LetterSearchIsExactAndLowestIndexWins)
{
    CRKFakeManager* pManager = NewManager({'A', 'E', 'B', 'E'});
    unsigned int uIndex = 9;
    EXPECT_EQ(nullptr, pManager->GetWriterFromLetter('e', uIndex));
    EXPECT_EQ(9u, uIndex);
    EXPECT_EQ(pManager->Table()[1], pManager->GetWriterFromLetter('E', uIndex));
    EXPECT_EQ(1u, uIndex);
    pManager->Release();
}

TEST_F(RKManagerTest, PlaceholdersInTheTable)
{
    CRKFakeManager* pManager = NewManager({0, 'F'});
    EXPECT_EQ(2, pManager->GetNbWriter());
    {
        CRKTraceCapture capture;
        EXPECT_EQ(nullptr, pManager->GetWriter(0));
        EXPECT_EQ((std::vector<RKTraceRecord>{Info("CRKDRVManager::GetWriter(0)")}), capture.records);
    }
    {
        CRKTraceCapture capture;
        unsigned int uIndex = 0;
        EXPECT_EQ(pManager->Table()[1], pManager->GetWriterFromLetter('F', uIndex));
        EXPECT_EQ(1u, uIndex);
        std::vector<RKTraceRecord> vecExpected = {
            Info("CRKDRVManager::GetWriterFromLetter(F:\\)"),
            Info("CRKDRVManager::GetWriter(0)"),
            Error("NULL Writer"),
            Info("CRKDRVManager::GetWriter(1)"),
        };
        EXPECT_EQ(vecExpected, capture.records);
    }
    CRKCountingCallBack callBack;
    pManager->SetCallBack(&callBack);
    RKWRITERCALLBACKINFO info;
    EXPECT_EQ(0, pManager->Table()[1]->CallBack(1, info));
    EXPECT_EQ(1, callBack.nCalls);
    pManager->Release();
}

TEST_F(RKManagerTest, BroadcastCallBackAndNullChangesNothing)
{
    CRKFakeManager* pManager = NewManager({'E', 'F'});
    CRKCountingCallBack callBack;
    pManager->SetCallBack(&callBack);
    pManager->SetCallBack(nullptr);
    RKWRITERCALLBACKINFO info;
    for (CRKWriter* pWriter : pManager->Table())
        EXPECT_EQ(0, pWriter->CallBack(1, info));
    EXPECT_EQ(2, callBack.nCalls);
    pManager->Release();
}

TEST_F(RKManagerTest, RefreshRescansAndDropsInstalledCallBacks)
{
    CRKFakeManager* pManager = NewManager({'E', 'F'});
    CRKCountingCallBack callBack;
    pManager->SetCallBack(&callBack);
    pManager->vecNextScan = {'G'};
    m_vecExpectedDestroyed.push_back("destroyed G");
    {
        CRKTraceCapture capture;
        EXPECT_EQ(0, pManager->Refresh());
        EXPECT_EQ(s_vecClearScope, capture.records);
    }
    EXPECT_EQ(1, pManager->nEnumerate);
    EXPECT_EQ((std::vector<std::string>{"destroyed E", "destroyed F"}), m_vecEvents);
    ASSERT_EQ(1, pManager->GetNbWriter());
    EXPECT_EQ(u'G', pManager->Table()[0]->GetDriveLetter());
    RKWRITERCALLBACKINFO info;
    EXPECT_EQ(1, pManager->Table()[0]->CallBack(1, info));
    EXPECT_EQ(0, callBack.nCalls);

    pManager->vecNextScan = {};
    EXPECT_EQ(0, pManager->Refresh());
    EXPECT_EQ(0, pManager->GetNbWriter());
    pManager->Release();
}
