// A host that writes trace records, for the trace file tests: the file is
// named when the library loads, so each case runs in a process of its own.
//   scopes             nested scopes, a non-ASCII text, an error
//   lines N TAG        N long info lines that carry TAG and their number
//   renamed NEWPATH    one line, the file renamed to NEWPATH, one more line
//   unset              the variable removed in the process, then one line
#include <cstdio>
#include <cstdlib>
#include <string>

#include "RKDRV.h"
#include "RKTestModule.h"

int main(int nArgc, char** aszArgv)
{
    std::string strMode = nArgc > 1 ? aszArgv[1] : "";
    CRKLog* pLog = CRKLog::GetInstance();
    if (strMode == "scopes")
    {
        pLog->EnterFunction(RK_TEXT("Outer"));
        pLog->EnterFunction(RK_TEXT("Inner %d"), 2);
        pLog->AddInfo(RK_TEXT("caf\u00e9"));
        pLog->ExitFunction(1);
        pLog->ExitFunction();
        pLog->AddError(RK_TEXT("after"));
        return 0;
    }
    if (strMode == "lines" && nArgc == 4)
    {
        int nLines = std::atoi(aszArgv[2]);
        CRKString strTag(aszArgv[3]);
        // Long enough that a line written in pieces would show it.
        CRKString strPad(std::string(3000, 'x').c_str());
        for (int i = 0; i < nLines; ++i)
            pLog->AddInfo(RK_TEXT("%s %d %s end"), static_cast<const unsigned short*>(strTag), i,
                          static_cast<const unsigned short*>(strPad));
        return 0;
    }
    if (strMode == "renamed" && nArgc == 3)
    {
        pLog->AddInfo(RK_TEXT("before"));
        const char* szPath = std::getenv("RKDRV_TRACE_FILE");
        if (!szPath || std::rename(szPath, aszArgv[2]) != 0)
            return 2;
        pLog->AddInfo(RK_TEXT("after"));
        return 0;
    }
    if (strMode == "unset")
    {
        RKTestSetEnv("RKDRV_TRACE_FILE", nullptr);
        pLog->AddInfo(RK_TEXT("still traced"));
        return 0;
    }
    return 2;
}
