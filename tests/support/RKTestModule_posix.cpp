#include <dlfcn.h>
#include <stdlib.h>

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
