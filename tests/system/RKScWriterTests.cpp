// The system engine's writer against a drive of canned answers: media,
// presence, the tray guard, and answers it must not trust.
#include <gtest/gtest.h>

#include <functional>

#include "RKSystemEngine.h"
#include "RKScDetailsAnswers.h"
#include "RKScDriveQuery.h"
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
        // Disc information that cannot be used.
        {{Good(ConfigurationBytes(0x1B, {}))}, {RKSC_COMMAND_CHECK_CONDITION, {}, {}, ""}, RKMEDIA_DVD_PLUS_R,
         RKSC_DISC_OTHER, {GC, RDI}, {"/dev/sr0: READ DISC INFORMATION: check condition, no sense data"}},
        {{Good(ConfigurationBytes(0x43, {}))}, Good(DiscInfoBytes(0x40)), RKMEDIA_BD_RE, RKSC_DISC_OTHER, {GC, RDI},
         {"/dev/sr0: READ DISC INFORMATION: disc information of data type 2, not the standard one"}},
        // A unit attention reports an event: the command goes again, twice at most.
        {{Check(0x6, 0x28, 0x00), Good(ConfigurationBytes(0x0A, {}))}, Good(DiscInfoBytes(1)), RKMEDIA_CD_RW,
         RKSC_DISC_APPENDABLE, {GC, GC, RDI}, {}},
        // The exact profile behind one library code.
        {{Good(ConfigurationBytes(0x13, {}))}, Good(DiscInfoBytes(0x11)), RKMEDIA_DVD_RW, RKSC_DISC_APPENDABLE,
         {GC, RDI}, {}},
        // clang-format on
    };
    m_Drive.eStatus = RKSC_STATUS_NO_DISC;
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
    EXPECT_EQ(0x13, m_pWriter->GetCurrentProfile());
    // One open per call; the first case's commands and trace line in full.
    EXPECT_EQ(8, m_Drive.nOpens);
    Reset();
    m_Drive.Answer(GC, aCases[0].vecConfig[0]);
    m_Drive.Answer(RDI, aCases[0].stDisc);
    CRKScTraceCapture capture;
    m_pWriter->GetMediaInfo();
    EXPECT_EQ((std::vector<RKScBytes>{{GC, 2, 0, 0, 0, 0, 0, 0, 8, 0}, {RDI, 0, 0, 0, 0, 0, 0, 0, 34, 0}}),
              m_Drive.vecCommands);
    EXPECT_EQ((RKScLines{"I /dev/sr0: current profile 0x10, media 0x4, disc state 3"}), capture.vecLines);
}

// A medium the current profile does not name is never "no medium": the
// drive is asked again while it brings the medium up, then its disc
// information and table of contents tell a CD, an older drive's DVD, or
// nothing more.
TEST_F(RKScWriterTest, MediumWithoutACurrentProfileIsToldOrUnknownNeverNone)
{
    const RKScFakeAnswer stNoProfile = Good(ConfigurationBytes(0, {0x10, 0x08}));
    const RKScFakeAnswer stRefused = Check(0x5, 0x20, 0x00);
    const RKScFakeAnswer stBusy = Check(0x2, 0x04, 0x01);
    struct
    {
        const char* szCase;
        std::vector<RKScFakeAnswer> vecConfig;
        RKScFakeAnswer stReady;
        std::vector<RKScFakeAnswer> vecToc;
        std::uint8_t bDisc; // byte 2 of the disc information
        DWORD dwMedia;
        DWORD dwDisc;
        int nPauses;
        RKScBytes vecLast; // the commands after the last pause
        std::string strError;
    } aCases[] = {
        // clang-format off
        {"profile 0 at first", {stNoProfile, stNoProfile, Good(ConfigurationBytes(0x10, {}))}, Good({}), {}, 0x0E,
         RKMEDIA_DVD, RKSC_DISC_COMPLETE, 2, {GC, RDI}, ""},
        {"profile 0 for good", {stNoProfile}, Good({}), {Good(FullTocBytes())}, 0x0E, RKMEDIA_CD, RKSC_DISC_COMPLETE,
         8, {GC, TUR, RDI, TOC}, ""},
        {"becoming ready, then ready", {stBusy, stBusy, Good(ConfigurationBytes(0x08, {}))}, Good({}), {}, 0x0E,
         RKMEDIA_CD, RKSC_DISC_COMPLETE, 2, {GC, RDI}, ""},
        {"becoming ready for good", {Check(0x2, 0x04, 0x07)}, Good({}), {}, 0x0E, RKSC_MEDIA_UNKNOWN,
         RKSC_DISC_OTHER, 8, {GC}, ""},
        {"older drive, rewritable CD", {stRefused}, Good({}), {Good(FullTocBytes())}, 0x11, RKMEDIA_CD_RW,
         RKSC_DISC_APPENDABLE, 0, {GC, TUR, RDI, TOC}, ""},
        {"older drive, blank CD-R", {Check(0x5, 0x24, 0x00)}, Good({}), {Good(FullTocBytes())}, 0x00, RKMEDIA_CD_R,
         RKSC_DISC_BLANK, 0, {GC, TUR, RDI, TOC}, ""},
        {"older drive, DVD", {stRefused}, Good({}), {Check(0x5, 0x24, 0x00), Good(TrackTocBytes())}, 0x0E, RKMEDIA_DVD,
         RKSC_DISC_COMPLETE, 0, {GC, TUR, RDI, TOC, TOC}, ""},
        // A plain table where the full one was asked for says nothing.
        {"older drive, format ignored", {stRefused}, Good({}), {Good(TrackTocBytes())}, 0x0E, RKSC_MEDIA_UNKNOWN,
         RKSC_DISC_COMPLETE, 0, {GC, TUR, RDI, TOC}, ""},
        // A newer drive without a full table: nothing tells a DVD from a BD.
        {"unit attention for good", {Check(0x6, 0x29, 0x00)}, Good({}), {Check(0x5, 0x24, 0x00)}, 0x0E,
         RKSC_MEDIA_UNKNOWN, RKSC_DISC_COMPLETE, 0, {GC, GC, GC, TUR, RDI, TOC},
         "/dev/sr0: GET CONFIGURATION: check condition, sense 6/29/00"},
        {"header cut short", {Good({0, 0, 0, 4})}, Good({}), {Good(FullTocBytes())}, 0x0E, RKMEDIA_CD,
         RKSC_DISC_COMPLETE, 0, {GC, TUR, RDI, TOC},
         "/dev/sr0: GET CONFIGURATION: answer of 4 bytes is shorter than the 8-byte header"},
        // Unanswered: nothing more is sent.
        {"timed out", {TimedOut()}, Good({}), {}, 0x0E, RKSC_MEDIA_NONE, RKSC_DISC_NONE, 0, {GC},
         "/dev/sr0: GET CONFIGURATION: host status 0x03 (timed out)"},
        // clang-format on
    };
    for (const auto& stCase : aCases)
    {
        Reset();
        m_Drive.vecPauses.clear();
        m_Drive.mapAnswers[GC] = {stCase.vecConfig.begin(), stCase.vecConfig.end()};
        m_Drive.Answer(TUR, stCase.stReady);
        m_Drive.Answer(RDI, Good(DiscInfoBytes(stCase.bDisc)));
        m_Drive.mapAnswers[TOC] = {stCase.vecToc.begin(), stCase.vecToc.end()};
        CRKScTraceCapture capture;
        RKMediaInfo stInfo = m_pWriter->GetMediaInfo();
        EXPECT_EQ(stCase.dwMedia, stInfo.dwMediaType) << stCase.szCase;
        EXPECT_EQ(stCase.dwDisc, stInfo.dwDiscType) << stCase.szCase;
        EXPECT_EQ(std::vector<DWORD>(stCase.nPauses, RKSC_SETTLE_PAUSE_MS), m_Drive.vecPauses)
            << stCase.szCase;
        RKScBytes& vecOperations = m_Drive.vecOperations;
        auto itLast = std::find(vecOperations.rbegin(), vecOperations.rend(), PAUSE).base();
        EXPECT_EQ(stCase.vecLast, RKScBytes(itLast, vecOperations.end())) << stCase.szCase;
        // Before each pause the drive said what kept it: no profile and a
        // ready unit, or "becoming ready".
        for (auto it = vecOperations.begin(); it != itLast; ++it)
            EXPECT_TRUE(*it == PAUSE || *it == GC || *it == TUR) << stCase.szCase;
        EXPECT_EQ(stCase.strError.empty() ? RKScLines() : RKScLines{stCase.strError}, capture.Of('E'))
            << stCase.szCase;
    }
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

// The guard: the tray stays closed while the drive reports a medium it is
// still bringing up, and opens for an empty drive, an open tray or a ready
// disc. Where the system keeps a view of its own, only its "ready" is asked
// again: the kernel also reports a disc that is still loading as ready.
TEST_F(RKScWriterTest, TrayStaysClosedWhileADiscSpinsUp)
{
    const std::string strOpened = "I /dev/sr0: tray opened";
    const std::string strSpinning =
        "I /dev/sr0: the drive is becoming ready (a disc was just inserted): the tray stays closed";
    const RKScFakeAnswer stNoMedium = Check(0x2, 0x3A, 0x00);
    struct
    {
        RKScDriveStatus eStatus;
        RKScFakeAnswer stReady;
        RKScBytes vecEvent;
        RKScEjectStatus eEject;
        RKScBytes vecOperations;
        std::string strLine;
    } aCases[] = {
        // clang-format off
        {RKSC_STATUS_BECOMING_READY, {}, {}, RKSC_EJECT_DONE, {}, strSpinning},
        {RKSC_STATUS_NO_DISC, {}, {}, RKSC_EJECT_DONE, {GC}, strOpened},
        {RKSC_STATUS_TRAY_OPEN, {}, {}, RKSC_EJECT_DONE, {}, strOpened},
        {RKSC_STATUS_DISC_OK, Good({}), {}, RKSC_EJECT_DONE, {TUR}, strOpened},
        // Loading, as different drives say it, behind the kernel's "ready".
        {RKSC_STATUS_DISC_OK, Check(0x2, 0x04, 0x00), {}, RKSC_EJECT_DONE, {TUR}, strSpinning},
        {RKSC_STATUS_DISC_OK, Check(0x2, 0x04, 0x07), {}, RKSC_EJECT_DONE, {TUR}, strSpinning},
        // A system that keeps no view: the drive's own answers decide.
        {RKSC_STATUS_UNKNOWN, Check(0x2, 0x04, 0x01), {}, RKSC_EJECT_DONE, {TUR}, strSpinning},
        {RKSC_STATUS_UNKNOWN, Check(0x2, 0x04, 0x00), {}, RKSC_EJECT_DONE, {TUR}, strSpinning},
        {RKSC_STATUS_UNKNOWN, Check(0x2, 0x04, 0x07), {}, RKSC_EJECT_DONE, {TUR}, strSpinning},
        {RKSC_STATUS_UNKNOWN, stNoMedium, MediaEventBytes(0x02, 0x02), RKSC_EJECT_DONE, {TUR, GESN}, strSpinning},
        {RKSC_STATUS_UNKNOWN, Check(0x2, 0x04, 0x02), MediaEventBytes(0x00, 0x02), RKSC_EJECT_DONE, {TUR, GESN},
         strSpinning},
        {RKSC_STATUS_UNKNOWN, stNoMedium, MediaEventBytes(0x00, 0x00), RKSC_EJECT_DONE, {TUR, GESN}, strOpened},
        {RKSC_STATUS_UNKNOWN, stNoMedium, MediaEventBytes(0x00, 0x01), RKSC_EJECT_DONE, {TUR, GESN}, strOpened},
        {RKSC_STATUS_UNKNOWN, Good({}), {}, RKSC_EJECT_DONE, {TUR}, strOpened},
        {RKSC_STATUS_UNKNOWN, Failed("no answer"), {}, RKSC_EJECT_DONE, {TUR}, strOpened},
        {RKSC_STATUS_DISC_OK, Good({}), {}, RKSC_EJECT_BUSY, {TUR}, "E /dev/sr0: the tray stays closed: the drive is in "
                                                                  "use (mounted or opened by another program) or its tray is locked"},
        {RKSC_STATUS_TRAY_OPEN, {}, {}, RKSC_EJECT_NO_TRAY, {}, "E /dev/sr0: the drive has no tray it can open"},
        {RKSC_STATUS_DISC_OK, Good({}), {}, RKSC_EJECT_FAILED, {TUR},
         "E /dev/sr0: cannot open the tray: CDROMEJECT: Input/output error"},
        // clang-format on
    };
    for (const auto& stCase : aCases)
    {
        Reset();
        m_Drive.eStatus = stCase.eStatus;
        m_Drive.eEject = stCase.eEject;
        m_Drive.Answer(TUR, stCase.stReady);
        m_Drive.Answer(GESN, Good(stCase.vecEvent));
        // A drive with a tray.
        m_Drive.Answer(GC, Good({0, 0, 0, 12, 0, 0, 0, 0, 0, 3, 0x08, 4, 0x29, 0, 0, 0}));
        CRKScTraceCapture capture;
        EXPECT_EQ(stCase.strLine == strOpened ? 1 : 0, m_pWriter->EjectTray());
        EXPECT_EQ(stCase.strLine == strSpinning ? 0 : 1, m_Drive.nEjects);
        EXPECT_EQ(stCase.vecOperations, m_Drive.vecOperations);
        EXPECT_EQ(RKScLines{stCase.strLine}, capture.vecLines);
        // The loading mechanism is asked of the first empty drive, and kept.
        if (m_Drive.vecOperations == RKScBytes{GC})
        {
            EXPECT_EQ((RKScBytes{GC, 2, 0, 3, 0, 0, 0, 0, 16, 0}), m_Drive.vecCommands[0]);
        }
    }
}

// A wait opens the tray of a drive IsMediaIn has just found empty. A disc
// that is ready by then (QEMU's are, at once) went in after that check and
// stays; a ready disc nobody found missing just now is ejected on request.
TEST_F(RKScWriterTest, TrayStaysClosedOverADiscThatWentInSinceTheDriveWasFoundEmpty)
{
    const std::string strSpinning =
        "I /dev/sr0: the drive is becoming ready (a disc was just inserted): the tray stays closed";
    m_Drive.Answer(TUR, Good({}));
    struct
    {
        const char* szCase;
        bool bFoundEmpty;
        std::uint64_t ullLater; // milliseconds from that check to EjectTray
        int nResult;
    } aCases[] = {
        {"just found empty", true, 0, 0},
        {"found empty 3 s before", true, 3000, 0},
        {"found empty long before", true, 3001, 1},
        {"never found empty", false, 0, 1},
    };
    for (const auto& stCase : aCases)
    {
        m_Drive.nEjects = 0;
        if (stCase.bFoundEmpty)
        {
            m_Drive.eStatus = RKSC_STATUS_NO_DISC;
            EXPECT_EQ(0, m_pWriter->IsMediaIn());
        }
        m_Drive.eStatus = RKSC_STATUS_DISC_OK;
        m_pTransport->ullNow += stCase.ullLater;
        CRKScTraceCapture capture;
        EXPECT_EQ(stCase.nResult, m_pWriter->EjectTray()) << stCase.szCase;
        EXPECT_EQ(stCase.nResult, m_Drive.nEjects) << stCase.szCase;
        EXPECT_EQ(RKScLines{stCase.nResult ? "I /dev/sr0: tray opened" : strSpinning}, capture.vecLines)
            << stCase.szCase;
    }
    // Once: the eject that followed the check used it up; a disc seen in
    // between clears it too.
    m_Drive.eStatus = RKSC_STATUS_NO_DISC;
    m_pWriter->IsMediaIn();
    m_Drive.eStatus = RKSC_STATUS_DISC_OK;
    EXPECT_EQ(0, m_pWriter->EjectTray());
    EXPECT_EQ(1, m_pWriter->EjectTray());
    m_Drive.eStatus = RKSC_STATUS_NO_DISC;
    m_pWriter->IsMediaIn();
    m_Drive.eStatus = RKSC_STATUS_DISC_OK;
    EXPECT_EQ(1, m_pWriter->IsMediaIn());
    EXPECT_EQ(1, m_pWriter->EjectTray());
}

// A drive without a tray (a slot or caddy loader) that holds no disc is
// never sent an eject, and says so once until it holds a disc again.
TEST_F(RKScWriterTest, EmptyDriveWithoutATrayIsOneInformationLine)
{
    const std::string strLine =
        "I /dev/sr0: no disc in the drive, and no tray to open (a slot or caddy drive)";
    m_Drive.eStatus = RKSC_STATUS_NO_DISC;
    // Feature 0003h, loading mechanism 0: a caddy or slot.
    m_Drive.Answer(GC, Good({0, 0, 0, 12, 0, 0, 0, 0, 0, 3, 0x0B, 4, 0x19, 0, 0, 0}));
    CRKScTraceCapture capture;
    EXPECT_EQ(0, m_pWriter->EjectTray());
    EXPECT_EQ(0, m_pWriter->EjectTray());
    EXPECT_EQ(0, m_Drive.nEjects);
    EXPECT_EQ((RKScBytes{GC}), m_Drive.vecOperations);
    // A disc seen, taken out again: one more line.
    m_Drive.eStatus = RKSC_STATUS_DISC_OK;
    EXPECT_EQ(1, m_pWriter->IsMediaIn());
    m_Drive.eStatus = RKSC_STATUS_NO_DISC;
    EXPECT_EQ(0, m_pWriter->EjectTray());
    EXPECT_EQ((RKScLines{strLine, strLine}), capture.vecLines);

    // Without the feature, the system's answer to the eject says the same.
    CRKScWriter writer(m_pTransport, m_Drive.stEntry, 'F');
    m_Drive.mapAnswers[GC] = {Check(0x5, 0x24, 0x00)};
    m_Drive.eEject = RKSC_EJECT_EMPTY;
    capture.vecLines.clear();
    EXPECT_EQ(0, writer.EjectTray());
    EXPECT_EQ(0, writer.EjectTray());
    EXPECT_EQ(2, m_Drive.nEjects);
    EXPECT_EQ((RKScLines{strLine}), capture.vecLines);
}

// A writer answers only for the drive it was listed with: once that drive
// is gone, or its node or letter leads to another, one error line, then no
// medium, no eject and nothing opened until the drives are listed again.
TEST_F(RKScWriterTest, DriveThatIsGoneAnswersAsEmptyUntilListedAgain)
{
    auto Listed = [this]()
    {
        Reset();
        m_Drive.strOpenProblem.clear();
        m_Drive.eStatus = RKSC_STATUS_DISC_OK;
        m_Drive.Answer(INQ, Good(InquiryBytes("QEMU", "QEMU CD-ROM")));
        m_Drive.Answer(GC, Good(ConfigurationBytes(0x08, {0x08})));
        m_pWriter.reset(new CRKScWriter(m_pTransport, m_Drive.stEntry, 'E'));
        m_pWriter->Identify();
        Reset();
        m_Drive.Answer(INQ, Good(InquiryBytes("QEMU", "QEMU CD-ROM")));
        m_Drive.Answer(GC, Good(ConfigurationBytes(0x08, {0x08})));
        m_Drive.Answer(RDI, Good(DiscInfoBytes(0x0E)));
        m_Drive.Answer(TUR, Good({}));
        // Past the second in which the listing's INQUIRY vouches for it.
        m_pTransport->ullNow += 1000;
    };
    const std::string strGone = "E /dev/sr0: the drive is gone: ";
    struct
    {
        const char* szCase;
        std::function<void()> fnBreak;
        std::function<int()> fnFirst; // the call that finds it gone
        std::string strWhy;
    } aCases[] = {
        {"another drive answers", [this] { m_Drive.mapAnswers[INQ] = {Good(InquiryBytes("QEMU", "OTHER"))}; },
         [this] { return static_cast<int>(m_pWriter->GetMediaInfo().dwMediaType); },
         "it answers as \"QEMU OTHER\", not \"QEMU QEMU CD-ROM\""},
        {"node taken",
         [this] { m_Drive.strOpenProblem = "the drive is gone: /dev/sr0 is now another drive"; },
         [this] { return m_pWriter->IsMediaIn(); }, "/dev/sr0 is now another drive"},
        {"vanished during a command", [this] { m_Drive.mapAnswers[GC] = {Gone()}; },
         [this] { return static_cast<int>(m_pWriter->GetMediaInfo().dwDiscType); }, "SG_IO: No such device"},
        {"vanished under the status", [this] { m_Drive.eStatus = RKSC_STATUS_GONE; },
         [this] { return m_pWriter->IsMediaIn(); }, "CDROM_DRIVE_STATUS: No such device"},
        {"vanished during the eject", [this] { m_Drive.eEject = RKSC_EJECT_GONE; },
         [this] { return m_pWriter->EjectTray(); }, "CDROMEJECT: No such device"},
        {"another drive answers for details",
         [this] { m_Drive.mapAnswers[INQ] = {Good(InquiryBytes("QEMU", "OTHER"))}; },
         [this]
         {
             RKDiscDetails stDisc = {};
             return m_pWriter->GetDiscDetails(stDisc);
         },
         "it answers as \"QEMU OTHER\", not \"QEMU QEMU CD-ROM\""},
        {"vanished while closing",
         [this]
         {
             m_Drive.Answer(MSENSE, Good(CapabilitiesBytes(0x2D, 8800, 2048, 2816)));
             m_Drive.bTrayGone = true;
         },
         [this] { return m_pWriter->CloseTray(); }, "CDROMCLOSETRAY: No such device"},
    };
    for (const auto& stCase : aCases)
    {
        Listed();
        EXPECT_FALSE(m_pWriter->IsGone());
        stCase.fnBreak();
        CRKScTraceCapture capture;
        EXPECT_EQ(0, stCase.fnFirst()) << stCase.szCase;
        int nOpens = m_Drive.nOpens;
        int nEjects = m_Drive.nEjects;
        EXPECT_EQ(0, m_pWriter->IsMediaIn());
        EXPECT_EQ(RKSC_MEDIA_NONE, m_pWriter->GetMediaInfo().dwMediaType);
        EXPECT_EQ(0, m_pWriter->EjectTray());
        RKDriveDetails stDrive = {};
        RKTrayState stTray = {};
        EXPECT_EQ(0, m_pWriter->GetDriveDetails(stDrive) + m_pWriter->GetTrayState(stTray) +
                         m_pWriter->CloseTray() + m_pWriter->LockTray(1));
        EXPECT_EQ(nOpens, m_Drive.nOpens) << stCase.szCase;
        EXPECT_EQ(nEjects, m_Drive.nEjects) << stCase.szCase;
        EXPECT_TRUE(m_pWriter->IsGone());
        EXPECT_EQ(RKScLines{strGone + stCase.strWhy}, capture.vecLines) << stCase.szCase;
        m_Drive.eEject = RKSC_EJECT_DONE;
        m_Drive.bTrayGone = false;
    }

    // Where the transport gives no presence, the library's test goes by
    // the letter: the writer checks first that the letter still leads to
    // its drive.
    Listed();
    m_pTransport->bPresence = false;
    m_Drive.mapAnswers[INQ] = {Good(InquiryBytes("QEMU", "QEMU CD-ROM")),
                               Good(InquiryBytes("OTHER", "DRIVE"))};
    CRKScTraceCapture capture;
    m_pWriter->IsMediaIn();
    // Within a second of an answer as the listed drive, it is not asked again.
    m_pTransport->ullNow += 999;
    m_pWriter->IsMediaIn();
    EXPECT_FALSE(m_pWriter->IsGone());
    m_pTransport->ullNow += 1000;
    EXPECT_EQ(0, m_pWriter->IsMediaIn());
    EXPECT_EQ((RKScBytes{INQ, INQ}), m_Drive.vecOperations);
    EXPECT_EQ(RKScLines{strGone + "it answers as \"OTHER DRIVE\", not \"QEMU QEMU CD-ROM\""},
              capture.vecLines);
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
