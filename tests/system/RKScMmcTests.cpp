// The MMC layer: what profiles and disc states mean, and parsers fed
// well-formed and malformed answers.
#include <gtest/gtest.h>

#include "RKMediaInfo.h"
#include "RKSystemEngine.h"
#include "RKScFakeTransport.h"
#include "RKScTestTrace.h"

namespace
{
std::string Name(DWORD dwMedia)
{
    RKMediaInfo stInfo;
    stInfo.dwMediaType = dwMedia;
    return RKScText(stInfo.GetMediaType());
}

RKScConfiguration Configuration(const RKScBytes& vecData, std::size_t nLength = 0xFFFF)
{
    return RKScParseConfiguration(vecData.data(), std::min(nLength, vecData.size()));
}
} // namespace

TEST(RKScMmcTest, EveryProfileHasItsMediumAndSupportBit)
{
    struct
    {
        WORD wProfile;
        const char* szName;
        DWORD dwBit;
    } aCases[] = {
        // clang-format off
        {0x08, "CD", RKSC_SUPPORTS_CD}, {0x09, "CD-R", RKSC_SUPPORTS_CD_R}, {0x0A, "CD-RW", RKSC_SUPPORTS_CD_RW},
        {0x10, "DVD", RKSC_SUPPORTS_DVD}, {0x11, "DVD-R", RKSC_SUPPORTS_DVD_R}, {0x12, "DVD-RAM", RKSC_SUPPORTS_DVD_RAM},
        {0x13, "DVD-RW", RKSC_SUPPORTS_DVD_RW}, {0x14, "DVD-RW", RKSC_SUPPORTS_DVD_RW},
        {0x15, "DVD-RDL", RKSC_SUPPORTS_DVD_R_DL}, {0x16, "DVD-RDL", RKSC_SUPPORTS_DVD_R_DL},
        {0x1A, "DVD+RW", RKSC_SUPPORTS_DVD_PLUS_RW}, {0x1B, "DVD+R", RKSC_SUPPORTS_DVD_PLUS_R},
        {0x2B, "DVD+RDL", RKSC_SUPPORTS_DVD_PLUS_R_DL}, {0x40, "BD-ROM", RKSC_SUPPORTS_BD_ROM},
        {0x41, "BD-R", RKSC_SUPPORTS_BD_R}, {0x42, "BD-R", RKSC_SUPPORTS_BD_R}, {0x43, "BD-RE", RKSC_SUPPORTS_BD_RE},
        // clang-format on
    };
    std::vector<WORD> vecAll = {0x0002};
    for (const auto& stCase : aCases)
    {
        // The library names the code by its value, so the name checks the code.
        EXPECT_EQ(stCase.szName, Name(RKScMediaOfProfile(stCase.wProfile))) << stCase.wProfile;
        EXPECT_EQ(stCase.dwBit, RKScSupportedMediaOfProfiles({stCase.wProfile}));
        vecAll.push_back(stCase.wProfile);
    }
    // A profile list read from an answer: one bit for each of the fourteen media.
    EXPECT_EQ(0x3FFFu,
              RKScSupportedMediaOfProfiles(Configuration(ConfigurationBytes(0x10, vecAll)).vecProfiles));
    EXPECT_EQ(RKSC_MEDIA_NONE, RKScMediaOfProfile(0));
    for (WORD wProfile : {0x0002, 0x002A, 0xFFFF})
    {
        EXPECT_EQ(RKSC_MEDIA_PROFILE_FLAG | wProfile, RKScMediaOfProfile(wProfile));
        EXPECT_EQ("", Name(RKScMediaOfProfile(wProfile)));
    }
}

TEST(RKScMmcTest, ConfigurationAnswersAreReadOnlyAsFarAsTheyGo)
{
    RKScBytes vecFour = ConfigurationBytes(0x08, {0x08, 0x09, 0x0A, 0x10});
    EXPECT_EQ("answer of 7 bytes is shorter than the 8-byte header", Configuration(vecFour, 7).strProblem);
    // Transfers cut short: the header alone, then part of the list.
    RKScConfiguration stConfig = Configuration(vecFour, 8);
    EXPECT_TRUE(stConfig.bHeader && !stConfig.bProfileList && stConfig.bProfilesCut);
    EXPECT_EQ(0x08, stConfig.wCurrentProfile);
    stConfig = Configuration(vecFour, 23);
    EXPECT_EQ((std::vector<WORD>{0x08, 0x09}), stConfig.vecProfiles);
    EXPECT_TRUE(stConfig.bProfilesCut && stConfig.strProblem.empty());

    RKScBytes vecBad = vecFour;
    PutBig(vecBad, 0, 2, 4);
    EXPECT_EQ("header announces 6 bytes, fewer than its own 8", Configuration(vecBad).strProblem);
    // A list longer than the answer its header announces.
    PutBig(vecBad, 0, 12, 4);
    EXPECT_EQ((std::vector<WORD>{0x08}), Configuration(vecBad).vecProfiles);
    EXPECT_EQ("profile list of 16 bytes runs past the announced 16 bytes", Configuration(vecBad).strProblem);
    PutBig(vecBad, 0, 0xFFFFFFFFu, 4);
    vecBad[11] = 6;
    EXPECT_EQ(0x100000003ull, Configuration(vecBad).ullAnnounced);
    EXPECT_EQ("profile list length 6 is not a multiple of 4", Configuration(vecBad).strProblem);
    vecBad[9] = 0x1E;
    EXPECT_EQ("first feature is 001Eh, not the profile list", Configuration(vecBad).strProblem);
}

TEST(RKScMmcTest, DiscStatesAndDiscInformationThatCannotBeUsed)
{
    const DWORD adwStates[] = {RKSC_DISC_BLANK, RKSC_DISC_APPENDABLE, RKSC_DISC_COMPLETE, RKSC_DISC_OTHER};
    for (std::uint8_t bStatus = 0; bStatus < 4; ++bStatus)
    {
        // Erasable and last-session bits leave the state alone.
        RKScBytes vecData = DiscInfoBytes(static_cast<std::uint8_t>(0x1C | bStatus));
        EXPECT_EQ(adwStates[bStatus],
                  RKScDiscStateOfStatus(RKScParseDiscInfo(vecData.data(), 3).bDiscStatus));
    }
    RKScBytes vecData = DiscInfoBytes(0x22);
    EXPECT_EQ("answer of 2 bytes is shorter than the 3 bytes up to the disc status",
              RKScParseDiscInfo(vecData.data(), 2).strProblem);
    EXPECT_EQ("disc information of data type 1, not the standard one",
              RKScParseDiscInfo(vecData.data(), 34).strProblem);
    vecData[1] = 0;
    EXPECT_EQ("disc information announces 2 bytes, fewer than the 3 up to the disc status",
              RKScParseDiscInfo(vecData.data(), 34).strProblem);
}

TEST(RKScMmcTest, SenseDataAndInquiryCutShort)
{
    RKScBytes vecSense = FixedSense(0x2, 0x04, 0x01);
    EXPECT_TRUE(RKScSenseBecomingReady(RKScParseSense(vecSense.data(), 14)));
    // The codes lie past the data, then past the additional length.
    EXPECT_EQ("sense key 2", RKScDescribeSense(RKScParseSense(vecSense.data(), 13)));
    vecSense[7] = 5;
    EXPECT_FALSE(RKScSenseBecomingReady(RKScParseSense(vecSense.data(), 18)));
    EXPECT_EQ("no sense data", RKScDescribeSense(RKScParseSense(vecSense.data(), 2)));
    RKScBytes vecDescriptor = {0x72, 0x06, 0x28, 0x00};
    EXPECT_EQ("sense 6/28/00", RKScDescribeSense(RKScParseSense(vecDescriptor.data(), 4)));

    // NUL padding is blank, other unprintable bytes show as '?'; the
    // additional length ends the identification inside the product.
    RKScBytes vecData = InquiryBytes("HL-DT-ST", "BD-RE NAME");
    std::fill(vecData.begin() + 26, vecData.begin() + 32, 0);
    vecData[8] = 0xE9;
    EXPECT_EQ("?L-DT-ST BD-RE NAME", RKScModelOfInquiry(RKScParseInquiry(vecData.data(), 36)));
    vecData[4] = 15;
    RKScInquiry stInquiry = RKScParseInquiry(vecData.data(), 36);
    EXPECT_EQ("?L-DT-ST BD-R", RKScModelOfInquiry(stInquiry));
    EXPECT_EQ("identification cut after 20 of 32 bytes", stInquiry.strProblem);
    EXPECT_EQ("answer of 4 bytes is shorter than the 5-byte INQUIRY header",
              RKScParseInquiry(vecData.data(), 4).strProblem);
}

TEST(RKScMmcTest, FeatureDescriptorsAreWalkedAsFarAsTheAnswerGoes)
{
    // Profile list, removable medium (version 2: tray, load, eject, lock),
    // serial number; then padding past the announced length.
    RKScBytes vecData = ConfigurationBytes(0x10, {0x10, 0x08});
    RKScBytes vecMore = {0x00, 0x03, 0x09, 0x04, 0x39, 0, 0, 0, 0x01, 0x08, 0x03, 0x04, 'S', 'N', '0', '1'};
    vecData.insert(vecData.end(), vecMore.begin(), vecMore.end());
    PutBig(vecData, 0, vecData.size() - 4, 4);
    vecData.insert(vecData.end(), {0x00, 0x03, 0x00, 0x04, 0x00, 0, 0, 0});

    RKScFeatureList stList = RKScParseFeatures(vecData.data(), vecData.size());
    ASSERT_EQ(3u, stList.vecFeatures.size());
    EXPECT_TRUE(stList.bHeader && !stList.bCut && stList.strProblem.empty());
    EXPECT_EQ(0x10, stList.wCurrentProfile);
    const RKScFeature& stSerial = stList.vecFeatures[2];
    EXPECT_EQ(0x0108, stSerial.wCode);
    EXPECT_TRUE(stSerial.bCurrent && stSerial.bPersistent && !stSerial.bCut);
    EXPECT_EQ(0, stSerial.bVersion);
    EXPECT_EQ((RKScBytes{'S', 'N', '0', '1'}), stSerial.vecData);
    RKScRemovableMedium stMedium =
        RKScParseRemovableMedium(*RKScFindFeature(stList, RKSC_FEATURE_REMOVABLE_MEDIUM));
    EXPECT_TRUE(stMedium.bOk && stMedium.bEject && stMedium.bLoadKnown && stMedium.bLoad && stMedium.bLock);
    EXPECT_EQ(RKSC_LOADING_TRAY, stMedium.bLoading);
    EXPECT_TRUE(RKScHasTray(stMedium));

    // Cut inside the serial's data, then inside its descriptor header: the
    // first comes cut and last, the second is left out.
    stList = RKScParseFeatures(vecData.data(), vecData.size() - 8 - 1);
    ASSERT_EQ(3u, stList.vecFeatures.size());
    EXPECT_TRUE(stList.bCut && stList.vecFeatures[2].bCut);
    EXPECT_EQ((RKScBytes{'S', 'N', '0'}), stList.vecFeatures[2].vecData);
    stList = RKScParseFeatures(vecData.data(), vecData.size() - 8 - 5);
    EXPECT_EQ(2u, stList.vecFeatures.size());
    EXPECT_TRUE(stList.bCut);
    EXPECT_EQ(nullptr, RKScFindFeature(stList, RKSC_FEATURE_SERIAL_NUMBER));
    EXPECT_EQ("answer of 7 bytes is shorter than the 8-byte header",
              RKScParseFeatures(vecData.data(), 7).strProblem);

    // A slot loader of version 0 leaves the load bit unknown, though set.
    RKScFeature stSlot = {RKSC_FEATURE_REMOVABLE_MEDIUM, true, false, 0, 4, false, {0x19, 0, 0, 0}};
    stMedium = RKScParseRemovableMedium(stSlot);
    EXPECT_TRUE(stMedium.bOk && stMedium.bEject && !stMedium.bLoadKnown && !stMedium.bLoad);
    EXPECT_FALSE(RKScHasTray(stMedium));
    stSlot.vecData.clear();
    EXPECT_EQ("removable medium feature without its data", RKScParseRemovableMedium(stSlot).strProblem);
    stSlot.wCode = 1;
    EXPECT_EQ("feature 0001h is not the removable medium", RKScParseRemovableMedium(stSlot).strProblem);
}
