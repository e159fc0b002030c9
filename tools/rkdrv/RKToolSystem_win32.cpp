// Windows side of the rkdrv tool. Only Windows calls belong here.
#include <windows.h>

#include <stdlib.h>

#include <atomic>
#include <string>
#include <vector>

#include "RKLog.h"
#include "RKToolSystem.h"

namespace
{
std::atomic<int> s_nInterrupts{0};
bool s_bInstalled = false;

// Runs on a thread of its own, which the system starts for each press.
BOOL WINAPI RKToolOnConsoleControl(DWORD dwType)
{
    if (dwType != CTRL_C_EVENT && dwType != CTRL_BREAK_EVENT)
        return FALSE;
    if (s_nInterrupts.fetch_add(1) >= 1)
    {
        static const char s_szMessage[] = "\r\nrkdrv: interrupted\r\n";
        DWORD dwWritten = 0;
        WriteFile(GetStdHandle(STD_ERROR_HANDLE), s_szMessage, sizeof(s_szMessage) - 1, &dwWritten, nullptr);
        TerminateProcess(GetCurrentProcess(), 130);
    }
    return TRUE;
}

std::string Utf8OfWide(const wchar_t* szText)
{
    int nBytes = WideCharToMultiByte(CP_UTF8, 0, szText, -1, nullptr, 0, nullptr, nullptr);
    if (nBytes <= 1)
        return std::string();
    std::string strOut(static_cast<std::string::size_type>(nBytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, szText, -1, &strOut[0], nBytes, nullptr, nullptr);
    strOut.resize(static_cast<std::string::size_type>(nBytes - 1));
    return strOut;
}

std::wstring WideOfUtf8(const std::string& strText)
{
    int nChars = MultiByteToWideChar(CP_UTF8, 0, strText.c_str(), -1, nullptr, 0);
    if (nChars <= 1)
        return std::wstring();
    std::wstring strOut(static_cast<std::wstring::size_type>(nChars), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, strText.c_str(), -1, &strOut[0], nChars);
    strOut.resize(static_cast<std::wstring::size_type>(nChars - 1));
    return strOut;
}

// The module's full path; empty when it cannot be read whole.
std::wstring ModulePath(HMODULE hModule)
{
    std::vector<wchar_t> vecPath(MAX_PATH);
    for (int nTry = 0; nTry < 6; ++nTry)
    {
        DWORD dwLength = GetModuleFileNameW(hModule, vecPath.data(), static_cast<DWORD>(vecPath.size()));
        if (dwLength == 0)
            return std::wstring();
        if (dwLength < vecPath.size())
            return std::wstring(vecPath.data(), dwLength);
        vecPath.resize(vecPath.size() * 2);
    }
    return std::wstring();
}

// "1.0.0.0" from the file's version resource, or empty.
std::string FileVersion(const std::wstring& strPath)
{
    DWORD dwHandle = 0;
    DWORD dwSize = GetFileVersionInfoSizeW(strPath.c_str(), &dwHandle);
    if (dwSize == 0)
        return std::string();
    std::vector<unsigned char> abBuffer(dwSize);
    if (!GetFileVersionInfoW(strPath.c_str(), 0, dwSize, abBuffer.data()))
        return std::string();
    VS_FIXEDFILEINFO* pFixed = nullptr;
    UINT uLength = 0;
    if (!VerQueryValueW(abBuffer.data(), L"\\", reinterpret_cast<void**>(&pFixed), &uLength) || !pFixed ||
        uLength < sizeof(VS_FIXEDFILEINFO))
        return std::string();
    return std::to_string(HIWORD(pFixed->dwFileVersionMS)) + "." +
           std::to_string(LOWORD(pFixed->dwFileVersionMS)) + "." +
           std::to_string(HIWORD(pFixed->dwFileVersionLS)) + "." +
           std::to_string(LOWORD(pFixed->dwFileVersionLS));
}

RKToolFileInfo InfoOfModule(HMODULE hModule)
{
    RKToolFileInfo stInfo;
    std::wstring strPath = ModulePath(hModule);
    if (strPath.empty())
    {
        stInfo.strVersionSource = "the module's file could not be found";
        return stInfo;
    }
    stInfo.strPath = Utf8OfWide(strPath.c_str());
    std::string::size_type nSlash = stInfo.strPath.find_last_of("\\/");
    std::string strFile = nSlash == std::string::npos ? stInfo.strPath : stInfo.strPath.substr(nSlash + 1);
    std::string::size_type nDot = strFile.find_last_of('.');
    stInfo.strName = nDot == std::string::npos ? strFile : strFile.substr(0, nDot);
    stInfo.strVersion = FileVersion(strPath);
    stInfo.strVersionSource =
        stInfo.strVersion.empty() ? "the file has no version resource" : "version resource";
    return stInfo;
}
} // namespace

void RKToolInstallInterruptHandler()
{
    s_bInstalled = SetConsoleCtrlHandler(RKToolOnConsoleControl, TRUE) != 0;
}

void RKToolRemoveInterruptHandler()
{
    if (s_bInstalled)
        SetConsoleCtrlHandler(RKToolOnConsoleControl, FALSE);
    s_bInstalled = false;
}

int RKToolInterruptCount()
{
    return s_nInterrupts.load();
}

bool RKToolStderrIsTerminal()
{
    DWORD dwMode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &dwMode) != 0;
}

int RKToolTerminalColumns()
{
    CONSOLE_SCREEN_BUFFER_INFO stBuffer;
    if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &stBuffer))
        return 0;
    return stBuffer.srWindow.Right - stBuffer.srWindow.Left + 1;
}

void RKToolPrepareConsole()
{
    SetConsoleOutputCP(CP_UTF8);
}

bool RKToolSetEnvironment(const char* szName, const char* szValue)
{
    // The C runtime's copy, which getenv in every module reads, and the
    // process environment alike; "" removes the variable.
    return _putenv_s(szName, szValue ? szValue : "") == 0;
}

std::string RKToolProgramFolder()
{
    std::wstring strPath = ModulePath(nullptr);
    std::wstring::size_type nSlash = strPath.find_last_of(L"\\/");
    return nSlash == std::wstring::npos ? std::string() : Utf8OfWide(strPath.substr(0, nSlash).c_str());
}

void* RKToolHoldEngineModule(const std::string& strFolder, const std::string& strName)
{
    // A module of that name already loaded is what a load by name returns,
    // whichever folder it came from.
    std::wstring strPath = WideOfUtf8(strFolder + "\\" + strName + ".DLL");
    // A load that searches the module's own folder wants a whole path,
    // with backslashes only.
    for (wchar_t& c : strPath)
    {
        if (c == L'/')
            c = L'\\';
    }
    std::vector<wchar_t> vecFull(32768);
    DWORD dwLength = GetFullPathNameW(strPath.c_str(), static_cast<DWORD>(vecFull.size()), vecFull.data(), nullptr);
    if (dwLength == 0 || dwLength >= vecFull.size())
        return nullptr;
    return LoadLibraryExW(vecFull.data(), nullptr,
                          LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
}

void RKToolReleaseModule(void* hModule)
{
    if (hModule)
        FreeLibrary(static_cast<HMODULE>(hModule));
}

RKToolFileInfo RKToolLibraryFile()
{
    HMODULE hLibrary = nullptr;
    // The log's one instance lives inside the library.
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(CRKLog::GetInstance()), &hLibrary))
    {
        RKToolFileInfo stInfo;
        stInfo.strVersionSource = "the library's file could not be found";
        return stInfo;
    }
    return InfoOfModule(hLibrary);
}

RKToolFileInfo RKToolEngineFile(HINSTANCE hModule)
{
    if (!hModule)
    {
        RKToolFileInfo stInfo;
        stInfo.strVersionSource = "the engine's file could not be found";
        return stInfo;
    }
    return InfoOfModule(hModule);
}
