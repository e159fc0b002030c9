#include "RKEngineLoader.h"

#include "RKDRVFunctions.h"
#include "RKEngineFault.h"
#include "RKLog.h"
#include "RKOsLayer.h"

CRKDRVManager* RKLoadEngine(CRKString strModuleName)
{
    CRKLog::GetInstance()->AddStep(RK_TEXT("Manager"));
    CRKLog::GetInstance()->AddInfo(RK_TEXT("Burning Engine chosen : %s"),
                                   static_cast<const unsigned short*>(strModuleName));

    CRKDRVManager* pManager = nullptr;
    HINSTANCE hModule = RKOsCalls().pfnLoadModule(strModuleName);
    if (!hModule)
    {
        CRKLog::GetInstance()->AddError(RK_TEXT("Error while loading module"));
        return nullptr;
    }

    CRKLog::GetInstance()->AddInfo(RK_TEXT("Module Successfully loaded"));
    CRKString strFuncName(RKDRV_FACTORY_SYMBOL);
    CRKLog::GetInstance()->AddInfo(RK_TEXT("trying to load  %s"),
                                   static_cast<const unsigned short*>(strFuncName));
    RKOsProc pfnProc = RKOsCalls().pfnGetSymbol(hModule, RKDRV_FACTORY_SYMBOL);
    if (pfnProc)
    {
        CRKLog::GetInstance()->AddInfo(RK_TEXT("Function loaded successfully."));
        RKDRVFactoryFunction pfnFactory = reinterpret_cast<RKDRVFactoryFunction>(pfnProc);
        try
        {
            pManager = pfnFactory();
        }
        catch (...)
        {
            // A factory that throws has made no manager: the module stays
            // loaded, as for one that returns null, and the search goes on.
            RKTraceThrowingCall(strFuncName);
            pManager = nullptr;
        }
    }
    else
    {
        // The line names the symbol that is missing, which says more than
        // any system error number would.
        CRKLog::GetInstance()->AddError(RK_TEXT("Error while loading function : %s"),
                                        static_cast<const unsigned short*>(strFuncName));
    }

    if (pManager)
        pManager->SetModule(hModule);
    return pManager;
}
