// rkdrv watch on the guest's real drives while the host changes discs and
// drives: the events, their order, that another program still ejects, and
// the drive's button pressed while its door is locked.
#include "RKKernelHotplug.h"
#include "RKWatchLines.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>

#include <nlohmann/json.hpp>

TEST_F(KernelHotplug, WatchReportsDiscsAndDrivesAsTheHostChangesThem)
{
    SetDisc("cdrom0", "/dev/sr0", s_strCd);
    int nDrives = DriveCount();
    std::string strBlank = Guest().MakeImage("blank.iso", 650ull << 20);
    std::string strLog = Guest().SharePath() + "/watch.jsonl";
    std::string strPid = Guest().SharePath() + "/watch.pid";
    std::remove(strLog.c_str());
    std::remove(strPid.c_str());
    nlohmann::json jsReturn;
    RKGuestCommand stCommand;
    // The shell becomes the tool, so its process number is the tool's.
    stCommand.vecArgs = {
        "sh", "-c", "echo $$ >'" + strPid + "'; exec \"$0\" --json watch --interval 100 >'" + strLog + "'",
        RKKERNEL_TOOL};
    stCommand.eUser = RKGUEST_CDROM_USER;
    stCommand.vecEnv.push_back({"RKDRV_DOSDEVICES", DosDevices("watch", {})});
    stCommand.nSeconds = 180;
    int nId = Guest().Start(stCommand);
    CRKWatchLines lines(strLog);

    // Where each drive starts: letters from D on, in device order.
    nlohmann::json jsonEvent;
    for (int i = 0; i < nDrives; ++i)
    {
        jsonEvent = lines.Next(60);
        ASSERT_TRUE(jsonEvent.is_object() && jsonEvent.value("event", "") == "state")
            << lines.Describe() << Collect(nId, 5).Describe();
        EXPECT_EQ(jsonEvent["index"], i);
        EXPECT_EQ(jsonEvent["letter"], std::string(1, static_cast<char>('D' + i)));
    }
    bool bTray = lines.vecSeen.size() > 0 && nlohmann::json::parse(lines.vecSeen[0])["events"].dump().find(
                                                 "tray-opened") != std::string::npos;
    auto Opened = [&](const char* szLetter)
    {
        std::string strLetter = szLetter;
        return bTray ? std::vector<std::string>{strLetter + " tray-opened", strLetter + " disc-removed"}
                     : std::vector<std::string>{strLetter + " disc-removed"};
    };
    auto Closed = [&](const char* szLetter)
    {
        std::string strLetter = szLetter;
        return bTray ? std::vector<std::string>{strLetter + " tray-closed", strLetter + " disc-inserted"}
                     : std::vector<std::string>{strLetter + " disc-inserted"};
    };

    // The host opens the tray and takes the disc; puts in an empty disc
    // (nothing recorded on it) and closes.
    ASSERT_TRUE(Guest().RemoveMedium("cdrom0", false)) << Guest().LastError();
    EXPECT_EQ(lines.Until("disc-removed", jsonEvent), Opened("D")) << lines.Describe();
    ASSERT_TRUE(Guest().ChangeMedium("cdrom0", strBlank)) << Guest().LastError();
    EXPECT_EQ(lines.Until("disc-inserted", jsonEvent), Closed("D")) << lines.Describe();
    EXPECT_EQ(jsonEvent["media_type_name"], "CD");
    EXPECT_EQ(jsonEvent["disc_state"], "complete");

    // Another program ejects while the watch runs: nothing holds the drive.
    RKProbeRun stEject = RunTool({RKKERNEL_DRIVE, "eject", "/dev/sr0"});
    EXPECT_EQ(stEject.stResult.nStatus, 0) << stEject.Describe();
    EXPECT_TRUE(WaitForTray("cdrom0", true, 20));
    EXPECT_EQ(lines.Until("disc-removed", jsonEvent), Opened("D")) << lines.Describe();
    ASSERT_TRUE(Guest().ChangeMedium("cdrom0", s_strCd)) << Guest().LastError();
    EXPECT_EQ(lines.Until("disc-inserted", jsonEvent), Closed("D")) << lines.Describe();

    // The button pressed while the door is locked: the host's eject without
    // force is refused, and the drive reports the request. Then again with
    // the kernel polling the drive's events itself, as udev rules set it.
    auto Door = [&](const char* szCommand)
    {
        RKGuestCommand stDoor;
        stDoor.vecArgs = {RKKERNEL_TOOL, szCommand, "D"};
        stDoor.eUser = RKGUEST_CDROM_USER;
        stDoor.vecEnv = stCommand.vecEnv;
        return Run(stDoor);
    };
    RKProbeRun stLock = Door("lock");
    ASSERT_EQ(stLock.stResult.nStatus, 0) << stLock.Describe();
    for (const char* szPoll : {"0", "2000"})
    {
        SCOPED_TRACE(std::string("events_poll_msecs=") + szPoll);
        RKProbeRun stPoll =
            RunTool({"sh", "-c", std::string("echo ") + szPoll + " >/sys/block/sr0/events_poll_msecs"});
        ASSERT_EQ(stPoll.stResult.nStatus, 0) << stPoll.Describe();
        EXPECT_FALSE(Guest().Monitor("eject", {{"id", "cdrom0"}}, jsReturn))
            << "a locked door let the host eject";
        EXPECT_EQ(lines.Until("eject-request", jsonEvent), std::vector<std::string>{"D eject-request"})
            << lines.Describe();
        EXPECT_EQ(jsonEvent["index"], 0);
    }
    RunTool({"sh", "-c", "echo 0 >/sys/block/sr0/events_poll_msecs"});
    RKProbeRun stUnlock = Door("unlock");
    ASSERT_EQ(stUnlock.stResult.nStatus, 0) << stUnlock.Describe();

    // A drive plugged in, then pulled out.
    std::string strId = NextDriveId();
    std::string strLetter(1, static_cast<char>('D' + nDrives));
    ASSERT_TRUE(Guest().HotAddDrive(strId, s_strDvd)) << Guest().LastError();
    EXPECT_EQ(lines.Until("drive-added", jsonEvent), std::vector<std::string>{strLetter + " drive-added"})
        << lines.Describe();
    EXPECT_EQ(jsonEvent["index"], nDrives);
    EXPECT_EQ(jsonEvent["model"], "QEMU QEMU CD-ROM");
    ASSERT_TRUE(Guest().Monitor("device_del", {{"id", strId}}, jsReturn)) << Guest().LastError();
    std::vector<std::string> vecKinds = lines.Until("drive-removed", jsonEvent);
    // The disc may be seen going (or, still spinning up when the drive was
    // added, coming) in the moment before the drive is seen gone.
    for (std::size_t i = 0; i + 1 < vecKinds.size(); ++i)
        EXPECT_TRUE(vecKinds[i] == strLetter + " disc-removed" || vecKinds[i] == strLetter + " disc-inserted")
            << lines.Describe();
    EXPECT_EQ(vecKinds.back(), strLetter + " drive-removed") << lines.Describe();
    EXPECT_EQ(jsonEvent["index"], nDrives);

    // Ctrl-C ends it with 0.
    std::ifstream filePid(strPid);
    std::string strWatchPid;
    filePid >> strWatchPid;
    ASSERT_FALSE(strWatchPid.empty());
    RunTool({"kill", "-INT", strWatchPid});
    RKProbeRun stRun = Collect(nId, 30);
    EXPECT_EQ(stRun.stResult.nStatus, 0) << stRun.Describe();
    EXPECT_NE(stRun.stResult.strErr.find("rkdrv: stopped by Ctrl-C"), std::string::npos) << stRun.Describe();
}
