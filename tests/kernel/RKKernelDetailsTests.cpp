// The rkdrv tool's details and tray commands on the guest's real drives, as
// a member of group cdrom runs them, with the host looking on through the
// machine monitor.
#include "RKKernelDrives.h"

#include <fstream>

#include <nlohmann/json.hpp>

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

// Makes the image an ISO 9660 one: a primary volume descriptor with the
// label at block 16, the rest left as it is.
void WriteVolumeLabel(const std::string& strImage, const std::string& strLabel)
{
    std::string strDescriptor(2048, '\0');
    strDescriptor.replace(0, 7, std::string("\1CD001\1", 7));
    strDescriptor.replace(40, 32, std::string(32, ' '));
    strDescriptor.replace(40, strLabel.size(), strLabel);
    std::fstream fileImage(strImage, std::ios::in | std::ios::out | std::ios::binary);
    fileImage.seekp(16 * 2048);
    fileImage.write(strDescriptor.data(), static_cast<std::streamsize>(strDescriptor.size()));
    ASSERT_TRUE(fileImage.good()) << strImage;
}
} // namespace

TEST_F(KernelDrives, ToolInfoGivesTheDriveTheCdsLayoutCapacityAndLabelAndTheTray)
{
    std::string strIso = Guest().MakeImage("label.iso", 737280000ull);
    WriteVolumeLabel(strIso, "RKDRV_KERNEL_TEST");
    SetDisc("cdrom0", "/dev/sr0", strIso);
    RKProbeRun stRun =
        Run(ToolCommand({"--json", "info", "E"}, DosDevices("details-info", {{"e::", "/dev/sr0"}})));
    SetDisc("cdrom0", "/dev/sr0", s_strCd);

    ASSERT_EQ(stRun.stResult.nStatus, 0) << stRun.Describe();
    nlohmann::json jsonWriter = Document(stRun)["writer"];
    EXPECT_EQ(jsonWriter["disc"], nlohmann::json::parse(R"({"profile": 8, "profile_name": "CD-ROM",
        "erasable": false, "sessions": 1, "last_session_state": "complete", "first_track": 1, "last_track": 1,
        "audio_tracks": 0, "data_tracks": 1, "capacity_blocks": 360000, "block_size": 2048,
        "capacity_bytes": 737280000, "free_blocks": 0, "label": "RKDRV_KERNEL_TEST"})"))
        << stRun.Describe();
    EXPECT_EQ(jsonWriter["drive"], nlohmann::json::parse(R"({"vendor": "QEMU", "product": "QEMU CD-ROM",
        "revision": "2.5+", "serial": null, "interface": "SCSI", "loading": "tray", "can_eject": true,
        "can_close": true, "can_lock": true, "profiles": [16, 8], "max_read_kbps": 8800,
        "max_write_kbps": 2816, "buffer_kib": 2048})"))
        << stRun.Describe();
    EXPECT_EQ(jsonWriter["tray"], nlohmann::json::parse(R"({"open": false, "locked": false})"));
    // The meanings of the writer's own words come from the same details.
    EXPECT_EQ(jsonWriter["supported_media_names"], nlohmann::json::parse(R"(["CD", "DVD"])"));
    EXPECT_EQ(jsonWriter["disc_state"], "complete");
}

TEST_F(KernelDrives, ToolClosesTheTrayItEjectedAndLocksTheDoorAgainstAPlainEject)
{
    SetDisc("cdrom0", "/dev/sr0", s_strCd);
    std::string strFolder = DosDevices("details-tray", {{"e::", "/dev/sr0"}});
    RKProbeRun stEject = Run(ToolCommand({"eject", "E"}, strFolder));
    ASSERT_EQ(stEject.stResult.nStatus, 0) << stEject.Describe();
    ASSERT_TRUE(WaitForTray("cdrom0", true, 10));
    RKProbeRun stClose = Run(ToolCommand({"--json", "close", "E"}, strFolder));
    ASSERT_EQ(stClose.stResult.nStatus, 0) << stClose.Describe();
    EXPECT_EQ(Document(stClose)["close"],
              nlohmann::json::parse(R"({"index": 0, "letter": "E", "result": 1})"));
    EXPECT_TRUE(WaitForTray("cdrom0", false, 10)) << "the host saw no closed tray";
    RKProbeRun stReady = RunTool({RKKERNEL_DRIVE, "status", "/dev/sr0", "--until", "4", "--seconds", "15"});
    ASSERT_EQ(stReady.stResult.nStatus, 0) << stReady.Describe();

    // Locked by the tool, the door outlives it: the host's eject without
    // force is refused, and the tool's own view says so.
    RKProbeRun stLock = Run(ToolCommand({"lock", "E"}, strFolder));
    ASSERT_EQ(stLock.stResult.nStatus, 0) << stLock.Describe();
    bool bLocked = false;
    ASSERT_TRUE(Guest().IsLocked("cdrom0", bLocked)) << Guest().LastError();
    EXPECT_TRUE(bLocked);
    nlohmann::json jsonReturn;
    bool bEjected = Guest().Monitor("eject", {{"id", "cdrom0"}}, jsonReturn);
    std::string strRefusal = Guest().LastError();
    RKProbeRun stInfo = Run(ToolCommand({"--json", "info", "E"}, strFolder));
    bool bOpen = true;
    ASSERT_TRUE(Guest().IsTrayOpen("cdrom0", bOpen)) << Guest().LastError();
    RKProbeRun stUnlock = Run(ToolCommand({"--json", "unlock", "E"}, strFolder));
    ASSERT_EQ(stUnlock.stResult.nStatus, 0) << stUnlock.Describe();
    ASSERT_TRUE(Guest().IsLocked("cdrom0", bLocked)) << Guest().LastError();

    EXPECT_FALSE(bEjected) << "a locked door let the host eject";
    EXPECT_NE(strRefusal.find("locked"), std::string::npos) << strRefusal;
    EXPECT_FALSE(bOpen);
    EXPECT_EQ(Document(stInfo)["writer"]["tray"], nlohmann::json::parse(R"({"open": false, "locked": true})"))
        << stInfo.Describe();
    EXPECT_EQ(Document(stUnlock)["unlock"],
              nlohmann::json::parse(R"({"index": 0, "letter": "E", "result": 1})"));
    EXPECT_FALSE(bLocked);
    // Unlocked, the host's plain eject goes through again.
    EXPECT_TRUE(Guest().Monitor("eject", {{"id", "cdrom0"}}, jsonReturn)) << Guest().LastError();
    SetDisc("cdrom0", "/dev/sr0", s_strCd);
}
