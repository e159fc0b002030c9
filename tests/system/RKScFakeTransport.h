// A transport of canned answers: drives that answer each operation code
// with a queue of answers (the last one repeats) and record every command
// they were sent.
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

#include "RKScTransport.h"

typedef std::vector<std::uint8_t> RKScBytes;

struct RKScFakeAnswer
{
    RKScCommandStatus eStatus;
    RKScBytes vecData;
    RKScBytes vecSense;
    std::string strProblem;
};

inline RKScFakeAnswer Good(const RKScBytes& vecData)
{
    return {RKSC_COMMAND_GOOD, vecData, RKScBytes(), std::string()};
}

// Fixed-format sense data.
inline RKScBytes FixedSense(std::uint8_t bKey, std::uint8_t bAsc, std::uint8_t bAscq)
{
    RKScBytes vecSense(18, 0);
    vecSense[0] = 0x70;
    vecSense[2] = bKey;
    vecSense[7] = 10;
    vecSense[12] = bAsc;
    vecSense[13] = bAscq;
    return vecSense;
}

inline RKScFakeAnswer Check(std::uint8_t bKey, std::uint8_t bAsc, std::uint8_t bAscq)
{
    return {RKSC_COMMAND_CHECK_CONDITION, RKScBytes(), FixedSense(bKey, bAsc, bAscq), std::string()};
}

inline RKScFakeAnswer Failed(const std::string& strProblem)
{
    return {RKSC_COMMAND_FAILED, RKScBytes(), RKScBytes(), strProblem};
}

inline void PutBig(RKScBytes& vecData, std::size_t nAt, std::uint64_t ullValue, std::size_t nBytes)
{
    for (std::size_t i = 0; i < nBytes; ++i)
        vecData[nAt + i] = static_cast<std::uint8_t>(ullValue >> (8 * (nBytes - 1 - i)));
}

// A GET CONFIGURATION answer: header, then the profile list feature.
inline RKScBytes ConfigurationBytes(WORD wCurrent, const std::vector<WORD>& vecProfiles)
{
    RKScBytes vecData(12 + 4 * vecProfiles.size(), 0);
    PutBig(vecData, 0, vecData.size() - 4, 4);
    PutBig(vecData, 6, wCurrent, 2);
    vecData[10] = 0x03; // persistent, current
    vecData[11] = static_cast<std::uint8_t>(4 * vecProfiles.size());
    for (std::size_t i = 0; i < vecProfiles.size(); ++i)
    {
        PutBig(vecData, 12 + 4 * i, vecProfiles[i], 2);
        vecData[14 + 4 * i] = vecProfiles[i] == wCurrent ? 1 : 0;
    }
    return vecData;
}

// Standard disc information with the given disc status field.
inline RKScBytes DiscInfoBytes(std::uint8_t bByte2)
{
    RKScBytes vecData(34, 0);
    vecData[1] = 32;
    vecData[2] = bByte2;
    return vecData;
}

inline RKScBytes InquiryBytes(const std::string& strVendor, const std::string& strProduct)
{
    RKScBytes vecData(36, ' ');
    vecData[0] = 0x05;
    vecData[1] = 0x80;
    vecData[2] = 0x05;
    vecData[3] = 0x32;
    vecData[4] = 31;
    std::copy(strVendor.begin(), strVendor.begin() + std::min<std::size_t>(strVendor.size(), 8),
              vecData.begin() + 8);
    std::copy(strProduct.begin(), strProduct.begin() + std::min<std::size_t>(strProduct.size(), 16),
              vecData.begin() + 16);
    return vecData;
}

struct RKScFakeDrive
{
    RKScDriveEntry stEntry;
    std::string strOpenProblem;
    std::map<std::uint8_t, std::deque<RKScFakeAnswer>> mapAnswers;
    RKScDriveStatus eStatus = RKSC_STATUS_DISC_OK;
    RKScEjectStatus eEject = RKSC_EJECT_DONE;
    std::string strEjectProblem;

    std::vector<RKScBytes> vecCommands;
    int nOpens = 0;
    int nOpenNow = 0;
    int nEjects = 0;

    void Answer(std::uint8_t bOperation, const RKScFakeAnswer& stAnswer)
    {
        mapAnswers[bOperation].push_back(stAnswer);
    }
    std::vector<std::uint8_t> Operations() const
    {
        std::vector<std::uint8_t> vecOperations;
        for (const RKScBytes& vecCdb : vecCommands)
            vecOperations.push_back(vecCdb[0]);
        return vecOperations;
    }
};

class CRKScFakeDevice : public CRKScDevice
{
public:
    explicit CRKScFakeDevice(std::shared_ptr<RKScFakeDrive> pDrive) : m_pDrive(pDrive)
    {
        ++m_pDrive->nOpenNow;
    }
    ~CRKScFakeDevice() override { --m_pDrive->nOpenNow; }

    void SendCommand(const std::uint8_t* pbCdb, std::size_t nCdbLength, std::uint8_t* pbData,
                     std::size_t nDataLength, RKScCommandResult& stResult) override
    {
        m_pDrive->vecCommands.push_back(RKScBytes(pbCdb, pbCdb + nCdbLength));
        std::deque<RKScFakeAnswer>& dqAnswers = m_pDrive->mapAnswers[pbCdb[0]];
        if (dqAnswers.empty())
        {
            stResult.eStatus = RKSC_COMMAND_FAILED;
            stResult.strProblem = "no canned answer";
            return;
        }
        RKScFakeAnswer stAnswer = dqAnswers.front();
        if (dqAnswers.size() > 1)
            dqAnswers.pop_front();
        stResult.eStatus = stAnswer.eStatus;
        stResult.strProblem = stAnswer.strProblem;
        stResult.nTransferred = std::min(nDataLength, stAnswer.vecData.size());
        if (stResult.nTransferred)
            std::memcpy(pbData, stAnswer.vecData.data(), stResult.nTransferred);
        stResult.nSenseLength = std::min(stAnswer.vecSense.size(), RKSC_SENSE_MAX);
        if (stResult.nSenseLength)
            std::memcpy(stResult.abSense, stAnswer.vecSense.data(), stResult.nSenseLength);
    }
    RKScDriveStatus GetDriveStatus() override { return m_pDrive->eStatus; }
    RKScEjectStatus Eject(std::string& strProblem) override
    {
        ++m_pDrive->nEjects;
        strProblem = m_pDrive->strEjectProblem;
        return m_pDrive->eEject;
    }

private:
    std::shared_ptr<RKScFakeDrive> m_pDrive;
};

class CRKScFakeTransport : public CRKScTransport
{
public:
    std::vector<std::shared_ptr<RKScFakeDrive>> vecDrives;
    std::vector<WORD> vecUsedLetters;
    bool bListFails = false;
    bool bPresence = true;
    // Every call runs out of memory.
    bool bThrow = false;
    int nListings = 0;

    RKScFakeDrive& AddDrive(const std::string& strDevice, const std::string& strModel, WORD wLetter = 0)
    {
        vecDrives.push_back(std::make_shared<RKScFakeDrive>());
        RKScFakeDrive& stDrive = *vecDrives.back();
        stDrive.stEntry.strDevice = strDevice;
        stDrive.stEntry.strModel = strModel;
        stDrive.stEntry.wLetter = wLetter;
        return stDrive;
    }

    bool ListDrives(RKScDriveList& stList, std::string& strProblem) override
    {
        ++nListings;
        if (bThrow)
            throw std::bad_alloc();
        if (bListFails)
        {
            strProblem = "no list";
            return false;
        }
        stList.vecDrives.clear();
        for (const auto& pDrive : vecDrives)
            stList.vecDrives.push_back(pDrive->stEntry);
        stList.vecUsedLetters = vecUsedLetters;
        return true;
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
            if (!pDrive->strOpenProblem.empty())
            {
                strProblem = pDrive->strOpenProblem;
                return nullptr;
            }
            return std::unique_ptr<CRKScDevice>(new CRKScFakeDevice(pDrive));
        }
        strProblem = "gone";
        return nullptr;
    }

    bool ProvidesPresence() const override
    {
        if (bThrow)
            throw std::bad_alloc();
        return bPresence;
    }
};

#endif
