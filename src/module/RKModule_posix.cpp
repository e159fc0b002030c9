// Module attach and detach for shared objects: the loader runs these when
// the library enters and leaves the process, as DllMain does on Windows.
#include "RKLocalLog.h"

namespace
{
__attribute__((constructor)) void RKModuleAttach()
{
    RKLocalLogAttach();
}

__attribute__((destructor)) void RKModuleDetach()
{
    RKLocalLogDetach();
}
} // namespace
