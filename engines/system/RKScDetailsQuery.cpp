// The drive's details and its tray's state.
#include "RKScDetailsQuery.h"

#include <algorithm>

#include "RKScTrace.h"

namespace
{
DWORD Flag(bool bValue)
{
    return bValue ? 1u : 0u;
}

// What the drive can do with its tray, from its loading mechanism, for
// drives that do not say whether they can load: a tray is pulled in by its
// motor, a slot, a caddy or a pop-up tray is pushed in by hand.
DWORD CanCloseOfLoading(DWORD dwLoading)
{
    switch (dwLoading)
    {
    case RKLOADING_TRAY:
        return 1;
    case RKLOADING_CADDY_OR_SLOT:
    case RKLOADING_POPUP:
        return 0;
    default:
        return RKDETAILS_UNKNOWN;
    }
}

// A slot or caddy has no tray to close, whatever else the drive says;
// drives that say whether they load are believed, older tray drives close.
DWORD CanClose(DWORD dwLoading, const RKScRemovableMedium& stMedium)
{
    if (dwLoading == RKLOADING_CADDY_OR_SLOT)
        return 0;
    if (stMedium.bLoadKnown)
        return Flag(stMedium.bLoad);
    return CanCloseOfLoading(dwLoading);
}

DWORD EventsOfCode(std::uint8_t bCode)
{
    switch (bCode)
    {
    case 1:
        return RKTRAY_EVENT_EJECT_REQUEST;
    case 2:
        return RKTRAY_EVENT_NEW_MEDIA;
    case 3:
        return RKTRAY_EVENT_MEDIA_REMOVED;
    case 4: // changed: one went out, another came in
        return RKTRAY_EVENT_MEDIA_REMOVED | RKTRAY_EVENT_NEW_MEDIA;
    default:
        return 0;
    }
}
} // namespace

static_assert(RKSC_UNKNOWN == RKDETAILS_UNKNOWN, "one word for \"not known\"");

// A drive's "I do not do that" (an illegal request) is information: older
// drives lack some of these commands. Anything else is an error.
void RKScTraceReply(const std::string& strDevice, const char* szCommand, const RKScReply& stReply)
{
    std::string strLine = strDevice + ": " + szCommand + ": " + RKScDescribeReply(stReply);
    if (stReply.eStatus == RKSC_COMMAND_CHECK_CONDITION && stReply.stSense.bValid &&
        stReply.stSense.bKey == 0x5)
        RKScTraceInfo(strLine);
    else
        RKScTraceError(strLine);
}

void RKScTraceProblem(const std::string& strDevice, const char* szCommand, const std::string& strProblem)
{
    if (!strProblem.empty())
        RKScTraceError(strDevice + ": " + szCommand + ": " + strProblem);
}

DWORD RKScLoadingOfType(std::uint8_t bType)
{
    switch (bType)
    {
    case RKLOADING_CADDY_OR_SLOT:
    case RKLOADING_TRAY:
    case RKLOADING_POPUP:
    case RKLOADING_CHANGER:
    case RKLOADING_MAGAZINE:
        return bType;
    default: // reserved values
        return RKDETAILS_UNKNOWN;
    }
}

void RKScPutText(unsigned short* pwField, std::size_t nChars, const std::string& strText)
{
    if (nChars == 0)
        return;
    std::size_t nCopy = std::min(strText.size(), nChars - 1);
    for (std::size_t i = 0; i < nCopy; ++i)
        pwField[i] = static_cast<unsigned char>(strText[i]);
    pwField[nCopy] = 0;
}

void RKScApplyIdentification(const RKScInquiry& stInquiry, RKDriveDetails& stDetails)
{
    // What arrived of a cut answer is still the drive's own.
    if (!stInquiry.bOk && stInquiry.strVendor.empty() && stInquiry.strProduct.empty())
        return;
    RKScPutText(stDetails.szVendor, RKDETAILS_VENDOR_CHARS, stInquiry.strVendor);
    RKScPutText(stDetails.szProduct, RKDETAILS_PRODUCT_CHARS, stInquiry.strProduct);
    RKScPutText(stDetails.szRevision, RKDETAILS_REVISION_CHARS, stInquiry.strRevision);
}

void RKScQueryFeatures(CRKScDevice& device, const std::string& strDevice, RKDriveDetails& stDetails)
{
    std::vector<std::uint8_t> vecData(RKSC_FEATURES_READ);
    RKScReply stReply = RKScSend(device, RKScGetConfigurationCdb(RKSC_RT_ALL, 0, RKSC_FEATURES_READ),
                                 vecData.data(), vecData.size());
    if (stReply.eStatus != RKSC_COMMAND_GOOD)
    {
        RKScTraceReply(strDevice, "GET CONFIGURATION", stReply);
        return;
    }
    RKScConfiguration stConfig = RKScParseConfiguration(vecData.data(), stReply.nTransferred);
    RKScTraceProblem(strDevice, "GET CONFIGURATION", stConfig.strProblem);
    if (!stConfig.bHeader)
        return;
    stDetails.dwCurrentProfile = stConfig.wCurrentProfile;
    if (stConfig.bProfileList)
    {
        std::size_t nCount = std::min<std::size_t>(stConfig.vecProfiles.size(), RKDETAILS_MAX_PROFILES);
        std::copy(stConfig.vecProfiles.begin(), stConfig.vecProfiles.begin() + nCount, stDetails.awProfiles);
        stDetails.dwProfileCount = static_cast<DWORD>(nCount);
    }

    RKScFeatureList stList = RKScParseFeatures(vecData.data(), stReply.nTransferred);
    if (const RKScFeature* pCore = RKScFindFeature(stList, RKSC_FEATURE_CORE))
    {
        RKScCore stCore = RKScParseCore(*pCore);
        RKScTraceProblem(strDevice, "GET CONFIGURATION", stCore.strProblem);
        stDetails.dwInterface = stCore.dwInterface;
    }
    if (const RKScFeature* pRemovable = RKScFindFeature(stList, RKSC_FEATURE_REMOVABLE_MEDIUM))
    {
        RKScRemovableMedium stMedium = RKScParseRemovableMedium(*pRemovable);
        RKScTraceProblem(strDevice, "GET CONFIGURATION", stMedium.strProblem);
        if (stMedium.bOk)
        {
            stDetails.dwLoading = RKScLoadingOfType(stMedium.bLoading);
            stDetails.dwCanEject = Flag(stMedium.bEject);
            stDetails.dwCanLock = Flag(stMedium.bLock);
            stDetails.dwCanClose = CanClose(stDetails.dwLoading, stMedium);
        }
    }
    if (const RKScFeature* pSerial = RKScFindFeature(stList, RKSC_FEATURE_SERIAL_NUMBER))
    {
        RKScSerial stSerial = RKScParseSerial(*pSerial);
        RKScTraceProblem(strDevice, "GET CONFIGURATION", stSerial.strProblem);
        if (stSerial.bOk)
            RKScPutText(stDetails.szSerial, RKDETAILS_SERIAL_CHARS, stSerial.strSerial);
    }
}

bool RKScQueryCapabilities(CRKScDevice& device, const std::string& strDevice,
                           std::vector<std::uint8_t>& vecAnswer, bool bQuiet)
{
    vecAnswer.assign(RKSC_CAPABILITIES_READ, 0);
    RKScReply stReply = RKScSend(device, RKScModeSenseCdb(RKSC_PAGE_CAPABILITIES, RKSC_CAPABILITIES_READ),
                                 vecAnswer.data(), vecAnswer.size());
    vecAnswer.resize(stReply.eStatus == RKSC_COMMAND_GOOD ? stReply.nTransferred : 0);
    if (stReply.eStatus != RKSC_COMMAND_GOOD)
    {
        if (!bQuiet)
            RKScTraceReply(strDevice, "MODE SENSE", stReply);
        return false;
    }
    RKScCapabilities stCaps = RKScParseCapabilities(vecAnswer.data(), vecAnswer.size());
    if (!bQuiet)
        RKScTraceProblem(strDevice, "MODE SENSE", stCaps.strProblem);
    if (!stCaps.bOk)
        vecAnswer.clear();
    return stCaps.bOk;
}

void RKScApplyCapabilities(const RKScCapabilities& stCaps, RKDriveDetails& stDetails)
{
    if (!stCaps.bOk)
        return;
    stDetails.dwMaxReadKbps = stCaps.dwMaxReadKbps;
    stDetails.dwMaxWriteKbps = stCaps.dwMaxWriteKbps;
    stDetails.dwBufferKiB = stCaps.dwBufferKiB;
    // The removable medium feature, where the drive has it, said this.
    if (stDetails.dwLoading == RKDETAILS_UNKNOWN)
    {
        stDetails.dwLoading = RKScLoadingOfType(stCaps.bLoading);
        stDetails.dwCanEject = Flag(stCaps.bCanEject);
        stDetails.dwCanLock = Flag(stCaps.bCanLock);
        stDetails.dwCanClose = CanCloseOfLoading(stDetails.dwLoading);
    }
}

void RKScQueryWriteSpeeds(CRKScDevice& device, const std::string& strDevice, RKDriveDetails& stDetails)
{
    std::vector<std::uint8_t> vecData(8 + 16 * static_cast<std::size_t>(RKSC_WRITE_SPEEDS));
    RKScReply stReply =
        RKScSend(device, RKScWriteSpeedsCdb(RKSC_WRITE_SPEEDS), vecData.data(), vecData.size());
    if (stReply.eStatus != RKSC_COMMAND_GOOD)
    {
        RKScTraceReply(strDevice, "GET PERFORMANCE", stReply);
        return;
    }
    RKScSpeeds stSpeeds = RKScParseWriteSpeeds(vecData.data(), stReply.nTransferred);
    RKScTraceProblem(strDevice, "GET PERFORMANCE", stSpeeds.strProblem);
    if (stDetails.dwMaxReadKbps == RKDETAILS_UNKNOWN)
        stDetails.dwMaxReadKbps = stSpeeds.dwMaxReadKbps;
    if (stDetails.dwMaxWriteKbps == RKDETAILS_UNKNOWN)
        stDetails.dwMaxWriteKbps = stSpeeds.dwMaxWriteKbps;
}

bool RKScQueryTrayState(CRKScDevice& device, RKTrayState& stState, std::vector<std::uint8_t>& vecCapabilities)
{
    bool bTold = false;
    std::uint8_t abEvent[RKSC_MEDIA_EVENT_READ] = {};
    RKScReply stReply = RKScSend(device, RKScMediaEventCdb(RKSC_MEDIA_EVENT_READ), abEvent, sizeof(abEvent));
    RKScMediaEvent stEvent = RKScParseMediaEvent(abEvent, stReply.nTransferred);
    if (stReply.eStatus == RKSC_COMMAND_GOOD && stEvent.bOk)
    {
        bTold = true;
        stState.dwOpen = Flag(stEvent.bTrayOpen);
        stState.dwMediaPresent = Flag(stEvent.bMediaPresent);
        stState.dwEvents = EventsOfCode(stEvent.bEventCode);
    }
    else
    {
        // Drives without media events still say whether the door is open.
        std::uint8_t abMechanism[RKSC_MECHANISM_READ] = {};
        stReply =
            RKScSend(device, RKScMechanismStatusCdb(RKSC_MECHANISM_READ), abMechanism, sizeof(abMechanism));
        RKScMechanism stMechanism = RKScParseMechanismStatus(abMechanism, stReply.nTransferred);
        if (stReply.eStatus == RKSC_COMMAND_GOOD && stMechanism.bOk)
        {
            bTold = true;
            stState.dwOpen = Flag(stMechanism.bDoorOpen);
        }
    }

    if (stState.dwMediaPresent == 0)
        stState.dwReady = 0;
    else
    {
        RKScReply stReady = RKScSend(device, RKScTestUnitReadyCdb(), nullptr, 0);
        const RKScSense& stSense = stReady.stSense;
        if (stReady.eStatus == RKSC_COMMAND_GOOD)
        {
            bTold = true;
            stState.dwReady = 1;
            stState.dwMediaPresent = 1;
            stState.dwOpen = 0;
        }
        else if (stReady.eStatus == RKSC_COMMAND_CHECK_CONDITION && stSense.bValid && stSense.bCodes)
        {
            bTold = true;
            stState.dwReady = 0;
            if (stSense.bKey == 0x2 && stSense.bAsc == 0x04)
                stState.dwMediaPresent = 1; // becoming ready, or busy with the disc
            else if (RKScSenseNoMedium(stSense))
            {
                stState.dwMediaPresent = 0;
                // 3A/01: tray closed, 3A/02: tray open.
                if (stSense.bAscq == 0x01 || stSense.bAscq == 0x02)
                    stState.dwOpen = Flag(stSense.bAscq == 0x02);
            }
        }
    }

    if (RKScQueryCapabilities(device, std::string(), vecCapabilities, true))
    {
        bTold = true;
        stState.dwLocked =
            Flag(RKScParseCapabilities(vecCapabilities.data(), vecCapabilities.size()).bLocked);
    }
    return bTold;
}

DWORD RKScTrayEventsOf(unsigned uDriveEvents)
{
    return uDriveEvents & RKSC_DRIVE_EVENT_EJECT_REQUEST ? RKTRAY_EVENT_EJECT_REQUEST : 0u;
}
