#include "RKToolDetailsReport.h"

#include <algorithm>
#include <cstdio>

#include "RKToolText.h"
#include "RKUtf8.h"

namespace
{
const char s_szUnknown[] = "not known";

bool Known(DWORD dwValue)
{
    return dwValue != RKDETAILS_UNKNOWN;
}

RKToolJson TextJson(const unsigned short* szText)
{
    std::string strText = RKTextToUtf8(szText);
    return strText.empty() ? RKToolJson() : RKToolJson(strText);
}

RKToolJson NumberJson(DWORD dwValue)
{
    return Known(dwValue) ? RKToolJson(dwValue) : RKToolJson();
}

RKToolJson FlagJson(DWORD dwValue)
{
    return dwValue == 0 || dwValue == 1 ? RKToolJson(dwValue == 1) : RKToolJson();
}

RKToolJson NameJson(const std::string& strName)
{
    return strName.empty() ? RKToolJson() : RKToolJson(strName);
}

// A value with no name keeps its number in view.
std::string NameOrNumber(const std::string& strName, DWORD dwValue)
{
    if (!Known(dwValue))
        return std::string();
    return strName.empty() ? RKToolHex(dwValue) : strName;
}

bool CapacityBytes(const RKDiscDetails& stDisc, unsigned long long& ullBytes)
{
    if (!Known(stDisc.dwCapacityBlocks) || !Known(stDisc.dwBlockSize))
        return false;
    ullBytes = static_cast<unsigned long long>(stDisc.dwCapacityBlocks) * stDisc.dwBlockSize;
    return true;
}

// Thousands set apart: "737,280,000".
std::string Grouped(unsigned long long ullValue)
{
    std::string strDigits = std::to_string(ullValue);
    for (int nAt = static_cast<int>(strDigits.size()) - 3; nAt > 0; nAt -= 3)
        strDigits.insert(static_cast<std::size_t>(nAt), ",");
    return strDigits;
}

std::string Line(const char* szLabel, const std::string& strValue)
{
    std::string strLine = std::string("  ") + szLabel + ":";
    strLine.resize(std::max<std::size_t>(strLine.size() + 1, 20), ' ');
    return strLine + (strValue.empty() ? s_szUnknown : strValue);
}

std::string TextOr(const unsigned short* szText, const char* szEmpty)
{
    std::string strText = RKTextToUtf8(szText);
    return strText.empty() ? szEmpty : strText;
}

std::string YesNo(DWORD dwValue)
{
    return dwValue == 1 ? "yes" : dwValue == 0 ? "no" : "?";
}

std::string NumberText(DWORD dwValue, const char* szUnit)
{
    return Known(dwValue) ? Grouped(dwValue) + szUnit : std::string();
}

// "CD-ROM (0x0008)", with a note inside the brackets when given.
std::string ProfileText(DWORD dwProfile, const char* szNote = "")
{
    char szCode[16];
    std::snprintf(szCode, sizeof(szCode), "0x%04X", static_cast<unsigned int>(dwProfile));
    std::string strName = RKTextToUtf8(RKDRV::GetProfileName(dwProfile));
    std::string strCode = std::string(szCode) + szNote;
    return strName.empty() ? strCode : strName + " (" + strCode + ")";
}

std::vector<std::string> DriveLines(const RKDriveDetails& stDrive)
{
    std::vector<std::string> vecLines;
    vecLines.push_back(Line("vendor", RKTextToUtf8(stDrive.szVendor)));
    vecLines.push_back(Line("product", RKTextToUtf8(stDrive.szProduct)));
    vecLines.push_back(Line("revision", RKTextToUtf8(stDrive.szRevision)));
    vecLines.push_back(Line("serial number", RKTextToUtf8(stDrive.szSerial)));
    vecLines.push_back(
        Line("interface", NameOrNumber(RKToolInterfaceName(stDrive.dwInterface), stDrive.dwInterface)));
    std::string strLoading = NameOrNumber(RKToolLoadingName(stDrive.dwLoading), stDrive.dwLoading);
    vecLines.push_back(Line("loading", (strLoading.empty() ? std::string(s_szUnknown) : strLoading) +
                                           "; can eject: " + YesNo(stDrive.dwCanEject) +
                                           ", close: " + YesNo(stDrive.dwCanClose) +
                                           ", lock: " + YesNo(stDrive.dwCanLock)));
    std::string strProfiles;
    if (RKToolProfilesKnown(stDrive))
    {
        DWORD dwCount = std::min<DWORD>(stDrive.dwProfileCount, RKDETAILS_MAX_PROFILES);
        for (DWORD i = 0; i < dwCount; ++i)
            strProfiles += (i ? ", " : "") +
                           ProfileText(stDrive.awProfiles[i],
                                       stDrive.awProfiles[i] == stDrive.dwCurrentProfile ? ", current" : "");
        if (dwCount == 0)
            strProfiles = "none";
    }
    vecLines.push_back(Line("profiles", strProfiles));
    vecLines.push_back(Line("read speed", NumberText(stDrive.dwMaxReadKbps, " kB/s")));
    vecLines.push_back(Line("write speed", NumberText(stDrive.dwMaxWriteKbps, " kB/s")));
    vecLines.push_back(
        Line("buffer", Known(stDrive.dwBufferKiB)
                           ? RKToolBytesText(static_cast<unsigned long long>(stDrive.dwBufferKiB) * 1024)
                           : std::string()));
    return vecLines;
}

std::string BlocksText(DWORD dwBlocks, DWORD dwBlockSize)
{
    if (!Known(dwBlocks))
        return std::string();
    std::string strText = Grouped(dwBlocks) + (dwBlocks == 1 ? " block" : " blocks");
    if (Known(dwBlockSize))
        strText += " of " + Grouped(dwBlockSize) +
                   " bytes = " + RKToolBytesText(static_cast<unsigned long long>(dwBlocks) * dwBlockSize);
    return strText;
}

std::vector<std::string> DiscLines(const RKDiscDetails& stDisc)
{
    std::vector<std::string> vecLines;
    vecLines.push_back(
        Line("profile", Known(stDisc.dwProfile) ? ProfileText(stDisc.dwProfile) : std::string()));
    std::string strState = NameOrNumber(RKToolDiscStateName(stDisc.dwDiscState), stDisc.dwDiscState);
    vecLines.push_back(Line("state", (strState.empty() ? std::string(s_szUnknown) : strState) +
                                         (stDisc.dwErasable == 1   ? ", erasable"
                                          : stDisc.dwErasable == 0 ? ", not erasable"
                                                                   : "")));
    std::string strSessions = NumberText(stDisc.dwSessions, "");
    std::string strLast = RKToolSessionStateName(stDisc.dwLastSessionState);
    if (!strSessions.empty() && !strLast.empty())
        strSessions += ", the last one " + strLast;
    vecLines.push_back(Line("sessions", strSessions));
    std::string strTracks;
    if (Known(stDisc.dwFirstTrack) && Known(stDisc.dwLastTrack))
        strTracks = Grouped(stDisc.dwFirstTrack) + " to " + Grouped(stDisc.dwLastTrack);
    if (Known(stDisc.dwDataTracks) && Known(stDisc.dwAudioTracks))
        strTracks += (strTracks.empty() ? "" : ": ") + Grouped(stDisc.dwDataTracks) + " data, " +
                     Grouped(stDisc.dwAudioTracks) + " audio";
    vecLines.push_back(Line("tracks", strTracks));
    vecLines.push_back(Line("capacity", BlocksText(stDisc.dwCapacityBlocks, stDisc.dwBlockSize)));
    vecLines.push_back(Line("free", BlocksText(stDisc.dwFreeBlocks, stDisc.dwBlockSize)));
    vecLines.push_back(Line("label", TextOr(stDisc.szLabel, "none")));
    return vecLines;
}

std::vector<std::string> TrayLines(const RKTrayState& stTray)
{
    std::vector<std::string> vecLines;
    vecLines.push_back(Line("open", Known(stTray.dwOpen) ? YesNo(stTray.dwOpen) : std::string()));
    std::string strMedium = stTray.dwMediaPresent == 1 ? "present" : stTray.dwMediaPresent == 0 ? "none" : "";
    if (stTray.dwMediaPresent == 1 && Known(stTray.dwReady))
        strMedium += stTray.dwReady == 1 ? ", ready" : ", not ready";
    vecLines.push_back(Line("medium", strMedium));
    vecLines.push_back(Line("locked", Known(stTray.dwLocked) ? YesNo(stTray.dwLocked) : std::string()));
    return vecLines;
}

void Append(std::vector<std::string>& vecLines, const char* szGroup, bool bAnswered,
            const std::vector<std::string>& vecGroup)
{
    vecLines.push_back(szGroup);
    if (!bAnswered)
        vecLines.push_back("  the engine gave none (--trace shows why)");
    else
        vecLines.insert(vecLines.end(), vecGroup.begin(), vecGroup.end());
}
} // namespace

std::string RKToolBytesText(unsigned long long ullBytes)
{
    std::string strText = Grouped(ullBytes) + (ullBytes == 1 ? " byte" : " bytes");
    static const char* const s_aszUnits[] = {"KiB", "MiB", "GiB", "TiB"};
    double dValue = static_cast<double>(ullBytes);
    int nUnit = -1;
    while (dValue >= 1024.0 && nUnit < 3)
    {
        dValue /= 1024.0;
        ++nUnit;
    }
    if (nUnit < 0)
        return strText;
    char szUnit[32];
    std::snprintf(szUnit, sizeof(szUnit), " (%.1f %s)", dValue, s_aszUnits[nUnit]);
    return strText + szUnit;
}

void RKToolAddDetailsJson(const RKToolDetails& stDetails, RKToolJson& jsonWriter)
{
    // An engine that gave no answer leaves every field not known.
    RKDriveDetails stDrive = {};
    if (stDetails.bDrive)
        stDrive = stDetails.stDrive;
    bool bDrive = stDetails.bDrive;
    RKToolJson jsonDrive;
    jsonDrive["vendor"] = bDrive ? TextJson(stDrive.szVendor) : RKToolJson();
    jsonDrive["product"] = bDrive ? TextJson(stDrive.szProduct) : RKToolJson();
    jsonDrive["revision"] = bDrive ? TextJson(stDrive.szRevision) : RKToolJson();
    jsonDrive["serial"] = bDrive ? TextJson(stDrive.szSerial) : RKToolJson();
    jsonDrive["interface"] =
        bDrive ? NameJson(NameOrNumber(RKToolInterfaceName(stDrive.dwInterface), stDrive.dwInterface))
               : RKToolJson();
    jsonDrive["loading"] =
        bDrive ? NameJson(NameOrNumber(RKToolLoadingName(stDrive.dwLoading), stDrive.dwLoading))
               : RKToolJson();
    jsonDrive["can_eject"] = bDrive ? FlagJson(stDrive.dwCanEject) : RKToolJson();
    jsonDrive["can_close"] = bDrive ? FlagJson(stDrive.dwCanClose) : RKToolJson();
    jsonDrive["can_lock"] = bDrive ? FlagJson(stDrive.dwCanLock) : RKToolJson();
    RKToolJson jsonProfiles;
    if (bDrive && RKToolProfilesKnown(stDrive))
    {
        jsonProfiles = RKToolJson::array();
        DWORD dwCount = std::min<DWORD>(stDrive.dwProfileCount, RKDETAILS_MAX_PROFILES);
        for (DWORD i = 0; i < dwCount; ++i)
            jsonProfiles.push_back(stDrive.awProfiles[i]);
    }
    jsonDrive["profiles"] = jsonProfiles;
    jsonDrive["max_read_kbps"] = bDrive ? NumberJson(stDrive.dwMaxReadKbps) : RKToolJson();
    jsonDrive["max_write_kbps"] = bDrive ? NumberJson(stDrive.dwMaxWriteKbps) : RKToolJson();
    jsonDrive["buffer_kib"] = bDrive ? NumberJson(stDrive.dwBufferKiB) : RKToolJson();
    jsonWriter["drive"] = jsonDrive;

    RKToolJson jsonDisc;
    if (stDetails.HasDisc())
    {
        const RKDiscDetails& stDisc = stDetails.stDisc;
        jsonDisc["profile"] = NumberJson(stDisc.dwProfile);
        jsonDisc["profile_name"] = Known(stDisc.dwProfile)
                                       ? NameJson(RKTextToUtf8(RKDRV::GetProfileName(stDisc.dwProfile)))
                                       : RKToolJson();
        jsonDisc["erasable"] = FlagJson(stDisc.dwErasable);
        jsonDisc["sessions"] = NumberJson(stDisc.dwSessions);
        jsonDisc["last_session_state"] = NameJson(RKToolSessionStateName(stDisc.dwLastSessionState));
        jsonDisc["first_track"] = NumberJson(stDisc.dwFirstTrack);
        jsonDisc["last_track"] = NumberJson(stDisc.dwLastTrack);
        jsonDisc["audio_tracks"] = NumberJson(stDisc.dwAudioTracks);
        jsonDisc["data_tracks"] = NumberJson(stDisc.dwDataTracks);
        jsonDisc["capacity_blocks"] = NumberJson(stDisc.dwCapacityBlocks);
        jsonDisc["block_size"] = NumberJson(stDisc.dwBlockSize);
        unsigned long long ullBytes = 0;
        jsonDisc["capacity_bytes"] = CapacityBytes(stDisc, ullBytes) ? RKToolJson(ullBytes) : RKToolJson();
        jsonDisc["free_blocks"] = NumberJson(stDisc.dwFreeBlocks);
        jsonDisc["label"] = TextJson(stDisc.szLabel);
    }
    jsonWriter["disc"] = jsonDisc;

    RKToolJson jsonTray;
    jsonTray["open"] = stDetails.bTray ? FlagJson(stDetails.stTray.dwOpen) : RKToolJson();
    jsonTray["locked"] = stDetails.bTray ? FlagJson(stDetails.stTray.dwLocked) : RKToolJson();
    jsonWriter["tray"] = jsonTray;
}

std::vector<std::string> RKToolDetailsLines(const RKToolDetails& stDetails)
{
    std::vector<std::string> vecLines;
    if (!stDetails.bOffered)
    {
        vecLines.push_back("Details: the engine offers none for this drive");
        return vecLines;
    }
    Append(vecLines, "Drive", stDetails.bDrive, DriveLines(stDetails.stDrive));
    if (!stDetails.bDiscAsked || (stDetails.bDisc && stDetails.stDisc.dwDiscPresent == 0))
        vecLines.insert(vecLines.end(), {"Disc", "  none in the drive"});
    else
        Append(vecLines, "Disc", stDetails.HasDisc(), DiscLines(stDetails.stDisc));
    Append(vecLines, "Tray", stDetails.bTray, TrayLines(stDetails.stTray));
    return vecLines;
}
