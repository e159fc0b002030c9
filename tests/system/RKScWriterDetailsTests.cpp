// The writer's details against drives of canned answers. Where an answer
// comes from a published report of a real drive, the case says so; the
// others are built after the command set's layout with the values such
// media and drives report (a 4.7 GB DVD holds 2,295,104 blocks, an
// 80-minute CD-R 359,846).
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "RKSystemEngine.h"
#include "RKScDetailsAnswers.h"
#include "RKScTestTrace.h"
#include "RKScWriter.h"

namespace
{
std::string Text(const unsigned short* szText)
{
    return RKScText(szText);
}

class RKScWriterDetailsTest : public ::testing::Test
{
protected:
    RKScWriterDetailsTest()
        : m_pTransport(std::make_shared<CRKScFakeTransport>()),
          m_Drive(m_pTransport->AddDrive("/dev/sr0", ""))
    {
        RKScBytes vecInquiry = InquiryBytes("QEMU", "QEMU CD-ROM");
        std::copy_n("2.5+", 4, vecInquiry.begin() + 32);
        m_Drive.Answer(INQ, Good(vecInquiry));
        m_Drive.Answer(GC, Good(ConfigurationBytes(0x08, {0x10, 0x08})));
        m_pWriter.reset(new CRKScWriter(m_pTransport, m_Drive.stEntry, 'E'));
        m_pWriter->Identify();
        Reset();
    }
    void TearDown() override
    {
        m_pWriter.reset();
        EXPECT_EQ(0, m_Drive.nOpenNow);
    }

    void Reset()
    {
        m_Drive.mapAnswers.clear();
        m_Drive.vecCommands.clear();
        m_Drive.vecOperations.clear();
        m_Drive.vecTrayCalls.clear();
    }

    RKDriveDetails Drive(int nExpected = 1)
    {
        RKDriveDetails stDetails;
        std::memset(&stDetails, 0xFF, sizeof(stDetails));
        stDetails.szVendor[0] = stDetails.szProduct[0] = stDetails.szRevision[0] = stDetails.szSerial[0] = 0;
        EXPECT_EQ(m_pWriter->GetDriveDetails(stDetails), nExpected);
        return stDetails;
    }
    RKDiscDetails Disc()
    {
        RKDiscDetails stDetails;
        std::memset(&stDetails, 0xFF, sizeof(stDetails));
        stDetails.szLabel[0] = 0;
        EXPECT_EQ(m_pWriter->GetDiscDetails(stDetails), 1);
        return stDetails;
    }
    RKTrayState Tray(int nExpected = 1)
    {
        RKTrayState stState = {sizeof(RKTrayState), RKDETAILS_UNKNOWN, RKDETAILS_UNKNOWN,
                               RKDETAILS_UNKNOWN,   RKDETAILS_UNKNOWN, 0};
        EXPECT_EQ(m_pWriter->GetTrayState(stState), nExpected);
        return stState;
    }

    std::shared_ptr<CRKScFakeTransport> m_pTransport;
    RKScFakeDrive& m_Drive;
    std::unique_ptr<CRKScWriter> m_pWriter;
};

// The disc in numbers, as one line.
std::string Summary(const RKDiscDetails& stDisc)
{
    auto Value = [](DWORD dwValue)
    { return dwValue == RKDETAILS_UNKNOWN ? std::string("?") : std::to_string(dwValue); };
    return Value(stDisc.dwProfile) + " " + Value(stDisc.dwDiscState) + " erasable " +
           Value(stDisc.dwErasable) + ", sessions " + Value(stDisc.dwSessions) + " last " +
           Value(stDisc.dwLastSessionState) + ", tracks " + Value(stDisc.dwFirstTrack) + "-" +
           Value(stDisc.dwLastTrack) + " audio " + Value(stDisc.dwAudioTracks) + " data " +
           Value(stDisc.dwDataTracks) + ", " + Value(stDisc.dwCapacityBlocks) + " x " +
           Value(stDisc.dwBlockSize) + ", free " + Value(stDisc.dwFreeBlocks) + ", label '" +
           Text(stDisc.szLabel) + "'";
}
} // namespace

TEST_F(RKScWriterDetailsTest, QemuCdGivesItsWholePictureWithNoCommandSentTwice)
{
    // QEMU's scsi-cd with a CD image of 737,280,000 bytes holding an ISO
    // 9660 volume: its answers as the real-kernel guest records them. Its
    // media event leaves the two reserved bytes out of its length.
    m_Drive.Answer(GESN, Good({0, 4, 4, 0x10, 0, 2, 0, 0}));
    m_Drive.Answer(TUR, Good({}));
    m_Drive.Answer(MSENSE, Good(CapabilitiesBytes(0x2D, 8800, 2048, 2816)));
    m_Drive.Answer(GC, Good(FeaturesBytes(0x08, {0x10, 0x08},
                                          {Feature(0x0001, 2, {0, 0, 0, 1, 1, 0, 0, 0}),
                                           Feature(0x0003, 2, {0x39, 0, 0, 0})})));
    m_Drive.Answer(RDI, Good(DiscLayoutBytes(2, 3, false, 1, 1, 1, 1)));
    m_Drive.Answer(TOC, Good(TocBytes({{1, true, 0}}, 360000)));
    m_Drive.Answer(CAP, Good(CapacityBytes(359999, 2048)));
    m_Drive.Answer(READ10, Good(VolumeBytes("RKDRV_KERNEL")));

    CRKScTraceCapture capture;
    RKTrayState stTray = Tray();
    RKDriveDetails stDrive = Drive();
    RKDiscDetails stDisc = Disc();

    EXPECT_EQ(stTray.dwOpen, 0u);
    EXPECT_EQ(stTray.dwMediaPresent, 1u);
    EXPECT_EQ(stTray.dwReady, 1u);
    EXPECT_EQ(stTray.dwLocked, 0u);
    EXPECT_EQ(Text(stDrive.szVendor) + "|" + Text(stDrive.szProduct) + "|" + Text(stDrive.szRevision) + "|" +
                  Text(stDrive.szSerial),
              "QEMU|QEMU CD-ROM|2.5+|");
    EXPECT_EQ(stDrive.dwInterface, RKINTERFACE_SCSI);
    EXPECT_EQ(stDrive.dwLoading, RKLOADING_TRAY);
    EXPECT_EQ(stDrive.dwCanEject + stDrive.dwCanClose + stDrive.dwCanLock, 3u);
    EXPECT_EQ(stDrive.dwCurrentProfile, 0x08u);
    ASSERT_EQ(stDrive.dwProfileCount, 2u);
    EXPECT_EQ(stDrive.awProfiles[0], 0x10);
    EXPECT_EQ(stDrive.dwMaxReadKbps, 8800u);
    EXPECT_EQ(stDrive.dwMaxWriteKbps, 2816u);
    EXPECT_EQ(stDrive.dwBufferKiB, 2048u);
    EXPECT_EQ(Summary(stDisc),
              "8 3 erasable 0, sessions 1 last 3, tracks 1-1 audio 0 data 1, 360000 x 2048, free 0, "
              "label 'RKDRV_KERNEL'");
    EXPECT_EQ(stDisc.dwMediaType, RKMEDIA_CD);
    EXPECT_EQ(stDisc.dwDiscType, RKSC_DISC_COMPLETE);
    EXPECT_TRUE(capture.Of('E').empty()) << capture.vecLines.front();

    // The tray's page serves the drive's details; the label comes from the
    // block after the first track's sixteenth. The listing's INQUIRY vouches
    // for the drive within the same second.
    EXPECT_EQ(m_Drive.vecOperations, (RKScBytes{GESN, TUR, MSENSE, GC, GC, RDI, TOC, CAP, READ10}));
    EXPECT_EQ(m_Drive.vecCommands[8], (RKScBytes{READ10, 0, 0, 0, 0, 16, 0, 0, 1, 0}));
    std::set<RKScBytes> setDistinct(m_Drive.vecCommands.begin(), m_Drive.vecCommands.end());
    EXPECT_EQ(setDistinct.size(), m_Drive.vecCommands.size());

    // Later, the details first check that the drive is still the one listed.
    m_pTransport->ullNow += 1000;
    Reset();
    m_Drive.Answer(INQ, Good(InquiryBytes("QEMU", "OTHER")));
    RKDiscDetails stOther = {};
    stOther.cbSize = sizeof(stOther);
    EXPECT_EQ(m_pWriter->GetDiscDetails(stOther), 0);
    EXPECT_EQ(m_Drive.vecOperations, RKScBytes{INQ});
}

TEST_F(RKScWriterDetailsTest, RecordableAndRewritableMediaGiveTheirCapacityAndFreeBlocks)
{
    struct
    {
        const char* szCase;
        WORD wProfile;
        RKScBytes vecDisc;
        std::vector<std::pair<std::uint8_t, RKScBytes>> vecAnswers;
        std::string strSummary;
        RKScBytes vecOperations;
    } aCases[] = {
        // clang-format off
        {"blank CD-R", 0x09, DiscLayoutBytes(0, 0, false, 1, 1, 1, 1),
         {{RTI, TrackInfoBytes(1, true, 0, 359846, 359846)}},
         "9 1 erasable 0, sessions 1 last 0, tracks ?-? audio 0 data 0, 359846 x 2048, free 359846, label ''",
         {GC, RDI, RTI}},
        // One closed session of 1,024,000 blocks; the open one starts after its lead-out.
        {"appendable DVD+R", 0x1B, DiscLayoutBytes(1, 0, false, 1, 2, 2, 2),
         {{TOC, TocBytes({{1, true, 0}}, 1024000)}, {CAP, CapacityBytes(1023999, 2048)},
          {RTI, TrackInfoBytes(2, true, 1048576, 1246528, 1246528)}, {READ10, VolumeBytes("BACKUP_2024")}},
         "27 2 erasable 0, sessions 2 last 0, tracks 1-1 audio 0 data 1, 1024000 x 2048, free 1246528, "
         "label 'BACKUP_2024'",
         {GC, RDI, TOC, CAP, RTI, READ10}},
        // Formatted for restricted overwrite, holding a UDF volume: no ISO label.
        {"DVD-RW restricted overwrite", 0x13, DiscLayoutBytes(2, 3, true, 1, 1, 1, 1),
         {{TOC, TocBytes({{1, true, 0}}, 2295104)}, {CAP, CapacityBytes(2295103, 2048)},
          {READ10, RKScBytes(2048, 0)}},
         "19 3 erasable 1, sessions 1 last 3, tracks 1-1 audio 0 data 1, 2295104 x 2048, free 0, label ''",
         {GC, RDI, TOC, CAP, READ10}},
        // Published report of an HL-DT-ST GP60N with a new DVD+RW: blank,
        // one empty session, unformatted capacity 2,295,104 x 2048.
        {"blank DVD+RW", 0x1A, DiscLayoutBytes(0, 0, true, 1, 1, 1, 1),
         {{RFC, FormatCapacityBytes(2295104, RKSC_FORMAT_UNFORMATTED, 2048)}},
         "26 1 erasable 1, sessions 1 last 0, tracks ?-? audio 0 data 0, 2295104 x 2048, free 2295104, label ''",
         {GC, RDI, RFC}},
        // A single-layer BD-RE formatted with the default spare areas.
        {"BD-RE", 0x43, DiscLayoutBytes(2, 3, true, 1, 1, 1, 1),
         {{TOC, TocBytes({{1, true, 0}}, 11826176)}, {CAP, CapacityBytes(11826175, 2048)},
          {READ10, VolumeBytes("BD_BACKUP")}},
         "67 3 erasable 1, sessions 1 last 3, tracks 1-1 audio 0 data 1, 11826176 x 2048, free 0, label 'BD_BACKUP'",
         {GC, RDI, TOC, CAP, READ10}},
        // A mixed CD: audio tracks first, so no label is read.
        {"audio CD", 0x08, DiscLayoutBytes(2, 3, false, 1, 1, 1, 3),
         {{TOC, TocBytes({{1, false, 0}, {2, false, 15000}, {3, true, 30000}}, 300000)},
          {CAP, CapacityBytes(299999, 2048)}},
         "8 3 erasable 0, sessions 1 last 3, tracks 1-3 audio 2 data 1, 300000 x 2048, free 0, label ''",
         {GC, RDI, TOC, CAP}},
        // clang-format on
    };
    for (const auto& stCase : aCases)
    {
        SCOPED_TRACE(stCase.szCase);
        Reset();
        m_Drive.Answer(GC, Good(ConfigurationBytes(stCase.wProfile, {stCase.wProfile})));
        m_Drive.Answer(RDI, Good(stCase.vecDisc));
        for (const auto& prAnswer : stCase.vecAnswers)
            m_Drive.Answer(prAnswer.first, Good(prAnswer.second));
        CRKScTraceCapture capture;
        RKDiscDetails stDisc = Disc();
        EXPECT_EQ(Summary(stDisc), stCase.strSummary);
        EXPECT_EQ(m_Drive.vecOperations, stCase.vecOperations);
        EXPECT_EQ(stDisc.dwMediaType, RKScMediaOfProfile(stCase.wProfile));
        EXPECT_TRUE(capture.Of('E').empty());
    }

    // No disc: said by the profile, or by the sense data.
    Reset();
    m_Drive.Answer(GC, Check(0x2, 0x3A, 0x01));
    RKDiscDetails stDisc = Disc();
    EXPECT_EQ(stDisc.dwDiscPresent, 0u);
    EXPECT_EQ(stDisc.dwProfile, RKDETAILS_UNKNOWN);
    EXPECT_EQ(m_Drive.vecOperations, RKScBytes{GC});
}

TEST_F(RKScWriterDetailsTest, DriveDetailsFromFeaturesPageAndPerformance)
{
    // A USB slot loader that gives its serial number and speeds only
    // through GET PERFORMANCE; its removable medium feature says it can
    // load, which a slot does not make a tray that closes.
    m_Drive.Answer(GC,
                   Good(FeaturesBytes(
                       0, {0x43, 0x41, 0x40, 0x1B, 0x1A},
                       {Feature(0x0001, 2, {0, 0, 0, 8, 1, 0, 0, 0}), Feature(0x0003, 2, {0x19, 0, 0, 0}),
                        Feature(0x0108, 0, {'K', 'Z', '1', 'C', '8', 'B', '6', 'J', '2', '9', '1', '5'})})));
    m_Drive.Answer(MSENSE, Good(CapabilitiesBytes(0x09, 0, 4096, 0, 30)));
    m_Drive.Answer(PERF, Good(WriteSpeedsBytes({{17984, 8992}, {17984, 17984}})));
    RKDriveDetails stDrive = Drive();
    EXPECT_EQ(Text(stDrive.szSerial), "KZ1C8B6J2915");
    EXPECT_EQ(stDrive.dwInterface, RKINTERFACE_USB);
    EXPECT_EQ(stDrive.dwLoading, RKLOADING_CADDY_OR_SLOT);
    EXPECT_EQ(stDrive.dwCanEject, 1u);
    EXPECT_EQ(stDrive.dwCanClose, 0u);
    EXPECT_EQ(stDrive.dwCurrentProfile, 0u);
    EXPECT_EQ(stDrive.dwProfileCount, 5u);
    EXPECT_EQ(stDrive.dwMaxReadKbps, 17984u);
    EXPECT_EQ(stDrive.dwMaxWriteKbps, 17984u);
    EXPECT_EQ(stDrive.dwBufferKiB, 4096u);
    EXPECT_EQ(m_Drive.vecOperations, (RKScBytes{GC, MSENSE, PERF}));
    // All of the features in one answer, the whole list asked for.
    EXPECT_EQ(m_Drive.vecCommands[0], (RKScBytes{GC, RKSC_RT_ALL, 0, 0, 0, 0, 0, 0x10, 0, 0}));

    // The slot loader is never asked to close a tray; the page said what it is.
    CRKScTraceCapture capture;
    EXPECT_EQ(m_pWriter->CloseTray(), 0);
    EXPECT_TRUE(m_Drive.vecTrayCalls.empty());
    EXPECT_EQ(capture.Of('E'),
              (RKScLines{"/dev/sr0: the drive cannot close its tray: it loads discs by a slot or "
                         "caddy, pushed in by hand"}));
}

TEST_F(RKScWriterDetailsTest, DriveWithoutGetConfigurationFallsBackOnItsPageAndDiscInformation)
{
    // An MMC-1 drive: GET CONFIGURATION is an illegal request; its page is
    // the 20-byte one, with a tray, 8x read and 4x write.
    m_Drive.Answer(GC, Check(0x5, 0x20, 0x00));
    m_Drive.Answer(MSENSE, Good(CapabilitiesBytes(0x29, 1412, 256, 706)));
    CRKScTraceCapture capture;
    RKDriveDetails stDrive = Drive();
    EXPECT_EQ(stDrive.dwInterface, RKDETAILS_UNKNOWN);
    EXPECT_EQ(stDrive.dwProfileCount, RKDETAILS_UNKNOWN);
    EXPECT_EQ(stDrive.dwLoading, RKLOADING_TRAY);
    EXPECT_EQ(stDrive.dwCanClose, 1u);
    EXPECT_EQ(stDrive.dwMaxWriteKbps, 706u);
    EXPECT_EQ(Text(stDrive.szRevision), "2.5+");

    m_Drive.Answer(RDI, Good(DiscLayoutBytes(2, 3, false, 1, 1, 1, 1)));
    m_Drive.Answer(TOC, Good(TocBytes({{1, true, 0}}, 333000)));
    m_Drive.Answer(CAP, Good(CapacityBytes(332999, 2048)));
    m_Drive.Answer(READ10, Good(VolumeBytes("OLD")));
    RKDiscDetails stDisc = Disc();
    EXPECT_EQ(Summary(stDisc),
              "? 3 erasable 0, sessions 1 last 3, tracks 1-1 audio 0 data 1, 333000 x 2048, free 0, "
              "label 'OLD'");
    EXPECT_EQ(stDisc.dwMediaType, RKDETAILS_UNKNOWN);
    // The drive's "not supported" is information, never an error.
    EXPECT_TRUE(capture.Of('E').empty());
    EXPECT_EQ(capture.Of('I')[0], "/dev/sr0: GET CONFIGURATION: check condition, sense 5/20/00");
}

TEST_F(RKScWriterDetailsTest, TrayStateFromStatusCommandsOnly)
{
    struct
    {
        const char* szCase;
        std::vector<std::pair<std::uint8_t, RKScFakeAnswer>> vecAnswers;
        DWORD adwState[5]; // open, present, ready, locked, events
        RKScBytes vecOperations;
    } aCases[] = {
        // clang-format off
        {"a disc just in, spinning up", {{GESN, Good(MediaEventBytes(2, true, false))}, {TUR, Check(0x2, 0x04, 0x01)},
          {MSENSE, Good(CapabilitiesBytes(0x2D, 0, 0, 0))}},
         {0, 1, 0, 0, RKTRAY_EVENT_NEW_MEDIA}, {GESN, TUR, MSENSE}},
        {"open and locked", {{GESN, Good(MediaEventBytes(0, false, true))}, {MSENSE, Good(CapabilitiesBytes(0x2F, 0, 0, 0))}},
         {1, 0, 0, 1, 0}, {GESN, MSENSE}},
        {"button pressed while locked", {{GESN, Good(MediaEventBytes(1, true, false))}, {TUR, Good({})},
          {MSENSE, Good(CapabilitiesBytes(0x2F, 0, 0, 0))}},
         {0, 1, 1, 1, RKTRAY_EVENT_EJECT_REQUEST}, {GESN, TUR, MSENSE}},
        // No events: the mechanism and the sense data tell.
        {"no media events", {{GESN, Check(0x5, 0x24, 0x00)}, {MECH, Good({0, 0x10, 0, 0, 0, 0, 0, 0})},
          {TUR, Check(0x2, 0x3A, 0x02)}, {MSENSE, Check(0x5, 0x24, 0x00)}},
         {1, 0, 0, RKDETAILS_UNKNOWN, 0}, {GESN, MECH, TUR, MSENSE}},
        // clang-format on
    };
    for (const auto& stCase : aCases)
    {
        SCOPED_TRACE(stCase.szCase);
        Reset();
        for (const auto& prAnswer : stCase.vecAnswers)
            m_Drive.Answer(prAnswer.first, prAnswer.second);
        CRKScTraceCapture capture;
        RKTrayState stState = Tray();
        EXPECT_EQ((std::vector<DWORD>{stState.dwOpen, stState.dwMediaPresent, stState.dwReady,
                                      stState.dwLocked, stState.dwEvents}),
                  std::vector<DWORD>(stCase.adwState, stCase.adwState + 5));
        EXPECT_EQ(m_Drive.vecOperations, stCase.vecOperations);
        EXPECT_TRUE(capture.vecLines.empty());
    }
    Reset();
    CRKScTraceCapture capture;
    Tray(0);
    EXPECT_EQ(capture.Of('E'), (RKScLines{"/dev/sr0: no status command told the tray's state"}));
}

TEST_F(RKScWriterDetailsTest, TrayStateCountsTheDrivesEventsThatTheSystemTook)
{
    const unsigned EJECT = RKSC_DRIVE_EVENT_EJECT_REQUEST;
    const unsigned CHANGE = RKSC_DRIVE_EVENT_MEDIA_CHANGE;
    struct
    {
        const char* szCase;
        unsigned uSystem;
        RKScFakeAnswer stEvent;
        RKScFakeAnswer stReady;
        DWORD dwEvents;
    } aCases[] = {
        {"button", EJECT, Good(MediaEventBytes(0, true, false)), Good({}), RKTRAY_EVENT_EJECT_REQUEST},
        // A media change the system saw at some program's open is no
        // event here: the state answered tells it, and as an event it would
        // read as a disc changed between two queries.
        {"change", CHANGE, Good(MediaEventBytes(0, true, false)), Good({}), 0},
        {"change and button", CHANGE | EJECT, Good(MediaEventBytes(0, false, false)), Good({}),
         RKTRAY_EVENT_EJECT_REQUEST},
        // Beside the drive's own.
        {"both", EJECT, Good(MediaEventBytes(2, true, false)), Good({}),
         RKTRAY_EVENT_EJECT_REQUEST | RKTRAY_EVENT_NEW_MEDIA},
    };
    for (const auto& stCase : aCases)
    {
        SCOPED_TRACE(stCase.szCase);
        Reset();
        m_Drive.Answer(GESN, stCase.stEvent);
        m_Drive.Answer(MECH, Good({0, 0, 0, 0, 0, 0, 0, 0}));
        m_Drive.Answer(TUR, stCase.stReady);
        m_Drive.Answer(MSENSE, Good(CapabilitiesBytes(0x2F, 0, 0, 0)));
        m_pTransport->mapDriveEvents[m_Drive.stEntry.strDevice] = stCase.uSystem;
        m_pTransport->vecEventCalls.clear();
        EXPECT_EQ(Tray().dwEvents, stCase.dwEvents);
        // Heard from before the open, so that what the open itself makes
        // the system report counts in this answer.
        EXPECT_EQ(m_pTransport->vecEventCalls, (std::vector<std::string>{"listen", "open", "take"}));
        // Handed over once: the next answer has the drive's own alone.
        EXPECT_EQ(Tray().dwEvents, stCase.dwEvents & RKTRAY_EVENT_NEW_MEDIA);
    }
}

TEST_F(RKScWriterDetailsTest, CloseAndLockTellWhatTheSystemDid)
{
    struct
    {
        const char* szCase;
        int nAction; // 0 close, 1 lock, 2 unlock
        RKScTrayResult eResult;
        int nExpected;
        std::string strLine;
    } aCases[] = {
        {"close", 0, RKSC_TRAY_DONE, 1, "I /dev/sr0: tray closed"},
        {"close refused", 0, RKSC_TRAY_REFUSED, 0, "E /dev/sr0: the drive refused to close its tray"},
        {"close failed", 0, RKSC_TRAY_FAILED, 0,
         "E /dev/sr0: cannot close the tray: CDROM_LOCKDOOR: Input/output error"},
        {"lock", 1, RKSC_TRAY_DONE, 1, "I /dev/sr0: door locked"},
        {"lock unsupported", 1, RKSC_TRAY_UNSUPPORTED, 0, "E /dev/sr0: the drive has no door lock"},
        {"unlock in use", 2, RKSC_TRAY_BUSY, 0,
         "E /dev/sr0: cannot unlock the door: the drive is in use (another program holds it open)"},
    };
    m_Drive.Answer(MSENSE, Good(CapabilitiesBytes(0x2D, 0, 0, 0)));
    for (const auto& stCase : aCases)
    {
        SCOPED_TRACE(stCase.szCase);
        m_Drive.eClose = m_Drive.eLock = stCase.eResult;
        m_Drive.vecTrayCalls.clear();
        CRKScTraceCapture capture;
        int nResult = stCase.nAction == 0 ? m_pWriter->CloseTray() : m_pWriter->LockTray(stCase.nAction == 1);
        EXPECT_EQ(nResult, stCase.nExpected);
        EXPECT_EQ(capture.vecLines.back(), stCase.strLine);
        EXPECT_EQ(m_Drive.vecTrayCalls.size(), 1u);
        // The system keeps the lock: nothing stays open.
        EXPECT_EQ(m_Drive.nOpenNow, 0);
    }
}

TEST_F(RKScWriterDetailsTest, WhereTheLockGoesWithTheHandleTheWriterHoldsItUntilItUnlocksOrGoes)
{
    m_pTransport->bLockNeedsDevice = true;
    int nOpens = m_Drive.nOpens;
    EXPECT_EQ(m_pWriter->LockTray(1), 1);
    EXPECT_EQ(m_Drive.nOpenNow, 1);
    // Locked already: no second lock for the system to count.
    EXPECT_EQ(m_pWriter->LockTray(1), 1);
    std::string strHolder = std::to_string(nOpens + 1);
    EXPECT_EQ(m_Drive.vecTrayCalls, (std::vector<std::string>{"lock@" + strHolder}));
    EXPECT_EQ(m_pWriter->LockTray(0), 1);
    EXPECT_EQ(m_Drive.vecTrayCalls.back(), "unlock@" + strHolder);
    EXPECT_EQ(m_Drive.nOpenNow, 0);

    // A refused unlock leaves the holder as it was; the writer's end undoes
    // the lock through it and closes it once.
    EXPECT_EQ(m_pWriter->LockTray(1), 1);
    m_Drive.eLock = RKSC_TRAY_BUSY;
    EXPECT_EQ(m_pWriter->LockTray(0), 0);
    EXPECT_EQ(m_Drive.nOpenNow, 1);
    m_pWriter.reset();
    strHolder = std::to_string(nOpens + 2);
    EXPECT_EQ(m_Drive.vecTrayCalls,
              (std::vector<std::string>{"lock@" + std::to_string(nOpens + 1),
                                        "unlock@" + std::to_string(nOpens + 1), "lock@" + strHolder,
                                        "unlock@" + strHolder, "unlock@" + strHolder}));
    EXPECT_EQ(m_Drive.nOpens, nOpens + 2);
}
