// rkdrv wait run as a process: discs that appear, the wrong type, the
// timeout, and Ctrl-C once and twice.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "RKToolTestSupport.h"

namespace
{
class RKToolWaitTest : public CRKToolTest
{
protected:
    // A disc "appears" when the file behind an existing link gets content.
    std::filesystem::path LinkToMissingImage(const std::filesystem::path& pathLink,
                                             const char* szTarget) const
    {
        std::filesystem::path pathTarget = m_pathDir / szTarget;
        std::filesystem::create_symlink(pathTarget, pathLink);
        return pathTarget;
    }

    static void FillLater(const std::filesystem::path& pathTarget, std::chrono::milliseconds msDelay,
                          std::thread& thread)
    {
        thread = std::thread(
            [pathTarget, msDelay]()
            {
                std::this_thread::sleep_for(msDelay);
                std::ofstream(pathTarget, std::ios::binary) << "disc image";
            });
    }
};

bool Contains(const std::string& strText, const std::string& strPart)
{
    return strText.find(strPart) != std::string::npos;
}

TEST_F(RKToolWaitTest, WaitAnyEndsZeroWhenAnImageAppearsBehindALink)
{
    std::filesystem::path pathTarget = LinkToMissingImage(ImagePath('e'), "arriving.iso");
    std::thread thread;
    FillLater(pathTarget, std::chrono::milliseconds(1000), thread);
    RKToolRunResult stRun = Run({"--engine", "cl", "wait", "any", "--json"}, 30);
    thread.join();

    EXPECT_EQ(stRun.nExitCode, 0) << stRun.strErr;
    // D is polled first and found empty: its tray opens, and the wait pauses 4 s.
    EXPECT_GE(stRun.dSeconds, 3.9);
    EXPECT_LT(stRun.dSeconds, 10.0);
    nlohmann::ordered_json jsonDoc = Document(stRun);
    const nlohmann::ordered_json& jsonWait = jsonDoc["wait"];
    EXPECT_EQ(jsonWait["target"], "any");
    EXPECT_EQ(jsonWait["mode"], "across");
    EXPECT_EQ(jsonWait["result"], "found");
    EXPECT_EQ(jsonWait["polls"], 2);
    EXPECT_GE(jsonWait["elapsed_s"].get<double>(), 3.9);
    EXPECT_EQ(jsonWait["drive"]["index"], 1);
    EXPECT_EQ(jsonWait["drive"]["letter"], "E");
    EXPECT_EQ(jsonWait["drive"]["media_type"], 0x6001);
    EXPECT_EQ(jsonWait["drive"]["media_type_name"], "BD-RE");
    EXPECT_EQ(jsonWait["drive"]["disc_type"], 1);

    // Off a terminal: one line per report, saying which drive is polled and
    // which tray was opened.
    std::vector<std::string> vecLines = RKToolLines(stRun.strErr);
    ASSERT_EQ(vecLines.size(), 4u) << stRun.strErr;
    EXPECT_EQ(vecLines[0],
              "rkdrv: waiting for a disc in any drive (manager's wait: 4 s pause per empty drive); "
              "Ctrl-C stops");
    EXPECT_EQ(vecLines[1].rfind("waiting: ", 0), 0u) << vecLines[1];
    EXPECT_TRUE(Contains(vecLines[1], " s, poll 1, drive D: (index 0), step 0 (poll)")) << vecLines[1];
    EXPECT_TRUE(Contains(vecLines[2], ", poll 2, drive E: (index 1), D: empty, tray opened, step 0 (poll)"))
        << vecLines[2];
    EXPECT_TRUE(Contains(vecLines[3], ", drive E: (index 1), step 4 (end): disc found")) << vecLines[3];
}

TEST_F(RKToolWaitTest, TheLibrarysOwnDosdevicesPathStillWorksWithoutTheImageFolder)
{
    std::filesystem::path pathTarget = LinkToMissingImage(m_pathDosDevices / "e::", "drive-e.iso");
    std::thread thread;
    FillLater(pathTarget, std::chrono::milliseconds(700), thread);
    RKToolRunResult stRun =
        RKToolRun(RKToolPath(), {"--engine", "cl", "wait", "E", "--single"}, Env(false), 30);
    thread.join();

    EXPECT_EQ(stRun.nExitCode, 0) << stRun.strErr;
    EXPECT_LT(stRun.dSeconds, 5.0);
    EXPECT_TRUE(Contains(stRun.strOut, "Disc in E: (index 1): BD-RE, disc state 0x00000001, after "))
        << stRun.strOut;
    EXPECT_TRUE(Contains(stRun.strErr, "tray opened, step 1 (started)")) << stRun.strErr;
    EXPECT_TRUE(Contains(stRun.strErr, "poll 1, drive E: (index 1), empty, step 2 (waiting)"))
        << stRun.strErr;
}

TEST_F(RKToolWaitTest, ADiscOfAnotherTypeEndsOne)
{
    PutDisc('e');
    RKToolRunResult stRun = Run({"--engine", "cl", "wait", "E", "--single", "--type", "cd"});
    EXPECT_EQ(stRun.nExitCode, 1);
    EXPECT_EQ(stRun.strOut, "");
    EXPECT_EQ(RKToolLines(stRun.strErr).back(), "rkdrv: the disc in E: is BD-RE, not CD");

    stRun = Run({"--engine", "cl", "wait", "E", "--single", "--type", "CD", "--json"});
    EXPECT_EQ(stRun.nExitCode, 1);
    nlohmann::ordered_json jsonDoc = Document(stRun);
    EXPECT_EQ(jsonDoc["wait"]["result"], "other_type");
    EXPECT_EQ(jsonDoc["wait"]["type"], "CD");
    EXPECT_EQ(jsonDoc["wait"]["drive"]["media_type_name"], "BD-RE");
    EXPECT_EQ(jsonDoc["error"]["exit_code"], 1);

    // The type asked for, named in any case: done. A disc in at the start
    // takes no poll at all.
    stRun = Run({"--engine", "cl", "wait", "E", "--single", "--type", "bd-re", "--json"});
    EXPECT_EQ(stRun.nExitCode, 0);
    jsonDoc = Document(stRun);
    EXPECT_EQ(jsonDoc["wait"]["result"], "found");
    EXPECT_EQ(jsonDoc["wait"]["polls"], 0);
    EXPECT_FALSE(jsonDoc.contains("error"));
}

TEST_F(RKToolWaitTest, TimeoutEndsOneAfterThePollUnderWay)
{
    RKToolRunResult stRun = Run({"--engine", "cl", "wait", "E", "--single", "--timeout", "1", "--json"});
    EXPECT_EQ(stRun.nExitCode, 1);
    // Seen at the first report from 1 s on; that poll still sleeps 0.5 s.
    EXPECT_GE(stRun.dSeconds, 1.0);
    EXPECT_LT(stRun.dSeconds, 3.5);
    nlohmann::ordered_json jsonDoc = Document(stRun);
    EXPECT_EQ(jsonDoc["wait"]["result"], "timeout");
    EXPECT_EQ(jsonDoc["wait"]["timeout_s"], 1.0);
    EXPECT_TRUE(jsonDoc["wait"]["drive"].is_null());
    EXPECT_TRUE(Contains(stRun.strErr, "rkdrv: timeout of 1.0 s reached: the callback answers 0 at the next "
                                       "report; the library then finishes that poll (up to 0.5 s)"))
        << stRun.strErr;
    EXPECT_TRUE(Contains(stRun.strErr, "step 5 (cancelled): timeout")) << stRun.strErr;
    EXPECT_TRUE(Contains(stRun.strErr, "rkdrv: no disc within the timeout of 1.0 s (waited "))
        << stRun.strErr;
}

TEST_F(RKToolWaitTest, CtrlCStopsTheWaitAtItsNextReport)
{
    CRKToolProcess process;
    ASSERT_TRUE(process.Start(RKToolPath(), {"--engine", "cl", "wait", "E", "--single"}, Env()));
    ASSERT_TRUE(process.WaitForStderr("poll 1,", 10)) << process.Stderr();
    process.Interrupt();
    RKToolRunResult stRun = process.Finish(10);
    EXPECT_EQ(stRun.nExitCode, 1);
    EXPECT_EQ(stRun.strOut, "");
    EXPECT_TRUE(Contains(stRun.strErr,
                         "rkdrv: Ctrl-C: the callback answers 0 at the next report; the library "
                         "then finishes that poll (up to 0.5 s); Ctrl-C again quits at once"))
        << stRun.strErr;
    EXPECT_TRUE(Contains(stRun.strErr, "step 5 (cancelled): stopped by Ctrl-C")) << stRun.strErr;
    EXPECT_TRUE(Contains(RKToolLines(stRun.strErr).back(), "rkdrv: wait stopped by Ctrl-C after "))
        << stRun.strErr;
}

TEST_F(RKToolWaitTest, ASecondCtrlCExitsAtOnceWith130)
{
    // Across drives each empty poll pauses 4 s: the second press must not
    // wait for it.
    CRKToolProcess process;
    ASSERT_TRUE(process.Start(RKToolPath(), {"--engine", "cl", "wait", "E"}, Env()));
    ASSERT_TRUE(process.WaitForStderr("poll 1,", 10)) << process.Stderr();
    process.Interrupt();
    ASSERT_TRUE(process.WaitForStderr("(up to 4 s); Ctrl-C again quits at once", 10)) << process.Stderr();
    auto tSecond = std::chrono::steady_clock::now();
    process.Interrupt();
    RKToolRunResult stRun = process.Finish(10);
    double dAfterSecond = std::chrono::duration<double>(std::chrono::steady_clock::now() - tSecond).count();
    EXPECT_EQ(stRun.nExitCode, 130);
    EXPECT_LT(dAfterSecond, 1.5);
    EXPECT_EQ(RKToolLines(stRun.strErr).back(), "rkdrv: interrupted");
}
} // namespace
