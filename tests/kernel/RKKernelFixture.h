// What the guest scenarios share: one guest per test suite, the probe's
// records, and disc changes that wait until the guest's kernel sees them.
#ifndef RKKERNELFIXTURE_H
#define RKKERNELFIXTURE_H

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "RKGuest.h"

// One printed line of a guest program: its kind, then key=value fields.
struct RKProbeRecord
{
    std::string strKind;
    std::map<std::string, std::string> mapFields;

    std::string Field(const std::string& strKey) const;
};

struct RKProbeRun
{
    RKGuestResult stResult;
    std::vector<RKProbeRecord> vecRecords;

    std::vector<RKProbeRecord> Of(const std::string& strKind) const;
    // One record of that kind; an empty one (and a test failure) otherwise.
    RKProbeRecord One(const std::string& strKind) const;
    // Everything the program said, for failure messages.
    std::string Describe() const;
};

// A writer record as "E | model | supported | media_in | base_media_in |
// media | name | disc", so a whole drive compares in one line.
std::string RKWriterSummary(const RKProbeRecord& stWriter);
std::vector<std::string> RKWriterSummaries(const RKProbeRun& stRun);
std::string RKEngineArgument(unsigned uEngine);

class CRKKernelTest : public testing::Test
{
protected:
    // Boots the suite's guest; the drives' images are made in its folder.
    static void BootGuest(const std::string& strName, const std::vector<RKGuestDrive>& vecDrives);
    static void StopGuest();
    static CRKGuest& Guest() { return *s_pGuest; }

    void SetUp() override;

    static RKGuestCommand ProbeCommand(const std::vector<std::string>& vecArgs, RKGuestUser eUser,
                                       const std::string& strDosDevices);
    static RKProbeRun Probe(const std::vector<std::string>& vecArgs, RKGuestUser eUser = RKGUEST_CDROM_USER,
                            const std::string& strDosDevices = "");
    static RKProbeRun Collect(int nId, int nSeconds);
    // Runs a program in the guest, by default as root.
    static RKProbeRun RunTool(const std::vector<std::string>& vecArgs, RKGuestUser eUser = RKGUEST_ROOT,
                              int nSeconds = 60);

    // A dosdevices folder in the guest holding these links (name, target).
    static std::string DosDevices(const std::string& strName,
                                  const std::vector<std::pair<std::string, std::string>>& vecLinks);
    // Puts a disc (an image) in a drive, or takes it out (empty image,
    // tray closed), and waits until the guest's device reports it.
    static void SetDisc(const std::string& strId, const std::string& strDevice, const std::string& strImage);
    static std::string ReadyFile(const std::string& strName);
    static bool WaitForFile(const std::string& strPath, int nSeconds);
    static bool WaitForTray(const std::string& strId, bool bOpen, int nSeconds);

    static std::unique_ptr<CRKGuest> s_pGuest;
    static std::string s_strBootError;
};

#endif
