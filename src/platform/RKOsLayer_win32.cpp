// Win32 backend of the operating-system layer. Only Win32 calls belong here.
#include <windows.h>

#include <shlwapi.h>
#include <winioctl.h>
#include <winver.h>

#include <string>

#include "RKOsLayer.h"

namespace
{
// UTF-16 in both, but a text of unsigned short is copied into wchar_t
// rather than read through a pointer of another type.
std::wstring WideText(const unsigned short* szText)
{
    std::wstring strWide;
    for (; szText && *szText; ++szText)
        strWide += static_cast<wchar_t>(*szText);
    return strWide;
}

HINSTANCE Win32LoadModule(const unsigned short* szName)
{
    if (!szName || !*szName)
        return nullptr;
    try
    {
        // The application's folder, the folders added with AddDllDirectory
        // and System32 only: never the current directory or PATH, where
        // anyone may have planted a module under an engine's name.
        return LoadLibraryExW(WideText(szName).c_str(), nullptr, LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
    }
    catch (...)
    {
        return nullptr;
    }
}

RKOsProc Win32GetSymbol(HINSTANCE hModule, const char* szSymbol)
{
    return reinterpret_cast<RKOsProc>(GetProcAddress(hModule, szSymbol));
}

int Win32FreeModule(HINSTANCE hModule)
{
    return FreeLibrary(hModule) ? 1 : 0;
}

RKOsDevice Win32OpenDevice(const unsigned short* szPath)
{
    if (!szPath)
        return nullptr;
    try
    {
        // Shared both ways: a program that holds the drive for writing (a
        // burning program) would otherwise make the open fail with a
        // sharing violation, and a busy drive read as an empty one.
        HANDLE hDevice = CreateFileW(WideText(szPath).c_str(), GENERIC_READ,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        return hDevice == INVALID_HANDLE_VALUE ? nullptr : hDevice;
    }
    catch (...)
    {
        return nullptr;
    }
}

int Win32CheckMedia(RKOsDevice hDevice)
{
    DWORD dwBytes = 0;
    if (DeviceIoControl(hDevice, IOCTL_STORAGE_CHECK_VERIFY, nullptr, 0, nullptr, 0, &dwBytes, nullptr))
        return 1;
    // The first check after a disc change reports the change, not the disc.
    return GetLastError() == ERROR_MEDIA_CHANGED ? RKOS_MEDIA_CHANGED : 0;
}

void Win32CloseDevice(RKOsDevice hDevice)
{
    CloseHandle(hDevice);
}

void Win32Sleep(DWORD dwMilliseconds)
{
    Sleep(dwMilliseconds);
}

unsigned long long Win32MonotonicMs()
{
    return GetTickCount64();
}

// An auto-reset event: a console control handler, which runs on a thread
// of its own, may set it.
RKOsWake Win32CreateWake()
{
    return CreateEventW(nullptr, FALSE, FALSE, nullptr);
}

void Win32SetWake(RKOsWake hWake)
{
    SetEvent(hWake);
}

int Win32WaitWake(RKOsWake hWake, DWORD dwMilliseconds)
{
    return WaitForSingleObject(hWake, dwMilliseconds) == WAIT_OBJECT_0 ? 1 : 0;
}

void Win32CloseWake(RKOsWake hWake)
{
    CloseHandle(hWake);
}

// The letters whose root is an optical drive, one bit each. Asking for a
// letter's type reads the system's records, not the drive.
int Win32DriveListStamp(unsigned long long* pullStamp)
{
    DWORD dwLetters = GetLogicalDrives();
    if (dwLetters == 0)
        return 0;
    unsigned long long ullStamp = 0;
    wchar_t szRoot[] = L"A:\\";
    for (int i = 0; i < 26; ++i)
    {
        if (!(dwLetters & (1u << i)))
            continue;
        szRoot[0] = static_cast<wchar_t>(L'A' + i);
        if (GetDriveTypeW(szRoot) == DRIVE_CDROM)
            ullStamp |= 1ull << i;
    }
    *pullStamp = ullStamp;
    return 1;
}

const RKOsCallTable s_DefaultCalls = {Win32LoadModule,    Win32GetSymbol,   Win32FreeModule, Win32OpenDevice,
                                      Win32CheckMedia,    Win32CloseDevice, Win32Sleep,      Win32MonotonicMs,
                                      Win32CreateWake,    Win32SetWake,     Win32WaitWake,   Win32CloseWake,
                                      Win32DriveListStamp};
} // namespace

const RKOsCallTable& RKOsDefaultCalls()
{
    return s_DefaultCalls;
}

// The trace file.

RKOsFile RKOsOpenAppendFileNamedBy(const char* szVariable)
{
    wchar_t szName[64];
    int i = 0;
    for (; szVariable[i] != 0 && i + 1 < 64; ++i)
        szName[i] = static_cast<wchar_t>(szVariable[i]);
    szName[i] = 0;
    // Read wide, so that a path outside the ANSI code page is kept.
    DWORD dwLength = GetEnvironmentVariableW(szName, nullptr, 0);
    if (dwLength <= 1)
        return nullptr;
    std::wstring strPath(dwLength, L'\0');
    if (GetEnvironmentVariableW(szName, &strPath[0], dwLength) + 1 != dwLength)
        return nullptr;
    // Append access without write access: every write lands at the end of
    // the file. Read access is there for the lock that RKOsAppendFile takes.
    HANDLE hFile = CreateFileW(strPath.c_str(), FILE_APPEND_DATA | FILE_READ_DATA,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    return hFile == INVALID_HANDLE_VALUE ? nullptr : hFile;
}

void RKOsAppendFile(RKOsFile hFile, const char* pData, DWORD dwSize)
{
    // Every process tracing into the file takes this one-byte lock, far
    // beyond any end of file, around its write: where appends are not one
    // step (wine finds the end, then writes), two writers could otherwise
    // land at the same end and cut each other's lines.
    OVERLAPPED stLock = {};
    stLock.Offset = 0xFFFFFFFE;
    stLock.OffsetHigh = 0x7FFFFFFF;
    BOOL bLocked = LockFileEx(hFile, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &stLock);
    DWORD dwWritten = 0;
    WriteFile(hFile, pData, dwSize, &dwWritten, nullptr);
    if (bLocked)
        UnlockFileEx(hFile, 0, 1, 0, &stLock);
}

void RKOsCloseFile(RKOsFile hFile)
{
    CloseHandle(hFile);
}

// Paths for the local log.

char RKOsPathSeparator()
{
    return '\\';
}

bool RKOsGetHostExecutablePath(char* szPath, DWORD dwSize)
{
    DWORD dwLength = GetModuleFileNameA(nullptr, szPath, dwSize);
    // A length equal to the size means the path was cut.
    return dwLength > 0 && dwLength < dwSize;
}

void RKOsRemoveFileSpec(char* szPath)
{
    PathRemoveFileSpecA(szPath);
}

bool RKOsPathExists(const char* szPath)
{
    return PathFileExistsA(szPath) != FALSE;
}

void RKOsDeleteFile(const char* szPath)
{
    DeleteFileA(szPath);
}

namespace
{
// This library's own file, found by its module name. Under another file
// name the lookup finds nothing and the host executable is named instead.
bool OwnModulePathWide(wchar_t* szPath, DWORD dwSize)
{
    DWORD dwLength = GetModuleFileNameW(GetModuleHandleW(L"RKDRV"), szPath, dwSize);
    return dwLength > 0 && dwLength < dwSize;
}
} // namespace

bool RKOsGetOwnModulePath(char* szPath, DWORD dwSize)
{
    wchar_t szWide[MAX_PATH];
    if (dwSize == 0 || !OwnModulePathWide(szWide, MAX_PATH))
        return false;
    // One byte per character; what one byte cannot hold becomes '?'.
    DWORD i = 0;
    for (; szWide[i] != 0 && i + 1 < dwSize; ++i)
        szPath[i] = szWide[i] < 0x100 ? static_cast<char>(szWide[i]) : '?';
    szPath[i] = '\0';
    return szWide[i] == 0;
}

bool RKOsGetOwnFileVersion(WORD awVersion[4])
{
    wchar_t szPath[MAX_PATH];
    if (!OwnModulePathWide(szPath, MAX_PATH))
        return false;
    DWORD dwHandle = 0;
    DWORD dwSize = GetFileVersionInfoSizeW(szPath, &dwHandle);
    if (dwSize == 0)
        return false;
    HANDLE hHeap = GetProcessHeap();
    void* pBuffer = HeapAlloc(hHeap, 0, dwSize);
    if (!pBuffer)
        return false;
    bool bFound = false;
    VS_FIXEDFILEINFO* pInfo = nullptr;
    UINT uLength = 0;
    if (GetFileVersionInfoW(szPath, dwHandle, dwSize, pBuffer) &&
        VerQueryValueW(pBuffer, L"\\", reinterpret_cast<void**>(&pInfo), &uLength) && pInfo &&
        uLength >= sizeof(VS_FIXEDFILEINFO))
    {
        awVersion[0] = HIWORD(pInfo->dwFileVersionMS);
        awVersion[1] = LOWORD(pInfo->dwFileVersionMS);
        awVersion[2] = HIWORD(pInfo->dwFileVersionLS);
        awVersion[3] = LOWORD(pInfo->dwFileVersionLS);
        bFound = true;
    }
    HeapFree(hHeap, 0, pBuffer);
    return bFound;
}
