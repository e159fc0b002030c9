// rkdrv demo: the typical request - find a drive, watch it, wait for a
// disc, learn its type, reload an engine - on the sample engine's simulated
// drives, through the same code as the commands themselves.
#include <chrono>
#include <string>

#include "RKSampleDrives.h"
#include "RKToolCommands.h"
#include "RKToolExitCodes.h"
#include "RKToolSystem.h"

namespace
{
const std::chrono::milliseconds s_msArrival(3000);
// The demo must end even on an engine that is not the sample one.
const double s_dWaitLimit = 30.0;

// Both builds of the sample engine, loaded from their private folder for
// the demo's length: the library's loads by name then find these, never an
// engine of the same name on the search path.
class CRKToolSampleEngines
{
public:
    CRKToolSampleEngines()
        : m_strFolder(RKToolProgramFolder() + "/" RKDRV_TOOL_SAMPLE_DIR),
          m_hCl(RKToolHoldEngineModule(m_strFolder, RKToolEngineModules(RKDRV_ENGINE_CL))),
          m_hRd(RKToolHoldEngineModule(m_strFolder, RKToolEngineModules(RKDRV_ENGINE_RD)))
    {
    }
    ~CRKToolSampleEngines()
    {
        RKToolReleaseModule(m_hRd);
        RKToolReleaseModule(m_hCl);
    }
    CRKToolSampleEngines(const CRKToolSampleEngines&) = delete;
    CRKToolSampleEngines& operator=(const CRKToolSampleEngines&) = delete;

    bool Loaded() const { return m_hCl && m_hRd; }
    const std::string& Folder() const { return m_strFolder; }

private:
    std::string m_strFolder;
    void* m_hCl;
    void* m_hRd;
};

void Heading(RKToolContext& ctx, const std::string& strCommand)
{
    ctx.console.Out("");
    ctx.console.Out("== rkdrv --engine cl " + strCommand);
}
} // namespace

int RKToolDemo(RKToolContext& ctx)
{
    // Released after the engine below: its manager runs their code.
    CRKToolSampleEngines samples;
    if (!samples.Loaded())
        return RKToolFail(ctx, RKEXIT_NO_ENGINE,
                          "demo: the sample engine (RKDRVCL, RKDRVRD) could not be loaded from " +
                              samples.Folder() + ", its folder in the package and in the build tree");
    // Drives D, E (the first build) and F (the second), all empty.
    CRKSampleDrives drives;
    if (!drives.Create("def"))
        return RKToolFail(ctx, RKEXIT_NO_DRIVE, "demo: the simulated drives' image folder could not be made");
    const RKToolEngineChoice stCl = {"cl", RKDRV_ENGINE_CL};
    const RKToolEngineChoice stRd = {"rd", RKDRV_ENGINE_RD};
    CRKToolEngine engine;
    if (int nCode = RKToolLoadEngine(ctx, engine, stCl))
        return nCode;
    ctx.jsonDoc["images"] = drives.Folder().string();
    ctx.console.Out("Simulated drives: the sample engine (cl, then rd), discs as image files in " +
                    drives.Folder().string());
    ctx.console.Out("A disc arrives in E: 3 s after the wait starts.");

    Heading(ctx, "list");
    int nCode = RKToolList(ctx, engine, ctx.jsonDoc["list"]);

    if (!nCode)
    {
        Heading(ctx, "info E");
        nCode = RKToolInfo(ctx, engine, 'E', ctx.jsonDoc["info"]);
    }

    if (!nCode)
    {
        Heading(ctx, "wait any");
        RKToolWaitRequest stRequest;
        stRequest.bAnyDrive = true;
        stRequest.bHasTimeout = true;
        stRequest.dTimeout = s_dWaitLimit;
        drives.InsertLater('E', s_msArrival,
                           [&ctx]() { ctx.console.Out("  (a disc was inserted into E:)"); });
        nCode = RKToolWait(ctx, engine, stRequest, ctx.jsonDoc["wait"]);
    }
    if (!nCode)
    {
        Heading(ctx, "eject E");
        nCode = RKToolEject(ctx, engine, 'E', ctx.jsonDoc["eject"]);
    }
    if (!nCode)
    {
        Heading(ctx, "reload --to rd");
        nCode = RKToolReload(ctx, engine, stRd, ctx.jsonDoc["reload"]);
    }
    if (!nCode)
    {
        ctx.console.Out("");
        ctx.console.Out(
            "Demo done: found the drives, waited for a disc, named it, ejected it and reloaded the "
            "engine with the drive indexes kept.");
    }
    return nCode;
}
