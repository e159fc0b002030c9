// Engine selection, loading and release, with engines loaded for real.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "RKDRV.h"
#include "RKOsLayer.h"
#include "RKTestFolderLoad.h"
#include "RKTestModule.h"
#include "RKTestProbe.h"
#include "RKTextUtil.h"
#include "RKTraceCapture.h"

namespace
{
RKTestProbe s_Probe;
std::vector<std::string> s_vecLoadNames;

const std::vector<RKTraceRecord> s_vecLoaded = {
    Step("Manager"),
    Info("Burning Engine chosen : "), // name filled in by Loaded()
    Info("Module Successfully loaded"),
    Info("trying to load  _RK_Factory_Creation_Function_CRKDRVManager"),
    Info("Function loaded successfully."),
};

std::vector<RKTraceRecord> Loaded(const std::string& strModule)
{
    std::vector<RKTraceRecord> vecRecords = s_vecLoaded;
    vecRecords[1].text += strModule;
    return vecRecords;
}

std::vector<RKTraceRecord> NotLoaded(const std::string& strModule)
{
    return {Step("Manager"), Info("Burning Engine chosen : " + strModule),
            Error("Error while loading module")};
}

std::vector<RKTraceRecord> Concat(std::initializer_list<std::vector<RKTraceRecord>> lists)
{
    std::vector<RKTraceRecord> vecAll;
    for (const auto& vecPart : lists)
        vecAll.insert(vecAll.end(), vecPart.begin(), vecPart.end());
    return vecAll;
}

class RKLoaderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RKTestProbeReset(s_Probe);
        RKTestPublishProbe(&s_Probe);
        s_vecLoadNames.clear();
    }

    void TearDown() override
    {
        RKOsSetCalls(nullptr);
        RKTestPublishProbe(nullptr);
        // Whatever yielded a manager must be unloaded again.
        for (const char* szName : {"RKDRVCL", "RKDRVRD", "RKDRVIM", "RKDRVSC"})
        {
            EXPECT_FALSE(RKTestIsModuleLoaded(RKTestEngineFile("all", szName))) << szName;
        }
        EXPECT_FALSE(RKTestIsModuleLoaded(RKTestEngineFile("im_only", "RKDRVIM")));
    }

    void UseEngineSet(const char* szSet) { RKTestLoadEnginesFrom(szSet, &s_Probe, &s_vecLoadNames, false); }

    std::string Events() const { return s_Probe.szEvents; }
};
} // namespace

TEST_F(RKLoaderTest, SingleNameLoadsInitializesAndReleasesInOrder)
{
    UseEngineSet("all");
    CRKDRVManager* pManager = nullptr;
    {
        CRKTraceCapture capture;
        pManager = RKDRV::GetODDManager(0xF0000002);
        ASSERT_NE(nullptr, pManager);
        EXPECT_EQ(Concat({{Enter("RKDRV::GetODDManager(dwODD:f0000002)")}, Loaded("RKDRVCL.DLL"), {Exit()}}),
                  capture.records);
    }
    EXPECT_EQ((std::vector<std::string>{"RKDRVCL.DLL"}), s_vecLoadNames);
    EXPECT_EQ("RKDRVCL:factory;RKDRVCL:initialize;", Events());
    EXPECT_EQ(1, pManager->IsValid());
    std::string strFile = RKTestEngineFile("all", "RKDRVCL");
    EXPECT_EQ(RKTestModuleHandle(strFile), static_cast<void*>(pManager->GetModule()));

    // Writers carry what the engine stored.
    ASSERT_EQ(2, pManager->GetNbWriter());
    CRKWriter* pWriter = pManager->GetWriter(1);
    EXPECT_EQ(u'F', pWriter->GetDriveLetter());
    EXPECT_EQ("RKDRVCL Drive F", RKTextToUtf8(pWriter->GetModelName()));
    EXPECT_EQ(0x6001u + u'F', pWriter->GetSupportedMedia());
    EXPECT_EQ(10, pWriter->EjectTray());
    EXPECT_EQ(u'F', pWriter->GetMediaInfo().dwDiscType);

    {
        CRKTraceCapture capture;
        RKDRV::ClearODDManager(pManager);
        std::vector<RKTraceRecord> vecExpected = {Step("ClearODDManager()"), Info("Releasing Manager"),
                                                  Enter("ClearWriters"), Exit()};
        EXPECT_EQ(vecExpected, capture.records);
    }
    // Release once, writers destroyed inside it, then the module goes.
    EXPECT_EQ("RKDRVCL:factory;RKDRVCL:initialize;RKDRVCL:release;RKDRVCL:manager-destroyed;"
              "RKDRVCL:writer-destroyed;RKDRVCL:writer-destroyed;os:free;RKDRVCL:unload;",
              Events());
    EXPECT_FALSE(RKTestIsModuleLoaded(strFile));
}

TEST_F(RKLoaderTest, EachSingleIdentifierSelectsItsModule)
{
    UseEngineSet("all");
    const std::vector<std::pair<DWORD, std::string>> vecTable = {
        {0xF0000000, "RKDRVSC"}, {0xF0000001, "RKDRVRD"}, {0xF0000002, "RKDRVCL"}, {0xF0000004, "RKDRVIM"}};
    for (const auto& entry : vecTable)
    {
        RKTestProbeReset(s_Probe);
        s_vecLoadNames.clear();
        CRKDRVManager* pManager = RKDRV::GetODDManager(entry.first);
        ASSERT_NE(nullptr, pManager) << entry.second;
        EXPECT_EQ((std::vector<std::string>{entry.second + ".DLL"}), s_vecLoadNames);
        EXPECT_EQ(entry.second + ":factory;" + entry.second + ":initialize;", Events());
        RKDRV::ClearODDManager(pManager);
    }
}

TEST_F(RKLoaderTest, ThePublicModuleTableIsWhatTheLoaderTries)
{
    // Hosts and the tool name an identifier's modules from the header; the
    // loader must try exactly those, in that order, with nothing loadable.
    UseEngineSet("none");
    for (const RKEngineModules& stEntry : g_aRKEngineModules)
    {
        std::vector<std::string> vecExpected;
        for (const char* szModule : stEntry.aszModules)
        {
            if (szModule)
                vecExpected.push_back(std::string(szModule) + ".DLL");
        }
        s_vecLoadNames.clear();
        EXPECT_EQ(nullptr, RKDRV::GetODDManager(stEntry.dwODD));
        EXPECT_EQ(vecExpected, s_vecLoadNames) << std::hex << stEntry.dwODD;
    }
}

TEST_F(RKLoaderTest, IdentifiersOutsideTheTableTryOneEmptyName)
{
    UseEngineSet("all");
    for (DWORD dwODD : {0xF0000003u, 5u, 0xF0000005u, 0xEFFFFFFFu, 0u, 0xFFFE0001u})
    {
        s_vecLoadNames.clear();
        CRKTraceCapture capture;
        EXPECT_EQ(nullptr, RKDRV::GetODDManager(dwODD));
        char szEnter[64];
        std::snprintf(szEnter, sizeof(szEnter), "RKDRV::GetODDManager(dwODD:%x)",
                      static_cast<unsigned>(dwODD));
        EXPECT_EQ(Concat({{Enter(szEnter)}, NotLoaded(""), {Exit()}}), capture.records);
        EXPECT_EQ((std::vector<std::string>{""}), s_vecLoadNames);
    }
    EXPECT_STREQ("", s_Probe.szEvents);
}

TEST_F(RKLoaderTest, EmptyNameNeverLoadsThroughTheBackend)
{
    EXPECT_EQ(nullptr, RKOsDefaultCalls().pfnLoadModule(RK_TEXT("")));
}

TEST_F(RKLoaderTest, FallbackTriesInOrderAndStopsAtFirstManager)
{
    UseEngineSet("im_only");
    CRKTraceCapture capture;
    CRKDRVManager* pManager = RKDRV::GetODDManager(0xFFFF0001);
    ASSERT_NE(nullptr, pManager);
    EXPECT_EQ((std::vector<std::string>{"RKDRVCL.DLL", "RKDRVRD.DLL", "RKDRVIM.DLL"}), s_vecLoadNames);
    EXPECT_EQ(Concat({{Enter("RKDRV::GetODDManager(dwODD:ffff0001)")},
                      NotLoaded("RKDRVCL.DLL"),
                      NotLoaded("RKDRVRD.DLL"),
                      Loaded("RKDRVIM.DLL"),
                      {Exit()}}),
              capture.records);
    // No Initialize on the list path.
    EXPECT_EQ("RKDRVIM:factory;", Events());
    EXPECT_EQ(RKTestModuleHandle(RKTestEngineFile("im_only", "RKDRVIM")),
              static_cast<void*>(pManager->GetModule()));
    RKDRV::ClearODDManager(pManager);
}

TEST_F(RKLoaderTest, FallbackWithEveryEngineTakesTheFirst)
{
    UseEngineSet("all");
    CRKDRVManager* pManager = RKDRV::GetODDManager(0xFFFF0001);
    ASSERT_NE(nullptr, pManager);
    EXPECT_EQ((std::vector<std::string>{"RKDRVCL.DLL"}), s_vecLoadNames);
    EXPECT_EQ("RKDRVCL:factory;", Events());
    RKDRV::ClearODDManager(pManager);
}

TEST_F(RKLoaderTest, OtherListIdentifiersTryNothing)
{
    UseEngineSet("all");
    for (DWORD dwODD : {0xFFFF0002u, 0xFFFF0000u, 0xFFFFFFFFu})
    {
        CRKTraceCapture capture;
        EXPECT_EQ(nullptr, RKDRV::GetODDManager(dwODD));
        ASSERT_EQ(2u, capture.records.size());
        EXPECT_EQ(RKLOG_ENTER, capture.records[0].kind);
        EXPECT_EQ(Exit(), capture.records[1]);
    }
    EXPECT_TRUE(s_vecLoadNames.empty());
}

TEST_F(RKLoaderTest, NullFactoryLeavesModuleLoadedAndListGoesOn)
{
    UseEngineSet("null_cl");
    {
        CRKTraceCapture capture;
        EXPECT_EQ(nullptr, RKDRV::GetODDManager(0xF0000002));
        EXPECT_EQ(Concat({{Enter("RKDRV::GetODDManager(dwODD:f0000002)")}, Loaded("RKDRVCL.DLL"), {Exit()}}),
                  capture.records);
    }
    EXPECT_TRUE(RKTestIsModuleLoaded(RKTestEngineFile("null_cl", "RKDRVCL")));

    CRKDRVManager* pManager = RKDRV::GetODDManager(0xFFFF0001);
    ASSERT_NE(nullptr, pManager);
    EXPECT_EQ("RKDRVCL:factory;RKDRVCL:factory;RKDRVRD:factory;", Events());
    RKDRV::ClearODDManager(pManager);
    EXPECT_FALSE(RKTestIsModuleLoaded(RKTestEngineFile("null_cl", "RKDRVRD")));
    EXPECT_TRUE(RKTestIsModuleLoaded(RKTestEngineFile("null_cl", "RKDRVCL")));
}

TEST_F(RKLoaderTest, ThrowingFactoryCountsAsNoManagerAndTheListGoesOn)
{
    UseEngineSet("throw_cl");
    CRKTraceCapture capture;
    CRKDRVManager* pManager = RKDRV::GetODDManager(0xFFFF0001);
    ASSERT_NE(nullptr, pManager);
    EXPECT_EQ(RKTestModuleHandle(RKTestEngineFile("throw_cl", "RKDRVRD")),
              static_cast<void*>(pManager->GetModule()));
    EXPECT_EQ(Concat({{Enter("RKDRV::GetODDManager(dwODD:ffff0001)")},
                      Loaded("RKDRVCL.DLL"),
                      {Error("_RK_Factory_Creation_Function_CRKDRVManager threw an exception")},
                      Loaded("RKDRVRD.DLL"),
                      {Exit()}}),
              capture.records);
    RKDRV::ClearODDManager(pManager);
    EXPECT_EQ("RKDRVCL:factory;RKDRVRD:factory;RKDRVRD:release;RKDRVRD:manager-destroyed;"
              "RKDRVRD:writer-destroyed;RKDRVRD:writer-destroyed;os:free;RKDRVRD:unload;",
              Events());
    EXPECT_TRUE(RKTestIsModuleLoaded(RKTestEngineFile("throw_cl", "RKDRVCL")));
}

TEST_F(RKLoaderTest, ThrowingInitializeKeepsItsManager)
{
    UseEngineSet("all");
    std::snprintf(s_Probe.szThrowIn, sizeof(s_Probe.szThrowIn), "RKDRVSC:initialize");
    CRKTraceCapture capture;
    CRKDRVManager* pManager = RKDRV::GetODDManager(0xF0000000);
    ASSERT_NE(nullptr, pManager);
    EXPECT_EQ(2, pManager->GetNbWriter());
    EXPECT_EQ(Concat({{Enter("RKDRV::GetODDManager(dwODD:f0000000)")},
                      Loaded("RKDRVSC.DLL"),
                      {Error("Initialize threw an exception"), Exit()}}),
              capture.records);
    RKDRV::ClearODDManager(pManager);
    EXPECT_EQ(1, s_Probe.nRelease);
}

TEST_F(RKLoaderTest, ThrowingReleaseStillUnloadsTheEngine)
{
    UseEngineSet("all");
    CRKDRVManager* pManager = RKDRV::GetODDManager(0xF0000000);
    ASSERT_NE(nullptr, pManager);
    RKTestProbeReset(s_Probe);
    std::snprintf(s_Probe.szThrowIn, sizeof(s_Probe.szThrowIn), "RKDRVSC:release");
    CRKTraceCapture capture;
    RKDRV::ClearODDManager(pManager);
    EXPECT_EQ(
        (std::vector<RKTraceRecord>{Step("ClearODDManager()"), Info("Releasing Manager"),
                                    Enter("ClearWriters"), Exit(), Error("Release threw an exception")}),
        capture.records);
    EXPECT_EQ("RKDRVSC:release;RKDRVSC:manager-destroyed;RKDRVSC:writer-destroyed;RKDRVSC:writer-destroyed;"
              "os:free;RKDRVSC:unload;",
              Events());
}

TEST_F(RKLoaderTest, ThrowingEnumerateEndsTheRefreshWithAnEmptyTable)
{
    UseEngineSet("all");
    CRKDRVManager* pManager = RKDRV::GetODDManager(0xF0000000);
    ASSERT_NE(nullptr, pManager);
    std::snprintf(s_Probe.szThrowIn, sizeof(s_Probe.szThrowIn), "RKDRVSC:enumerate");
    {
        CRKTraceCapture capture;
        EXPECT_EQ(0, pManager->Refresh());
        EXPECT_EQ((std::vector<RKTraceRecord>{Enter("ClearWriters"), Exit(),
                                              Error("EnumerateWriters threw an exception")}),
                  capture.records);
    }
    EXPECT_EQ(0, pManager->GetNbWriter());
    EXPECT_EQ(2, s_Probe.nWritersDestroyed);
    RKDRV::ClearODDManager(pManager);
}

TEST_F(RKLoaderTest, MissingFactoryIsReportedByNameAndModuleStays)
{
    UseEngineSet("nosym_cl");
    {
        CRKTraceCapture capture;
        EXPECT_EQ(nullptr, RKDRV::GetODDManager(0xF0000002));
        std::vector<RKTraceRecord> vecExpected = {
            Enter("RKDRV::GetODDManager(dwODD:f0000002)"),
            Step("Manager"),
            Info("Burning Engine chosen : RKDRVCL.DLL"),
            Info("Module Successfully loaded"),
            Info("trying to load  _RK_Factory_Creation_Function_CRKDRVManager"),
            Error("Error while loading function : _RK_Factory_Creation_Function_CRKDRVManager"),
            Exit(),
        };
        EXPECT_EQ(vecExpected, capture.records);
    }
    EXPECT_TRUE(RKTestIsModuleLoaded(RKTestEngineFile("nosym_cl", "RKDRVCL")));
    CRKDRVManager* pManager = RKDRV::GetODDManager(0xFFFF0001);
    ASSERT_NE(nullptr, pManager);
    EXPECT_EQ("RKDRVRD:factory;", Events());
    RKDRV::ClearODDManager(pManager);
}

TEST_F(RKLoaderTest, ClearNullWritesOneLine)
{
    UseEngineSet("all");
    CRKTraceCapture capture;
    RKDRV::ClearODDManager(nullptr);
    EXPECT_EQ((std::vector<RKTraceRecord>{Step("ClearODDManager()")}), capture.records);
    EXPECT_STREQ("", s_Probe.szEvents);
}

TEST_F(RKLoaderTest, ClearedHandleReleasesWithoutUnloading)
{
    UseEngineSet("all");
    CRKDRVManager* pManager = RKDRV::GetODDManager(0xF0000001);
    ASSERT_NE(nullptr, pManager);
    HINSTANCE hModule = pManager->GetModule();
    pManager->SetModule(nullptr);
    RKDRV::ClearODDManager(pManager);
    EXPECT_EQ(1, s_Probe.nRelease);
    EXPECT_EQ(2, s_Probe.nWritersDestroyed);
    EXPECT_EQ(0, s_Probe.nUnloads);
    EXPECT_TRUE(RKTestIsModuleLoaded(RKTestEngineFile("all", "RKDRVRD")));
    RKOsDefaultCalls().pfnFreeModule(hModule);
    EXPECT_EQ(1, s_Probe.nUnloads);
}

TEST_F(RKLoaderTest, TwoManagersKeepTheModuleUntilBothAreCleared)
{
    UseEngineSet("all");
    CRKDRVManager* pFirst = RKDRV::GetODDManager(0xF0000000);
    CRKDRVManager* pSecond = RKDRV::GetODDManager(0xF0000000);
    ASSERT_NE(nullptr, pFirst);
    ASSERT_NE(nullptr, pSecond);
    EXPECT_NE(pFirst, pSecond);
    EXPECT_EQ(pFirst->GetModule(), pSecond->GetModule());
    RKDRV::ClearODDManager(pFirst);
    EXPECT_TRUE(RKTestIsModuleLoaded(RKTestEngineFile("all", "RKDRVSC")));
    RKDRV::ClearODDManager(pSecond);
    EXPECT_EQ(2, s_Probe.nRelease);
    EXPECT_EQ(1, s_Probe.nUnloads);
}

TEST_F(RKLoaderTest, RefreshAndCallBacksOnALoadedEngine)
{
    UseEngineSet("all");
    CRKDRVManager* pManager = RKDRV::GetODDManager(0xF0000002);
    ASSERT_NE(nullptr, pManager);
    s_Probe.nLetters = 3;
    s_Probe.awLetters[0] = 'G';
    s_Probe.awLetters[1] = 'E';
    s_Probe.awLetters[2] = 'e';
    EXPECT_EQ(0, pManager->Refresh());
    EXPECT_EQ(1, s_Probe.nEnumerate);
    EXPECT_EQ(2, s_Probe.nWritersDestroyed);
    ASSERT_EQ(3, pManager->GetNbWriter());
    unsigned int uIndex = 0;
    EXPECT_EQ(pManager->GetWriter(2), pManager->GetWriterFromLetter('e', uIndex));
    EXPECT_EQ(2u, uIndex);
    RKDRV::ClearODDManager(pManager);
    EXPECT_EQ(5, s_Probe.nWritersDestroyed);
}

TEST_F(RKLoaderTest, OrdinarySearchFindsAnEngineByItsFileName)
{
    // No substitution: the backend's own search, which the test runner
    // points at the full engine set.
    if (!RKTestOrdinarySearchReaches("all"))
        GTEST_SKIP() << "run through ctest, which puts the engine set on the search path";
    CRKDRVManager* pManager = RKDRV::GetODDManager(0xF0000004);
    ASSERT_NE(nullptr, pManager);
    EXPECT_EQ(RKTestModuleHandle(RKTestEngineFile("all", "RKDRVIM")),
              static_cast<void*>(pManager->GetModule()));
    RKDRV::ClearODDManager(pManager);
}

TEST_F(RKLoaderTest, FileNameExtensionMatchesInAnyCase)
{
    CRKString strPath((RKTestEngineFolder("all") + "RKDRVCL.dll").c_str());
    HINSTANCE hModule = RKOsDefaultCalls().pfnLoadModule(strPath);
    ASSERT_NE(nullptr, hModule);
    EXPECT_EQ(RKTestModuleHandle(RKTestEngineFile("all", "RKDRVCL")), static_cast<void*>(hModule));
    EXPECT_NE(nullptr, RKOsDefaultCalls().pfnGetSymbol(hModule, RKDRV_FACTORY_SYMBOL));
    EXPECT_EQ(nullptr, RKOsDefaultCalls().pfnGetSymbol(hModule, "NoSuchSymbol"));
    EXPECT_NE(0, RKOsDefaultCalls().pfnFreeModule(hModule));
}
