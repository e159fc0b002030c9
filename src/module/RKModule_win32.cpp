// Module attach and detach for the DLL: the platform loader calls DllMain.
#include <windows.h>

#include "RKLocalLog.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD dwReason, LPVOID)
{
    if (dwReason == DLL_PROCESS_ATTACH)
        RKLocalLogAttach();
    else if (dwReason == DLL_PROCESS_DETACH)
        RKLocalLogDetach();
    // Thread attach and detach touch nothing.
    return TRUE;
}
