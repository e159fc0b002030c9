// The free functions through which hosts obtain and release managers.
#ifndef RKDRVFUNCTIONS_H
#define RKDRVFUNCTIONS_H

#include "RKDRVManager.h"
#include "RKExport.h"
#include "RKTypes.h"

// Engine identifiers.
#define RKDRV_ENGINE_SC 0xF0000000u
#define RKDRV_ENGINE_RD 0xF0000001u
#define RKDRV_ENGINE_CL 0xF0000002u
#define RKDRV_ENGINE_IM 0xF0000004u
#define RKDRV_ENGINE_ANY 0xFFFF0001u

// The engine modules each identifier names, in the order the loader tries
// them. A module "RKDRVSC" is the file RKDRVSC.DLL on Windows and
// libRKDRVSC.so elsewhere.
struct RKEngineModules
{
    DWORD dwODD;
    const char* aszModules[4]; // null after the last
};
inline constexpr RKEngineModules g_aRKEngineModules[] = {
    {RKDRV_ENGINE_SC, {"RKDRVSC"}},
    {RKDRV_ENGINE_RD, {"RKDRVRD"}},
    {RKDRV_ENGINE_CL, {"RKDRVCL"}},
    {RKDRV_ENGINE_IM, {"RKDRVIM"}},
    {RKDRV_ENGINE_ANY, {"RKDRVCL", "RKDRVRD", "RKDRVIM", "RKDRVSC"}},
};

// The symbol every engine module exports: takes nothing, returns a new
// manager or null.
#define RKDRV_FACTORY_SYMBOL "_RK_Factory_Creation_Function_CRKDRVManager"
typedef CRKDRVManager* (*RKDRVFactoryFunction)();

namespace RKDRV
{
// Loads the engine named by dwODD and returns its manager, or null.
RKDRV_API CRKDRVManager* GetODDManager(DWORD dwODD);
// Releases the manager inside its engine, then unloads the engine module.
// Null is allowed.
RKDRV_API void ClearODDManager(CRKDRVManager* pManager);
// Replaces pManager with a manager from the engine named by dwODD, listing
// the drives the old one listed first, in their old order. The old manager
// and its engine are gone before the new one is loaded. Returns the new
// manager (also stored in pManager), or null: pManager is then null too,
// unless it was null already or the old drives could not be recorded, in
// which case nothing was released.
RKDRV_API CRKDRVManager* ReloadODDManager(CRKDRVManager*& pManager, DWORD dwODD);
// Has no effect: it neither opens, closes nor redirects any log.
RKDRV_API void SetLogFileHandle(void* pHandle);
} // namespace RKDRV

#endif
