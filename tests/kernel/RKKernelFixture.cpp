#include "RKKernelFixture.h"

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <thread>

std::unique_ptr<CRKGuest> CRKKernelTest::s_pGuest;
std::string CRKKernelTest::s_strBootError;

namespace
{
std::vector<RKProbeRecord> ParseRecords(const std::string& strOut)
{
    std::vector<RKProbeRecord> vecRecords;
    std::istringstream issOut(strOut);
    std::string strLine;
    while (std::getline(issOut, strLine))
    {
        std::istringstream issLine(strLine);
        RKProbeRecord stRecord;
        std::string strField;
        std::getline(issLine, stRecord.strKind, '\t');
        while (std::getline(issLine, strField, '\t'))
        {
            size_t nEqual = strField.find('=');
            if (nEqual != std::string::npos)
                stRecord.mapFields[strField.substr(0, nEqual)] = strField.substr(nEqual + 1);
        }
        vecRecords.push_back(stRecord);
    }
    return vecRecords;
}

RKProbeRun MakeRun(const RKGuestResult& stResult)
{
    RKProbeRun stRun;
    stRun.stResult = stResult;
    stRun.vecRecords = ParseRecords(stResult.strOut);
    return stRun;
}
} // namespace

std::string RKProbeRecord::Field(const std::string& strKey) const
{
    auto it = mapFields.find(strKey);
    return it == mapFields.end() ? std::string("<none>") : it->second;
}

std::vector<RKProbeRecord> RKProbeRun::Of(const std::string& strKind) const
{
    std::vector<RKProbeRecord> vecFound;
    for (const RKProbeRecord& stRecord : vecRecords)
        if (stRecord.strKind == strKind)
            vecFound.push_back(stRecord);
    return vecFound;
}

RKProbeRecord RKProbeRun::One(const std::string& strKind) const
{
    std::vector<RKProbeRecord> vecFound = Of(strKind);
    EXPECT_EQ(vecFound.size(), 1u) << "records of kind " << strKind << "\n" << Describe();
    return vecFound.size() == 1 ? vecFound[0] : RKProbeRecord();
}

std::string RKProbeRun::Describe() const
{
    return "exit status " + std::to_string(stResult.nStatus) +
           (stResult.strError.empty() ? "" : " (" + stResult.strError + ")") + "\n--- stdout\n" +
           stResult.strOut + "--- stderr\n" + stResult.strErr;
}

std::string RKWriterSummary(const RKProbeRecord& stWriter)
{
    std::string strSummary;
    for (const char* szKey :
         {"letter", "model", "supported", "media_in", "base_media_in", "media", "name", "disc"})
        strSummary += (strSummary.empty() ? "" : " | ") + stWriter.Field(szKey);
    return strSummary;
}

std::vector<std::string> RKWriterSummaries(const RKProbeRun& stRun)
{
    std::vector<std::string> vecSummaries;
    for (const RKProbeRecord& stWriter : stRun.Of("writer"))
        vecSummaries.push_back(RKWriterSummary(stWriter));
    return vecSummaries;
}

std::string RKEngineArgument(unsigned uEngine)
{
    char szText[16];
    std::snprintf(szText, sizeof(szText), "0x%08X", uEngine);
    return szText;
}

void CRKKernelTest::BootGuest(const std::string& strName, const std::vector<RKGuestDrive>& vecDrives)
{
    s_pGuest.reset(new CRKGuest(strName));
    s_strBootError.clear();
    if (!s_pGuest->Boot(vecDrives))
        s_strBootError = "the guest did not boot: " + s_pGuest->LastError();
}

void CRKKernelTest::StopGuest()
{
    s_pGuest.reset();
}

void CRKKernelTest::SetUp()
{
    ASSERT_TRUE(s_pGuest && s_pGuest->IsRunning()) << s_strBootError;
}

RKGuestCommand CRKKernelTest::ProbeCommand(const std::vector<std::string>& vecArgs, RKGuestUser eUser,
                                           const std::string& strDosDevices)
{
    RKGuestCommand stCommand;
    stCommand.vecArgs = {RKKERNEL_PROBE};
    stCommand.vecArgs.insert(stCommand.vecArgs.end(), vecArgs.begin(), vecArgs.end());
    stCommand.eUser = eUser;
    if (!strDosDevices.empty())
        stCommand.vecEnv.push_back({"RKDRV_DOSDEVICES", strDosDevices});
    return stCommand;
}

RKProbeRun CRKKernelTest::Probe(const std::vector<std::string>& vecArgs, RKGuestUser eUser,
                                const std::string& strDosDevices)
{
    return MakeRun(s_pGuest->Run(ProbeCommand(vecArgs, eUser, strDosDevices)));
}

RKProbeRun CRKKernelTest::Collect(int nId, int nSeconds)
{
    return MakeRun(s_pGuest->Collect(nId, nSeconds));
}

RKProbeRun CRKKernelTest::RunTool(const std::vector<std::string>& vecArgs, RKGuestUser eUser, int nSeconds)
{
    RKGuestCommand stCommand;
    stCommand.vecArgs = vecArgs;
    stCommand.eUser = eUser;
    stCommand.nSeconds = nSeconds;
    return MakeRun(s_pGuest->Run(stCommand));
}

std::string CRKKernelTest::DosDevices(const std::string& strName,
                                      const std::vector<std::pair<std::string, std::string>>& vecLinks)
{
    std::string strFolder = "/tmp/dosdevices-" + strName;
    std::string strScript = "rm -rf " + strFolder + " && mkdir -p " + strFolder;
    for (const auto& prLink : vecLinks)
        strScript += " && ln -s " + prLink.second + " " + strFolder + "/" + prLink.first;
    RKGuestResult stResult = s_pGuest->RunShell(strScript);
    EXPECT_EQ(stResult.nStatus, 0) << strScript << "\n" << stResult.strErr << stResult.strError;
    return strFolder;
}

void CRKKernelTest::SetDisc(const std::string& strId, const std::string& strDevice,
                            const std::string& strImage)
{
    if (strImage.empty())
        ASSERT_TRUE(s_pGuest->RemoveMedium(strId, true)) << s_pGuest->LastError();
    else
        ASSERT_TRUE(s_pGuest->ChangeMedium(strId, strImage)) << s_pGuest->LastError();
    // CDS_DISC_OK with a disc, CDS_NO_DISC without.
    RKProbeRun stRun = RunTool(
        {RKKERNEL_DRIVE, "status", strDevice, "--until", strImage.empty() ? "1" : "4", "--seconds", "15"});
    ASSERT_EQ(stRun.stResult.nStatus, 0) << strId << " did not settle\n" << stRun.Describe();
}

std::string CRKKernelTest::ReadyFile(const std::string& strName)
{
    std::string strPath = s_pGuest->SharePath() + "/" + strName;
    std::error_code ecIgnored;
    std::filesystem::remove(strPath, ecIgnored);
    return strPath;
}

bool CRKKernelTest::WaitForFile(const std::string& strPath, int nSeconds)
{
    RKClock::time_point tpDeadline = RKClock::now() + std::chrono::seconds(nSeconds);
    std::error_code ecIgnored;
    while (!std::filesystem::exists(strPath, ecIgnored))
    {
        if (RKClock::now() >= tpDeadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

bool CRKKernelTest::WaitForTray(const std::string& strId, bool bOpen, int nSeconds)
{
    RKClock::time_point tpDeadline = RKClock::now() + std::chrono::seconds(nSeconds);
    for (;;)
    {
        bool bNow = !bOpen;
        if (s_pGuest->IsTrayOpen(strId, bNow) && bNow == bOpen)
            return true;
        if (RKClock::now() >= tpDeadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}
