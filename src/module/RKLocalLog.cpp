#include "RKLocalLog.h"

#include <cstdio>
#include <cstring>

#include "RKOsLayer.h"

namespace
{
const DWORD RKPATH_SIZE = 260;

// Plain static storage: ready before any constructor runs and untouched by
// destructors, whichever order the platform runs them in at unload.
std::FILE* s_pLogFile = nullptr;
bool s_bLogOpen = false;

// Appends separator and name. A path that would not fit whole is refused
// rather than cut, since a cut path could name another file.
bool AppendName(char* szPath, const char* szName)
{
    std::size_t nUsed = std::strlen(szPath);
    std::size_t nName = std::strlen(szName);
    if (nUsed + 1 + nName + 1 > RKPATH_SIZE)
        return false;
    szPath[nUsed] = RKOsPathSeparator();
    std::memcpy(szPath + nUsed + 1, szName, nName + 1);
    return true;
}

void WriteHeader()
{
    char szModulePath[RKPATH_SIZE] = "";
    RKOsGetOwnModulePath(szModulePath, RKPATH_SIZE);
    std::fprintf(s_pLogFile, "Path of RKDRV.DLL : %s\n", szModulePath);

    WORD awVersion[4] = {0, 0, 0, 0};
    if (!RKOsGetOwnFileVersion(awVersion))
        awVersion[0] = awVersion[1] = awVersion[2] = awVersion[3] = 0;
    std::fprintf(s_pLogFile, "Version of RKDRV.DLL : %u.%u.%u.%u\n", static_cast<unsigned>(awVersion[0]),
                 static_cast<unsigned>(awVersion[1]), static_cast<unsigned>(awVersion[2]),
                 static_cast<unsigned>(awVersion[3]));
    std::fflush(s_pLogFile);
}
} // namespace

void RKLocalLogAttach()
{
    char szPath[RKPATH_SIZE];
    if (!RKOsGetHostExecutablePath(szPath, RKPATH_SIZE))
        return;
    RKOsRemoveFileSpec(szPath);
    if (!AppendName(szPath, "RK_LOG.INI") || !RKOsPathExists(szPath))
        return;
    RKOsRemoveFileSpec(szPath);
    if (!AppendName(szPath, "RKDRV.log"))
        return;
    RKOsDeleteFile(szPath);
    // Text mode: the platform's own line ends.
    s_pLogFile = std::fopen(szPath, "w");
    if (!s_pLogFile)
        return;
    s_bLogOpen = true;
    WriteHeader();
}

void RKLocalLogDetach()
{
    if (s_bLogOpen && s_pLogFile)
    {
        std::fclose(s_pLogFile);
        s_pLogFile = nullptr;
    }
}
