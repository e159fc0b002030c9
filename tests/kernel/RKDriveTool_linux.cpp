// Linux only: talks to a guest drive directly, beside any engine.
//
//   rkdrv_kernel_drive status DEVICE [--until VALUE] [--seconds S]
//       prints CDROM_DRIVE_STATUS; with --until, repeats until it has VALUE
//   rkdrv_kernel_drive capture DEVICE FOLDER TAG
//       stores the drive's raw answers (exactly the bytes it transferred)
//       under FOLDER/<inquiry|configuration|discinfo|gesn|sense|capabilities|
//       toc|capacity|mechanism>/qemu-TAG*.bin
//   rkdrv_kernel_drive follow DEVICE SECONDS
//       keeps the drive open and prints its CDROM_DRIVE_STATUS whenever it
//       changes, asked every 10 ms: the earliest anyone sees a change
//   rkdrv_kernel_drive uevents DEVICE SECONDS
//       prints the kernel's media events of the drive, from its uevents
//   rkdrv_kernel_drive eject DEVICE
//       opens the tray, as any other program would (exit 0 when it opened)
//   rkdrv_kernel_drive hold DEVICE SECONDS READY [--lock]
//       keeps the drive open, as a program using it would (with --lock its
//       door locked too, as a mount does), creating the file READY once it
//       is so
#include <fcntl.h>
#include <linux/cdrom.h>
#include <linux/netlink.h>
#include <poll.h>
#include <sys/socket.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace
{
struct RKScsiAnswer
{
    bool bSent = false; // the kernel took the command
    int nStatus = 0;    // SCSI status
    std::vector<unsigned char> vecData;
    std::vector<unsigned char> vecSense;
};

RKScsiAnswer SendCommand(int nFd, std::vector<unsigned char> vecCdb, unsigned uLength)
{
    RKScsiAnswer stAnswer;
    std::vector<unsigned char> vecBuffer(uLength ? uLength : 1);
    unsigned char abSense[64] = {};
    sg_io_hdr_t stIo{};
    stIo.interface_id = 'S';
    stIo.cmd_len = static_cast<unsigned char>(vecCdb.size());
    stIo.cmdp = vecCdb.data();
    stIo.dxfer_direction = uLength ? SG_DXFER_FROM_DEV : SG_DXFER_NONE;
    stIo.dxferp = uLength ? vecBuffer.data() : nullptr;
    stIo.dxfer_len = uLength;
    stIo.sbp = abSense;
    stIo.mx_sb_len = sizeof(abSense);
    stIo.timeout = 20000;
    if (ioctl(nFd, SG_IO, &stIo) != 0)
        return stAnswer;
    stAnswer.bSent = true;
    stAnswer.nStatus = stIo.status;
    int nResid = stIo.resid < 0 ? 0 : stIo.resid;
    size_t nTransferred =
        uLength > static_cast<unsigned>(nResid) ? uLength - static_cast<unsigned>(nResid) : 0;
    stAnswer.vecData.assign(vecBuffer.begin(), vecBuffer.begin() + static_cast<long>(nTransferred));
    stAnswer.vecSense.assign(abSense,
                             abSense + (stIo.sb_len_wr < sizeof(abSense) ? stIo.sb_len_wr : sizeof(abSense)));
    return stAnswer;
}

bool WriteFile(const std::string& strPath, const std::vector<unsigned char>& vecBytes)
{
    FILE* pFile = std::fopen(strPath.c_str(), "wb");
    if (!pFile)
        return false;
    bool bOk = std::fwrite(vecBytes.data(), 1, vecBytes.size(), pFile) == vecBytes.size();
    return std::fclose(pFile) == 0 && bOk;
}

std::vector<unsigned char> Cdb10(unsigned char bOpcode, unsigned char bByte1, unsigned uWord23,
                                 unsigned char bByte4, unsigned uLength)
{
    return {bOpcode,
            bByte1,
            static_cast<unsigned char>(uWord23 >> 8),
            static_cast<unsigned char>(uWord23),
            bByte4,
            0,
            0,
            static_cast<unsigned char>(uLength >> 8),
            static_cast<unsigned char>(uLength),
            0};
}

std::vector<unsigned char> ConfigurationCdb(unsigned uRequestType, unsigned uLength)
{
    // Every request starts at feature 0, the profile list.
    return Cdb10(0x46, static_cast<unsigned char>(uRequestType), 0, 0, uLength);
}

unsigned ConfigurationLength(const std::vector<unsigned char>& vecData)
{
    if (vecData.size() < 4)
        return 0;
    return ((unsigned(vecData[0]) << 24) | (unsigned(vecData[1]) << 16) | (unsigned(vecData[2]) << 8) |
            vecData[3]) +
           4;
}

std::vector<unsigned char> DiscInfoCdb(unsigned, unsigned uLength)
{
    return Cdb10(0x51, 0, 0, 0, uLength);
}

// MODE SENSE (10) of the capabilities page, without block descriptors.
std::vector<unsigned char> CapabilitiesCdb(unsigned, unsigned uLength)
{
    return Cdb10(0x5A, 0x08, 0x2A00, 0, uLength);
}

// READ TOC, format 0, from track 1.
std::vector<unsigned char> TocCdb(unsigned, unsigned uLength)
{
    std::vector<unsigned char> vecCdb = Cdb10(0x43, 0, 0, 0, uLength);
    vecCdb[6] = 1;
    return vecCdb;
}

unsigned DiscInfoLength(const std::vector<unsigned char>& vecData)
{
    return vecData.size() < 2 ? 0 : ((unsigned(vecData[0]) << 8) | vecData[1]) + 2;
}

class CRKCapture
{
public:
    CRKCapture(int nFd, const std::string& strFolder, const std::string& strTag)
        : m_nFd(nFd), m_strFolder(strFolder), m_strTag(strTag)
    {
    }

    // The answer's data when the command succeeded; its sense data, under
    // sense/, whenever the drive gave some.
    void Store(const std::string& strKind, const std::string& strName, const RKScsiAnswer& stAnswer)
    {
        if (!stAnswer.bSent)
        {
            std::printf("capture\tname=%s%s\terror=%s\n", strKind.c_str(), strName.c_str(),
                        std::strerror(errno));
            ++m_nFailures;
            return;
        }
        if (stAnswer.nStatus == 0 && !stAnswer.vecData.empty())
            Write(strKind, strName, stAnswer.vecData);
        if (!stAnswer.vecSense.empty())
            Write("sense", "-" + strKind + strName, stAnswer.vecSense);
    }

    // A command whose answer announces its own length: asked once with a
    // roomy buffer (the drive may pad the rest) and once for exactly the
    // announced length.
    void StoreSized(const std::string& strKind, const std::string& strName,
                    std::vector<unsigned char> (*pfnCdb)(unsigned, unsigned), unsigned uArg,
                    unsigned (*pfnLength)(const std::vector<unsigned char>&))
    {
        RKScsiAnswer stRoomy = SendCommand(m_nFd, pfnCdb(uArg, 256), 256);
        Store(strKind, strName + "-padded", stRoomy);
        unsigned uAnnounced = stRoomy.bSent && stRoomy.nStatus == 0 ? pfnLength(stRoomy.vecData) : 0;
        if (uAnnounced > 0 && uAnnounced <= 65532)
            Store(strKind, strName, SendCommand(m_nFd, pfnCdb(uArg, uAnnounced), uAnnounced));
    }

    int Failures() const { return m_nFailures; }

private:
    void Write(const std::string& strKind, const std::string& strName,
               const std::vector<unsigned char>& vecBytes)
    {
        std::string strFolder = m_strFolder + "/" + strKind;
        mkdir(strFolder.c_str(), 0755);
        std::string strPath = strFolder + "/qemu-" + m_strTag + strName + ".bin";
        if (!WriteFile(strPath, vecBytes))
            ++m_nFailures;
        std::printf("capture\tfile=%s\tbytes=%zu\n", strPath.c_str(), vecBytes.size());
    }

    int m_nFd;
    std::string m_strFolder;
    std::string m_strTag;
    int m_nFailures = 0;
};

int Capture(int nFd, const std::string& strFolder, const std::string& strTag)
{
    mkdir(strFolder.c_str(), 0755);
    CRKCapture stCapture(nFd, strFolder, strTag);
    stCapture.Store("inquiry", "", SendCommand(nFd, {0x12, 0, 0, 0, 36, 0}, 36));
    stCapture.Store("inquiry", "-96", SendCommand(nFd, {0x12, 0, 0, 0, 96, 0}, 96));
    stCapture.StoreSized("configuration", "-all", ConfigurationCdb, 0, ConfigurationLength);
    stCapture.StoreSized("configuration", "-current", ConfigurationCdb, 1, ConfigurationLength);
    stCapture.StoreSized("configuration", "-profiles", ConfigurationCdb, 2, ConfigurationLength);
    stCapture.StoreSized("discinfo", "", DiscInfoCdb, 0, DiscInfoLength);
    // Polled, media class.
    stCapture.Store("gesn", "", SendCommand(nFd, Cdb10(0x4A, 0x01, 0, 0x10, 8), 8));
    stCapture.Store("tur", "", SendCommand(nFd, {0, 0, 0, 0, 0, 0}, 0));
    stCapture.StoreSized("capabilities", "", CapabilitiesCdb, 0, DiscInfoLength);
    stCapture.StoreSized("toc", "", TocCdb, 0, DiscInfoLength);
    stCapture.Store("capacity", "", SendCommand(nFd, Cdb10(0x25, 0, 0, 0, 0), 8));
    stCapture.Store("mechanism", "", SendCommand(nFd, {0xBD, 0, 0, 0, 0, 0, 0, 0, 0, 8, 0, 0}, 8));
    return stCapture.Failures() ? 1 : 0;
}

int Hold(int nFd, double dSeconds, const char* szReady, bool bLock)
{
    if (bLock && ioctl(nFd, CDROM_LOCKDOOR, 1) != 0)
    {
        std::printf("error\ttext=CDROM_LOCKDOOR: %s\n", std::strerror(errno));
        return 1;
    }
    FILE* pReady = std::fopen(szReady, "w");
    int nResult = pReady && std::fclose(pReady) == 0 ? 0 : 1;
    std::this_thread::sleep_for(std::chrono::duration<double>(dSeconds));
    // The kernel keeps a door locked by request even after the last close.
    if (bLock && ioctl(nFd, CDROM_LOCKDOOR, 0) != 0)
    {
        std::printf("error\ttext=CDROM_LOCKDOOR: %s\n", std::strerror(errno));
        nResult = 1;
    }
    return nResult;
}

int Status(int nFd, const char* szDevice, int nUntil, double dSeconds)
{
    auto tpStart = std::chrono::steady_clock::now();
    for (;;)
    {
        int nStatus = ioctl(nFd, CDROM_DRIVE_STATUS, CDSL_CURRENT);
        double dElapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - tpStart).count();
        if (nUntil < 0 || nStatus == nUntil || dElapsed >= dSeconds)
        {
            std::printf("status\tdevice=%s\tvalue=%d\tseconds=%.1f\n", szDevice, nStatus, dElapsed);
            return nUntil < 0 || nStatus == nUntil ? 0 : 1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}
int Follow(int nFd, double dSeconds)
{
    auto tpStart = std::chrono::steady_clock::now();
    int nLast = -2;
    while (std::chrono::duration<double>(std::chrono::steady_clock::now() - tpStart).count() < dSeconds)
    {
        int nStatus = ioctl(nFd, CDROM_DRIVE_STATUS, CDSL_CURRENT);
        if (nStatus != nLast)
        {
            std::printf("status\tvalue=%d\n", nStatus);
            std::fflush(stdout);
            nLast = nStatus;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return 0;
}

// The kernel's own "change" uevents of the drive that carry a disk event.
int Uevents(const char* szDevice, double dSeconds)
{
    const char* szName = std::strrchr(szDevice, '/');
    std::string strDevName = std::string("DEVNAME=") + (szName ? szName + 1 : szDevice);
    int nSocket = socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_KOBJECT_UEVENT);
    sockaddr_nl stAddress;
    std::memset(&stAddress, 0, sizeof(stAddress));
    stAddress.nl_family = AF_NETLINK;
    stAddress.nl_groups = 1;
    if (nSocket < 0 || bind(nSocket, reinterpret_cast<sockaddr*>(&stAddress), sizeof(stAddress)) != 0)
    {
        std::printf("error\ttext=%s\n", std::strerror(errno));
        return 3;
    }
    // An event the kernel still holds as pending is not reported again;
    // opening the drive takes them, as udev's own look after each event
    // does. So once now, and after each event.
    auto TakePending = [szDevice]()
    {
        int nFd = open(szDevice, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (nFd >= 0)
            close(nFd);
    };
    TakePending();
    std::printf("listening\n");
    std::fflush(stdout);
    auto tpStart = std::chrono::steady_clock::now();
    char acBuffer[8192];
    for (;;)
    {
        double dLeft =
            dSeconds - std::chrono::duration<double>(std::chrono::steady_clock::now() - tpStart).count();
        if (dLeft <= 0)
            break;
        pollfd stPoll = {nSocket, POLLIN, 0};
        if (poll(&stPoll, 1, static_cast<int>(dLeft * 1000) + 1) <= 0)
            continue;
        ssize_t nRead = recv(nSocket, acBuffer, sizeof(acBuffer) - 1, 0);
        if (nRead <= 0)
            continue;
        acBuffer[nRead] = 0;
        bool bMine = false;
        bool bMedia = false;
        bool bEject = false;
        for (ssize_t nAt = 0; nAt < nRead; nAt += static_cast<ssize_t>(std::strlen(acBuffer + nAt)) + 1)
        {
            std::string strField = acBuffer + nAt;
            bMine = bMine || strField == strDevName;
            bMedia = bMedia || strField == "DISK_MEDIA_CHANGE=1";
            bEject = bEject || strField == "DISK_EJECT_REQUEST=1";
        }
        if (bMine && (bMedia || bEject))
        {
            std::printf("uevent\tmedia_change=%d\teject_request=%d\n", bMedia ? 1 : 0, bEject ? 1 : 0);
            std::fflush(stdout);
            TakePending();
        }
    }
    close(nSocket);
    return 0;
}
} // namespace

int main(int nArgs, char** aszArgs)
{
    if (nArgs < 3)
    {
        std::fprintf(stderr, "usage: rkdrv_kernel_drive status DEVICE [--until VALUE] [--seconds S]\n"
                             "       rkdrv_kernel_drive capture DEVICE FOLDER TAG\n"
                             "       rkdrv_kernel_drive follow|uevents DEVICE SECONDS\n"
                             "       rkdrv_kernel_drive eject DEVICE\n"
                             "       rkdrv_kernel_drive hold DEVICE SECONDS READY [--lock]\n");
        return 2;
    }
    std::string strCommand = aszArgs[1];
    // Kept open by nothing else: the events are the kernel's own.
    if (strCommand == "uevents" && nArgs == 4)
        return Uevents(aszArgs[2], std::atof(aszArgs[3]));
    int nFd = open(aszArgs[2], O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (nFd < 0)
    {
        std::printf("error\tdevice=%s\ttext=%s\n", aszArgs[2], std::strerror(errno));
        return 3;
    }
    int nResult = 2;
    if (strCommand == "capture" && nArgs == 5)
        nResult = Capture(nFd, aszArgs[3], aszArgs[4]);
    else if (strCommand == "hold" && (nArgs == 5 || (nArgs == 6 && std::strcmp(aszArgs[5], "--lock") == 0)))
        nResult = Hold(nFd, std::atof(aszArgs[3]), aszArgs[4], nArgs == 6);
    else if (strCommand == "follow" && nArgs == 4)
        nResult = Follow(nFd, std::atof(aszArgs[3]));
    else if (strCommand == "eject" && nArgs == 3)
        nResult = ioctl(nFd, CDROMEJECT, 0) == 0 ? 0 : 1;
    else if (strCommand == "status")
    {
        int nUntil = -1;
        double dSeconds = 10;
        for (int nArg = 3; nArg + 1 < nArgs; nArg += 2)
        {
            if (std::strcmp(aszArgs[nArg], "--until") == 0)
                nUntil = std::atoi(aszArgs[nArg + 1]);
            else if (std::strcmp(aszArgs[nArg], "--seconds") == 0)
                dSeconds = std::atof(aszArgs[nArg + 1]);
        }
        nResult = Status(nFd, aszArgs[2], nUntil, dSeconds);
    }
    close(nFd);
    return nResult;
}
