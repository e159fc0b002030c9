// Linux transport of the system engine. Only Linux code belongs here.
//
// Drives are the block devices srN that sysfs lists under class/block, in
// numeric order; nothing under /dev is probed. A drive is opened read-only
// and non-blocking, never exclusively: without O_NONBLOCK opening an empty
// drive fails or closes its tray, and O_EXCL would fail a concurrent mount.
// Commands go through SG_IO on that descriptor, which the kernel allows for
// the read-only MMC commands to anyone who may open the drive; the sg module
// is not needed.
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

// CDSL_CURRENT needs INT_MAX.
#include <climits>
#include <linux/cdrom.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "RKDosDevices.h"
#include "RKScTransport_linux.h"

namespace
{
// "Permission denied [EACCES 13]": the C library's own English text, the
// same under every locale (the trace is UTF-8, the locale's text need not
// be), with the error's name and number; safe from any thread, unlike
// strerror.
std::string SystemText(int nError)
{
    const char* szText = strerrordesc_np(nError);
    const char* szName = strerrorname_np(nError);
    return std::string(szText ? szText : "unknown error") + " [" + (szName ? szName : "errno") + " " +
           std::to_string(nError) + "]";
}

std::string Trimmed(const std::string& strText)
{
    const char* szBlanks = " \t\r\n";
    std::string::size_type nFirst = strText.find_first_not_of(szBlanks);
    if (nFirst == std::string::npos)
        return std::string();
    return strText.substr(nFirst, strText.find_last_not_of(szBlanks) - nFirst + 1);
}

// sysfs attributes are short; what lies past the first 256 bytes is no
// vendor name or device number.
bool ReadAttribute(const std::string& strPath, std::string& strText)
{
    int nFd = open(strPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (nFd < 0)
        return false;
    char acBuffer[256];
    ssize_t nRead;
    do
    {
        nRead = read(nFd, acBuffer, sizeof(acBuffer));
    } while (nRead < 0 && errno == EINTR);
    int nError = errno;
    close(nFd);
    errno = nError;
    if (nRead < 0)
        return false;
    strText = Trimmed(std::string(acBuffer, static_cast<std::size_t>(nRead)));
    return true;
}

// "MAJOR:MINOR", as sysfs writes a device number.
bool ParseDeviceNumber(const std::string& strText, dev_t& nDevice)
{
    unsigned long aulParts[2] = {0, 0};
    std::size_t nPart = 0;
    std::size_t nDigits = 0;
    for (char c : strText)
    {
        if (c == ':' && nPart == 0 && nDigits > 0)
        {
            nPart = 1;
            nDigits = 0;
        }
        else if (c >= '0' && c <= '9' && nDigits < 9)
        {
            aulParts[nPart] = aulParts[nPart] * 10 + static_cast<unsigned long>(c - '0');
            ++nDigits;
        }
        else
            return false;
    }
    if (nPart != 1 || nDigits == 0)
        return false;
    nDevice = makedev(static_cast<unsigned int>(aulParts[0]), static_cast<unsigned int>(aulParts[1]));
    return true;
}

std::string DeviceNumberText(dev_t nDevice)
{
    return std::to_string(major(nDevice)) + ":" + std::to_string(minor(nDevice));
}

// The number N of a name "srN", or -1 for any other name.
long DriveNumberOfName(const char* szName)
{
    if (szName[0] != 's' || szName[1] != 'r' || szName[2] == 0)
        return -1;
    long nNumber = 0;
    for (const char* p = szName + 2; *p; ++p)
    {
        if (*p < '0' || *p > '9' || nNumber > 99999999)
            return -1;
        nNumber = nNumber * 10 + (*p - '0');
    }
    return nNumber;
}

struct RKScDeviceLink
{
    WORD wLetter;
    dev_t nDevice;
};

// Every letter the folder uses ("d:" for a folder, "e::" for a device),
// and the block devices the "x::" links lead to. Only lower-case names
// count: they are the ones the library itself opens.
void ReadDosDevices(const std::string& strFolder, std::vector<WORD>& vecUsed,
                    std::vector<RKScDeviceLink>& vecLinks)
{
    if (strFolder.empty())
        return;
    DIR* pDir = opendir(strFolder.c_str());
    if (!pDir)
        return;
    while (dirent* pEntry = readdir(pDir))
    {
        const char* szName = pEntry->d_name;
        std::size_t nLength = std::strlen(szName);
        if (nLength < 2 || nLength > 3 || szName[0] < 'a' || szName[0] > 'z' || szName[1] != ':' ||
            (nLength == 3 && szName[2] != ':'))
            continue;
        WORD wLetter = static_cast<WORD>(szName[0] - 'a' + 'A');
        vecUsed.push_back(wLetter);
        struct stat stTarget;
        if (nLength == 3 && stat((strFolder + "/" + szName).c_str(), &stTarget) == 0 &&
            S_ISBLK(stTarget.st_mode))
            vecLinks.push_back({wLetter, stTarget.st_rdev});
    }
    closedir(pDir);
    // readdir's order is the file system's; the lowest letter wins.
    std::sort(vecLinks.begin(), vecLinks.end(),
              [](const RKScDeviceLink& a, const RKScDeviceLink& b) { return a.wLetter < b.wLetter; });
}

std::string GroupOfNode(const std::string& strPath)
{
    struct stat stNode;
    if (stat(strPath.c_str(), &stNode) == 0 && stNode.st_gid != 0)
    {
        std::vector<char> vecBuffer(4096);
        struct group stGroup;
        struct group* pGroup = nullptr;
        if (getgrgid_r(stNode.st_gid, &stGroup, vecBuffer.data(), vecBuffer.size(), &pGroup) == 0 && pGroup &&
            pGroup->gr_name && *pGroup->gr_name)
            return pGroup->gr_name;
    }
    return "cdrom";
}

class CRKScLinuxDevice : public CRKScDevice
{
public:
    CRKScLinuxDevice() : m_nFd(-1) {}
    ~CRKScLinuxDevice() override
    {
        if (m_nFd >= 0)
            close(m_nFd);
    }
    CRKScLinuxDevice(const CRKScLinuxDevice&) = delete;
    CRKScLinuxDevice& operator=(const CRKScLinuxDevice&) = delete;

    int m_nFd;

    void SendCommand(const std::uint8_t* pbCdb, std::size_t nCdbLength, std::uint8_t* pbData,
                     std::size_t nDataLength, RKScCommandResult& stResult) override
    {
        stResult.eStatus = RKSC_COMMAND_FAILED;
        stResult.nTransferred = 0;
        stResult.nSenseLength = 0;
        if (!pbCdb || nCdbLength == 0 || nCdbLength > 16 || nDataLength > 0xFFFFFF ||
            (nDataLength && !pbData))
        {
            stResult.strProblem = "command not sent: bad request";
            return;
        }
        sg_io_hdr_t stHeader;
        std::memset(&stHeader, 0, sizeof(stHeader));
        stHeader.interface_id = 'S';
        stHeader.dxfer_direction = nDataLength ? SG_DXFER_FROM_DEV : SG_DXFER_NONE;
        stHeader.cmd_len = static_cast<unsigned char>(nCdbLength);
        stHeader.cmdp = const_cast<unsigned char*>(pbCdb);
        stHeader.dxfer_len = static_cast<unsigned int>(nDataLength);
        stHeader.dxferp = nDataLength ? pbData : nullptr;
        stHeader.mx_sb_len = static_cast<unsigned char>(RKSC_SENSE_MAX);
        stHeader.sbp = stResult.abSense;
        stHeader.timeout = RKSC_COMMAND_TIMEOUT_MS;
        int nResult;
        do
        {
            nResult = ioctl(m_nFd, SG_IO, &stHeader);
        } while (nResult < 0 && errno == EINTR);
        if (nResult < 0)
        {
            stResult.strProblem = "SG_IO: " + SystemText(errno);
            return;
        }
        // resid is what the drive did not send; a bad value transfers
        // nothing rather than more than the buffer.
        int nResid = stHeader.resid;
        std::size_t nMissing = nResid < 0 ? 0 : std::min(static_cast<std::size_t>(nResid), nDataLength);
        stResult.nTransferred = nDataLength - nMissing;
        stResult.nSenseLength = std::min<std::size_t>(stHeader.sb_len_wr, RKSC_SENSE_MAX);
        char szText[64];
        if (stHeader.host_status != 0)
        {
            std::snprintf(szText, sizeof(szText), "host status 0x%02x%s", stHeader.host_status,
                          stHeader.host_status == 0x03 ? " (timed out)" : "");
            stResult.strProblem = szText;
        }
        else if ((stHeader.driver_status & 0x07) != 0)
        {
            std::snprintf(szText, sizeof(szText), "driver status 0x%02x%s", stHeader.driver_status,
                          (stHeader.driver_status & 0x07) == 0x06 ? " (timed out)" : "");
            stResult.strProblem = szText;
        }
        else if (stHeader.status == 0x00)
            stResult.eStatus = RKSC_COMMAND_GOOD;
        else if (stHeader.status == 0x02)
            stResult.eStatus = RKSC_COMMAND_CHECK_CONDITION;
        else
        {
            std::snprintf(szText, sizeof(szText), "SCSI status 0x%02x", stHeader.status);
            stResult.strProblem = szText;
        }
        if (stResult.eStatus != RKSC_COMMAND_CHECK_CONDITION)
            stResult.nSenseLength = 0;
    }

    RKScDriveStatus GetDriveStatus() override
    {
        switch (ioctl(m_nFd, CDROM_DRIVE_STATUS, CDSL_CURRENT))
        {
        case CDS_NO_DISC:
            return RKSC_STATUS_NO_DISC;
        case CDS_TRAY_OPEN:
            return RKSC_STATUS_TRAY_OPEN;
        case CDS_DRIVE_NOT_READY:
            // sr reports it for sense 2/04/01 alone: becoming ready.
            return RKSC_STATUS_BECOMING_READY;
        case CDS_DISC_OK:
            return RKSC_STATUS_DISC_OK;
        default:
            return RKSC_STATUS_UNKNOWN;
        }
    }

    RKScEjectStatus Eject(std::string& strProblem) override
    {
        // Depending on the kernel, sr either refuses with EBUSY while anyone
        // else has the drive open or keeps its door locked, or sends START
        // STOP UNIT at once and hands back the drive's refusal of a locked
        // door (a mount locks it) as a positive SCSI result.
        int nResult;
        do
        {
            nResult = ioctl(m_nFd, CDROMEJECT, 0);
        } while (nResult < 0 && errno == EINTR);
        if (nResult == 0)
            return RKSC_EJECT_DONE;
        if (nResult > 0)
            return RKSC_EJECT_BUSY;
        int nError = errno;
        if (nError == EBUSY)
            return RKSC_EJECT_BUSY;
        if (nError == ENOSYS)
            return RKSC_EJECT_NO_TRAY;
        strProblem = "CDROMEJECT: " + SystemText(nError);
        return RKSC_EJECT_FAILED;
    }
};

class CRKScLinuxTransport : public CRKScTransport
{
public:
    explicit CRKScLinuxTransport(const RKScLinuxFolders& stFolders) : m_stFolders(stFolders) {}

    bool ListDrives(RKScDriveList& stList, std::string& strProblem) override
    {
        stList.vecDrives.clear();
        stList.vecUsedLetters.clear();
        std::string strClass = m_stFolders.strSysfs + "/class/block";
        DIR* pDir = opendir(strClass.c_str());
        if (!pDir)
        {
            strProblem = "cannot read " + strClass + ": " + SystemText(errno);
            return false;
        }
        std::vector<std::pair<long, std::string>> vecNames;
        while (dirent* pEntry = readdir(pDir))
        {
            long nNumber = DriveNumberOfName(pEntry->d_name);
            if (nNumber >= 0)
                vecNames.emplace_back(nNumber, pEntry->d_name);
        }
        closedir(pDir);
        std::sort(vecNames.begin(), vecNames.end());

        std::vector<RKScDeviceLink> vecLinks;
        ReadDosDevices(m_stFolders.strDosDevices.empty() ? RKScDosDevicesFolder() : m_stFolders.strDosDevices,
                       stList.vecUsedLetters, vecLinks);
        for (const auto& stName : vecNames)
            stList.vecDrives.push_back(Describe(strClass + "/" + stName.second, stName.second, vecLinks));
        return true;
    }

    std::unique_ptr<CRKScDevice> Open(const RKScDriveEntry& stEntry, std::string& strProblem) override
    {
        if (!stEntry.strProblem.empty())
        {
            strProblem = stEntry.strProblem;
            return nullptr;
        }
        // Made first, so that nothing can fail between open and ownership.
        std::unique_ptr<CRKScLinuxDevice> pDevice(new CRKScLinuxDevice);
        do
        {
            pDevice->m_nFd = open(stEntry.strDevice.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        } while (pDevice->m_nFd < 0 && errno == EINTR);
        if (pDevice->m_nFd < 0)
        {
            int nError = errno;
            if (nError == EACCES || nError == EPERM)
                strProblem = "no read access (" + SystemText(nError) + "): add the user to group " +
                             GroupOfNode(stEntry.strDevice) + " and log in again";
            else
                strProblem = SystemText(nError);
            return nullptr;
        }
        // The node was checked against sysfs at listing time; checking it
        // again here would cost every poll of a wait one more system call.
        return std::unique_ptr<CRKScDevice>(pDevice.release());
    }

    bool ProvidesPresence() const override { return true; }

private:
    RKScDriveEntry Describe(const std::string& strSysfsDrive, const std::string& strName,
                            const std::vector<RKScDeviceLink>& vecLinks)
    {
        RKScDriveEntry stEntry;
        stEntry.strDevice = m_stFolders.strDev + "/" + strName;
        std::string strVendor;
        std::string strModel;
        ReadAttribute(strSysfsDrive + "/device/vendor", strVendor);
        ReadAttribute(strSysfsDrive + "/device/model", strModel);
        stEntry.strModel =
            strVendor.empty() ? strModel : (strModel.empty() ? strVendor : strVendor + " " + strModel);

        std::string strNumber;
        dev_t nDevice = 0;
        if (!ReadAttribute(strSysfsDrive + "/dev", strNumber) || !ParseDeviceNumber(strNumber, nDevice))
        {
            stEntry.strProblem = "no device number in " + strSysfsDrive + "/dev";
            return stEntry;
        }
        for (const RKScDeviceLink& stLink : vecLinks)
        {
            if (stLink.nDevice == nDevice)
            {
                stEntry.wLetter = stLink.wLetter;
                break;
            }
        }
        // Never opened when the node is not the device sysfs names.
        struct stat stNode;
        if (stat(stEntry.strDevice.c_str(), &stNode) != 0)
            stEntry.strProblem = "no device node (" + SystemText(errno) + ")";
        else if (!S_ISBLK(stNode.st_mode) || stNode.st_rdev != nDevice)
            stEntry.strProblem = "the node is not block device " + DeviceNumberText(nDevice);
        return stEntry;
    }

    RKScLinuxFolders m_stFolders;
};
} // namespace

std::shared_ptr<CRKScTransport> RKScCreateLinuxTransport(const RKScLinuxFolders& stFolders)
{
    return std::make_shared<CRKScLinuxTransport>(stFolders);
}

std::string RKScDosDevicesFolder()
{
    char szFolder[PATH_MAX];
    return RKDosDevicesFolder(szFolder, sizeof(szFolder)) ? std::string(szFolder) : std::string();
}

std::shared_ptr<CRKScTransport> RKScCreateSystemTransport()
{
    return RKScCreateLinuxTransport(RKScLinuxFolders());
}
