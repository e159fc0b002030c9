// The Windows transport over Win32 calls answered here: letters, opens and
// their refusals, pass-through packets, ejects, the engine on top of them;
// and the built engine module over the system's own calls. Only Win32 code
// belongs here.
#include <windows.h>

#include <ntddscsi.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "RKDRVFunctions.h"
#include "RKSystemEngine.h"
#include "RKScFakeTransport.h"
#include "RKScManager.h"
#include "RKScTestTrace.h"
#include "RKScTransport_win32.h"
#include "RKScWriter.h"

using namespace std::string_literals;

namespace
{
const DWORD READ_WRITE = GENERIC_READ | GENERIC_WRITE;
const std::size_t DESCRIPTOR_FIXED = offsetof(STORAGE_DEVICE_DESCRIPTOR, RawDeviceProperties);

// One pass-through answer. The data goes into the buffer as far as it is
// long; ulReported and bSenseReported, unless ~0 and 0xFF, are what the
// system claims instead of what it copied.
struct RKScFakePacket
{
    UCHAR bStatus;
    RKScBytes vecData;
    ULONG ulReported;
    RKScBytes vecSense;
    UCHAR bSenseReported;
};

RKScFakePacket Answered(const RKScBytes& vecData, ULONG ulReported = ~0u)
{
    return {0x00, vecData, ulReported, {}, 0xFF};
}
RKScFakePacket Checked(const RKScBytes& vecSense, UCHAR bSenseReported = 0xFF)
{
    return {0x02, {}, ~0u, vecSense, bSenseReported};
}

// A packet as the transport sent it, and where its buffers were.
struct RKScSentPacket
{
    SCSI_PASS_THROUGH_DIRECT stPacket;
    DWORD dwInSize;
    DWORD dwOutSize;
    bool bInIsOut;
};

// The system as the tests make it. One at a time: the calls are plain
// functions and find it through s_pSystem.
struct RKScFakeSystem
{
    DWORD dwLetters = 0;
    DWORD dwLettersError = 0;
    std::map<wchar_t, UINT> mapTypes;
    std::vector<std::wstring> vecTypeRoots;
    // CreateFileW of (path, access) fails with the error given here.
    std::map<std::pair<std::wstring, DWORD>, DWORD> mapOpenErrors;
    struct RKScOpen
    {
        std::wstring strPath;
        DWORD dwAccess;
        DWORD dwShare;
        DWORD dwDisposition;
        HANDLE hHandle;
    };
    std::vector<RKScOpen> vecOpens;
    std::vector<HANDLE> vecCloses;
    std::vector<DWORD> vecCodes;
    // IOCTL_STORAGE_QUERY_PROPERTY: these bytes, or this error.
    RKScBytes vecDescriptor;
    DWORD dwDescriptorError = 0;
    // IOCTL_SCSI_PASS_THROUGH_DIRECT: one queue per operation code, whose
    // last answer repeats, unless the call fails with dwPacketError.
    std::map<std::uint8_t, std::vector<RKScFakePacket>> mapPackets;
    DWORD dwPacketError = 0;
    std::vector<RKScSentPacket> vecPackets;
    DWORD dwEjectError = 0;
    std::uintptr_t uNextHandle = 0x100;
};

RKScFakeSystem* s_pSystem = nullptr;

BOOL Fail(DWORD dwError)
{
    SetLastError(dwError);
    return FALSE;
}

UINT WINAPI FakeGetDriveTypeW(LPCWSTR szRoot)
{
    s_pSystem->vecTypeRoots.push_back(szRoot);
    auto it = s_pSystem->mapTypes.find(szRoot[0]);
    return it == s_pSystem->mapTypes.end() ? DRIVE_NO_ROOT_DIR : it->second;
}

DWORD WINAPI FakeGetLogicalDrives()
{
    SetLastError(s_pSystem->dwLettersError);
    return s_pSystem->dwLetters;
}

HANDLE WINAPI FakeCreateFileW(LPCWSTR szPath, DWORD dwAccess, DWORD dwShare, LPSECURITY_ATTRIBUTES,
                              DWORD dwDisposition, DWORD, HANDLE)
{
    auto it = s_pSystem->mapOpenErrors.find({szPath, dwAccess});
    HANDLE hHandle = INVALID_HANDLE_VALUE;
    if (it == s_pSystem->mapOpenErrors.end())
        hHandle = reinterpret_cast<HANDLE>(s_pSystem->uNextHandle++);
    s_pSystem->vecOpens.push_back({szPath, dwAccess, dwShare, dwDisposition, hHandle});
    if (hHandle == INVALID_HANDLE_VALUE)
        SetLastError(it->second);
    return hHandle;
}

BOOL WINAPI FakeCloseHandle(HANDLE hHandle)
{
    s_pSystem->vecCloses.push_back(hHandle);
    return TRUE;
}

BOOL AnswerPacket(LPVOID pIn, DWORD dwInSize, LPVOID pOut, DWORD dwOutSize)
{
    auto* pPacket = static_cast<SCSI_PASS_THROUGH_DIRECT*>(pOut);
    s_pSystem->vecPackets.push_back({*pPacket, dwInSize, dwOutSize, pIn == pOut});
    if (s_pSystem->dwPacketError)
        return Fail(s_pSystem->dwPacketError);
    std::vector<RKScFakePacket>& vecQueue = s_pSystem->mapPackets[pPacket->Cdb[0]];
    RKScFakePacket stAnswer = vecQueue.empty() ? Checked(FixedSense(5, 0x20, 0)) : vecQueue.front();
    if (vecQueue.size() > 1)
        vecQueue.erase(vecQueue.begin());
    std::size_t nCopied = std::min<std::size_t>(stAnswer.vecData.size(), pPacket->DataTransferLength);
    std::copy_n(stAnswer.vecData.begin(), nCopied, static_cast<std::uint8_t*>(pPacket->DataBuffer));
    pPacket->DataTransferLength =
        stAnswer.ulReported == ~0u ? static_cast<ULONG>(nCopied) : stAnswer.ulReported;
    pPacket->ScsiStatus = stAnswer.bStatus;
    std::size_t nSense = std::min<std::size_t>(stAnswer.vecSense.size(), pPacket->SenseInfoLength);
    std::copy_n(stAnswer.vecSense.begin(), nSense,
                static_cast<std::uint8_t*>(pOut) + pPacket->SenseInfoOffset);
    pPacket->SenseInfoLength =
        stAnswer.bSenseReported == 0xFF ? static_cast<UCHAR>(nSense) : stAnswer.bSenseReported;
    return TRUE;
}

BOOL WINAPI FakeDeviceIoControl(HANDLE, DWORD dwCode, LPVOID pIn, DWORD dwInSize, LPVOID pOut,
                                DWORD dwOutSize, LPDWORD pdwReturned, LPOVERLAPPED)
{
    s_pSystem->vecCodes.push_back(dwCode);
    *pdwReturned = 0;
    switch (dwCode)
    {
    case IOCTL_STORAGE_QUERY_PROPERTY:
    {
        const RKScBytes& vecBytes = s_pSystem->vecDescriptor;
        *pdwReturned = static_cast<DWORD>(std::min<std::size_t>(vecBytes.size(), dwOutSize));
        std::copy_n(vecBytes.begin(), *pdwReturned, static_cast<std::uint8_t*>(pOut));
        return s_pSystem->dwDescriptorError ? Fail(s_pSystem->dwDescriptorError) : TRUE;
    }
    case IOCTL_SCSI_PASS_THROUGH_DIRECT:
        *pdwReturned = sizeof(SCSI_PASS_THROUGH_DIRECT);
        return AnswerPacket(pIn, dwInSize, pOut, dwOutSize);
    case IOCTL_STORAGE_EJECT_MEDIA:
        if (pIn || dwInSize || pOut || dwOutSize)
            return Fail(ERROR_INVALID_PARAMETER);
        return s_pSystem->dwEjectError ? Fail(s_pSystem->dwEjectError) : TRUE;
    default:
        return Fail(ERROR_INVALID_FUNCTION);
    }
}

const RKScWin32Calls s_FakeCalls = {FakeGetDriveTypeW, FakeGetLogicalDrives, FakeCreateFileW,
                                    FakeDeviceIoControl, FakeCloseHandle};

// A storage descriptor whose vendor and product sit at the offsets given,
// in front of the bytes of strTail; dwSize is what it says its size is.
RKScBytes Descriptor(DWORD dwVendor, DWORD dwProduct, const std::string& strTail, DWORD dwSize = ~0u)
{
    RKScBytes vecBytes(DESCRIPTOR_FIXED, 0);
    vecBytes.insert(vecBytes.end(), strTail.begin(), strTail.end());
    STORAGE_DEVICE_DESCRIPTOR stHeader;
    std::memset(&stHeader, 0, sizeof(stHeader));
    stHeader.Version = sizeof(STORAGE_DEVICE_DESCRIPTOR);
    stHeader.Size = dwSize == ~0u ? static_cast<DWORD>(vecBytes.size()) : dwSize;
    stHeader.DeviceType = 5;
    stHeader.RemovableMedia = TRUE;
    stHeader.VendorIdOffset = dwVendor;
    stHeader.ProductIdOffset = dwProduct;
    std::memcpy(vecBytes.data(), &stHeader, DESCRIPTOR_FIXED);
    return vecBytes;
}

class RKScWin32TransportTest : public ::testing::Test
{
protected:
    RKScWin32TransportTest() : m_pTransport(RKScCreateWin32Transport(s_FakeCalls)) { s_pSystem = &m_System; }
    ~RKScWin32TransportTest() override { s_pSystem = nullptr; }
    // Every handle that opened was closed once, and nothing else was.
    void TearDown() override
    {
        std::vector<HANDLE> vecOpened;
        for (const auto& stOpen : m_System.vecOpens)
        {
            if (stOpen.hHandle != INVALID_HANDLE_VALUE)
                vecOpened.push_back(stOpen.hHandle);
        }
        std::vector<HANDLE> vecClosed = m_System.vecCloses;
        std::sort(vecClosed.begin(), vecClosed.end());
        EXPECT_EQ(vecOpened, vecClosed);
    }

    std::unique_ptr<CRKScDevice> Open(const std::string& strDevice, std::string& strProblem)
    {
        RKScDriveEntry stEntry;
        stEntry.strDevice = strDevice;
        return m_pTransport->Open(stEntry, strProblem);
    }
    std::unique_ptr<CRKScDevice> OpenE()
    {
        std::string strProblem;
        std::unique_ptr<CRKScDevice> pDevice = Open("\\\\.\\E:", strProblem);
        EXPECT_TRUE(pDevice) << strProblem;
        return pDevice;
    }

    RKScFakeSystem m_System;
    std::shared_ptr<CRKScTransport> m_pTransport;
};
} // namespace

TEST_F(RKScWin32TransportTest, ListsTheCdromLettersInLetterOrderWithTheSystemsModel)
{
    m_System.dwLetters = (1u << 0) | (1u << 2) | (1u << 4) | (1u << 25);
    m_System.mapTypes = {{L'A', DRIVE_CDROM}, {L'C', DRIVE_FIXED}, {L'E', DRIVE_CDROM}, {L'Z', DRIVE_CDROM}};
    m_System.vecDescriptor = Descriptor(DESCRIPTOR_FIXED, DESCRIPTOR_FIXED + 9, "QEMU    \0QEMU CD-ROM  \0"s);
    RKScDriveList stList;
    std::string strProblem;
    ASSERT_TRUE(m_pTransport->ListDrives(stList, strProblem)) << strProblem;

    ASSERT_EQ(26u, m_System.vecTypeRoots.size());
    for (wchar_t c = L'A'; c <= L'Z'; ++c)
        EXPECT_EQ(std::wstring(1, c) + L":\\", m_System.vecTypeRoots[c - L'A']);
    ASSERT_EQ(3u, stList.vecDrives.size());
    const char* aszDevices[] = {"\\\\.\\A:", "\\\\.\\E:", "\\\\.\\Z:"};
    for (std::size_t i = 0; i < 3; ++i)
    {
        EXPECT_EQ(aszDevices[i], stList.vecDrives[i].strDevice);
        EXPECT_EQ(aszDevices[i][4], stList.vecDrives[i].wLetter);
        EXPECT_EQ("QEMU QEMU CD-ROM", stList.vecDrives[i].strModel);
        EXPECT_EQ("", stList.vecDrives[i].strProblem);
        // The model is asked through a handle that needs no access rights.
        EXPECT_EQ(std::wstring(aszDevices[i], aszDevices[i] + 6), m_System.vecOpens[i].strPath);
        EXPECT_EQ(0u, m_System.vecOpens[i].dwAccess);
        EXPECT_EQ(static_cast<DWORD>(FILE_SHARE_READ | FILE_SHARE_WRITE), m_System.vecOpens[i].dwShare);
        EXPECT_EQ(static_cast<DWORD>(OPEN_EXISTING), m_System.vecOpens[i].dwDisposition);
    }
    EXPECT_EQ((std::vector<WORD>{'A', 'C', 'E', 'Z'}), stList.vecUsedLetters);
    EXPECT_EQ((std::vector<WORD>{'A', 'E', 'Z'}), RKScAssignLetters(stList));
    EXPECT_FALSE(m_pTransport->ProvidesPresence());

    m_System.dwLetters = 0;
    m_System.dwLettersError = ERROR_NOT_ENOUGH_MEMORY;
    EXPECT_FALSE(m_pTransport->ListDrives(stList, strProblem));
    EXPECT_EQ("GetLogicalDrives: " + RKScWin32ErrorText(ERROR_NOT_ENOUGH_MEMORY), strProblem);
    EXPECT_TRUE(stList.vecDrives.empty());
}

TEST_F(RKScWin32TransportTest, ModelReadOnlyWithinTheDescriptorsBytes)
{
    const DWORD F = DESCRIPTOR_FIXED;
    struct
    {
        RKScBytes vecDescriptor;
        DWORD dwError;
        std::string strModel;
    } aCases[] = {
        {Descriptor(0, F, " HL-DT-ST DVDRAM \0"s), 0, "HL-DT-ST DVDRAM"},
        {Descriptor(F, F + 5, "TEAC\0\x01MODEL\x7F\0"s), 0, "TEAC MODEL"},
        // Offsets into the header or past the bytes, or past what the
        // descriptor says its size is, name nothing.
        {Descriptor(8, F, "DRIVE\0"s), 0, "DRIVE"},
        {Descriptor(F, F + 200, "VENDOR\0"s), 0, "VENDOR"},
        {Descriptor(F, F + 7, "VENDOR\0PRODUCT\0"s, F + 7), 0, "VENDOR"},
        // Not terminated: read up to the last byte that came.
        {Descriptor(F, 0, "CUT"s), 0, "CUT"s},
        {RKScBytes(DESCRIPTOR_FIXED - 1, 0), 0, ""},
        {Descriptor(F, F + 5, "MORE\0DATA\0"s), ERROR_MORE_DATA, "MORE DATA"},
        {Descriptor(F, F + 5, "SOME\0DATA\0"s), ERROR_NOT_SUPPORTED, ""},
    };
    m_System.dwLetters = 1u << 3;
    m_System.mapTypes = {{L'D', DRIVE_CDROM}};
    for (const auto& stCase : aCases)
    {
        m_System.vecDescriptor = stCase.vecDescriptor;
        m_System.dwDescriptorError = stCase.dwError;
        RKScDriveList stList;
        std::string strProblem;
        ASSERT_TRUE(m_pTransport->ListDrives(stList, strProblem));
        ASSERT_EQ(1u, stList.vecDrives.size());
        EXPECT_EQ(stCase.strModel, stList.vecDrives[0].strModel);
    }
    // A drive the system will not open even for that keeps no model.
    m_System.mapOpenErrors[{L"\\\\.\\D:", 0}] = ERROR_ACCESS_DENIED;
    m_System.vecCodes.clear();
    RKScDriveList stList;
    std::string strProblem;
    ASSERT_TRUE(m_pTransport->ListDrives(stList, strProblem));
    EXPECT_EQ("", stList.vecDrives[0].strModel);
    EXPECT_TRUE(m_System.vecCodes.empty());
}

TEST_F(RKScWin32TransportTest, OpensForReadingAndWritingElseForReadingAlone)
{
    const std::wstring strPath = L"\\\\.\\E:";
    std::unique_ptr<CRKScDevice> pDevice = OpenE();
    ASSERT_EQ(1u, m_System.vecOpens.size());
    EXPECT_EQ(strPath, m_System.vecOpens[0].strPath);
    EXPECT_EQ(READ_WRITE, m_System.vecOpens[0].dwAccess);
    EXPECT_EQ(static_cast<DWORD>(FILE_SHARE_READ | FILE_SHARE_WRITE), m_System.vecOpens[0].dwShare);
    pDevice.reset();
    EXPECT_EQ(1u, m_System.vecCloses.size());

    // Write access refused: commands the system then refuses say why; the
    // tray still opens.
    m_System.mapOpenErrors[{strPath, READ_WRITE}] = ERROR_ACCESS_DENIED;
    pDevice = OpenE();
    ASSERT_TRUE(pDevice);
    EXPECT_EQ(static_cast<DWORD>(GENERIC_READ), m_System.vecOpens.back().dwAccess);
    m_System.dwPacketError = ERROR_ACCESS_DENIED;
    RKScCommandResult stResult;
    const std::uint8_t abUnitReady[6] = {};
    pDevice->SendCommand(abUnitReady, 6, nullptr, 0, stResult);
    EXPECT_EQ(RKSC_COMMAND_FAILED, stResult.eStatus);
    EXPECT_EQ("refused: the drive is open for reading only (write access: " +
                  RKScWin32ErrorText(ERROR_ACCESS_DENIED) + "), and commands need read and write access",
              stResult.strProblem);
    std::string strProblem;
    EXPECT_EQ(RKSC_EJECT_DONE, pDevice->Eject(strProblem));
    pDevice.reset();

    struct
    {
        DWORD dwReadWrite;
        DWORD dwRead; // 0: not tried
        std::string strProblem;
    } aCases[] = {
        {ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED, "no access: " + RKScWin32ErrorText(ERROR_ACCESS_DENIED)},
        // The drive went between the listing and this open.
        {ERROR_FILE_NOT_FOUND, 0, "the drive is gone: " + RKScWin32ErrorText(ERROR_FILE_NOT_FOUND)},
        {ERROR_WRITE_PROTECT, ERROR_PATH_NOT_FOUND,
         "the drive is gone: " + RKScWin32ErrorText(ERROR_PATH_NOT_FOUND)},
        {ERROR_SHARING_VIOLATION, 0,
         "another program holds the drive for itself: " + RKScWin32ErrorText(ERROR_SHARING_VIOLATION)},
        {ERROR_GEN_FAILURE, 0, RKScWin32ErrorText(ERROR_GEN_FAILURE)},
    };
    for (const auto& stCase : aCases)
    {
        m_System.vecOpens.clear();
        m_System.vecCloses.clear();
        m_System.mapOpenErrors = {{{strPath, READ_WRITE}, stCase.dwReadWrite},
                                  {{strPath, GENERIC_READ}, stCase.dwRead}};
        EXPECT_EQ(nullptr, Open("\\\\.\\E:", strProblem));
        EXPECT_EQ(stCase.strProblem, strProblem);
        EXPECT_EQ(stCase.dwRead ? 2u : 1u, m_System.vecOpens.size());
    }
    // What the listing knew against a drive, without asking the system.
    RKScDriveEntry stEntry;
    stEntry.strDevice = "\\\\.\\E:";
    stEntry.strProblem = "known";
    EXPECT_EQ(nullptr, m_pTransport->Open(stEntry, strProblem));
    EXPECT_EQ("known", strProblem);
    EXPECT_EQ(1u, m_System.vecOpens.size());
}

TEST_F(RKScWin32TransportTest, PassThroughPacketWithAlignedBufferAndSenseInside)
{
    m_System.mapPackets[INQ] = {Answered(InquiryBytes("QEMU", "QEMU CD-ROM"))};
    std::unique_ptr<CRKScDevice> pDevice = OpenE();
    const std::uint8_t abInquiry[6] = {0x12, 0, 0, 0, 36, 0};
    std::uint8_t abData[36] = {};
    RKScCommandResult stResult;
    pDevice->SendCommand(abInquiry, 6, abData, sizeof(abData), stResult);
    const std::uint8_t abUnitReady[6] = {};
    pDevice->SendCommand(abUnitReady, 6, nullptr, 0, stResult);

    ASSERT_EQ(2u, m_System.vecPackets.size());
    const RKScSentPacket& stSent = m_System.vecPackets[0];
    const SCSI_PASS_THROUGH_DIRECT& stPacket = stSent.stPacket;
    EXPECT_EQ(sizeof(SCSI_PASS_THROUGH_DIRECT), static_cast<std::size_t>(stPacket.Length));
    EXPECT_EQ(6, stPacket.CdbLength);
    EXPECT_EQ(0, std::memcmp(abInquiry, stPacket.Cdb, 6));
    EXPECT_EQ(SCSI_IOCTL_DATA_IN, stPacket.DataIn);
    EXPECT_EQ(36u, stPacket.DataTransferLength);
    EXPECT_EQ(0u, reinterpret_cast<std::uintptr_t>(stPacket.DataBuffer) % 4096);
    EXPECT_EQ(RKSC_COMMAND_TIMEOUT_MS / 1000, stPacket.TimeOutValue);
    EXPECT_EQ(RKSC_WIN32_SENSE_AREA, static_cast<std::size_t>(stPacket.SenseInfoLength));
    EXPECT_GE(stPacket.SenseInfoOffset, sizeof(SCSI_PASS_THROUGH_DIRECT));
    EXPECT_LE(stPacket.SenseInfoOffset + stPacket.SenseInfoLength, stSent.dwOutSize);
    EXPECT_TRUE(stSent.bInIsOut);
    EXPECT_EQ(stSent.dwInSize, stSent.dwOutSize);
    EXPECT_EQ(0, std::memcmp(InquiryBytes("QEMU", "QEMU CD-ROM").data(), abData, 36));

    const SCSI_PASS_THROUGH_DIRECT& stNoData = m_System.vecPackets[1].stPacket;
    EXPECT_EQ(SCSI_IOCTL_DATA_UNSPECIFIED, stNoData.DataIn);
    EXPECT_EQ(0u, stNoData.DataTransferLength);
    EXPECT_EQ(nullptr, stNoData.DataBuffer);
}

TEST_F(RKScWin32TransportTest, AnswersAreBelievedWithinTheBuffers)
{
    RKScBytes vecData(64);
    for (std::size_t i = 0; i < vecData.size(); ++i)
        vecData[i] = static_cast<std::uint8_t>(i + 1);
    RKScBytes vecLongSense = FixedSense(2, 0x3A, 0);
    vecLongSense.resize(48, 0x77);
    struct
    {
        RKScFakePacket stAnswer;
        DWORD dwError;
        RKScCommandStatus eStatus;
        std::size_t nTransferred;
        RKScBytes vecSense;
        std::string strProblem;
    } aCases[] = {
        {Answered(vecData), 0, RKSC_COMMAND_GOOD, 36, {}, ""},
        {Answered(RKScBytes(vecData.begin(), vecData.begin() + 20)), 0, RKSC_COMMAND_GOOD, 20, {}, ""},
        // More than the buffer holds is only the buffer.
        {Answered(vecData, 4096), 0, RKSC_COMMAND_GOOD, 36, {}, ""},
        {Checked(FixedSense(5, 0x24, 0)), 0, RKSC_COMMAND_CHECK_CONDITION, 0, FixedSense(5, 0x24, 0), ""},
        {Checked(vecLongSense, 200), 0, RKSC_COMMAND_CHECK_CONDITION, 0,
         RKScBytes(vecLongSense.begin(), vecLongSense.begin() + RKSC_WIN32_SENSE_AREA), ""},
        {{0x08, {}, ~0u, {}, 0xFF}, 0, RKSC_COMMAND_FAILED, 0, {}, "SCSI status 0x08"},
        {Answered(vecData),
         ERROR_SEM_TIMEOUT,
         RKSC_COMMAND_FAILED,
         0,
         {},
         "IOCTL_SCSI_PASS_THROUGH_DIRECT: " + RKScWin32ErrorText(ERROR_SEM_TIMEOUT)},
        // Write access was there: a refusal is the system's own word.
        {Answered(vecData),
         ERROR_ACCESS_DENIED,
         RKSC_COMMAND_FAILED,
         0,
         {},
         "IOCTL_SCSI_PASS_THROUGH_DIRECT: " + RKScWin32ErrorText(ERROR_ACCESS_DENIED)},
    };
    std::unique_ptr<CRKScDevice> pDevice = OpenE();
    const std::uint8_t abInquiry[6] = {0x12, 0, 0, 0, 36, 0};
    for (const auto& stCase : aCases)
    {
        m_System.mapPackets[INQ] = {stCase.stAnswer};
        m_System.dwPacketError = stCase.dwError;
        std::uint8_t abData[40];
        std::memset(abData, 0xAA, sizeof(abData));
        RKScCommandResult stResult;
        pDevice->SendCommand(abInquiry, 6, abData, 36, stResult);
        EXPECT_EQ(stCase.eStatus, stResult.eStatus);
        EXPECT_EQ(stCase.nTransferred, stResult.nTransferred);
        EXPECT_EQ(0, std::memcmp(vecData.data(), abData, stResult.nTransferred));
        EXPECT_EQ(0xAA, abData[std::max<std::size_t>(stResult.nTransferred, 36)]);
        EXPECT_EQ(stCase.vecSense, RKScBytes(stResult.abSense, stResult.abSense + stResult.nSenseLength));
        EXPECT_EQ(stCase.strProblem, stResult.strProblem);
    }
    // Requests no drive is sent.
    m_System.vecPackets.clear();
    std::uint8_t abCdb[17] = {0x12};
    std::vector<std::uint8_t> vecHuge(65537);
    RKScCommandResult stResult;
    pDevice->SendCommand(abCdb, 17, vecHuge.data(), 36, stResult);
    EXPECT_EQ("command not sent: bad request", stResult.strProblem);
    pDevice->SendCommand(abCdb, 6, vecHuge.data(), vecHuge.size(), stResult);
    EXPECT_EQ("command not sent: bad request", stResult.strProblem);
    pDevice->SendCommand(abCdb, 6, nullptr, 36, stResult);
    EXPECT_EQ(RKSC_COMMAND_FAILED, stResult.eStatus);
    EXPECT_TRUE(m_System.vecPackets.empty());
}

TEST_F(RKScWin32TransportTest, EjectRefusalsInTheEnginesWords)
{
    struct
    {
        DWORD dwError;
        RKScEjectStatus eStatus;
        std::string strProblem;
    } aCases[] = {
        {0, RKSC_EJECT_DONE, ""},
        {ERROR_BUSY, RKSC_EJECT_BUSY, ""},
        {ERROR_DRIVE_LOCKED, RKSC_EJECT_BUSY, ""},
        {ERROR_SHARING_VIOLATION, RKSC_EJECT_BUSY, ""},
        {ERROR_INVALID_FUNCTION, RKSC_EJECT_NO_TRAY, ""},
        {ERROR_NOT_SUPPORTED, RKSC_EJECT_NO_TRAY, ""},
        {ERROR_ACCESS_DENIED, RKSC_EJECT_FAILED, "the system refused the eject: " + RKScWin32ErrorText(5)},
        {ERROR_NOT_READY, RKSC_EJECT_FAILED,
         "the drive is not ready: " + RKScWin32ErrorText(ERROR_NOT_READY)},
        {ERROR_DEVICE_NOT_CONNECTED, RKSC_EJECT_FAILED,
         "the drive is gone: " + RKScWin32ErrorText(ERROR_DEVICE_NOT_CONNECTED)},
        {ERROR_GEN_FAILURE, RKSC_EJECT_FAILED,
         "IOCTL_STORAGE_EJECT_MEDIA: " + RKScWin32ErrorText(ERROR_GEN_FAILURE)},
    };
    std::unique_ptr<CRKScDevice> pDevice = OpenE();
    for (const auto& stCase : aCases)
    {
        m_System.dwEjectError = stCase.dwError;
        std::string strProblem;
        EXPECT_EQ(stCase.eStatus, pDevice->Eject(strProblem));
        EXPECT_EQ(stCase.strProblem, strProblem);
    }
    EXPECT_EQ(std::vector<DWORD>(10, IOCTL_STORAGE_EJECT_MEDIA), m_System.vecCodes);
    EXPECT_EQ(RKSC_STATUS_UNKNOWN, pDevice->GetDriveStatus());
}

TEST_F(RKScWin32TransportTest, TheEngineOverTheTransportAndADriveThatWent)
{
    m_System.dwLetters = (1u << 2) | (1u << 4) | (1u << 5);
    m_System.mapTypes = {{L'E', DRIVE_CDROM}, {L'F', DRIVE_CDROM}};
    m_System.vecDescriptor = Descriptor(DESCRIPTOR_FIXED, 0, "SYSTEM MODEL\0"s);
    m_System.mapOpenErrors[{L"\\\\.\\F:", READ_WRITE}] = ERROR_FILE_NOT_FOUND;
    m_System.mapPackets[INQ] = {Answered(InquiryBytes("QEMU", "QEMU CD-ROM"))};
    m_System.mapPackets[GC] = {Answered(ConfigurationBytes(0x08, {0x10, 0x08})),
                               Answered(ConfigurationBytes(0x08, {0x10, 0x08}))};
    m_System.mapPackets[RDI] = {Answered(DiscInfoBytes(0x0E))};
    m_System.mapPackets[TUR] = {Answered({})};
    CRKScTraceCapture capture;
    CRKScManager* pManager = new CRKScManager(m_pTransport);
    ASSERT_EQ(2, pManager->GetNbWriter());
    CRKWriter* pWriter = pManager->GetWriter(0);
    EXPECT_EQ("QEMU QEMU CD-ROM", RKScText(pWriter->GetModelName()));
    EXPECT_EQ('E', pWriter->GetDriveLetter());
    EXPECT_EQ(RKSC_SUPPORTS_CD | RKSC_SUPPORTS_DVD, pWriter->GetSupportedMedia());
    RKMediaInfo stInfo = pWriter->GetMediaInfo();
    EXPECT_EQ(static_cast<DWORD>(RKMEDIA_CD), stInfo.dwMediaType);
    EXPECT_EQ(RKSC_DISC_COMPLETE, stInfo.dwDiscType);
    EXPECT_EQ(1, pWriter->EjectTray());
    EXPECT_EQ("SYSTEM MODEL", RKScText(pManager->GetWriter(1)->GetModelName()));
    EXPECT_EQ(0, pManager->GetWriter(1)->EjectTray());
    pManager->Release();
    const std::string strGone = "\\\\.\\F:: cannot open: the drive is gone: " + RKScWin32ErrorText(2);
    EXPECT_EQ((RKScLines{strGone}), capture.Of('E'));
    EXPECT_EQ((RKScLines{"\\\\.\\E:: drive E:, model \"QEMU QEMU CD-ROM\", supported media 0x9",
                         "\\\\.\\F:: drive F:, model \"SYSTEM MODEL\", supported media 0x0, no access",
                         "CRKDRVManager::GetWriter(0)",
                         "\\\\.\\E:: current profile 0x8, media 0x2, disc state 3", "\\\\.\\E:: tray opened",
                         "CRKDRVManager::GetWriter(1)", "CRKDRVManager::GetWriter(1)", strGone}),
              capture.Of('I'));
}

// The module as built, over the system's calls: valid whenever the letters
// can be read, with one writer per CD-ROM letter of this machine.
TEST(RKScModuleTest, FactoryMakesAManagerOfTheSystemsDrives)
{
    wchar_t szProgram[MAX_PATH];
    DWORD dwLength = GetModuleFileNameW(nullptr, szProgram, MAX_PATH);
    ASSERT_TRUE(dwLength > 0 && dwLength < MAX_PATH);
    std::wstring strPath(szProgram, dwLength);
    strPath = strPath.substr(0, strPath.find_last_of(L'\\') + 1);
    for (const char* p = RKSC_TEST_MODULE_FROM_PROGRAM; *p; ++p)
        strPath += *p == '/' ? L'\\' : static_cast<wchar_t>(*p);
    HMODULE hModule = LoadLibraryW(strPath.c_str());
    ASSERT_NE(nullptr, hModule) << GetLastError();
    auto pfnFactory = reinterpret_cast<RKDRVFactoryFunction>(
        reinterpret_cast<void (*)()>(GetProcAddress(hModule, RKDRV_FACTORY_SYMBOL)));
    CRKDRVManager* pManager = pfnFactory ? pfnFactory() : nullptr;
    ASSERT_NE(nullptr, pManager);
    int nDrives = 0;
    for (wchar_t c = L'A'; c <= L'Z'; ++c)
    {
        const wchar_t szRoot[] = {c, L':', L'\\', 0};
        nDrives += GetDriveTypeW(szRoot) == DRIVE_CDROM ? 1 : 0;
    }
    EXPECT_EQ(1, pManager->IsValid());
    EXPECT_EQ(nDrives, pManager->GetNbWriter());
    pManager->Release();
    FreeLibrary(hModule);
}
