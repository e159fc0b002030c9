// The system engine's writer against a drive of canned answers: media,
// presence, the tray guard, and answers it must not trust.
#include <gtest/gtest.h>

#include "RKSystemEngine.h"
#include "RKScFakeTransport.h"
#include "RKScTestTrace.h"
#include "RKScTrace.h"
#include "RKScWriter.h"

namespace
{
class RKScWriterTest : public ::testing::Test
{
protected:
    RKScWriterTest()
        : m_pTransport(std::make_shared<CRKScFakeTransport>()),
          m_Drive(m_pTransport->AddDrive("/dev/sr0", ""))
    {
        m_pWriter.reset(new CRKScWriter(m_pTransport, m_Drive.stEntry, 'E'));
    }
    // Nothing stays open between two operations.
    void TearDown() override { EXPECT_EQ(0, m_Drive.nOpenNow); }

    void Reset()
    {
        m_Drive.mapAnswers.clear();
        m_Drive.vecCommands.clear();
        m_Drive.vecOperations.clear();
        m_Drive.nEjects = 0;
    }

    std::shared_ptr<CRKScFakeTransport> m_pTransport;
    RKScFakeDrive& m_Drive;
    std::unique_ptr<CRKScWriter> m_pWriter;
};
} // namespace

TEST_F(RKScWriterTest, MediaFromTheCurrentProfileAndTheDiscInformation)
{
    struct
    {
        std::vector<RKScFakeAnswer> vecConfig;
        RKScFakeAnswer stDisc;
        DWORD dwMedia;
        DWORD dwDisc;
        RKScBytes vecOperations;
        RKScLines vecErrors;
    } aCases[] = {
        // clang-format off
        {{Good(ConfigurationBytes(0x10, {0x10, 0x08}))}, Good(DiscInfoBytes(0x0E)), RKMEDIA_DVD, RKSC_DISC_COMPLETE,
         {GC, RDI}, {}},
        // No medium, said three ways; the last one between the two commands.
        {{Good(ConfigurationBytes(0, {0x10}))}, Good(DiscInfoBytes(2)), 0, RKSC_DISC_NONE, {GC}, {}},
        {{Check(0x2, 0x3A, 0x00)}, Good(DiscInfoBytes(2)), 0, RKSC_DISC_NONE, {GC}, {}},
        {{Good(ConfigurationBytes(0x08, {0x08}))}, Check(0x2, 0x3A, 0x02), 0, RKSC_DISC_NONE, {GC, RDI}, {}},
        // Answers that cannot be used.
        {{Check(0x5, 0x24, 0x00)}, Good(DiscInfoBytes(2)), 0, RKSC_DISC_COMPLETE, {GC, RDI},
         {"/dev/sr0: GET CONFIGURATION: check condition, sense 5/24/00"}},
        {{Good({0, 0, 0, 4})}, Failed("host status 0x03 (timed out)"), 0, RKSC_DISC_OTHER, {GC, RDI},
         {"/dev/sr0: GET CONFIGURATION: answer of 4 bytes is shorter than the 8-byte header",
          "/dev/sr0: READ DISC INFORMATION: host status 0x03 (timed out)"}},
        {{Good(ConfigurationBytes(0x1B, {}))}, {RKSC_COMMAND_CHECK_CONDITION, {}, {}, ""}, RKMEDIA_DVD_PLUS_R,
         RKSC_DISC_OTHER, {GC, RDI}, {"/dev/sr0: READ DISC INFORMATION: check condition, no sense data"}},
        {{Good(ConfigurationBytes(0x43, {}))}, Good(DiscInfoBytes(0x40)), RKMEDIA_BD_RE, RKSC_DISC_OTHER, {GC, RDI},
         {"/dev/sr0: READ DISC INFORMATION: disc information of data type 2, not the standard one"}},
        // A unit attention reports an event: the command goes again, twice at most.
        {{Check(0x6, 0x28, 0x00), Good(ConfigurationBytes(0x0A, {}))}, Good(DiscInfoBytes(1)), RKMEDIA_CD_RW,
         RKSC_DISC_APPENDABLE, {GC, GC, RDI}, {}},
        {{Check(0x6, 0x29, 0x00)}, Good(DiscInfoBytes(2)), 0, RKSC_DISC_COMPLETE, {GC, GC, GC, RDI},
         {"/dev/sr0: GET CONFIGURATION: check condition, sense 6/29/00"}},
        // clang-format on
    };
    for (const auto& stCase : aCases)
    {
        Reset();
        for (const RKScFakeAnswer& stAnswer : stCase.vecConfig)
            m_Drive.Answer(GC, stAnswer);
        m_Drive.Answer(RDI, stCase.stDisc);
        CRKScTraceCapture capture;
        RKMediaInfo stInfo = m_pWriter->GetMediaInfo();
        EXPECT_EQ(stCase.dwMedia, stInfo.dwMediaType);
        EXPECT_EQ(stCase.dwDisc, stInfo.dwDiscType);
        EXPECT_EQ(stCase.vecOperations, m_Drive.vecOperations);
        EXPECT_EQ(stCase.vecErrors, capture.Of('E'));
    }
    // One open per call; the first case's commands and trace line in full.
    EXPECT_EQ(10, m_Drive.nOpens);
    Reset();
    m_Drive.Answer(GC, aCases[0].vecConfig[0]);
    m_Drive.Answer(RDI, aCases[0].stDisc);
    CRKScTraceCapture capture;
    m_pWriter->GetMediaInfo();
    EXPECT_EQ((std::vector<RKScBytes>{{GC, 2, 0, 0, 0, 0, 0, 0, 8, 0}, {RDI, 0, 0, 0, 0, 0, 0, 0, 34, 0}}),
              m_Drive.vecCommands);
    EXPECT_EQ((RKScLines{"I /dev/sr0: current profile 0x10, media 0x4, disc state 3"}), capture.vecLines);
}

TEST_F(RKScWriterTest, PresenceIsTheDrivesOwnReadyStateAndQuiet)
{
    CRKScTraceCapture capture;
    for (RKScDriveStatus eStatus : {RKSC_STATUS_UNKNOWN, RKSC_STATUS_NO_DISC, RKSC_STATUS_TRAY_OPEN,
                                    RKSC_STATUS_BECOMING_READY, RKSC_STATUS_DISC_OK})
    {
        m_Drive.eStatus = eStatus;
        EXPECT_EQ(eStatus == RKSC_STATUS_DISC_OK ? 1 : 0, m_pWriter->IsMediaIn());
    }
    m_Drive.strOpenProblem = "no read access";
    EXPECT_EQ(0, m_pWriter->IsMediaIn());
    // Without presence from the transport, the library's own test of the
    // letter answers; this one names no device anywhere.
    m_pTransport->bPresence = false;
    EXPECT_EQ(0, CRKScWriter(m_pTransport, m_Drive.stEntry, '1').IsMediaIn());
    EXPECT_EQ(6, m_Drive.nOpens);
    EXPECT_TRUE(capture.vecLines.empty() && m_Drive.vecCommands.empty());
}

TEST_F(RKScWriterTest, TrayStaysClosedWhileADiscSpinsUp)
{
    const std::string strOpened = "I /dev/sr0: tray opened";
    const std::string strSpinning =
        "I /dev/sr0: the drive is becoming ready (a disc was just inserted): the tray stays closed";
    struct
    {
        RKScDriveStatus eStatus;
        RKScFakeAnswer stReady;
        RKScEjectStatus eEject;
        int nResult;
        RKScBytes vecOperations;
        std::string strLine;
    } aCases[] = {
        // clang-format off
        {RKSC_STATUS_BECOMING_READY, {}, RKSC_EJECT_DONE, 0, {}, strSpinning},
        {RKSC_STATUS_DISC_OK, {}, RKSC_EJECT_DONE, 1, {}, strOpened},
        {RKSC_STATUS_NO_DISC, {}, RKSC_EJECT_DONE, 1, {}, strOpened},
        // A system that keeps no state: the drive's own sense decides.
        {RKSC_STATUS_UNKNOWN, Check(0x2, 0x04, 0x01), RKSC_EJECT_DONE, 0, {TUR}, strSpinning},
        {RKSC_STATUS_UNKNOWN, Good({}), RKSC_EJECT_DONE, 1, {TUR}, strOpened},
        {RKSC_STATUS_UNKNOWN, Check(0x2, 0x3A, 0x00), RKSC_EJECT_DONE, 1, {TUR, GESN}, strOpened},
        {RKSC_STATUS_DISC_OK, {}, RKSC_EJECT_BUSY, 0, {}, "E /dev/sr0: the tray stays closed: the drive is in use "
                                                          "(mounted or opened by another program) or its tray is locked"},
        {RKSC_STATUS_NO_DISC, {}, RKSC_EJECT_NO_TRAY, 0, {}, "E /dev/sr0: the drive has no tray it can open"},
        {RKSC_STATUS_DISC_OK, {}, RKSC_EJECT_FAILED, 0, {},
         "E /dev/sr0: cannot open the tray: CDROMEJECT: Input/output error"},
        // clang-format on
    };
    for (const auto& stCase : aCases)
    {
        Reset();
        m_Drive.eStatus = stCase.eStatus;
        m_Drive.eEject = stCase.eEject;
        m_Drive.Answer(TUR, stCase.stReady);
        m_Drive.Answer(GESN, Good({0, 6, 0x04, 0x10, 0, 0, 0, 0}));
        CRKScTraceCapture capture;
        EXPECT_EQ(stCase.nResult, m_pWriter->EjectTray());
        EXPECT_EQ(stCase.strLine == strSpinning ? 0 : 1, m_Drive.nEjects);
        EXPECT_EQ(stCase.vecOperations, m_Drive.vecOperations);
        EXPECT_EQ(RKScLines{stCase.strLine}, capture.vecLines);
    }
}

TEST_F(RKScWriterTest, DriveThatCannotBeOpenedAndOutOfMemory)
{
    m_Drive.strOpenProblem =
        "no read access (Permission denied): add the user to group cdrom and log in again";
    {
        CRKScTraceCapture capture;
        EXPECT_EQ(RKSC_DISC_NONE, m_pWriter->GetMediaInfo().dwDiscType);
        EXPECT_EQ(0, m_pWriter->EjectTray());
        // An error the first time, information when it repeats.
        std::string strLine = "/dev/sr0: cannot open: " + m_Drive.strOpenProblem;
        EXPECT_EQ((RKScLines{"E " + strLine, "I " + strLine}), capture.vecLines);
        EXPECT_FALSE(m_pWriter->HasAccess());
    }
    m_pTransport->bThrow = true;
    CRKScTraceCapture capture;
    EXPECT_EQ(0, m_pWriter->IsMediaIn());
    RKMediaInfo stInfo = m_pWriter->GetMediaInfo();
    EXPECT_EQ(RKSC_MEDIA_NONE, stInfo.dwMediaType);
    EXPECT_EQ(RKSC_DISC_NONE, stInfo.dwDiscType);
    EXPECT_EQ(0, m_pWriter->EjectTray());
    EXPECT_EQ(
        (RKScLines{"E CRKScWriter::IsMediaIn: out of memory", "E CRKScWriter::GetMediaInfo: out of memory",
                   "E CRKScWriter::EjectTray: out of memory"}),
        capture.vecLines);
}

TEST(RKScTrace, LinesAreUtf8AsTheSystemsTextsAre)
{
    // A system's text in Russian, and a path with a byte that is no UTF-8.
    CRKScTraceCapture capture;
    RKScTraceError("/dev/sr0: \xD0\x9E\xD1\x82\xD0\xBA\xD0\xB0\xD0\xB7\xD0\xB0\xD0\xBD\xD0\xBE");
    RKScTraceInfo("/home/caf\xe9/dosdevices");
    EXPECT_EQ((RKScLines{"E /dev/sr0: \xD0\x9E\xD1\x82\xD0\xBA\xD0\xB0\xD0\xB7\xD0\xB0\xD0\xBD\xD0\xBE",
                         "I /home/caf\xEF\xBF\xBD/dosdevices"}),
              capture.vecLines);
}
