// rkdrv: the machine's optical drives through RKDRV, from the command line.
#include <cstdio>
#include <exception>

#include "RKToolCommands.h"
#include "RKToolEngineCall.h"
#include "RKToolExitCodes.h"
#include "RKToolOptions.h"
#include "RKToolSystem.h"
#include "RKToolTrace.h"
#include "RKToolWatch.h"

namespace
{
// Puts the console back on every way out of the run, exceptions included.
struct CRKToolConsoleScope
{
    CRKToolConsoleScope() = default;
    CRKToolConsoleScope(const CRKToolConsoleScope&) = delete;
    CRKToolConsoleScope& operator=(const CRKToolConsoleScope&) = delete;
    ~CRKToolConsoleScope() { RKToolRestoreConsole(); }
};

int RunCommand(RKToolContext& ctx)
{
    const RKToolOptions& options = ctx.options;
    if (options.bVersion)
        return RKToolVersion(ctx, options.stEngine, ctx.jsonDoc);
    if (options.eCommand == RKToolCommand::Demo)
        return RKToolDemo(ctx);

    CRKToolEngine engine;
    if (int nCode = RKToolLoadEngine(ctx, engine, options.stEngine))
        return nCode;
    switch (options.eCommand)
    {
    case RKToolCommand::List:
        return RKToolList(ctx, engine, ctx.jsonDoc);
    case RKToolCommand::Info:
        return RKToolInfo(ctx, engine, options.wLetter, ctx.jsonDoc);
    case RKToolCommand::Eject:
        return RKToolEject(ctx, engine, options.wLetter, ctx.jsonDoc);
    case RKToolCommand::Close:
        return RKToolTray(ctx, engine, options.wLetter, RKToolTrayAction::Close, ctx.jsonDoc);
    case RKToolCommand::Lock:
        return RKToolTray(ctx, engine, options.wLetter, RKToolTrayAction::Lock, ctx.jsonDoc);
    case RKToolCommand::Unlock:
        return RKToolTray(ctx, engine, options.wLetter, RKToolTrayAction::Unlock, ctx.jsonDoc);
    case RKToolCommand::Reload:
        return RKToolReload(ctx, engine, options.stReloadTo, ctx.jsonDoc);
    case RKToolCommand::Wait:
    {
        RKToolWaitRequest stRequest;
        stRequest.bAnyDrive = options.bAnyDrive;
        stRequest.wLetter = options.wLetter;
        stRequest.bSingle = options.bSingle;
        stRequest.bHasType = options.bHasType;
        stRequest.dwType = options.dwType;
        stRequest.bHasTimeout = options.bHasTimeout;
        stRequest.dTimeout = options.dTimeout;
        return RKToolWait(ctx, engine, stRequest, ctx.jsonDoc);
    }
    case RKToolCommand::Watch:
        return RKToolWatch(ctx, engine);
    case RKToolCommand::Demo:
    case RKToolCommand::None:
        break;
    }
    return RKEXIT_USAGE;
}

// The command, with its failures turned into their exit codes: an engine
// that threw, or a fault of the tool itself. Either way the document so far
// still goes out, with its "error".
int RunGuarded(RKToolContext& ctx)
{
    try
    {
        return RunCommand(ctx);
    }
    catch (const CRKToolEngineFailure& failure)
    {
        return RKToolFail(ctx, RKEXIT_ENGINE_FAILED, "the engine failed: " + failure.What());
    }
    catch (const std::exception& e)
    {
        return RKToolFail(ctx, RKEXIT_INTERNAL, std::string("internal failure: ") + e.what());
    }
    catch (...)
    {
        return RKToolFail(ctx, RKEXIT_INTERNAL, "internal failure");
    }
}

int Run(int argc, char** argv, bool& bJson)
{
    RKToolOptions options;
    int nParsed = RKToolParseArguments(argc, argv, options);
    if (nParsed >= 0)
        return nParsed;
    bJson = options.bJson;

    RKToolPrepareConsole();
    CRKToolConsoleScope consoleScope;
    CRKToolConsole console;
    console.SetJson(options.bJson);
    RKToolJson jsonDoc = RKToolJson::object();
    int nCode;
    {
        // Around the command, so the trace covers the engine's release too.
        CRKToolTraceScope trace(console, options.bTrace);
        RKToolContext ctx = {console, options, jsonDoc, trace.Sink()};
        nCode = RunGuarded(ctx);
    }
    // A watch writes JSON Lines as it goes: a document only for an error,
    // on one line like the rest.
    if (options.bJson && options.eCommand != RKToolCommand::Watch)
        console.PrintDocument(RKToolDocumentText(jsonDoc));
    else if (options.bJson && jsonDoc.contains("error"))
        console.PrintDocument(RKToolJsonLine(jsonDoc));
    return nCode;
}
} // namespace

int main(int argc, char** argv)
{
    // Nothing may leave main as an exception. What fails here failed while
    // reporting: one line, and in JSON mode a document that needs nothing.
    bool bJson = false;
    try
    {
        return Run(argc, argv, bJson);
    }
    catch (const std::exception& e)
    {
        std::fprintf(stderr, "rkdrv: internal failure: %s\n", e.what());
    }
    catch (...)
    {
        std::fprintf(stderr, "rkdrv: internal failure\n");
    }
    if (bJson)
        std::printf("{\"error\": {\"exit_code\": %d, \"message\": \"internal failure\"}}\n", RKEXIT_INTERNAL);
    return RKEXIT_INTERNAL;
}
