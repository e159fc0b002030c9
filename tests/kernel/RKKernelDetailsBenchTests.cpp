// What one "rkdrv info" asks of a real kernel's drive: the system engine's
// commands, counted and timed against the same commands sent raw, and
// every command the drive itself received, the kernel's own included, as
// the machine's trace shows them.
#include "RKKernelBench.h"

#include <fstream>
#include <map>
#include <regex>
#include <sstream>

namespace
{
const char s_szTraceEvent[] = "scsi_req_parsed";

// Commands the drive received, by operation code, from the machine's
// trace log lines past nFrom.
std::map<int, int> ParsedCommands(const std::string& strLog, std::size_t nFrom, int& nTotal)
{
    std::ifstream ifsLog(strLog);
    std::string strText((std::istreambuf_iterator<char>(ifsLog)), std::istreambuf_iterator<char>());
    std::map<int, int> mapCounts;
    nTotal = 0;
    std::istringstream issLines(strText.substr(std::min(nFrom, strText.size())));
    std::regex reCommand(std::string(s_szTraceEvent) + ".* command (\\d+) ");
    std::string strLine;
    std::smatch match;
    while (std::getline(issLines, strLine))
    {
        if (std::regex_search(strLine, match, reCommand))
        {
            ++mapCounts[std::stoi(match[1])];
            ++nTotal;
        }
    }
    return mapCounts;
}

std::size_t FileSize(const std::string& strPath)
{
    std::ifstream ifsFile(strPath, std::ios::binary | std::ios::ate);
    return ifsFile ? static_cast<std::size_t>(ifsFile.tellg()) : 0;
}
} // namespace

TEST_F(KernelBench, DetailsAgainstTheRawCommands)
{
    RKProbeRun stRun = RunTool({RKKERNEL_DETAILS_BENCH, "--device", "/dev/sr0"}, RKGUEST_CDROM_USER, 150);
    Report(stRun);
    ASSERT_EQ(stRun.stResult.nStatus, 0) << stRun.Describe();
    EXPECT_NE(stRun.stResult.strOut.find("\nno command sent twice\n"), std::string::npos) << stRun.Describe();
}

TEST_F(KernelBench, OneToolInfoAsTheDriveSeesIt)
{
    std::string strFolder = DosDevices("bench-info", {{"e::", "/dev/sr0"}});
    nlohmann::json jsonReturn;
    std::size_t nFrom = FileSize(Guest().TraceLogPath());
    ASSERT_TRUE(
        Guest().Monitor("trace-event-set-state", {{"name", s_szTraceEvent}, {"enable", true}}, jsonReturn))
        << Guest().LastError();
    RKGuestCommand stCommand;
    stCommand.vecArgs = {RKKERNEL_TOOL, "--json", "info", "E"};
    stCommand.eUser = RKGUEST_CDROM_USER;
    stCommand.vecEnv.push_back({"RKDRV_DOSDEVICES", strFolder});
    RKProbeRun stRun = Run(stCommand);
    ASSERT_TRUE(
        Guest().Monitor("trace-event-set-state", {{"name", s_szTraceEvent}, {"enable", false}}, jsonReturn))
        << Guest().LastError();
    ASSERT_EQ(stRun.stResult.nStatus, 0) << stRun.Describe();

    int nTotal = 0;
    std::map<int, int> mapCounts = ParsedCommands(Guest().TraceLogPath(), nFrom, nTotal);
    std::ostringstream ossFigures;
    ossFigures << "rkdrv --json info E, at the drive: " << nTotal << " commands (the kernel's own included):";
    for (const auto& prCount : mapCounts)
    {
        char szCode[8];
        std::snprintf(szCode, sizeof(szCode), "%02Xh", prCount.first);
        ossFigures << " " << szCode << " x" << prCount.second;
    }
    RKProbeRun stFigures;
    stFigures.stResult.strOut = ossFigures.str() + "\n";
    Report(stFigures);
    // The engine's own commands all reach the drive.
    EXPECT_GE(nTotal, 11) << ossFigures.str();
}
