#include "RKToolOptions.h"

#include <cmath>
#include <cstdio>
#include <iostream>
#include <utility>

#include <CLI/CLI.hpp>

#include "RKToolDrive.h"
#include "RKToolExitCodes.h"
#include "RKToolText.h"
#include "RKToolWatch.h"

namespace
{
const char s_szExitCodes[] = "Exit codes:\n"
                             "  0    done: disc found, drive ejected, table shown, watch ended\n"
                             "  1    the wait ended without a disc (Ctrl-C, --timeout) or with a disc of\n"
                             "       another --type; eject, close, lock, unlock: the engine did not do it\n"
                             "  2    usage error (unknown option, bad letter, bad engine name)\n"
                             "  3    no engine could be loaded\n"
                             "  4    no such drive\n"
                             "  5    the engine failed: one of its calls threw\n"
                             "  6    internal failure of the tool (a fault, not an outcome)\n"
                             "  130  a second Ctrl-C during a wait";

std::string Footer()
{
    return "\n" + RKToolEngineHelp() + "\n\n" + s_szExitCodes + "\n";
}

// "E", "e", "E:" or "e:"; 0 for anything else.
WORD ParseLetter(const std::string& strText)
{
    if (strText.empty() || strText.size() > 2 || (strText.size() == 2 && strText[1] != ':'))
        return 0;
    char c = strText[0];
    if (c >= 'a' && c <= 'z')
        c = static_cast<char>(c - 'a' + 'A');
    return c >= 'A' && c <= 'Z' ? static_cast<WORD>(c) : 0;
}

// CLI11 messages may span lines; a usage error is one.
std::string OneLine(std::string strText)
{
    for (char& c : strText)
    {
        if (c == '\n' || c == '\r')
            c = ' ';
    }
    while (!strText.empty() && strText.back() == ' ')
        strText.pop_back();
    return strText;
}

// What CLI11 collected, before it is checked.
struct RKToolRawArguments
{
    CLI::App* pCommand = nullptr;
    std::string strEngine = "sc";
    std::string strTarget;
    std::string strType;
    std::string strReloadTo;
    bool bEngineGiven = false;
    bool bTypeGiven = false;
    bool bTimeoutGiven = false;
    RKToolWatchArguments watch;
};

RKToolCommand CommandOfName(const std::string& strName)
{
    static const std::pair<const char*, RKToolCommand> s_aCommands[] = {
        {"list", RKToolCommand::List},   {"info", RKToolCommand::Info},     {"wait", RKToolCommand::Wait},
        {"eject", RKToolCommand::Eject}, {"reload", RKToolCommand::Reload}, {"demo", RKToolCommand::Demo},
        {"close", RKToolCommand::Close}, {"lock", RKToolCommand::Lock},     {"unlock", RKToolCommand::Unlock},
        {"watch", RKToolCommand::Watch},
    };
    for (const auto& command : s_aCommands)
    {
        if (strName == command.first)
            return command.second;
    }
    return RKToolCommand::None;
}

int Check(const RKToolRawArguments& raw, RKToolOptions& options)
{
    CLI::App* pCommand = raw.pCommand;
    std::string strCommand = pCommand ? pCommand->get_name() : "";
    const std::string& strTarget = raw.strTarget;
    if (!RKToolParseEngine(raw.strEngine, options.stEngine))
        return RKToolUsageError("bad engine name '" + raw.strEngine + "': use sc, auto, cl, rd, im or 0xHEX",
                                "");
    options.bEngineGiven = raw.bEngineGiven;
    if (!pCommand)
    {
        if (options.bVersion)
            return -1;
        return RKToolUsageError(
            "a command is required: list, info, wait, eject, close, lock, unlock, reload, watch or demo", "");
    }
    options.eCommand = CommandOfName(strCommand);
    if (options.eCommand == RKToolCommand::Watch)
        return RKToolCheckWatch(raw.watch, options);

    if (options.eCommand == RKToolCommand::Info || options.eCommand == RKToolCommand::Eject ||
        options.eCommand == RKToolCommand::Close || options.eCommand == RKToolCommand::Lock ||
        options.eCommand == RKToolCommand::Unlock || options.eCommand == RKToolCommand::Wait)
    {
        options.bAnyDrive = options.eCommand == RKToolCommand::Wait && RKToolUpper(strTarget) == "ANY";
        if (!options.bAnyDrive)
        {
            options.wLetter = ParseLetter(strTarget);
            if (!options.wLetter)
                return RKToolUsageError("bad drive letter '" + strTarget +
                                            "': give one letter, like E or E:" +
                                            (options.eCommand == RKToolCommand::Wait ? ", or any" : ""),
                                        strCommand);
        }
    }
    if (options.eCommand == RKToolCommand::Wait)
    {
        if (options.bSingle && options.bAnyDrive)
            return RKToolUsageError("--single waits on one drive: give its letter, not any", strCommand);
        options.bHasType = raw.bTypeGiven;
        if (options.bHasType && !RKToolFindMediaType(raw.strType, options.dwType))
            return RKToolUsageError(
                "unknown media type '" + raw.strType + "': use one of " + RKToolMediaNameList(), strCommand);
        options.bHasTimeout = raw.bTimeoutGiven;
        if (options.bHasTimeout && !(options.dTimeout >= 0 && std::isfinite(options.dTimeout)))
            return RKToolUsageError("--timeout takes a number of seconds, 0 or more", strCommand);
    }
    if (options.eCommand == RKToolCommand::Reload && !RKToolParseEngine(raw.strReloadTo, options.stReloadTo))
        return RKToolUsageError("bad engine name '" + raw.strReloadTo +
                                    "' for --to: use sc, auto, cl, rd, im or 0xHEX",
                                strCommand);
    if (options.eCommand == RKToolCommand::Demo && options.bEngineGiven)
        return RKToolUsageError("demo always runs on the sample engine (cl, then rd): drop --engine",
                                strCommand);
    return -1;
}
} // namespace

int RKToolUsageError(const std::string& strMessage, const std::string& strCommand)
{
    std::string strHelp = strCommand.empty() ? "rkdrv --help" : "rkdrv " + strCommand + " --help";
    std::fprintf(stderr, "rkdrv: %s\n", OneLine(strMessage).c_str());
    std::fprintf(stderr, "Usage: rkdrv [--engine ENGINE] [--json] [--trace] COMMAND [ARGS]; see '%s'\n",
                 strHelp.c_str());
    return RKEXIT_USAGE;
}

int RKToolParseArguments(int argc, char** argv, RKToolOptions& options)
{
    CLI::App app{
        "rkdrv: the machine's optical drives through RKDRV: list them, show one in detail, wait for a "
        "disc, eject, close or lock a tray, reload another engine.",
        "rkdrv"};
    app.footer(Footer());
    app.get_formatter()->label("SUBCOMMAND", "COMMAND");
    // Global options may follow the command too ("rkdrv list --json").
    app.fallthrough();
    app.require_subcommand(0, 1);

    RKToolRawArguments raw;
    CLI::Option* pEngine =
        app.add_option("--engine", raw.strEngine, "Engine to load: sc (default), auto, cl, rd, im or 0xHEX")
            ->type_name("ENGINE");
    app.add_flag("--json", options.bJson, "One JSON document on stdout, nothing else there");
    app.add_flag("--trace", options.bTrace, "The library's trace records on stderr, indented by scope");
    app.add_flag("--version", options.bVersion, "Versions of the tool, the library and the engine module");

    CLI::App* pList = app.add_subcommand("list", "Every writer: index, letter, model, media, disc");
    CLI::App* pInfo = app.add_subcommand("info", "One drive in detail");
    CLI::App* pWait = app.add_subcommand("wait", "Wait for a disc in one drive or any");
    CLI::App* pEject = app.add_subcommand("eject", "Open a drive's tray through the engine");
    CLI::App* pClose = app.add_subcommand("close", "Close a drive's tray");
    CLI::App* pLock = app.add_subcommand("lock", "Lock a drive's door (on Windows until Ctrl-C)");
    CLI::App* pUnlock = app.add_subcommand("unlock", "Unlock a drive's door");
    CLI::App* pReload = app.add_subcommand("reload", "Switch engines; known drives keep their indexes");
    CLI::App* pDemo = app.add_subcommand("demo", "All of it on the sample engine's simulated drives");
    CLI::App* pWatch = RKToolAddWatchCommand(app, raw.watch, Footer());

    std::string strInfoLetter, strEjectLetter, strWaitTarget = "any";
    pInfo->add_option("LETTER", strInfoLetter, "Drive letter: E or E:")->required()->type_name("");
    pEject->add_option("LETTER", strEjectLetter, "Drive letter: E or E:")->required()->type_name("");
    std::string strTrayLetter;
    for (CLI::App* pTray : {pClose, pLock, pUnlock})
        pTray->add_option("LETTER", strTrayLetter, "Drive letter: E or E:")->required()->type_name("");
    pWait->add_option("TARGET", strWaitTarget, "Drive letter (E or E:), or any (the default)")->type_name("");
    pWait->add_flag("--single", options.bSingle,
                    "The drive's own wait, 0.5 s polls (else 4 s per empty drive)");
    CLI::Option* pType =
        pWait->add_option("--type", raw.strType, "Only a disc of this media type ends 0 (names below)")
            ->type_name("NAME");
    CLI::Option* pTimeout =
        pWait->add_option("--timeout", options.dTimeout, "Stop after this many seconds, at the next poll")
            ->type_name("SECONDS");
    pReload->add_option("--to", raw.strReloadTo, "Engine to switch to: sc, auto, cl, rd, im or 0xHEX")
        ->type_name("ENGINE")
        ->required();
    pWait->footer("\nAcross drives (the default) the manager polls each drive in turn, opens the tray\n"
                  "of an empty one and pauses 4 s; --single uses the drive's own wait, polling\n"
                  "every 0.5 s. Ctrl-C or --timeout stop the wait at its next poll.\n\n"
                  "Media types (--type, case ignored):\n  " +
                  RKToolMediaNameList() + "\n" + Footer());
    pDemo->footer("\nThe sample engine's drives D: and E: read their discs from image files in a\n"
                  "private folder; a disc arrives in E: 3 s into the wait. Then eject E: and a\n"
                  "reload from cl onto rd.\n" +
                  Footer());
    pLock->footer("\nThe lock stays after rkdrv ends, until 'rkdrv unlock'; on Windows, where the system\n"
                  "drops a lock when the program that set it ends, rkdrv stays and holds the lock\n"
                  "until Ctrl-C.\n" +
                  Footer());
    for (CLI::App* pCommand : {pList, pInfo, pEject, pClose, pUnlock, pReload})
        pCommand->footer(Footer());
    for (CLI::App* pCommand : {pList, pInfo, pWait, pEject, pClose, pLock, pUnlock, pReload, pDemo, pWatch})
        pCommand->group("Commands");

    try
    {
        app.parse(argc, argv);
    }
    catch (const CLI::CallForHelp& e)
    {
        return app.exit(e, std::cout, std::cerr);
    }
    catch (const CLI::CallForAllHelp& e)
    {
        return app.exit(e, std::cout, std::cerr);
    }
    catch (const CLI::ParseError& e)
    {
        std::vector<CLI::App*> vecParsed = app.get_subcommands();
        return RKToolUsageError(e.what(), vecParsed.empty() ? "" : vecParsed.front()->get_name());
    }

    std::vector<CLI::App*> vecParsed = app.get_subcommands();
    raw.pCommand = vecParsed.empty() ? nullptr : vecParsed.front();
    raw.strTarget = raw.pCommand == pInfo    ? strInfoLetter
                    : raw.pCommand == pEject ? strEjectLetter
                    : raw.pCommand == pWait  ? strWaitTarget
                                             : strTrayLetter;
    raw.bEngineGiven = pEngine->count() > 0;
    raw.bTypeGiven = pType->count() > 0;
    raw.bTimeoutGiven = pTimeout->count() > 0;
    return Check(raw, options);
}
