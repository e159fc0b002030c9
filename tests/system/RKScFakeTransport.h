// A transport of canned answers: drives answer each operation code from a
// queue (whose last answer repeats) and record every command sent to them.
#ifndef RKSCFAKETRANSPORT_H
#define RKSCFAKETRANSPORT_H

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "RKScMmc.h"
#include "RKScTransport.h"

typedef std::vector<std::uint8_t> RKScBytes;

const std::uint8_t GC = RKSC_OP_GET_CONFIGURATION;
const std::uint8_t RDI = RKSC_OP_READ_DISC_INFORMATION;
const std::uint8_t INQ = RKSC_OP_INQUIRY;
const std::uint8_t TUR = RKSC_OP_TEST_UNIT_READY;
const std::uint8_t GESN = RKSC_OP_GET_EVENT_STATUS;
const std::uint8_t TOC = RKSC_OP_READ_TOC;
// Not a command: a pause between two, as vecOperations records it.
const std::uint8_t PAUSE = 0xFF;

struct RKScFakeAnswer
{
    RKScCommandStatus eStatus;
    RKScBytes vecData;
    RKScBytes vecSense;
    std::string strProblem;
    bool bTimedOut = false;
};

inline RKScFakeAnswer Good(const RKScBytes& vecData)
{
    return {RKSC_COMMAND_GOOD, vecData, {}, ""};
}
inline RKScBytes FixedSense(std::uint8_t bKey, std::uint8_t bAsc, std::uint8_t bAscq)
{
    return {0x70, 0, bKey, 0, 0, 0, 0, 10, 0, 0, 0, 0, bAsc, bAscq, 0, 0, 0, 0};
}
inline RKScFakeAnswer Check(std::uint8_t bKey, std::uint8_t bAsc, std::uint8_t bAscq)
{
    return {RKSC_COMMAND_CHECK_CONDITION, {}, FixedSense(bKey, bAsc, bAscq), ""};
}
inline RKScFakeAnswer Failed(const std::string& strProblem)
{
    return {RKSC_COMMAND_FAILED, {}, {}, strProblem};
}
inline RKScFakeAnswer TimedOut()
{
    return {RKSC_COMMAND_FAILED, {}, {}, "host status 0x03 (timed out)", true};
}
inline RKScFakeAnswer Gone()
{
    return {RKSC_COMMAND_GONE, {}, {}, "SG_IO: No such device"};
}
inline void PutBig(RKScBytes& vecData, std::size_t nAt, std::uint64_t ullValue, std::size_t nBytes)
{
    for (std::size_t i = 0; i < nBytes; ++i)
        vecData[nAt + i] = static_cast<std::uint8_t>(ullValue >> (8 * (nBytes - 1 - i)));
}

// GET CONFIGURATION: the header, then the profile list feature.
inline RKScBytes ConfigurationBytes(WORD wCurrent, const std::vector<WORD>& vecProfiles)
{
    RKScBytes vecData(12 + 4 * vecProfiles.size(), 0);
    PutBig(vecData, 0, vecData.size() - 4, 4);
    PutBig(vecData, 6, wCurrent, 2);
    vecData[10] = 0x03;
    vecData[11] = static_cast<std::uint8_t>(4 * vecProfiles.size());
    for (std::size_t i = 0; i < vecProfiles.size(); ++i)
        PutBig(vecData, 12 + 4 * i, vecProfiles[i], 2);
    return vecData;
}

// Standard disc information whose byte 2 (disc status and more) is given.
inline RKScBytes DiscInfoBytes(std::uint8_t bByte2)
{
    RKScBytes vecData(34, 0);
    vecData[1] = 32;
    vecData[2] = bByte2;
    return vecData;
}

// GET EVENT STATUS NOTIFICATION, media class: the event and the status byte
// (0x02 medium present, 0x01 tray open).
inline RKScBytes MediaEventBytes(std::uint8_t bEvent, std::uint8_t bStatus)
{
    return {0, 6, 0x04, 0x10, bEvent, bStatus, 0, 0};
}
// READ TOC: a full table (descriptors of 11 bytes, the first one point A0h)
// or the plain table of tracks (8 bytes each).
inline RKScBytes FullTocBytes()
{
    RKScBytes vecData(4 + 3 * 11, 0);
    PutBig(vecData, 0, vecData.size() - 2, 2);
    vecData[2] = vecData[3] = 1;
    for (std::uint8_t i = 0; i < 3; ++i)
    {
        vecData[4 + 11 * i] = 1;
        vecData[4 + 11 * i + 3] = static_cast<std::uint8_t>(0xA0 + i);
    }
    return vecData;
}
inline RKScBytes TrackTocBytes()
{
    RKScBytes vecData(4 + 2 * 8, 0);
    PutBig(vecData, 0, vecData.size() - 2, 2);
    vecData[2] = vecData[3] = 1;
    vecData[6] = 1;
    vecData[14] = 0xAA;
    return vecData;
}

inline RKScBytes InquiryBytes(const std::string& strVendor, const std::string& strProduct)
{
    RKScBytes vecData(36, ' ');
    std::fill(vecData.begin(), vecData.begin() + 8, 0);
    vecData[0] = 0x05;
    vecData[4] = 31;
    std::copy(strVendor.begin(), strVendor.end(), vecData.begin() + 8);
    std::copy(strProduct.begin(), strProduct.end(), vecData.begin() + 16);
    return vecData;
}

struct RKScFakeDrive
{
    RKScDriveEntry stEntry;
    std::string strOpenProblem; // nonempty: Open fails with it
    std::map<std::uint8_t, std::deque<RKScFakeAnswer>> mapAnswers;
    RKScDriveStatus eStatus = RKSC_STATUS_DISC_OK;
    RKScEjectStatus eEject = RKSC_EJECT_DONE;
    RKScTrayResult eClose = RKSC_TRAY_DONE;
    RKScTrayResult eLock = RKSC_TRAY_DONE;
    bool bTrayGone = false; // the system says the device went away
    // "close", "lock" or "unlock", then "@" and which open of the drive
    // sent it (1 for the first).
    std::vector<std::string> vecTrayCalls;
    std::vector<RKScBytes> vecCommands;
    RKScBytes vecOperations; // their operation codes
    int nOpens = 0;
    int nOpenNow = 0;
    int nEjects = 0;
    std::vector<DWORD> vecPauses;

    void Answer(std::uint8_t bOperation, const RKScFakeAnswer& stAnswer)
    {
        mapAnswers[bOperation].push_back(stAnswer);
    }
};

class CRKScFakeDevice : public CRKScDevice
{
public:
    explicit CRKScFakeDevice(std::shared_ptr<RKScFakeDrive> pDrive)
        : m_pDrive(pDrive), m_nOpen(pDrive->nOpens)
    {
        ++m_pDrive->nOpenNow;
    }
    ~CRKScFakeDevice() override { --m_pDrive->nOpenNow; }

    void SendCommand(const std::uint8_t* pbCdb, std::size_t nCdbLength, std::uint8_t* pbData,
                     std::size_t nDataLength, RKScCommandResult& stResult) override
    {
        m_pDrive->vecCommands.push_back(RKScBytes(pbCdb, pbCdb + nCdbLength));
        m_pDrive->vecOperations.push_back(pbCdb[0]);
        std::deque<RKScFakeAnswer>& dqAnswers = m_pDrive->mapAnswers[pbCdb[0]];
        RKScFakeAnswer stAnswer = dqAnswers.empty() ? Failed("no canned answer") : dqAnswers.front();
        if (dqAnswers.size() > 1)
            dqAnswers.pop_front();
        stResult.eStatus = stAnswer.eStatus;
        stResult.strProblem = stAnswer.strProblem;
        stResult.bTimedOut = stAnswer.bTimedOut;
        stResult.nTransferred = std::min(nDataLength, stAnswer.vecData.size());
        std::copy(stAnswer.vecData.begin(), stAnswer.vecData.begin() + stResult.nTransferred, pbData);
        stResult.nSenseLength = stAnswer.vecSense.size();
        std::copy(stAnswer.vecSense.begin(), stAnswer.vecSense.end(), stResult.abSense);
    }
    RKScDriveStatus GetDriveStatus() override
    {
        if (m_pDrive->eStatus == RKSC_STATUS_GONE)
            m_strGone = "CDROM_DRIVE_STATUS: No such device";
        return m_pDrive->eStatus;
    }
    RKScEjectStatus Eject(std::string& strProblem) override
    {
        ++m_pDrive->nEjects;
        if (m_pDrive->eEject == RKSC_EJECT_FAILED)
            strProblem = "CDROMEJECT: Input/output error";
        if (m_pDrive->eEject == RKSC_EJECT_GONE)
            m_strGone = strProblem = "CDROMEJECT: No such device";
        return m_pDrive->eEject;
    }
    void Pause(DWORD dwMilliseconds) override
    {
        m_pDrive->vecPauses.push_back(dwMilliseconds);
        m_pDrive->vecOperations.push_back(PAUSE);
    }
    RKScTrayResult CloseTray(std::string& strProblem) override
    {
        return Tray("close", m_pDrive->eClose, strProblem);
    }
    RKScTrayResult LockDoor(bool bLock, std::string& strProblem) override
    {
        return Tray(bLock ? "lock" : "unlock", m_pDrive->eLock, strProblem);
    }

private:
    RKScTrayResult Tray(const char* szCall, RKScTrayResult eResult, std::string& strProblem)
    {
        m_pDrive->vecTrayCalls.push_back(std::string(szCall) + "@" + std::to_string(m_nOpen));
        if (m_pDrive->bTrayGone)
        {
            m_strGone = strProblem = "CDROMCLOSETRAY: No such device";
            return RKSC_TRAY_FAILED;
        }
        if (eResult == RKSC_TRAY_FAILED)
            strProblem = "CDROM_LOCKDOOR: Input/output error";
        return eResult;
    }

    std::shared_ptr<RKScFakeDrive> m_pDrive;
    int m_nOpen;
};

class CRKScFakeTransport : public CRKScTransport
{
public:
    std::vector<std::shared_ptr<RKScFakeDrive>> vecDrives;
    std::vector<WORD> vecUsedLetters;
    bool bListFails = false;
    bool bPresence = true;
    bool bLockNeedsDevice = false;
    bool bThrow = false; // every call runs out of memory
    int nListings = 0;
    std::uint64_t ullNow = 1000000; // the clock, moved by the tests
    // What the system reported of each drive's media events, by device,
    // handed over once; and the order of listening, opens and taking.
    std::map<std::string, unsigned> mapDriveEvents;
    std::vector<std::string> vecEventCalls;

    RKScFakeDrive& AddDrive(const std::string& strDevice, const std::string& strModel, WORD wLetter = 0)
    {
        vecDrives.push_back(std::make_shared<RKScFakeDrive>());
        vecDrives.back()->stEntry.strDevice = strDevice;
        vecDrives.back()->stEntry.strModel = strModel;
        vecDrives.back()->stEntry.wLetter = wLetter;
        return *vecDrives.back();
    }

    bool ListDrives(RKScDriveList& stList, std::string& strProblem) override
    {
        ++nListings;
        if (bThrow)
            throw std::bad_alloc();
        if (bListFails)
            strProblem = "no list";
        for (const auto& pDrive : vecDrives)
            stList.vecDrives.push_back(pDrive->stEntry);
        stList.vecUsedLetters = vecUsedLetters;
        return !bListFails;
    }
    std::unique_ptr<CRKScDevice> Open(const RKScDriveEntry& stEntry, std::string& strProblem) override
    {
        if (bThrow)
            throw std::bad_alloc();
        for (const auto& pDrive : vecDrives)
        {
            if (pDrive->stEntry.strDevice != stEntry.strDevice)
                continue;
            ++pDrive->nOpens;
            vecEventCalls.push_back("open");
            strProblem = pDrive->strOpenProblem;
            return strProblem.empty() ? std::unique_ptr<CRKScDevice>(new CRKScFakeDevice(pDrive)) : nullptr;
        }
        return nullptr;
    }
    std::uint64_t Milliseconds() const override { return ullNow; }
    bool ProvidesPresence() const override
    {
        if (bThrow)
            throw std::bad_alloc();
        return bPresence;
    }
    bool LockNeedsDevice() const override { return bLockNeedsDevice; }
    void ListenForDriveEvents() override { vecEventCalls.push_back("listen"); }
    unsigned TakeDriveEvents(const RKScDriveEntry& stEntry) override
    {
        vecEventCalls.push_back("take");
        unsigned uEvents = mapDriveEvents[stEntry.strDevice];
        mapDriveEvents.erase(stEntry.strDevice);
        return uEvents;
    }
};

#endif
