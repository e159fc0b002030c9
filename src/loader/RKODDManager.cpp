#include <list>

#include "RKDRVFunctions.h"
#include "RKEngineFault.h"
#include "RKEngineLoader.h"
#include "RKLog.h"
#include "RKOsLayer.h"
#include "RKTextUtil.h"

namespace
{
// The module file names dwODD stands for, in the order they are tried.
std::list<CRKString> EngineFileNames(DWORD dwODD)
{
    std::list<CRKString> lstNames;
    for (const RKEngineModules& stEntry : g_aRKEngineModules)
    {
        if (stEntry.dwODD != dwODD)
            continue;
        for (const char* szModule : stEntry.aszModules)
        {
            if (!szModule)
                break;
            RKText strFile;
            RKTextAppendAscii(strFile, szModule);
            RKTextAppendAscii(strFile, ".DLL");
            lstNames.push_back(CRKString(strFile.c_str()));
        }
    }
    return lstNames;
}

void CallInitialize(CRKDRVManager* pManager)
{
    try
    {
        pManager->Initialize();
    }
    catch (...)
    {
        // Its result is not used either: the manager is still handed over.
        RKTraceThrowingCall(RK_TEXT("Initialize"));
    }
}
} // namespace

CRKDRVManager* RKDRV::GetODDManager(DWORD dwODD)
{
    CRKLog::GetInstance()->EnterFunction(RK_TEXT("RKDRV::GetODDManager(dwODD:%x)"),
                                         static_cast<unsigned int>(dwODD));
    CRKDRVManager* pManager = nullptr;
    try
    {
        std::list<CRKString> ODDManagerList = EngineFileNames(dwODD);
        if ((dwODD >> 16) != 0xFFFF)
        {
            // One module, or an empty name for an identifier that names none.
            pManager = RKLoadEngine(ODDManagerList.empty() ? CRKString(RK_TEXT("")) : ODDManagerList.front());
            if (pManager)
                CallInitialize(pManager);
        }
        else
        {
            for (std::list<CRKString>::iterator it = ODDManagerList.begin();
                 it != ODDManagerList.end() && !pManager; ++it)
            {
                pManager = RKLoadEngine(*it);
            }
        }
    }
    catch (...)
    {
        // Nothing may leave the library: out of memory while building the
        // list ends the search with what was obtained so far.
    }
    CRKLog::GetInstance()->ExitFunction();
    return pManager;
}

void RKDRV::ClearODDManager(CRKDRVManager* pManager)
{
    CRKLog::GetInstance()->AddStep(RK_TEXT("ClearODDManager()"));
    if (!pManager)
        return;
    // Taken out first: the manager is gone once Release has run, and the
    // module must stay loaded until then because Release runs its code.
    HINSTANCE hModule = pManager->GetModule();
    pManager->SetModule(nullptr);
    CRKLog::GetInstance()->AddInfo(RK_TEXT("Releasing Manager"));
    try
    {
        pManager->Release();
    }
    catch (...)
    {
        // The host has given the manager up all the same; the module's
        // reference goes with it.
        RKTraceThrowingCall(RK_TEXT("Release"));
    }
    if (hModule)
        RKOsCalls().pfnFreeModule(hModule);
}
