// The JSON documents, parsed and checked field by field against the
// sample engine's drives.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "RKToolTestSupport.h"

namespace
{
class RKToolJsonTest : public CRKToolTest
{
};

// The field names are a promise to scripts: every writer has all of them,
// in this order.
const std::vector<std::string> s_vecWriterFields = {
    "index",           "placeholder",           "letter",       "model",
    "supported_media", "supported_media_names", "disc_present", "media_type",
    "media_type_name", "media_profile",         "disc_type",    "disc_state"};

std::vector<std::string> Keys(const nlohmann::ordered_json& jsonObject)
{
    std::vector<std::string> vecKeys;
    for (auto it = jsonObject.begin(); it != jsonObject.end(); ++it)
        vecKeys.push_back(it.key());
    return vecKeys;
}

bool EndsWith(const std::string& strText, const std::string& strSuffix)
{
    return strText.size() >= strSuffix.size() &&
           strText.compare(strText.size() - strSuffix.size(), strSuffix.size(), strSuffix) == 0;
}

struct RKExpectedDrive
{
    unsigned int uIndex;
    const char* szLetter;
    const char* szModel;
    unsigned int uSupported;
    bool bDisc;
    unsigned int uMedia;
    const char* szMediaName;
};

// bInfo: the info document's writer, which has the details' three objects too.
void ExpectDrive(const nlohmann::ordered_json& jsonDrive, const RKExpectedDrive& stExpected,
                 bool bInfo = false)
{
    SCOPED_TRACE(stExpected.szLetter);
    std::vector<std::string> vecFields = s_vecWriterFields;
    if (bInfo)
        vecFields.insert(vecFields.end(), {"drive", "disc", "tray"});
    EXPECT_EQ(Keys(jsonDrive), vecFields);
    EXPECT_EQ(jsonDrive["index"], stExpected.uIndex);
    EXPECT_EQ(jsonDrive["placeholder"], false);
    EXPECT_EQ(jsonDrive["letter"], stExpected.szLetter);
    EXPECT_EQ(jsonDrive["model"], stExpected.szModel);
    EXPECT_EQ(jsonDrive["supported_media"], stExpected.uSupported);
    // The sample engine's details say nothing of what its words mean.
    EXPECT_TRUE(jsonDrive["supported_media_names"].is_null());
    EXPECT_TRUE(jsonDrive["disc_state"].is_null());
    EXPECT_TRUE(jsonDrive["media_profile"].is_null());
    EXPECT_EQ(jsonDrive["disc_present"], stExpected.bDisc);
    if (stExpected.bDisc)
    {
        EXPECT_EQ(jsonDrive["media_type"], stExpected.uMedia);
        EXPECT_EQ(jsonDrive["media_type_name"], stExpected.szMediaName);
        EXPECT_EQ(jsonDrive["disc_type"], 1);
    }
    else
    {
        EXPECT_TRUE(jsonDrive["media_type"].is_null());
        EXPECT_TRUE(jsonDrive["media_type_name"].is_null());
        EXPECT_TRUE(jsonDrive["disc_type"].is_null());
    }
}

void ExpectEngine(const nlohmann::ordered_json& jsonEngine, const char* szRequested, const char* szId,
                  const char* szModule)
{
    EXPECT_EQ(Keys(jsonEngine),
              (std::vector<std::string>{"requested", "id", "module", "path", "system_engine"}));
    EXPECT_EQ(jsonEngine["requested"], szRequested);
    EXPECT_EQ(jsonEngine["id"], szId);
    EXPECT_EQ(jsonEngine["module"], szModule);
    EXPECT_TRUE(EndsWith(jsonEngine["path"].get<std::string>(), std::string("/lib") + szModule + ".so"))
        << jsonEngine["path"];
    EXPECT_EQ(jsonEngine["system_engine"], false);
}

TEST_F(RKToolJsonTest, ListGivesEverySampleDriveFieldByField)
{
    PutDisc('e');
    RKToolRunResult stRun = Run({"--engine", "cl", "list", "--json"});
    EXPECT_EQ(stRun.nExitCode, 0);
    EXPECT_EQ(stRun.strErr, "");
    nlohmann::ordered_json jsonDoc = Document(stRun);
    EXPECT_EQ(Keys(jsonDoc), (std::vector<std::string>{"engine", "writers", "no_writers"}));
    EXPECT_TRUE(jsonDoc["no_writers"].is_null());
    ExpectEngine(jsonDoc["engine"], "cl", "0xF0000002", "RKDRVCL");
    ASSERT_EQ(jsonDoc["writers"].size(), 2u);
    ExpectDrive(jsonDoc["writers"][0], {0, "D", "Sample Writer DVD-RW", 0x0015, false, 0, ""});
    ExpectDrive(jsonDoc["writers"][1], {1, "E", "Sample Writer BD-RE", 0x6001, true, 0x6001, "BD-RE"});

    // Options may stand before the command as well.
    PutDisc('d');
    stRun = Run({"--json", "--engine", "cl", "list"});
    jsonDoc = Document(stRun);
    ExpectDrive(jsonDoc["writers"][0], {0, "D", "Sample Writer DVD-RW", 0x0015, true, 0x0025, "DVD+RW"});
}

TEST_F(RKToolJsonTest, TheOtherSampleBuildListsItsDrivesInItsOwnOrder)
{
    PutDisc('f');
    RKToolRunResult stRun = Run({"--engine", "rd", "list", "--json"});
    EXPECT_EQ(stRun.nExitCode, 0);
    nlohmann::ordered_json jsonDoc = Document(stRun);
    ExpectEngine(jsonDoc["engine"], "rd", "0xF0000001", "RKDRVRD");
    ASSERT_EQ(jsonDoc["writers"].size(), 3u);
    ExpectDrive(jsonDoc["writers"][0], {0, "E", "Other Writer BD-RE", 0x6001, false, 0, ""});
    ExpectDrive(jsonDoc["writers"][1], {1, "F", "Other Writer CD-RW", 0x0003, true, 0x0003, "CD-RW"});
    ExpectDrive(jsonDoc["writers"][2], {2, "D", "Other Writer DVD-RW", 0x0015, false, 0, ""});
}

TEST_F(RKToolJsonTest, InfoAndEjectNameTheDriveTheyActedOn)
{
    PutDisc('d');
    RKToolRunResult stRun = Run({"--engine", "cl", "--json", "info", "d"});
    EXPECT_EQ(stRun.nExitCode, 0);
    nlohmann::ordered_json jsonDoc = Document(stRun);
    EXPECT_EQ(Keys(jsonDoc), (std::vector<std::string>{"engine", "writer"}));
    ExpectDrive(jsonDoc["writer"], {0, "D", "Sample Writer DVD-RW", 0x0015, true, 0x0025, "DVD+RW"}, true);

    stRun = Run({"--engine", "cl", "--json", "eject", "E"});
    EXPECT_EQ(stRun.nExitCode, 0);
    jsonDoc = Document(stRun);
    EXPECT_EQ(jsonDoc["eject"], (nlohmann::ordered_json{{"index", 1}, {"letter", "E"}, {"result", 1}}));

    // An open tray holds no disc the drive reads: the image goes aside.
    stRun = Run({"--engine", "cl", "--json", "eject", "D"});
    EXPECT_EQ(stRun.nExitCode, 0);
    EXPECT_FALSE(std::filesystem::exists(ImagePath('d')));
    std::ifstream fileAside(ImagePath('d').string() + ".ejected");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(fileAside), {}), "disc image");
    stRun = Run({"--engine", "cl", "--json", "info", "D"});
    ExpectDrive(Document(stRun)["writer"], {0, "D", "Sample Writer DVD-RW", 0x0015, false, 0, ""}, true);
}

TEST_F(RKToolJsonTest, ReloadShowsBothTablesAndThatKnownDrivesKeptTheirIndexes)
{
    PutDisc('e');
    RKToolRunResult stRun = Run({"--engine", "cl", "reload", "--to", "rd", "--json"});
    EXPECT_EQ(stRun.nExitCode, 0);
    nlohmann::ordered_json jsonDoc = Document(stRun);
    EXPECT_EQ(Keys(jsonDoc), (std::vector<std::string>{"before", "after", "kept", "all_kept"}));
    ExpectEngine(jsonDoc["before"]["engine"], "cl", "0xF0000002", "RKDRVCL");
    ExpectEngine(jsonDoc["after"]["engine"], "rd", "0xF0000001", "RKDRVRD");
    ASSERT_EQ(jsonDoc["before"]["writers"].size(), 2u);
    ExpectDrive(jsonDoc["before"]["writers"][0], {0, "D", "Sample Writer DVD-RW", 0x0015, false, 0, ""});
    ExpectDrive(jsonDoc["before"]["writers"][1],
                {1, "E", "Sample Writer BD-RE", 0x6001, true, 0x6001, "BD-RE"});
    // The new engine lists E, F, D; after the reload D and E are where they were.
    ASSERT_EQ(jsonDoc["after"]["writers"].size(), 3u);
    ExpectDrive(jsonDoc["after"]["writers"][0], {0, "D", "Other Writer DVD-RW", 0x0015, false, 0, ""});
    ExpectDrive(jsonDoc["after"]["writers"][1],
                {1, "E", "Other Writer BD-RE", 0x6001, true, 0x6001, "BD-RE"});
    ExpectDrive(jsonDoc["after"]["writers"][2], {2, "F", "Other Writer CD-RW", 0x0003, false, 0, ""});
    EXPECT_EQ(jsonDoc["kept"], nlohmann::ordered_json::parse(R"([
        {"letter": "D", "before": 0, "after": 0, "same_index": true},
        {"letter": "E", "before": 1, "after": 1, "same_index": true}])"));
    EXPECT_EQ(jsonDoc["all_kept"], true);

    // Going the other way, F has no writer in the new engine: a placeholder.
    stRun = Run({"--engine", "rd", "reload", "--to", "cl", "--json"});
    EXPECT_EQ(stRun.nExitCode, 0);
    jsonDoc = Document(stRun);
    ASSERT_EQ(jsonDoc["after"]["writers"].size(), 3u);
    EXPECT_EQ(jsonDoc["after"]["writers"][0]["letter"], "E");
    const nlohmann::ordered_json& jsonHole = jsonDoc["after"]["writers"][1];
    EXPECT_EQ(jsonHole["index"], 1);
    EXPECT_EQ(jsonHole["placeholder"], true);
    for (const std::string& strField : s_vecWriterFields)
    {
        if (strField != "index" && strField != "placeholder")
        {
            EXPECT_TRUE(jsonHole[strField].is_null()) << strField;
        }
    }
    EXPECT_EQ(jsonDoc["after"]["writers"][2]["letter"], "D");
    EXPECT_EQ(
        jsonDoc["kept"][1],
        (nlohmann::ordered_json{{"letter", "F"}, {"before", 1}, {"after", nullptr}, {"same_index", false}}));
    EXPECT_EQ(jsonDoc["all_kept"], false);
}

TEST_F(RKToolJsonTest, AFailedReloadLeavesTheErrorInTheDocument)
{
    RKToolRunResult stRun = Run({"--engine", "cl", "reload", "--to", "im", "--json"});
    EXPECT_EQ(stRun.nExitCode, 3);
    nlohmann::ordered_json jsonDoc = Document(stRun);
    EXPECT_EQ(jsonDoc["before"]["writers"].size(), 2u);
    EXPECT_FALSE(jsonDoc.contains("after"));
    EXPECT_EQ(jsonDoc["error"]["exit_code"], 3);
    EXPECT_EQ(jsonDoc["error"]["message"],
              "the reload onto --to im (0xF0000004: RKDRVIM) gave no manager; the old one is released");
}
} // namespace

namespace
{
TEST_F(RKToolJsonTest, WordsAreNamedWhereTheEngineOffersDetailsNeverByTheModulesName)
{
    // The suite's test engines; the library finds their media through the
    // dosdevices folder.
    std::map<std::string, std::string> mapEnv = Env(false);
    mapEnv["LD_LIBRARY_PATH"] = RKTOOL_TEST_ENGINES;
    std::ofstream(m_pathDosDevices / "e.iso", std::ios::binary) << "disc image";
    std::filesystem::create_symlink(m_pathDosDevices / "e.iso", m_pathDosDevices / "e::");

    // One under the system engine's name, without details: its words raw.
    RKToolRunResult stRun = RKToolRun(RKToolPath(), {"--engine", "sc", "list", "--json"}, mapEnv);
    EXPECT_EQ(stRun.nExitCode, 0) << stRun.strErr;
    nlohmann::ordered_json jsonDoc = Document(stRun);
    EXPECT_EQ(jsonDoc["engine"]["module"], "RKDRVSC");
    EXPECT_EQ(jsonDoc["engine"]["system_engine"], true);
    ASSERT_EQ(jsonDoc["writers"].size(), 2u);
    const nlohmann::ordered_json& jsonE = jsonDoc["writers"][0];
    EXPECT_EQ(jsonE["letter"], "E");
    EXPECT_EQ(jsonE["supported_media"], 0x6046);
    EXPECT_TRUE(jsonE["supported_media_names"].is_null());
    EXPECT_EQ(jsonE["disc_present"], true);
    EXPECT_EQ(jsonE["media_type"], 0x0025);
    EXPECT_EQ(jsonE["media_type_name"], "DVD+RW");
    EXPECT_TRUE(jsonE["media_profile"].is_null());
    EXPECT_EQ(jsonE["disc_type"], 'E');
    EXPECT_TRUE(jsonE["disc_state"].is_null());
    stRun = RKToolRun(RKToolPath(), {"--engine", "sc", "list"}, mapEnv);
    std::vector<std::string> vecLines = RKToolLines(stRun.strOut);
    ASSERT_EQ(vecLines.size(), 5u) << stRun.strOut;
    EXPECT_EQ(vecLines[3], "0      E:     RKDRVSC Drive E  0x00006046       yes   DVD+RW  0x00000045");

    // One whose details give its drive's profiles: the library's names of
    // them (BD-RE and CD-R), in the library's order; its writer built
    // without type information offers none.
    mapEnv["LD_LIBRARY_PATH"] = std::filesystem::path(RKTOOL_TEST_ENGINES).parent_path() / "details";
    stRun = RKToolRun(RKToolPath(), {"--engine", "cl", "list", "--json"}, mapEnv);
    EXPECT_EQ(stRun.nExitCode, 0) << stRun.strErr;
    jsonDoc = Document(stRun);
    EXPECT_EQ(jsonDoc["engine"]["system_engine"], false);
    EXPECT_EQ(jsonDoc["writers"][0]["supported_media_names"],
              nlohmann::ordered_json::parse(R"(["CD-R", "BD-RE"])"));
    stRun = RKToolRun(RKToolPath(), {"--engine", "rd", "list", "--json"}, mapEnv);
    EXPECT_TRUE(Document(stRun)["writers"][0]["supported_media_names"].is_null());
}
} // namespace

namespace
{
TEST_F(RKToolJsonTest, DemoRunsTheWholeRequestAndLeavesNothingBehind)
{
    RKToolRunResult stRun = Run({"demo", "--json"}, 60);
    EXPECT_EQ(stRun.nExitCode, 0) << stRun.strErr;
    nlohmann::ordered_json jsonDoc = Document(stRun);
    EXPECT_EQ(Keys(jsonDoc), (std::vector<std::string>{"images", "list", "info", "wait", "eject", "reload"}));
    EXPECT_FALSE(std::filesystem::exists(jsonDoc["images"].get<std::string>()));
    ExpectEngine(jsonDoc["list"]["engine"], "cl", "0xF0000002", "RKDRVCL");
    ExpectDrive(jsonDoc["list"]["writers"][1], {1, "E", "Sample Writer BD-RE", 0x6001, false, 0, ""});
    ExpectDrive(jsonDoc["info"]["writer"], {1, "E", "Sample Writer BD-RE", 0x6001, false, 0, ""}, true);
    // The disc arrives during the 4 s pause after D: and is found at E:.
    EXPECT_EQ(jsonDoc["wait"]["wait"]["result"], "found");
    EXPECT_EQ(jsonDoc["wait"]["wait"]["polls"], 2);
    ExpectDrive(jsonDoc["wait"]["wait"]["drive"],
                {1, "E", "Sample Writer BD-RE", 0x6001, true, 0x6001, "BD-RE"});
    EXPECT_EQ(jsonDoc["eject"]["eject"]["result"], 1);
    ExpectEngine(jsonDoc["reload"]["after"]["engine"], "rd", "0xF0000001", "RKDRVRD");
    EXPECT_EQ(jsonDoc["reload"]["all_kept"], true);
    EXPECT_EQ(jsonDoc["reload"]["after"]["writers"].size(), 3u);
    // The eject took the disc out of E: before the reload.
    EXPECT_EQ(jsonDoc["reload"]["after"]["writers"][1]["letter"], "E");
    EXPECT_EQ(jsonDoc["reload"]["after"]["writers"][1]["disc_present"], false);
}
} // namespace
