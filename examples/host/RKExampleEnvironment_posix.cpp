// POSIX side of the example host. Only POSIX calls belong here.
#include <stdlib.h>

#include "RKExampleEnvironment.h"

bool RKExampleSetEnvironment(const char* szName, const char* szValue)
{
    return (szValue ? setenv(szName, szValue, 1) : unsetenv(szName)) == 0;
}
