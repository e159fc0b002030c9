// Measures what the rkdrv tool leaves of its console's output code page:
// from a console set to code page 850, it runs the tool to a normal end,
// to an error, and into a wait that the person at the console (or tmux
// send-keys) ends by pressing Ctrl-C twice (exit 130), and prints the code
// page after each.
//
//   rkdrv_codepage_probe PATH\rkdrv.exe
#include <windows.h>

#include <cstdio>
#include <string>

namespace
{
// Runs the command line in this console, up to a minute.
DWORD Run(const std::wstring& strCommand)
{
    STARTUPINFOW stStartup = {};
    stStartup.cb = sizeof(stStartup);
    PROCESS_INFORMATION stProcess = {};
    std::wstring strLine = strCommand;
    if (!CreateProcessW(nullptr, &strLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &stStartup,
                        &stProcess))
        return 0xFFFFFFFF;
    WaitForSingleObject(stProcess.hProcess, 60000);
    DWORD dwCode = 0xFFFFFFFF;
    GetExitCodeProcess(stProcess.hProcess, &dwCode);
    CloseHandle(stProcess.hThread);
    CloseHandle(stProcess.hProcess);
    return dwCode;
}
} // namespace

int wmain(int nArgs, wchar_t** aszArgs)
{
    if (nArgs != 2)
    {
        std::fprintf(stderr, "usage: rkdrv_codepage_probe PATH\\rkdrv.exe\n");
        return 2;
    }
    // This program lets the presses through to the tool and lives on.
    SetConsoleCtrlHandler(nullptr, TRUE);
    std::wstring strTool = std::wstring(L"\"") + aszArgs[1] + L"\"";
    struct RKRun
    {
        const char* szWhat;
        const wchar_t* szArgs;
    };
    const RKRun aRuns[] = {
        {"list, normal end", L" --engine cl list"},
        {"no such engine, error end", L" --engine im list"},
        {"wait, two Ctrl-C", L" --engine cl wait E --single"},
    };
    int nFailures = 0;
    for (const RKRun& stRun : aRuns)
    {
        SetConsoleOutputCP(850);
        UINT uBefore = GetConsoleOutputCP();
        DWORD dwCode = Run(strTool + stRun.szArgs);
        UINT uAfter = GetConsoleOutputCP();
        std::printf("codepage\trun=%s\texit=%lu\tbefore=%u\tafter=%u\n", stRun.szWhat,
                    static_cast<unsigned long>(dwCode), uBefore, uAfter);
        nFailures += uAfter != uBefore;
    }
    return nFailures ? 1 : 0;
}
