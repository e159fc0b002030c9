// Windows side of the rkdrv tool. Only Windows calls belong here.
#include <windows.h>

#include <stdlib.h>

#include <atomic>
#include <string>
#include <vector>

#include "RKLog.h"
#include "RKToolSystem.h"
#include "RKUtf8.h"

namespace
{
std::atomic<int> s_nInterrupts{0};
bool s_bInstalled = false;
// The console's output code page before the tool set UTF-8; 0 when it set
// none. Every way out puts it back: the user's console is not the tool's.
std::atomic<UINT> s_uOldOutputCP{0};

void RestoreOutputCP()
{
    UINT uOld = s_uOldOutputCP.exchange(0);
    if (uOld)
        SetConsoleOutputCP(uOld);
}

// Installed for the whole run: a Ctrl-C outside a wait, a closed console
// window, a logoff or a shutdown ends the process through the next handler
// (the system's), after the code page is back.
BOOL WINAPI RKToolOnConsoleEnd(DWORD)
{
    RestoreOutputCP();
    return FALSE;
}

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
        RestoreOutputCP();
        TerminateProcess(GetCurrentProcess(), 130);
    }
    return TRUE;
}

// Windows' wide texts are the interface's UTF-16: one conversion for both.
std::string Utf8OfWide(const wchar_t* szText)
{
    std::vector<unsigned short> vecText;
    for (; szText && *szText; ++szText)
        vecText.push_back(static_cast<unsigned short>(*szText));
    vecText.push_back(0);
    return RKTextToUtf8(vecText.data());
}

std::wstring WideOfUtf8(const std::string& strText)
{
    std::vector<unsigned short> vecText = RKTextFromUtf8(strText.c_str());
    return std::wstring(vecText.begin(), vecText.end() - 1);
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

// The class driver drops a program's locks when its handle closes.
bool RKToolLockEndsWithProgram()
{
    return true;
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
    UINT uOld = GetConsoleOutputCP();
    if (uOld == 0 || uOld == CP_UTF8)
        return;
    SetConsoleCtrlHandler(RKToolOnConsoleEnd, TRUE);
    s_uOldOutputCP = uOld;
    if (!SetConsoleOutputCP(CP_UTF8))
        s_uOldOutputCP = 0;
}

void RKToolRestoreConsole()
{
    RestoreOutputCP();
    SetConsoleCtrlHandler(RKToolOnConsoleEnd, FALSE);
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
    DWORD dwLength =
        GetFullPathNameW(strPath.c_str(), static_cast<DWORD>(vecFull.size()), vecFull.data(), nullptr);
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

RKToolDriveSearch RKToolSystemDriveSearch()
{
    return {"the drive letters A: to Z:, and no letter is a CD/DVD drive (GetDriveTypeW)",
            "a drive Windows does not show as a CD/DVD drive in Explorer is not seen: check that it is "
            "connected and has a letter (Disk Management); a disc image must be mounted to have one; "
            "under wine, give the drive a letter of type CD-ROM (winecfg)"};
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
