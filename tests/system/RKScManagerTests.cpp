// The system engine's manager over a transport of canned answers: what it
// lists, in which order, under which letters, and that it lists it once.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "RKSystemEngine.h"
#include "RKScFakeTransport.h"
#include "RKScManager.h"
#include "RKScMmc.h"
#include "RKScTestTrace.h"
#include "RKScWriter.h"

namespace
{
const std::uint8_t GC = RKSC_OP_GET_CONFIGURATION;
const std::uint8_t INQ = RKSC_OP_INQUIRY;

std::string Text(const unsigned short* szText)
{
    std::string strText;
    for (; szText && *szText; ++szText)
        strText += static_cast<char>(*szText);
    return strText;
}

// A drive that identifies itself and lists its profiles.
RKScFakeDrive& AddAnsweringDrive(CRKScFakeTransport& transport, const std::string& strDevice, WORD wLetter,
                                 const std::string& strProduct, const std::vector<WORD>& vecProfiles)
{
    RKScFakeDrive& stDrive = transport.AddDrive(strDevice, "SYSFS " + strProduct, wLetter);
    stDrive.Answer(INQ, Good(InquiryBytes("VENDOR", strProduct)));
    stDrive.Answer(GC, Good(ConfigurationBytes(0, vecProfiles)));
    return stDrive;
}

class RKScManagerTest : public ::testing::Test
{
protected:
    RKScManagerTest() : m_pTransport(std::make_shared<CRKScFakeTransport>()) {}

    void TearDown() override
    {
        if (m_pManager)
            m_pManager->Release();
        // Every writer went with the manager: only this test holds the transport.
        EXPECT_EQ(1, m_pTransport.use_count());
    }

    CRKScManager& Manager()
    {
        if (!m_pManager)
            m_pManager = new CRKScManager(m_pTransport);
        return *m_pManager;
    }

    std::shared_ptr<CRKScFakeTransport> m_pTransport;
    CRKScManager* m_pManager = nullptr;
};
} // namespace

TEST_F(RKScManagerTest, ListsDrivesInOrderWithModelsLettersAndMedia)
{
    AddAnsweringDrive(*m_pTransport, "/dev/sr0", 0, "DVD-RW DRIVE", {0x08, 0x09, 0x0A, 0x10, 0x11, 0x14});
    AddAnsweringDrive(*m_pTransport, "/dev/sr1", 'E', "BD-ROM DRIVE", {0x40, 0x10, 0x08});
    AddAnsweringDrive(*m_pTransport, "/dev/sr2", 0, "CD-ROM DRIVE", {0x08});
    m_pTransport->vecUsedLetters = {'C', 'D', 'F', 'E'};
    std::vector<RKScTraceLine> vecLines;
    {
        CRKScTraceCapture capture;
        Manager();
        vecLines = capture.vecLines;
    }
    ASSERT_EQ(3, Manager().GetNbWriter());
    EXPECT_EQ(1, Manager().IsValid());

    const char* aszModels[] = {"VENDOR DVD-RW DRIVE", "VENDOR BD-ROM DRIVE", "VENDOR CD-ROM DRIVE"};
    const WORD awLetters[] = {'G', 'E', 'H'};
    const DWORD adwMedia[] = {RKSC_SUPPORTS_CD | RKSC_SUPPORTS_CD_R | RKSC_SUPPORTS_CD_RW |
                                  RKSC_SUPPORTS_DVD | RKSC_SUPPORTS_DVD_R | RKSC_SUPPORTS_DVD_RW,
                              RKSC_SUPPORTS_BD_ROM | RKSC_SUPPORTS_DVD | RKSC_SUPPORTS_CD, RKSC_SUPPORTS_CD};
    for (DWORD i = 0; i < 3; ++i)
    {
        CRKWriter* pWriter = Manager().GetWriter(i);
        EXPECT_EQ(aszModels[i], Text(pWriter->GetModelName()));
        EXPECT_EQ(awLetters[i], pWriter->GetDriveLetter());
        EXPECT_EQ(adwMedia[i], pWriter->GetSupportedMedia());
        // One open, INQUIRY then the profile list in one first read.
        const RKScFakeDrive& stDrive = *m_pTransport->vecDrives[i];
        EXPECT_EQ(1, stDrive.nOpens);
        EXPECT_EQ((std::vector<RKScBytes>{{INQ, 0, 0, 0, 36, 0}, {GC, 0x02, 0, 0, 0, 0, 0, 0, 128, 0}}),
                  stDrive.vecCommands);
    }
    EXPECT_EQ((std::vector<RKScTraceLine>{
                  {RKLOG_ENTER, "CRKScManager::EnumerateWriters"},
                  Info("/dev/sr0: drive G:, model \"VENDOR DVD-RW DRIVE\", supported media 0x3f"),
                  Info("/dev/sr1: drive E:, model \"VENDOR BD-ROM DRIVE\", supported media 0x809"),
                  Info("/dev/sr2: drive H:, model \"VENDOR CD-ROM DRIVE\", supported media 0x1"),
                  {RKLOG_EXIT, "3"}}),
              vecLines);
}

TEST_F(RKScManagerTest, LettersOfTheSystemFirstThenFreeOnesFromD)
{
    RKScDriveList stList;
    stList.vecDrives.resize(5);
    stList.vecDrives[1].wLetter = 'D';
    stList.vecDrives[3].wLetter = 'F';
    stList.vecUsedLetters = {'E', 'Z', 'C'};
    EXPECT_EQ((std::vector<WORD>{'G', 'D', 'H', 'F', 'I'}), RKScAssignLetters(stList));
    for (WORD wLetter = 'D'; wLetter <= 'Y'; ++wLetter)
        stList.vecUsedLetters.push_back(wLetter);
    EXPECT_EQ((std::vector<WORD>{0, 'D', 0, 'F', 0}), RKScAssignLetters(stList));

    m_pTransport->vecUsedLetters = stList.vecUsedLetters;
    AddAnsweringDrive(*m_pTransport, "/dev/sr0", 0, "CD-ROM", {0x08});
    {
        CRKScTraceCapture capture;
        Manager();
        EXPECT_EQ((std::vector<std::string>{"/dev/sr0: no drive letter is left for it"}),
                  capture.Of(RKLOG_ERROR));
        EXPECT_EQ(
            (std::vector<std::string>{"/dev/sr0: drive ?:, model \"VENDOR CD-ROM\", supported media 0x1"}),
            capture.Of(RKLOG_INFO));
    }
    EXPECT_EQ(0, Manager().GetWriter(0)->GetDriveLetter());
}

TEST_F(RKScManagerTest, ProfileListLongerThanTheFirstReadIsReadAgain)
{
    std::vector<WORD> vecMany(40, 0x0002);
    vecMany.back() = 0x43;
    RKScFakeDrive& stLong = AddAnsweringDrive(*m_pTransport, "/dev/sr0", 0, "LONG", vecMany);

    // Announces more than the longest read, with features after the list.
    RKScBytes vecHuge = ConfigurationBytes(0, {0x08, 0x41});
    vecHuge.resize(4412);
    PutBig(vecHuge, 0, 4408, 4);
    RKScFakeDrive& stHuge = m_pTransport->AddDrive("/dev/sr1", "SYSFS HUGE");
    stHuge.Answer(INQ, Good(InquiryBytes("VENDOR", "HUGE")));
    stHuge.Answer(GC, Good(vecHuge));

    // Announces more than it ever sends.
    RKScBytes vecShort = ConfigurationBytes(0, {0x08, 0x09, 0x0A, 0x10});
    vecShort.resize(20);
    RKScFakeDrive& stShort = m_pTransport->AddDrive("/dev/sr2", "SYSFS SHORT");
    stShort.Answer(INQ, Good(InquiryBytes("VENDOR", "SHORT")));
    stShort.Answer(GC, Good(vecShort));

    CRKScTraceCapture capture;
    ASSERT_EQ(3, Manager().GetNbWriter());
    EXPECT_EQ(RKSC_SUPPORTS_BD_RE, Manager().GetWriter(0)->GetSupportedMedia());
    ASSERT_EQ(3u, stLong.vecCommands.size());
    EXPECT_EQ((RKScBytes{GC, 0x02, 0, 0, 0, 0, 0, 0, 172, 0}), stLong.vecCommands[2]);
    EXPECT_EQ((RKScBytes{GC, 0x02, 0, 0, 0, 0, 0, 0x10, 0x00, 0}), stHuge.vecCommands[2]);
    EXPECT_EQ(RKSC_SUPPORTS_CD | RKSC_SUPPORTS_BD_R, Manager().GetWriter(1)->GetSupportedMedia());
    EXPECT_EQ(RKSC_SUPPORTS_CD | RKSC_SUPPORTS_CD_R, Manager().GetWriter(2)->GetSupportedMedia());
    EXPECT_EQ(2u, stShort.vecCommands.size());
    EXPECT_EQ((std::vector<std::string>{
                  "/dev/sr1: GET CONFIGURATION: answer of 4412 bytes is read up to 4096 bytes",
                  "/dev/sr2: GET CONFIGURATION: only 20 of the 28 bytes announced arrived"}),
              capture.Of(RKLOG_ERROR));
}

TEST_F(RKScManagerTest, ModelFromTheSystemWhenTheDriveCannotSayIt)
{
    RKScFakeDrive& stMute = m_pTransport->AddDrive("/dev/sr0", "SYSFS MUTE");
    stMute.Answer(INQ, Check(0x5, 0x20, 0x00));
    stMute.Answer(GC, Failed("SG_IO: Operation not permitted"));
    RKScFakeDrive& stCut = m_pTransport->AddDrive("/dev/sr1", "SYSFS CUT");
    RKScBytes vecInquiry = InquiryBytes("VENDOR", "PRODUCT");
    vecInquiry.resize(20);
    stCut.Answer(INQ, Good(vecInquiry));
    stCut.Answer(GC, Good(RKScBytes{0, 0, 0, 4, 0, 0, 0, 0}));
    CRKScTraceCapture capture;
    ASSERT_EQ(2, Manager().GetNbWriter());
    EXPECT_EQ("SYSFS MUTE", Text(Manager().GetWriter(0)->GetModelName()));
    EXPECT_EQ("SYSFS CUT", Text(Manager().GetWriter(1)->GetModelName()));
    EXPECT_EQ(0u, Manager().GetWriter(0)->GetSupportedMedia());
    EXPECT_EQ(0u, Manager().GetWriter(1)->GetSupportedMedia());
    EXPECT_EQ((std::vector<std::string>{"/dev/sr0: INQUIRY: check condition, sense 5/20/00",
                                        "/dev/sr0: GET CONFIGURATION: SG_IO: Operation not permitted",
                                        "/dev/sr1: INQUIRY: identification cut after 20 of 32 bytes",
                                        "/dev/sr1: GET CONFIGURATION: no profile list in the answer"}),
              capture.Of(RKLOG_ERROR));
}

TEST_F(RKScManagerTest, DriveThatCannotBeOpenedIsListedWithoutAccess)
{
    AddAnsweringDrive(*m_pTransport, "/dev/sr0", 'D', "OPEN", {0x08});
    RKScFakeDrive& stLocked = m_pTransport->AddDrive("/dev/sr1", "QEMU QEMU CD-ROM");
    stLocked.strOpenProblem =
        "no read access (Permission denied): add the user to group cdrom and log in again";
    CRKScTraceCapture capture;
    ASSERT_EQ(2, Manager().GetNbWriter());
    CRKWriter* pWriter = Manager().GetWriter(1);
    EXPECT_EQ("QEMU QEMU CD-ROM", Text(pWriter->GetModelName()));
    EXPECT_EQ('E', pWriter->GetDriveLetter());
    EXPECT_EQ(0u, pWriter->GetSupportedMedia());
    EXPECT_EQ(0, pWriter->IsMediaIn());
    EXPECT_EQ(RKSC_MEDIA_NONE, pWriter->GetMediaInfo().dwMediaType);
    EXPECT_EQ((std::vector<std::string>{"/dev/sr1: cannot open: " + stLocked.strOpenProblem}),
              capture.Of(RKLOG_ERROR));
    EXPECT_EQ("/dev/sr1: drive E:, model \"QEMU QEMU CD-ROM\", supported media 0x0, no access",
              capture.Of(RKLOG_INFO).at(1));
}

TEST_F(RKScManagerTest, ListsOnceAndAfreshWithoutLeakingWriters)
{
    AddAnsweringDrive(*m_pTransport, "/dev/sr0", 0, "A", {0x08});
    AddAnsweringDrive(*m_pTransport, "/dev/sr1", 0, "B", {0x08});
    ASSERT_EQ(2, Manager().GetNbWriter());
    EXPECT_EQ(1, m_pTransport->nListings);
    // The test, the manager and one per writer.
    EXPECT_EQ(4, m_pTransport.use_count());

    EXPECT_EQ(1, Manager().Initialize());
    EXPECT_EQ(1, m_pTransport->nListings);
    EXPECT_EQ(2, Manager().GetNbWriter());

    // Called directly, the listing replaces the table rather than adding to it.
    EXPECT_EQ(2, Manager().EnumerateWriters());
    EXPECT_EQ(2, Manager().GetNbWriter());
    EXPECT_EQ(4, m_pTransport.use_count());

    AddAnsweringDrive(*m_pTransport, "/dev/sr2", 0, "C", {0x08});
    EXPECT_EQ(0, Manager().Refresh());
    EXPECT_EQ(3, m_pTransport->nListings);
    EXPECT_EQ(3, Manager().GetNbWriter());
    EXPECT_EQ(5, m_pTransport.use_count());
    EXPECT_EQ('F', Manager().GetWriter(2)->GetDriveLetter());
}

TEST_F(RKScManagerTest, FailedListingLeavesAnInvalidEmptyManager)
{
    AddAnsweringDrive(*m_pTransport, "/dev/sr0", 0, "A", {0x08});
    m_pTransport->bListFails = true;
    {
        CRKScTraceCapture capture;
        EXPECT_EQ(0, Manager().GetNbWriter());
        EXPECT_EQ(0, Manager().IsValid());
        EXPECT_EQ((std::vector<std::string>{"Cannot list the optical drives: no list"}),
                  capture.Of(RKLOG_ERROR));
    }
    m_pTransport->bListFails = false;
    Manager().Refresh();
    EXPECT_EQ(1, Manager().IsValid());
    EXPECT_EQ(1, Manager().GetNbWriter());

    m_pTransport->bThrow = true;
    CRKScTraceCapture capture;
    EXPECT_EQ(0, Manager().Refresh());
    EXPECT_EQ(0, Manager().GetNbWriter());
    EXPECT_EQ((std::vector<RKScTraceLine>{{RKLOG_ENTER, "ClearWriters"},
                                          {RKLOG_EXIT, ""},
                                          {RKLOG_ENTER, "CRKScManager::EnumerateWriters"},
                                          Error("CRKScManager::EnumerateWriters: out of memory"),
                                          {RKLOG_EXIT, "0"}}),
              capture.vecLines);
}
