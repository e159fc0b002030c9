#include <list>

#include "RKDRVFunctions.h"
#include "RKEngineLoader.h"
#include "RKLog.h"
#include "RKOsLayer.h"

namespace
{
// Single-name identifiers, indexed by dwODD - 0xF0000000; null: no module.
const char16_t* const s_aEngineNames[] = {u"RKDRVSC.DLL", u"RKDRVRD.DLL", u"RKDRVCL.DLL", nullptr,
                                          u"RKDRVIM.DLL"};

// The fallback list, in the order it is tried.
const char16_t* const s_aFallbackNames[] = {u"RKDRVCL.DLL", u"RKDRVRD.DLL", u"RKDRVIM.DLL", u"RKDRVSC.DLL"};

const unsigned short* Text16(const char16_t* szText)
{
    return reinterpret_cast<const unsigned short*>(szText);
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
            DWORD dwSlot = dwODD - 0xF0000000u;
            if (dwSlot < sizeof(s_aEngineNames) / sizeof(s_aEngineNames[0]) && s_aEngineNames[dwSlot])
                strModuleName = Text16(s_aEngineNames[dwSlot]);
            pManager = RKLoadEngine(strModuleName);
            if (pManager)
                pManager->Initialize();
        }
        else
        {
            std::list<CRKString> ODDManagerList;
            if (dwODD == RKDRV_ENGINE_ANY)
            {
                for (const char16_t* szName : s_aFallbackNames)
                    ODDManagerList.push_back(CRKString(Text16(szName)));
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
        // Nothing may leave the library: out of memory, or an engine that
        // throws, ends the search with what was obtained so far.
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
        // An engine that throws from Release has still given up the manager.
    }
    if (hModule)
        RKOsCalls().pfnFreeModule(hModule);
}
