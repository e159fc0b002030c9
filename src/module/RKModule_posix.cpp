// Module attach and detach for shared objects: the loader runs these when
// the library enters and leaves the process, as DllMain does on Windows.
#include "RKLocalLog.h"
#include "RKLogFile.h"

namespace
{
__attribute__((constructor)) void RKModuleAttach()
{
    RKLogOpenTraceFile();
    RKLocalLogAttach();
}

__attribute__((destructor)) void RKModuleDetach()
{
    RKLocalLogDetach();
    RKLogCloseTraceFile();
}
} // namespace
