#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <stdlib.h>

#include <cstdint>
#include <string>

#include "RKTestModule.h"

std::string RKTestEngineFolder(const char* szSet)
{
    return std::string(RKTEST_ENGINE_ROOT) + "/" + szSet + "/";
}

std::string RKTestEngineFile(const char* szSet, const char* szName)
{
    return RKTestEngineFolder(szSet) + "lib" + szName + ".so";
}

void* RKTestModuleHandle(const std::string& strPath)
{
    // RTLD_NOLOAD takes a reference only on a module already loaded; it is
    // dropped at once, leaving the count as it was.
    void* hModule = dlopen(strPath.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (hModule)
        dlclose(hModule);
    return hModule;
}

bool RKTestIsModuleLoaded(const std::string& strPath)
{
    return RKTestModuleHandle(strPath) != nullptr;
}

void RKTestSetEnv(const char* szName, const char* szValue)
{
    if (szValue)
        setenv(szName, szValue, 1);
    else
        unsetenv(szName);
}

bool RKTestOrdinarySearchReaches(const char* szSet)
{
    // glibc reads the path at start-up; ctest sets it for the loader tests.
    const char* szPath = getenv("LD_LIBRARY_PATH");
    std::string strFolder = RKTestEngineFolder(szSet);
    strFolder.pop_back();
    return szPath && std::string(szPath).find(strFolder) != std::string::npos;
}

void* RKTestLoadModule(const std::string& strPath)
{
    return dlopen(strPath.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void RKTestFreeModule(void* hModule)
{
    dlclose(hModule);
}

void* RKTestStartProgram(const std::string& strPath, const std::vector<std::string>& vecArgs)
{
    std::vector<char*> vecArgv;
    vecArgv.push_back(const_cast<char*>(strPath.c_str()));
    for (const std::string& strArg : vecArgs)
        vecArgv.push_back(const_cast<char*>(strArg.c_str()));
    vecArgv.push_back(nullptr);
    pid_t nPid = fork();
    if (nPid < 0)
        return nullptr;
    if (nPid == 0)
    {
        execv(strPath.c_str(), vecArgv.data());
        _exit(127);
    }
    return reinterpret_cast<void*>(static_cast<std::intptr_t>(nPid));
}

int RKTestWaitProgram(void* hProgram)
{
    pid_t nPid = static_cast<pid_t>(reinterpret_cast<std::intptr_t>(hProgram));
    int nStatus = 0;
    if (!hProgram || waitpid(nPid, &nStatus, 0) != nPid || !WIFEXITED(nStatus))
        return -1;
    return WEXITSTATUS(nStatus);
}

int RKTestRunProgram(const std::string& strPath, const std::vector<std::string>& vecArgs)
{
    return RKTestWaitProgram(RKTestStartProgram(strPath, vecArgs));
}

const char* RKTestNativeLineEnd()
{
    return "\n";
}

std::string RKTestProgramFile(const char* szName)
{
    char szPath[4096];
    ssize_t nLength = readlink("/proc/self/exe", szPath, sizeof(szPath) - 1);
    std::string strPath(szPath, nLength > 0 ? static_cast<std::size_t>(nLength) : 0);
    return strPath.substr(0, strPath.find_last_of('/') + 1) + szName;
}

bool RKTestLongPathsUsable()
{
    return true;
}
