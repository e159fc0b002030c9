// The Windows transport with the Win32 calls it makes gathered in one
// table, so that a test can answer them itself. Only Win32 code belongs
// here.
#ifndef RKSCTRANSPORT_WIN32_H
#define RKSCTRANSPORT_WIN32_H

#include <windows.h>

#include <cstddef>
#include <memory>
#include <string>

#include "RKScTransport.h"

// Every system call of the transport. A replacement behaves as the system
// call does, SetLastError included; GetLastError itself is the system's.
struct RKScWin32Calls
{
    UINT(WINAPI* pfnGetDriveTypeW)(LPCWSTR szRoot);
    DWORD(WINAPI* pfnGetLogicalDrives)();
    HANDLE(WINAPI* pfnCreateFileW)
    (LPCWSTR szPath, DWORD dwAccess, DWORD dwShare, LPSECURITY_ATTRIBUTES pSecurity, DWORD dwDisposition,
     DWORD dwFlags, HANDLE hTemplate);
    BOOL(WINAPI* pfnDeviceIoControl)
    (HANDLE hDevice, DWORD dwCode, LPVOID pIn, DWORD dwInSize, LPVOID pOut, DWORD dwOutSize,
     LPDWORD pdwReturned, LPOVERLAPPED pOverlapped);
    BOOL(WINAPI* pfnCloseHandle)(HANDLE hObject);
    VOID(WINAPI* pfnSleep)(DWORD dwMilliseconds);
};

// The system's own functions.
const RKScWin32Calls& RKScWin32SystemCalls();

// The transport over these calls; it keeps its own copy of the table.
std::shared_ptr<CRKScTransport> RKScCreateWin32Transport(const RKScWin32Calls& stCalls);

// The system's text of an error and its number, as the transport's
// problems quote it: "Access is denied. (error 5)".
std::string RKScWin32ErrorText(DWORD dwError);
// The same of a text the system gave, dwLength characters of szText.
std::string RKScWin32ErrorTextOf(const wchar_t* szText, DWORD dwLength, DWORD dwError);

// Bytes of sense data a command can bring back: fixed-format sense is 18.
const std::size_t RKSC_WIN32_SENSE_AREA = 32;

#endif
