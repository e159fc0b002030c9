#include "RKScDriveQuery.h"

#include <algorithm>

#include "RKSystemEngine.h"
#include "RKScMmcDetails.h"
#include "RKScTrace.h"

namespace
{
const int RKSC_UNIT_ATTENTION_RETRIES = 2;

void TraceCommandError(const std::string& strDevice, const char* szCommand, const std::string& strProblem)
{
    RKScTraceError(strDevice + ": " + szCommand + ": " + strProblem);
}

std::string ShortTransfer(std::size_t nTransferred, std::uint64_t ullAnnounced)
{
    return "only " + std::to_string(nTransferred) + " of the " + std::to_string(ullAnnounced) +
           " bytes announced arrived";
}
} // namespace

RKScReply RKScSend(CRKScDevice& device, const RKScCdb& stCdb, std::uint8_t* pbData, std::size_t nLength)
{
    RKScReply stReply;
    for (int nTry = 0;; ++nTry)
    {
        RKScCommandResult stResult;
        device.SendCommand(stCdb.abBytes, stCdb.nLength, pbData, nLength, stResult);
        // A transport's counts are believed only within the buffers.
        stReply.eStatus = stResult.eStatus;
        stReply.nTransferred = std::min(stResult.nTransferred, nLength);
        stReply.stSense = RKScParseSense(nullptr, 0);
        if (stResult.eStatus == RKSC_COMMAND_CHECK_CONDITION)
            stReply.stSense =
                RKScParseSense(stResult.abSense, std::min(stResult.nSenseLength, RKSC_SENSE_MAX));
        stReply.strProblem = stResult.strProblem;
        if (stReply.eStatus != RKSC_COMMAND_CHECK_CONDITION || !RKScSenseUnitAttention(stReply.stSense) ||
            nTry >= RKSC_UNIT_ATTENTION_RETRIES)
            return stReply;
    }
}

std::string RKScDescribeReply(const RKScReply& stReply)
{
    switch (stReply.eStatus)
    {
    case RKSC_COMMAND_GOOD:
        return "good";
    case RKSC_COMMAND_CHECK_CONDITION:
        return "check condition, " + RKScDescribeSense(stReply.stSense);
    default:
        return stReply.strProblem.empty() ? std::string("failed") : stReply.strProblem;
    }
}

bool RKScQueryModel(CRKScDevice& device, const std::string& strDevice, std::string& strModel,
                    RKScIdentification* pIdentification)
{
    strModel.clear();
    std::uint8_t abData[RKSC_INQUIRY_READ] = {};
    RKScReply stReply = RKScSend(device, RKScInquiryCdb(RKSC_INQUIRY_READ), abData, sizeof(abData));
    if (stReply.eStatus != RKSC_COMMAND_GOOD)
    {
        TraceCommandError(strDevice, "INQUIRY", RKScDescribeReply(stReply));
        return false;
    }
    RKScInquiry stInquiry = RKScParseInquiry(abData, stReply.nTransferred);
    strModel = RKScModelOfInquiry(stInquiry);
    if (pIdentification)
    {
        pIdentification->bRead = true;
        pIdentification->strVendor = stInquiry.strVendor;
        pIdentification->strProduct = stInquiry.strProduct;
        pIdentification->strRevision = RKScParseInquiryRevision(abData, stReply.nTransferred);
    }
    if (!stInquiry.bOk)
        TraceCommandError(strDevice, "INQUIRY", stInquiry.strProblem);
    return stInquiry.bOk;
}

bool RKScQueryProfiles(CRKScDevice& device, const std::string& strDevice, std::vector<WORD>& vecProfiles)
{
    vecProfiles.clear();
    std::vector<std::uint8_t> vecData(RKSC_PROFILES_FIRST_READ);
    RKScReply stReply;
    RKScConfiguration stConfig;
    for (int nRead = 0; nRead < 2; ++nRead)
    {
        WORD wAllocation = static_cast<WORD>(vecData.size());
        stReply = RKScSend(device, RKScGetConfigurationCdb(RKSC_RT_ONE, 0, wAllocation), vecData.data(),
                           vecData.size());
        if (stReply.eStatus != RKSC_COMMAND_GOOD)
        {
            TraceCommandError(strDevice, "GET CONFIGURATION", RKScDescribeReply(stReply));
            return false;
        }
        stConfig = RKScParseConfiguration(vecData.data(), stReply.nTransferred);
        // Only a list longer than the buffer is worth a second read; a
        // drive that sent less than it announced would do so again.
        if (nRead > 0 || !stConfig.bHeader || stConfig.ullAnnounced <= vecData.size())
            break;
        std::uint64_t ullWanted = std::min<std::uint64_t>(stConfig.ullAnnounced, RKSC_PROFILES_MAX_READ);
        if (stConfig.ullAnnounced > RKSC_PROFILES_MAX_READ)
            TraceCommandError(strDevice, "GET CONFIGURATION",
                              "answer of " + std::to_string(stConfig.ullAnnounced) + " bytes is read up to " +
                                  std::to_string(RKSC_PROFILES_MAX_READ) + " bytes");
        vecData.assign(static_cast<std::size_t>(ullWanted), 0);
    }
    if (!stConfig.strProblem.empty())
        TraceCommandError(strDevice, "GET CONFIGURATION", stConfig.strProblem);
    else if (stConfig.bHeader && stConfig.ullAnnounced > stReply.nTransferred &&
             stConfig.ullAnnounced <= vecData.size())
        TraceCommandError(strDevice, "GET CONFIGURATION",
                          ShortTransfer(stReply.nTransferred, stConfig.ullAnnounced));
    if (!stConfig.bProfileList)
    {
        if (stConfig.strProblem.empty())
            TraceCommandError(strDevice, "GET CONFIGURATION", "no profile list in the answer");
        return false;
    }
    vecProfiles = stConfig.vecProfiles;
    return true;
}

RKMediaInfo RKScQueryMedia(CRKScDevice& device, const std::string& strDevice, WORD& wProfile)
{
    RKMediaInfo stInfo;
    stInfo.dwMediaType = RKSC_MEDIA_NONE;
    stInfo.dwDiscType = RKSC_DISC_NONE;
    wProfile = 0;

    // The header alone carries the current profile.
    std::uint8_t abConfig[RKSC_CURRENT_PROFILE_READ] = {};
    RKScReply stReply = RKScSend(device, RKScGetConfigurationCdb(RKSC_RT_ONE, 0, RKSC_CURRENT_PROFILE_READ),
                                 abConfig, sizeof(abConfig));
    bool bProfileKnown = false;
    if (stReply.eStatus == RKSC_COMMAND_GOOD)
    {
        RKScConfiguration stConfig = RKScParseConfiguration(abConfig, stReply.nTransferred);
        if (stConfig.bHeader)
        {
            bProfileKnown = true;
            wProfile = stConfig.wCurrentProfile;
        }
        else
            TraceCommandError(strDevice, "GET CONFIGURATION", stConfig.strProblem);
    }
    else if (stReply.eStatus == RKSC_COMMAND_CHECK_CONDITION && RKScSenseNoMedium(stReply.stSense))
        return stInfo;
    else
        TraceCommandError(strDevice, "GET CONFIGURATION", RKScDescribeReply(stReply));
    if (bProfileKnown && wProfile == 0)
        return stInfo;

    std::uint8_t abDisc[RKSC_DISC_INFO_READ] = {};
    stReply = RKScSend(device, RKScReadDiscInformationCdb(RKSC_DISC_INFO_READ), abDisc, sizeof(abDisc));
    if (stReply.eStatus == RKSC_COMMAND_CHECK_CONDITION && RKScSenseNoMedium(stReply.stSense))
    {
        // Taken out between the two commands.
        wProfile = 0;
        return stInfo;
    }
    stInfo.dwMediaType = RKScMediaOfProfile(wProfile);
    stInfo.dwDiscType = RKSC_DISC_OTHER;
    if (stReply.eStatus != RKSC_COMMAND_GOOD)
    {
        TraceCommandError(strDevice, "READ DISC INFORMATION", RKScDescribeReply(stReply));
        return stInfo;
    }
    RKScDiscInfo stDisc = RKScParseDiscInfo(abDisc, stReply.nTransferred);
    if (!stDisc.bOk)
    {
        TraceCommandError(strDevice, "READ DISC INFORMATION", stDisc.strProblem);
        return stInfo;
    }
    stInfo.dwDiscType = RKScDiscStateOfStatus(stDisc.bDiscStatus);
    return stInfo;
}

RKScDriveStatus RKScQueryDriveStatus(CRKScDevice& device)
{
    RKScReply stReady = RKScSend(device, RKScTestUnitReadyCdb(), nullptr, 0);
    if (stReady.eStatus == RKSC_COMMAND_GOOD)
        return RKSC_STATUS_DISC_OK;
    if (stReady.eStatus == RKSC_COMMAND_FAILED)
        return RKSC_STATUS_UNKNOWN;
    if (RKScSenseBecomingReady(stReady.stSense))
        return RKSC_STATUS_BECOMING_READY;
    // Not ready for another reason: the media event tells a closed empty
    // drive from an open tray.
    std::uint8_t abEvent[RKSC_MEDIA_EVENT_READ] = {};
    RKScReply stEvent = RKScSend(device, RKScMediaEventCdb(RKSC_MEDIA_EVENT_READ), abEvent, sizeof(abEvent));
    if (stEvent.eStatus == RKSC_COMMAND_GOOD)
    {
        RKScMediaEvent stMedia = RKScParseMediaEvent(abEvent, stEvent.nTransferred);
        if (stMedia.bOk)
            return stMedia.bMediaPresent ? RKSC_STATUS_DISC_OK
                                         : (stMedia.bTrayOpen ? RKSC_STATUS_TRAY_OPEN : RKSC_STATUS_NO_DISC);
    }
    return RKScSenseNoMedium(stReady.stSense) ? RKSC_STATUS_NO_DISC : RKSC_STATUS_UNKNOWN;
}
