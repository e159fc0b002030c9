// Drive devices on POSIX: letters reach devices through a dosdevices folder.
#include <gtest/gtest.h>

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdarg>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "RKDRV.h"
#include "RKDosDevices.h"
#include "RKFakeEngine.h"
#include "RKOsLayer.h"
#include "RKTraceCapture.h"
#include "RKWaitScript.h"

// The file calls the presence test makes, recorded while s_pvecCalls is set:
// these definitions come before the C library's in the search order, so the
// library's own calls reach them, and each hands on to the real one.
namespace
{
std::vector<std::string>* s_pvecCalls = nullptr;

template <typename TFunction> TFunction Real(const char* szName)
{
    return reinterpret_cast<TFunction>(dlsym(RTLD_NEXT, szName));
}

void RecordCall(const char* szName)
{
    if (s_pvecCalls)
        s_pvecCalls->push_back(szName);
}
} // namespace

extern "C" int stat(const char* szPath, struct stat* pInfo) noexcept
{
    RecordCall("stat");
    return Real<int (*)(const char*, struct stat*)>("stat")(szPath, pInfo);
}

extern "C" int fstat(int nFd, struct stat* pInfo) noexcept
{
    RecordCall("fstat");
    return Real<int (*)(int, struct stat*)>("fstat")(nFd, pInfo);
}

extern "C" int open(const char* szPath, int nFlags, ...)
{
    RecordCall("open");
    va_list vaArgs;
    va_start(vaArgs, nFlags);
    mode_t nMode = (nFlags & O_CREAT) ? static_cast<mode_t>(va_arg(vaArgs, int)) : 0;
    va_end(vaArgs);
    return Real<int (*)(const char*, int, ...)>("open")(szPath, nFlags, nMode);
}

extern "C" int close(int nFd)
{
    RecordCall("close");
    return Real<int (*)(int)>("close")(nFd);
}

namespace
{
// Sets an environment variable for the lifetime of the object.
class CRKScopedEnv
{
public:
    CRKScopedEnv(const char* szName, const char* szValue) : m_strName(szName)
    {
        const char* szOld = std::getenv(szName);
        m_bHad = szOld != nullptr;
        if (szOld)
            m_strOld = szOld;
        if (szValue)
            setenv(szName, szValue, 1);
        else
            unsetenv(szName);
    }
    ~CRKScopedEnv()
    {
        if (m_bHad)
            setenv(m_strName.c_str(), m_strOld.c_str(), 1);
        else
            unsetenv(m_strName.c_str());
    }

private:
    std::string m_strName;
    std::string m_strOld;
    bool m_bHad;
};

// A temporary folder, removed with everything in it.
class CRKTempFolder
{
public:
    CRKTempFolder()
    {
        char szTemplate[] = "/tmp/rkdrv_dev_XXXXXX";
        const char* szMade = mkdtemp(szTemplate);
        m_strPath = szMade ? szMade : "";
    }
    ~CRKTempFolder() { Remove(m_strPath); }
    const std::string& Path() const { return m_strPath; }

    void Link(const std::string& strName, const std::string& strTarget)
    {
        ASSERT_EQ(0, symlink(strTarget.c_str(), (m_strPath + "/" + strName).c_str()));
    }
    std::string File(const std::string& strName, const std::string& strContent)
    {
        std::string strPath = m_strPath + "/" + strName;
        std::ofstream(strPath, std::ios::binary) << strContent;
        return strPath;
    }

private:
    static void Remove(const std::string& strPath)
    {
        if (strPath.empty())
            return;
        struct stat stInfo;
        if (lstat(strPath.c_str(), &stInfo) == 0 && S_ISDIR(stInfo.st_mode))
        {
            if (DIR* pDir = opendir(strPath.c_str()))
            {
                while (dirent* pEntry = readdir(pDir))
                {
                    std::string strName = pEntry->d_name;
                    if (strName != "." && strName != "..")
                        Remove(strPath + "/" + strName);
                }
                closedir(pDir);
            }
            rmdir(strPath.c_str());
        }
        else
        {
            unlink(strPath.c_str());
        }
    }
    std::string m_strPath;
};

// Opens, asks and closes through the backend's own entries.
int Presence(const unsigned short* szPath)
{
    const RKOsCallTable& calls = RKOsDefaultCalls();
    RKOsDevice hDevice = calls.pfnOpenDevice(szPath);
    if (!hDevice)
        return -1;
    int nAnswer = calls.pfnCheckMedia(hDevice);
    calls.pfnCloseDevice(hDevice);
    return nAnswer;
}

class RKDevicePosixTest : public ::testing::Test
{
protected:
    CRKTempFolder m_folder;
    CRKScopedEnv m_env{"RKDRV_DOSDEVICES", m_folder.Path().c_str()};
};
} // namespace

TEST_F(RKDevicePosixTest, LinksDecidePresence)
{
    ASSERT_FALSE(m_folder.Path().empty());
    m_folder.Link("d::", m_folder.Path() + "/missing.iso");
    m_folder.Link("e::", m_folder.File("empty.iso", ""));
    m_folder.Link("f::", m_folder.File("disc.iso", "DATA"));

    EXPECT_EQ(-1, Presence(RK_TEXT("\\\\.\\C:"))); // no link
    EXPECT_EQ(-1, Presence(RK_TEXT("\\\\.\\D:"))); // dangling link
    EXPECT_EQ(0, Presence(RK_TEXT("\\\\.\\E:")));  // empty image: a device, no medium
    EXPECT_EQ(1, Presence(RK_TEXT("\\\\.\\F:")));
    EXPECT_EQ(1, Presence(RK_TEXT("\\\\.\\f:"))); // both cases reach the same link

    CRKTraceCapture capture;
    for (WORD wLetter : {u'C', u'D', u'E'})
        EXPECT_EQ(0, CRKFakeWriter(wLetter).IsMediaIn()) << static_cast<char>(wLetter);
    EXPECT_EQ(1, CRKFakeWriter(u'F').IsMediaIn());
    EXPECT_EQ(1, CRKFakeWriter(u'f').IsMediaIn());
    EXPECT_TRUE(capture.records.empty());
}

TEST_F(RKDevicePosixTest, OnlyLowerCaseLinkNamesCount)
{
    m_folder.Link("E::", m_folder.File("disc.iso", "DATA"));
    EXPECT_EQ(-1, Presence(RK_TEXT("\\\\.\\E:")));
    EXPECT_EQ(-1, Presence(RK_TEXT("\\\\.\\e:")));
}

TEST_F(RKDevicePosixTest, TargetsThatHoldNoMediumAreNeverOpened)
{
    ASSERT_EQ(0, mkdir((m_folder.Path() + "/folder").c_str(), 0700));
    m_folder.Link("g::", m_folder.Path() + "/folder");
    // A FIFO would block a plain open; it must not even be tried.
    ASSERT_EQ(0, mkfifo((m_folder.Path() + "/pipe").c_str(), 0600));
    m_folder.Link("h::", m_folder.Path() + "/pipe");
    m_folder.Link("i::", "/dev/null");
    EXPECT_EQ(-1, Presence(RK_TEXT("\\\\.\\G:")));
    EXPECT_EQ(-1, Presence(RK_TEXT("\\\\.\\H:")));
    EXPECT_EQ(-1, Presence(RK_TEXT("\\\\.\\I:")));
}

TEST_F(RKDevicePosixTest, MalformedPathsNameNoDevice)
{
    m_folder.Link("e::", m_folder.File("disc.iso", "DATA"));
    ASSERT_EQ(1, Presence(RK_TEXT("\\\\.\\E:")));
    EXPECT_EQ(nullptr, RKOsDefaultCalls().pfnOpenDevice(nullptr));
    for (const unsigned short* szPath :
         {RK_TEXT(""), RK_TEXT("\\\\.\\"), RK_TEXT("\\\\.\\E"), RK_TEXT("\\\\.\\E:\\"), RK_TEXT("\\\\.\\EE:"),
          RK_TEXT("\\\\.\\:"), RK_TEXT("\\\\?\\E:"), RK_TEXT("//./E:"), RK_TEXT("\\\\.\\E::"),
          RK_TEXT("\\\\.\\1:"), RK_TEXT("\\\\.\\.:"), RK_TEXT("\\\\.\\/:"), RK_TEXT("E:"),
          RK_TEXT("\\\\.\\\u0145:"), RK_TEXT("\\\\.\\\uff25:")})
    {
        EXPECT_EQ(-1, Presence(szPath)) << RKTextToUtf8(szPath);
    }
    // A letter outside 8 bits must not be cut down to one that has a link.
    EXPECT_EQ(0, CRKFakeWriter(0x0145).IsMediaIn());
    EXPECT_EQ(0, CRKFakeWriter(0x0165).IsMediaIn());
    EXPECT_EQ(0, CRKFakeWriter(0).IsMediaIn());
}

TEST_F(RKDevicePosixTest, FolderComesFromTheEnvironmentInOrder)
{
    CRKTempFolder prefix;
    ASSERT_EQ(0, mkdir((prefix.Path() + "/dosdevices").c_str(), 0700));
    ASSERT_EQ(
        0, symlink(m_folder.File("disc.iso", "DATA").c_str(), (prefix.Path() + "/dosdevices/w::").c_str()));
    CRKTempFolder home;
    ASSERT_EQ(0, mkdir((home.Path() + "/.wine").c_str(), 0700));
    ASSERT_EQ(0, mkdir((home.Path() + "/.wine/dosdevices").c_str(), 0700));
    ASSERT_EQ(0, symlink(m_folder.File("home.iso", "DATA").c_str(),
                         (home.Path() + "/.wine/dosdevices/h::").c_str()));
    m_folder.Link("r::", m_folder.File("own.iso", "DATA"));

    CRKScopedEnv wine("WINEPREFIX", prefix.Path().c_str());
    CRKScopedEnv homeEnv("HOME", home.Path().c_str());
    // The rule engines share, beside the library's own answers below.
    auto Folder = []()
    {
        char szFolder[PATH_MAX];
        return RKDosDevicesFolder(szFolder, sizeof(szFolder)) ? std::string(szFolder) : std::string("(none)");
    };
    // The library's own variable first.
    EXPECT_EQ(1, Presence(RK_TEXT("\\\\.\\R:")));
    EXPECT_EQ(-1, Presence(RK_TEXT("\\\\.\\W:")));
    EXPECT_EQ(m_folder.Path(), Folder());
    {
        CRKScopedEnv own("RKDRV_DOSDEVICES", "");
        EXPECT_EQ(-1, Presence(RK_TEXT("\\\\.\\R:")));
        EXPECT_EQ(1, Presence(RK_TEXT("\\\\.\\W:")));
        EXPECT_EQ(-1, Presence(RK_TEXT("\\\\.\\H:")));
        EXPECT_EQ(prefix.Path() + "/dosdevices", Folder());
        CRKScopedEnv noWine("WINEPREFIX", nullptr);
        EXPECT_EQ(1, Presence(RK_TEXT("\\\\.\\H:")));
        EXPECT_EQ(home.Path() + "/.wine/dosdevices", Folder());
        CRKScopedEnv noHome("HOME", nullptr);
        EXPECT_EQ(-1, Presence(RK_TEXT("\\\\.\\H:")));
        EXPECT_EQ("(none)", Folder());
    }
    // A folder that would not fit whole is none, never a cut path.
    std::string strFolder = m_folder.Path();
    std::vector<char> vecShort(strFolder.size());
    EXPECT_FALSE(RKDosDevicesFolder(vecShort.data(), vecShort.size()));
    vecShort.resize(strFolder.size() + 1);
    EXPECT_TRUE(RKDosDevicesFolder(vecShort.data(), vecShort.size()));
    EXPECT_EQ(strFolder, vecShort.data());
}

TEST_F(RKDevicePosixTest, PresenceLeavesNoDescriptorOpen)
{
    DIR* pFds = opendir("/proc/self/fd");
    if (!pFds)
        GTEST_SKIP() << "no /proc/self/fd to count descriptors";
    closedir(pFds);
    auto CountFds = []()
    {
        int nCount = 0;
        if (DIR* pDir = opendir("/proc/self/fd"))
        {
            while (readdir(pDir))
                ++nCount;
            closedir(pDir);
        }
        return nCount;
    };
    m_folder.Link("e::", m_folder.File("disc.iso", "DATA"));
    m_folder.Link("f::", m_folder.File("empty.iso", ""));
    CRKFakeWriter disc('E');
    CRKFakeWriter empty('F');
    int nBefore = CountFds();
    for (int i = 0; i < 50; ++i)
    {
        EXPECT_EQ(1, disc.IsMediaIn());
        EXPECT_EQ(0, empty.IsMediaIn());
    }
    EXPECT_EQ(nBefore, CountFds());
}

TEST_F(RKDevicePosixTest, PresenceLooksAtTheFileOnceBeforeOpeningIt)
{
    m_folder.Link("e::", m_folder.File("disc.iso", "DATA"));
    m_folder.Link("f::", m_folder.File("empty.iso", ""));
    CRKFakeWriter disc('E');
    CRKFakeWriter empty('F');
    std::vector<std::string> vecCalls;
    s_pvecCalls = &vecCalls;
    int nDisc = disc.IsMediaIn();
    int nEmpty = empty.IsMediaIn();
    s_pvecCalls = nullptr;
    EXPECT_EQ(1, nDisc);
    EXPECT_EQ(0, nEmpty);
    // The look before opening keeps FIFOs and terminals from being opened
    // and tells what the file is; nothing else is asked of it.
    EXPECT_EQ((std::vector<std::string>{"stat", "open", "close", "stat", "open", "close"}), vecCalls);
}

TEST_F(RKDevicePosixTest, WaitOnOneDriveSeesAnImageThatAppears)
{
    // The library's own presence test, with the pauses recorded.
    std::string strImage = m_folder.Path() + "/later.iso";
    m_folder.Link("e::", strImage);
    RKEventList events;
    CRKRecordedSleep sleep(events);
    CRKScriptedCallBack callBack(events, "cb");
    callBack.onCall = [&](std::size_t nCall, RKWRITERCALLBACKINFO&)
    {
        if (nCall == 3)
            std::ofstream(strImage, std::ios::binary) << "DATA";
    };
    CRKFakeWriter writer('E');
    writer.SetCallBack(&callBack);

    writer.WaitMedia();

    EXPECT_EQ(1, writer.nEjectCalls);
    EXPECT_EQ((RKEventList{"cb:CallBack step=1", "cb:CallBack step=2", "Sleep 500", "cb:CallBack step=2",
                           "Sleep 500", "cb:CallBack step=4"}),
              events);
}
