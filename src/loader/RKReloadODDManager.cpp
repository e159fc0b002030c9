#include <cstdint>
#include <vector>

#include "RKDRVFunctions.h"
#include "RKLog.h"

CRKDRVManager* RKDRV::ReloadODDManager(CRKDRVManager*& pManager, DWORD dwODD)
{
    CRKLog::GetInstance()->EnterFunction(RK_TEXT("RKDRV::ReloadODDManager oddobj:%p oddid:0x%x"),
                                         static_cast<void*>(pManager), static_cast<unsigned int>(dwODD));
    if (!pManager)
    {
        CRKLog::GetInstance()->AddError(RK_TEXT("BAD argument - NULL manager"));
        CRKLog::GetInstance()->ExitFunction(0);
        return nullptr;
    }

    // The letters must be read while the old writers still exist; 0 keeps
    // the place of an empty slot.
    std::vector<WORD> engines;
    try
    {
        for (int i = 0; i < pManager->GetNbWriter(); ++i)
        {
            CRKWriter* pWriter = pManager->GetWriter(static_cast<DWORD>(i));
            engines.push_back(pWriter ? pWriter->GetDriveLetter() : static_cast<WORD>(0));
            CRKLog::GetInstance()->AddInfo(RK_TEXT("Stores engine info: index:%d, letter:%c"), i,
                                           static_cast<int>(engines.back()));
        }
    }
    catch (...)
    {
        // Without the full order the reload would lose the host's indexes:
        // keep the old manager, which the host still holds, and report it.
        CRKLog::GetInstance()->AddError(RK_TEXT("Not enough memory to store engine info"));
        CRKLog::GetInstance()->ExitFunction(0);
        return nullptr;
    }

    // The old engine goes before the new one is asked for: never two managers.
    ClearODDManager(pManager);
    pManager = GetODDManager(dwODD);
    if (!pManager)
    {
        CRKLog::GetInstance()->AddError(RK_TEXT("failed to get odd manager"));
        CRKLog::GetInstance()->ExitFunction(0);
        return nullptr;
    }

    pManager->ReorderEngineVector(engines);
    CRKLog::GetInstance()->ExitFunction(static_cast<long long>(reinterpret_cast<std::intptr_t>(pManager)));
    return pManager;
}
