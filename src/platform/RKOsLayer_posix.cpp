// POSIX backend of the operating-system layer. Only POSIX calls belong here.
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <time.h>

#if defined(__linux__)
// CDSL_CURRENT needs INT_MAX.
#include <climits>
#include <linux/cdrom.h>
#include <linux/fs.h>
#endif

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "RKDosDevices.h"
#include "RKOsLayer.h"
#include "RKVersion.h"
#include "RKTextUtil.h"

namespace
{
// Engines are named by their Windows file names; "X.DLL" (any case) is the
// shared object "libX.so" here. A folder part, if any, is kept.
std::string MapModuleName(const std::string& strName)
{
    std::string::size_type nSlash = strName.find_last_of('/');
    std::string strFolder = nSlash == std::string::npos ? "" : strName.substr(0, nSlash + 1);
    std::string strFile = nSlash == std::string::npos ? strName : strName.substr(nSlash + 1);
    if (strFile.size() > 4)
    {
        std::string strExt = strFile.substr(strFile.size() - 4);
        for (char& c : strExt)
        {
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 'a' + 'A');
        }
        if (strExt == ".DLL")
            strFile = "lib" + strFile.substr(0, strFile.size() - 4) + ".so";
    }
    return strFolder + strFile;
}

// The engine folder the build fixed, made whole from this library's own
// folder when it is relative; empty when there is none.
std::string EngineFolder()
{
    std::string strFolder = RKDRV_ENGINE_FOLDER;
    if (strFolder.empty() || strFolder[0] == '/')
        return strFolder;
    char szOwn[PATH_MAX];
    if (!RKOsGetOwnModulePath(szOwn, sizeof(szOwn)))
        return "";
    RKOsRemoveFileSpec(szOwn);
    return std::string(szOwn) + "/" + strFolder;
}

HINSTANCE PosixLoadModule(const unsigned short* szName)
{
    try
    {
        std::string strName = RKTextToUtf8(szName);
        if (strName.empty())
            return nullptr;
        std::string strFile = MapModuleName(strName);
        HINSTANCE hModule = dlopen(strFile.c_str(), RTLD_NOW | RTLD_LOCAL);
        // A bare name the ordinary search (the library's own folder among
        // it) did not find is looked for in the package's engine folder;
        // a name with a folder is taken as given.
        if (!hModule && strFile.find('/') == std::string::npos)
        {
            static const std::string s_strEngineFolder = EngineFolder();
            if (!s_strEngineFolder.empty())
                hModule = dlopen((s_strEngineFolder + "/" + strFile).c_str(), RTLD_NOW | RTLD_LOCAL);
        }
        return hModule;
    }
    catch (...)
    {
        return nullptr;
    }
}

RKOsProc PosixGetSymbol(HINSTANCE hModule, const char* szSymbol)
{
    return reinterpret_cast<RKOsProc>(dlsym(hModule, szSymbol));
}

int PosixFreeModule(HINSTANCE hModule)
{
    return dlclose(hModule) == 0 ? 1 : 0;
}

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

// Appends szText to the path being built in szPath (nSize bytes), from
// nUsed on; false when it would not fit whole.
bool AppendToPath(char* szPath, std::size_t nSize, std::size_t& nUsed, const char* szText)
{
    std::size_t nLength = std::strlen(szText);
    if (nLength >= nSize - nUsed)
        return false;
    std::memcpy(szPath + nUsed, szText, nLength + 1);
    nUsed += nLength;
    return true;
}

// The link that names drive cLetter: "<folder>/<letter>::" in the
// dosdevices folder. Built in the caller's buffer, since the presence test
// runs on every poll of a wait. False when no folder is named or the path
// would not fit.
bool DriveLinkPath(char cLetter, char* szPath, std::size_t nSize)
{
    szPath[0] = '\0';
    if (!RKDosDevicesFolder(szPath, nSize))
        return false;
    std::size_t nUsed = std::strlen(szPath);
    const char szName[] = {'/', cLetter, ':', ':', '\0'};
    return AppendToPath(szPath, nSize, nUsed, szName);
}

bool IsMediaTarget(const struct stat& stInfo)
{
    return S_ISBLK(stInfo.st_mode) || S_ISREG(stInfo.st_mode);
}

// A device handle carries the descriptor and what the look before opening
// found, so that the presence test needs no second look at the file:
// (descriptor + 1) * 4 plus the kind. Null is never valid, and 0 is a valid
// descriptor.
enum RKDeviceKind
{
    RKDEVICE_BLOCK = 0,
    RKDEVICE_EMPTY_IMAGE = 1,
    RKDEVICE_FILLED_IMAGE = 2
};

RKOsDevice HandleOfDescriptor(int nFd, RKDeviceKind eKind)
{
    return reinterpret_cast<RKOsDevice>((static_cast<std::intptr_t>(nFd) + 1) * 4 + eKind);
}

int DescriptorOfHandle(RKOsDevice hDevice)
{
    return static_cast<int>(reinterpret_cast<std::intptr_t>(hDevice) / 4 - 1);
}

RKDeviceKind KindOfHandle(RKOsDevice hDevice)
{
    return static_cast<RKDeviceKind>(reinterpret_cast<std::intptr_t>(hDevice) % 4);
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
// Drive letters name devices the way Windows programs on Unix do: the link
// "<letter in lower case>::" in the dosdevices folder points at the device.
RKOsDevice PosixOpenDevice(const unsigned short* szPath)
{
    char cLetter = DriveLetterOfPath(szPath);
    if (!cLetter)
        return nullptr;
    char szLink[PATH_MAX];
    if (!DriveLinkPath(cLetter, szLink, sizeof(szLink)))
        return nullptr;

    // Checked before opening, so that no FIFO, terminal or tape device is
    // ever opened (opening one can block or act on the hardware). This one
    // look is also all the presence test needs to know of the file: what it
    // is, and an image's size. A second look after opening would protect
    // nothing more, since whoever can change the link between the two can
    // change it before the first, and it costs a system call on every poll.
    struct stat stTarget;
    if (stat(szLink, &stTarget) != 0 || !IsMediaTarget(stTarget))
        return nullptr;
    int nFd;
    do
    {
        // O_NOCTTY: even a terminal put there in the meantime never
        // becomes the process's controlling terminal.
        nFd = open(szLink, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    } while (nFd < 0 && errno == EINTR);
    if (nFd < 0)
        return nullptr;
    if (S_ISBLK(stTarget.st_mode))
        return HandleOfDescriptor(nFd, RKDEVICE_BLOCK);
    return HandleOfDescriptor(nFd, stTarget.st_size > 0 ? RKDEVICE_FILLED_IMAGE : RKDEVICE_EMPTY_IMAGE);
}

int PosixCheckMedia(RKOsDevice hDevice)
{
    if (!hDevice)
        return 0;
    switch (KindOfHandle(hDevice))
    {
    case RKDEVICE_BLOCK:
        return BlockDeviceHoldsMedium(DescriptorOfHandle(hDevice));
    case RKDEVICE_FILLED_IMAGE:
        return 1;
    case RKDEVICE_EMPTY_IMAGE:
        break;
    }
    return 0;
}

void PosixCloseDevice(RKOsDevice hDevice)
{
    if (hDevice)
        close(DescriptorOfHandle(hDevice));
}

void PosixSleep(DWORD dwMilliseconds)
{
    // Resumes after signal interruptions until the whole pause has passed.
    timespec tsLeft;
    tsLeft.tv_sec = static_cast<time_t>(dwMilliseconds / 1000);
    tsLeft.tv_nsec = static_cast<long>(dwMilliseconds % 1000) * 1000000L;
    while (nanosleep(&tsLeft, &tsLeft) != 0 && errno == EINTR)
    {
    }
}

unsigned long long PosixMonotonicMs()
{
    timespec tsNow;
    if (clock_gettime(CLOCK_MONOTONIC, &tsNow) != 0)
        return 0;
    return static_cast<unsigned long long>(tsNow.tv_sec) * 1000ull +
           static_cast<unsigned long long>(tsNow.tv_nsec) / 1000000ull;
}

// A pipe: setting writes a byte, which a signal handler may do; waiting
// polls the read end and empties it.
struct RKPosixWake
{
    int nRead;
    int nWrite;
};

bool MakeNonBlockingCloseOnExec(int nFd)
{
    int nFlags = fcntl(nFd, F_GETFL);
    int nFdFlags = fcntl(nFd, F_GETFD);
    return nFlags >= 0 && nFdFlags >= 0 && fcntl(nFd, F_SETFL, nFlags | O_NONBLOCK) == 0 &&
           fcntl(nFd, F_SETFD, nFdFlags | FD_CLOEXEC) == 0;
}

RKOsWake PosixCreateWake()
{
    int anFds[2];
    if (pipe(anFds) != 0)
        return nullptr;
    RKPosixWake* pWake = nullptr;
    if (MakeNonBlockingCloseOnExec(anFds[0]) && MakeNonBlockingCloseOnExec(anFds[1]))
        pWake = new (std::nothrow) RKPosixWake{anFds[0], anFds[1]};
    if (!pWake)
    {
        close(anFds[0]);
        close(anFds[1]);
    }
    return pWake;
}

void PosixSetWake(RKOsWake hWake)
{
    // A signal handler must leave errno as it found it.
    int nSavedErrno = errno;
    const char cByte = 1;
    ssize_t nWritten;
    // A full pipe is set already.
    do
    {
        nWritten = write(static_cast<RKPosixWake*>(hWake)->nWrite, &cByte, 1);
    } while (nWritten < 0 && errno == EINTR);
    errno = nSavedErrno;
}

int PosixWaitWake(RKOsWake hWake, DWORD dwMilliseconds)
{
    RKPosixWake* pWake = static_cast<RKPosixWake*>(hWake);
    unsigned long long ullEnd = PosixMonotonicMs() + dwMilliseconds;
    pollfd stPoll = {pWake->nRead, POLLIN, 0};
    for (;;)
    {
        unsigned long long ullNow = PosixMonotonicMs();
        int nTimeout = ullNow >= ullEnd ? 0 : static_cast<int>(ullEnd - ullNow);
        int nReady = poll(&stPoll, 1, nTimeout);
        if (nReady > 0)
            break;
        // A signal cuts the pause short; the time left is waited out, unless
        // the handler set the object, which the next poll sees.
        if (nReady == 0 || errno != EINTR)
            return 0;
    }
    char acBytes[64];
    while (read(pWake->nRead, acBytes, sizeof(acBytes)) > 0)
    {
    }
    return 1;
}

void PosixCloseWake(RKOsWake hWake)
{
    RKPosixWake* pWake = static_cast<RKPosixWake*>(hWake);
    close(pWake->nRead);
    close(pWake->nWrite);
    delete pWake;
}

int PosixDriveListStamp(unsigned long long* pullStamp)
{
#if defined(__linux__)
    // The optical drives are the block devices srN. An entry's inode number
    // is new whenever the kernel makes the entry anew, so a drive replaced
    // under the same name changes the stamp too. Summed, so that the order
    // of the listing does not matter and nothing is allocated.
    DIR* pDir = opendir("/sys/class/block");
    if (!pDir)
        return 0;
    unsigned long long ullStamp = 0;
    unsigned long long ullCount = 0;
    while (dirent* pEntry = readdir(pDir))
    {
        const char* szName = pEntry->d_name;
        if (szName[0] != 's' || szName[1] != 'r' || szName[2] < '0' || szName[2] > '9')
            continue;
        // FNV-1a over the name and the inode number.
        unsigned long long ullHash = 14695981039346656037ull;
        for (const char* p = szName; *p; ++p)
            ullHash = (ullHash ^ static_cast<unsigned char>(*p)) * 1099511628211ull;
        ullHash = (ullHash ^ static_cast<unsigned long long>(pEntry->d_ino)) * 1099511628211ull;
        ullStamp += ullHash;
        ++ullCount;
    }
    closedir(pDir);
    *pullStamp = ullStamp ^ (ullCount << 56);
    return 1;
#else
    (void)pullStamp;
    return 0;
#endif
}

const RKOsCallTable s_DefaultCalls = {PosixLoadModule,    PosixGetSymbol,   PosixFreeModule, PosixOpenDevice,
                                      PosixCheckMedia,    PosixCloseDevice, PosixSleep,      PosixMonotonicMs,
                                      PosixCreateWake,    PosixSetWake,     PosixWaitWake,   PosixCloseWake,
                                      PosixDriveListStamp};
} // namespace

const RKOsCallTable& RKOsDefaultCalls()
{
    return s_DefaultCalls;
}

// The trace file.

RKOsFile RKOsOpenAppendFileNamedBy(const char* szVariable)
{
    const char* szPath = std::getenv(szVariable);
    if (!szPath || !*szPath)
        return nullptr;
    int nFd;
    do
    {
        // O_APPEND makes every write land whole at the end, also when
        // several processes trace into one file.
        nFd = open(szPath, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    } while (nFd < 0 && errno == EINTR);
    return nFd < 0 ? nullptr : reinterpret_cast<RKOsFile>(static_cast<std::intptr_t>(nFd) + 1);
}

void RKOsAppendFile(RKOsFile hFile, const char* pData, DWORD dwSize)
{
    int nFd = static_cast<int>(reinterpret_cast<std::intptr_t>(hFile) - 1);
    ssize_t nWritten;
    do
    {
        nWritten = write(nFd, pData, dwSize);
    } while (nWritten < 0 && errno == EINTR);
}

void RKOsCloseFile(RKOsFile hFile)
{
    close(static_cast<int>(reinterpret_cast<std::intptr_t>(hFile) - 1));
}

// Paths for the local log.

char RKOsPathSeparator()
{
    return '/';
}

bool RKOsGetHostExecutablePath(char* szPath, DWORD dwSize)
{
    if (dwSize == 0)
        return false;
    ssize_t nLength = readlink("/proc/self/exe", szPath, dwSize);
    // readlink does not terminate, and a full buffer may mean a cut path.
    if (nLength <= 0 || static_cast<DWORD>(nLength) >= dwSize)
        return false;
    szPath[nLength] = '\0';
    return true;
}

void RKOsRemoveFileSpec(char* szPath)
{
    char* pSlash = std::strrchr(szPath, '/');
    if (!pSlash)
        szPath[0] = '\0';
    else if (pSlash == szPath)
        szPath[1] = '\0';
    else
        *pSlash = '\0';
}

bool RKOsPathExists(const char* szPath)
{
    struct stat stInfo;
    return stat(szPath, &stInfo) == 0;
}

void RKOsDeleteFile(const char* szPath)
{
    unlink(szPath);
}

bool RKOsGetOwnModulePath(char* szPath, DWORD dwSize)
{
    Dl_info stInfo;
    if (dladdr(reinterpret_cast<void*>(&RKOsGetOwnModulePath), &stInfo) == 0 || !stInfo.dli_fname)
        return false;
    std::string strPath = stInfo.dli_fname;
    if (strPath.empty() || strPath[0] != '/')
    {
        // Loaded by a relative name: make it whole.
        char* szReal = realpath(stInfo.dli_fname, nullptr);
        if (!szReal)
            return false;
        strPath = szReal;
        std::free(szReal);
    }
    if (strPath.size() >= dwSize)
        return false;
    std::memcpy(szPath, strPath.c_str(), strPath.size() + 1);
    return true;
}

bool RKOsGetOwnFileVersion(WORD awVersion[4])
{
    // Shared objects carry no version resource; the build compiles it in.
    awVersion[0] = RKDRV_VERSION_MAJOR;
    awVersion[1] = RKDRV_VERSION_MINOR;
    awVersion[2] = RKDRV_VERSION_PATCH;
    awVersion[3] = RKDRV_VERSION_TWEAK;
    return true;
}
