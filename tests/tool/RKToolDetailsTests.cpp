// The details of info and the tray commands, through the test engine that
// offers details (tests/engines) and the sample engine's images.
#include <fstream>
#include <string>
#include <vector>

#include "RKToolTestSupport.h"

namespace
{
class RKToolDetailsTest : public CRKToolTest
{
protected:
    // The test engines that offer details: RKDRVCL with, RKDRVRD without
    // type information, RKDRVIM without the interface.
    RKToolRunResult RunDetailsEngine(const std::vector<std::string>& vecArgs) const
    {
        std::map<std::string, std::string> mapEnv = Env(false);
        mapEnv["LD_LIBRARY_PATH"] =
            (std::filesystem::path(RKTOOL_TEST_ENGINES).parent_path() / "details").string();
        return RKToolRun(RKToolPath(), vecArgs, mapEnv);
    }
};

TEST_F(RKToolDetailsTest, InfoGroupsTheDetailsAndKeepsUnknownFieldsNull)
{
    RKToolRunResult stRun = RunDetailsEngine({"--engine", "cl", "--json", "info", "E"});
    ASSERT_EQ(stRun.nExitCode, 0) << stRun.strErr;
    nlohmann::ordered_json jsonWriter = Document(stRun)["writer"];
    nlohmann::ordered_json jsonProfiles = nlohmann::ordered_json::array({0, 0x43, 0x09});
    while (jsonProfiles.size() < 64)
        jsonProfiles.push_back(0);
    EXPECT_EQ(jsonWriter["drive"], (nlohmann::ordered_json{{"vendor", "RKTEST"},
                                                           {"product", nullptr},
                                                           {"revision", nullptr},
                                                           {"serial", std::string(63, 'S')},
                                                           {"interface", nullptr},
                                                           {"loading", nullptr},
                                                           {"can_eject", nullptr},
                                                           {"can_close", nullptr},
                                                           {"can_lock", nullptr},
                                                           {"profiles", jsonProfiles},
                                                           {"max_read_kbps", nullptr},
                                                           {"max_write_kbps", nullptr},
                                                           {"buffer_kib", nullptr}}));
    // No disc: the engine says so.
    EXPECT_TRUE(jsonWriter["disc"].is_null());
    EXPECT_EQ(jsonWriter["tray"], (nlohmann::ordered_json{{"open", true}, {"locked", nullptr}}));

    stRun = RunDetailsEngine({"--engine", "cl", "info", "E"});
    std::vector<std::string> vecLines = RKToolLines(stRun.strOut);
    std::vector<std::string> vecGroups;
    for (const std::string& strLine : vecLines)
        if (!strLine.empty() && strLine[0] != ' ' && strLine.compare(0, 6, "Drive ") != 0)
            vecGroups.push_back(strLine);
    EXPECT_EQ(vecGroups, (std::vector<std::string>{"Drive", "Disc", "Tray"})) << stRun.strOut;
    EXPECT_NE(stRun.strOut.find("\n  vendor:           RKTEST\n"), std::string::npos) << stRun.strOut;
    EXPECT_NE(stRun.strOut.find("\n  open:             yes\n  medium:           not known\n"),
              std::string::npos)
        << stRun.strOut;

    // An engine without the interface: the objects are there, all null.
    stRun = RunDetailsEngine({"--engine", "im", "--json", "info", "E"});
    jsonWriter = Document(stRun)["writer"];
    for (const auto& item : jsonWriter["drive"].items())
        EXPECT_TRUE(item.value().is_null()) << item.key();
    EXPECT_EQ(jsonWriter["tray"], (nlohmann::ordered_json{{"open", nullptr}, {"locked", nullptr}}));
}

TEST_F(RKToolDetailsTest, TrayCommandsExitAsEjectDoes)
{
    struct
    {
        std::vector<std::string> vecArgs;
        int nExit;
        const char* szCommand;
        int nResult;
        const char* szError;
    } aCases[] = {
        {{"--engine", "cl", "close", "e"}, 0, "close", 1, ""},
        // The engine's LockTray answers 0 to a lock and 7 to an unlock.
        {{"--engine", "cl", "lock", "E:"},
         1,
         "lock",
         0,
         "the engine did not lock the door of E: (LockTray gave 0)"},
        {{"--engine", "cl", "unlock", "E"}, 0, "unlock", 1, ""},
        {{"--engine", "rd", "close", "E"},
         1,
         "close",
         0,
         "the engine did not close the tray of E: (CloseTray gave 0: its engine offers no tray control)"},
    };
    for (const auto& stCase : aCases)
    {
        std::vector<std::string> vecArgs = stCase.vecArgs;
        SCOPED_TRACE(vecArgs.back() + " " + stCase.szCommand);
        vecArgs.push_back("--json");
        RKToolRunResult stRun = RunDetailsEngine(vecArgs);
        EXPECT_EQ(stRun.nExitCode, stCase.nExit) << stRun.strErr;
        nlohmann::ordered_json jsonDoc = Document(stRun);
        EXPECT_EQ(jsonDoc[stCase.szCommand],
                  (nlohmann::ordered_json{{"index", 0}, {"letter", "E"}, {"result", stCase.nResult}}));
        if (*stCase.szError)
            EXPECT_EQ(jsonDoc["error"]["message"], stCase.szError);
        else
            EXPECT_FALSE(jsonDoc.contains("error"));
    }
    // On Linux the lock outlives the tool, which says how it ends.
    RKToolRunResult stRun = Run({"--engine", "cl", "lock", "E"});
    EXPECT_EQ(stRun.nExitCode, 0) << stRun.strErr;
    EXPECT_EQ(RKToolLines(stRun.strOut),
              (std::vector<std::string>{"Door of E: locked (index 1, LockTray gave 1)",
                                        "It stays locked until 'rkdrv unlock E'."}));
}

TEST_F(RKToolDetailsTest, SampleEngineGivesCapacityAndLabelOfItsImage)
{
    // An ISO 9660 image of 40 blocks whose volume is named in its
    // primary volume descriptor at block 16; then one that is not ISO 9660.
    std::string strImage(40 * 2048 + 100, '\0');
    strImage.replace(16 * 2048, 7, std::string("\1CD001\1", 7));
    strImage.replace(16 * 2048 + 40, 32, "RKDRV TEST VOLUME               ");
    std::ofstream(ImagePath('e'), std::ios::binary) << strImage;
    RKToolRunResult stRun = Run({"--engine", "cl", "--json", "info", "E"});
    ASSERT_EQ(stRun.nExitCode, 0) << stRun.strErr;
    nlohmann::ordered_json jsonDisc = Document(stRun)["writer"]["disc"];
    EXPECT_EQ(jsonDisc["capacity_blocks"], 40);
    EXPECT_EQ(jsonDisc["block_size"], 2048);
    EXPECT_EQ(jsonDisc["capacity_bytes"], 81920);
    EXPECT_EQ(jsonDisc["label"], "RKDRV TEST VOLUME");
    EXPECT_TRUE(jsonDisc["sessions"].is_null());

    strImage[16 * 2048 + 1] = 'X';
    std::ofstream(ImagePath('e'), std::ios::binary) << strImage;
    stRun = Run({"--engine", "cl", "info", "E"});
    EXPECT_NE(stRun.strOut.find("\n  capacity:         40 blocks of 2,048 bytes = 81,920 bytes (80.0 KiB)\n"),
              std::string::npos)
        << stRun.strOut;
    EXPECT_NE(stRun.strOut.find("\n  label:            none\n"), std::string::npos) << stRun.strOut;
}
} // namespace
