// The command line as a person meets it: usage errors, help, exit codes,
// versions and the trace.
#include <string>
#include <vector>

#include "RKToolTestSupport.h"

namespace
{
class RKToolCliTest : public CRKToolTest
{
};

bool StartsWith(const std::string& strText, const std::string& strPrefix)
{
    return strText.compare(0, strPrefix.size(), strPrefix) == 0;
}

struct RKUsageCase
{
    std::vector<std::string> vecArgs;
    std::string strMessage; // part of the one-line message
    std::string strHint;    // the help the hint points at
};

TEST_F(RKToolCliTest, UsageErrorsExitTwoWithOneLineAndTheHint)
{
    const std::string strHelp = "see 'rkdrv --help'";
    const std::vector<RKUsageCase> vecCases = {
        {{}, "a command is required", strHelp},
        {{"--bogus", "list"}, "--bogus", "see 'rkdrv list --help'"},
        {{"--bogus"}, "--bogus", strHelp},
        {{"list", "extra"}, "extra", "see 'rkdrv list --help'"},
        {{"frobnicate"}, "frobnicate", strHelp},
        {{"info"}, "LETTER", "see 'rkdrv info --help'"},
        {{"info", "EE"}, "bad drive letter 'EE'", "see 'rkdrv info --help'"},
        {{"eject", "1"}, "bad drive letter '1'", "see 'rkdrv eject --help'"},
        {{"close"}, "LETTER", "see 'rkdrv close --help'"},
        {{"lock", "1"}, "bad drive letter '1'", "see 'rkdrv lock --help'"},
        {{"unlock", "E", "F"}, "F", "see 'rkdrv unlock --help'"},
        {{"wait", "E:x"}, "bad drive letter 'E:x'", "see 'rkdrv wait --help'"},
        {{"--engine", "xx", "list"}, "bad engine name 'xx'", strHelp},
        {{"--engine", "0xZZ", "list"}, "bad engine name '0xZZ'", strHelp},
        {{"--engine", "0x123456789", "list"}, "bad engine name '0x123456789'", strHelp},
        {{"--engine", "0x", "list"}, "bad engine name '0x'", strHelp},
        {{"wait", "--type", "HD-DVD"}, "unknown media type 'HD-DVD'", "see 'rkdrv wait --help'"},
        {{"wait", "any", "--single"}, "--single waits on one drive", "see 'rkdrv wait --help'"},
        {{"wait", "E", "--timeout", "-1"}, "--timeout takes a number of seconds", "see 'rkdrv wait --help'"},
        {{"wait", "E", "--timeout", "soon"}, "--timeout", "see 'rkdrv wait --help'"},
        {{"reload"}, "--to", "see 'rkdrv reload --help'"},
        {{"reload", "--to", "zz"}, "bad engine name 'zz' for --to", "see 'rkdrv reload --help'"},
        {{"--engine", "cl", "demo"}, "demo always runs on the sample engine", "see 'rkdrv demo --help'"},
    };
    for (const RKUsageCase& stCase : vecCases)
    {
        std::string strArgs;
        for (const std::string& strArg : stCase.vecArgs)
            strArgs += " " + strArg;
        SCOPED_TRACE("rkdrv" + strArgs);
        RKToolRunResult stRun = Run(stCase.vecArgs);
        EXPECT_EQ(stRun.nExitCode, 2);
        EXPECT_EQ(stRun.strOut, "");
        std::vector<std::string> vecLines = RKToolLines(stRun.strErr);
        ASSERT_EQ(vecLines.size(), 2u) << stRun.strErr;
        EXPECT_TRUE(StartsWith(vecLines[0], "rkdrv: ")) << vecLines[0];
        EXPECT_NE(vecLines[0].find(stCase.strMessage), std::string::npos) << vecLines[0];
        EXPECT_TRUE(StartsWith(vecLines[1], "Usage: rkdrv ")) << vecLines[1];
        EXPECT_NE(vecLines[1].find(stCase.strHint), std::string::npos) << vecLines[1];
    }
}

TEST_F(RKToolCliTest, HelpForTheToolAndEveryCommandGoesToStdoutWithTheExitCodes)
{
    RKToolRunResult stRun = Run({"--help"});
    EXPECT_EQ(stRun.nExitCode, 0);
    EXPECT_EQ(stRun.strErr, "");
    for (const char* szText :
         {"list", "info", "wait", "eject", "reload", "demo", "--engine", "--json", "--trace", "--version",
          "Exit codes:", "  3    no engine could be loaded", "  4    no such drive"})
        EXPECT_NE(stRun.strOut.find(szText), std::string::npos) << szText << "\n" << stRun.strOut;

    const std::vector<std::pair<std::string, std::vector<std::string>>> vecCommands = {
        {"list", {}},
        {"info", {"LETTER"}},
        {"wait", {"TARGET", "--single", "--type", "--timeout", "DVD+RW"}},
        {"eject", {"LETTER"}},
        {"reload", {"--to"}},
        {"demo", {}},
    };
    for (const auto& command : vecCommands)
    {
        SCOPED_TRACE(command.first);
        RKToolRunResult stCommand = Run({command.first, "--help"});
        EXPECT_EQ(stCommand.nExitCode, 0);
        EXPECT_NE(stCommand.strOut.find("rkdrv " + command.first), std::string::npos) << stCommand.strOut;
        EXPECT_NE(stCommand.strOut.find("Exit codes:"), std::string::npos);
        for (const std::string& strText : command.second)
            EXPECT_NE(stCommand.strOut.find(strText), std::string::npos) << strText << "\n"
                                                                         << stCommand.strOut;
    }
}

TEST_F(RKToolCliTest, NoEngineExitsThreeWithOneLine)
{
    // No engine module of this identifier is on the tool's search path.
    RKToolRunResult stRun = Run({"--engine", "im", "list"});
    EXPECT_EQ(stRun.nExitCode, 3);
    EXPECT_EQ(stRun.strOut, "");
    EXPECT_EQ(
        stRun.strErr,
        "rkdrv: no engine could be loaded for --engine im (0xF0000004: RKDRVIM not found or refused)\n");

    stRun = Run({"--engine", "0x12345678", "info", "E"});
    EXPECT_EQ(stRun.nExitCode, 3);
    EXPECT_EQ(stRun.strErr, "rkdrv: no engine could be loaded for --engine 0x12345678 (no engine module has "
                            "identifier 0x12345678)\n");

    // In JSON mode the document carries the error too.
    stRun = Run({"--engine", "IM", "wait", "--json"});
    EXPECT_EQ(stRun.nExitCode, 3);
    nlohmann::ordered_json jsonDoc = Document(stRun);
    EXPECT_EQ(jsonDoc["error"]["exit_code"], 3);
    EXPECT_EQ(jsonDoc["error"]["message"],
              "no engine could be loaded for --engine im (0xF0000004: RKDRVIM not found or refused)");
}

TEST_F(RKToolCliTest, NoSuchDriveExitsFourForEveryDriveCommand)
{
    for (const std::vector<std::string>& vecArgs :
         std::vector<std::vector<std::string>>{{"info", "Q"},
                                               {"eject", "q:"},
                                               {"close", "Q"},
                                               {"lock", "Q"},
                                               {"unlock", "Q"},
                                               {"wait", "Q"},
                                               {"wait", "Q", "--single"}})
    {
        SCOPED_TRACE(vecArgs[0] + " " + vecArgs[1]);
        std::vector<std::string> vecAll = {"--engine", "cl"};
        vecAll.insert(vecAll.end(), vecArgs.begin(), vecArgs.end());
        RKToolRunResult stRun = Run(vecAll);
        EXPECT_EQ(stRun.nExitCode, 4);
        EXPECT_EQ(stRun.strOut, "");
        EXPECT_EQ(stRun.strErr, "rkdrv: no drive Q: (the engine lists D:, E:)\n");
    }
}

TEST_F(RKToolCliTest, NoWritersSaysWhereTheEngineLookedAndWhatHelps)
{
    // The test engines, listing no drive at all.
    std::map<std::string, std::string> mapEnv = Env(false);
    mapEnv["LD_LIBRARY_PATH"] = RKTOOL_TEST_ENGINES;
    mapEnv["RKTEST_ENGINE_LETTERS"] = "";
    RKToolRunResult stRun = RKToolRun(RKToolPath(), {"--engine", "sc", "list"}, mapEnv);
    EXPECT_EQ(stRun.nExitCode, 0);
    std::vector<std::string> vecLines = RKToolLines(stRun.strOut);
    ASSERT_EQ(vecLines.size(), 4u) << stRun.strOut;
    EXPECT_EQ(vecLines[1], "0 writers.");
    EXPECT_EQ(vecLines[2],
              "The engine looked at the kernel's optical drives, the srN entries of /sys/class/block.");
    EXPECT_TRUE(StartsWith(vecLines[3],
                           "What usually helps: a drive appears as /dev/srN once the kernel's sr "
                           "module is loaded (modprobe sr_mod); reading its discs takes group cdrom"))
        << vecLines[3];

    stRun = RKToolRun(RKToolPath(), {"--engine", "sc", "list", "--json"}, mapEnv);
    nlohmann::ordered_json jsonDoc = Document(stRun);
    EXPECT_EQ(jsonDoc["writers"].size(), 0u);
    EXPECT_EQ(jsonDoc["no_writers"]["looked"], vecLines[2].substr(21, vecLines[2].size() - 22));
    EXPECT_EQ("What usually helps: " + jsonDoc["no_writers"]["help"].get<std::string>() + ".", vecLines[3]);

    // Another engine lists only its own drives.
    stRun = RKToolRun(RKToolPath(), {"--engine", "cl", "list", "--json"}, mapEnv);
    jsonDoc = Document(stRun);
    EXPECT_EQ(jsonDoc["no_writers"]["looked"], "its own drives: RKDRVCL is not the system engine");
    EXPECT_EQ(jsonDoc["no_writers"]["help"], "the machine's drives are the system engine's: --engine sc");
}

TEST_F(RKToolCliTest, LettersMayBeLowerCaseOrCarryAColon)
{
    for (const char* szLetter : {"E", "e", "E:", "e:"})
    {
        RKToolRunResult stRun = Run({"--engine", "cl", "info", szLetter});
        EXPECT_EQ(stRun.nExitCode, 0) << szLetter;
        EXPECT_EQ(RKToolLines(stRun.strOut).at(0), "Drive E: (index 1)") << szLetter;
    }
}

TEST_F(RKToolCliTest, VersionNamesTheToolTheLibraryFileAndTheEngineModule)
{
    RKToolRunResult stRun = Run({"--engine", "cl", "--version"});
    EXPECT_EQ(stRun.nExitCode, 0);
    std::vector<std::string> vecLines = RKToolLines(stRun.strOut);
    ASSERT_EQ(vecLines.size(), 3u) << stRun.strOut;
    EXPECT_EQ(vecLines[0], "rkdrv " RKTOOL_PROJECT_VERSION);
    // The library's real file carries MAJOR.MINOR.PATCH in its name.
    EXPECT_TRUE(StartsWith(vecLines[1], "library: /")) << vecLines[1];
    EXPECT_NE(vecLines[1].find("/libRKDRV.so." RKTOOL_LIBRARY_VERSION ", version " RKTOOL_LIBRARY_VERSION
                               " (from its file name)"),
              std::string::npos)
        << vecLines[1];
    EXPECT_TRUE(StartsWith(vecLines[2], "engine: RKDRVCL (--engine cl, 0xF0000002): /")) << vecLines[2];
    EXPECT_NE(vecLines[2].find("/libRKDRVCL.so, no version: engine modules carry no version here"),
              std::string::npos)
        << vecLines[2];

    // Without an engine the versions are still shown.
    stRun = Run({"--engine", "im", "--version", "--json"});
    EXPECT_EQ(stRun.nExitCode, 0);
    nlohmann::ordered_json jsonDoc = Document(stRun);
    EXPECT_EQ(jsonDoc["tool"], RKTOOL_PROJECT_VERSION);
    EXPECT_EQ(jsonDoc["library"]["version"], RKTOOL_LIBRARY_VERSION);
    EXPECT_EQ(jsonDoc["library"]["version_source"], "file name");
    EXPECT_EQ(jsonDoc["engine"]["loaded"], false);
    EXPECT_EQ(jsonDoc["engine"]["id"], "0xF0000004");
}

TEST_F(RKToolCliTest, EjectGoesThroughTheEngineAndTraceShowsEveryRecordIndented)
{
    RKToolRunResult stRun = Run({"--engine", "cl", "--trace", "eject", "E"});
    EXPECT_EQ(stRun.nExitCode, 0);
    EXPECT_EQ(stRun.strOut, "Tray of E: (index 1) opened (EjectTray gave 1)\n");
    std::vector<std::string> vecLines = RKToolLines(stRun.strErr);
    // The load, the lookup, the engine's own record and the release, in order.
    const std::vector<std::string> vecExpected = {
        "ENTER RKDRV::GetODDManager(dwODD:f0000002)",
        "  STEP Manager",
        "  INFO Burning Engine chosen : RKDRVCL.DLL",
        "  INFO Module Successfully loaded",
        "  INFO trying to load  _RK_Factory_Creation_Function_CRKDRVManager",
        "  INFO Function loaded successfully.",
        "EXIT ",
        "INFO CRKDRVManager::GetWriterFromLetter(E:\\)",
        "INFO CRKDRVManager::GetWriter(0)",
        "INFO CRKDRVManager::GetWriter(1)",
        "INFO CRKDRVManager::GetWriter(1)",
        "INFO Sample engine: tray of E: opened",
        "STEP ClearODDManager()",
        "INFO Releasing Manager",
        "ENTER ClearWriters",
        "EXIT ",
    };
    EXPECT_EQ(vecLines, vecExpected);

    // Without --trace nothing of it shows.
    stRun = Run({"--engine", "cl", "eject", "e"});
    EXPECT_EQ(stRun.nExitCode, 0);
    EXPECT_EQ(stRun.strErr, "");
}
} // namespace
