// Reordering a manager's writers by drive letters: only pointers move.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "RKAllocFailure.h"
#include "RKDRV.h"
#include "RKFakeEngine.h"
#include "RKTraceCapture.h"

namespace
{
// Records its own address when destroyed, so that writers sharing a letter
// are still told apart.
class CRKTrackedWriter : public CRKFakeWriter
{
public:
    CRKTrackedWriter(WORD wLetter, std::vector<const void*>& vecDestroyed)
        : CRKFakeWriter(wLetter), m_vecDestroyed(vecDestroyed)
    {
    }
    ~CRKTrackedWriter() override { m_vecDestroyed.push_back(this); }

private:
    std::vector<const void*>& m_vecDestroyed;
};

std::vector<WORD> Input(const std::string& strLetters)
{
    // '0' stands for a zero letter.
    std::vector<WORD> vecOut;
    for (char c : strLetters)
        vecOut.push_back(c == '0' ? 0 : static_cast<WORD>(c));
    return vecOut;
}

// Each test checks at its end that every listed writer was destroyed once.
class RKReorderTest : public ::testing::Test
{
protected:
    // '-' in strTable lists a null placeholder.
    CRKFakeManager* NewManager(const std::string& strTable)
    {
        CRKFakeManager* pManager = new CRKFakeManager;
        for (char c : strTable)
        {
            CRKWriter* pWriter = nullptr;
            if (c != '-')
            {
                pWriter = new CRKTrackedWriter(static_cast<WORD>(c), m_vecDestroyed);
                m_vecListed.push_back(pWriter);
            }
            pManager->Table().push_back(pWriter);
        }
        return pManager;
    }

    void ExpectEachDestroyedOnce()
    {
        std::sort(m_vecListed.begin(), m_vecListed.end());
        std::sort(m_vecDestroyed.begin(), m_vecDestroyed.end());
        EXPECT_EQ(m_vecListed, m_vecDestroyed);
        m_vecListed.clear();
        m_vecDestroyed.clear();
    }

    void TearDown() override { ExpectEachDestroyedOnce(); }

    std::vector<const void*> m_vecListed;
    std::vector<const void*> m_vecDestroyed;
};

std::string Reordered(CRKFakeManager* pManager, const std::string& strInput)
{
    EXPECT_EQ(0, pManager->ReorderEngineVector(Input(strInput)));
    return TableLetters(pManager);
}
} // namespace

TEST_F(RKReorderTest, NamedFirstThenPlaceholdersThenTheRest)
{
    struct Case
    {
        const char* szTable;
        const char* szInput;
        const char* szResult;
    };
    const Case aCases[] = {
        {"EFG", "GE", "GEF"}, {"FEG", "EF", "EFG"}, {"F", "EF", "-F"},     {"", "EF", "--"},
        {"EF", "", "EF"},     {"EF", "EE", "E-F"},  {"EF", "0F", "FE"},    {"E-F", "F", "FE"},
        {"E", "e", "-E"},     {"EF", "EF", "EF"},   {"", "", ""},          {"-", "", ""},
        {"E-", "0", "E"},     {"EEF", "E", "EEF"},  {"EEF", "FEE", "FEE"}, {"eE", "E", "Ee"},
    };
    for (const Case& c : aCases)
    {
        CRKFakeManager* pManager = NewManager(c.szTable);
        EXPECT_EQ(c.szResult, Reordered(pManager, c.szInput)) << c.szTable << " by " << c.szInput;
        pManager->Release();
    }
}

TEST_F(RKReorderTest, TraceShowsEmptiedEntriesAsNullWriters)
{
    CRKFakeManager* pManager = NewManager("EF");
    {
        CRKTraceCapture capture;
        EXPECT_EQ("EF", Reordered(pManager, "EF"));
        std::vector<RKTraceRecord> vecExpected = {
            Enter("CRKDRVManager::ReorderEngineVector"), Info("CRKDRVManager::GetWriterFromLetter(E:\\)"),
            Info("CRKDRVManager::GetWriter(0)"),         Info("CRKDRVManager::GetWriterFromLetter(F:\\)"),
            Info("CRKDRVManager::GetWriter(0)"),         Error("NULL Writer"),
            Info("CRKDRVManager::GetWriter(1)"),         Exit(),
        };
        // TableLetters() reads the table after the call: drop its lines.
        capture.records.resize(std::min(capture.records.size(), vecExpected.size()));
        EXPECT_EQ(vecExpected, capture.records);
    }
    pManager->Release();
}

TEST_F(RKReorderTest, TraceOfRepeatsZerosMissesAndOldPlaceholders)
{
    CRKFakeManager* pManager = NewManager("-E");
    {
        CRKTraceCapture capture;
        pManager->ReorderEngineVector(Input("E0EG"));
        std::vector<RKTraceRecord> vecExpected = {
            Enter("CRKDRVManager::ReorderEngineVector"),
            Info("CRKDRVManager::GetWriterFromLetter(E:\\)"),
            Info("CRKDRVManager::GetWriter(0)"),
            Error("NULL Writer"),
            Info("CRKDRVManager::GetWriter(1)"),
            // The zero letter leaves nothing; the repeat passes both nulls.
            Info("CRKDRVManager::GetWriterFromLetter(E:\\)"),
            Info("CRKDRVManager::GetWriter(0)"),
            Error("NULL Writer"),
            Info("CRKDRVManager::GetWriter(1)"),
            Error("NULL Writer"),
            Info("CRKDRVManager::GetWriterFromLetter(G:\\)"),
            Info("CRKDRVManager::GetWriter(0)"),
            Error("NULL Writer"),
            Info("CRKDRVManager::GetWriter(1)"),
            Error("NULL Writer"),
            Exit(),
        };
        EXPECT_EQ(vecExpected, capture.records);
    }
    EXPECT_EQ("E--", TableLetters(pManager));
    pManager->Release();
}

TEST_F(RKReorderTest, EmptyTableLooksUpWithoutVisitingEntries)
{
    CRKFakeManager* pManager = NewManager("");
    {
        CRKTraceCapture capture;
        pManager->ReorderEngineVector(Input("EF"));
        std::vector<RKTraceRecord> vecExpected = {
            Enter("CRKDRVManager::ReorderEngineVector"),
            Info("CRKDRVManager::GetWriterFromLetter(E:\\)"),
            Info("CRKDRVManager::GetWriterFromLetter(F:\\)"),
            Exit(),
        };
        EXPECT_EQ(vecExpected, capture.records);
    }
    EXPECT_EQ(2, pManager->GetNbWriter());
    EXPECT_EQ("--", TableLetters(pManager));
    pManager->Release();
}

TEST_F(RKReorderTest, HeldPointersSurviveAndRunsRepeat)
{
    CRKFakeManager* pManager = NewManager("FEG");
    CRKWriter* pE = pManager->GetWriter(1);
    CRKWriter* pF = pManager->GetWriter(0);
    CRKWriter* pG = pManager->GetWriter(2);
    pManager->ReorderEngineVector(Input("EF"));
    EXPECT_EQ((std::vector<CRKWriter*>{pE, pF, pG}), pManager->Table());
    pManager->ReorderEngineVector(Input("GH"));
    EXPECT_EQ((std::vector<CRKWriter*>{pG, nullptr, pE, pF}), pManager->Table());
    pManager->ReorderEngineVector(Input("F"));
    EXPECT_EQ((std::vector<CRKWriter*>{pF, pG, pE}), pManager->Table());
    EXPECT_TRUE(m_vecDestroyed.empty());
    pManager->Release();
}

TEST_F(RKReorderTest, ResultLongerThanTheTableBuffer)
{
    // More entries than the table had room for: the result takes a new buffer.
    CRKFakeManager* pManager = NewManager("E");
    std::string strInput(200, 'X');
    strInput += 'E';
    pManager->ReorderEngineVector(Input(strInput));
    ASSERT_EQ(201, pManager->GetNbWriter());
    EXPECT_EQ(nullptr, pManager->GetWriter(199));
    EXPECT_EQ(m_vecListed[0], pManager->GetWriter(200));
    pManager->Release();
}

TEST_F(RKReorderTest, OutOfMemoryLeavesTheTableAsItWas)
{
    if (!RKTestCanFailAllocations())
        GTEST_SKIP()
            << "the library's allocations cannot be made to fail here (a memory checker replaces the "
               "allocation functions, or the library carries its own C++ runtime)";
    CRKFakeManager* pManager = NewManager(std::string(1000, 'E') + "-F");
    std::vector<CRKWriter*> vecBefore = pManager->Table();
    {
        CRKTraceCapture capture;
        {
            CRKAllocFailure failure(4096);
            EXPECT_EQ(0, pManager->ReorderEngineVector(Input("FE")));
        }
        std::vector<RKTraceRecord> vecExpected = {
            Enter("CRKDRVManager::ReorderEngineVector"),
            Error("Not enough memory to reorder writers"),
            Exit(),
        };
        EXPECT_EQ(vecExpected, capture.records);
    }
    EXPECT_EQ(vecBefore, pManager->Table());
    pManager->Release();
}

TEST_F(RKReorderTest, RandomTablesFollowTheRule)
{
    // Letters repeat, differ only in case, or are missing from the table;
    // tables hold placeholders; inputs hold zeros.
    const char szTableLetters[] = "EEFGe-";
    const char szInputLetters[] = "EFGeH0";
    std::mt19937 rng(20240601u);
    for (int nRound = 0; nRound < 1500; ++nRound)
    {
        std::string strTable;
        std::string strInput;
        int nTable = static_cast<int>(rng() % 9);
        int nInput = static_cast<int>(rng() % 9);
        for (int i = 0; i < nTable; ++i)
            strTable += szTableLetters[rng() % 6];
        for (int i = 0; i < nInput; ++i)
            strInput += szInputLetters[rng() % 6];

        CRKFakeManager* pManager = NewManager(strTable);
        std::vector<CRKWriter*> vecBefore = pManager->Table();

        // The rule, stated independently: each nonzero letter takes the
        // lowest-indexed untaken writer with exactly that letter, or a
        // placeholder; untaken writers follow in table order. A lookup
        // visits entries up to its match, naming each null or taken one.
        std::vector<bool> vecTaken(vecBefore.size(), false);
        std::vector<CRKWriter*> vecExpected;
        std::vector<RKTraceRecord> vecTrace = {Enter("CRKDRVManager::ReorderEngineVector")};
        for (char c : strInput)
        {
            if (c == '0')
                continue;
            vecTrace.push_back(Info(std::string("CRKDRVManager::GetWriterFromLetter(") + c + ":\\)"));
            CRKWriter* pFound = nullptr;
            for (std::size_t i = 0; i < vecBefore.size() && !pFound; ++i)
            {
                vecTrace.push_back(Info("CRKDRVManager::GetWriter(" + std::to_string(i) + ")"));
                if (!vecBefore[i] || vecTaken[i])
                    vecTrace.push_back(Error("NULL Writer"));
                else if (vecBefore[i]->GetDriveLetter() == static_cast<WORD>(c))
                {
                    pFound = vecBefore[i];
                    vecTaken[i] = true;
                }
            }
            vecExpected.push_back(pFound);
        }
        vecTrace.push_back(Exit());
        for (std::size_t i = 0; i < vecBefore.size(); ++i)
        {
            if (vecBefore[i] && !vecTaken[i])
                vecExpected.push_back(vecBefore[i]);
        }

        CRKTraceCapture capture;
        EXPECT_EQ(0, pManager->ReorderEngineVector(Input(strInput)));
        EXPECT_EQ(vecTrace, capture.records) << strTable << " by " << strInput;
        EXPECT_EQ(vecExpected, pManager->Table()) << strTable << " by " << strInput;

        // The same writers, none lost, none added.
        std::vector<CRKWriter*> vecLiveBefore;
        std::vector<CRKWriter*> vecLiveAfter;
        std::copy_if(vecBefore.begin(), vecBefore.end(), std::back_inserter(vecLiveBefore),
                     [](CRKWriter* p) { return p != nullptr; });
        std::copy_if(pManager->Table().begin(), pManager->Table().end(), std::back_inserter(vecLiveAfter),
                     [](CRKWriter* p) { return p != nullptr; });
        std::sort(vecLiveBefore.begin(), vecLiveBefore.end());
        std::sort(vecLiveAfter.begin(), vecLiveAfter.end());
        EXPECT_EQ(vecLiveBefore, vecLiveAfter);
        EXPECT_TRUE(m_vecDestroyed.empty());

        pManager->Release();
        ExpectEachDestroyedOnce();
        if (HasFailure())
            break;
    }
}
