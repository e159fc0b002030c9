// The MMC layer: command blocks, parsers fed well-formed and malformed
// answers, and the meaning of profiles and disc states.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RKMediaInfo.h"
#include "RKSystemEngine.h"
#include "RKScFakeTransport.h"
#include "RKScMmc.h"

namespace
{
RKScBytes Bytes(const RKScCdb& stCdb)
{
    return RKScBytes(stCdb.abBytes, stCdb.abBytes + stCdb.nLength);
}

std::string Name(DWORD dwMedia)
{
    RKMediaInfo stInfo;
    stInfo.dwMediaType = dwMedia;
    stInfo.dwDiscType = 0;
    std::string strName;
    for (const unsigned short* p = stInfo.GetMediaType(); *p; ++p)
        strName += static_cast<char>(*p);
    return strName;
}

RKScConfiguration ParseConfiguration(const RKScBytes& vecData)
{
    return RKScParseConfiguration(vecData.data(), vecData.size());
}
} // namespace

TEST(RKScMmcTest, CommandBlocksAreByteExact)
{
    EXPECT_EQ((RKScBytes{0, 0, 0, 0, 0, 0}), Bytes(RKScTestUnitReadyCdb()));
    EXPECT_EQ((RKScBytes{0x12, 0, 0, 0, 36, 0}), Bytes(RKScInquiryCdb(36)));
    EXPECT_EQ((RKScBytes{0x46, 0x02, 0, 0, 0, 0, 0, 0, 8, 0}),
              Bytes(RKScGetConfigurationCdb(RKSC_RT_ONE, 0, 8)));
    EXPECT_EQ((RKScBytes{0x46, 0x01, 0x01, 0x07, 0, 0, 0, 0x12, 0x34, 0}),
              Bytes(RKScGetConfigurationCdb(RKSC_RT_CURRENT, 0x0107, 0x1234)));
    EXPECT_EQ((RKScBytes{0x51, 0, 0, 0, 0, 0, 0, 0, 34, 0}), Bytes(RKScReadDiscInformationCdb(34)));
    EXPECT_EQ((RKScBytes{0x4A, 0x01, 0, 0, 0x10, 0, 0, 0, 8, 0}), Bytes(RKScMediaEventCdb(8)));
}

TEST(RKScMmcTest, EveryProfileHasItsMediaCodeNameAndSupportBit)
{
    struct
    {
        WORD wProfile;
        DWORD dwMedia;
        const char* szName;
        DWORD dwBit;
    } aCases[] = {
        {0x08, 0x0002, "CD", RKSC_SUPPORTS_CD},
        {0x09, 0x0102, "CD-R", RKSC_SUPPORTS_CD_R},
        {0x0A, 0x0003, "CD-RW", RKSC_SUPPORTS_CD_RW},
        {0x10, 0x0004, "DVD", RKSC_SUPPORTS_DVD},
        {0x11, 0x0014, "DVD-R", RKSC_SUPPORTS_DVD_R},
        {0x12, 0x0105, "DVD-RAM", RKSC_SUPPORTS_DVD_RAM},
        {0x13, 0x0015, "DVD-RW", RKSC_SUPPORTS_DVD_RW},
        {0x14, 0x0015, "DVD-RW", RKSC_SUPPORTS_DVD_RW},
        {0x15, 0x0048, "DVD-RDL", RKSC_SUPPORTS_DVD_R_DL},
        {0x16, 0x0048, "DVD-RDL", RKSC_SUPPORTS_DVD_R_DL},
        {0x1A, 0x0025, "DVD+RW", RKSC_SUPPORTS_DVD_PLUS_RW},
        {0x1B, 0x0024, "DVD+R", RKSC_SUPPORTS_DVD_PLUS_R},
        {0x2B, 0x0088, "DVD+RDL", RKSC_SUPPORTS_DVD_PLUS_R_DL},
        {0x40, 0x2000, "BD-ROM", RKSC_SUPPORTS_BD_ROM},
        {0x41, 0x6000, "BD-R", RKSC_SUPPORTS_BD_R},
        {0x42, 0x6000, "BD-R", RKSC_SUPPORTS_BD_R},
        {0x43, 0x6001, "BD-RE", RKSC_SUPPORTS_BD_RE},
    };
    DWORD dwAll = 0;
    std::vector<WORD> vecAll;
    for (const auto& stCase : aCases)
    {
        EXPECT_EQ(stCase.dwMedia, RKScMediaOfProfile(stCase.wProfile)) << stCase.wProfile;
        EXPECT_EQ(stCase.szName, Name(RKScMediaOfProfile(stCase.wProfile)));
        EXPECT_EQ(stCase.dwBit, RKScSupportedMediaOfProfiles({stCase.wProfile}));
        dwAll |= stCase.dwBit;
        vecAll.push_back(stCase.wProfile);
    }
    // Fourteen media, one bit each.
    EXPECT_EQ(0x3FFFu, dwAll);
    EXPECT_EQ(dwAll, RKScSupportedMediaOfProfiles(vecAll));

    EXPECT_EQ(RKSC_MEDIA_NONE, RKScMediaOfProfile(0));
    for (WORD wProfile : {WORD(0x0002), WORD(0x002A), WORD(0x0050), WORD(0xFFFF)})
    {
        DWORD dwMedia = RKScMediaOfProfile(wProfile);
        EXPECT_EQ(RKSC_MEDIA_PROFILE_FLAG | wProfile, dwMedia);
        EXPECT_TRUE(RKSC_MEDIA_IS_PROFILE(dwMedia));
        EXPECT_EQ(wProfile, RKSC_MEDIA_PROFILE(dwMedia));
        EXPECT_EQ("", Name(dwMedia));
        EXPECT_EQ(0u, RKScSupportedMediaOfProfiles({wProfile}));
    }
    EXPECT_EQ(0u, RKScSupportedMediaOfProfiles({}));
}

TEST(RKScMmcTest, ProfileListOfAWriterGivesItsBits)
{
    RKScConfiguration stConfig = ParseConfiguration(
        ConfigurationBytes(0x10, {0x43, 0x41, 0x40, 0x2B, 0x1B, 0x1A, 0x10, 0x0A, 0x09, 0x08, 0x0002}));
    ASSERT_TRUE(stConfig.bHeader);
    EXPECT_TRUE(stConfig.bProfileList);
    EXPECT_FALSE(stConfig.bProfilesCut);
    EXPECT_EQ("", stConfig.strProblem);
    EXPECT_EQ(0x10, stConfig.wCurrentProfile);
    EXPECT_EQ(56u, stConfig.ullAnnounced);
    EXPECT_EQ(11u, stConfig.vecProfiles.size());
    EXPECT_EQ(RKSC_SUPPORTS_BD_RE | RKSC_SUPPORTS_BD_R | RKSC_SUPPORTS_BD_ROM | RKSC_SUPPORTS_DVD_PLUS_R_DL |
                  RKSC_SUPPORTS_DVD_PLUS_R | RKSC_SUPPORTS_DVD_PLUS_RW | RKSC_SUPPORTS_DVD |
                  RKSC_SUPPORTS_CD_RW | RKSC_SUPPORTS_CD_R | RKSC_SUPPORTS_CD,
              RKScSupportedMediaOfProfiles(stConfig.vecProfiles));
}

TEST(RKScMmcTest, MalformedConfigurationAnswers)
{
    RKScBytes vecFour = ConfigurationBytes(0x08, {0x08, 0x09, 0x0A, 0x10});

    RKScConfiguration stShort = ParseConfiguration(RKScBytes(vecFour.begin(), vecFour.begin() + 7));
    EXPECT_FALSE(stShort.bHeader);
    EXPECT_EQ("answer of 7 bytes is shorter than the 8-byte header", stShort.strProblem);

    RKScBytes vecSmall = vecFour;
    PutBig(vecSmall, 0, 2, 4);
    RKScConfiguration stSmall = ParseConfiguration(vecSmall);
    EXPECT_FALSE(stSmall.bHeader);
    EXPECT_EQ(0, stSmall.wCurrentProfile);
    EXPECT_EQ("header announces 6 bytes, fewer than its own 8", stSmall.strProblem);

    // Transfers cut short (resid): the header alone, then part of the list.
    RKScConfiguration stHeaderOnly = ParseConfiguration(RKScBytes(vecFour.begin(), vecFour.begin() + 8));
    EXPECT_TRUE(stHeaderOnly.bHeader);
    EXPECT_EQ(0x08, stHeaderOnly.wCurrentProfile);
    EXPECT_FALSE(stHeaderOnly.bProfileList);
    EXPECT_TRUE(stHeaderOnly.bProfilesCut);
    RKScConfiguration stPart = ParseConfiguration(RKScBytes(vecFour.begin(), vecFour.begin() + 23));
    EXPECT_EQ((std::vector<WORD>{0x08, 0x09}), stPart.vecProfiles);
    EXPECT_TRUE(stPart.bProfilesCut);
    EXPECT_EQ("", stPart.strProblem);

    RKScBytes vecOdd = vecFour;
    vecOdd[11] = 6;
    RKScConfiguration stOdd = ParseConfiguration(vecOdd);
    EXPECT_EQ((std::vector<WORD>{0x08}), stOdd.vecProfiles);
    EXPECT_EQ("profile list length 6 is not a multiple of 4", stOdd.strProblem);

    // A list longer than the answer the header announces.
    RKScBytes vecLong = vecFour;
    PutBig(vecLong, 0, 12, 4);
    RKScConfiguration stLong = ParseConfiguration(vecLong);
    EXPECT_EQ((std::vector<WORD>{0x08}), stLong.vecProfiles);
    EXPECT_EQ("profile list of 16 bytes runs past the announced 16 bytes", stLong.strProblem);

    RKScBytes vecOther = vecFour;
    vecOther[9] = 0x1E;
    EXPECT_EQ("first feature is 001Eh, not the profile list", ParseConfiguration(vecOther).strProblem);
    EXPECT_FALSE(ParseConfiguration(vecOther).bProfileList);

    RKScBytes vecHuge = vecFour;
    PutBig(vecHuge, 0, 0xFFFFFFFFu, 4);
    EXPECT_EQ(0x100000003ull, ParseConfiguration(vecHuge).ullAnnounced);
    EXPECT_EQ(4u, ParseConfiguration(vecHuge).vecProfiles.size());
}

TEST(RKScMmcTest, DiscStatesAndMalformedDiscInformation)
{
    const DWORD adwStates[] = {RKSC_DISC_BLANK, RKSC_DISC_APPENDABLE, RKSC_DISC_COMPLETE, RKSC_DISC_OTHER};
    for (std::uint8_t bStatus = 0; bStatus < 4; ++bStatus)
    {
        // Erasable and last-session bits do not change the state.
        RKScBytes vecData = DiscInfoBytes(static_cast<std::uint8_t>(0x1C | bStatus));
        RKScDiscInfo stInfo = RKScParseDiscInfo(vecData.data(), vecData.size());
        ASSERT_TRUE(stInfo.bOk);
        EXPECT_TRUE(stInfo.bErasable);
        EXPECT_EQ(adwStates[bStatus], RKScDiscStateOfStatus(stInfo.bDiscStatus));
    }
    RKScBytes vecData = DiscInfoBytes(0x02);
    EXPECT_TRUE(RKScParseDiscInfo(vecData.data(), 3).bOk);
    EXPECT_EQ("answer of 2 bytes is shorter than the 3 bytes up to the disc status",
              RKScParseDiscInfo(vecData.data(), 2).strProblem);
    vecData[1] = 0;
    EXPECT_EQ("disc information announces 2 bytes, fewer than the 3 up to the disc status",
              RKScParseDiscInfo(vecData.data(), vecData.size()).strProblem);
    vecData = DiscInfoBytes(0x22);
    EXPECT_FALSE(RKScParseDiscInfo(vecData.data(), vecData.size()).bOk);
    EXPECT_EQ("disc information of data type 1, not the standard one",
              RKScParseDiscInfo(vecData.data(), vecData.size()).strProblem);
}

TEST(RKScMmcTest, SenseDataInBothFormatsAndCutShort)
{
    RKScBytes vecFixed = FixedSense(0x2, 0x3A, 0x01);
    RKScSense stFixed = RKScParseSense(vecFixed.data(), vecFixed.size());
    EXPECT_TRUE(RKScSenseNoMedium(stFixed));
    EXPECT_EQ("sense 2/3A/01", RKScDescribeSense(stFixed));

    RKScBytes vecDescriptor = {0x72, 0x06, 0x28, 0x00, 0, 0, 0, 0};
    RKScSense stDescriptor = RKScParseSense(vecDescriptor.data(), vecDescriptor.size());
    EXPECT_TRUE(RKScSenseUnitAttention(stDescriptor));
    EXPECT_EQ("sense 6/28/00", RKScDescribeSense(stDescriptor));

    // The additional length stops before the codes; then the data itself.
    RKScBytes vecCut = FixedSense(0x2, 0x04, 0x01);
    vecCut[7] = 5;
    EXPECT_EQ("sense key 2", RKScDescribeSense(RKScParseSense(vecCut.data(), vecCut.size())));
    EXPECT_FALSE(RKScSenseBecomingReady(RKScParseSense(vecCut.data(), vecCut.size())));
    vecCut[7] = 10;
    EXPECT_EQ("sense key 2", RKScDescribeSense(RKScParseSense(vecCut.data(), 13)));
    EXPECT_TRUE(RKScSenseBecomingReady(RKScParseSense(vecCut.data(), 14)));
    EXPECT_EQ("no sense data", RKScDescribeSense(RKScParseSense(vecCut.data(), 2)));
    EXPECT_EQ("no sense data", RKScDescribeSense(RKScParseSense(nullptr, 0)));
    RKScBytes vecUnknown = {0x7F, 0, 2, 0, 0, 0, 0, 10, 0, 0, 0, 0, 4, 1};
    EXPECT_FALSE(RKScParseSense(vecUnknown.data(), vecUnknown.size()).bValid);

    RKScBytes vecOther = FixedSense(0x2, 0x04, 0x02);
    EXPECT_FALSE(RKScSenseBecomingReady(RKScParseSense(vecOther.data(), vecOther.size())));
    vecOther = FixedSense(0x3, 0x04, 0x01);
    EXPECT_FALSE(RKScSenseBecomingReady(RKScParseSense(vecOther.data(), vecOther.size())));
}

TEST(RKScMmcTest, InquiryIdentificationIsTrimmedAndBounded)
{
    RKScBytes vecData = InquiryBytes("QEMU", "QEMU CD-ROM");
    RKScInquiry stInquiry = RKScParseInquiry(vecData.data(), vecData.size());
    ASSERT_TRUE(stInquiry.bOk);
    EXPECT_EQ(5, stInquiry.bDeviceType);
    EXPECT_EQ("QEMU QEMU CD-ROM", RKScModelOfInquiry(stInquiry));

    // NUL padding is blank; other unprintable bytes show as '?'.
    vecData = InquiryBytes("HL-DT-ST", "BD-RE");
    std::fill(vecData.begin() + 21, vecData.begin() + 32, 0);
    vecData[8] = 0xE9;
    vecData[18] = 0x07;
    EXPECT_EQ("?L-DT-ST BD?RE", RKScModelOfInquiry(RKScParseInquiry(vecData.data(), vecData.size())));

    // The additional length ends the data inside the product field.
    vecData = InquiryBytes("VENDOR", "PRODUCT NAME");
    vecData[4] = 15;
    stInquiry = RKScParseInquiry(vecData.data(), vecData.size());
    EXPECT_FALSE(stInquiry.bOk);
    EXPECT_EQ("VENDOR PROD", RKScModelOfInquiry(stInquiry));
    EXPECT_EQ("identification cut after 20 of 32 bytes", stInquiry.strProblem);
    stInquiry = RKScParseInquiry(vecData.data(), 4);
    EXPECT_EQ("answer of 4 bytes is shorter than the 5-byte INQUIRY header", stInquiry.strProblem);
    EXPECT_EQ("", RKScModelOfInquiry(stInquiry));
}

TEST(RKScMmcTest, MediaEvents)
{
    RKScBytes vecData = {0, 6, 0x04, 0x54, 0x02, 0x02, 0, 0};
    RKScMediaEvent stEvent = RKScParseMediaEvent(vecData.data(), vecData.size());
    ASSERT_TRUE(stEvent.bOk);
    EXPECT_EQ(2, stEvent.bEventCode);
    EXPECT_TRUE(stEvent.bMediaPresent);
    EXPECT_FALSE(stEvent.bTrayOpen);
    vecData[5] = 0x01;
    EXPECT_TRUE(RKScParseMediaEvent(vecData.data(), vecData.size()).bTrayOpen);

    EXPECT_EQ("media event cut after 7 of 8 bytes", RKScParseMediaEvent(vecData.data(), 7).strProblem);
    vecData[1] = 2;
    EXPECT_EQ("media event cut after 4 of 8 bytes", RKScParseMediaEvent(vecData.data(), 8).strProblem);
    vecData[2] = 0x84;
    EXPECT_EQ("the drive reports no media events", RKScParseMediaEvent(vecData.data(), 8).strProblem);
    vecData[2] = 0x02;
    EXPECT_EQ("event of class 2, not a media event", RKScParseMediaEvent(vecData.data(), 8).strProblem);
    EXPECT_EQ("answer of 3 bytes is shorter than the 4-byte event header",
              RKScParseMediaEvent(vecData.data(), 3).strProblem);
}
