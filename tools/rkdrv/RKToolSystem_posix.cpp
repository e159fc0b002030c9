// POSIX side of the rkdrv tool. Only POSIX calls belong here.
#include <dlfcn.h>
#include <link.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <string>

#include "RKLog.h"
#include "RKToolSystem.h"

namespace
{
// Lock-free, so the handler may touch it.
std::atomic<int> s_nInterrupts{0};
static_assert(ATOMIC_INT_LOCK_FREE == 2, "the interrupt count must be lock-free");

struct sigaction s_OldAction;
bool s_bInstalled = false;

extern "C" void RKToolOnInterrupt(int)
{
    if (s_nInterrupts.fetch_add(1) >= 1)
    {
        static const char s_szMessage[] = "\nrkdrv: interrupted\n";
        ssize_t nIgnored = write(STDERR_FILENO, s_szMessage, sizeof(s_szMessage) - 1);
        (void)nIgnored;
        _exit(130);
    }
}

std::string RealPath(const char* szPath)
{
    if (!szPath || !*szPath)
        return std::string();
    char* szReal = realpath(szPath, nullptr);
    if (!szReal)
        return szPath;
    std::string strReal = szReal;
    free(szReal);
    return strReal;
}

std::string BaseName(const std::string& strPath)
{
    std::string::size_type nSlash = strPath.find_last_of('/');
    return nSlash == std::string::npos ? strPath : strPath.substr(nSlash + 1);
}

// "libRKDRVCL.so" -> "RKDRVCL".
std::string EngineNameOfFile(const std::string& strFile)
{
    std::string strName = strFile;
    if (strName.compare(0, 3, "lib") == 0)
        strName = strName.substr(3);
    std::string::size_type nSo = strName.find(".so");
    return nSo == std::string::npos ? strName : strName.substr(0, nSo);
}
} // namespace

void RKToolInstallInterruptHandler()
{
    struct sigaction stAction;
    std::memset(&stAction, 0, sizeof(stAction));
    stAction.sa_handler = RKToolOnInterrupt;
    sigemptyset(&stAction.sa_mask);
    stAction.sa_flags = SA_RESTART;
    s_bInstalled = sigaction(SIGINT, &stAction, &s_OldAction) == 0;
}

void RKToolRemoveInterruptHandler()
{
    if (s_bInstalled)
        sigaction(SIGINT, &s_OldAction, nullptr);
    s_bInstalled = false;
}

int RKToolInterruptCount()
{
    return s_nInterrupts.load();
}

bool RKToolStderrIsTerminal()
{
    return isatty(STDERR_FILENO) == 1;
}

int RKToolTerminalColumns()
{
    struct winsize stSize;
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &stSize) != 0)
        return 0;
    return stSize.ws_col;
}

void RKToolPrepareConsole() {}

bool RKToolSetEnvironment(const char* szName, const char* szValue)
{
    return (szValue ? setenv(szName, szValue, 1) : unsetenv(szName)) == 0;
}

std::string RKToolProgramFolder()
{
    std::string strPath = RealPath("/proc/self/exe");
    std::string::size_type nSlash = strPath.find_last_of('/');
    return nSlash == std::string::npos || strPath[0] != '/' ? std::string() : strPath.substr(0, nSlash);
}

void* RKToolHoldEngineModule(const std::string& strFolder, const std::string& strName)
{
    std::string strPath = strFolder + "/lib" + strName + ".so";
    return dlopen(strPath.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void RKToolReleaseModule(void* hModule)
{
    if (hModule)
        dlclose(hModule);
}

RKToolFileInfo RKToolLibraryFile()
{
    RKToolFileInfo stInfo;
    // The log's one instance lives inside the library, whatever the
    // program's own symbol tables say about the library's functions.
    Dl_info stSymbol;
    if (dladdr(static_cast<const void*>(CRKLog::GetInstance()), &stSymbol) == 0 || !stSymbol.dli_fname)
    {
        stInfo.strVersionSource = "the library's file could not be found";
        return stInfo;
    }
    stInfo.strPath = RealPath(stSymbol.dli_fname);
    stInfo.strName = "RKDRV";
    // The real file behind the links is named libRKDRV.so.MAJOR.MINOR.PATCH.
    std::string strFile = BaseName(stInfo.strPath);
    std::string::size_type nSo = strFile.find(".so.");
    if (nSo != std::string::npos && nSo + 4 < strFile.size())
    {
        stInfo.strVersion = strFile.substr(nSo + 4);
        stInfo.strVersionSource = "file name";
    }
    else
    {
        stInfo.strVersionSource = "the file name carries no version";
    }
    return stInfo;
}

RKToolFileInfo RKToolEngineFile(HINSTANCE hModule)
{
    RKToolFileInfo stInfo;
    struct link_map* pMap = nullptr;
    if (!hModule || dlinfo(hModule, RTLD_DI_LINKMAP, &pMap) != 0 || !pMap || !pMap->l_name)
    {
        stInfo.strVersionSource = "the engine's file could not be found";
        return stInfo;
    }
    stInfo.strPath = RealPath(pMap->l_name);
    stInfo.strName = EngineNameOfFile(BaseName(stInfo.strPath));
    stInfo.strVersionSource = "engine modules carry no version here";
    return stInfo;
}
