// Module attach and detach for the DLL: the platform loader calls DllMain.
#include <windows.h>

#include "RKLocalLog.h"
#include "RKLogFile.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD dwReason, LPVOID)
{
    if (dwReason == DLL_PROCESS_ATTACH)
    {
        RKLogOpenTraceFile();
        RKLocalLogAttach();
    }
    else if (dwReason == DLL_PROCESS_DETACH)
    {
        RKLocalLogDetach();
        RKLogCloseTraceFile();
    }
    // Thread attach and detach touch nothing.
    return TRUE;
}
