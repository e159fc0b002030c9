// Faults as the tool reports them: an engine whose calls throw, the tool's
// own failure, and texts from the system that are not UTF-8.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "RKToolTestSupport.h"

namespace
{
class RKToolFaultTest : public CRKToolTest
{
protected:
    void SetUp() override
    {
        CRKToolTest::SetUp();
        std::ofstream(m_pathDosDevices / "e.iso", std::ios::binary) << "disc image";
        std::filesystem::create_symlink(m_pathDosDevices / "e.iso", m_pathDosDevices / "e::");
    }

    // The suite's test engines, RKDRVSC among them, with drive E holding a
    // disc and F empty; szThrow names the "engine:operation" that throws.
    std::map<std::string, std::string> EngineEnv(const char* szThrow) const
    {
        std::map<std::string, std::string> mapEnv = Env(false);
        mapEnv["LD_LIBRARY_PATH"] = RKTOOL_TEST_ENGINES;
        mapEnv["RKTEST_ENGINE_THROW"] = szThrow;
        return mapEnv;
    }
};

struct RKFaultCase
{
    const char* szThrow;
    std::vector<std::string> vecArgs;
    std::string strMessage; // the error, as the document has it
    const char* szWaitResult;
};

TEST_F(RKToolFaultTest, AThrowingEngineCallIsTheEnginesFailureWithItsOwnExitCode)
{
    const std::vector<RKFaultCase> vecCases = {
        {"RKDRVSC:mediain", {"info", "E"}, "the engine failed: IsMediaIn of E: threw: mediain", nullptr},
        {"RKDRVSC:mediainfo", {"list"}, "the engine failed: GetMediaInfo of E: threw: mediainfo", nullptr},
        {"RKDRVSC:eject", {"eject", "e"}, "the engine failed: EjectTray of E: threw: eject", nullptr},
        // The library ends these waits with no final report: neither "no
        // writer" nor Ctrl-C, and with a disc in, no "found" either.
        {"RKDRVSC:mediain",
         {"wait", "any"},
         "the engine failed: IsMediaIn threw an exception (the library ended the wait on drive E:, after ",
         "engine_failed"},
        {"RKDRVSC:mediainfo",
         {"wait", "E", "--single"},
         "the engine failed: GetMediaInfo threw an exception (the library ended the wait on drive E:, after ",
         "engine_failed"},
    };
    for (const RKFaultCase& stCase : vecCases)
    {
        SCOPED_TRACE(stCase.szThrow + (" " + stCase.vecArgs[0]));
        std::vector<std::string> vecArgs = {"--engine", "sc", "--json"};
        vecArgs.insert(vecArgs.end(), stCase.vecArgs.begin(), stCase.vecArgs.end());
        RKToolRunResult stRun = RKToolRun(RKToolPath(), vecArgs, EngineEnv(stCase.szThrow), 30);
        EXPECT_EQ(stRun.nExitCode, 5) << stRun.strErr;
        nlohmann::ordered_json jsonDoc = Document(stRun);
        EXPECT_EQ(jsonDoc["error"]["exit_code"], 5);
        std::string strMessage = jsonDoc["error"]["message"].get<std::string>();
        EXPECT_EQ(strMessage.substr(0, stCase.strMessage.size()), stCase.strMessage);
        EXPECT_EQ(RKToolLines(stRun.strErr).back(), "rkdrv: " + strMessage);
        EXPECT_EQ(jsonDoc["engine"]["module"], "RKDRVSC");
        if (stCase.szWaitResult)
        {
            EXPECT_EQ(jsonDoc["wait"]["result"], stCase.szWaitResult);
            EXPECT_TRUE(jsonDoc["wait"]["drive"].is_null());
        }
    }
}

TEST_F(RKToolFaultTest, TheToolsOwnFailureHasItsExitCodeAndStillOneDocument)
{
    // No thread can start, so the wait's progress cannot run.
    std::map<std::string, std::string> mapEnv = Env();
    mapEnv["LD_PRELOAD"] = RKTOOL_NO_THREADS;
    const char* szAsan = std::getenv("ASAN_OPTIONS");
    mapEnv["ASAN_OPTIONS"] = std::string(szAsan ? szAsan : "") + ":verify_asan_link_order=0";
    RKToolRunResult stRun =
        RKToolRun(RKToolPath(), {"--engine", "cl", "--json", "wait", "E", "--single"}, mapEnv, 30);
    EXPECT_EQ(stRun.nExitCode, 6) << stRun.strErr;
    nlohmann::ordered_json jsonDoc = Document(stRun);
    EXPECT_EQ(jsonDoc["engine"]["module"], "RKDRVCL");
    EXPECT_EQ(jsonDoc["error"]["exit_code"], 6);
    std::string strMessage = jsonDoc["error"]["message"].get<std::string>();
    EXPECT_EQ(strMessage.rfind("internal failure: ", 0), 0u) << strMessage;
    EXPECT_EQ(RKToolLines(stRun.strErr).back(), "rkdrv: " + strMessage);
}

TEST_F(RKToolFaultTest, PathsThatAreNotUtf8StillGiveOneDocument)
{
    // The engine under a folder named with a Latin-1 byte, as a build tree
    // or a prefix may be.
    std::filesystem::path pathFolder = m_pathDir / "caf\xe9";
    std::filesystem::create_directories(pathFolder);
    std::filesystem::copy_file(std::filesystem::path(RKTOOL_TEST_ENGINES) / "libRKDRVCL.so",
                               pathFolder / "libRKDRVCL.so");
    std::map<std::string, std::string> mapEnv = Env(false);
    mapEnv["LD_LIBRARY_PATH"] = pathFolder.string();
    RKToolRunResult stRun = RKToolRun(RKToolPath(), {"--engine", "cl", "list", "--json"}, mapEnv);
    EXPECT_EQ(stRun.nExitCode, 0) << stRun.strErr;
    EXPECT_EQ(stRun.strErr, "");
    nlohmann::ordered_json jsonDoc = Document(stRun);
    // The byte that is no UTF-8 is replaced; the rest of the path stands.
    std::string strPath = jsonDoc["engine"]["path"].get<std::string>();
    EXPECT_NE(strPath.find("/caf\xef\xbf\xbd/libRKDRVCL.so"), std::string::npos) << strPath;
    EXPECT_EQ(jsonDoc["writers"].size(), 2u);

    // The text keeps the bytes as the system gave them.
    stRun = RKToolRun(RKToolPath(), {"--engine", "cl", "list"}, mapEnv);
    EXPECT_NE(stRun.strOut.find("/caf\xe9/libRKDRVCL.so"), std::string::npos) << stRun.strOut;
}
} // namespace
