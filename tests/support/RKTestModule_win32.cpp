#include <windows.h>

#include <stdlib.h>

#include <string>

#include "RKTestModule.h"

namespace
{
std::wstring Wide(const std::string& strText)
{
    int nSize = MultiByteToWideChar(CP_UTF8, 0, strText.c_str(), -1, nullptr, 0);
    std::wstring strWide(nSize > 0 ? nSize : 1, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, strText.c_str(), -1, &strWide[0], nSize);
    strWide.resize(strWide.size() - 1);
    return strWide;
}

std::string Narrow(const std::wstring& strWide)
{
    int nSize = WideCharToMultiByte(CP_UTF8, 0, strWide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string strText(nSize > 0 ? nSize : 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, strWide.c_str(), -1, &strText[0], nSize, nullptr, nullptr);
    strText.resize(strText.size() - 1);
    return strText;
}

// The folder of the running test program, with a trailing backslash.
std::wstring ProgramFolder()
{
    wchar_t szPath[MAX_PATH];
    DWORD dwLength = GetModuleFileNameW(nullptr, szPath, MAX_PATH);
    std::wstring strPath(szPath, dwLength);
    return strPath.substr(0, strPath.find_last_of(L"\\/") + 1);
}

// The engine sets' root folder, found from the program's folder so that the
// build folder may be anywhere.
std::wstring EngineRoot()
{
    std::wstring strRelative = Wide(RKTEST_ROOT_FROM_PROGRAM);
    for (wchar_t& c : strRelative)
    {
        if (c == L'/')
            c = L'\\';
    }
    std::wstring strJoined = ProgramFolder() + strRelative;
    wchar_t szFull[MAX_PATH];
    DWORD dwLength = GetFullPathNameW(strJoined.c_str(), MAX_PATH, szFull, nullptr);
    std::wstring strRoot(szFull, dwLength);
    if (strRoot.empty() || strRoot.back() != L'\\')
        strRoot += L'\\';
    return strRoot;
}
} // namespace

std::string RKTestEngineFolder(const char* szSet)
{
    return Narrow(EngineRoot()) + szSet + "\\";
}

std::string RKTestEngineFile(const char* szSet, const char* szName)
{
    return RKTestEngineFolder(szSet) + szName + ".DLL";
}

void* RKTestModuleHandle(const std::string& strPath)
{
    // Takes no reference; the loader compares paths without regard to case.
    return GetModuleHandleW(Wide(strPath).c_str());
}

bool RKTestIsModuleLoaded(const std::string& strPath)
{
    return RKTestModuleHandle(strPath) != nullptr;
}

void RKTestSetEnv(const char* szName, const char* szValue)
{
    // msvcrt's copy of the environment, which getenv reads in every module
    // of the process; an empty value removes the variable.
    _putenv_s(szName, szValue ? szValue : "");
}

bool RKTestOrdinarySearchReaches(const char* szSet)
{
    // The search starts in the program's own folder.
    return CompareStringOrdinal(Wide(RKTestEngineFolder(szSet)).c_str(), -1, ProgramFolder().c_str(), -1,
                                TRUE) == CSTR_EQUAL;
}

std::string RKTestProgramFile(const char* szName)
{
    return Narrow(ProgramFolder()) + szName;
}

void* RKTestLoadModule(const std::string& strPath)
{
    return LoadLibraryW(Wide(strPath).c_str());
}

void RKTestFreeModule(void* hModule)
{
    FreeLibrary(static_cast<HMODULE>(hModule));
}

void* RKTestStartProgram(const std::string& strPath, const std::vector<std::string>& vecArgs)
{
    std::wstring strCommand = L"\"" + Wide(strPath) + L"\"";
    for (const std::string& strArg : vecArgs)
        strCommand += L" \"" + Wide(strArg) + L"\"";
    STARTUPINFOW stStartup = {};
    stStartup.cb = sizeof(stStartup);
    PROCESS_INFORMATION stProcess = {};
    if (!CreateProcessW(Wide(strPath).c_str(), &strCommand[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &stStartup, &stProcess))
        return nullptr;
    CloseHandle(stProcess.hThread);
    return stProcess.hProcess;
}

int RKTestWaitProgram(void* hProgram)
{
    if (!hProgram)
        return -1;
    WaitForSingleObject(hProgram, INFINITE);
    DWORD dwExitCode = 0;
    BOOL bOk = GetExitCodeProcess(hProgram, &dwExitCode);
    CloseHandle(hProgram);
    return bOk ? static_cast<int>(dwExitCode) : -1;
}

int RKTestRunProgram(const std::string& strPath, const std::vector<std::string>& vecArgs)
{
    return RKTestWaitProgram(RKTestStartProgram(strPath, vecArgs));
}

const char* RKTestNativeLineEnd()
{
    return "\r\n";
}

bool RKTestLongPathsUsable()
{
    // Without the long-path opt-in, folders and programs stop at MAX_PATH.
    return false;
}
