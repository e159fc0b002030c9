// The system engine's manager over drives of canned answers: what it lists,
// in which order, under which letters, and that it lists it once.
#include <gtest/gtest.h>

#include "RKSystemEngine.h"
#include "RKScFakeTransport.h"
#include "RKScManager.h"
#include "RKScTestTrace.h"
#include "RKScWriter.h"

namespace
{
class RKScManagerTest : public ::testing::Test
{
protected:
    RKScManagerTest() : m_pTransport(std::make_shared<CRKScFakeTransport>()) {}
    void TearDown() override
    {
        if (m_pManager)
            m_pManager->Release();
        // Every writer went with the manager: only the test holds the transport.
        EXPECT_EQ(1, m_pTransport.use_count());
    }

    // A drive that identifies itself and lists its profiles.
    RKScFakeDrive& AddDrive(const std::string& strDevice, WORD wLetter, const std::string& strProduct,
                            const RKScBytes& vecConfiguration)
    {
        RKScFakeDrive& stDrive = m_pTransport->AddDrive(strDevice, "SYSFS " + strProduct, wLetter);
        stDrive.Answer(INQ, Good(InquiryBytes("VENDOR", strProduct)));
        stDrive.Answer(GC, Good(vecConfiguration));
        return stDrive;
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
    AddDrive("/dev/sr0", 0, "DVD-RW", ConfigurationBytes(0, {0x08, 0x09, 0x0A, 0x10, 0x11, 0x14}));
    AddDrive("/dev/sr1", 'E', "BD-ROM", ConfigurationBytes(0, {0x40, 0x10, 0x08}));
    AddDrive("/dev/sr2", 0, "CD-ROM", ConfigurationBytes(0, {0x08}));
    m_pTransport->vecUsedLetters = {'C', 'D', 'F', 'E'};
    CRKScTraceCapture capture;
    Manager();
    EXPECT_EQ((RKScLines{"> CRKScManager::EnumerateWriters",
                         "I /dev/sr0: drive G:, model \"VENDOR DVD-RW\", supported media 0x3f",
                         "I /dev/sr1: drive E:, model \"VENDOR BD-ROM\", supported media 0x809",
                         "I /dev/sr2: drive H:, model \"VENDOR CD-ROM\", supported media 0x1", "< 3"}),
              capture.vecLines);
    ASSERT_EQ(3, Manager().GetNbWriter());
    EXPECT_EQ(1, Manager().IsValid());
    EXPECT_EQ("VENDOR BD-ROM", RKScText(Manager().GetWriter(1)->GetModelName()));
    EXPECT_EQ('G', Manager().GetWriter(0)->GetDriveLetter());
    EXPECT_EQ(RKSC_SUPPORTS_BD_ROM | RKSC_SUPPORTS_DVD | RKSC_SUPPORTS_CD,
              Manager().GetWriter(1)->GetSupportedMedia());
    // One open each: INQUIRY, then the profile list in one read.
    EXPECT_EQ(1, m_pTransport->vecDrives[2]->nOpens);
    EXPECT_EQ((std::vector<RKScBytes>{{INQ, 0, 0, 0, 36, 0}, {GC, 2, 0, 0, 0, 0, 0, 0, 128, 0}}),
              m_pTransport->vecDrives[2]->vecCommands);
}

TEST(RKScLettersTest, LettersOfTheSystemFirstThenFreeOnesFromDUntilZ)
{
    RKScDriveList stList;
    stList.vecDrives.resize(5);
    stList.vecDrives[1].wLetter = 'D';
    stList.vecDrives[3].wLetter = 'F';
    stList.vecUsedLetters = {'E', 'Z', 'C'};
    EXPECT_EQ((std::vector<WORD>{'G', 'D', 'H', 'F', 'I'}), RKScAssignLetters(stList));
    for (WORD wLetter = 'G'; wLetter <= 'Y'; ++wLetter)
        stList.vecUsedLetters.push_back(wLetter);
    EXPECT_EQ((std::vector<WORD>{0, 'D', 0, 'F', 0}), RKScAssignLetters(stList));
}

TEST_F(RKScManagerTest, AnswersThatCannotBeUsedAreTracedAndPassedOver)
{
    // A profile list longer than the first read is read again at its length.
    std::vector<WORD> vecMany(40, 0x0002);
    vecMany.back() = 0x43;
    RKScFakeDrive& stLong = AddDrive("/dev/sr0", 0, "LONG", ConfigurationBytes(0, vecMany));
    // Announces more than it sends: what arrived whole counts.
    RKScBytes vecShort = ConfigurationBytes(0, {0x08, 0x09, 0x0A, 0x10});
    vecShort.resize(20);
    AddDrive("/dev/sr1", 0, "SHORT", vecShort);
    RKScFakeDrive& stMute = m_pTransport->AddDrive("/dev/sr2", "SYSFS MUTE");
    stMute.Answer(INQ, Check(0x5, 0x20, 0x00));
    stMute.Answer(GC, Failed("SG_IO: Operation not permitted"));
    RKScBytes vecInquiry = InquiryBytes("VENDOR", "PRODUCT");
    vecInquiry.resize(20);
    AddDrive("/dev/sr3", 0, "CUT", {0, 0, 0, 4, 0, 0, 0, 0}).mapAnswers[INQ] = {Good(vecInquiry)};
    CRKScTraceCapture capture;
    Manager();
    EXPECT_EQ((RKScBytes{GC, 2, 0, 0, 0, 0, 0, 0, 172, 0}), stLong.vecCommands.at(2));
    EXPECT_EQ((RKScLines{"/dev/sr1: GET CONFIGURATION: only 20 of the 28 bytes announced arrived",
                         "/dev/sr2: INQUIRY: check condition, sense 5/20/00",
                         "/dev/sr2: GET CONFIGURATION: SG_IO: Operation not permitted",
                         "/dev/sr3: INQUIRY: identification cut after 20 of 32 bytes",
                         "/dev/sr3: GET CONFIGURATION: no profile list in the answer"}),
              capture.Of('E'));
    EXPECT_EQ((RKScLines{"/dev/sr0: drive D:, model \"VENDOR LONG\", supported media 0x2000",
                         "/dev/sr1: drive E:, model \"VENDOR SHORT\", supported media 0x3",
                         "/dev/sr2: drive F:, model \"SYSFS MUTE\", supported media 0x0",
                         "/dev/sr3: drive G:, model \"SYSFS CUT\", supported media 0x0"}),
              capture.Of('I'));
}

// Many drives announce every feature's length for a request of the
// profile list alone: what arrived whole is the list, and is not read again.
TEST_F(RKScManagerTest, ProfileListIsReadAgainOnlyWhenItselfWasCut)
{
    RKScBytes vecAnnouncesAll = ConfigurationBytes(0x08, {0x08, 0x09, 0x0A});
    PutBig(vecAnnouncesAll, 0, 508, 4);
    RKScFakeDrive& stAll = AddDrive("/dev/sr0", 0, "ALL", vecAnnouncesAll);
    // A list of odd length that fills the first read: read again at an even
    // length that holds all of it.
    RKScBytes vecOdd = ConfigurationBytes(0, std::vector<WORD>(36, 0x0002));
    vecOdd[11] = 143;
    RKScFakeDrive& stOdd = AddDrive("/dev/sr1", 0, "ODD", vecOdd);
    CRKScTraceCapture capture;
    Manager();
    EXPECT_EQ((RKScBytes{INQ, GC}), stAll.vecOperations);
    EXPECT_EQ((std::vector<WORD>{0x08, 0x09, 0x0A}),
              static_cast<CRKScWriter*>(Manager().GetWriter(0))->GetProfiles());
    EXPECT_EQ((RKScBytes{GC, 2, 0, 0, 0, 0, 0, 0, 156, 0}), stOdd.vecCommands.at(2));
    EXPECT_EQ((RKScLines{"/dev/sr1: GET CONFIGURATION: profile list length 143 is not a multiple of 4"}),
              capture.Of('E'));
}

TEST_F(RKScManagerTest, ListsOnceAndAfreshWithoutLeakingWriters)
{
    AddDrive("/dev/sr0", 0, "A", ConfigurationBytes(0, {0x08}));
    AddDrive("/dev/sr1", 0, "B", ConfigurationBytes(0, {0x08}));
    ASSERT_EQ(2, Manager().GetNbWriter());
    // The test, the manager and one per writer.
    EXPECT_EQ(4, m_pTransport.use_count());
    EXPECT_EQ(1, Manager().Initialize());
    EXPECT_EQ(1, m_pTransport->nListings);
    // Called directly, the listing replaces the table rather than adding to it.
    EXPECT_EQ(2, Manager().EnumerateWriters());
    EXPECT_EQ(2, Manager().GetNbWriter());
    EXPECT_EQ(4, m_pTransport.use_count());
    AddDrive("/dev/sr2", 0, "C", ConfigurationBytes(0, {0x08}));
    EXPECT_EQ(0, Manager().Refresh());
    EXPECT_EQ(3, m_pTransport->nListings);
    EXPECT_EQ(5, m_pTransport.use_count());
    EXPECT_EQ('F', Manager().GetWriter(2)->GetDriveLetter());
}

TEST_F(RKScManagerTest, FailedListingAndOutOfMemoryLeaveAnEmptyManager)
{
    AddDrive("/dev/sr0", 0, "A", ConfigurationBytes(0, {0x08}));
    m_pTransport->bListFails = true;
    CRKScTraceCapture capture;
    EXPECT_EQ(0, Manager().GetNbWriter());
    EXPECT_EQ(0, Manager().IsValid());
    EXPECT_EQ((RKScLines{"Cannot list the optical drives: no list"}), capture.Of('E'));
    m_pTransport->bListFails = false;
    Manager().Refresh();
    EXPECT_EQ(1, Manager().IsValid());
    EXPECT_EQ(1, Manager().GetNbWriter());
    m_pTransport->bThrow = true;
    capture.vecLines.clear();
    EXPECT_EQ(0, Manager().Refresh());
    EXPECT_EQ(0, Manager().GetNbWriter());
    EXPECT_EQ((RKScLines{"> ClearWriters", "< ", "> CRKScManager::EnumerateWriters",
                         "E CRKScManager::EnumerateWriters: out of memory", "< 0"}),
              capture.vecLines);
}
