// The progress line as a person sees it: the tool in a real terminal under
// tmux, its screen read with capture-pane.
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "RKToolTestSupport.h"

namespace
{
std::string Quoted(const std::string& strText)
{
    std::string strOut = "'";
    for (char c : strText)
        strOut += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return strOut + "'";
}

class RKToolTerminalTest : public CRKToolTest
{
protected:
    void SetUp() override
    {
        CRKToolTest::SetUp();
        if (std::system("command -v tmux >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "tmux is not installed";
        m_strSocket = (m_pathDir / "tmux.sock").string();
    }

    void TearDown() override
    {
        if (!m_strSocket.empty())
            Tmux("kill-server >/dev/null 2>&1");
        CRKToolTest::TearDown();
    }

    int Tmux(const std::string& strArgs) const
    {
        return std::system(("tmux -S " + Quoted(m_strSocket) + " " + strArgs).c_str());
    }

    // The visible screen, one entry per row, trailing blanks cut.
    std::vector<std::string> Screen() const
    {
        std::string strFile = (m_pathDir / "screen.txt").string();
        if (Tmux("capture-pane -p -t rkdrv > " + Quoted(strFile)) != 0)
            return {};
        RKToolRunResult stCat = RKToolRun("/bin/cat", {strFile}, {}, 10);
        std::vector<std::string> vecRows;
        for (std::string strRow : RKToolLines(stCat.strOut))
        {
            while (!strRow.empty() && strRow.back() == ' ')
                strRow.pop_back();
            vecRows.push_back(strRow);
        }
        return vecRows;
    }

    static std::vector<std::string> RowsStartingWith(const std::vector<std::string>& vecRows,
                                                     const char* szPrefix)
    {
        std::vector<std::string> vecFound;
        for (const std::string& strRow : vecRows)
        {
            if (strRow.compare(0, std::strlen(szPrefix), szPrefix) == 0)
                vecFound.push_back(strRow);
        }
        return vecFound;
    }

    std::string m_strSocket;
};

TEST_F(RKToolTerminalTest, TheProgressLineIsRewrittenInPlace)
{
    std::string strCommand = "env -u LD_LIBRARY_PATH";
    for (const auto& entry : Env())
        strCommand += " " + entry.first + "=" + Quoted(entry.second);
    strCommand += " " + Quoted(RKToolPath()) +
                  " --engine cl wait E --single --timeout 2.5; echo RKDRV_EXIT=$?; sleep 60";
    ASSERT_EQ(Tmux("-f /dev/null new-session -d -s rkdrv -x 120 -y 20 " + Quoted(strCommand)), 0);

    // Twice while the wait runs: one progress row, its time moving on.
    std::vector<std::string> vecSeen;
    for (int nLook = 0; nLook < 2; ++nLook)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(900));
        std::vector<std::string> vecRows = RowsStartingWith(Screen(), "waiting: ");
        ASSERT_EQ(vecRows.size(), 1u) << "look " << nLook;
        vecSeen.push_back(vecRows[0]);
    }
    EXPECT_NE(vecSeen[0], vecSeen[1]);
    EXPECT_NE(vecSeen[1].find(", drive E: (index 1), empty, step 2 (waiting)"), std::string::npos)
        << vecSeen[1];

    std::vector<std::string> vecRows;
    for (int nTry = 0; nTry < 100; ++nTry)
    {
        vecRows = Screen();
        if (!RowsStartingWith(vecRows, "RKDRV_EXIT=").empty())
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ASSERT_EQ(RowsStartingWith(vecRows, "RKDRV_EXIT="), std::vector<std::string>{"RKDRV_EXIT=1"});
    // Still one progress row, now the last report; the notes stand above it.
    std::vector<std::string> vecProgress = RowsStartingWith(vecRows, "waiting: ");
    ASSERT_EQ(vecProgress.size(), 1u);
    EXPECT_NE(vecProgress[0].find(", drive E: (index 1), step 5 (cancelled): timeout"), std::string::npos)
        << vecProgress[0];
    EXPECT_EQ(RowsStartingWith(vecRows, "rkdrv: waiting for a disc in drive E:").size(), 1u);
    EXPECT_EQ(RowsStartingWith(vecRows, "rkdrv: timeout of 2.5 s reached").size(), 1u);
    EXPECT_EQ(RowsStartingWith(vecRows, "rkdrv: no disc within the timeout of 2.5 s").size(), 1u);
}
} // namespace
