// The details' parsers fed answers cut at each length they check.
#include <gtest/gtest.h>

#include "RKScDetailsAnswers.h"

namespace
{
RKScCapabilities Capabilities(const RKScBytes& vecData, std::size_t nLength = 0xFFFF)
{
    return RKScParseCapabilities(vecData.data(), std::min(nLength, vecData.size()));
}

RKScFeature FeatureOf(const RKScBytes& vecDescriptor, std::size_t nCut = 0)
{
    RKScBytes vecAnswer = FeaturesBytes(0, {}, {vecDescriptor});
    RKScFeatureList stList = RKScParseFeatures(vecAnswer.data(), vecAnswer.size() - nCut);
    return stList.vecFeatures.back();
}
} // namespace

TEST(RKScMmcDetailsTest, CapabilitiesPageIsReadOnlyWithinItsLengths)
{
    // QEMU's page: lock, jumper, eject, tray; 50x read, 2 MiB, 16x write.
    RKScCapabilities stCaps = Capabilities(CapabilitiesBytes(0x2D, 8800, 2048, 2816));
    EXPECT_TRUE(stCaps.bOk && stCaps.bCanLock && !stCaps.bLocked && stCaps.bCanEject);
    EXPECT_EQ(stCaps.bLoading, 1);
    EXPECT_EQ(stCaps.dwMaxReadKbps, 8800u);
    EXPECT_EQ(stCaps.dwBufferKiB, 2048u);
    EXPECT_EQ(stCaps.dwMaxWriteKbps, 2816u);
    EXPECT_TRUE(Capabilities(CapabilitiesBytes(0x2F, 0, 0, 0)).bLocked);

    // The page ends right after the mechanism byte, then one byte before it.
    stCaps = Capabilities(CapabilitiesBytes(0x2D, 8800, 2048, 2816, 5));
    EXPECT_TRUE(stCaps.bOk);
    EXPECT_EQ(stCaps.dwMaxReadKbps, RKSC_UNKNOWN);
    EXPECT_EQ(Capabilities(CapabilitiesBytes(0x2D, 0, 0, 0, 4)).strProblem,
              "capabilities page cut after 6 of 7 bytes");
    EXPECT_EQ(Capabilities(CapabilitiesBytes(0x2D, 0, 0, 0), 14).strProblem,
              "capabilities page cut after 6 of 7 bytes");
    // The speed field's second byte is the page's last.
    EXPECT_EQ(Capabilities(CapabilitiesBytes(0x2D, 8800, 0, 0), 18).dwMaxReadKbps, 8800u);
    EXPECT_EQ(Capabilities(CapabilitiesBytes(0x2D, 8800, 0, 0), 17).dwMaxReadKbps, RKSC_UNKNOWN);

    RKScBytes vecData = CapabilitiesBytes(0x2D, 8800, 2048, 2816);
    vecData[8] = 0x2B;
    EXPECT_EQ(Capabilities(vecData).strProblem, "page 2Bh, not the capabilities page");
    vecData[1] = 4;
    EXPECT_EQ(Capabilities(vecData).strProblem, "mode data of 6 bytes, fewer than its own 8-byte header");
    EXPECT_EQ(Capabilities(vecData, 7).strProblem,
              "answer of 7 bytes is shorter than the 8-byte mode parameter header");
    // Block descriptors before the page move it.
    vecData = CapabilitiesBytes(0x2D, 8800, 2048, 2816);
    vecData.insert(vecData.begin() + 8, 8, 0);
    vecData[1] = static_cast<std::uint8_t>(vecData.size() - 2);
    vecData[7] = 8;
    EXPECT_EQ(Capabilities(vecData).dwBufferKiB, 2048u);
    EXPECT_EQ(Capabilities(vecData, 16).strProblem, "mode data of 16 bytes ends before the page at byte 16");

    // Later drives: the speed fields 0, the write speeds as descriptors, of
    // which only those inside the page count.
    vecData = CapabilitiesBytes(0x29, 0, 4096, 0, 30 + 8, {4234, 7056});
    stCaps = Capabilities(vecData);
    EXPECT_EQ(stCaps.dwMaxReadKbps, RKSC_UNKNOWN);
    EXPECT_EQ(stCaps.dwMaxWriteKbps, 7056u);
    vecData[8 + 31] = 5;
    EXPECT_EQ(Capabilities(vecData, vecData.size() - 1).dwMaxWriteKbps, 4234u);
}

TEST(RKScMmcDetailsTest, DiscAnswersCutShortGiveNoValue)
{
    RKScBytes vecToc = TocBytes({{1, false, 0}, {2, false, 15000}, {3, true, 30000}}, 300000);
    RKScToc stToc = RKScParseToc(vecToc.data(), vecToc.size());
    EXPECT_TRUE(stToc.bWhole);
    ASSERT_EQ(stToc.vecTracks.size(), 3u);
    EXPECT_TRUE(!stToc.vecTracks[1].bData && stToc.vecTracks[2].bData && stToc.vecTracks[2].dwStart == 30000);
    stToc = RKScParseToc(vecToc.data(), 4 + 8 * 2);
    EXPECT_FALSE(stToc.bWhole);
    EXPECT_EQ(stToc.strProblem, "TOC of tracks 1 to 3 describes 2 of them");
    vecToc[2] = 4;
    EXPECT_EQ(RKScParseToc(vecToc.data(), vecToc.size()).strProblem, "TOC names tracks 4 to 3");
    // A repeated track stands in for none of the others.
    vecToc = TocBytes({{1, false, 0}, {2, false, 15000}, {2, true, 30000}}, 300000);
    vecToc[3] = 3;
    stToc = RKScParseToc(vecToc.data(), vecToc.size());
    EXPECT_TRUE(!stToc.bWhole && stToc.vecTracks.size() == 2 && !stToc.vecTracks[1].bData);
    EXPECT_EQ(stToc.strProblem, "TOC of tracks 1 to 3 describes 2 of them");

    RKScBytes vecCapacity = CapacityBytes(359999, 2048);
    RKScCapacity stCapacity = RKScParseCapacity(vecCapacity.data(), 8);
    EXPECT_EQ(stCapacity.dwBlocks, 360000u);
    EXPECT_EQ(RKScParseCapacity(vecCapacity.data(), 7).dwBlocks, RKSC_UNKNOWN);
    // 0xFFFFFFFF blocks would read as "not known".
    vecCapacity = CapacityBytes(0xFFFFFFFEu, 2048);
    EXPECT_EQ(RKScParseCapacity(vecCapacity.data(), 8).strProblem,
              "the capacity is beyond what READ CAPACITY (10) can give");

    RKScBytes vecFormat = FormatCapacityBytes(12219392, RKSC_FORMAT_UNFORMATTED, 2048);
    RKScFormatCapacity stFormat = RKScParseFormatCapacity(vecFormat.data(), 12);
    EXPECT_TRUE(stFormat.bOk && stFormat.bType == RKSC_FORMAT_UNFORMATTED && stFormat.dwBlocks == 12219392);
    EXPECT_FALSE(RKScParseFormatCapacity(vecFormat.data(), 11).bOk);
    vecFormat[3] = 0;
    EXPECT_EQ(RKScParseFormatCapacity(vecFormat.data(), 12).strProblem,
              "capacity list of 0 bytes holds no descriptor");

    // Free blocks end at byte 20, the track size at 28.
    RKScBytes vecTrack = TrackInfoBytes(1, true, 0, 359846, 359846);
    EXPECT_EQ(RKScParseTrackInfo(vecTrack.data(), 27).dwTrackSize, RKSC_UNKNOWN);
    EXPECT_EQ(RKScParseTrackInfo(vecTrack.data(), 20).dwFreeBlocks, 359846u);
    EXPECT_EQ(RKScParseTrackInfo(vecTrack.data(), 19).strProblem,
              "track information cut after 19 of 20 bytes");
    vecTrack[1] = 17;
    EXPECT_FALSE(RKScParseTrackInfo(vecTrack.data(), vecTrack.size()).bOk);

    // Each number's high byte comes nine bytes after its low one.
    RKScBytes vecDisc = DiscLayoutBytes(1, 0, false, 1, 258, 300, 301);
    RKScDiscLayout stLayout = RKScParseDiscLayout(vecDisc.data(), vecDisc.size());
    EXPECT_EQ(stLayout.dwSessions, 258u);
    EXPECT_EQ(stLayout.dwLastTrackLastSession, 301u);
    stLayout = RKScParseDiscLayout(vecDisc.data(), 11);
    EXPECT_TRUE(stLayout.bOk && !stLayout.bCounts && stLayout.dwSessions == RKSC_UNKNOWN);
    EXPECT_EQ(stLayout.strProblem, "disc information cut after 11 of 12 bytes");

    RKScBytes vecVolume = VolumeBytes("MY_DISC");
    EXPECT_EQ(RKScParsePrimaryVolume(vecVolume.data(), 72).strLabel, "MY_DISC");
    EXPECT_FALSE(RKScParsePrimaryVolume(vecVolume.data(), 71).bOk);
    vecVolume[1] = 'B'; // "BEA01": another file system's descriptor, no fault
    RKScVolume stVolume = RKScParsePrimaryVolume(vecVolume.data(), 2048);
    EXPECT_TRUE(!stVolume.bOk && stVolume.strProblem.empty());
}

TEST(RKScMmcDetailsTest, DriveAnswersCutShortGiveNoValue)
{
    RKScBytes vecSpeeds = WriteSpeedsBytes({{11080, 5540}, {11080, 3324}});
    RKScSpeeds stSpeeds = RKScParseWriteSpeeds(vecSpeeds.data(), vecSpeeds.size());
    EXPECT_EQ(stSpeeds.nDescriptors, 2u);
    EXPECT_EQ(stSpeeds.dwMaxWriteKbps, 5540u);
    stSpeeds = RKScParseWriteSpeeds(vecSpeeds.data(), vecSpeeds.size() - 1);
    EXPECT_EQ(stSpeeds.nDescriptors, 1u);
    stSpeeds = RKScParseWriteSpeeds(vecSpeeds.data(), 23);
    EXPECT_TRUE(stSpeeds.bOk && stSpeeds.nDescriptors == 0 && stSpeeds.dwMaxReadKbps == RKSC_UNKNOWN);

    RKScBytes vecMechanism = {0, 0x10, 0, 0, 0, 0, 0, 0};
    EXPECT_TRUE(RKScParseMechanismStatus(vecMechanism.data(), 8).bDoorOpen);
    EXPECT_FALSE(RKScParseMechanismStatus(vecMechanism.data(), 7).bOk);

    RKScBytes vecInquiry = InquiryBytes("QEMU", "QEMU CD-ROM");
    std::copy_n("2.5+", 4, vecInquiry.begin() + 32);
    EXPECT_EQ(RKScParseInquiryRevision(vecInquiry.data(), 36), "2.5+");
    EXPECT_EQ(RKScParseInquiryRevision(vecInquiry.data(), 35), "2.5");
    vecInquiry[4] = 27;
    EXPECT_EQ(RKScParseInquiryRevision(vecInquiry.data(), 36), "");

    EXPECT_EQ(RKScParseCore(FeatureOf(Feature(0x0001, 2, {0, 0, 0, 8, 1, 0, 0, 0}))).dwInterface, 8u);
    EXPECT_EQ(RKScParseCore(FeatureOf(Feature(0x0001, 2, {0, 0, 8}))).strProblem,
              "core feature of 3 bytes, without its interface");
    RKScBytes vecSerial = Feature(0x0108, 0, {'K', 'Z', '1', 'C', '8', 'B', '6', 0});
    EXPECT_EQ(RKScParseSerial(FeatureOf(vecSerial)).strSerial, "KZ1C8B6");
    RKScSerial stSerial = RKScParseSerial(FeatureOf(vecSerial, 1));
    EXPECT_TRUE(!stSerial.bOk && stSerial.strSerial.empty());
    EXPECT_EQ(stSerial.strProblem, "serial number cut after 7 of 8 bytes");
}
