// The trace log: record kinds and texts, scopes, and the trace file.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "RKDRV.h"
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
    ASSERT_EQ(nullptr, std::getenv("RKDRV_TRACE_FILE"));
    // A bad text pointer would crash the formatter; nothing may read it.
    const unsigned short* szBad = reinterpret_cast<const unsigned short*>(0x1);
    EXPECT_EQ(0, CRKLog::GetInstance()->AddInfo(RK_TEXT("%s"), szBad));
}

TEST(RKLog, TraceFileIndentsOpenScopes)
{
    std::string strPath = ::testing::TempDir() + "rkdrv_trace_test.log";
    std::remove(strPath.c_str());
    RKTestSetEnv("RKDRV_TRACE_FILE", strPath.c_str());
    CRKLog* pLog = CRKLog::GetInstance();
    pLog->EnterFunction(RK_TEXT("Outer"));
    pLog->EnterFunction(RK_TEXT("Inner %d"), 2);
    pLog->AddInfo(RK_TEXT("caf\u00e9"));
    pLog->ExitFunction(1);
    pLog->ExitFunction();
    pLog->AddError(RK_TEXT("after"));
    RKTestSetEnv("RKDRV_TRACE_FILE", nullptr);
    pLog->AddInfo(RK_TEXT("not written"));

    std::ifstream file(strPath, std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    EXPECT_EQ("ENTER Outer\n"
              "  ENTER Inner 2\n"
              "    INFO caf\xC3\xA9\n"
              "  EXIT 1\n"
              "EXIT \n"
              "ERROR after\n",
              content.str());
    std::remove(strPath.c_str());
}
