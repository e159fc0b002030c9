#include "RKTestFolderLoad.h"

#include "RKDRV.h"
#include "RKOsLayer.h"
#include "RKTestModule.h"
#include "RKTestProbe.h"
#include "RKTextUtil.h"

namespace
{
RKText s_strFolder;
RKTestProbe* s_pProbe = nullptr;
std::vector<std::string>* s_pvecNames = nullptr;
bool s_bLoadEvents = true;
RKOsCallTable s_FolderCalls;

HINSTANCE LoadFromFolder(const unsigned short* szName)
{
    if (s_pvecNames)
        s_pvecNames->push_back(RKTextToUtf8(szName));
    if (!szName || !*szName)
        return RKOsDefaultCalls().pfnLoadModule(szName);
    if (s_bLoadEvents)
        RKTestProbeEvent(s_pProbe, "os", "load");
    RKText strFull = s_strFolder + szName;
    return RKOsDefaultCalls().pfnLoadModule(strFull.c_str());
}

int FreeRecorded(HINSTANCE hModule)
{
    RKTestProbeEvent(s_pProbe, "os", "free");
    return RKOsDefaultCalls().pfnFreeModule(hModule);
}
} // namespace

void RKTestLoadEnginesFrom(const char* szSet, RKTestProbe* pProbe, std::vector<std::string>* pvecNames,
                           bool bLoadEvents)
{
    s_bLoadEvents = bLoadEvents;
    s_strFolder = CRKString(RKTestEngineFolder(szSet).c_str()).GetText();
    s_pProbe = pProbe;
    s_pvecNames = pvecNames;
    s_FolderCalls = RKOsDefaultCalls();
    s_FolderCalls.pfnLoadModule = LoadFromFolder;
    s_FolderCalls.pfnFreeModule = FreeRecorded;
    RKOsSetCalls(&s_FolderCalls);
}
