// Win32 backend of the operating-system layer. Only Win32 calls belong here.
#include <windows.h>

#include <winioctl.h>

#include "RKOsLayer.h"

namespace
{
const wchar_t* WideText(const unsigned short* szText)
{
    // UTF-16 in both; wchar_t is 16 bits on Windows.
    return reinterpret_cast<const wchar_t*>(szText);
}

HINSTANCE Win32LoadModule(const unsigned short* szName)
{
    if (!szName || !*szName)
        return nullptr;
    // The application's folder, the folders added with AddDllDirectory and
    // System32 only: never the current directory or PATH, where anyone may
    // have planted a module under an engine's name.
    return LoadLibraryExW(WideText(szName), nullptr, LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
}

RKOsProc Win32GetSymbol(HINSTANCE hModule, const char* szSymbol)
{
    return reinterpret_cast<RKOsProc>(GetProcAddress(hModule, szSymbol));
}

int Win32FreeModule(HINSTANCE hModule)
{
    return FreeLibrary(hModule) ? 1 : 0;
}

DWORD Win32GetLastError()
{
    return GetLastError();
}

RKOsDevice Win32OpenDevice(const unsigned short* szPath)
{
    if (!szPath)
        return nullptr;
    HANDLE hDevice =
        CreateFileW(WideText(szPath), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    return hDevice == INVALID_HANDLE_VALUE ? nullptr : hDevice;
}

int Win32CheckMedia(RKOsDevice hDevice)
{
    DWORD dwBytes = 0;
    return DeviceIoControl(hDevice, IOCTL_STORAGE_CHECK_VERIFY, nullptr, 0, nullptr, 0, &dwBytes, nullptr);
}

void Win32CloseDevice(RKOsDevice hDevice)
{
    CloseHandle(hDevice);
}

void Win32Sleep(DWORD dwMilliseconds)
{
    Sleep(dwMilliseconds);
}

const RKOsCallTable s_DefaultCalls = {Win32LoadModule, Win32GetSymbol,  Win32FreeModule,  Win32GetLastError,
                                      Win32OpenDevice, Win32CheckMedia, Win32CloseDevice, Win32Sleep};
} // namespace

const RKOsCallTable& RKOsDefaultCalls()
{
    return s_DefaultCalls;
}
