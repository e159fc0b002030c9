// A host linked against the library: loading it is the whole job.
#include "RKDRV.h"

int main()
{
    // Must change nothing, whatever it is given.
    RKDRV::SetLogFileHandle(nullptr);
    RKDRV::SetLogFileHandle(reinterpret_cast<void*>(0x1));
    return 0;
}
