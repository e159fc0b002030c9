#include "RKToolReport.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>

#include "RKToolText.h"

namespace
{
std::string Join(const std::vector<std::string>& vecItems, const char* szSeparator)
{
    std::string strOut;
    for (const std::string& strItem : vecItems)
        strOut += (strOut.empty() ? "" : szSeparator) + strItem;
    return strOut;
}

// Columns counted in characters, not bytes, so that model names outside
// ASCII keep the table straight.
std::size_t Width(const std::string& strText)
{
    std::size_t nWidth = 0;
    for (char c : strText)
    {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
            ++nWidth;
    }
    return nWidth;
}

std::string Pad(const std::string& strText, std::size_t nWidth)
{
    std::size_t nHave = Width(strText);
    return nHave >= nWidth ? strText : strText + std::string(nWidth - nHave, ' ');
}

std::string DriveText(const RKToolDriveRow& stRow)
{
    return stRow.bPlaceholder ? "-" : RKToolLetterText(stRow.wLetter) + ":";
}

// What the details say the engine's words mean.
bool NamesKnown(const RKToolDriveRow& stRow)
{
    return stRow.stDetails.bDrive && RKToolProfilesKnown(stRow.stDetails.stDrive);
}

std::string DiscState(const RKToolDriveRow& stRow)
{
    return stRow.stDetails.HasDisc() ? RKToolDiscStateName(stRow.stDetails.stDisc.dwDiscState) : "";
}

// The drive's profile, for a medium the library has no name for.
bool UnnamedProfile(const RKToolDriveRow& stRow, DWORD& dwProfile)
{
    dwProfile = stRow.stDetails.stDisc.dwProfile;
    return stRow.stDetails.HasDisc() && dwProfile != RKDETAILS_UNKNOWN &&
           RKToolMediaName(stRow.dwMediaType).empty();
}
} // namespace

std::string RKToolDocumentText(const RKToolJson& jsonDoc)
{
    return jsonDoc.dump(2, ' ', false, RKToolJson::error_handler_t::replace);
}

std::string RKToolJsonLine(const RKToolJson& jsonValue)
{
    return jsonValue.dump(-1, ' ', false, RKToolJson::error_handler_t::replace);
}

RKToolJson RKToolEngineJson(const CRKToolEngine& engine)
{
    const RKToolFileInfo& stModule = engine.Module();
    RKToolJson jsonEngine;
    jsonEngine["requested"] = engine.Choice().strName;
    jsonEngine["id"] = RKToolHex(engine.Choice().dwId);
    jsonEngine["module"] = stModule.strName.empty() ? RKToolJson() : RKToolJson(stModule.strName);
    jsonEngine["path"] = stModule.strPath.empty() ? RKToolJson() : RKToolJson(stModule.strPath);
    // What the module is called; the tool takes no meaning of values from it.
    jsonEngine["system_engine"] = engine.IsSystemModule();
    return jsonEngine;
}

RKToolJson RKToolDriveJson(const RKToolDriveRow& stRow)
{
    // Every field is always there; null says "not known" or "no meaning".
    RKToolJson jsonDrive;
    jsonDrive["index"] = stRow.dwIndex;
    jsonDrive["placeholder"] = stRow.bPlaceholder;
    bool bWriter = !stRow.bPlaceholder;
    bool bDisc = bWriter && stRow.bMediaKnown && stRow.bDisc;
    jsonDrive["letter"] = bWriter ? RKToolJson(RKToolLetterText(stRow.wLetter)) : RKToolJson();
    jsonDrive["model"] = bWriter ? RKToolJson(stRow.strModel) : RKToolJson();
    jsonDrive["supported_media"] = bWriter ? RKToolJson(stRow.dwSupportedMedia) : RKToolJson();
    jsonDrive["supported_media_names"] = bWriter && NamesKnown(stRow)
                                             ? RKToolJson(RKToolProfileMediaNames(stRow.stDetails.stDrive))
                                             : RKToolJson();
    jsonDrive["disc_present"] = bWriter && stRow.bMediaKnown ? RKToolJson(stRow.bDisc) : RKToolJson();
    jsonDrive["media_type"] = bDisc ? RKToolJson(stRow.dwMediaType) : RKToolJson();
    jsonDrive["media_type_name"] = bDisc ? RKToolJson(RKToolMediaName(stRow.dwMediaType)) : RKToolJson();
    DWORD dwProfile = 0;
    jsonDrive["media_profile"] =
        bDisc && UnnamedProfile(stRow, dwProfile) ? RKToolJson(dwProfile) : RKToolJson();
    jsonDrive["disc_type"] = bDisc ? RKToolJson(stRow.dwDiscType) : RKToolJson();
    std::string strState = bDisc ? DiscState(stRow) : "";
    jsonDrive["disc_state"] = strState.empty() ? RKToolJson() : RKToolJson(strState);
    return jsonDrive;
}

RKToolJson RKToolDrivesJson(const std::vector<RKToolDriveRow>& vecRows)
{
    RKToolJson jsonDrives = RKToolJson::array();
    for (const RKToolDriveRow& stRow : vecRows)
        jsonDrives.push_back(RKToolDriveJson(stRow));
    return jsonDrives;
}

std::string RKToolEngineLine(const CRKToolEngine& engine)
{
    const RKToolFileInfo& stModule = engine.Module();
    std::string strLine = (stModule.strName.empty() ? std::string("engine") : stModule.strName) +
                          " (--engine " + engine.Choice().strName + ", " + RKToolHex(engine.Choice().dwId) +
                          ")";
    if (!stModule.strPath.empty())
        strLine += ": " + stModule.strPath;
    return strLine;
}

std::string RKToolSupportedText(const RKToolDriveRow& stRow)
{
    if (stRow.bPlaceholder)
        return "-";
    if (!NamesKnown(stRow))
        return RKToolHex(stRow.dwSupportedMedia);
    std::vector<std::string> vecNames = RKToolProfileMediaNames(stRow.stDetails.stDrive);
    return vecNames.empty() ? std::string("none known") : Join(vecNames, ",");
}

std::string RKToolMediaText(const RKToolDriveRow& stRow)
{
    if (stRow.bPlaceholder || !stRow.bMediaKnown || !stRow.bDisc)
        return "-";
    std::string strName = RKToolMediaName(stRow.dwMediaType);
    if (!strName.empty())
        return strName;
    DWORD dwProfile = 0;
    if (UnnamedProfile(stRow, dwProfile))
    {
        char szProfile[32];
        std::snprintf(szProfile, sizeof(szProfile), "profile 0x%04X", static_cast<unsigned int>(dwProfile));
        return szProfile;
    }
    return "unknown " + RKToolHex(stRow.dwMediaType);
}

std::string RKToolDiscStateText(const RKToolDriveRow& stRow)
{
    if (stRow.bPlaceholder || !stRow.bMediaKnown || !stRow.bDisc)
        return "-";
    std::string strState = DiscState(stRow);
    return strState.empty() ? RKToolHex(stRow.dwDiscType) : strState;
}

std::vector<std::string> RKToolDriveTable(const std::vector<RKToolDriveRow>& vecRows)
{
    std::vector<std::vector<std::string>> vecCells;
    vecCells.push_back({"INDEX", "DRIVE", "MODEL", "SUPPORTED MEDIA", "DISC", "MEDIA", "DISC STATE"});
    for (const RKToolDriveRow& stRow : vecRows)
    {
        if (stRow.bPlaceholder)
        {
            vecCells.push_back(
                {std::to_string(stRow.dwIndex), "-", "(placeholder: no writer)", "-", "-", "-", "-"});
            continue;
        }
        std::string strDisc = !stRow.bMediaKnown ? "?" : stRow.bDisc ? "yes" : "no";
        vecCells.push_back({std::to_string(stRow.dwIndex), DriveText(stRow), stRow.strModel,
                            RKToolSupportedText(stRow), strDisc, RKToolMediaText(stRow),
                            RKToolDiscStateText(stRow)});
    }
    std::vector<std::size_t> vecWidths(vecCells.front().size(), 0);
    for (const std::vector<std::string>& vecRow : vecCells)
    {
        for (std::size_t i = 0; i < vecRow.size(); ++i)
            vecWidths[i] = std::max(vecWidths[i], Width(vecRow[i]));
    }
    std::vector<std::string> vecLines;
    for (const std::vector<std::string>& vecRow : vecCells)
    {
        std::string strLine;
        for (std::size_t i = 0; i < vecRow.size(); ++i)
            strLine += i + 1 < vecRow.size() ? Pad(vecRow[i], vecWidths[i] + 2) : vecRow[i];
        vecLines.push_back(strLine);
    }
    return vecLines;
}

std::vector<std::string> RKToolDriveDetail(const RKToolDriveRow& stRow)
{
    std::vector<std::string> vecLines;
    vecLines.push_back("Drive " + DriveText(stRow) + " (index " + std::to_string(stRow.dwIndex) + ")");
    if (stRow.bPlaceholder)
    {
        vecLines.push_back("  placeholder: no writer at this index");
        return vecLines;
    }
    vecLines.push_back("  model:            " + stRow.strModel);
    std::string strSupported = RKToolHex(stRow.dwSupportedMedia);
    strSupported +=
        NamesKnown(stRow) ? " (" + RKToolSupportedText(stRow) + ")" : " (the engine's own meaning)";
    vecLines.push_back("  supported media:  " + strSupported);
    vecLines.push_back(std::string("  disc present:     ") + (stRow.bDisc ? "yes" : "no"));
    if (stRow.bDisc)
    {
        vecLines.push_back("  media type:       " + RKToolMediaText(stRow) + " (" +
                           RKToolHex(stRow.dwMediaType) + ")");
        std::string strState = DiscState(stRow);
        vecLines.push_back(
            "  disc type:        " + RKToolHex(stRow.dwDiscType) +
            (strState.empty() ? std::string(" (the engine's own meaning)") : " (" + strState + ")"));
    }
    return vecLines;
}
