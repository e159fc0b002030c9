// Drive devices of the POSIX backend. Only POSIX calls belong here.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__linux__)
// CDSL_CURRENT needs INT_MAX.
#include <climits>
#include <linux/cdrom.h>
#include <linux/fs.h>
#endif

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "RKOsDevice_posix.h"

namespace
{
// "\\.\" followed by one letter and a colon, nothing more.
const unsigned short s_awDevicePrefix[] = {'\\', '\\', '.', '\\'};

// The lower-case ASCII letter the path names, or 0 when it is anything else
// than exactly that form. Letters outside A-Z and a-z name no drive, so a
// path can never reach another file of the folder.
char DriveLetterOfPath(const unsigned short* szPath)
{
    if (!szPath)
        return 0;
    for (unsigned short wExpected : s_awDevicePrefix)
    {
        if (*szPath++ != wExpected)
            return 0;
    }
    // Never read past a terminator: each character is looked at only after
    // the one before it was found to be no terminator.
    unsigned short wLetter = szPath[0];
    if (wLetter == 0 || szPath[1] != ':' || szPath[2] != 0)
        return 0;
    if (wLetter >= 'A' && wLetter <= 'Z')
        return static_cast<char>(wLetter - 'A' + 'a');
    if (wLetter >= 'a' && wLetter <= 'z')
        return static_cast<char>(wLetter);
    return 0;
}

std::string DosDevicesFolder()
{
    const char* szFolder = std::getenv("RKDRV_DOSDEVICES");
    if (szFolder && *szFolder)
        return szFolder;
    const char* szPrefix = std::getenv("WINEPREFIX");
    if (szPrefix && *szPrefix)
        return std::string(szPrefix) + "/dosdevices";
    const char* szHome = std::getenv("HOME");
    if (szHome && *szHome)
        return std::string(szHome) + "/.wine/dosdevices";
    return std::string();
}

bool IsMediaTarget(const struct stat& stInfo)
{
    return S_ISBLK(stInfo.st_mode) || S_ISREG(stInfo.st_mode);
}

// File descriptors travel in the handle shifted by one, since null is never
// a valid device and 0 is a valid descriptor.
RKOsDevice HandleOfDescriptor(int nFd)
{
    return reinterpret_cast<RKOsDevice>(static_cast<std::intptr_t>(nFd) + 1);
}

int DescriptorOfHandle(RKOsDevice hDevice)
{
    return static_cast<int>(reinterpret_cast<std::intptr_t>(hDevice) - 1);
}

int BlockDeviceHoldsMedium(int nFd)
{
#if defined(__linux__)
    // An optical drive answers the status request; anything else refuses it
    // and is judged by its size.
    int nStatus = ioctl(nFd, CDROM_DRIVE_STATUS, CDSL_CURRENT);
    if (nStatus >= 0)
        return nStatus == CDS_DISC_OK ? 1 : 0;
    std::uint64_t ullSize = 0;
    if (ioctl(nFd, BLKGETSIZE64, &ullSize) == 0)
        return ullSize > 0 ? 1 : 0;
#else
    (void)nFd;
#endif
    return 0;
}
} // namespace

RKOsDevice RKPosixOpenDevice(const unsigned short* szPath)
{
    char cLetter = DriveLetterOfPath(szPath);
    if (!cLetter)
        return nullptr;
    std::string strFolder = DosDevicesFolder();
    if (strFolder.empty())
        return nullptr;
    std::string strLink = strFolder + "/" + cLetter + "::";

    // Checked before opening, so that no FIFO, terminal or tape device is
    // ever opened (opening one can block or act on the hardware).
    struct stat stTarget;
    if (stat(strLink.c_str(), &stTarget) != 0 || !IsMediaTarget(stTarget))
        return nullptr;
    int nFd;
    do
    {
        nFd = open(strLink.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    } while (nFd < 0 && errno == EINTR);
    if (nFd < 0)
        return nullptr;
    // The link may have been changed in between: keep only what was checked.
    struct stat stOpened;
    if (fstat(nFd, &stOpened) != 0 || stOpened.st_dev != stTarget.st_dev ||
        stOpened.st_ino != stTarget.st_ino)
    {
        close(nFd);
        return nullptr;
    }
    return HandleOfDescriptor(nFd);
}

int RKPosixCheckMedia(RKOsDevice hDevice)
{
    if (!hDevice)
        return 0;
    int nFd = DescriptorOfHandle(hDevice);
    struct stat stInfo;
    if (fstat(nFd, &stInfo) != 0)
        return 0;
    if (S_ISREG(stInfo.st_mode))
        return stInfo.st_size > 0 ? 1 : 0;
    if (S_ISBLK(stInfo.st_mode))
        return BlockDeviceHoldsMedium(nFd);
    return 0;
}

void RKPosixCloseDevice(RKOsDevice hDevice)
{
    if (hDevice)
        close(DescriptorOfHandle(hDevice));
}
