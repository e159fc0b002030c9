#include "RKDRVFunctions.h"

void RKDRV::SetLogFileHandle(void*)
{
    // Kept for hosts that call it; the local log is fixed at attach.
}
