// The rkdrv tool on the guest's real drives, as a member of group cdrom
// runs it: its JSON list, and a wait across drives that the host ends by
// inserting a disc.
#include "RKKernelDrives.h"

#include <nlohmann/json.hpp>

#include "RKDRV.h"
#include "RKSystemEngine.h"

namespace
{
RKGuestCommand ToolCommand(const std::vector<std::string>& vecArgs, const std::string& strDosDevices)
{
    RKGuestCommand stCommand;
    stCommand.vecArgs = {RKKERNEL_TOOL};
    stCommand.vecArgs.insert(stCommand.vecArgs.end(), vecArgs.begin(), vecArgs.end());
    stCommand.eUser = RKGUEST_CDROM_USER;
    stCommand.vecEnv.push_back({"RKDRV_DOSDEVICES", strDosDevices});
    stCommand.nSeconds = 90;
    return stCommand;
}

nlohmann::json Document(const RKProbeRun& stRun)
{
    nlohmann::json jsonDoc = nlohmann::json::parse(stRun.stResult.strOut, nullptr, false);
    EXPECT_FALSE(jsonDoc.is_discarded()) << stRun.Describe();
    return jsonDoc;
}

// The fields of one writer that a real drive decides.
std::string Drive(const nlohmann::json& jsonWriter)
{
    return jsonWriter.value("letter", "?") + " | " + jsonWriter.value("model", "?") + " | " +
           std::to_string(jsonWriter.value("supported_media", -1)) + " | " +
           jsonWriter["supported_media_names"].dump() + " | " + jsonWriter["disc_present"].dump() + " | " +
           jsonWriter["media_type"].dump() + " | " + jsonWriter["media_type_name"].dump() + " | " +
           jsonWriter["disc_state"].dump();
}
} // namespace

TEST_F(KernelDrives, ToolListsTheGuestDrivesAsJson)
{
    SetDisc("cdrom0", "/dev/sr0", s_strCd);
    SetDisc("cdrom1", "/dev/sr1", s_strDvd);
    std::string strFolder = DosDevices("tool-list", {{"e::", "/dev/sr0"}, {"f::", "/dev/sr1"}});
    RKProbeRun stRun = Run(ToolCommand({"--json", "list"}, strFolder));

    ASSERT_EQ(stRun.stResult.nStatus, 0) << stRun.Describe();
    nlohmann::json jsonDoc = Document(stRun);
    EXPECT_EQ(jsonDoc["engine"]["module"], "RKDRVSC") << stRun.Describe();
    EXPECT_EQ(jsonDoc["engine"]["system_engine"], true);
    ASSERT_EQ(jsonDoc["writers"].size(), 2u) << stRun.Describe();
    const std::string strSupported = std::to_string(RKSC_SUPPORTS_CD | RKSC_SUPPORTS_DVD) + R"( | ["CD","DVD"])";
    EXPECT_EQ(Drive(jsonDoc["writers"][0]),
              "E | QEMU QEMU CD-ROM | " + strSupported + R"( | true | 2 | "CD" | "complete")");
    EXPECT_EQ(Drive(jsonDoc["writers"][1]),
              "F | QEMU QEMU CD-ROM | " + strSupported + R"( | true | 4 | "DVD" | "complete")");
    EXPECT_EQ(jsonDoc["writers"][1]["index"], 1);
}

TEST_F(KernelDrives, ToolWaitAnyEndsWhenTheHostInsertsADisc)
{
    SetDisc("cdrom0", "/dev/sr0", "");
    SetDisc("cdrom1", "/dev/sr1", "");
    int nId = Guest().Start(ToolCommand({"--json", "wait", "any"}, DosDevices("tool-wait", {})));
    // The first poll finds drive 0 empty and opens its tray; the disc goes
    // into drive 1 during the pause that follows.
    ASSERT_TRUE(WaitForTray("cdrom0", true, 60)) << Collect(nId, 5).Describe();
    ASSERT_TRUE(Guest().ChangeMedium("cdrom1", s_strCd)) << Guest().LastError();
    RKProbeRun stRun = Collect(nId, 90);

    ASSERT_EQ(stRun.stResult.nStatus, 0) << stRun.Describe();
    nlohmann::json jsonWait = Document(stRun)["wait"];
    EXPECT_EQ(jsonWait["result"], "found") << stRun.Describe();
    EXPECT_EQ(jsonWait["mode"], "across");
    EXPECT_EQ(jsonWait["drive"]["index"], 1) << stRun.Describe();
    EXPECT_EQ(jsonWait["drive"]["media_type_name"], "CD");
    EXPECT_EQ(jsonWait["drive"]["disc_state"], "complete");
}
