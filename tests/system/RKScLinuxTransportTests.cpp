// The Linux transport against sysfs trees, device nodes and dosdevices
// folders made in a temporary folder, and the built engine module itself.
// The fake drives are device nodes made with mknod, so these run as root.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "RKDRVFunctions.h"
#include "RKSystemEngine.h"
#include "RKScManager.h"
#include "RKScTestTrace.h"
#include "RKScTransport_linux.h"

namespace
{
class RKScLinuxTransportTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (geteuid() != 0)
            GTEST_SKIP() << "the fake drives' device nodes need root";
        char szTemplate[] = "/tmp/rkdrv_sc_XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(szTemplate));
        m_strRoot = szTemplate;
        chmod(m_strRoot.c_str(), 0755);
        for (const char* szFolder :
             {"/sys", "/sys/class", "/sys/class/block", "/dev", "/dosdevices", "/other"})
            mkdir((m_strRoot + szFolder).c_str(), 0755);
        m_stFolders = {m_strRoot + "/sys", m_strRoot + "/dev", m_strRoot + "/dosdevices"};
    }
    void TearDown() override
    {
        if (!m_strRoot.empty() && std::system(("rm -rf '" + m_strRoot + "'").c_str()) != 0)
            ADD_FAILURE() << "cannot remove " << m_strRoot;
    }

    // A sysfs entry as the kernel writes it (padded, with a newline), and
    // its node when nMinor is not negative.
    void Drive(const std::string& strName, const std::string& strNumber, int nMinor = -1)
    {
        std::string strFolder = m_strRoot + "/sys/class/block/" + strName;
        mkdir(strFolder.c_str(), 0755);
        mkdir((strFolder + "/device").c_str(), 0755);
        std::ofstream(strFolder + "/dev") << strNumber << "\n";
        std::ofstream(strFolder + "/device/vendor") << "QEMU    \n";
        std::ofstream(strFolder + "/device/model") << "QEMU CD-ROM     \n";
        if (nMinor >= 0)
            Node("/dev/" + strName, nMinor);
    }
    void Node(const std::string& strPath, int nMinor)
    {
        ASSERT_EQ(0, mknod((m_strRoot + strPath).c_str(), S_IFBLK | 0600, makedev(11, nMinor)));
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
} // namespace

TEST_F(RKScLinuxTransportTest, DrivesInNumericOrderWithLettersByDeviceNumber)
{
    Drive("sr10", "11:10", 10);
    Drive("sr2", "11:2", 2);
    Drive("sr0", "11:0", 0);
    for (const char* szOther : {"sda", "sr", "srx", "loop0"})
        Drive(szOther, "8:0");
    // Another node of sr2's device: links count by number, not by path.
    Node("/other/cdrom", 2);
    std::ofstream(m_strRoot + "/other/image.iso") << "data";
    Link("c:", m_strRoot + "/other");
    Link("d::", m_strRoot + "/other/image.iso");
    Link("e::", m_strRoot + "/other/cdrom");
    Link("h::", m_strRoot + "/dev/sr10");
    Link("g::", m_strRoot + "/dev/sr10");
    Link("x::", "/dev/null");
    // Names the library never opens.
    Link("K::", m_strRoot + "/dev/sr0");
    Link("ab:", m_strRoot + "/dev/sr0");

    RKScDriveList stList = List();
    ASSERT_EQ(3u, stList.vecDrives.size());
    const char* aszNames[] = {"sr0", "sr2", "sr10"};
    for (std::size_t i = 0; i < 3; ++i)
    {
        EXPECT_EQ(m_strRoot + "/dev/" + aszNames[i], stList.vecDrives[i].strDevice);
        EXPECT_EQ("QEMU QEMU CD-ROM", stList.vecDrives[i].strModel);
        EXPECT_EQ("", stList.vecDrives[i].strProblem);
    }
    std::sort(stList.vecUsedLetters.begin(), stList.vecUsedLetters.end());
    EXPECT_EQ((std::vector<WORD>{'C', 'D', 'E', 'G', 'H', 'X'}), stList.vecUsedLetters);
    EXPECT_EQ((std::vector<WORD>{'F', 'E', 'G'}), RKScAssignLetters(stList));
}

TEST_F(RKScLinuxTransportTest, NodeThatIsNotTheDeviceIsNeverOpened)
{
    Drive("sr0", "11:0");
    Drive("sr1", "11:1");
    Node("/dev/sr1", 7);
    Drive("sr2", "eleven", 2);
    RKScDriveList stList = List();
    ASSERT_EQ(3u, stList.vecDrives.size());
    EXPECT_EQ("no device node (No such file or directory [ENOENT 2])", stList.vecDrives[0].strProblem);
    EXPECT_EQ("the node is not block device 11:1", stList.vecDrives[1].strProblem);
    EXPECT_EQ("no device number in " + m_strRoot + "/sys/class/block/sr2/dev",
              stList.vecDrives[2].strProblem);
    std::string strProblem;
    EXPECT_EQ(nullptr, RKScCreateLinuxTransport(m_stFolders)->Open(stList.vecDrives[1], strProblem));
    m_stFolders.strSysfs = m_strRoot + "/none";
    EXPECT_FALSE(RKScCreateLinuxTransport(m_stFolders)->ListDrives(stList, strProblem));
    EXPECT_EQ("cannot read " + m_strRoot + "/none/class/block: No such file or directory [ENOENT 2]",
              strProblem);
}

TEST_F(RKScLinuxTransportTest, DriveTheUserMayNotOpenIsListedWithItsSysfsModel)
{
    Drive("sr0", "11:0", 0);
    Link("e::", m_strRoot + "/dev/sr0");
    ASSERT_EQ(0, seteuid(65534));
    CRKScTraceCapture capture;
    CRKScManager* pManager = new CRKScManager(RKScCreateLinuxTransport(m_stFolders));
    CRKWriter* pWriter = pManager->GetWriter(0);
    ASSERT_NE(nullptr, pWriter);
    EXPECT_EQ("QEMU QEMU CD-ROM", RKScText(pWriter->GetModelName()));
    EXPECT_EQ('E', pWriter->GetDriveLetter());
    EXPECT_EQ(0u, pWriter->GetSupportedMedia());
    EXPECT_EQ(0, pWriter->IsMediaIn());
    EXPECT_EQ(RKSC_DISC_NONE, pWriter->GetMediaInfo().dwDiscType);
    pManager->Release();
    EXPECT_EQ(0, seteuid(0));
    EXPECT_EQ(
        (RKScLines{m_strRoot +
                   "/dev/sr0: cannot open: no read access (Permission denied [EACCES 13]): add the user to "
                   "group cdrom and log in again"}),
        capture.Of('E'));
}

TEST(RKScModuleTest, FactoryMakesAManagerOfTheSystemsDrives)
{
    void* hModule = dlopen(RKSC_TEST_MODULE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(nullptr, hModule) << dlerror();
    auto pfnFactory = reinterpret_cast<RKDRVFactoryFunction>(dlsym(hModule, RKDRV_FACTORY_SYMBOL));
    CRKDRVManager* pManager = pfnFactory ? pfnFactory() : nullptr;
    ASSERT_NE(nullptr, pManager);
    // Valid exactly when the system's list of drives can be read.
    EXPECT_EQ(access("/sys/class/block", R_OK) == 0 ? 1 : 0, pManager->IsValid());
    pManager->Release();
    dlclose(hModule);
}
