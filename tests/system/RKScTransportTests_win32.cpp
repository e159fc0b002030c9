// The Windows transport over Win32 calls answered here (letters, opens and
// their refusals, pass-through packets, ejects), and the built module over
// the system's own calls. Only Win32 code belongs here.
#include <windows.h>

#include <ntddscsi.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "RKDRVFunctions.h"
#include "RKScFakeTransport.h"
#include "RKScTransport_win32.h"

using namespace std::string_literals;

namespace
{
const DWORD READ_WRITE = GENERIC_READ | GENERIC_WRITE;
const DWORD HEAD = offsetof(STORAGE_DEVICE_DESCRIPTOR, RawDeviceProperties);
const std::string E = "\\\\.\\E:";
const std::wstring WE = L"\\\\.\\E:";

// A pass-through answer: the data goes into the buffer as far as it is
// long; ulReported and bSenseReported, unless ~0 and 0xFF, are the counts
// the system claims instead.
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

// The system as a test makes it; the calls find it through s_pSystem.
struct RKScFakeSystem
{
    DWORD dwLetters = 0;
    std::map<wchar_t, UINT> mapTypes;
    std::wstring strTypeRoots; // every root asked, one after the other
    // CreateFileW of (path, access) fails with the error given here.
    std::map<std::pair<std::wstring, DWORD>, DWORD> mapOpenErrors;
    std::vector<std::pair<std::wstring, DWORD>> vecOpens; // path and access of each open
    std::vector<HANDLE> vecOpened;
    std::vector<HANDLE> vecClosed;
    std::vector<DWORD> vecCodes;
    RKScBytes vecDescriptor;
    DWORD dwDescriptorError = 0;
    // One queue per operation code; the last answer repeats.
    std::map<std::uint8_t, std::vector<RKScFakePacket>> mapPackets;
    DWORD dwPacketError = 0;
    std::vector<SCSI_PASS_THROUGH_DIRECT> vecPackets; // as sent
    // Each packet's data buffer was page-aligned and its sense area inside
    // the one buffer given both ways.
    bool bPacketsLaidOut = true;
    DWORD dwEjectError = 0;
    std::vector<DWORD> vecSleeps;
    // Closing the tray and the door's lock: what was asked, and the answer.
    DWORD dwTrayError = 0;
    std::vector<int> vecLocks; // PreventMediaRemoval of each lock request
};

RKScFakeSystem* s_pSystem = nullptr;

BOOL Fail(DWORD dwError)
{
    SetLastError(dwError);
    return FALSE;
}

UINT WINAPI FakeGetDriveTypeW(LPCWSTR szRoot)
{
    s_pSystem->strTypeRoots += szRoot;
    auto it = s_pSystem->mapTypes.find(szRoot[0]);
    return it == s_pSystem->mapTypes.end() ? DRIVE_NO_ROOT_DIR : it->second;
}

DWORD WINAPI FakeGetLogicalDrives()
{
    SetLastError(s_pSystem->dwLetters ? 0 : ERROR_NOT_ENOUGH_MEMORY);
    return s_pSystem->dwLetters;
}

HANDLE WINAPI FakeCreateFileW(LPCWSTR szPath, DWORD dwAccess, DWORD dwShare, LPSECURITY_ATTRIBUTES,
                              DWORD dwDisposition, DWORD, HANDLE)
{
    s_pSystem->vecOpens.push_back({szPath, dwAccess});
    auto it = s_pSystem->mapOpenErrors.find({szPath, dwAccess});
    DWORD dwError = it != s_pSystem->mapOpenErrors.end() ? it->second : 0;
    if (dwShare != (FILE_SHARE_READ | FILE_SHARE_WRITE) || dwDisposition != OPEN_EXISTING)
        dwError = ERROR_INVALID_PARAMETER;
    if (dwError)
    {
        SetLastError(dwError);
        return INVALID_HANDLE_VALUE;
    }
    s_pSystem->vecOpened.push_back(reinterpret_cast<HANDLE>(0x100 + s_pSystem->vecOpened.size()));
    return s_pSystem->vecOpened.back();
}

BOOL WINAPI FakeCloseHandle(HANDLE hHandle)
{
    s_pSystem->vecClosed.push_back(hHandle);
    return TRUE;
}

BOOL AnswerPacket(LPVOID pIn, DWORD dwInSize, LPVOID pOut, DWORD dwOutSize)
{
    auto* pPacket = static_cast<SCSI_PASS_THROUGH_DIRECT*>(pOut);
    s_pSystem->vecPackets.push_back(*pPacket);
    s_pSystem->bPacketsLaidOut &= pIn == pOut && dwInSize == dwOutSize &&
                                  reinterpret_cast<std::uintptr_t>(pPacket->DataBuffer) % 4096 == 0 &&
                                  pPacket->SenseInfoOffset >= sizeof(SCSI_PASS_THROUGH_DIRECT) &&
                                  pPacket->SenseInfoOffset + pPacket->SenseInfoLength <= dwOutSize;
    if (s_pSystem->dwPacketError)
        return Fail(s_pSystem->dwPacketError);
    std::vector<RKScFakePacket>& vecQueue = s_pSystem->mapPackets[pPacket->Cdb[0]];
    RKScFakePacket stAnswer =
        vecQueue.empty() ? RKScFakePacket{0x02, {}, ~0u, FixedSense(5, 0x20, 0), 0xFF} : vecQueue.front();
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
    if (dwCode == IOCTL_SCSI_PASS_THROUGH_DIRECT)
        return AnswerPacket(pIn, dwInSize, pOut, dwOutSize);
    if (dwCode == IOCTL_STORAGE_EJECT_MEDIA)
        return pIn || dwInSize || pOut || dwOutSize
                   ? Fail(ERROR_INVALID_PARAMETER)
                   : (s_pSystem->dwEjectError ? Fail(s_pSystem->dwEjectError) : TRUE);
    if (dwCode == IOCTL_STORAGE_LOAD_MEDIA || dwCode == IOCTL_STORAGE_MEDIA_REMOVAL)
    {
        bool bLock = dwCode == IOCTL_STORAGE_MEDIA_REMOVAL;
        if (bLock != (pIn && dwInSize == sizeof(PREVENT_MEDIA_REMOVAL)) || pOut || dwOutSize)
            return Fail(ERROR_INVALID_PARAMETER);
        if (bLock)
            s_pSystem->vecLocks.push_back(static_cast<PREVENT_MEDIA_REMOVAL*>(pIn)->PreventMediaRemoval);
        return s_pSystem->dwTrayError ? Fail(s_pSystem->dwTrayError) : TRUE;
    }
    if (dwCode != IOCTL_STORAGE_QUERY_PROPERTY)
        return Fail(ERROR_INVALID_FUNCTION);
    *pdwReturned = static_cast<DWORD>(std::min<std::size_t>(s_pSystem->vecDescriptor.size(), dwOutSize));
    std::copy_n(s_pSystem->vecDescriptor.begin(), *pdwReturned, static_cast<std::uint8_t*>(pOut));
    return s_pSystem->dwDescriptorError ? Fail(s_pSystem->dwDescriptorError) : TRUE;
}

VOID WINAPI FakeSleep(DWORD dwMilliseconds)
{
    s_pSystem->vecSleeps.push_back(dwMilliseconds);
}

const RKScWin32Calls s_FakeCalls = {FakeGetDriveTypeW,   FakeGetLogicalDrives, FakeCreateFileW,
                                    FakeDeviceIoControl, FakeCloseHandle,      FakeSleep};

// A storage descriptor of its fixed part and strTail, naming the vendor and
// product at those offsets; dwSize is the size it says it has.
RKScBytes Descriptor(DWORD dwVendor, DWORD dwProduct, const std::string& strTail, DWORD dwSize = ~0u)
{
    STORAGE_DEVICE_DESCRIPTOR stHeader = {};
    stHeader.Size = dwSize == ~0u ? static_cast<DWORD>(HEAD + strTail.size()) : dwSize;
    stHeader.VendorIdOffset = dwVendor;
    stHeader.ProductIdOffset = dwProduct;
    RKScBytes vecBytes(reinterpret_cast<const std::uint8_t*>(&stHeader),
                       reinterpret_cast<const std::uint8_t*>(&stHeader) + HEAD);
    vecBytes.insert(vecBytes.end(), strTail.begin(), strTail.end());
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
        std::sort(m_System.vecClosed.begin(), m_System.vecClosed.end());
        EXPECT_EQ(m_System.vecOpened, m_System.vecClosed);
    }

    std::unique_ptr<CRKScDevice> Open(std::string& strProblem, const std::string& strKnown = "")
    {
        RKScDriveEntry stEntry;
        stEntry.strDevice = E;
        stEntry.strProblem = strKnown;
        return m_pTransport->Open(stEntry, strProblem);
    }
    RKScCommandResult Inquiry(CRKScDevice& device, std::uint8_t* pbData, std::size_t nLength = 36)
    {
        const std::uint8_t abInquiry[6] = {0x12, 0, 0, 0, 36, 0};
        RKScCommandResult stResult;
        device.SendCommand(abInquiry, 6, pbData, nLength, stResult);
        return stResult;
    }

    RKScFakeSystem m_System;
    std::shared_ptr<CRKScTransport> m_pTransport;
};
} // namespace

TEST_F(RKScWin32TransportTest, ListsTheCdromLettersInLetterOrderWithTheSystemsModel)
{
    m_System.dwLetters = (1u << 0) | (1u << 2) | (1u << 4) | (1u << 25);
    m_System.mapTypes = {{L'A', DRIVE_CDROM}, {L'C', DRIVE_FIXED}, {L'E', DRIVE_CDROM}, {L'Z', DRIVE_CDROM}};
    m_System.vecDescriptor = Descriptor(HEAD, HEAD + 9, "QEMU    \0QEMU CD-ROM  \0"s);
    RKScDriveList stList;
    std::string strProblem;
    ASSERT_TRUE(m_pTransport->ListDrives(stList, strProblem)) << strProblem;

    std::wstring strRoots;
    for (wchar_t c = L'A'; c <= L'Z'; ++c)
        strRoots += std::wstring(1, c) + L":\\";
    EXPECT_EQ(strRoots, m_System.strTypeRoots);
    ASSERT_EQ(3u, stList.vecDrives.size());
    for (std::size_t i = 0; i < 3; ++i)
    {
        const RKScDriveEntry& stEntry = stList.vecDrives[i];
        WORD wLetter = "AEZ"[i];
        EXPECT_EQ("\\\\.\\" + std::string(1, static_cast<char>(wLetter)) + ":", stEntry.strDevice);
        EXPECT_EQ(wLetter, stEntry.wLetter);
        EXPECT_EQ("QEMU QEMU CD-ROM", stEntry.strModel);
        EXPECT_EQ("", stEntry.strProblem);
        // Asked through a handle that needs no access rights.
        EXPECT_EQ(std::make_pair(std::wstring(stEntry.strDevice.begin(), stEntry.strDevice.end()), DWORD(0)),
                  m_System.vecOpens[i]);
    }
    EXPECT_EQ((std::vector<WORD>{'A', 'C', 'E', 'Z'}), stList.vecUsedLetters);
    EXPECT_FALSE(m_pTransport->ProvidesPresence());

    m_System.dwLetters = 0;
    EXPECT_FALSE(m_pTransport->ListDrives(stList, strProblem));
    EXPECT_EQ("GetLogicalDrives: " + RKScWin32ErrorText(ERROR_NOT_ENOUGH_MEMORY), strProblem);
    EXPECT_TRUE(stList.vecDrives.empty());
}

TEST_F(RKScWin32TransportTest, ModelReadOnlyWithinTheDescriptorsBytes)
{
    struct
    {
        RKScBytes vecDescriptor;
        DWORD dwError;
        std::string strModel;
    } aCases[] = {
        {Descriptor(0, HEAD, " HL-DT-ST DVDRAM \0"s), 0, "HL-DT-ST DVDRAM"},
        {Descriptor(HEAD, HEAD + 5, "TEAC\0\x01MODEL\x7F\0"s), 0, "TEAC MODEL"},
        // Into the header, past the bytes or past the size the descriptor
        // gives, an offset names nothing; an unterminated text ends there.
        {Descriptor(8, HEAD + 200, "DRIVE\0"s), 0, ""},
        {Descriptor(HEAD, HEAD + 7, "VENDOR\0PRODUCT\0"s, HEAD + 7), 0, "VENDOR"},
        {Descriptor(HEAD, 0, "CUT"s), 0, "CUT"},
        {RKScBytes(HEAD - 1, 0), 0, ""},
        {Descriptor(HEAD, HEAD + 5, "MORE\0DATA\0"s), ERROR_MORE_DATA, "MORE DATA"},
        {Descriptor(HEAD, HEAD + 5, "SOME\0DATA\0"s), ERROR_NOT_SUPPORTED, ""},
    };
    m_System.dwLetters = 1u << 3;
    m_System.mapTypes = {{L'D', DRIVE_CDROM}};
    RKScDriveList stList;
    std::string strProblem;
    for (const auto& stCase : aCases)
    {
        m_System.vecDescriptor = stCase.vecDescriptor;
        m_System.dwDescriptorError = stCase.dwError;
        ASSERT_TRUE(m_pTransport->ListDrives(stList, strProblem));
        EXPECT_EQ(stCase.strModel, stList.vecDrives.at(0).strModel);
    }
    // Not even that handle opens: no model, nothing asked.
    m_System.mapOpenErrors[{L"\\\\.\\D:", 0}] = ERROR_ACCESS_DENIED;
    m_System.vecCodes.clear();
    ASSERT_TRUE(m_pTransport->ListDrives(stList, strProblem));
    EXPECT_EQ("", stList.vecDrives.at(0).strModel);
    EXPECT_TRUE(m_System.vecCodes.empty());
}

TEST_F(RKScWin32TransportTest, OpensForReadingAndWritingElseForReadingAlone)
{
    std::string strProblem;
    EXPECT_TRUE(Open(strProblem));
    // Write access refused: what the system then refuses says why; the
    // tray still opens.
    m_System.mapOpenErrors[{WE, READ_WRITE}] = ERROR_ACCESS_DENIED;
    std::unique_ptr<CRKScDevice> pDevice = Open(strProblem);
    ASSERT_TRUE(pDevice);
    m_System.dwPacketError = ERROR_ACCESS_DENIED;
    EXPECT_EQ("refused: the drive is open for reading only (write access: " + RKScWin32ErrorText(5) +
                  "), and commands need read and write access",
              Inquiry(*pDevice, nullptr, 0).strProblem);
    EXPECT_EQ(RKSC_EJECT_DONE, pDevice->Eject(strProblem));
    pDevice.reset();
    EXPECT_EQ(
        (std::vector<std::pair<std::wstring, DWORD>>{{WE, READ_WRITE}, {WE, READ_WRITE}, {WE, GENERIC_READ}}),
        m_System.vecOpens);

    struct
    {
        DWORD dwReadWrite;
        DWORD dwRead; // 0: never tried
        std::string strProblem;
    } aCases[] = {
        {ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED, "no access: " + RKScWin32ErrorText(ERROR_ACCESS_DENIED)},
        // Gone between the listing and this open.
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
        m_System.mapOpenErrors = {{{WE, READ_WRITE}, stCase.dwReadWrite},
                                  {{WE, GENERIC_READ}, stCase.dwRead}};
        EXPECT_EQ(nullptr, Open(strProblem));
        EXPECT_EQ(stCase.strProblem, strProblem);
        EXPECT_EQ(stCase.dwRead ? 2u : 1u, m_System.vecOpens.size());
    }
    // What the listing knew against a drive: the system is not asked.
    m_System.vecOpens.clear();
    EXPECT_EQ(nullptr, Open(strProblem, "known"));
    EXPECT_EQ("known", strProblem);
    EXPECT_TRUE(m_System.vecOpens.empty());
}

TEST_F(RKScWin32TransportTest, PacketsAndTheirAnswersBelievedWithinTheBuffers)
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
        // More than the buffer holds is only the buffer; so is the sense.
        {Answered(vecData, 4096), 0, RKSC_COMMAND_GOOD, 36, {}, ""},
        {{0x02, {}, ~0u, FixedSense(5, 0x24, 0), 0xFF},
         0,
         RKSC_COMMAND_CHECK_CONDITION,
         0,
         FixedSense(5, 0x24, 0),
         ""},
        {{0x02, {}, ~0u, vecLongSense, 200},
         0,
         RKSC_COMMAND_CHECK_CONDITION,
         0,
         RKScBytes(vecLongSense.begin(), vecLongSense.begin() + RKSC_WIN32_SENSE_AREA),
         ""},
        {{0x08, {}, ~0u, {}, 0xFF}, 0, RKSC_COMMAND_FAILED, 0, {}, "SCSI status 0x08"},
        {Answered(vecData),
         ERROR_SEM_TIMEOUT,
         RKSC_COMMAND_FAILED,
         0,
         {},
         "IOCTL_SCSI_PASS_THROUGH_DIRECT: " + RKScWin32ErrorText(ERROR_SEM_TIMEOUT)},
        {Answered(vecData),
         ERROR_DEVICE_NOT_CONNECTED,
         RKSC_COMMAND_GONE,
         0,
         {},
         "IOCTL_SCSI_PASS_THROUGH_DIRECT: " + RKScWin32ErrorText(ERROR_DEVICE_NOT_CONNECTED)},
        // Opened for both: a refusal is the system's own word.
        {Answered(vecData),
         ERROR_ACCESS_DENIED,
         RKSC_COMMAND_FAILED,
         0,
         {},
         "IOCTL_SCSI_PASS_THROUGH_DIRECT: " + RKScWin32ErrorText(ERROR_ACCESS_DENIED)},
    };
    std::string strProblem;
    std::unique_ptr<CRKScDevice> pDevice = Open(strProblem);
    for (const auto& stCase : aCases)
    {
        m_System.mapPackets[INQ] = {stCase.stAnswer};
        m_System.dwPacketError = stCase.dwError;
        std::uint8_t abData[40];
        std::memset(abData, 0xAA, sizeof(abData));
        RKScCommandResult stResult = Inquiry(*pDevice, abData);
        EXPECT_EQ(stCase.eStatus, stResult.eStatus);
        EXPECT_EQ(stCase.nTransferred, stResult.nTransferred);
        EXPECT_EQ(0, std::memcmp(vecData.data(), abData, stResult.nTransferred));
        EXPECT_EQ(0xAA, abData[std::max<std::size_t>(stResult.nTransferred, 36)]);
        EXPECT_EQ(stCase.vecSense, RKScBytes(stResult.abSense, stResult.abSense + stResult.nSenseLength));
        EXPECT_EQ(stCase.strProblem, stResult.strProblem);
        EXPECT_EQ(stCase.dwError == ERROR_SEM_TIMEOUT, stResult.bTimedOut);
    }
    const SCSI_PASS_THROUGH_DIRECT& stSent = m_System.vecPackets.at(0);
    EXPECT_TRUE(m_System.bPacketsLaidOut);
    EXPECT_EQ(sizeof(SCSI_PASS_THROUGH_DIRECT), static_cast<std::size_t>(stSent.Length));
    EXPECT_EQ((RKScBytes{0x12, 0, 0, 0, 36, 0}), RKScBytes(stSent.Cdb, stSent.Cdb + stSent.CdbLength));
    EXPECT_EQ(SCSI_IOCTL_DATA_IN, stSent.DataIn);
    EXPECT_EQ(36u, stSent.DataTransferLength);
    EXPECT_EQ(30u, stSent.TimeOutValue);
    EXPECT_EQ(RKSC_WIN32_SENSE_AREA, static_cast<std::size_t>(stSent.SenseInfoLength));
    Inquiry(*pDevice, nullptr, 0);
    EXPECT_EQ(SCSI_IOCTL_DATA_UNSPECIFIED, m_System.vecPackets.back().DataIn);
    EXPECT_EQ(nullptr, m_System.vecPackets.back().DataBuffer);

    // Requests no drive is sent.
    m_System.vecPackets.clear();
    std::uint8_t abCdb[17] = {0x12};
    std::vector<std::uint8_t> vecHuge(65537);
    RKScCommandResult stResult;
    for (std::size_t nCdb : {std::size_t(17), std::size_t(0)})
    {
        pDevice->SendCommand(abCdb, nCdb, vecHuge.data(), 36, stResult);
        EXPECT_EQ("command not sent: bad request", stResult.strProblem);
    }
    pDevice->SendCommand(abCdb, 6, vecHuge.data(), vecHuge.size(), stResult);
    EXPECT_EQ("command not sent: bad request", stResult.strProblem);
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
        // What a slot drive without a disc answers.
        {ERROR_NOT_READY, RKSC_EJECT_EMPTY, ""},
        {ERROR_DEVICE_NOT_CONNECTED, RKSC_EJECT_GONE,
         "IOCTL_STORAGE_EJECT_MEDIA: " + RKScWin32ErrorText(1167)},
        {ERROR_GEN_FAILURE, RKSC_EJECT_FAILED, "IOCTL_STORAGE_EJECT_MEDIA: " + RKScWin32ErrorText(31)},
    };
    std::string strProblem;
    std::unique_ptr<CRKScDevice> pDevice = Open(strProblem);
    for (const auto& stCase : aCases)
    {
        m_System.dwEjectError = stCase.dwError;
        strProblem.clear();
        EXPECT_EQ(stCase.eStatus, pDevice->Eject(strProblem));
        EXPECT_EQ(stCase.strProblem, strProblem);
    }
    EXPECT_EQ(std::vector<DWORD>(10, IOCTL_STORAGE_EJECT_MEDIA), m_System.vecCodes);
    EXPECT_EQ(RKSC_STATUS_UNKNOWN, pDevice->GetDriveStatus());
    // The gone eject marked the device so; pauses go through the table.
    EXPECT_EQ("IOCTL_STORAGE_EJECT_MEDIA: " + RKScWin32ErrorText(1167), pDevice->m_strGone);
    pDevice->Pause(250);
    EXPECT_EQ(std::vector<DWORD>{250}, m_System.vecSleeps);
}

TEST_F(RKScWin32TransportTest, CloseAndLockThroughTheSystemsOwnCallsWhichDropALockWithItsHandle)
{
    EXPECT_TRUE(m_pTransport->LockNeedsDevice());
    std::string strProblem;
    std::unique_ptr<CRKScDevice> pDevice = Open(strProblem);
    EXPECT_EQ(RKSC_TRAY_DONE, pDevice->CloseTray(strProblem));
    EXPECT_EQ(RKSC_TRAY_DONE, pDevice->LockDoor(true, strProblem));
    EXPECT_EQ(RKSC_TRAY_DONE, pDevice->LockDoor(false, strProblem));
    EXPECT_EQ((std::vector<DWORD>{IOCTL_STORAGE_LOAD_MEDIA, IOCTL_STORAGE_MEDIA_REMOVAL,
                                  IOCTL_STORAGE_MEDIA_REMOVAL}),
              m_System.vecCodes);
    EXPECT_EQ((std::vector<int>{TRUE, FALSE}), m_System.vecLocks);
    struct
    {
        DWORD dwError;
        RKScTrayResult eResult;
        std::string strProblem;
    } aCases[] = {
        {ERROR_BUSY, RKSC_TRAY_BUSY, ""},
        {ERROR_NOT_SUPPORTED, RKSC_TRAY_UNSUPPORTED, ""},
        {ERROR_DEVICE_NOT_CONNECTED, RKSC_TRAY_FAILED, "IOCTL_STORAGE_MEDIA_REMOVAL: " + RKScWin32ErrorText(1167)},
        {ERROR_GEN_FAILURE, RKSC_TRAY_FAILED, "IOCTL_STORAGE_MEDIA_REMOVAL: " + RKScWin32ErrorText(31)},
    };
    for (const auto& stCase : aCases)
    {
        m_System.dwTrayError = stCase.dwError;
        strProblem.clear();
        EXPECT_EQ(stCase.eResult, pDevice->LockDoor(true, strProblem));
        EXPECT_EQ(stCase.strProblem, strProblem);
    }
    // The device that went away is marked gone, and nothing more is sent.
    EXPECT_EQ("IOCTL_STORAGE_MEDIA_REMOVAL: " + RKScWin32ErrorText(1167), pDevice->m_strGone);
}

// The module as built, over the system's calls: valid whenever the letters
// can be read, one writer per CD-ROM letter of this machine.
TEST(RKScModuleTest, FactoryMakesAManagerOfTheSystemsDrives)
{
    wchar_t szProgram[MAX_PATH];
    DWORD dwLength = GetModuleFileNameW(nullptr, szProgram, MAX_PATH);
    ASSERT_TRUE(dwLength > 0 && dwLength < MAX_PATH);
    std::wstring strPath(szProgram, dwLength);
    strPath.erase(strPath.find_last_of(L'\\') + 1);
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
        nDrives += GetDriveTypeW((std::wstring(1, c) + L":\\").c_str()) == DRIVE_CDROM ? 1 : 0;
    EXPECT_EQ(1, pManager->IsValid());
    EXPECT_EQ(nDrives, pManager->GetNbWriter());
    pManager->Release();
    FreeLibrary(hModule);
}

namespace
{
TEST(RKScWin32ErrorText, TheSystemsTextIsKeptInAnyLanguage)
{
    // "Access is denied." on a Russian system, as FormatMessageW gives it.
    const wchar_t szText[] = L"\x041E\x0442\x043A\x0430\x0437\x0430\x043D\x043E.\r\n";
    EXPECT_EQ("\xD0\x9E\xD1\x82\xD0\xBA\xD0\xB0\xD0\xB7\xD0\xB0\xD0\xBD\xD0\xBE. (error 5)",
              RKScWin32ErrorTextOf(szText, static_cast<DWORD>(wcslen(szText)), 5));
    EXPECT_EQ("(error 5)", RKScWin32ErrorTextOf(szText, 0, 5));
}
} // namespace
