// The Linux transport against sysfs trees, device nodes and dosdevices
// folders made in a temporary folder, and the built engine module itself.
// Device nodes need mknod: these tests run as root (as CI does).
#include <gtest/gtest.h>

#include <dirent.h>
#include <dlfcn.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "RKDRVFunctions.h"
#include "RKSystemEngine.h"
#include "RKScManager.h"
#include "RKScTestTrace.h"
#include "RKScTransport_linux.h"

namespace
{
std::string Text(const unsigned short* szText)
{
    std::string strText;
    for (; szText && *szText; ++szText)
        strText += static_cast<char>(*szText);
    return strText;
}

class RKScLinuxTransportTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (geteuid() != 0)
            GTEST_SKIP() << "device nodes for the fake drives need root";
        char szTemplate[] = "/tmp/rkdrv_sc_XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(szTemplate));
        m_strRoot = szTemplate;
        // Readable by the unprivileged user some tests become.
        chmod(m_strRoot.c_str(), 0755);
        for (const char* szFolder :
             {"/sys", "/sys/class", "/sys/class/block", "/dev", "/dosdevices", "/other"})
            ASSERT_EQ(0, mkdir((m_strRoot + szFolder).c_str(), 0755));
        m_stFolders.strSysfs = m_strRoot + "/sys";
        m_stFolders.strDev = m_strRoot + "/dev";
        m_stFolders.strDosDevices = m_strRoot + "/dosdevices";
    }

    void TearDown() override
    {
        if (!m_strRoot.empty())
            std::system(("rm -rf '" + m_strRoot + "'").c_str());
    }

    void Write(const std::string& strPath, const std::string& strText)
    {
        std::ofstream(m_strRoot + strPath) << strText;
    }

    // A sysfs entry as the kernel writes it: padded names, a newline.
    void SysfsDrive(const std::string& strName, const std::string& strNumber)
    {
        std::string strFolder = "/sys/class/block/" + strName;
        ASSERT_EQ(0, mkdir((m_strRoot + strFolder).c_str(), 0755));
        ASSERT_EQ(0, mkdir((m_strRoot + strFolder + "/device").c_str(), 0755));
        Write(strFolder + "/dev", strNumber + "\n");
        Write(strFolder + "/device/vendor", "QEMU    \n");
        Write(strFolder + "/device/model", "QEMU CD-ROM     \n");
    }

    void Node(const std::string& strPath, unsigned int nMajor, unsigned int nMinor)
    {
        ASSERT_EQ(0, mknod((m_strRoot + strPath).c_str(), S_IFBLK | 0600, makedev(nMajor, nMinor)));
    }

    void Link(const std::string& strName, const std::string& strTarget)
    {
        ASSERT_EQ(0, symlink(strTarget.c_str(), (m_strRoot + "/dosdevices/" + strName).c_str()));
    }

    RKScDriveList List()
    {
        RKScDriveList stList;
        std::string strProblem;
        EXPECT_TRUE(RKScCreateLinuxTransport(m_stFolders)->ListDrives(stList, strProblem)) << strProblem;
        return stList;
    }

    std::string m_strRoot;
    RKScLinuxFolders m_stFolders;
};

// Becomes another user while it lives, so that permissions count.
class CRKScOtherUser
{
public:
    CRKScOtherUser() { m_bDone = seteuid(65534) == 0; }
    ~CRKScOtherUser()
    {
        if (m_bDone)
        {
            EXPECT_EQ(0, seteuid(0));
        }
    }
    bool m_bDone;
};
} // namespace

TEST_F(RKScLinuxTransportTest, DrivesInNumericOrderWithLettersByDeviceNumber)
{
    SysfsDrive("sr10", "11:10");
    SysfsDrive("sr2", "11:2");
    SysfsDrive("sr0", "11:0");
    // Not optical drives.
    SysfsDrive("sda", "8:0");
    SysfsDrive("sr", "11:99");
    SysfsDrive("srx", "11:98");
    Node("/dev/sr0", 11, 0);
    Node("/dev/sr2", 11, 2);
    Node("/dev/sr10", 11, 10);
    // Another node of sr2's device: links are matched by number, not path.
    Node("/other/cdrom", 11, 2);
    Write("/other/image.iso", "data");

    Link("c:", m_strRoot + "/other");
    Link("d::", m_strRoot + "/other/image.iso");
    Link("e::", m_strRoot + "/other/cdrom");
    Link("g::", m_strRoot + "/dev/sr10");
    Link("h::", m_strRoot + "/dev/sr10");
    Link("x::", "/dev/null");
    // Names the library never opens.
    Link("K::", m_strRoot + "/dev/sr0");
    Link("ab:", m_strRoot + "/dev/sr0");

    RKScDriveList stList = List();
    ASSERT_EQ(3u, stList.vecDrives.size());
    const char* aszDevices[] = {"/dev/sr0", "/dev/sr2", "/dev/sr10"};
    const WORD awLetters[] = {0, 'E', 'G'};
    for (std::size_t i = 0; i < 3; ++i)
    {
        EXPECT_EQ(m_strRoot + aszDevices[i], stList.vecDrives[i].strDevice);
        EXPECT_EQ("QEMU QEMU CD-ROM", stList.vecDrives[i].strModel);
        EXPECT_EQ(awLetters[i], stList.vecDrives[i].wLetter);
        EXPECT_EQ("", stList.vecDrives[i].strProblem);
    }
    std::vector<WORD> vecUsed = stList.vecUsedLetters;
    std::sort(vecUsed.begin(), vecUsed.end());
    EXPECT_EQ((std::vector<WORD>{'C', 'D', 'E', 'G', 'H', 'X'}), vecUsed);
    EXPECT_EQ((std::vector<WORD>{'F', 'E', 'G'}), RKScAssignLetters(stList));
}

TEST_F(RKScLinuxTransportTest, NodeThatIsNotTheDeviceIsNeverOpened)
{
    SysfsDrive("sr0", "11:0");
    SysfsDrive("sr1", "11:1");
    SysfsDrive("sr2", "eleven");
    Node("/dev/sr1", 11, 7);
    Node("/dev/sr2", 11, 2);
    RKScDriveList stList = List();
    ASSERT_EQ(3u, stList.vecDrives.size());
    EXPECT_EQ("no device node (No such file or directory)", stList.vecDrives[0].strProblem);
    EXPECT_EQ("the node is not block device 11:1", stList.vecDrives[1].strProblem);
    EXPECT_EQ("no device number in " + m_strRoot + "/sys/class/block/sr2/dev",
              stList.vecDrives[2].strProblem);
    std::string strProblem;
    EXPECT_EQ(nullptr, RKScCreateLinuxTransport(m_stFolders)->Open(stList.vecDrives[1], strProblem));
    EXPECT_EQ("the node is not block device 11:1", strProblem);

    m_stFolders.strSysfs = m_strRoot + "/none";
    RKScDriveList stNone;
    EXPECT_FALSE(RKScCreateLinuxTransport(m_stFolders)->ListDrives(stNone, strProblem));
    EXPECT_EQ("cannot read " + m_strRoot + "/none/class/block: No such file or directory", strProblem);
}

TEST_F(RKScLinuxTransportTest, DriveTheUserMayNotOpenIsListedWithItsSysfsModel)
{
    SysfsDrive("sr0", "11:0");
    Node("/dev/sr0", 11, 0);
    Link("e::", m_strRoot + "/dev/sr0");
    std::string strProblem =
        "no read access (Permission denied): add the user to group cdrom and log in again";
    CRKScOtherUser user;
    ASSERT_TRUE(user.m_bDone);
    CRKScTraceCapture capture;
    CRKScManager* pManager = new CRKScManager(RKScCreateLinuxTransport(m_stFolders));
    ASSERT_EQ(1, pManager->GetNbWriter());
    CRKWriter* pWriter = pManager->GetWriter(0);
    EXPECT_EQ("QEMU QEMU CD-ROM", Text(pWriter->GetModelName()));
    EXPECT_EQ('E', pWriter->GetDriveLetter());
    EXPECT_EQ(0u, pWriter->GetSupportedMedia());
    EXPECT_EQ(0, pWriter->IsMediaIn());
    EXPECT_EQ(RKSC_DISC_NONE, pWriter->GetMediaInfo().dwDiscType);
    EXPECT_EQ(0, pWriter->EjectTray());
    EXPECT_EQ((std::vector<std::string>{m_strRoot + "/dev/sr0: cannot open: " + strProblem}),
              capture.Of(RKLOG_ERROR));
    pManager->Release();
}

TEST(RKScModuleTest, FactoryIsTheOnlyWayInAndListsWhatSysfsLists)
{
    void* hModule = dlopen(RKSC_TEST_MODULE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(nullptr, hModule) << dlerror();
    RKDRVFactoryFunction pfnFactory =
        reinterpret_cast<RKDRVFactoryFunction>(dlsym(hModule, RKDRV_FACTORY_SYMBOL));
    ASSERT_NE(nullptr, pfnFactory);
    EXPECT_EQ(nullptr, dlsym(hModule, "_Z25RKScCreateSystemTransportv"));

    int nDrives = 0;
    if (DIR* pDir = opendir("/sys/class/block"))
    {
        while (dirent* pEntry = readdir(pDir))
            nDrives += std::string(pEntry->d_name).compare(0, 2, "sr") == 0 ? 1 : 0;
        closedir(pDir);
    }
    CRKDRVManager* pManager = pfnFactory();
    ASSERT_NE(nullptr, pManager);
    EXPECT_EQ(1, pManager->IsValid());
    EXPECT_EQ(nDrives, pManager->GetNbWriter());
    pManager->Release();
    dlclose(hModule);
}
