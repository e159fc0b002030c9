// POSIX backend of the operating-system layer. Only POSIX calls belong here.
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <time.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "RKOsDevice_posix.h"
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

HINSTANCE PosixLoadModule(const unsigned short* szName)
{
    std::string strName = RKTextToUtf8(szName);
    if (strName.empty())
        return nullptr;
    return dlopen(MapModuleName(strName).c_str(), RTLD_NOW | RTLD_LOCAL);
}

RKOsProc PosixGetSymbol(HINSTANCE hModule, const char* szSymbol)
{
    return reinterpret_cast<RKOsProc>(dlsym(hModule, szSymbol));
}

int PosixFreeModule(HINSTANCE hModule)
{
    return dlclose(hModule) == 0 ? 1 : 0;
}

DWORD PosixGetLastError()
{
    return static_cast<DWORD>(errno);
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

const RKOsCallTable s_DefaultCalls = {PosixLoadModule,    PosixGetSymbol,    PosixFreeModule,
                                      PosixGetLastError,  RKPosixOpenDevice, RKPosixCheckMedia,
                                      RKPosixCloseDevice, PosixSleep};
} // namespace

const RKOsCallTable& RKOsDefaultCalls()
{
    return s_DefaultCalls;
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
