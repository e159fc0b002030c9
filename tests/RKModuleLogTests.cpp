// The local log written when the module attaches. Attach runs once per
// process load, so every case runs a small host in a folder of its own.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "RKTestFiles.h"
#include "RKTestModule.h"

namespace fs = std::filesystem;

namespace
{
class RKModuleLogTest : public ::testing::TestWithParam<bool>
{
protected:
    void SetUp() override
    {
        const ::testing::TestInfo* pInfo = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string strName = std::string(pInfo->test_suite_name()) + "_" + pInfo->name();
        for (char& c : strName)
        {
            if (c == '/')
                c = '_';
        }
        m_Folder = fs::path(::testing::TempDir()) / ("rkdrv_log_" + strName);
        std::error_code errIgnored;
        fs::remove_all(m_Folder, errIgnored);
        fs::create_directories(m_Folder);
    }
    void TearDown() override
    {
        std::error_code errIgnored;
        fs::remove_all(m_Folder, errIgnored);
    }

    fs::path HostSource() const
    {
        return RKTestProgramFile(GetParam() ? RKTEST_LOG_HOST_DYNAMIC : RKTEST_LOG_HOST_LINKED);
    }
    fs::path LibrarySource() const { return RKTestProgramFile(RKTEST_LIBRARY_FILE); }

    // Puts the host in the folder (under its own name, or the stem given)
    // and runs it, linked or loading the library at run time as the test's
    // parameter says.
    int RunHostIn(const fs::path& folder, const std::string& strStem = "")
    {
        bool bDynamic = GetParam();
        fs::path source = HostSource();
        fs::path host =
            folder / (strStem.empty() ? source.filename() : fs::path(strStem + source.extension().string()));
        fs::copy_file(source, host, fs::copy_options::overwrite_existing);
        // The library goes beside the host, where hosts keep it.
        m_Library = folder / RKTEST_LIBRARY_FILE;
        fs::copy_file(LibrarySource(), m_Library, fs::copy_options::overwrite_existing);
        std::vector<std::string> vecArgs;
        if (bDynamic)
            vecArgs.push_back(m_Library.string());
        return RKTestRunProgram(host.string(), vecArgs);
    }

    std::string ExpectedHeader()
    {
        std::string strEnd = RKTestNativeLineEnd();
        return "Path of RKDRV.DLL : " + m_strLoggedPath + strEnd +
               "Version of RKDRV.DLL : " + RKTEST_PROJECT_VERSION + strEnd;
    }

    // Checks the two header lines; the path must name the library's file.
    void ExpectHeader(const fs::path& log)
    {
        std::string strContent = RKTestReadFile(log);
        std::string strPrefix = "Path of RKDRV.DLL : ";
        ASSERT_EQ(0u, strContent.find(strPrefix)) << strContent;
        std::size_t nEnd = strContent.find(RKTestNativeLineEnd());
        ASSERT_NE(std::string::npos, nEnd);
        m_strLoggedPath = strContent.substr(strPrefix.size(), nEnd - strPrefix.size());
        EXPECT_TRUE(fs::equivalent(m_strLoggedPath, m_Library)) << m_strLoggedPath;
        EXPECT_EQ(ExpectedHeader(), strContent);
    }

    fs::path m_Folder;
    fs::path m_Library;
    std::string m_strLoggedPath;
};
} // namespace

TEST_P(RKModuleLogTest, NoMarkerCreatesAndTouchesNothing)
{
    ASSERT_EQ(0, RunHostIn(m_Folder));
    EXPECT_FALSE(fs::exists(m_Folder / "RKDRV.log"));

    RKTestWriteFile(m_Folder / "RKDRV.log", "kept as it was\n");
    ASSERT_EQ(0, RunHostIn(m_Folder));
    EXPECT_EQ("kept as it was\n", RKTestReadFile(m_Folder / "RKDRV.log"));
}

TEST_P(RKModuleLogTest, MarkerFileReplacesAnOlderLog)
{
    RKTestWriteFile(m_Folder / "RK_LOG.INI", "");
    RKTestWriteFile(m_Folder / "RKDRV.log", std::string(5000, 'x'));
    ASSERT_EQ(0, RunHostIn(m_Folder));
    ExpectHeader(m_Folder / "RKDRV.log");
}

TEST_P(RKModuleLogTest, MarkerFolderCountsAsMarker)
{
    fs::create_directory(m_Folder / "RK_LOG.INI");
    ASSERT_EQ(0, RunHostIn(m_Folder));
    ExpectHeader(m_Folder / "RKDRV.log");
}

TEST_P(RKModuleLogTest, LogThatCannotBeOpenedLeavesTheHostWorking)
{
    // A folder where the log would go: it can be neither deleted nor opened
    // for writing, even by a privileged user.
    RKTestWriteFile(m_Folder / "RK_LOG.INI", "");
    fs::create_directory(m_Folder / "RKDRV.log");
    ASSERT_EQ(0, RunHostIn(m_Folder));
    EXPECT_TRUE(fs::is_directory(m_Folder / "RKDRV.log"));
    EXPECT_TRUE(fs::is_empty(m_Folder / "RKDRV.log"));
}

TEST_P(RKModuleLogTest, HostPathTooLongForThePathBufferOpensNoLog)
{
    // The executable's path exceeds 259 characters: cutting it could name
    // another folder, so no log is written at all.
    if (!RKTestLongPathsUsable())
        GTEST_SKIP() << "programs cannot be started from paths beyond 259 characters here; the cut "
                        "marker path is covered by MarkerPathThatWouldBeCutOpensNoLog";
    fs::path deep = m_Folder;
    while (deep.string().size() < 300)
        deep /= "deeper_folder_level";
    fs::create_directories(deep);
    RKTestWriteFile(deep / "RK_LOG.INI", "");
    ASSERT_EQ(0, RunHostIn(deep));
    EXPECT_FALSE(fs::exists(deep / "RKDRV.log"));
}

TEST_P(RKModuleLogTest, MarkerPathThatWouldBeCutOpensNoLog)
{
    // The executable's path just fits in 259 characters, but folder and
    // marker name do not: the cut text must not be taken for the marker.
    std::string strStem = "h";
    std::size_t nHostName = strStem.size() + HostSource().extension().string().size();
    std::size_t nFolderLength = 259 - 1 - nHostName;
    fs::path deep = m_Folder;
    ASSERT_GT(nFolderLength, deep.string().size() + 1);
    deep /= std::string(nFolderLength - deep.string().size() - 1, 'd');
    ASSERT_EQ(nFolderLength, deep.string().size());
    fs::create_directories(deep);
    std::string strCut = (deep / "RK_LOG.INI").string().substr(0, 259);
    // What a cut at 259 characters would leave exists; a cut log path would
    // land on the same file and overwrite it.
    RKTestWriteFile(strCut, "not the marker");
    ASSERT_EQ(0, RunHostIn(deep, strStem));
    EXPECT_FALSE(fs::exists(deep / "RKDRV.log"));
    EXPECT_EQ("not the marker", RKTestReadFile(strCut));
}

INSTANTIATE_TEST_SUITE_P(LinkedAndLoaded, RKModuleLogTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info)
                         { return info.param ? std::string("Loaded") : std::string("Linked"); });
