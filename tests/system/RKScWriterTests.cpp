// The system engine's writer against drives of canned answers: media
// information, presence, the tray guard, and answers it must not trust.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "RKSystemEngine.h"
#include "RKScFakeTransport.h"
#include "RKScMmc.h"
#include "RKScTestTrace.h"
#include "RKScWriter.h"

namespace
{
const std::uint8_t GC = RKSC_OP_GET_CONFIGURATION;
const std::uint8_t RDI = RKSC_OP_READ_DISC_INFORMATION;
const std::uint8_t TUR = RKSC_OP_TEST_UNIT_READY;
const std::uint8_t GESN = RKSC_OP_GET_EVENT_STATUS;

class RKScWriterTest : public ::testing::Test
{
protected:
    RKScWriterTest()
        : m_pTransport(std::make_shared<CRKScFakeTransport>()),
          m_Drive(m_pTransport->AddDrive("/dev/sr0", "QEMU QEMU CD-ROM", 'E'))
    {
    }

    CRKScWriter& Writer()
    {
        if (!m_pWriter)
            m_pWriter.reset(new CRKScWriter(m_pTransport, m_Drive.stEntry, 'E'));
        return *m_pWriter;
    }

    void TearDown() override { EXPECT_EQ(0, m_Drive.nOpenNow) << "a device was left open"; }

    std::shared_ptr<CRKScFakeTransport> m_pTransport;
    RKScFakeDrive& m_Drive;
    std::unique_ptr<CRKScWriter> m_pWriter;
};
} // namespace

TEST_F(RKScWriterTest, MediaOfADiscFromTwoCommandsOnOneOpen)
{
    m_Drive.Answer(GC, Good(ConfigurationBytes(0x10, {0x10, 0x08})));
    m_Drive.Answer(RDI, Good(DiscInfoBytes(0x0E)));
    CRKScTraceCapture capture;
    RKMediaInfo stInfo = Writer().GetMediaInfo();
    EXPECT_EQ(RKMEDIA_DVD, stInfo.dwMediaType);
    EXPECT_EQ(RKSC_DISC_COMPLETE, stInfo.dwDiscType);
    EXPECT_EQ(1, m_Drive.nOpens);
    EXPECT_EQ((std::vector<RKScBytes>{{GC, 0x02, 0, 0, 0, 0, 0, 0, 8, 0}, {RDI, 0, 0, 0, 0, 0, 0, 0, 34, 0}}),
              m_Drive.vecCommands);
    EXPECT_EQ((std::vector<RKScTraceLine>{Info("/dev/sr0: current profile 0x10, media 0x4, disc state 3")}),
              capture.vecLines);

    // A profile without a library code keeps its number.
    m_Drive.mapAnswers.clear();
    m_Drive.Answer(GC, Good(ConfigurationBytes(0x50, {0x50})));
    m_Drive.Answer(RDI, Good(DiscInfoBytes(0x00)));
    stInfo = Writer().GetMediaInfo();
    EXPECT_EQ(RKSC_MEDIA_FROM_PROFILE(0x50), stInfo.dwMediaType);
    EXPECT_EQ(RKSC_DISC_BLANK, stInfo.dwDiscType);
}

TEST_F(RKScWriterTest, NoMediumWhicheverWayTheDriveSaysIt)
{
    struct
    {
        RKScFakeAnswer stConfig;
        RKScFakeAnswer stDisc;
        std::vector<std::uint8_t> vecOperations;
    } aCases[] = {
        {Good(ConfigurationBytes(0, {0x10, 0x08})), Good(DiscInfoBytes(2)), {GC}},
        {Check(0x2, 0x3A, 0x00), Good(DiscInfoBytes(2)), {GC}},
        // Taken out between the two commands.
        {Good(ConfigurationBytes(0x08, {0x08})), Check(0x2, 0x3A, 0x02), {GC, RDI}},
    };
    for (const auto& stCase : aCases)
    {
        m_Drive.mapAnswers.clear();
        m_Drive.vecCommands.clear();
        m_Drive.Answer(GC, stCase.stConfig);
        m_Drive.Answer(RDI, stCase.stDisc);
        CRKScTraceCapture capture;
        RKMediaInfo stInfo = Writer().GetMediaInfo();
        EXPECT_EQ(RKSC_MEDIA_NONE, stInfo.dwMediaType);
        EXPECT_EQ(RKSC_DISC_NONE, stInfo.dwDiscType);
        EXPECT_EQ(stCase.vecOperations, m_Drive.Operations());
        EXPECT_EQ((std::vector<std::string>{"/dev/sr0: current profile 0x0, media 0x0, disc state 0"}),
                  capture.Of(RKLOG_INFO));
        EXPECT_TRUE(capture.Of(RKLOG_ERROR).empty());
    }
}

TEST_F(RKScWriterTest, BadAnswersGiveATraceLineAndASoundResult)
{
    struct
    {
        std::vector<RKScFakeAnswer> vecConfig;
        RKScFakeAnswer stDisc;
        DWORD dwMedia;
        DWORD dwDisc;
        std::vector<std::uint8_t> vecOperations;
        std::vector<std::string> vecErrors;
    } aCases[] = {
        {{Check(0x5, 0x24, 0x00)},
         Good(DiscInfoBytes(2)),
         0,
         RKSC_DISC_COMPLETE,
         {GC, RDI},
         {"/dev/sr0: GET CONFIGURATION: check condition, sense 5/24/00"}},
        {{Good(RKScBytes{0, 0, 0, 4})},
         Good(DiscInfoBytes(1)),
         0,
         RKSC_DISC_APPENDABLE,
         {GC, RDI},
         {"/dev/sr0: GET CONFIGURATION: answer of 4 bytes is shorter than the 8-byte header"}},
        {{Good(ConfigurationBytes(0x1B, {0x1B}))},
         {RKSC_COMMAND_CHECK_CONDITION, RKScBytes(), RKScBytes(), std::string()},
         RKMEDIA_DVD_PLUS_R,
         RKSC_DISC_OTHER,
         {GC, RDI},
         {"/dev/sr0: READ DISC INFORMATION: check condition, no sense data"}},
        {{Good(ConfigurationBytes(0x43, {0x43}))},
         Failed("host status 0x03 (timed out)"),
         RKMEDIA_BD_RE,
         RKSC_DISC_OTHER,
         {GC, RDI},
         {"/dev/sr0: READ DISC INFORMATION: host status 0x03 (timed out)"}},
        {{Good(ConfigurationBytes(0x43, {0x43}))},
         Good(RKScBytes{0, 32}),
         RKMEDIA_BD_RE,
         RKSC_DISC_OTHER,
         {GC, RDI},
         {"/dev/sr0: READ DISC INFORMATION: answer of 2 bytes is shorter than the 3 bytes up to the disc "
          "status"}},
        // A unit attention is an event, not an answer: asked again.
        {{Check(0x6, 0x28, 0x00), Good(ConfigurationBytes(0x0A, {0x0A}))},
         Good(DiscInfoBytes(1)),
         RKMEDIA_CD_RW,
         RKSC_DISC_APPENDABLE,
         {GC, GC, RDI},
         {}},
        // ... but not for ever.
        {{Check(0x6, 0x29, 0x00)},
         Good(DiscInfoBytes(2)),
         0,
         RKSC_DISC_COMPLETE,
         {GC, GC, GC, RDI},
         {"/dev/sr0: GET CONFIGURATION: check condition, sense 6/29/00"}},
    };
    for (const auto& stCase : aCases)
    {
        m_Drive.mapAnswers.clear();
        m_Drive.vecCommands.clear();
        for (const RKScFakeAnswer& stAnswer : stCase.vecConfig)
            m_Drive.Answer(GC, stAnswer);
        m_Drive.Answer(RDI, stCase.stDisc);
        CRKScTraceCapture capture;
        RKMediaInfo stInfo = Writer().GetMediaInfo();
        EXPECT_EQ(stCase.dwMedia, stInfo.dwMediaType);
        EXPECT_EQ(stCase.dwDisc, stInfo.dwDiscType);
        EXPECT_EQ(stCase.vecOperations, m_Drive.Operations());
        EXPECT_EQ(stCase.vecErrors, capture.Of(RKLOG_ERROR));
    }
}

TEST_F(RKScWriterTest, PresenceIsTheDrivesOwnReadyState)
{
    const RKScDriveStatus aeStates[] = {RKSC_STATUS_UNKNOWN, RKSC_STATUS_NO_DISC, RKSC_STATUS_TRAY_OPEN,
                                        RKSC_STATUS_BECOMING_READY, RKSC_STATUS_DISC_OK};
    CRKScTraceCapture capture;
    for (RKScDriveStatus eStatus : aeStates)
    {
        m_Drive.eStatus = eStatus;
        EXPECT_EQ(eStatus == RKSC_STATUS_DISC_OK ? 1 : 0, Writer().IsMediaIn());
    }
    EXPECT_EQ(5, m_Drive.nOpens);
    m_Drive.strOpenProblem = "no read access";
    EXPECT_EQ(0, Writer().IsMediaIn());
    // Polled in every wait: never a line, not even for a drive it cannot open.
    EXPECT_TRUE(capture.vecLines.empty());
    EXPECT_TRUE(m_Drive.vecCommands.empty());

    // A transport without presence leaves it to the library's own test of
    // the letter; this writer's letter names no device anywhere.
    m_Drive.strOpenProblem.clear();
    m_pTransport->bPresence = false;
    CRKScWriter stNoLetter(m_pTransport, m_Drive.stEntry, '1');
    EXPECT_EQ(0, stNoLetter.IsMediaIn());
    EXPECT_EQ(6, m_Drive.nOpens);
}

TEST_F(RKScWriterTest, TrayStaysClosedWhileADiscSpinsUp)
{
    struct
    {
        RKScDriveStatus eStatus;
        std::vector<RKScFakeAnswer> vecReady;
        RKScBytes vecEvent;
        int nResult;
        int nEjects;
        std::vector<std::uint8_t> vecOperations;
    } aCases[] = {
        {RKSC_STATUS_BECOMING_READY, {}, {}, 0, 0, {}},
        {RKSC_STATUS_DISC_OK, {}, {}, 1, 1, {}},
        {RKSC_STATUS_NO_DISC, {}, {}, 1, 1, {}},
        {RKSC_STATUS_TRAY_OPEN, {}, {}, 1, 1, {}},
        // A system that keeps no state: the drive's own sense decides.
        {RKSC_STATUS_UNKNOWN, {Check(0x2, 0x04, 0x01)}, {}, 0, 0, {TUR}},
        {RKSC_STATUS_UNKNOWN, {Good(RKScBytes())}, {}, 1, 1, {TUR}},
        {RKSC_STATUS_UNKNOWN, {Check(0x2, 0x3A, 0x00)}, {0, 6, 0x04, 0x10, 0, 0, 0, 0}, 1, 1, {TUR, GESN}},
    };
    for (const auto& stCase : aCases)
    {
        m_Drive.mapAnswers.clear();
        m_Drive.vecCommands.clear();
        m_Drive.nEjects = 0;
        m_Drive.eStatus = stCase.eStatus;
        for (const RKScFakeAnswer& stAnswer : stCase.vecReady)
            m_Drive.Answer(TUR, stAnswer);
        m_Drive.Answer(GESN, Good(stCase.vecEvent));
        CRKScTraceCapture capture;
        EXPECT_EQ(stCase.nResult, Writer().EjectTray());
        EXPECT_EQ(stCase.nEjects, m_Drive.nEjects);
        EXPECT_EQ(stCase.vecOperations, m_Drive.Operations());
        EXPECT_EQ(
            (std::vector<RKScTraceLine>{
                Info(stCase.nEjects ? "/dev/sr0: tray opened"
                                    : "/dev/sr0: the drive is becoming ready (a disc was just inserted): the "
                                      "tray stays closed")}),
            capture.vecLines);
    }
}

TEST_F(RKScWriterTest, TrayThatDoesNotOpenIsAnErrorLine)
{
    struct
    {
        RKScEjectStatus eEject;
        std::string strProblem;
        std::string strError;
    } aCases[] = {
        {RKSC_EJECT_BUSY, "",
         "/dev/sr0: the tray stays closed: the drive is in use (mounted or opened by another program) or its "
         "tray "
         "is locked"},
        {RKSC_EJECT_NO_TRAY, "", "/dev/sr0: the drive has no tray it can open"},
        {RKSC_EJECT_FAILED, "CDROMEJECT: Input/output error",
         "/dev/sr0: cannot open the tray: CDROMEJECT: Input/output error"},
        {RKSC_EJECT_FAILED, "", "/dev/sr0: cannot open the tray: the system gave no reason"},
    };
    for (const auto& stCase : aCases)
    {
        m_Drive.eEject = stCase.eEject;
        m_Drive.strEjectProblem = stCase.strProblem;
        CRKScTraceCapture capture;
        EXPECT_EQ(0, Writer().EjectTray());
        EXPECT_EQ((std::vector<RKScTraceLine>{Error(stCase.strError)}), capture.vecLines);
    }
}

TEST_F(RKScWriterTest, DriveThatCannotBeOpenedSaysSoOnceAsAnError)
{
    m_Drive.strOpenProblem =
        "no read access (Permission denied): add the user to group cdrom and log in again";
    std::string strLine = "/dev/sr0: cannot open: " + m_Drive.strOpenProblem;
    CRKScTraceCapture capture;
    RKMediaInfo stInfo = Writer().GetMediaInfo();
    EXPECT_EQ(RKSC_MEDIA_NONE, stInfo.dwMediaType);
    EXPECT_EQ(RKSC_DISC_NONE, stInfo.dwDiscType);
    EXPECT_EQ(0, Writer().EjectTray());
    EXPECT_EQ((std::vector<RKScTraceLine>{Error(strLine), Info(strLine)}), capture.vecLines);
    EXPECT_FALSE(Writer().HasAccess());
}

TEST_F(RKScWriterTest, OutOfMemoryNeverLeavesTheEngine)
{
    m_pTransport->bThrow = true;
    CRKScTraceCapture capture;
    EXPECT_EQ(0, Writer().IsMediaIn());
    RKMediaInfo stInfo = Writer().GetMediaInfo();
    EXPECT_EQ(RKSC_MEDIA_NONE, stInfo.dwMediaType);
    EXPECT_EQ(RKSC_DISC_NONE, stInfo.dwDiscType);
    EXPECT_EQ(0, Writer().EjectTray());
    EXPECT_EQ((std::vector<RKScTraceLine>{Error("CRKScWriter::IsMediaIn: out of memory"),
                                          Error("CRKScWriter::GetMediaInfo: out of memory"),
                                          Error("CRKScWriter::EjectTray: out of memory")}),
              capture.vecLines);
}
