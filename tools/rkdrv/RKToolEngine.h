// Engine choice by name, loading through the library, and what the tool
// knows of the loaded module.
#ifndef RKTOOLENGINE_H
#define RKTOOLENGINE_H

#include <string>

#include "RKDRV.h"
#include "RKToolSystem.h"

struct RKToolEngineChoice
{
    std::string strName; // as given: "sc", "auto", ..., "0xF0000000"
    DWORD dwId = RKDRV_ENGINE_SC;
};

// sc, auto, cl, rd, im (any case) or 0x followed by 1 to 8 hex digits.
// False for anything else.
bool RKToolParseEngine(const std::string& strText, RKToolEngineChoice& stChoice);
// The engine module names an identifier stands for, in the order the
// library tries them ("RKDRVCL, RKDRVRD, RKDRVIM, RKDRVSC"); "" for none.
std::string RKToolEngineModules(DWORD dwId);
// The engines section of --help: names, identifiers, modules.
std::string RKToolEngineHelp();

// Owns one manager from the library and gives it back on every path out.
class CRKToolEngine
{
public:
    CRKToolEngine() = default;
    CRKToolEngine(const CRKToolEngine&) = delete;
    CRKToolEngine& operator=(const CRKToolEngine&) = delete;
    ~CRKToolEngine();

    // False when no engine module yielded a manager.
    bool Load(const RKToolEngineChoice& stChoice);
    // Replaces the manager through ReloadODDManager. False when the reload
    // gave no manager: Manager() then tells whether the old one is left.
    bool Reload(const RKToolEngineChoice& stChoice);
    void Clear();

    CRKDRVManager* Manager() const { return m_pManager; }
    const RKToolEngineChoice& Choice() const { return m_stChoice; }
    const RKToolFileInfo& Module() const { return m_stModule; }
    // Whether the loaded module is the one the system engine's identifier
    // names: it tells where drives were looked for, never what an engine's
    // values mean (the details interface says that).
    bool IsSystemModule() const;

private:
    CRKDRVManager* m_pManager = nullptr;
    RKToolEngineChoice m_stChoice;
    RKToolFileInfo m_stModule;
};

#endif
