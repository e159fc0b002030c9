// The writer's shared part, its callbacks and the media record.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <new>
#include <vector>

#include "RKDRV.h"
#include "RKFakeEngine.h"
#include "RKTextUtil.h"
#include "RKTraceCapture.h"

namespace
{
// Answers a set value and records what reached it; may write into the record.
class CRKRecordingCallBack : public CRKWriterCallBack
{
public:
    explicit CRKRecordingCallBack(int nAnswer) : m_nAnswer(nAnswer) {}
    int CallBack(DWORD dwType, RKWRITERCALLBACKINFO& info) override
    {
        vecTypes.push_back(dwType);
        vecRecords.push_back(&info);
        info.dwData[2] = 0xBEEF;
        return m_nAnswer;
    }
    std::vector<DWORD> vecTypes;
    std::vector<RKWRITERCALLBACKINFO*> vecRecords;

private:
    int m_nAnswer;
};
} // namespace

TEST(RKWriter, FreshWriterAnswersOneThroughItsDefault)
{
    CRKTraceCapture capture;
    CRKFakeWriter writer('e', nullptr, "Model X", 0x6001);
    RKWRITERCALLBACKINFO info;
    info.step = 3;
    EXPECT_EQ(1, writer.CallBack(1, info));
    EXPECT_EQ(3, info.step);
    EXPECT_EQ(0u, info.dwData[2]);
    EXPECT_EQ(writer.OwnDefaultCallBack(), writer.ActiveCallBack());
    // Stored letters are never case-folded.
    EXPECT_EQ(u'e', writer.GetDriveLetter());
    EXPECT_EQ("Model X", RKTextToUtf8(writer.GetModelName()));
    EXPECT_EQ(0x6001u, writer.GetSupportedMedia());
    // No writer operation traces.
    writer.SetCallBack(nullptr);
    writer.Dump();
    EXPECT_TRUE(capture.records.empty());
}

TEST(RKWriter, ModelNameIsEmptyUntilTheEngineStoresOne)
{
    CRKFakeWriter writer('E', nullptr, nullptr);
    ASSERT_NE(nullptr, writer.GetModelName());
    EXPECT_EQ(0, writer.GetModelName()[0]);
}

TEST(RKWriter, HostCallBackGetsCallersRecordAndItsAnswerComesBackUnchanged)
{
    for (int nAnswer : {0, 1, 7, -2})
    {
        CRKFakeWriter writer('E');
        CRKRecordingCallBack callBack(nAnswer);
        writer.SetCallBack(&callBack);
        RKWRITERCALLBACKINFO info;
        EXPECT_EQ(nAnswer, writer.CallBack(42, info));
        ASSERT_EQ(1u, callBack.vecRecords.size());
        EXPECT_EQ(&info, callBack.vecRecords[0]);
        EXPECT_EQ(42u, callBack.vecTypes[0]);
        EXPECT_EQ(0xBEEFu, info.dwData[2]);
    }
}

TEST(RKWriter, NullCallBackRestoresTheDefault)
{
    CRKFakeWriter writer('E');
    CRKRecordingCallBack callBack(0);
    writer.SetCallBack(&callBack);
    writer.SetCallBack(nullptr);
    RKWRITERCALLBACKINFO info;
    EXPECT_EQ(1, writer.CallBack(1, info));
    EXPECT_TRUE(callBack.vecRecords.empty());
}

TEST(RKWriter, DumpRecordsItsErrorEveryTime)
{
    CRKFakeWriter writer('E');
    EXPECT_EQ(0, writer.Dump());
    EXPECT_EQ(0, writer.Dump());
    EXPECT_EQ(0x10FFFFFFu, writer.m_Error.GetError());
}

TEST(RKWriter, CopyKeepsHostCallBackAndIdentity)
{
    CRKFakeWriter source('G', nullptr, "Copied Model", 0x2000);
    CRKRecordingCallBack callBack(5);
    source.SetCallBack(&callBack);
    source.Dump();

    CRKFakeWriter copy(source);
    RKWRITERCALLBACKINFO info;
    EXPECT_EQ(5, copy.CallBack(1, info));
    EXPECT_EQ(1u, callBack.vecRecords.size());
    EXPECT_EQ(u'G', copy.GetDriveLetter());
    EXPECT_EQ("Copied Model", RKTextToUtf8(copy.GetModelName()));
    EXPECT_NE(source.GetModelName(), copy.GetModelName());
    EXPECT_EQ(0x2000u, copy.GetSupportedMedia());
    EXPECT_EQ(0x10FFFFFFu, copy.m_Error.GetError());

    CRKFakeWriter assigned('A', nullptr, "Other", 1);
    assigned = source;
    EXPECT_EQ(5, assigned.CallBack(1, info));
    EXPECT_EQ(u'G', assigned.GetDriveLetter());
    EXPECT_EQ("Copied Model", RKTextToUtf8(assigned.GetModelName()));
    EXPECT_EQ(0x2000u, assigned.GetSupportedMedia());
}

TEST(RKWriter, CopyOfDefaultReportingWriterDoesNotDependOnTheSource)
{
    CRKFakeWriter* pSource = new CRKFakeWriter('E');
    CRKFakeWriter copy(*pSource);
    CRKFakeWriter assigned('F');
    assigned = *pSource;
    delete pSource;
    EXPECT_EQ(copy.OwnDefaultCallBack(), copy.ActiveCallBack());
    EXPECT_EQ(assigned.OwnDefaultCallBack(), assigned.ActiveCallBack());
    RKWRITERCALLBACKINFO info;
    EXPECT_EQ(1, copy.CallBack(1, info));
}

TEST(RKWriterCallBackInfo, StartsAllZero)
{
    // Constructed over dirty memory, every word must still read 0.
    alignas(RKWRITERCALLBACKINFO) unsigned char acStorage[sizeof(RKWRITERCALLBACKINFO)];
    std::fill(std::begin(acStorage), std::end(acStorage), 0xAB);
    RKWRITERCALLBACKINFO* pInfo = new (acStorage) RKWRITERCALLBACKINFO;
    EXPECT_EQ(0, pInfo->step);
    for (DWORD dwWord : pInfo->dwData)
        EXPECT_EQ(0u, dwWord);
    static_assert(sizeof(RKWRITERCALLBACKINFO) == 24, "six 32-bit words");
}

TEST(RKMediaInfo, NamesByExactValue)
{
    const std::vector<std::pair<DWORD, std::string>> vecNames = {
        {0x0002, "CD"},      {0x0102, "CD-R"},   {0x0003, "CD-RW"},  {0x0004, "DVD"},     {0x0014, "DVD-R"},
        {0x0015, "DVD-RW"},  {0x0024, "DVD+R"},  {0x0025, "DVD+RW"}, {0x0048, "DVD-RDL"}, {0x0088, "DVD+RDL"},
        {0x0105, "DVD-RAM"}, {0x2000, "BD-ROM"}, {0x6000, "BD-R"},   {0x6001, "BD-RE"},   {0x0000, ""},
        {0x0006, ""},        {0x0016, ""},       {0x00010002, ""},   {0xFFFFFFFF, ""},
    };
    for (const auto& entry : vecNames)
    {
        RKMediaInfo stInfo;
        stInfo.dwMediaType = entry.first;
        stInfo.dwDiscType = 0xDEAD;
        ASSERT_NE(nullptr, stInfo.GetMediaType());
        EXPECT_EQ(entry.second, RKTextToUtf8(stInfo.GetMediaType())) << std::hex << entry.first;
    }
}

TEST(RKMediaInfo, AssignmentCopiesBothWords)
{
    RKMediaInfo stSource;
    stSource.dwMediaType = 0x6001;
    stSource.dwDiscType = 9;
    RKMediaInfo stTarget;
    stTarget.dwMediaType = 0;
    stTarget.dwDiscType = 0;
    EXPECT_EQ(&stTarget, &(stTarget = stSource));
    EXPECT_EQ(0x6001u, stTarget.dwMediaType);
    EXPECT_EQ(9u, stTarget.dwDiscType);
    static_assert(sizeof(RKMediaInfo) == 8, "two 32-bit words");
}
