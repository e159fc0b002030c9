// rkdrv demo: the typical request - find a drive, watch it, wait for a
// disc, learn its type, reload an engine - on the sample engine's simulated
// drives, through the same code as the commands themselves.
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <string>
#include <system_error>
#include <thread>

#include "RKToolCommands.h"
#include "RKToolExitCodes.h"
#include "RKToolSystem.h"

namespace
{
const char s_szImagesVariable[] = "RKDRV_SAMPLE_IMAGES";
const std::chrono::milliseconds s_msArrival(3000);
// The demo must end even on an engine that is not the sample one.
const double s_dWaitLimit = 30.0;

// A private folder of images, one per drive letter of both sample builds,
// all empty (no disc) until a disc "arrives".
class CRKToolDemoDrives
{
public:
    explicit CRKToolDemoDrives(CRKToolConsole& console) : m_console(console) {}
    CRKToolDemoDrives(const CRKToolDemoDrives&) = delete;
    CRKToolDemoDrives& operator=(const CRKToolDemoDrives&) = delete;

    ~CRKToolDemoDrives()
    {
        if (m_thread.joinable())
        {
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_bStop = true;
            }
            m_cvStop.notify_one();
            m_thread.join();
        }
        if (m_bVariableSet)
            RKToolSetEnvironment(s_szImagesVariable, m_bHadOld ? m_strOld.c_str() : nullptr);
        if (!m_pathFolder.empty())
        {
            std::error_code ec;
            std::filesystem::remove_all(m_pathFolder, ec);
        }
    }

    bool Create()
    {
        namespace fs = std::filesystem;
        std::error_code ec;
        fs::path pathTemp = fs::temp_directory_path(ec);
        if (ec)
            return false;
        std::random_device device;
        std::mt19937 generator(
            device() ^ static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()));
        for (int nTry = 0; nTry < 100 && m_pathFolder.empty(); ++nTry)
        {
            fs::path pathCandidate = pathTemp / ("rkdrv_demo_" + std::to_string(generator()));
            if (fs::create_directory(pathCandidate, ec))
                m_pathFolder = pathCandidate;
        }
        if (m_pathFolder.empty())
            return false;
        for (char cLetter : {'d', 'e', 'f'})
        {
            std::ofstream fileImage(ImagePath(cLetter), std::ios::binary);
            if (!fileImage)
                return false;
        }
        const char* szOld = std::getenv(s_szImagesVariable);
        m_bHadOld = szOld != nullptr;
        m_strOld = szOld ? szOld : "";
        m_bVariableSet = RKToolSetEnvironment(s_szImagesVariable, m_pathFolder.string().c_str());
        return m_bVariableSet;
    }

    std::string Folder() const { return m_pathFolder.string(); }

    // Fills the drive's image after the delay, as if a disc went in.
    void InsertLater(char cLetter, std::chrono::milliseconds msDelay)
    {
        std::filesystem::path pathImage = ImagePath(cLetter);
        std::string strDrive(1, static_cast<char>(cLetter - 'a' + 'A'));
        m_thread = std::thread(
            [this, pathImage, strDrive, msDelay]()
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                if (m_cvStop.wait_for(lock, msDelay, [this]() { return m_bStop; }))
                    return;
                std::ofstream(pathImage, std::ios::binary) << "RKDRV sample disc image\n";
                m_console.Out("  (a disc was inserted into " + strDrive + ":)");
            });
    }

private:
    std::filesystem::path ImagePath(char cLetter) const
    {
        return m_pathFolder / (std::string(1, cLetter) + ".iso");
    }

    CRKToolConsole& m_console;
    std::filesystem::path m_pathFolder;
    bool m_bVariableSet = false;
    bool m_bHadOld = false;
    std::string m_strOld;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_cvStop;
    bool m_bStop = false;
};

// Both builds of the sample engine, loaded from their private folder for
// the demo's length: the library's loads by name then find these, never an
// engine of the same name on the search path.
class CRKToolSampleEngines
{
public:
    CRKToolSampleEngines()
        : m_strFolder(RKToolProgramFolder() + "/" RKDRV_TOOL_SAMPLE_DIR),
          m_hCl(RKToolHoldEngineModule(m_strFolder, "RKDRVCL")),
          m_hRd(RKToolHoldEngineModule(m_strFolder, "RKDRVRD"))
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
    CRKToolDemoDrives drives(ctx.console);
    if (!drives.Create())
        return RKToolFail(ctx, RKEXIT_NO_DRIVE, "demo: the simulated drives' image folder could not be made");
    const RKToolEngineChoice stCl = {"cl", RKDRV_ENGINE_CL};
    const RKToolEngineChoice stRd = {"rd", RKDRV_ENGINE_RD};
    CRKToolEngine engine;
    if (int nCode = RKToolLoadEngine(ctx, engine, stCl))
        return nCode;
    ctx.jsonDoc["images"] = drives.Folder();
    ctx.console.Out("Simulated drives: the sample engine (cl, then rd), discs as image files in " +
                    drives.Folder());
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
        drives.InsertLater('e', s_msArrival);
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
