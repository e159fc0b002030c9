// Windows transport of the system engine. Only Win32 code belongs here.
//
// Drives are the letters A: to Z: whose root GetDriveTypeW calls a CD-ROM,
// in letter order; the letter is the drive's own. A drive is opened as
// \\.\X: for reading and writing, shared both ways: pass-through commands
// need both rights. When write access is refused the drive is opened for
// reading alone, which still ejects, and a command the system then refuses
// says so. Every call goes through the transport's table of Win32 calls.
#include <windows.h>

#include <ntddscsi.h>
#include <winioctl.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "RKScTransport_win32.h"
#include "RKUtf8.h"

namespace
{
// Pass-through data buffers start on a page boundary: no adapter asks for
// more than that, so its alignment mask need not be asked for.
const std::size_t RKSC_WIN32_PAGE = 4096;
// The longest read the engine sends is a few kilobytes.
const std::size_t RKSC_WIN32_MAX_TRANSFER = 65536;

std::string ErrorText(DWORD dwError)
{
    wchar_t szText[256];
    DWORD dwLength = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                    dwError, 0, szText, sizeof(szText) / sizeof(szText[0]), nullptr);
    return RKScWin32ErrorTextOf(szText, dwLength, dwError);
}

bool IsGone(DWORD dwError)
{
    return dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_PATH_NOT_FOUND ||
           dwError == ERROR_INVALID_DRIVE || dwError == ERROR_DEV_NOT_EXIST ||
           dwError == ERROR_DEVICE_NOT_CONNECTED;
}

std::wstring WideText(const std::string& strText)
{
    return std::wstring(strText.begin(), strText.end());
}

// Closes the handle it holds exactly once, whatever path leaves its scope.
class CRKScWin32Handle
{
public:
    explicit CRKScWin32Handle(const RKScWin32Calls& stCalls)
        : m_stCalls(stCalls), m_hHandle(INVALID_HANDLE_VALUE)
    {
    }
    ~CRKScWin32Handle()
    {
        if (IsOpen())
            m_stCalls.pfnCloseHandle(m_hHandle);
    }
    CRKScWin32Handle(const CRKScWin32Handle&) = delete;
    CRKScWin32Handle& operator=(const CRKScWin32Handle&) = delete;

    // True when it opened; GetLastError says why not.
    bool Open(const std::wstring& strPath, DWORD dwAccess)
    {
        m_hHandle = m_stCalls.pfnCreateFileW(strPath.c_str(), dwAccess, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                             nullptr, OPEN_EXISTING, 0, nullptr);
        return IsOpen();
    }
    bool IsOpen() const { return m_hHandle != INVALID_HANDLE_VALUE && m_hHandle != nullptr; }
    HANDLE Get() const { return m_hHandle; }

private:
    const RKScWin32Calls& m_stCalls;
    HANDLE m_hHandle;
};

// What the system says the device is: "VENDOR PRODUCT" from its storage
// descriptor, every offset checked against the bytes that came back.
std::string DescriptorText(const std::uint8_t* pbData, std::size_t nLength, DWORD dwOffset)
{
    std::string strText;
    if (dwOffset < offsetof(STORAGE_DEVICE_DESCRIPTOR, RawDeviceProperties) || dwOffset >= nLength)
        return strText;
    for (std::size_t i = dwOffset; i < nLength && pbData[i] != 0; ++i)
    {
        if (pbData[i] >= 0x20 && pbData[i] < 0x7F)
            strText += static_cast<char>(pbData[i]);
    }
    std::string::size_type nFirst = strText.find_first_not_of(' ');
    if (nFirst == std::string::npos)
        return std::string();
    return strText.substr(nFirst, strText.find_last_not_of(' ') - nFirst + 1);
}

std::string ModelOfDescriptor(const std::uint8_t* pbData, std::size_t nLength)
{
    STORAGE_DEVICE_DESCRIPTOR stDescriptor;
    const std::size_t nFixed = offsetof(STORAGE_DEVICE_DESCRIPTOR, RawDeviceProperties);
    if (nLength < nFixed)
        return std::string();
    std::memcpy(&stDescriptor, pbData, nFixed);
    nLength = std::min<std::size_t>(nLength, stDescriptor.Size);
    std::string strVendor = DescriptorText(pbData, nLength, stDescriptor.VendorIdOffset);
    std::string strProduct = DescriptorText(pbData, nLength, stDescriptor.ProductIdOffset);
    if (strVendor.empty() || strProduct.empty())
        return strVendor + strProduct;
    return strVendor + " " + strProduct;
}

class CRKScWin32Device : public CRKScDevice
{
public:
    explicit CRKScWin32Device(const RKScWin32Calls& stCalls) : m_stCalls(stCalls), m_hDevice(m_stCalls) {}

    RKScWin32Calls m_stCalls;
    CRKScWin32Handle m_hDevice;
    // Why write access was refused; empty when the drive is open for both.
    std::string m_strWriteRefused;

    void SendCommand(const std::uint8_t* pbCdb, std::size_t nCdbLength, std::uint8_t* pbData,
                     std::size_t nDataLength, RKScCommandResult& stResult) override
    {
        stResult.eStatus = RKSC_COMMAND_FAILED;
        stResult.nTransferred = 0;
        stResult.nSenseLength = 0;
        if (!pbCdb || nCdbLength == 0 || nCdbLength > 16 || nDataLength > RKSC_WIN32_MAX_TRANSFER ||
            (nDataLength && !pbData))
        {
            stResult.strProblem = "command not sent: bad request";
            return;
        }
        std::uint8_t* pbAligned = AlignedBuffer(nDataLength);
        struct
        {
            SCSI_PASS_THROUGH_DIRECT stCommand;
            ULONG ulFiller;
            UCHAR abSense[RKSC_WIN32_SENSE_AREA];
        } stPass;
        std::memset(&stPass, 0, sizeof(stPass));
        stPass.stCommand.Length = sizeof(SCSI_PASS_THROUGH_DIRECT);
        stPass.stCommand.CdbLength = static_cast<UCHAR>(nCdbLength);
        stPass.stCommand.SenseInfoLength = static_cast<UCHAR>(RKSC_WIN32_SENSE_AREA);
        stPass.stCommand.SenseInfoOffset = offsetof(decltype(stPass), abSense);
        stPass.stCommand.DataIn = nDataLength ? SCSI_IOCTL_DATA_IN : SCSI_IOCTL_DATA_UNSPECIFIED;
        stPass.stCommand.DataTransferLength = static_cast<ULONG>(nDataLength);
        stPass.stCommand.DataBuffer = nDataLength ? pbAligned : nullptr;
        stPass.stCommand.TimeOutValue = (RKSC_COMMAND_TIMEOUT_MS + 999) / 1000;
        std::memcpy(stPass.stCommand.Cdb, pbCdb, nCdbLength);

        DWORD dwReturned = 0;
        if (!m_stCalls.pfnDeviceIoControl(m_hDevice.Get(), IOCTL_SCSI_PASS_THROUGH_DIRECT, &stPass,
                                          sizeof(stPass), &stPass, sizeof(stPass), &dwReturned, nullptr))
        {
            DWORD dwError = GetLastError();
            if (IsGone(dwError))
                stResult.eStatus = RKSC_COMMAND_GONE;
            stResult.bTimedOut = dwError == ERROR_SEM_TIMEOUT || dwError == ERROR_TIMEOUT;
            if (dwError == ERROR_ACCESS_DENIED && !m_strWriteRefused.empty())
                stResult.strProblem =
                    "refused: the drive is open for reading only (write access: " + m_strWriteRefused +
                    "), and commands need read and write access";
            else
                stResult.strProblem = "IOCTL_SCSI_PASS_THROUGH_DIRECT: " + ErrorText(dwError);
            return;
        }
        // What the drive sent, as far as the buffer goes: a larger count
        // would read past it.
        stResult.nTransferred = std::min<std::size_t>(stPass.stCommand.DataTransferLength, nDataLength);
        if (stResult.nTransferred)
            std::memcpy(pbData, pbAligned, stResult.nTransferred);
        if (stPass.stCommand.ScsiStatus == 0x00)
            stResult.eStatus = RKSC_COMMAND_GOOD;
        else if (stPass.stCommand.ScsiStatus == 0x02)
        {
            stResult.eStatus = RKSC_COMMAND_CHECK_CONDITION;
            stResult.nSenseLength = std::min<std::size_t>(
                {stPass.stCommand.SenseInfoLength, RKSC_WIN32_SENSE_AREA, RKSC_SENSE_MAX});
            std::memcpy(stResult.abSense, stPass.abSense, stResult.nSenseLength);
        }
        else
        {
            char szText[32];
            std::snprintf(szText, sizeof(szText), "SCSI status 0x%02x",
                          static_cast<unsigned int>(stPass.stCommand.ScsiStatus));
            stResult.strProblem = szText;
        }
    }

    // Windows keeps no state of the medium that this engine could read
    // without a command: the engine asks the drive.
    RKScDriveStatus GetDriveStatus() override { return RKSC_STATUS_UNKNOWN; }

    RKScEjectStatus Eject(std::string& strProblem) override
    {
        DWORD dwReturned = 0;
        if (m_stCalls.pfnDeviceIoControl(m_hDevice.Get(), IOCTL_STORAGE_EJECT_MEDIA, nullptr, 0, nullptr, 0,
                                         &dwReturned, nullptr))
            return RKSC_EJECT_DONE;
        DWORD dwError = GetLastError();
        switch (dwError)
        {
        // The class driver refuses while anyone holds the tray locked.
        case ERROR_BUSY:
        case ERROR_DRIVE_LOCKED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return RKSC_EJECT_BUSY;
        case ERROR_INVALID_FUNCTION:
        case ERROR_NOT_SUPPORTED:
            return RKSC_EJECT_NO_TRAY;
        case ERROR_ACCESS_DENIED:
            strProblem = "the system refused the eject: " + ErrorText(dwError);
            return RKSC_EJECT_FAILED;
        case ERROR_NOT_READY:
            // What a slot or caddy drive without a disc answers: a drive
            // with a tray opens it, medium or not.
            return RKSC_EJECT_EMPTY;
        default:
            strProblem = "IOCTL_STORAGE_EJECT_MEDIA: " + ErrorText(dwError);
            if (!IsGone(dwError))
                return RKSC_EJECT_FAILED;
            m_strGone = strProblem;
            return RKSC_EJECT_GONE;
        }
    }

    void Pause(DWORD dwMilliseconds) override { m_stCalls.pfnSleep(dwMilliseconds); }
    RKScTrayResult CloseTray(std::string& strProblem) override
    {
        DWORD dwReturned = 0;
        if (m_stCalls.pfnDeviceIoControl(m_hDevice.Get(), IOCTL_STORAGE_LOAD_MEDIA, nullptr, 0, nullptr, 0,
                                         &dwReturned, nullptr))
            return RKSC_TRAY_DONE;
        return TrayError(GetLastError(), "IOCTL_STORAGE_LOAD_MEDIA", strProblem);
    }

    // The system counts locks per handle and drops them when the handle
    // closes: the writer keeps this device open while it holds a lock.
    RKScTrayResult LockDoor(bool bLock, std::string& strProblem) override
    {
        PREVENT_MEDIA_REMOVAL stRemoval;
        stRemoval.PreventMediaRemoval = bLock ? TRUE : FALSE;
        DWORD dwReturned = 0;
        if (m_stCalls.pfnDeviceIoControl(m_hDevice.Get(), IOCTL_STORAGE_MEDIA_REMOVAL, &stRemoval,
                                         sizeof(stRemoval), nullptr, 0, &dwReturned, nullptr))
            return RKSC_TRAY_DONE;
        return TrayError(GetLastError(), "IOCTL_STORAGE_MEDIA_REMOVAL", strProblem);
    }

private:
    RKScTrayResult TrayError(DWORD dwError, const char* szCall, std::string& strProblem)
    {
        switch (dwError)
        {
        case ERROR_BUSY:
        case ERROR_DRIVE_LOCKED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return RKSC_TRAY_BUSY;
        case ERROR_INVALID_FUNCTION:
        case ERROR_NOT_SUPPORTED:
            return RKSC_TRAY_UNSUPPORTED;
        default:
            strProblem = std::string(szCall) + ": " + ErrorText(dwError);
            if (IsGone(dwError))
                m_strGone = strProblem;
            return RKSC_TRAY_FAILED;
        }
    }

    // A page-aligned buffer of at least nLength bytes, zeroed, kept for the
    // next command.
    std::uint8_t* AlignedBuffer(std::size_t nLength)
    {
        if (m_vecBuffer.size() < nLength + RKSC_WIN32_PAGE)
            m_vecBuffer.resize(nLength + RKSC_WIN32_PAGE);
        std::uintptr_t uAddress = reinterpret_cast<std::uintptr_t>(m_vecBuffer.data());
        std::uint8_t* pbAligned =
            m_vecBuffer.data() + (RKSC_WIN32_PAGE - uAddress % RKSC_WIN32_PAGE) % RKSC_WIN32_PAGE;
        std::memset(pbAligned, 0, nLength);
        return pbAligned;
    }

    std::vector<std::uint8_t> m_vecBuffer;
};

class CRKScWin32Transport : public CRKScTransport
{
public:
    explicit CRKScWin32Transport(const RKScWin32Calls& stCalls) : m_stCalls(stCalls) {}

    bool ListDrives(RKScDriveList& stList, std::string& strProblem) override
    {
        stList.vecDrives.clear();
        stList.vecUsedLetters.clear();
        DWORD dwLetters = m_stCalls.pfnGetLogicalDrives();
        if (dwLetters == 0)
        {
            DWORD dwError = GetLastError();
            strProblem = "GetLogicalDrives: " + ErrorText(dwError);
            return false;
        }
        for (WORD wIndex = 0; wIndex < 26; ++wIndex)
        {
            WORD wLetter = static_cast<WORD>('A' + wIndex);
            if (dwLetters & (1u << wIndex))
                stList.vecUsedLetters.push_back(wLetter);
            const wchar_t szRoot[] = {static_cast<wchar_t>(wLetter), L':', L'\\', 0};
            if (m_stCalls.pfnGetDriveTypeW(szRoot) != DRIVE_CDROM)
                continue;
            RKScDriveEntry stEntry;
            stEntry.strDevice = std::string("\\\\.\\") + static_cast<char>(wLetter) + ":";
            stEntry.wLetter = wLetter;
            stEntry.strModel = QueryModel(stEntry.strDevice);
            stList.vecDrives.push_back(stEntry);
        }
        return true;
    }

    std::unique_ptr<CRKScDevice> Open(const RKScDriveEntry& stEntry, std::string& strProblem) override
    {
        if (!stEntry.strProblem.empty())
        {
            strProblem = stEntry.strProblem;
            return nullptr;
        }
        // Made first, so that nothing can fail between open and ownership.
        std::unique_ptr<CRKScWin32Device> pDevice(new CRKScWin32Device(m_stCalls));
        std::wstring strPath = WideText(stEntry.strDevice);
        if (pDevice->m_hDevice.Open(strPath, GENERIC_READ | GENERIC_WRITE))
            return std::unique_ptr<CRKScDevice>(pDevice.release());
        DWORD dwError = GetLastError();
        if (dwError == ERROR_ACCESS_DENIED || dwError == ERROR_WRITE_PROTECT)
        {
            std::string strRefused = ErrorText(dwError);
            if (pDevice->m_hDevice.Open(strPath, GENERIC_READ))
            {
                pDevice->m_strWriteRefused = strRefused;
                return std::unique_ptr<CRKScDevice>(pDevice.release());
            }
            dwError = GetLastError();
        }
        if (IsGone(dwError))
            strProblem = RKSC_GONE_TEXT + ErrorText(dwError);
        else if (dwError == ERROR_ACCESS_DENIED)
            strProblem = "no access: " + ErrorText(dwError);
        else if (dwError == ERROR_SHARING_VIOLATION)
            strProblem = "another program holds the drive for itself: " + ErrorText(dwError);
        else
            strProblem = ErrorText(dwError);
        return nullptr;
    }

    // The library's own presence test (IOCTL_STORAGE_CHECK_VERIFY through
    // the letter) is the system's way: nothing better to offer here.
    bool ProvidesPresence() const override { return false; }
    bool LockNeedsDevice() const override { return true; }

private:
    // The system's "VENDOR PRODUCT", through a handle without read or write
    // access, which any user may open; empty when the system has none.
    std::string QueryModel(const std::string& strDevice)
    {
        CRKScWin32Handle hDevice(m_stCalls);
        if (!hDevice.Open(WideText(strDevice), 0))
            return std::string();
        STORAGE_PROPERTY_QUERY stQuery;
        std::memset(&stQuery, 0, sizeof(stQuery));
        stQuery.PropertyId = StorageDeviceProperty;
        stQuery.QueryType = PropertyStandardQuery;
        union
        {
            STORAGE_DEVICE_DESCRIPTOR stDescriptor;
            std::uint8_t abBytes[1024];
        } uAnswer;
        std::memset(&uAnswer, 0, sizeof(uAnswer));
        DWORD dwReturned = 0;
        if (!m_stCalls.pfnDeviceIoControl(hDevice.Get(), IOCTL_STORAGE_QUERY_PROPERTY, &stQuery,
                                          sizeof(stQuery), &uAnswer, sizeof(uAnswer), &dwReturned, nullptr) &&
            GetLastError() != ERROR_MORE_DATA)
            return std::string();
        return ModelOfDescriptor(uAnswer.abBytes, std::min<std::size_t>(dwReturned, sizeof(uAnswer)));
    }

    RKScWin32Calls m_stCalls;
};

const RKScWin32Calls s_SystemCalls = {GetDriveTypeW,   GetLogicalDrives, CreateFileW,
                                      DeviceIoControl, CloseHandle,      Sleep};
} // namespace

const RKScWin32Calls& RKScWin32SystemCalls()
{
    return s_SystemCalls;
}

std::string RKScWin32ErrorTextOf(const wchar_t* szText, DWORD dwLength, DWORD dwError)
{
    // The system's text as it is, in any language: UTF-16 to the trace's UTF-8.
    std::vector<unsigned short> vecText(szText, szText + dwLength);
    vecText.push_back(0);
    std::string strText = RKTextToUtf8(vecText.data());
    std::string::size_type nEnd = strText.find_last_not_of(" \t\r\n");
    strText.erase(nEnd == std::string::npos ? 0 : nEnd + 1);
    return (strText.empty() ? std::string() : strText + " ") + "(error " + std::to_string(dwError) + ")";
}

std::string RKScWin32ErrorText(DWORD dwError)
{
    return ErrorText(dwError);
}

std::shared_ptr<CRKScTransport> RKScCreateWin32Transport(const RKScWin32Calls& stCalls)
{
    return std::make_shared<CRKScWin32Transport>(stCalls);
}

std::shared_ptr<CRKScTransport> RKScCreateSystemTransport()
{
    return RKScCreateWin32Transport(RKScWin32SystemCalls());
}
