// rkdrv list, info, eject, reload and --version.
#include "RKToolCommands.h"

#include "RKToolEngineCall.h"
#include "RKToolExitCodes.h"
#include "RKToolText.h"

namespace
{
void PrintLines(RKToolContext& ctx, const std::vector<std::string>& vecLines)
{
    for (const std::string& strLine : vecLines)
        ctx.console.Out(strLine);
}

std::string LettersText(CRKDRVManager* pManager)
{
    std::string strLetters;
    int nCount = pManager->GetNbWriter();
    for (int i = 0; i < nCount; ++i)
    {
        if (CRKWriter* pWriter = pManager->GetWriter(static_cast<DWORD>(i)))
            strLetters +=
                (strLetters.empty() ? "" : ", ") + RKToolLetterText(pWriter->GetDriveLetter()) + ":";
    }
    return strLetters.empty() ? std::string("none") : strLetters;
}

WORD OtherCase(WORD wLetter)
{
    if (wLetter >= 'A' && wLetter <= 'Z')
        return static_cast<WORD>(wLetter - 'A' + 'a');
    if (wLetter >= 'a' && wLetter <= 'z')
        return static_cast<WORD>(wLetter - 'a' + 'A');
    return wLetter;
}

RKToolJson FileJson(const RKToolFileInfo& stFile)
{
    RKToolJson jsonFile;
    jsonFile["path"] = stFile.strPath.empty() ? RKToolJson() : RKToolJson(stFile.strPath);
    jsonFile["version"] = stFile.strVersion.empty() ? RKToolJson() : RKToolJson(stFile.strVersion);
    jsonFile["version_source"] = stFile.strVersionSource;
    return jsonFile;
}

std::string FileText(const RKToolFileInfo& stFile)
{
    std::string strText = stFile.strPath.empty() ? std::string("(file unknown)") : stFile.strPath;
    if (!stFile.strVersion.empty())
        return strText + ", version " + stFile.strVersion + " (from its " + stFile.strVersionSource + ")";
    return strText + ", no version: " + stFile.strVersionSource;
}
} // namespace

int RKToolFail(RKToolContext& ctx, int nCode, const std::string& strMessage)
{
    ctx.console.Err("rkdrv: " + strMessage);
    RKToolJson jsonError;
    jsonError["exit_code"] = nCode;
    jsonError["message"] = strMessage;
    ctx.jsonDoc["error"] = jsonError;
    return nCode;
}

int RKToolLoadEngine(RKToolContext& ctx, CRKToolEngine& engine, const RKToolEngineChoice& stChoice)
{
    if (engine.Load(stChoice))
        return RKEXIT_DONE;
    std::string strModules = RKToolEngineModules(stChoice.dwId);
    return RKToolFail(ctx, RKEXIT_NO_ENGINE,
                      "no engine could be loaded for --engine " + stChoice.strName + " (" +
                          (strModules.empty()
                               ? "no engine module has identifier " + RKToolHex(stChoice.dwId)
                               : RKToolHex(stChoice.dwId) + ": " + strModules + " not found or refused") +
                          ")");
}

int RKToolFindDrive(RKToolContext& ctx, CRKToolEngine& engine, WORD wLetter, DWORD& dwIndex)
{
    CRKDRVManager* pManager = engine.Manager();
    unsigned int uIndex = 0;
    if (pManager->GetWriterFromLetter(wLetter, uIndex) ||
        pManager->GetWriterFromLetter(OtherCase(wLetter), uIndex))
    {
        dwIndex = uIndex;
        return RKEXIT_DONE;
    }
    return RKToolFail(ctx, RKEXIT_NO_DRIVE,
                      "no drive " + RKToolLetterText(wLetter) + ": (the engine lists " +
                          LettersText(pManager) + ")");
}

int RKToolList(RKToolContext& ctx, CRKToolEngine& engine, RKToolJson& jsonOut)
{
    jsonOut["engine"] = RKToolEngineJson(engine);
    std::vector<RKToolDriveRow> vecRows = RKToolReadDrives(engine.Manager(), true);
    jsonOut["writers"] = RKToolDrivesJson(vecRows, engine.IsSystemEngine());
    ctx.console.Out("Engine " + RKToolEngineLine(engine));
    ctx.console.Out(std::to_string(vecRows.size()) + (vecRows.size() == 1 ? " writer" : " writers") +
                    (vecRows.empty() ? "." : ":"));
    if (!vecRows.empty())
        PrintLines(ctx, RKToolDriveTable(vecRows, engine.IsSystemEngine()));
    return RKEXIT_DONE;
}

int RKToolInfo(RKToolContext& ctx, CRKToolEngine& engine, WORD wLetter, RKToolJson& jsonOut)
{
    jsonOut["engine"] = RKToolEngineJson(engine);
    DWORD dwIndex = 0;
    if (int nCode = RKToolFindDrive(ctx, engine, wLetter, dwIndex))
        return nCode;
    RKToolDriveRow stRow = RKToolReadDrive(engine.Manager(), dwIndex, true);
    jsonOut["writer"] = RKToolDriveJson(stRow, engine.IsSystemEngine());
    PrintLines(ctx, RKToolDriveDetail(stRow, engine.IsSystemEngine()));
    ctx.console.Out("  engine:           " + RKToolEngineLine(engine));
    return RKEXIT_DONE;
}

int RKToolEject(RKToolContext& ctx, CRKToolEngine& engine, WORD wLetter, RKToolJson& jsonOut)
{
    jsonOut["engine"] = RKToolEngineJson(engine);
    DWORD dwIndex = 0;
    if (int nCode = RKToolFindDrive(ctx, engine, wLetter, dwIndex))
        return nCode;
    CRKWriter* pWriter = engine.Manager()->GetWriter(dwIndex);
    int nResult = RKToolEngineCall("EjectTray", pWriter->GetDriveLetter(), [&] { return pWriter->EjectTray(); });
    RKToolJson jsonEject;
    jsonEject["index"] = dwIndex;
    jsonEject["letter"] = RKToolLetterText(pWriter->GetDriveLetter());
    jsonEject["result"] = nResult;
    jsonOut["eject"] = jsonEject;
    std::string strDrive = RKToolLetterText(pWriter->GetDriveLetter()) + ":";
    if (!nResult)
        return RKToolFail(ctx, RKEXIT_NO_DISC,
                          "the engine did not open the tray of " + strDrive + " (EjectTray gave 0)");
    ctx.console.Out("Tray of " + strDrive + " (index " + std::to_string(dwIndex) +
                    ") opened (EjectTray gave " + std::to_string(nResult) + ")");
    return RKEXIT_DONE;
}

int RKToolReload(RKToolContext& ctx, CRKToolEngine& engine, const RKToolEngineChoice& stTo,
                 RKToolJson& jsonOut)
{
    bool bSystemBefore = engine.IsSystemEngine();
    std::vector<RKToolDriveRow> vecBefore = RKToolReadDrives(engine.Manager(), true);
    RKToolJson jsonBefore;
    jsonBefore["engine"] = RKToolEngineJson(engine);
    jsonBefore["writers"] = RKToolDrivesJson(vecBefore, bSystemBefore);
    jsonOut["before"] = jsonBefore;
    ctx.console.Out("Before the reload: " + RKToolEngineLine(engine));
    PrintLines(ctx, RKToolDriveTable(vecBefore, bSystemBefore));

    if (!engine.Reload(stTo))
    {
        std::string strModules = RKToolEngineModules(stTo.dwId);
        return RKToolFail(ctx, RKEXIT_NO_ENGINE,
                          "the reload onto --to " + stTo.strName + " (" + RKToolHex(stTo.dwId) +
                              (strModules.empty() ? "" : ": " + strModules) + ") gave no manager; " +
                              (engine.Manager() ? "the old one was kept" : "the old one is released"));
    }

    bool bSystemAfter = engine.IsSystemEngine();
    std::vector<RKToolDriveRow> vecAfter = RKToolReadDrives(engine.Manager(), true);
    RKToolJson jsonAfter;
    jsonAfter["engine"] = RKToolEngineJson(engine);
    jsonAfter["writers"] = RKToolDrivesJson(vecAfter, bSystemAfter);
    jsonOut["after"] = jsonAfter;
    ctx.console.Out("After the reload: " + RKToolEngineLine(engine));
    PrintLines(ctx, RKToolDriveTable(vecAfter, bSystemAfter));

    // Each drive known before, and where the new table has it.
    RKToolJson jsonKept = RKToolJson::array();
    std::string strKept;
    bool bAllKept = true;
    for (const RKToolDriveRow& stRow : vecBefore)
    {
        if (stRow.bPlaceholder)
            continue;
        unsigned int uAfter = 0;
        bool bFound = engine.Manager()->GetWriterFromLetter(stRow.wLetter, uAfter) != nullptr;
        bool bSame = bFound && uAfter == stRow.dwIndex;
        bAllKept = bAllKept && bSame;
        RKToolJson jsonDrive;
        jsonDrive["letter"] = RKToolLetterText(stRow.wLetter);
        jsonDrive["before"] = stRow.dwIndex;
        jsonDrive["after"] = bFound ? RKToolJson(uAfter) : RKToolJson();
        jsonDrive["same_index"] = bSame;
        jsonKept.push_back(jsonDrive);
        strKept += (strKept.empty() ? "" : ", ") + RKToolLetterText(stRow.wLetter) + ": " +
                   std::to_string(stRow.dwIndex) + " -> " + (bFound ? std::to_string(uAfter) : "gone");
    }
    jsonOut["kept"] = jsonKept;
    jsonOut["all_kept"] = bAllKept;
    if (!strKept.empty())
        ctx.console.Out(std::string(bAllKept ? "Known drives kept their indexes: " : "Known drives: ") +
                        strKept);
    return RKEXIT_DONE;
}

int RKToolVersion(RKToolContext& ctx, const RKToolEngineChoice& stChoice, RKToolJson& jsonOut)
{
    RKToolFileInfo stLibrary = RKToolLibraryFile();
    jsonOut["tool"] = RKDRV_TOOL_VERSION;
    jsonOut["library"] = FileJson(stLibrary);
    ctx.console.Out("rkdrv " RKDRV_TOOL_VERSION);
    ctx.console.Out("library: " + FileText(stLibrary));

    // Without an engine there is still a version to show: not an error.
    CRKToolEngine engine;
    if (!engine.Load(stChoice))
    {
        RKToolJson jsonEngine;
        jsonEngine["requested"] = stChoice.strName;
        jsonEngine["id"] = RKToolHex(stChoice.dwId);
        jsonEngine["loaded"] = false;
        jsonOut["engine"] = jsonEngine;
        std::string strModules = RKToolEngineModules(stChoice.dwId);
        ctx.console.Out("engine: none loaded for --engine " + stChoice.strName + " (" +
                        RKToolHex(stChoice.dwId) + (strModules.empty() ? "" : ": " + strModules) + ")");
        return RKEXIT_DONE;
    }
    RKToolJson jsonEngine = RKToolEngineJson(engine);
    jsonEngine["loaded"] = true;
    RKToolJson jsonFile = FileJson(engine.Module());
    jsonEngine["version"] = jsonFile["version"];
    jsonEngine["version_source"] = jsonFile["version_source"];
    jsonOut["engine"] = jsonEngine;
    ctx.console.Out("engine: " + engine.Module().strName + " (--engine " + stChoice.strName + ", " +
                    RKToolHex(stChoice.dwId) + "): " + FileText(engine.Module()));
    return RKEXIT_DONE;
}
