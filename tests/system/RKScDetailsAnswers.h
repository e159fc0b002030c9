// Canned answers for the details, byte by byte as the command set lays
// them out: the builders take the values a drive would report.
#ifndef RKSCDETAILSANSWERS_H
#define RKSCDETAILSANSWERS_H

#include <string>
#include <vector>

#include "RKScFakeTransport.h"
#include "RKScMmcDetails.h"

const std::uint8_t MSENSE = RKSC_OP_MODE_SENSE_10;
const std::uint8_t CAP = RKSC_OP_READ_CAPACITY;
const std::uint8_t RFC = RKSC_OP_READ_FORMAT_CAPACITIES;
const std::uint8_t RTI = RKSC_OP_READ_TRACK_INFORMATION;
const std::uint8_t PERF = RKSC_OP_GET_PERFORMANCE;
const std::uint8_t READ10 = RKSC_OP_READ_10;
const std::uint8_t MECH = RKSC_OP_MECHANISM_STATUS;

// MODE SENSE (10) of the capabilities page: byte 6 of the page (mechanism),
// the speed and buffer fields, nPageLength bytes after the page's own two,
// and write speed descriptors from byte 32 of the page.
inline RKScBytes CapabilitiesBytes(std::uint8_t bMechanism, WORD wRead, WORD wBuffer, WORD wWrite,
                                   std::size_t nPageLength = 0x14, const std::vector<WORD>& vecWrites = {})
{
    RKScBytes vecData(8 + 2 + nPageLength, 0);
    PutBig(vecData, 0, vecData.size() - 2, 2);
    vecData[8] = RKSC_PAGE_CAPABILITIES;
    vecData[9] = static_cast<std::uint8_t>(nPageLength);
    // A short page ends before some of the fields.
    auto Put = [&vecData](std::size_t nAt, std::uint64_t ullValue, std::size_t nBytes)
    {
        if (nAt + nBytes <= vecData.size())
            PutBig(vecData, nAt, ullValue, nBytes);
    };
    Put(8 + 6, bMechanism, 1);
    Put(8 + 8, wRead, 2);
    Put(8 + 12, wBuffer, 2);
    Put(8 + 18, wWrite, 2);
    if (!vecWrites.empty())
    {
        Put(8 + 30, vecWrites.size(), 2);
        for (std::size_t i = 0; i < vecWrites.size(); ++i)
            Put(8 + 32 + 4 * i + 2, vecWrites[i], 2);
    }
    return vecData;
}

struct RKScTocEntry
{
    std::uint8_t bTrack;
    bool bData;
    DWORD dwStart;
};

// READ TOC format 0 with the lead-out at dwLeadOut.
inline RKScBytes TocBytes(const std::vector<RKScTocEntry>& vecTracks, DWORD dwLeadOut)
{
    RKScBytes vecData(4 + 8 * (vecTracks.size() + 1), 0);
    PutBig(vecData, 0, vecData.size() - 2, 2);
    vecData[2] = vecTracks.empty() ? 0 : vecTracks.front().bTrack;
    vecData[3] = vecTracks.empty() ? 0 : vecTracks.back().bTrack;
    for (std::size_t i = 0; i <= vecTracks.size(); ++i)
    {
        bool bLeadOut = i == vecTracks.size();
        vecData[4 + 8 * i + 1] =
            static_cast<std::uint8_t>(0x10 | (bLeadOut || vecTracks[i].bData ? 0x04 : 0x00));
        vecData[4 + 8 * i + 2] = bLeadOut ? 0xAA : vecTracks[i].bTrack;
        PutBig(vecData, 4 + 8 * i + 4, bLeadOut ? dwLeadOut : vecTracks[i].dwStart, 4);
    }
    return vecData;
}

inline RKScBytes CapacityBytes(DWORD dwLastBlock, DWORD dwBlockLength)
{
    RKScBytes vecData(8, 0);
    PutBig(vecData, 0, dwLastBlock, 4);
    PutBig(vecData, 4, dwBlockLength, 4);
    return vecData;
}

inline RKScBytes FormatCapacityBytes(DWORD dwBlocks, std::uint8_t bType, DWORD dwBlockLength)
{
    RKScBytes vecData(12, 0);
    vecData[3] = 8;
    PutBig(vecData, 4, dwBlocks, 4);
    vecData[8] = bType;
    PutBig(vecData, 9, dwBlockLength, 3);
    return vecData;
}

inline RKScBytes TrackInfoBytes(WORD wTrack, bool bBlank, DWORD dwStart, DWORD dwFree, DWORD dwSize)
{
    RKScBytes vecData(48, 0);
    PutBig(vecData, 0, 46, 2);
    vecData[2] = static_cast<std::uint8_t>(wTrack);
    vecData[6] = bBlank ? 0x40 : 0x00;
    PutBig(vecData, 8, dwStart, 4);
    PutBig(vecData, 16, dwFree, 4);
    PutBig(vecData, 24, dwSize, 4);
    return vecData;
}

// Standard disc information with its track and session numbers.
inline RKScBytes DiscLayoutBytes(std::uint8_t bStatus, std::uint8_t bLastSession, bool bErasable,
                                 WORD wFirstTrack, WORD wSessions, WORD wFirstInLast, WORD wLastInLast)
{
    RKScBytes vecData =
        DiscInfoBytes(static_cast<std::uint8_t>((bErasable ? 0x10 : 0) | (bLastSession << 2) | bStatus));
    vecData[3] = static_cast<std::uint8_t>(wFirstTrack);
    vecData[4] = static_cast<std::uint8_t>(wSessions);
    vecData[5] = static_cast<std::uint8_t>(wFirstInLast);
    vecData[6] = static_cast<std::uint8_t>(wLastInLast);
    vecData[9] = static_cast<std::uint8_t>(wSessions >> 8);
    vecData[10] = static_cast<std::uint8_t>(wFirstInLast >> 8);
    vecData[11] = static_cast<std::uint8_t>(wLastInLast >> 8);
    return vecData;
}

// One feature descriptor: code, version, then its data.
inline RKScBytes Feature(WORD wCode, std::uint8_t bVersion, const RKScBytes& vecData)
{
    RKScBytes vecFeature = {static_cast<std::uint8_t>(wCode >> 8), static_cast<std::uint8_t>(wCode),
                            static_cast<std::uint8_t>(bVersion << 2 | 0x03),
                            static_cast<std::uint8_t>(vecData.size())};
    vecFeature.insert(vecFeature.end(), vecData.begin(), vecData.end());
    return vecFeature;
}

// GET CONFIGURATION of every feature: the profile list, then the others.
inline RKScBytes FeaturesBytes(WORD wCurrent, const std::vector<WORD>& vecProfiles,
                               const std::vector<RKScBytes>& vecFeatures)
{
    RKScBytes vecData = ConfigurationBytes(wCurrent, vecProfiles);
    for (const RKScBytes& vecFeature : vecFeatures)
        vecData.insert(vecData.end(), vecFeature.begin(), vecFeature.end());
    PutBig(vecData, 0, vecData.size() - 4, 4);
    return vecData;
}

// A 2048-byte block holding an ISO 9660 primary volume descriptor.
inline RKScBytes VolumeBytes(const std::string& strLabel)
{
    RKScBytes vecData(2048, 0);
    const std::string strHead("\1CD001\1", 7);
    std::copy(strHead.begin(), strHead.end(), vecData.begin());
    std::fill(vecData.begin() + 40, vecData.begin() + 72, ' ');
    std::copy(strLabel.begin(), strLabel.end(), vecData.begin() + 40);
    return vecData;
}

inline RKScBytes MediaEventBytes(std::uint8_t bCode, bool bPresent, bool bOpen)
{
    return {0, 6, 0x04, 0x54, bCode, static_cast<std::uint8_t>((bPresent ? 2 : 0) | (bOpen ? 1 : 0)), 0, 0};
}

// GET PERFORMANCE write speed descriptors, each {read, write} in kB/s.
inline RKScBytes WriteSpeedsBytes(const std::vector<std::pair<DWORD, DWORD>>& vecSpeeds)
{
    RKScBytes vecData(8 + 16 * vecSpeeds.size(), 0);
    PutBig(vecData, 0, vecData.size() - 4, 4);
    for (std::size_t i = 0; i < vecSpeeds.size(); ++i)
    {
        PutBig(vecData, 8 + 16 * i + 8, vecSpeeds[i].first, 4);
        PutBig(vecData, 8 + 16 * i + 12, vecSpeeds[i].second, 4);
    }
    return vecData;
}

#endif
