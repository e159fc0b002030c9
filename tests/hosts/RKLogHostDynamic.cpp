// A host that loads the library at run time from the path it is given.
#include "RKTestModule.h"

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    void* hModule = RKTestLoadModule(argv[1]);
    if (!hModule)
        return 3;
    RKTestFreeModule(hModule);
    return 0;
}
