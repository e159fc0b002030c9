// The Linux transport over system calls answered here: every kind of SG_IO
// result, the drive status and eject ioctls, and opens that find the drive
// gone or its node taken by another drive. Needs no root and no drive.
#include <gtest/gtest.h>

#include <fcntl.h>
// CDSL_CURRENT needs INT_MAX.
#include <climits>
#include <linux/cdrom.h>
#include <scsi/sg.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "RKScFakeTransport.h"
#include "RKScTestTrace.h"
#include "RKScTransport_linux.h"

namespace
{
// How the fake kernel answers one SG_IO: an errno for the call itself, or
// the fields it writes back.
struct RKScSgAnswer
{
    int nError;
    unsigned char bStatus;
    unsigned short wHostStatus;
    unsigned short wDriverStatus;
    int nResid;
    RKScBytes vecSense;
    unsigned char bSenseWritten;
};

struct RKScFakeKernel
{
    std::map<std::string, int> mapOpenErrors;
    std::vector<std::string> vecOpenPaths;
    std::vector<int> vecOpened;
    std::vector<int> vecClosed;
    std::vector<RKScSgAnswer> vecSgAnswers; // one per call, the last repeats
    std::vector<sg_io_hdr_t> vecHeaders;
    int nStatusAnswer = CDS_DISC_OK;
    int nEjectAnswer = 0;
    int nError = 0; // errno of a failed status or eject
    std::vector<unsigned long> vecRequests;
    dev_t nDevice = makedev(11, 0);
    std::map<std::string, std::string> mapLinks;
    ino_t nInode = 4711; // of every folder a link leads to
    int nFstats = 0;
    std::vector<unsigned int> vecSleeps;
    // The kernel's device events: what each receive gives, in order (an
    // errno, or the bytes and their sender); EAGAIN once they are gone.
    struct RKScUeventAnswer
    {
        int nError;
        std::string strBytes;
        unsigned int uSender;
    };
    int nUeventOpenError = 0;
    int nUeventOpens = 0;
    int nUeventCloses = 0;
    int nReceives = 0;
    std::vector<RKScUeventAnswer> vecUevents;
};

const int RKSC_FAKE_UEVENT_FD = 900;

RKScFakeKernel* s_pKernel = nullptr;

int FakeOpen(const char* szPath, int nFlags)
{
    s_pKernel->vecOpenPaths.push_back(szPath);
    if (nFlags != (O_RDONLY | O_NONBLOCK | O_CLOEXEC))
        return errno = EINVAL, -1;
    auto it = s_pKernel->mapOpenErrors.find(szPath);
    if (it != s_pKernel->mapOpenErrors.end())
        return errno = it->second, -1;
    s_pKernel->vecOpened.push_back(100 + static_cast<int>(s_pKernel->vecOpened.size()));
    return s_pKernel->vecOpened.back();
}

int FakeClose(int nFd)
{
    if (nFd == RKSC_FAKE_UEVENT_FD)
        return ++s_pKernel->nUeventCloses, 0;
    s_pKernel->vecClosed.push_back(nFd);
    return 0;
}

int FakeIoctl(int, unsigned long ulRequest, unsigned long ulArgument)
{
    s_pKernel->vecRequests.push_back(ulRequest);
    if (ulRequest == CDROM_DRIVE_STATUS)
        return ulArgument != CDSL_CURRENT
                   ? (errno = EINVAL, -1)
                   : (s_pKernel->nError ? (errno = s_pKernel->nError, -1) : s_pKernel->nStatusAnswer);
    if (ulRequest == CDROMEJECT)
        return s_pKernel->nError ? (errno = s_pKernel->nError, -1) : s_pKernel->nEjectAnswer;
    if (ulRequest != SG_IO)
        return errno = ENOTTY, -1;
    auto* pHeader = reinterpret_cast<sg_io_hdr_t*>(ulArgument);
    s_pKernel->vecHeaders.push_back(*pHeader);
    RKScSgAnswer stAnswer = s_pKernel->vecSgAnswers.front();
    if (s_pKernel->vecSgAnswers.size() > 1)
        s_pKernel->vecSgAnswers.erase(s_pKernel->vecSgAnswers.begin());
    if (stAnswer.nError)
        return errno = stAnswer.nError, -1;
    pHeader->status = stAnswer.bStatus;
    pHeader->masked_status = static_cast<unsigned char>(stAnswer.bStatus >> 1);
    pHeader->host_status = stAnswer.wHostStatus;
    pHeader->driver_status = stAnswer.wDriverStatus;
    pHeader->resid = stAnswer.nResid;
    std::size_t nSense = std::min<std::size_t>(stAnswer.vecSense.size(), pHeader->mx_sb_len);
    std::copy_n(stAnswer.vecSense.begin(), nSense, pHeader->sbp);
    pHeader->sb_len_wr = stAnswer.bSenseWritten;
    for (unsigned int i = 0; i < pHeader->dxfer_len; ++i)
        static_cast<std::uint8_t*>(pHeader->dxferp)[i] = static_cast<std::uint8_t>(i + 1);
    return 0;
}

int FakeFstat(int, struct stat* pstInfo)
{
    ++s_pKernel->nFstats;
    std::memset(pstInfo, 0, sizeof(*pstInfo));
    pstInfo->st_mode = S_IFBLK | 0660;
    pstInfo->st_rdev = s_pKernel->nDevice;
    return 0;
}

int FakeStat(const char* szPath, struct stat* pstInfo)
{
    if (!s_pKernel->mapLinks.count(szPath))
        return errno = ENOENT, -1;
    std::memset(pstInfo, 0, sizeof(*pstInfo));
    pstInfo->st_mode = S_IFDIR | 0755;
    pstInfo->st_ino = s_pKernel->nInode;
    return 0;
}

ssize_t FakeReadlink(const char* szPath, char* szBuffer, size_t nSize)
{
    auto it = s_pKernel->mapLinks.find(szPath);
    if (it == s_pKernel->mapLinks.end())
        return errno = ENOENT, -1;
    std::size_t nLength = std::min(nSize, it->second.size());
    std::memcpy(szBuffer, it->second.data(), nLength);
    return static_cast<ssize_t>(nLength);
}

void FakeSleep(unsigned int uMilliseconds)
{
    s_pKernel->vecSleeps.push_back(uMilliseconds);
}

int FakeOpenUevents()
{
    ++s_pKernel->nUeventOpens;
    return s_pKernel->nUeventOpenError ? (errno = s_pKernel->nUeventOpenError, -1) : RKSC_FAKE_UEVENT_FD;
}

ssize_t FakeReceiveUevent(int nFd, void* pBuffer, size_t nSize, unsigned int* puSender)
{
    ++s_pKernel->nReceives;
    if (nFd != RKSC_FAKE_UEVENT_FD)
        return errno = EBADF, -1;
    if (s_pKernel->vecUevents.empty())
        return errno = EAGAIN, -1;
    RKScFakeKernel::RKScUeventAnswer stAnswer = s_pKernel->vecUevents.front();
    s_pKernel->vecUevents.erase(s_pKernel->vecUevents.begin());
    if (stAnswer.nError)
        return errno = stAnswer.nError, -1;
    std::size_t nLength = std::min(nSize, stAnswer.strBytes.size());
    std::memcpy(pBuffer, stAnswer.strBytes.data(), nLength);
    *puSender = stAnswer.uSender;
    return static_cast<ssize_t>(nLength);
}

const RKScLinuxCalls s_FakeCalls = {FakeOpen,     FakeClose, FakeIoctl,       FakeFstat,        FakeStat,
                                    FakeReadlink, FakeSleep, FakeOpenUevents, FakeReceiveUevent};

// A kernel event of a disk, fields as the kernel writes them.
std::string DiskEvent(const char* szAction, const char* szName, const char* szEvent)
{
    std::string strBytes = std::string(szAction) + "@/devices/virtual/block/" + szName;
    strBytes += '\0';
    for (std::string strField :
         {std::string("ACTION=") + szAction, std::string("SUBSYSTEM=block"), std::string(szEvent),
          std::string("DEVNAME=") + szName, std::string("SEQNUM=7")})
    {
        if (!strField.empty())
            strBytes += strField + '\0';
    }
    return strBytes;
}

// The engine's words for an error: its English text, name and number.
std::string Text(int nError)
{
    return std::string(strerrordesc_np(nError)) + " [" + strerrorname_np(nError) + " " +
           std::to_string(nError) + "]";
}

const char s_szUsb[] = "devices/pci0000:00/0000:00:05.0/usb1/1-1/1-1:1.0/host2/target2:0:0/2:0:0:0/block/sr0";

class RKScLinuxSeamTest : public ::testing::Test
{
protected:
    RKScLinuxSeamTest()
    {
        s_pKernel = &m_Kernel;
        m_stFolders.strSysfs = "/fake/sys";
        m_stFolders.strDev = "/fake/dev";
        m_pTransport = RKScCreateLinuxTransport(m_stFolders, s_FakeCalls);
        m_stEntry.strDevice = "/fake/dev/sr0";
    }
    ~RKScLinuxSeamTest() override { s_pKernel = nullptr; }
    // Every descriptor that opened was closed once, and nothing else was.
    void TearDown() override { EXPECT_EQ(m_Kernel.vecOpened, m_Kernel.vecClosed); }

    std::unique_ptr<CRKScDevice> Open(std::string& strProblem)
    {
        return m_pTransport->Open(m_stEntry, strProblem);
    }

    RKScFakeKernel m_Kernel;
    RKScLinuxFolders m_stFolders;
    std::shared_ptr<CRKScTransport> m_pTransport;
    RKScDriveEntry m_stEntry;
};
} // namespace

TEST_F(RKScLinuxSeamTest, EverySgIoResultInTheEnginesWords)
{
    const RKScBytes vecSense = FixedSense(0x2, 0x3A, 0x00);
    RKScBytes vecLongSense = vecSense;
    vecLongSense.resize(80, 0x77);
    struct
    {
        RKScSgAnswer stAnswer;
        RKScCommandStatus eStatus;
        std::size_t nTransferred;
        std::size_t nSense;
        bool bTimedOut;
        std::string strProblem;
    } aCases[] = {
        // clang-format off
        {{0, 0x00, 0, 0, 0, {}, 0}, RKSC_COMMAND_GOOD, 36, 0, false, ""},
        {{0, 0x00, 0, 0, 16, {}, 0}, RKSC_COMMAND_GOOD, 20, 0, false, ""},
        // A count the buffer cannot hold transfers nothing; a negative one all.
        {{0, 0x00, 0, 0, 4096, {}, 0}, RKSC_COMMAND_GOOD, 0, 0, false, ""},
        {{0, 0x00, 0, 0, -8, {}, 0}, RKSC_COMMAND_GOOD, 36, 0, false, ""},
        // Sense only with a check condition, and only as much as fits.
        {{0, 0x00, 0, 0, 0, vecSense, 18}, RKSC_COMMAND_GOOD, 36, 0, false, ""},
        {{0, 0x02, 0, 0x08, 36, vecSense, 18}, RKSC_COMMAND_CHECK_CONDITION, 0, 18, false, ""},
        {{0, 0x02, 0, 0, 36, vecLongSense, 200}, RKSC_COMMAND_CHECK_CONDITION, 0, RKSC_SENSE_MAX, false, ""},
        {{0, 0x08, 0, 0, 0, {}, 0}, RKSC_COMMAND_FAILED, 0, 0, false, "SCSI status 0x08"},
        {{0, 0x18, 0, 0, 0, {}, 0}, RKSC_COMMAND_FAILED, 0, 0, false, "SCSI status 0x18"},
        {{0, 0x00, 0x03, 0, 0, {}, 0}, RKSC_COMMAND_FAILED, 0, 0, true, "host status 0x03 (timed out)"},
        {{0, 0x02, 0x01, 0, 0, vecSense, 18}, RKSC_COMMAND_FAILED, 0, 0, false, "host status 0x01 (no connection)"},
        {{0, 0x00, 0x07, 0, 0, {}, 0}, RKSC_COMMAND_FAILED, 0, 0, false, "host status 0x07"},
        {{0, 0x00, 0, 0x06, 0, {}, 0}, RKSC_COMMAND_FAILED, 0, 0, true, "driver status 0x06 (timed out)"},
        {{0, 0x00, 0, 0x01, 0, {}, 0}, RKSC_COMMAND_FAILED, 0, 0, false, "driver status 0x01"},
        // The device vanished under the open descriptor.
        {{ENODEV, 0, 0, 0, 0, {}, 0}, RKSC_COMMAND_GONE, 0, 0, false, "SG_IO: " + Text(ENODEV)},
        {{ENXIO, 0, 0, 0, 0, {}, 0}, RKSC_COMMAND_GONE, 0, 0, false, "SG_IO: " + Text(ENXIO)},
        {{EPERM, 0, 0, 0, 0, {}, 0}, RKSC_COMMAND_FAILED, 0, 0, false, "SG_IO: " + Text(EPERM)},
        // clang-format on
    };
    std::string strProblem;
    std::unique_ptr<CRKScDevice> pDevice = Open(strProblem);
    ASSERT_TRUE(pDevice) << strProblem;
    const std::uint8_t abInquiry[6] = {0x12, 0, 0, 0, 36, 0};
    for (const auto& stCase : aCases)
    {
        m_Kernel.vecSgAnswers = {stCase.stAnswer};
        std::uint8_t abData[40];
        std::memset(abData, 0xAA, sizeof(abData));
        RKScCommandResult stResult;
        pDevice->SendCommand(abInquiry, 6, abData, 36, stResult);
        EXPECT_EQ(stCase.eStatus, stResult.eStatus) << stCase.strProblem;
        EXPECT_EQ(stCase.nTransferred, stResult.nTransferred) << stCase.strProblem;
        EXPECT_EQ(stCase.nSense, stResult.nSenseLength) << stCase.strProblem;
        EXPECT_EQ(0, std::memcmp(stResult.abSense, vecLongSense.data(), stResult.nSenseLength));
        EXPECT_EQ(stCase.bTimedOut, stResult.bTimedOut) << stCase.strProblem;
        EXPECT_EQ(stCase.strProblem, stResult.strProblem);
        EXPECT_EQ(0xAA, abData[36]);
    }
    // The request as sent: a reader's command with the kernel's own timeout.
    const sg_io_hdr_t& stSent = m_Kernel.vecHeaders.at(0);
    EXPECT_EQ('S', stSent.interface_id);
    EXPECT_EQ(SG_DXFER_FROM_DEV, stSent.dxfer_direction);
    EXPECT_EQ(6u, stSent.cmd_len);
    EXPECT_EQ(36u, stSent.dxfer_len);
    EXPECT_EQ(RKSC_SENSE_MAX, stSent.mx_sb_len);
    EXPECT_EQ(30000u, stSent.timeout);

    // Interrupted calls are made again; a command without data moves none.
    m_Kernel.vecHeaders.clear();
    m_Kernel.vecSgAnswers = {{EINTR, 0, 0, 0, 0, {}, 0}, {EINTR, 0, 0, 0, 0, {}, 0}, {0, 0, 0, 0, 0, {}, 0}};
    RKScCommandResult stResult;
    const std::uint8_t abReady[6] = {};
    pDevice->SendCommand(abReady, 6, nullptr, 0, stResult);
    EXPECT_EQ(RKSC_COMMAND_GOOD, stResult.eStatus);
    ASSERT_EQ(3u, m_Kernel.vecHeaders.size());
    EXPECT_EQ(SG_DXFER_NONE, m_Kernel.vecHeaders[2].dxfer_direction);
    EXPECT_EQ(nullptr, m_Kernel.vecHeaders[2].dxferp);
}

TEST_F(RKScLinuxSeamTest, DriveStatusAndEjectInTheEnginesWords)
{
    std::string strProblem;
    std::unique_ptr<CRKScDevice> pDevice = Open(strProblem);
    ASSERT_TRUE(pDevice);
    const std::pair<int, RKScDriveStatus> aStatuses[] = {
        {CDS_NO_INFO, RKSC_STATUS_UNKNOWN},     {CDS_NO_DISC, RKSC_STATUS_NO_DISC},
        {CDS_TRAY_OPEN, RKSC_STATUS_TRAY_OPEN}, {CDS_DRIVE_NOT_READY, RKSC_STATUS_BECOMING_READY},
        {CDS_DISC_OK, RKSC_STATUS_DISC_OK},
    };
    for (const auto& prStatus : aStatuses)
    {
        m_Kernel.nStatusAnswer = prStatus.first;
        EXPECT_EQ(prStatus.second, pDevice->GetDriveStatus());
    }
    m_Kernel.nError = EIO;
    EXPECT_EQ(RKSC_STATUS_UNKNOWN, pDevice->GetDriveStatus());
    EXPECT_EQ("", pDevice->m_strGone);

    struct
    {
        int nAnswer;
        int nError;
        RKScEjectStatus eStatus;
        std::string strProblem;
    } aEjects[] = {
        {0, 0, RKSC_EJECT_DONE, ""},
        {2, 0, RKSC_EJECT_BUSY, ""},
        {-1, EBUSY, RKSC_EJECT_BUSY, ""},
        {-1, ENOSYS, RKSC_EJECT_NO_TRAY, ""},
        {-1, ENOMEDIUM, RKSC_EJECT_EMPTY, ""},
        {-1, EIO, RKSC_EJECT_FAILED, "CDROMEJECT: " + Text(EIO)},
        {-1, ENXIO, RKSC_EJECT_GONE, "CDROMEJECT: " + Text(ENXIO)},
    };
    for (const auto& stCase : aEjects)
    {
        m_Kernel.nEjectAnswer = stCase.nAnswer;
        m_Kernel.nError = stCase.nError;
        strProblem.clear();
        EXPECT_EQ(stCase.eStatus, pDevice->Eject(strProblem));
        EXPECT_EQ(stCase.strProblem, strProblem);
    }
    EXPECT_EQ("CDROMEJECT: " + Text(ENXIO), pDevice->m_strGone);
    m_Kernel.nError = ENODEV;
    EXPECT_EQ(RKSC_STATUS_GONE, pDevice->GetDriveStatus());
    EXPECT_EQ("CDROM_DRIVE_STATUS: " + Text(ENODEV), pDevice->m_strGone);
    pDevice->Pause(250);
    EXPECT_EQ(std::vector<unsigned int>{250}, m_Kernel.vecSleeps);
}

// The node a writer was listed with may come to belong to another drive
// (a USB drive unplugged, another plugged in): the sysfs path of the device
// the open descriptor reaches tells.
TEST_F(RKScLinuxSeamTest, OpenFindsTheDriveGoneOrItsNodeTakenByAnother)
{
    const std::string strLink = "/fake/sys/dev/block/11:0";
    m_stEntry.strLocation = std::string(s_szUsb) + " (inode 4711)";
    m_Kernel.mapLinks[strLink] = std::string("../../") + s_szUsb;
    std::string strProblem;
    EXPECT_TRUE(Open(strProblem));
    EXPECT_EQ(1, m_Kernel.nFstats);
    // Replaced at the same port: the same path, a folder made anew.
    m_Kernel.nInode = 4712;
    EXPECT_EQ(nullptr, Open(strProblem));
    EXPECT_EQ("the drive is gone: /fake/dev/sr0 is now another drive", strProblem);

    m_Kernel.mapLinks[strLink] =
        "../../devices/pci0000:00/0000:00:05.0/usb1/1-2/1-2:1.0/host3/target3:0:0/3:0:0:0/block/sr0";
    EXPECT_EQ(nullptr, Open(strProblem));
    EXPECT_EQ("the drive is gone: /fake/dev/sr0 is now another drive", strProblem);
    m_Kernel.mapLinks.clear();
    EXPECT_EQ(nullptr, Open(strProblem));
    EXPECT_EQ("the drive is gone: sysfs has no device 11:0", strProblem);
    for (int nError : {ENOENT, ENXIO, ENODEV})
    {
        m_Kernel.mapOpenErrors[m_stEntry.strDevice] = nError;
        EXPECT_EQ(nullptr, Open(strProblem));
        EXPECT_EQ("the drive is gone: " + Text(nError), strProblem);
    }
    m_Kernel.mapOpenErrors[m_stEntry.strDevice] = EACCES;
    EXPECT_EQ(nullptr, Open(strProblem));
    EXPECT_EQ("no read access (" + Text(EACCES) + "): add the user to group cdrom and log in again",
              strProblem);
    // Listed without a location (no sysfs link): nothing more is asked.
    m_Kernel.mapOpenErrors.clear();
    m_stEntry.strLocation.clear();
    EXPECT_TRUE(Open(strProblem));
    EXPECT_EQ(4, m_Kernel.nFstats);
    EXPECT_EQ(std::vector<std::string>(9, m_stEntry.strDevice), m_Kernel.vecOpenPaths);
}

TEST_F(RKScLinuxSeamTest, ListingReadsWhereEachDriveIsAttached)
{
    char szTemplate[] = "/tmp/rkdrv_seam_XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(szTemplate));
    std::string strRoot = szTemplate;
    for (const char* szFolder : {"/sys", "/sys/class", "/sys/class/block", "/sys/class/block/sr0",
                                 "/sys/class/block/sr0/device", "/dosdevices"})
        mkdir((strRoot + szFolder).c_str(), 0755);
    std::ofstream(strRoot + "/sys/class/block/sr0/dev") << "11:0\n";
    m_stFolders = {strRoot + "/sys", strRoot + "/dev", strRoot + "/dosdevices"};
    m_Kernel.mapLinks[strRoot + "/sys/class/block/sr0"] = std::string("../../") + s_szUsb;
    RKScDriveList stList;
    std::string strProblem;
    EXPECT_TRUE(RKScCreateLinuxTransport(m_stFolders, s_FakeCalls)->ListDrives(stList, strProblem));
    ASSERT_EQ(1u, stList.vecDrives.size());
    EXPECT_EQ(std::string(s_szUsb) + " (inode 4711)", stList.vecDrives[0].strLocation);
    EXPECT_EQ(0, std::system(("rm -rf '" + strRoot + "'").c_str()));
}

TEST_F(RKScLinuxSeamTest, KernelsDiskEventsReachTheDriveTheyName)
{
    RKScDriveEntry stOther;
    stOther.strDevice = "/fake/dev/sr1";
    // Nothing is opened before the first state query.
    EXPECT_EQ(0u, m_pTransport->TakeDriveEvents(m_stEntry));
    EXPECT_EQ(0, m_Kernel.nUeventOpens);
    EXPECT_EQ(0, m_Kernel.nReceives);
    m_pTransport->ListenForDriveEvents();
    m_pTransport->ListenForDriveEvents();
    EXPECT_EQ(1, m_Kernel.nUeventOpens);

    std::string strUdev = DiskEvent("change", "sr0", "DISK_EJECT_REQUEST=1");
    strUdev.replace(0, strUdev.find('\0'), "libudev");
    std::string strCut = DiskEvent("change", "sr1", "DISK_MEDIA_CHANGE=1");
    m_Kernel.vecUevents = {
        {0, DiskEvent("change", "sr0", "DISK_MEDIA_CHANGE=1"), 0},
        {EINTR, "", 0},
        {0, DiskEvent("change", "sr1", "DISK_EJECT_REQUEST=1"), 0},
        // Not the kernel's, not an optical drive, passed on by the device
        // manager, or no event at all: none counts.
        {0, DiskEvent("change", "sr0", "DISK_EJECT_REQUEST=1"), 1234},
        {0, DiskEvent("change", "sda", "DISK_EJECT_REQUEST=1"), 0},
        {0, strUdev, 0},
        {0, DiskEvent("change", "sr0", ""), 0},
        {ENOBUFS, "", 0},
        // Cut inside the last field's zero byte: the field still counts.
        {0, strCut.substr(0, strCut.size() - 1), 0},
    };
    EXPECT_EQ(RKSC_DRIVE_EVENT_MEDIA_CHANGE, m_pTransport->TakeDriveEvents(m_stEntry));
    EXPECT_EQ(10, m_Kernel.nReceives);
    EXPECT_EQ(0u, m_pTransport->TakeDriveEvents(m_stEntry));
    EXPECT_EQ(RKSC_DRIVE_EVENT_EJECT_REQUEST | RKSC_DRIVE_EVENT_MEDIA_CHANGE,
              m_pTransport->TakeDriveEvents(stOther));
    // A drive that went takes its events with it.
    m_Kernel.vecUevents = {{0, DiskEvent("change", "sr1", "DISK_EJECT_REQUEST=1"), 0},
                           {0, DiskEvent("remove", "sr1", ""), 0}};
    EXPECT_EQ(0u, m_pTransport->TakeDriveEvents(m_stEntry));
    EXPECT_EQ(0u, m_pTransport->TakeDriveEvents(stOther));

    // A flood is read 64 events at a time; the rest wait for the next call.
    m_Kernel.vecUevents.assign(70, {0, DiskEvent("change", "sr0", "DISK_EJECT_REQUEST=1"), 0});
    m_Kernel.nReceives = 0;
    EXPECT_EQ(RKSC_DRIVE_EVENT_EJECT_REQUEST, m_pTransport->TakeDriveEvents(m_stEntry));
    EXPECT_EQ(64, m_Kernel.nReceives);
    EXPECT_EQ(6u, m_Kernel.vecUevents.size());
    EXPECT_EQ(RKSC_DRIVE_EVENT_EJECT_REQUEST, m_pTransport->TakeDriveEvents(m_stEntry));
    EXPECT_EQ(71, m_Kernel.nReceives);

    // A socket that fails for good is closed, said once, and not read again.
    CRKScTraceCapture capture;
    m_Kernel.vecUevents = {{EBADF, "", 0}, {0, DiskEvent("change", "sr0", "DISK_EJECT_REQUEST=1"), 0}};
    EXPECT_EQ(0u, m_pTransport->TakeDriveEvents(m_stEntry));
    EXPECT_EQ(0u, m_pTransport->TakeDriveEvents(m_stEntry));
    m_pTransport->ListenForDriveEvents();
    EXPECT_EQ(72, m_Kernel.nReceives);
    EXPECT_EQ(1, m_Kernel.nUeventOpens);
    EXPECT_EQ(1, m_Kernel.nUeventCloses);
    EXPECT_EQ(capture.vecLines, (RKScLines{"I the kernel's device events: " + Text(EBADF) +
                                           ": no longer heard; a drive's eject button is known only from "
                                           "its own media events"}));
}

TEST_F(RKScLinuxSeamTest, WithoutTheKernelsEventsOneLineAndTheDrivesOwnEventsAlone)
{
    m_Kernel.nUeventOpenError = EAFNOSUPPORT;
    CRKScTraceCapture capture;
    m_pTransport->ListenForDriveEvents();
    m_pTransport->ListenForDriveEvents();
    EXPECT_EQ(0u, m_pTransport->TakeDriveEvents(m_stEntry));
    EXPECT_EQ(1, m_Kernel.nUeventOpens);
    EXPECT_EQ(0, m_Kernel.nReceives);
    EXPECT_EQ(capture.vecLines,
              (RKScLines{"I the kernel's device events cannot be heard (" + Text(EAFNOSUPPORT) +
                         "): a drive's eject button is known only from its own media "
                         "events"}));
    // The transport that heard them closes its socket once, when it goes.
    m_Kernel.nUeventOpenError = 0;
    std::shared_ptr<CRKScTransport> pHearing = RKScCreateLinuxTransport(m_stFolders, s_FakeCalls);
    pHearing->ListenForDriveEvents();
    pHearing.reset();
    EXPECT_EQ(1, m_Kernel.nUeventCloses);
}
