// Windows side of the example host. Only Windows calls belong here.
#include <stdlib.h>

#include "RKExampleEnvironment.h"

bool RKExampleSetEnvironment(const char* szName, const char* szValue)
{
    // The C runtime's copy, which getenv in every module of the process
    // reads, and the process environment alike; "" removes the variable.
    return _putenv_s(szName, szValue ? szValue : "") == 0;
}
