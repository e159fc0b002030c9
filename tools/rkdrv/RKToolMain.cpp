// rkdrv: the machine's optical drives through RKDRV, from the command line.
#include <cstdio>
#include <exception>

#include "RKToolCommands.h"
#include "RKToolExitCodes.h"
#include "RKToolOptions.h"
#include "RKToolSystem.h"
#include "RKToolTrace.h"
#include "RKToolWatch.h"

namespace
{
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

int Run(int argc, char** argv)
{
    RKToolOptions options;
    int nParsed = RKToolParseArguments(argc, argv, options);
    if (nParsed >= 0)
        return nParsed;

    RKToolPrepareConsole();
    CRKToolConsole console;
    console.SetJson(options.bJson);
    RKToolJson jsonDoc = RKToolJson::object();
    RKToolContext ctx = {console, options, jsonDoc};
    int nCode;
    {
        // Declared first, so the trace covers the engine's release too.
        CRKToolTraceScope trace(console, options.bTrace);
        nCode = RunCommand(ctx);
    }
    // A watch writes JSON Lines as it goes: a document only for an error,
    // on one line like the rest.
    if (options.bJson && options.eCommand != RKToolCommand::Watch)
        console.PrintDocument(jsonDoc.dump(2));
    else if (options.bJson && jsonDoc.contains("error"))
        console.PrintDocument(jsonDoc.dump());
    return nCode;
}
} // namespace

int main(int argc, char** argv)
{
    // Nothing may leave main as an exception: report it in one line.
    try
    {
        return Run(argc, argv);
    }
    catch (const std::exception& e)
    {
        std::fprintf(stderr, "rkdrv: failed: %s\n", e.what());
    }
    catch (...)
    {
        std::fprintf(stderr, "rkdrv: failed\n");
    }
    return RKEXIT_NO_DISC;
}
