// rkdrv watch run as a process: lines that appear while it runs, JSON
// Lines with --count, Ctrl-C in a real terminal, and its usage errors.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "RKToolTestSupport.h"

namespace
{
class RKToolWatchTest : public CRKToolTest
{
protected:
    // The test engine with tray state, each drive's state in a file.
    std::map<std::string, std::string> TrayEnv() const
    {
        std::map<std::string, std::string> mapEnv = Env(false);
        mapEnv["LD_LIBRARY_PATH"] = RKTOOL_DETAILS_ENGINES;
        mapEnv["RKTEST_TRAY_FOLDER"] = m_pathDir.string();
        return mapEnv;
    }
    void SetTray(char cLetter, const char* szState) const
    {
        std::string strFile = (m_pathDir / (std::string(1, cLetter) + ".tray.new")).string();
        std::ofstream(strFile) << szState;
        // Whole or not at all, as the drive's next poll reads it.
        std::filesystem::rename(strFile, m_pathDir / (std::string(1, cLetter) + ".tray"));
    }
};

// Whether strText starts with the form: '9' stands for any digit, every
// other character for itself.
bool HasForm(const std::string& strText, const std::string& strForm)
{
    if (strText.size() < strForm.size())
        return false;
    for (std::size_t i = 0; i < strForm.size(); ++i)
    {
        bool bDigit = strText[i] >= '0' && strText[i] <= '9';
        if (strForm[i] == '9' ? !bDigit : strText[i] != strForm[i])
            return false;
    }
    return true;
}

// The text after the time of day: "E:  disc removed".
std::vector<std::string> Events(const std::string& strOut)
{
    std::vector<std::string> vecEvents;
    for (const std::string& strLine : RKToolLines(strOut))
        vecEvents.push_back(strLine.size() > 14 ? strLine.substr(14) : "short line: " + strLine);
    return vecEvents;
}

TEST_F(RKToolWatchTest, LinesAppearWhileItRunsAndCtrlCEndsItWithZero)
{
    CRKToolProcess process;
    ASSERT_TRUE(process.Start(RKToolPath(), {"--engine", "cl", "watch", "e", "--interval", "50"}, Env()));
    ASSERT_TRUE(process.WaitForStdout("E:  watching: no disc", 10)) << process.Stderr();
    PutDisc('e');
    ASSERT_TRUE(process.WaitForStdout("E:  disc inserted:", 10)) << process.Stdout();
    std::filesystem::remove(ImagePath('e'));
    ASSERT_TRUE(process.WaitForStdout("E:  disc removed", 10)) << process.Stdout();
    process.Interrupt();
    RKToolRunResult stRun = process.Finish(10);

    EXPECT_EQ(stRun.nExitCode, 0) << stRun.strErr;
    EXPECT_EQ(
        Events(stRun.strOut),
        (std::vector<std::string>{"E:  watching: no disc", "E:  disc inserted: BD-RE, 0x00000001",
                                  "E:  disc removed"}));
    // The local time of day before each.
    for (const std::string& strLine : RKToolLines(stRun.strOut))
        EXPECT_TRUE(HasForm(strLine, "99:99:99.999  ")) << strLine;
    EXPECT_EQ(RKToolLines(stRun.strErr),
              (std::vector<std::string>{"rkdrv: watching E:, every 50 ms; Ctrl-C stops",
                                        "rkdrv: stopped by Ctrl-C"}));
}

TEST_F(RKToolWatchTest, JsonLinesGiveTheStatesThenEachEventUpToTheCount)
{
    SetTray('E', "0 1 1 1 0");
    SetTray('F', "0 0 0 0 0");
    CRKToolProcess process;
    ASSERT_TRUE(process.Start(
        RKToolPath(), {"--engine", "cl", "--json", "watch", "--interval", "50", "--count", "3"}, TrayEnv()));
    ASSERT_TRUE(process.WaitForStdout("\"index\":1", 10)) << process.Stderr();
    // Pressed while locked, then opened: the disc goes with the tray.
    SetTray('E', "0 1 1 1 1");
    ASSERT_TRUE(process.WaitForStdout("\"event\":\"eject-request\"", 10)) << process.Stdout();
    SetTray('E', "1 0 0 0 0");
    RKToolRunResult stRun = process.Finish(10);

    ASSERT_EQ(stRun.nExitCode, 0) << stRun.strErr;
    std::vector<std::string> vecLines = RKToolLines(stRun.strOut);
    ASSERT_EQ(vecLines.size(), 5u) << stRun.strOut;
    std::vector<nlohmann::ordered_json> vecEvents;
    for (std::size_t i = 0; i < 5; ++i)
        vecEvents.push_back(nlohmann::ordered_json::parse(vecLines[i]));
    for (nlohmann::ordered_json& jsonEvent : vecEvents)
    {
        // Times vary; their form does not.
        std::string strTime = jsonEvent["time"];
        EXPECT_TRUE(strTime.size() == 24 && HasForm(strTime, "9999-99-99T99:99:99.999Z")) << strTime;
        EXPECT_GE(jsonEvent["elapsed_s"].get<double>(), 0.0);
        jsonEvent.erase("time");
        jsonEvent.erase("elapsed_s");
    }
    EXPECT_EQ(vecEvents[0].dump(),
              "{\"event\":\"state\",\"index\":0,\"letter\":\"E\",\"model\":\"RKDRVCL Drive E\","
              "\"disc_present\":true,\"tray_open\":false,\"locked\":true,\"events\":[\"disc-"
              "inserted\",\"disc-removed\",\"tray-opened\",\"tray-closed\",\"eject-request\"],"
              "\"media_type_name\":\"DVD+RW\",\"disc_state\":null}");
    EXPECT_EQ(vecEvents[1]["event"], "state");
    EXPECT_EQ(vecEvents[1]["disc_present"], false);
    EXPECT_EQ(vecEvents[1]["media_type_name"], nullptr);
    EXPECT_EQ(vecEvents[2].dump(), "{\"event\":\"eject-request\",\"index\":0,\"letter\":\"E\"}");
    EXPECT_EQ(vecEvents[3].dump(), "{\"event\":\"tray-opened\",\"index\":0,\"letter\":\"E\"}");
    EXPECT_EQ(vecEvents[4].dump(), "{\"event\":\"disc-removed\",\"index\":0,\"letter\":\"E\"}");
    EXPECT_NE(stRun.strErr.find("rkdrv: 3 events seen: done"), std::string::npos) << stRun.strErr;
}

TEST_F(RKToolWatchTest, UsageAndDriveErrorsEndAsEveryCommandsDo)
{
    for (const std::vector<std::string>& vecArgs : {std::vector<std::string>{"watch", "EF"},
                                                    {"watch", "--interval", "19"},
                                                    {"watch", "--count", "0"},
                                                    {"watch", "--timeout", "-1"}})
    {
        RKToolRunResult stRun = Run(vecArgs);
        EXPECT_EQ(stRun.nExitCode, 2) << vecArgs[1];
        EXPECT_EQ(stRun.strOut, "");
    }
    RKToolRunResult stRun = Run({"--engine", "cl", "--json", "watch", "E", "Q"});
    EXPECT_EQ(stRun.nExitCode, 4);
    EXPECT_EQ(stRun.strOut,
              "{\"error\":{\"exit_code\":4,\"message\":\"no drive Q: (the engine lists D:, E:)\"}}\n");
    // A timeout of 0 still shows where every drive starts.
    stRun = Run({"--engine", "cl", "watch", "--timeout", "0"});
    EXPECT_EQ(stRun.nExitCode, 0);
    EXPECT_EQ(RKToolLines(stRun.strOut).size(), 2u) << stRun.strOut;
}

// In a real terminal under tmux: the lines are on the screen while the
// watch runs, and Ctrl-C typed there ends it with 0.
TEST_F(RKToolWatchTest, InATerminalCtrlCEndsTheWatchWithZero)
{
    ASSERT_EQ(std::system("command -v tmux >/dev/null 2>&1"), 0) << "tmux is not installed";
    std::string strSocket = (m_pathDir / "tmux.sock").string();
    auto Quoted = [](const std::string& strText)
    {
        std::string strOut = "'";
        for (char c : strText)
            strOut += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return strOut + "'";
    };
    auto Tmux = [&](const std::string& strArgs)
    { return std::system(("tmux -S " + Quoted(strSocket) + " " + strArgs).c_str()); };
    auto Screen = [&]()
    {
        std::string strFile = (m_pathDir / "screen.txt").string();
        Tmux("capture-pane -p -t rkdrv > " + Quoted(strFile));
        std::ifstream file(strFile);
        return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    };
    auto WaitForScreen = [&](const std::string& strText)
    {
        for (int nTry = 0; nTry < 100; ++nTry)
        {
            if (Screen().find(strText) != std::string::npos)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    };

    std::string strCommand = "env -u LD_LIBRARY_PATH";
    for (const auto& entry : Env())
        strCommand += " " + entry.first + "=" + Quoted(entry.second);
    strCommand +=
        " " + Quoted(RKToolPath()) + " --engine cl watch E --interval 50; echo RKDRV_EXIT=$?; sleep 60";
    ASSERT_EQ(Tmux("-f /dev/null new-session -d -s rkdrv -x 150 -y 20 " + Quoted(strCommand)), 0);
    EXPECT_TRUE(WaitForScreen("E:  watching: no disc")) << Screen();
    PutDisc('e');
    EXPECT_TRUE(WaitForScreen("E:  disc inserted: BD-RE")) << Screen();
    EXPECT_EQ(Screen().find("RKDRV_EXIT="), std::string::npos);
    Tmux("send-keys -t rkdrv C-c");
    EXPECT_TRUE(WaitForScreen("RKDRV_EXIT=0")) << Screen();
    EXPECT_NE(Screen().find("rkdrv: stopped by Ctrl-C"), std::string::npos) << Screen();
    Tmux("kill-server >/dev/null 2>&1");
}
} // namespace
