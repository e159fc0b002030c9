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
    stReply.nTransferred = 0;
    stReply.stSense = RKScParseSense(nullptr, 0);
    if (!device.m_strGone.empty())
    {
        stReply.eStatus = RKSC_COMMAND_GONE;
        stReply.strProblem = device.m_strGone;
        return stReply;
    }
    if (device.m_bUnanswered)
    {
        stReply.eStatus = RKSC_COMMAND_FAILED;
        stReply.strProblem = "not sent: the drive left an earlier command unanswered";
        return stReply;
    }
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
        if (stResult.eStatus == RKSC_COMMAND_GONE)
            device.m_strGone =
                stResult.strProblem.empty() ? std::string("the system says so") : stResult.strProblem;
        if (stResult.eStatus == RKSC_COMMAND_FAILED && stResult.bTimedOut)
            device.m_bUnanswered = true;
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

bool RKScQueryInquiry(CRKScDevice& device, const std::string& strDevice, RKScInquiry& stInquiry)
{
    std::uint8_t abData[RKSC_INQUIRY_READ] = {};
    RKScReply stReply = RKScSend(device, RKScInquiryCdb(RKSC_INQUIRY_READ), abData, sizeof(abData));
    if (stReply.eStatus != RKSC_COMMAND_GOOD)
    {
        stInquiry = RKScParseInquiry(nullptr, 0);
        stInquiry.strProblem = RKScDescribeReply(stReply);
        if (stReply.eStatus != RKSC_COMMAND_GONE)
            TraceCommandError(strDevice, "INQUIRY", stInquiry.strProblem);
        return false;
    }
    stInquiry = RKScParseInquiry(abData, stReply.nTransferred);
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
            if (stReply.eStatus != RKSC_COMMAND_GONE)
                TraceCommandError(strDevice, "GET CONFIGURATION", RKScDescribeReply(stReply));
            return false;
        }
        stConfig = RKScParseConfiguration(vecData.data(), stReply.nTransferred);
        // Read again only when the profile list itself went on past the
        // buffer. Many drives announce every feature's length for this
        // request although they send the profile list alone, and a drive
        // that sent less than the buffer holds would do so again.
        if (nRead > 0 || !stConfig.bProfileList || stConfig.nListEnd <= stReply.nTransferred ||
            stReply.nTransferred < vecData.size())
            break;
        vecData.assign(stConfig.nListEnd + stConfig.nListEnd % 2, 0);
    }
    if (!stConfig.strProblem.empty())
        TraceCommandError(strDevice, "GET CONFIGURATION", stConfig.strProblem);
    else if (stConfig.bProfileList && stConfig.nListEnd > stReply.nTransferred)
        TraceCommandError(strDevice, "GET CONFIGURATION",
                          ShortTransfer(stReply.nTransferred, stConfig.nListEnd));
    if (!stConfig.bProfileList)
    {
        if (stConfig.strProblem.empty())
            TraceCommandError(strDevice, "GET CONFIGURATION", "no profile list in the answer");
        return false;
    }
    vecProfiles = stConfig.vecProfiles;
    return true;
}

RKScRemovableMedium RKScQueryRemovableMedium(CRKScDevice& device)
{
    std::uint8_t abData[RKSC_FEATURE_READ] = {};
    RKScReply stReply =
        RKScSend(device, RKScGetConfigurationCdb(RKSC_RT_ONE, RKSC_FEATURE_REMOVABLE_MEDIUM, sizeof(abData)),
                 abData, sizeof(abData));
    RKScFeature stNone = {0, false, false, 0, 0, false, {}};
    if (stReply.eStatus != RKSC_COMMAND_GOOD)
        return RKScParseRemovableMedium(stNone);
    const RKScFeatureList stList = RKScParseFeatures(abData, stReply.nTransferred);
    const RKScFeature* pFeature = RKScFindFeature(stList, RKSC_FEATURE_REMOVABLE_MEDIUM);
    return RKScParseRemovableMedium(pFeature ? *pFeature : stNone);
}
