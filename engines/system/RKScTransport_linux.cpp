// Linux transport of the system engine. Only Linux code belongs here.
//
// A drive's media events (a medium in or out, its button pressed while the
// door is locked) are taken by the kernel itself: every open of the drive,
// and its own polling where events_poll_msecs is set, reads and clears
// them before any program's GET EVENT STATUS NOTIFICATION can see them.
// The kernel reports what it took as a "change" uevent of the disk. The
// transport hears those on a netlink socket opened at the first state
// query, read without waiting at each one after; no thread, no device held.
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
#include <linux/netlink.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <time.h>
#include <unistd.h>

// CDSL_CURRENT needs INT_MAX.
#include <climits>
#include <linux/cdrom.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

#include "RKDosDevices.h"
#include "RKScTrace.h"
#include "RKScTransport_linux.h"
#include "RKScUevent.h"

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

// The system says the device itself is no longer there.
bool IsGoneError(int nError)
{
    return nError == ENODEV || nError == ENXIO;
}

// Where a block device sits, from its sysfs link (class/block/srN or
// dev/block/MAJOR:MINOR): the path in the device tree, which names the bus,
// host and port ("devices/pci.../usb2/2-1/.../block/sr1"), and the inode of
// that folder. The kernel numbers SCSI hosts from the lowest free one, so a
// drive replaced at the same port gets the very same path; the folder is
// made anew, and sysfs never gives a new folder an inode it gave before.
// Empty when the link cannot be read.
std::string Location(const RKScLinuxCalls& stCalls, const std::string& strLink)
{
    char szTarget[1024];
    ssize_t nLength = stCalls.pfnReadlink(strLink.c_str(), szTarget, sizeof(szTarget));
    struct stat stFolder;
    if (nLength <= 0 || static_cast<std::size_t>(nLength) >= sizeof(szTarget) ||
        stCalls.pfnStat(strLink.c_str(), &stFolder) != 0)
        return std::string();
    std::string strTarget(szTarget, static_cast<std::size_t>(nLength));
    while (strTarget.compare(0, 3, "../") == 0)
        strTarget.erase(0, 3);
    return strTarget + " (inode " + std::to_string(stFolder.st_ino) + ")";
}

class CRKScLinuxDevice : public CRKScDevice
{
public:
    explicit CRKScLinuxDevice(const RKScLinuxCalls& stCalls) : m_stCalls(stCalls), m_nFd(-1) {}
    ~CRKScLinuxDevice() override
    {
        if (m_nFd >= 0)
            m_stCalls.pfnClose(m_nFd);
    }
    CRKScLinuxDevice(const CRKScLinuxDevice&) = delete;
    CRKScLinuxDevice& operator=(const CRKScLinuxDevice&) = delete;

    RKScLinuxCalls m_stCalls;
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
            nResult = m_stCalls.pfnIoctl(m_nFd, SG_IO, reinterpret_cast<unsigned long>(&stHeader));
        } while (nResult < 0 && errno == EINTR);
        if (nResult < 0)
        {
            int nError = errno;
            stResult.eStatus = IsGoneError(nError) ? RKSC_COMMAND_GONE : RKSC_COMMAND_FAILED;
            stResult.strProblem = "SG_IO: " + SystemText(nError);
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
            // 0x01: the midlayer had no connection to the device (offline,
            // or being removed); 0x03: the command timed out.
            stResult.bTimedOut = stHeader.host_status == 0x03;
            std::snprintf(szText, sizeof(szText), "host status 0x%02x%s", stHeader.host_status,
                          stHeader.host_status == 0x03   ? " (timed out)"
                          : stHeader.host_status == 0x01 ? " (no connection)"
                                                         : "");
            stResult.strProblem = szText;
        }
        else if ((stHeader.driver_status & 0x07) != 0)
        {
            stResult.bTimedOut = (stHeader.driver_status & 0x07) == 0x06;
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
        if (stResult.eStatus != RKSC_COMMAND_GOOD && stResult.eStatus != RKSC_COMMAND_CHECK_CONDITION)
            stResult.nTransferred = 0;
    }

    RKScDriveStatus GetDriveStatus() override
    {
        int nStatus = m_stCalls.pfnIoctl(m_nFd, CDROM_DRIVE_STATUS, CDSL_CURRENT);
        if (nStatus < 0 && IsGoneError(errno))
        {
            m_strGone = "CDROM_DRIVE_STATUS: " + SystemText(errno);
            return RKSC_STATUS_GONE;
        }
        switch (nStatus)
        {
        case CDS_NO_DISC:
            return RKSC_STATUS_NO_DISC;
        case CDS_TRAY_OPEN:
            return RKSC_STATUS_TRAY_OPEN;
        case CDS_DRIVE_NOT_READY:
            // sr reports it for sense 2/04/01 alone: becoming ready. It
            // reports the other "not ready, in progress" answers as a disc
            // that is ready, which the engine's own commands tell apart.
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
            nResult = m_stCalls.pfnIoctl(m_nFd, CDROMEJECT, 0);
        } while (nResult < 0 && errno == EINTR);
        if (nResult == 0)
            return RKSC_EJECT_DONE;
        if (nResult > 0)
            return RKSC_EJECT_BUSY;
        int nError = errno;
        switch (nError)
        {
        case EBUSY:
            return RKSC_EJECT_BUSY;
        case ENOSYS:
            return RKSC_EJECT_NO_TRAY;
        case ENOMEDIUM:
            // A slot or caddy drive without a disc: a drive with a tray
            // opens it, medium or not.
            return RKSC_EJECT_EMPTY;
        default:
            strProblem = "CDROMEJECT: " + SystemText(nError);
            if (!IsGoneError(nError))
                return RKSC_EJECT_FAILED;
            m_strGone = strProblem;
            return RKSC_EJECT_GONE;
        }
    }

    void Pause(DWORD dwMilliseconds) override { m_stCalls.pfnSleep(dwMilliseconds); }
    RKScTrayResult CloseTray(std::string& strProblem) override
    {
        // sr refuses with ENOSYS when the drive's mechanism cannot load
        // (a caddy or slot), and hands back the drive's own refusal as a
        // positive SCSI result.
        return TrayCall(CDROMCLOSETRAY, 0, "CDROMCLOSETRAY", strProblem);
    }

    RKScTrayResult LockDoor(bool bLock, std::string& strProblem) override
    {
        // The lock outlives this descriptor. Unlocking while another program
        // holds the drive open is refused with EBUSY (root excepted), so that
        // one program cannot free a door another one locked.
        return TrayCall(CDROM_LOCKDOOR, bLock ? 1 : 0, "CDROM_LOCKDOOR", strProblem);
    }

private:
    RKScTrayResult TrayCall(unsigned long ulRequest, int nArgument, const char* szCall,
                            std::string& strProblem)
    {
        int nResult;
        do
        {
            nResult = m_stCalls.pfnIoctl(m_nFd, ulRequest, nArgument);
        } while (nResult < 0 && errno == EINTR);
        if (nResult == 0)
            return RKSC_TRAY_DONE;
        if (nResult > 0)
            return RKSC_TRAY_REFUSED;
        int nError = errno;
        if (nError == EBUSY)
            return RKSC_TRAY_BUSY;
        if (nError == ENOSYS || nError == EDRIVE_CANT_DO_THIS)
            return RKSC_TRAY_UNSUPPORTED;
        strProblem = std::string(szCall) + ": " + SystemText(nError);
        if (IsGoneError(nError))
            m_strGone = strProblem;
        return RKSC_TRAY_FAILED;
    }
};

class CRKScLinuxTransport : public CRKScTransport
{
public:
    CRKScLinuxTransport(const RKScLinuxFolders& stFolders, const RKScLinuxCalls& stCalls)
        : m_stFolders(stFolders), m_stCalls(stCalls)
    {
    }

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
        std::unique_ptr<CRKScLinuxDevice> pDevice(new CRKScLinuxDevice(m_stCalls));
        do
        {
            pDevice->m_nFd = m_stCalls.pfnOpen(stEntry.strDevice.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        } while (pDevice->m_nFd < 0 && errno == EINTR);
        if (pDevice->m_nFd < 0)
        {
            int nError = errno;
            if (nError == EACCES || nError == EPERM)
                strProblem = "no read access (" + SystemText(nError) + "): add the user to group " +
                             GroupOfNode(stEntry.strDevice) + " and log in again";
            else if (nError == ENOENT || IsGoneError(nError))
                strProblem = RKSC_GONE_TEXT + SystemText(nError);
            else
                strProblem = SystemText(nError);
            return nullptr;
        }
        // A drive unplugged and another plugged in may get the same node and
        // device number; where sysfs has the device now tells them apart.
        // Asked through the open descriptor, so the answer is about the
        // device this one reaches.
        if (!stEntry.strLocation.empty())
        {
            struct stat stNode;
            if (m_stCalls.pfnFstat(pDevice->m_nFd, &stNode) != 0)
            {
                strProblem = "cannot check the device: " + SystemText(errno);
                return nullptr;
            }
            std::string strNumber = DeviceNumberText(stNode.st_rdev);
            std::string strNow = Location(m_stCalls, m_stFolders.strSysfs + "/dev/block/" + strNumber);
            if (strNow != stEntry.strLocation)
            {
                strProblem = RKSC_GONE_TEXT + (strNow.empty() ? "sysfs has no device " + strNumber
                                                              : stEntry.strDevice + " is now another drive");
                return nullptr;
            }
        }
        return std::unique_ptr<CRKScDevice>(pDevice.release());
    }

    bool ProvidesPresence() const override { return true; }
    bool LockNeedsDevice() const override { return false; }

    ~CRKScLinuxTransport() override
    {
        if (m_nUevents >= 0)
            m_stCalls.pfnClose(m_nUevents);
    }
    CRKScLinuxTransport(const CRKScLinuxTransport&) = delete;
    CRKScLinuxTransport& operator=(const CRKScLinuxTransport&) = delete;

    void ListenForDriveEvents() override
    {
        if (m_bUeventsTried)
            return;
        m_bUeventsTried = true;
        m_nUevents = m_stCalls.pfnOpenUevents();
        if (m_nUevents < 0)
            RKScTraceInfo("the kernel's device events cannot be heard (" + SystemText(errno) +
                          "): a drive's eject button is known only from its own media events");
    }

    unsigned TakeDriveEvents(const RKScDriveEntry& stEntry) override
    {
        ReadUevents();
        std::string::size_type nSlash = stEntry.strDevice.rfind('/');
        auto itDrive = m_mapDriveEvents.find(
            nSlash == std::string::npos ? stEntry.strDevice : stEntry.strDevice.substr(nSlash + 1));
        if (itDrive == m_mapDriveEvents.end())
            return 0;
        unsigned uEvents = itDrive->second;
        m_mapDriveEvents.erase(itDrive);
        return uEvents;
    }

private:
    // Every event waiting on the socket, up to a bound per call, kept per
    // drive until its writer asks. Only the kernel's own events of optical
    // drives count, so the map holds no more names than there are drives.
    void ReadUevents()
    {
        for (int i = 0; i < RKSC_UEVENTS_PER_READ && m_nUevents >= 0; ++i)
        {
            unsigned int uSender = ~0u;
            ssize_t nRead = m_stCalls.pfnReceiveUevent(m_nUevents, m_abUevent, sizeof(m_abUevent), &uSender);
            if (nRead < 0)
            {
                int nError = errno;
                // ENOBUFS: events were lost while nobody read; the next
                // ones are still good.
                if (nError == EINTR || nError == ENOBUFS)
                    continue;
                if (nError == EAGAIN || nError == EWOULDBLOCK)
                    return;
                RKScTraceInfo("the kernel's device events: " + SystemText(nError) +
                              ": no longer heard; a drive's eject button is known only from its own media "
                              "events");
                m_stCalls.pfnClose(m_nUevents);
                m_nUevents = -1;
                return;
            }
            if (uSender != 0)
                continue;
            RKScUevent stEvent =
                RKScParseUevent(m_abUevent, std::min(static_cast<std::size_t>(nRead), sizeof(m_abUevent)));
            if (!stEvent.bOk || stEvent.strSubsystem != "block" ||
                DriveNumberOfName(stEvent.strDevName.c_str()) < 0)
                continue;
            // A drive that goes takes its events with it: the next one
            // given its name starts afresh.
            if (stEvent.strAction == "remove")
            {
                m_mapDriveEvents.erase(stEvent.strDevName);
                continue;
            }
            unsigned uEvents = (stEvent.bEjectRequest ? RKSC_DRIVE_EVENT_EJECT_REQUEST : 0u) |
                               (stEvent.bMediaChange ? RKSC_DRIVE_EVENT_MEDIA_CHANGE : 0u);
            if (uEvents)
                m_mapDriveEvents[stEvent.strDevName] |= uEvents;
        }
    }

    static const int RKSC_UEVENTS_PER_READ = 64;

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
        stEntry.strLocation = Location(m_stCalls, strSysfsDrive);

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
    RKScLinuxCalls m_stCalls;
    bool m_bUeventsTried = false;
    int m_nUevents = -1;
    std::uint8_t m_abUevent[RKSC_UEVENT_MAX];
    std::map<std::string, unsigned> m_mapDriveEvents;
};

int SystemOpen(const char* szPath, int nFlags)
{
    return open(szPath, nFlags);
}

int SystemIoctl(int nFd, unsigned long ulRequest, unsigned long ulArgument)
{
    return ioctl(nFd, ulRequest, ulArgument);
}

void SystemSleep(unsigned int uMilliseconds)
{
    struct timespec stLeft = {static_cast<time_t>(uMilliseconds / 1000),
                              static_cast<long>(uMilliseconds % 1000) * 1000000L};
    while (nanosleep(&stLeft, &stLeft) != 0 && errno == EINTR)
    {
    }
}

int SystemStat(const char* szPath, struct stat* pstInfo)
{
    return stat(szPath, pstInfo);
}

int SystemFstat(int nFd, struct stat* pstInfo)
{
    return fstat(nFd, pstInfo);
}

int SystemOpenUevents()
{
    int nFd = socket(AF_NETLINK, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, NETLINK_KOBJECT_UEVENT);
    if (nFd < 0)
        return -1;
    sockaddr_nl stAddress;
    std::memset(&stAddress, 0, sizeof(stAddress));
    stAddress.nl_family = AF_NETLINK;
    // Group 1: the kernel's own events, which anyone may hear.
    stAddress.nl_groups = 1;
    if (bind(nFd, reinterpret_cast<sockaddr*>(&stAddress), sizeof(stAddress)) != 0)
    {
        int nError = errno;
        close(nFd);
        errno = nError;
        return -1;
    }
    return nFd;
}

ssize_t SystemReceiveUevent(int nFd, void* pBuffer, size_t nSize, unsigned int* puSender)
{
    sockaddr_nl stFrom;
    std::memset(&stFrom, 0, sizeof(stFrom));
    socklen_t nFrom = sizeof(stFrom);
    ssize_t nRead = recvfrom(nFd, pBuffer, nSize, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&stFrom), &nFrom);
    *puSender = nFrom >= sizeof(stFrom) && stFrom.nl_family == AF_NETLINK ? stFrom.nl_pid : ~0u;
    return nRead;
}

const RKScLinuxCalls s_SystemCalls = {SystemOpen,         close,    SystemIoctl, SystemFstat,
                                      SystemStat,         readlink, SystemSleep, SystemOpenUevents,
                                      SystemReceiveUevent};
} // namespace

const RKScLinuxCalls& RKScLinuxSystemCalls()
{
    return s_SystemCalls;
}

std::shared_ptr<CRKScTransport> RKScCreateLinuxTransport(const RKScLinuxFolders& stFolders,
                                                         const RKScLinuxCalls& stCalls)
{
    return std::make_shared<CRKScLinuxTransport>(stFolders, stCalls);
}

std::shared_ptr<CRKScTransport> RKScCreateLinuxTransport(const RKScLinuxFolders& stFolders)
{
    return RKScCreateLinuxTransport(stFolders, RKScLinuxSystemCalls());
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
