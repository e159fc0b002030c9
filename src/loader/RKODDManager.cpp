#include <list>

#include "RKDRVFunctions.h"
#include "RKEngineFault.h"
#include "RKEngineLoader.h"
#include "RKLog.h"
#include "RKOsLayer.h"

namespace
{
// Single-name identifiers, by dwODD - 0xF0000000; null: no module.
const unsigned short* SingleEngineName(DWORD dwSlot)
{
    switch (dwSlot)
    {
    case 0:
        return RK_TEXT("RKDRVSC.DLL");
    case 1:
        return RK_TEXT("RKDRVRD.DLL");
    case 2:
        return RK_TEXT("RKDRVCL.DLL");
    case 4:
        return RK_TEXT("RKDRVIM.DLL");
    }
    return nullptr;
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
        CRKString strModuleName(RK_TEXT(""));
        if ((dwODD >> 16) != 0xFFFF)
        {
            if (const unsigned short* szName = SingleEngineName(dwODD - 0xF0000000u))
                strModuleName = szName;
            pManager = RKLoadEngine(strModuleName);
            if (pManager)
                CallInitialize(pManager);
        }
        else
        {
            std::list<CRKString> ODDManagerList;
            if (dwODD == RKDRV_ENGINE_ANY)
            {
                // The fallback list, in the order it is tried.
                for (const unsigned short* szName : {RK_TEXT("RKDRVCL.DLL"), RK_TEXT("RKDRVRD.DLL"),
                                                     RK_TEXT("RKDRVIM.DLL"), RK_TEXT("RKDRVSC.DLL")})
                    ODDManagerList.push_back(CRKString(szName));
            }
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
