// A host built against an installed package alone, as its users build one:
// every public header compiles, and the system engine is found where the
// package put it.
#include <cstdio>

#include "RKDRV.h"
#include "RKSystemEngine.h"

int main()
{
    CRKDRVManager* pManager = RKDRV::GetODDManager(RKDRV_ENGINE_SC);
    if (!pManager)
    {
        std::printf("host: the system engine did not load\n");
        return 1;
    }
    int nWriters = pManager->GetNbWriter();
    RKDRV::ClearODDManager(pManager);
    std::printf("host: system engine loaded, %d writers\n", nWriters);
    return 0;
}
