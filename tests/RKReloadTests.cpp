// Replacing a manager while keeping the writer order, across real engine
// module loads.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "RKAllocFailure.h"
#include "RKDRV.h"
#include "RKFakeEngine.h"
#include "RKOsLayer.h"
#include "RKTestFolderLoad.h"
#include "RKTestModule.h"
#include "RKTestProbe.h"
#include "RKTextUtil.h"
#include "RKTraceCapture.h"

namespace
{
RKTestProbe s_Probe;
std::string Pointer(const void* pObject)
{
    std::ostringstream out;
    out << "0x" << std::hex << reinterpret_cast<std::uintptr_t>(pObject);
    return out.str();
}

std::string Exit64(const void* pObject)
{
    char szValue[32];
    std::snprintf(szValue, sizeof(szValue), "0x%016llx",
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(pObject)));
    return szValue;
}

// GetODDManager's scope for a single-name identifier that loads.
std::vector<RKTraceRecord> Loaded(const std::string& strODD, const std::string& strModule)
{
    return {Enter("RKDRV::GetODDManager(dwODD:" + strODD + ")"),
            Step("Manager"),
            Info("Burning Engine chosen : " + strModule),
            Info("Module Successfully loaded"),
            Info("trying to load  _RK_Factory_Creation_Function_CRKDRVManager"),
            Info("Function loaded successfully."),
            Exit()};
}

const std::vector<RKTraceRecord> s_vecReleased = {Step("ClearODDManager()"), Info("Releasing Manager"),
                                                  Enter("ClearWriters"), Exit()};

void Append(std::vector<RKTraceRecord>& vecAll, const std::vector<RKTraceRecord>& vecPart)
{
    vecAll.insert(vecAll.end(), vecPart.begin(), vecPart.end());
}

class RKReloadTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RKTestProbeReset(s_Probe);
        RKTestPublishProbe(&s_Probe);
        RKTestLoadEnginesFrom("all", &s_Probe);
    }

    void TearDown() override
    {
        RKOsSetCalls(nullptr);
        RKTestPublishProbe(nullptr);
        for (const char* szName : {"RKDRVCL", "RKDRVRD", "RKDRVIM", "RKDRVSC"})
            EXPECT_FALSE(RKTestIsModuleLoaded(RKTestEngineFile("all", szName))) << szName;
        // Every writer made was destroyed once, and every manager released.
        EXPECT_EQ(m_nWritersMade, s_Probe.nWritersDestroyed);
        EXPECT_EQ(s_Probe.nFactoryCalls, s_Probe.nRelease);
    }

    // The drives the next manager an engine makes lists; 0 for none.
    void NextDrives(const std::string& strLetters)
    {
        s_Probe.nLetters = static_cast<int>(strLetters.size());
        for (std::size_t i = 0; i < strLetters.size(); ++i)
            s_Probe.awLetters[i] = static_cast<WORD>(strLetters[i]);
        m_nWritersMade += static_cast<int>(strLetters.size());
    }

    CRKDRVManager* Load(DWORD dwODD, const std::string& strLetters)
    {
        NextDrives(strLetters);
        CRKDRVManager* pManager = RKDRV::GetODDManager(dwODD);
        EXPECT_NE(nullptr, pManager);
        s_Probe.szEvents[0] = 0;
        return pManager;
    }

    std::string Events() const { return s_Probe.szEvents; }

    int m_nWritersMade = 0;
};
} // namespace

TEST_F(RKReloadTest, SameEngineAgainKeepsTheKnownIndexes)
{
    CRKDRVManager* pManager = Load(RKDRV_ENGINE_CL, "EF");
    CRKDRVManager* pOld = pManager;
    NextDrives("FEG");
    CRKTraceCapture capture;
    CRKDRVManager* pNew = RKDRV::ReloadODDManager(pManager, RKDRV_ENGINE_CL);
    ASSERT_NE(nullptr, pNew);
    EXPECT_EQ(pNew, pManager);

    std::vector<RKTraceRecord> vecExpected = {
        Enter("RKDRV::ReloadODDManager oddobj:" + Pointer(pOld) + " oddid:0xf0000002"),
        Info("CRKDRVManager::GetWriter(0)"),
        Info("Stores engine info: index:0, letter:E"),
        Info("CRKDRVManager::GetWriter(1)"),
        Info("Stores engine info: index:1, letter:F"),
    };
    Append(vecExpected, s_vecReleased);
    Append(vecExpected, Loaded("f0000002", "RKDRVCL.DLL"));
    Append(vecExpected, {
                            Enter("CRKDRVManager::ReorderEngineVector"),
                            Info("CRKDRVManager::GetWriterFromLetter(E:\\)"),
                            Info("CRKDRVManager::GetWriter(0)"),
                            Info("CRKDRVManager::GetWriter(1)"),
                            Info("CRKDRVManager::GetWriterFromLetter(F:\\)"),
                            Info("CRKDRVManager::GetWriter(0)"),
                            Exit(),
                            Exit(Exit64(pNew)),
                        });
    EXPECT_EQ(vecExpected, capture.records);

    // The old engine, writers included, is gone and its module unloaded
    // before the module is loaded again and asked for the new manager.
    EXPECT_EQ("RKDRVCL:release;RKDRVCL:manager-destroyed;RKDRVCL:writer-destroyed;RKDRVCL:writer-destroyed;"
              "os:free;RKDRVCL:unload;os:load;RKDRVCL:factory;RKDRVCL:initialize;",
              Events());
    EXPECT_EQ(RKTestModuleHandle(RKTestEngineFile("all", "RKDRVCL")),
              static_cast<void*>(pManager->GetModule()));
    EXPECT_EQ("EFG", TableLetters(pManager));
    RKDRV::ClearODDManager(pManager);
}

TEST_F(RKReloadTest, SwitchingEngineFilesLeavesAPlaceholderForALostDrive)
{
    CRKDRVManager* pManager = Load(RKDRV_ENGINE_CL, "EF");
    NextDrives("F");
    ASSERT_NE(nullptr, RKDRV::ReloadODDManager(pManager, RKDRV_ENGINE_RD));
    EXPECT_EQ("RKDRVCL:release;RKDRVCL:manager-destroyed;RKDRVCL:writer-destroyed;RKDRVCL:writer-destroyed;"
              "os:free;RKDRVCL:unload;os:load;RKDRVRD:factory;RKDRVRD:initialize;",
              Events());
    EXPECT_FALSE(RKTestIsModuleLoaded(RKTestEngineFile("all", "RKDRVCL")));
    EXPECT_EQ(2, pManager->GetNbWriter());
    EXPECT_EQ(nullptr, pManager->GetWriter(0));
    ASSERT_NE(nullptr, pManager->GetWriter(1));
    EXPECT_EQ("RKDRVRD Drive F", RKTextToUtf8(pManager->GetWriter(1)->GetModelName()));
    RKDRV::ClearODDManager(pManager);
}

TEST_F(RKReloadTest, EmptySlotHoldsNoPlaceInTheNextManager)
{
    CRKDRVManager* pManager = Load(RKDRV_ENGINE_CL, "EF");
    NextDrives("F");
    ASSERT_NE(nullptr, RKDRV::ReloadODDManager(pManager, RKDRV_ENGINE_CL));
    ASSERT_EQ("-F", TableLetters(pManager));

    // The list path: the fallback list's first engine, without Initialize.
    NextDrives("EF");
    s_Probe.szEvents[0] = 0;
    CRKTraceCapture capture;
    ASSERT_NE(nullptr, RKDRV::ReloadODDManager(pManager, RKDRV_ENGINE_ANY));
    std::vector<RKTraceRecord> vecSnapshot(capture.records.begin() + 1, capture.records.begin() + 5);
    std::vector<RKTraceRecord> vecExpected = {
        Info("CRKDRVManager::GetWriter(0)"),
        // A zero letter is written as nothing.
        Info("Stores engine info: index:0, letter:"),
        Info("CRKDRVManager::GetWriter(1)"),
        Info("Stores engine info: index:1, letter:F"),
    };
    EXPECT_EQ(vecExpected, vecSnapshot);
    EXPECT_EQ("RKDRVCL:release;RKDRVCL:manager-destroyed;RKDRVCL:writer-destroyed;os:free;RKDRVCL:unload;"
              "os:load;RKDRVCL:factory;",
              Events());
    EXPECT_EQ("FE", TableLetters(pManager));
    RKDRV::ClearODDManager(pManager);
}

TEST_F(RKReloadTest, ManagerWithoutWritersStoresNothing)
{
    CRKDRVManager* pManager = Load(RKDRV_ENGINE_RD, "");
    CRKDRVManager* pOld = pManager;
    NextDrives("GE");
    CRKTraceCapture capture;
    ASSERT_NE(nullptr, RKDRV::ReloadODDManager(pManager, RKDRV_ENGINE_CL));
    std::vector<RKTraceRecord> vecExpected = {
        Enter("RKDRV::ReloadODDManager oddobj:" + Pointer(pOld) + " oddid:0xf0000002"),
    };
    Append(vecExpected, s_vecReleased);
    Append(vecExpected, Loaded("f0000002", "RKDRVCL.DLL"));
    Append(vecExpected, {Enter("CRKDRVManager::ReorderEngineVector"), Exit(), Exit(Exit64(pManager))});
    EXPECT_EQ(vecExpected, capture.records);
    EXPECT_EQ("GE", TableLetters(pManager));
    RKDRV::ClearODDManager(pManager);
}

TEST_F(RKReloadTest, FailedLoadLeavesTheHostWithNothing)
{
    CRKDRVManager* pManager = Load(RKDRV_ENGINE_CL, "EF");
    CRKDRVManager* pOld = pManager;
    CRKTraceCapture capture;
    EXPECT_EQ(nullptr, RKDRV::ReloadODDManager(pManager, 0xFFFF0002));
    EXPECT_EQ(nullptr, pManager);
    std::vector<RKTraceRecord> vecExpected = {
        Enter("RKDRV::ReloadODDManager oddobj:" + Pointer(pOld) + " oddid:0xffff0002"),
        Info("CRKDRVManager::GetWriter(0)"),
        Info("Stores engine info: index:0, letter:E"),
        Info("CRKDRVManager::GetWriter(1)"),
        Info("Stores engine info: index:1, letter:F"),
    };
    Append(vecExpected, s_vecReleased);
    Append(vecExpected, {Enter("RKDRV::GetODDManager(dwODD:ffff0002)"), Exit(),
                         Error("failed to get odd manager"), Exit("0")});
    EXPECT_EQ(vecExpected, capture.records);
    EXPECT_EQ(1, s_Probe.nRelease);
    EXPECT_EQ(1, s_Probe.nUnloads);
}

TEST_F(RKReloadTest, NullManagerReleasesNothing)
{
    CRKDRVManager* pManager = nullptr;
    CRKTraceCapture capture;
    EXPECT_EQ(nullptr, RKDRV::ReloadODDManager(pManager, RKDRV_ENGINE_CL));
    EXPECT_EQ(nullptr, pManager);
    std::vector<RKTraceRecord> vecExpected = {
        Enter("RKDRV::ReloadODDManager oddobj:0x0 oddid:0xf0000002"),
        Error("BAD argument - NULL manager"),
        Exit("0"),
    };
    EXPECT_EQ(vecExpected, capture.records);
    EXPECT_STREQ("", s_Probe.szEvents);
}

TEST_F(RKReloadTest, OutOfMemoryForTheSnapshotKeepsTheOldManager)
{
    if (!RKTestCanFailAllocations())
        GTEST_SKIP()
            << "the library's allocations cannot be made to fail here (a memory checker replaces the "
               "allocation functions, or the library carries its own C++ runtime)";
    // Enough drives that the snapshot's buffer outgrows what may be allocated.
    std::vector<std::string> vecDestroyed;
    CRKFakeManager* pFake = new CRKFakeManager(&vecDestroyed);
    pFake->List(std::vector<WORD>(3000, 'E'));
    CRKDRVManager* pManager = pFake;
    CRKTraceCapture capture;
    capture.records.reserve(10000);
    {
        CRKAllocFailure failure(6000);
        EXPECT_EQ(nullptr, RKDRV::ReloadODDManager(pManager, RKDRV_ENGINE_CL));
    }
    EXPECT_EQ(pFake, pManager);
    ASSERT_GE(capture.records.size(), 2u);
    EXPECT_EQ(Error("Not enough memory to store engine info"), capture.records[capture.records.size() - 2]);
    EXPECT_EQ(Exit("0"), capture.records.back());
    EXPECT_TRUE(vecDestroyed.empty());
    EXPECT_STREQ("", s_Probe.szEvents);
    EXPECT_EQ(3000, pManager->GetNbWriter());
    pManager->Release();
    EXPECT_EQ(3000u, vecDestroyed.size());
}
