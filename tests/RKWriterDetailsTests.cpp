// Details and tray control, found on writers of engines loaded for real.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>

#include "RKDRV.h"
#include "RKOsLayer.h"
#include "RKTestFolderLoad.h"
#include "RKTestModule.h"
#include "RKTestProbe.h"
#include "RKTextUtil.h"
#include "RKTraceCapture.h"

// The records are a binary contract with engines built apart from hosts.
static_assert(offsetof(RKDriveDetails, szVendor) == 4, "drive details layout");
static_assert(offsetof(RKDriveDetails, dwInterface) == 260, "drive details layout");
static_assert(offsetof(RKDriveDetails, awProfiles) == 288, "drive details layout");
static_assert(sizeof(RKDriveDetails) == 428, "drive details layout");
static_assert(offsetof(RKDiscDetails, szLabel) == 60 && offsetof(RKDiscDetails, dwDiscType) == 188 &&
                  sizeof(RKDiscDetails) == 192,
              "disc details layout");
static_assert(sizeof(RKTrayState) == 24, "tray state layout");

namespace
{
RKTestProbe s_Probe;

class RKWriterDetailsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RKTestProbeReset(s_Probe);
        RKTestPublishProbe(&s_Probe);
        RKTestLoadEnginesFrom("details", &s_Probe, nullptr, false);
    }
    void TearDown() override
    {
        RKDRV::ClearODDManager(m_pManager);
        RKOsSetCalls(nullptr);
        RKTestPublishProbe(nullptr);
        EXPECT_EQ(s_Probe.nWritersDestroyed, s_Probe.nFactoryCalls * 2);
    }

    // Writer E of the engine dwODD.
    CRKWriter* WriterOf(DWORD dwODD)
    {
        RKDRV::ClearODDManager(m_pManager);
        m_pManager = RKDRV::GetODDManager(dwODD);
        return m_pManager ? m_pManager->GetWriter(0) : nullptr;
    }

    CRKDRVManager* m_pManager = nullptr;
};

TEST_F(RKWriterDetailsTest, FoundAcrossTheModuleBoundaryOnlyWhereOffered)
{
    CRKWriter* pWriter = WriterOf(RKDRV_ENGINE_CL);
    ASSERT_NE(pWriter, nullptr);
    CRKWriterDetails* pDetails = RKDRV::GetWriterDetails(pWriter);
    ASSERT_NE(pDetails, nullptr);
    // The second base of the same object, not a copy.
    RKTrayState stState{};
    stState.cbSize = sizeof(stState);
    EXPECT_EQ(pDetails->GetTrayState(stState), 1);
    EXPECT_EQ(stState.dwOpen, 1u);

    // An engine without the interface, and one built without type
    // information whose writer derives from it all the same.
    EXPECT_EQ(RKDRV::GetWriterDetails(WriterOf(RKDRV_ENGINE_IM)), nullptr);
    EXPECT_EQ(RKDRV::GetWriterDetails(WriterOf(RKDRV_ENGINE_RD)), nullptr);
    EXPECT_EQ(RKDRV::GetWriterDetails(nullptr), nullptr);
}

TEST_F(RKWriterDetailsTest, FieldsTheEngineLeavesAreUnknownAndTextsEndInsideTheirFields)
{
    CRKWriter* pWriter = WriterOf(RKDRV_ENGINE_CL);
    RKDriveDetails stDrive;
    std::memset(&stDrive, 0x5A, sizeof(stDrive));
    stDrive.cbSize = sizeof(stDrive);
    CRKTraceCapture capture;
    ASSERT_EQ(RKDRV::GetDriveDetails(pWriter, stDrive), 1);
    EXPECT_EQ(RKTextToUtf8(stDrive.szVendor), "RKTEST");
    EXPECT_EQ(RKTextToUtf8(stDrive.szProduct), "");
    EXPECT_EQ(RKTextToUtf8(stDrive.szSerial), std::string(RKDETAILS_SERIAL_CHARS - 1, 'S'));
    EXPECT_EQ(stDrive.dwCurrentProfile, 0x1Au);
    EXPECT_EQ(stDrive.dwProfileCount, static_cast<DWORD>(RKDETAILS_MAX_PROFILES));
    EXPECT_EQ(stDrive.dwInterface, RKDETAILS_UNKNOWN);
    EXPECT_EQ(stDrive.dwBufferKiB, RKDETAILS_UNKNOWN);
    EXPECT_EQ(stDrive.awProfiles[0], 0);

    RKDiscDetails stDisc;
    std::memset(&stDisc, 0, sizeof(stDisc));
    stDisc.cbSize = sizeof(stDisc);
    ASSERT_EQ(RKDRV::GetDiscDetails(pWriter, stDisc), 1);
    EXPECT_EQ(stDisc.dwDiscPresent, 0u);
    EXPECT_EQ(stDisc.dwCapacityBlocks, RKDETAILS_UNKNOWN);
    EXPECT_EQ(stDisc.dwFreeBlocks, RKDETAILS_UNKNOWN);

    RKTrayState stTray;
    std::memset(&stTray, 0, sizeof(stTray));
    stTray.cbSize = sizeof(stTray);
    ASSERT_EQ(RKDRV::GetTrayState(pWriter, stTray), 1);
    EXPECT_EQ(stTray.dwLocked, RKDETAILS_UNKNOWN);
    EXPECT_EQ(stTray.dwEvents, 0u);
    EXPECT_TRUE(capture.records.empty());
}

TEST_F(RKWriterDetailsTest, RefusalsAndFaultsAreOneLineAndZero)
{
    CRKWriter* pWriter = WriterOf(RKDRV_ENGINE_CL);
    RKDriveDetails stDrive{};
    stDrive.cbSize = sizeof(stDrive) - 4;
    {
        CRKTraceCapture capture;
        EXPECT_EQ(RKDRV::GetDriveDetails(pWriter, stDrive), 0);
        EXPECT_EQ(capture.records, std::vector<RKTraceRecord>(
                                       {Error("GetDriveDetails: record of 424 bytes, at least 428 needed")}));
    }

    // What the engine wrote before it threw is not left behind.
    stDrive.cbSize = sizeof(stDrive);
    std::snprintf(s_Probe.szThrowIn, sizeof(s_Probe.szThrowIn), "RKDRVCL:details");
    {
        CRKTraceCapture capture;
        EXPECT_EQ(RKDRV::GetDriveDetails(pWriter, stDrive), 0);
        EXPECT_EQ(stDrive.dwCurrentProfile, RKDETAILS_UNKNOWN);
        std::snprintf(s_Probe.szThrowIn, sizeof(s_Probe.szThrowIn), "RKDRVCL:close");
        EXPECT_EQ(RKDRV::CloseTray(pWriter), 0);
        EXPECT_EQ(capture.records, std::vector<RKTraceRecord>({Error("GetDriveDetails threw an exception"),
                                                               Error("CloseTray threw an exception")}));
    }

    // Any nonzero answer is 1.
    EXPECT_EQ(RKDRV::LockTray(pWriter, 0), 1);
    EXPECT_EQ(RKDRV::LockTray(pWriter, 1), 0);

    CRKWriter* pPlain = WriterOf(RKDRV_ENGINE_IM);
    CRKTraceCapture capture;
    EXPECT_EQ(RKDRV::GetDriveDetails(pPlain, stDrive), 0);
    EXPECT_EQ(RKDRV::LockTray(pPlain, 1), 0);
    EXPECT_EQ(capture.records,
              std::vector<RKTraceRecord>({Error("GetDriveDetails: the writer's engine offers no details"),
                                          Error("LockTray: the writer's engine offers no tray control")}));
}

TEST(RKProfileTest, NamesAndMediaCodesOfProfiles)
{
    EXPECT_EQ(RKTextToUtf8(RKDRV::GetProfileName(0x13)), "DVD-RW Restricted Overwrite");
    EXPECT_EQ(RKTextToUtf8(RKDRV::GetProfileName(0x42)), "BD-R Random Recording");
    EXPECT_EQ(RKTextToUtf8(RKDRV::GetProfileName(0x0)), "");
    EXPECT_EQ(RKTextToUtf8(RKDRV::GetProfileName(0x10013)), "");
    EXPECT_EQ(RKDRV::GetMediaTypeOfProfile(0x14), RKMEDIA_DVD_RW);
    EXPECT_EQ(RKDRV::GetMediaTypeOfProfile(0x16), RKMEDIA_DVD_R_DL);
    EXPECT_EQ(RKDRV::GetMediaTypeOfProfile(0x2A), 0u);
    EXPECT_EQ(RKDRV::GetMediaTypeOfProfile(0), 0u);
}
} // namespace
