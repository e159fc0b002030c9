// The trace log: record kinds and texts, scopes, and the trace file.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "RKDRV.h"
#include "RKTestFiles.h"
#include "RKTestModule.h"
#include "RKTraceCapture.h"

TEST(RKLog, OneInstance)
{
    EXPECT_EQ(CRKLog::GetInstance(), CRKLog::GetInstance());
}

TEST(RKLog, RecordKindsAndTexts)
{
    CRKTraceCapture capture;
    CRKLog* pLog = CRKLog::GetInstance();
    pLog->EnterFunction(RK_TEXT("RKDRV::GetODDManager(dwODD:%x)"), 0xFFFF0001u);
    pLog->AddStep(RK_TEXT("Manager"));
    pLog->AddInfo(RK_TEXT("Stores engine info: index:%d, letter:%c"), 1, 0);
    pLog->AddError(RK_TEXT("Error while loading function : %s"), RK_TEXT("sym"));
    pLog->AddVariable(RK_TEXT("ulTempIndex"), 4294967295ul, 0, 0);
    pLog->ExitFunction();
    EXPECT_EQ(-3, pLog->ExitFunction(-3));
    EXPECT_EQ(-1LL, pLog->ExitFunction(-1LL));
    EXPECT_EQ(0x1234LL, pLog->ExitFunction(0x1234LL));

    std::vector<RKTraceRecord> vecExpected = {
        Enter("RKDRV::GetODDManager(dwODD:ffff0001)"),
        Step("Manager"),
        Info("Stores engine info: index:1, letter:"),
        Error("Error while loading function : sym"),
        Variable("ulTempIndex = 4294967295"),
        Exit(""),
        Exit("-3"),
        Exit("0xffffffffffffffff"),
        Exit("0x0000000000001234"),
    };
    EXPECT_EQ(vecExpected, capture.records);
}

TEST(RKLog, NoListenerMeansNoFormatting)
{
    CRKLog::GetInstance()->SetSink(nullptr);
    // A bad text pointer would crash the formatter; nothing may read it.
    const unsigned short* szBad = reinterpret_cast<const unsigned short*>(0x1);
    EXPECT_EQ(0, CRKLog::GetInstance()->AddInfo(RK_TEXT("%s"), szBad));
}

namespace
{
bool Exists(const std::string& strPath)
{
    return std::ifstream(strPath, std::ios::binary).good();
}

// The trace file is named when the library loads, so each case is a host
// process started with RKDRV_TRACE_FILE set.
class RKTraceFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // Named after the case: ctest may run cases side by side.
        std::string strCase = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        m_strPath = ::testing::TempDir() + "rkdrv_trace_test_" + strCase + ".log";
        m_strOther = ::testing::TempDir() + "rkdrv_trace_test_" + strCase + "_other.log";
        std::remove(m_strPath.c_str());
        std::remove(m_strOther.c_str());
    }
    void TearDown() override
    {
        std::remove(m_strPath.c_str());
        std::remove(m_strOther.c_str());
    }

    void* Start(const std::vector<std::string>& vecArgs)
    {
        RKTestSetEnv("RKDRV_TRACE_FILE", m_strPath.c_str());
        void* hProgram = RKTestStartProgram(RKTestProgramFile(RKTEST_TRACE_HOST), vecArgs);
        RKTestSetEnv("RKDRV_TRACE_FILE", nullptr);
        return hProgram;
    }
    int Run(const std::vector<std::string>& vecArgs) { return RKTestWaitProgram(Start(vecArgs)); }

    std::string m_strPath;
    std::string m_strOther;
};
} // namespace

TEST_F(RKTraceFileTest, IndentsOpenScopesInUtf8Lines)
{
    ASSERT_EQ(0, Run({"scopes"}));
    EXPECT_EQ("ENTER Outer\n"
              "  ENTER Inner 2\n"
              "    INFO caf\xC3\xA9\n"
              "  EXIT 1\n"
              "EXIT \n"
              "ERROR after\n",
              RKTestReadFile(m_strPath));
}

TEST_F(RKTraceFileTest, IsNamedOnceAtLoadAndKeptOpen)
{
    // Renamed while the host runs: the open file follows, nothing new
    // appears under the old name.
    ASSERT_EQ(0, Run({"renamed", m_strOther}));
    EXPECT_FALSE(Exists(m_strPath));
    EXPECT_EQ("INFO before\nINFO after\n", RKTestReadFile(m_strOther));
    std::remove(m_strOther.c_str());
    // Removing the variable later changes nothing.
    ASSERT_EQ(0, Run({"unset"}));
    EXPECT_EQ("INFO still traced\n", RKTestReadFile(m_strPath));
}

TEST_F(RKTraceFileTest, TwoProcessesAppendWholeLines)
{
    const int nLines = 400;
    void* hFirst = Start({"lines", std::to_string(nLines), "first"});
    void* hSecond = Start({"lines", std::to_string(nLines), "second"});
    ASSERT_EQ(0, RKTestWaitProgram(hFirst));
    ASSERT_EQ(0, RKTestWaitProgram(hSecond));

    std::istringstream content(RKTestReadFile(m_strPath));
    const std::string strPad(3000, 'x');
    std::map<std::string, int> mapNext = {{"first", 0}, {"second", 0}};
    std::string strLine;
    int nRead = 0;
    while (std::getline(content, strLine))
    {
        ++nRead;
        std::istringstream line(strLine);
        std::string strKind, strTag, strNumber, strBody, strEnd;
        line >> strKind >> strTag >> strNumber >> strBody >> strEnd;
        ASSERT_EQ("INFO", strKind) << "line " << nRead;
        ASSERT_EQ(1u, mapNext.count(strTag)) << "line " << nRead;
        // Each process's lines arrive whole and in its own order.
        ASSERT_EQ(std::to_string(mapNext[strTag]++), strNumber) << "line " << nRead;
        ASSERT_EQ(strPad, strBody) << "line " << nRead;
        ASSERT_EQ("end", strEnd) << "line " << nRead;
    }
    EXPECT_EQ(nLines, mapNext["first"]);
    EXPECT_EQ(nLines, mapNext["second"]);
}
