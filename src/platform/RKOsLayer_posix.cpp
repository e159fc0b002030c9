// POSIX backend of the operating-system layer. Only POSIX calls belong here.
#include <dlfcn.h>

#include <time.h>

#include <cerrno>
#include <string>

#include "RKOsDevice_posix.h"
#include "RKOsLayer.h"
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
