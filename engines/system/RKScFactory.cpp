// The engine's one exported symbol.
#include <new>

#include "RKDRVFunctions.h"
#include "RKScManager.h"

RKDRV_ENGINE_EXPORT CRKDRVManager* _RK_Factory_Creation_Function_CRKDRVManager()
{
    try
    {
        return new CRKScManager(RKScCreateSystemTransport());
    }
    catch (...)
    {
        // Out of memory before the manager existed: the loader sees null.
        return nullptr;
    }
}
