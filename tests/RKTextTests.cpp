// The 16-bit formatter, CRKString and CRKError.
#include <gtest/gtest.h>

#include <climits>
#include <cstdarg>
#include <string>
#include <vector>

#include "RKDRV.h"
#include "RKTextUtil.h"

namespace
{
std::string Fmt(const unsigned short* szFormat, ...)
{
    RKText strOut;
    va_list vaArgs;
    va_start(vaArgs, szFormat);
    RKFormatV(strOut, szFormat, vaArgs);
    va_end(vaArgs);
    return RKTextToUtf8(strOut.c_str());
}

std::string Utf8(const unsigned short* szText)
{
    return RKTextToUtf8(szText);
}
} // namespace

TEST(RKFormat, SignedConversionsRead32BitsOnEveryPlatform)
{
    EXPECT_EQ("-1 -1", Fmt(RK_TEXT("%d %ld"), 0xFFFFFFFFu, 0xFFFFFFFFu));
    EXPECT_EQ("-2147483648", Fmt(RK_TEXT("%d"), INT_MIN));
    EXPECT_EQ("2147483647|0", Fmt(RK_TEXT("%d|%d"), INT_MAX, 0));
}

TEST(RKFormat, HexPointerAndPercent)
{
    EXPECT_EQ("f0000002 ffffffff 0", Fmt(RK_TEXT("%x %x %x"), 0xF0000002u, 0xFFFFFFFFu, 0u));
    EXPECT_EQ("0x0", Fmt(RK_TEXT("%p"), static_cast<void*>(nullptr)));
    EXPECT_EQ("0x1234abcd", Fmt(RK_TEXT("%p"), reinterpret_cast<void*>(0x1234ABCD)));
    EXPECT_EQ("100%", Fmt(RK_TEXT("%d%%"), 100));
}

TEST(RKFormat, CharactersAndTexts)
{
    EXPECT_EQ("(E:\\)", Fmt(RK_TEXT("(%c:\\)"), static_cast<int>(u'E')));
    // A zero character writes nothing.
    EXPECT_EQ("letter:", Fmt(RK_TEXT("letter:%c"), 0));
    EXPECT_EQ("\xC3\xA9", Fmt(RK_TEXT("%c"), 0xE9));
    EXPECT_EQ("[RKDRVCL.DLL]", Fmt(RK_TEXT("[%s]"), RK_TEXT("RKDRVCL.DLL")));
    EXPECT_EQ("(null)", Fmt(RK_TEXT("%s"), static_cast<const unsigned short*>(nullptr)));
}

TEST(RKFormat, UnknownConversionsAreCopiedAndReadNoArgument)
{
    // Were %5d, %q or %lx to consume an argument, the 42 would be lost.
    EXPECT_EQ("%5d %q %lx %l 42", Fmt(RK_TEXT("%5d %q %lx %l %d"), 42));
    EXPECT_EQ("end%", Fmt(RK_TEXT("end%")));
    EXPECT_EQ("%", Fmt(RK_TEXT("%")));
    EXPECT_EQ("", Fmt(nullptr));
}

TEST(RKUtf8, EveryLengthBoundaryAndEverySurrogateCase)
{
    struct RKCase
    {
        std::vector<unsigned short> vecText;
        const char* szUtf8;
    };
    const std::vector<RKCase> vecCases = {
        {{0x41, 0x7F}, "A\x7F"},
        {{0x80, 0x7FF}, "\xC2\x80\xDF\xBF"},
        {{0x800, 0xFFFF}, "\xE0\xA0\x80\xEF\xBF\xBF"},
        // The first and the last pair: U+10000 and U+10FFFF.
        {{0xD800, 0xDC00, 0xDBFF, 0xDFFF}, "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"},
        // A high surrogate at the end, before a non-surrogate, before another
        // high one; a low one alone.
        {{0x41, 0xD800}, "A\xEF\xBF\xBD"},
        {{0xD800, 0x41},
         "\xEF\xBF\xBD"
         "A"},
        {{0xD800, 0xD800, 0xDC00}, "\xEF\xBF\xBD\xF0\x90\x80\x80"},
        {{0xDC00, 0xD800}, "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {{}, ""},
    };
    for (const RKCase& stCase : vecCases)
    {
        std::vector<unsigned short> vecText = stCase.vecText;
        vecText.push_back(0);
        EXPECT_EQ(std::string(stCase.szUtf8), RKTextToUtf8(vecText.data()));
    }
    EXPECT_EQ("", RKTextToUtf8(nullptr));
}

TEST(RKUtf8, DecodingReplacesEachBadByteAndGoesOn)
{
    struct RKCase
    {
        const char* szUtf8;
        std::vector<unsigned short> vecText;
    };
    const std::vector<RKCase> vecCases = {
        {"A\x7F\xC2\x80\xDF\xBF", {0x41, 0x7F, 0x80, 0x7FF}},
        {"\xE0\xA0\x80\xEF\xBF\xBF", {0x800, 0xFFFF}},
        {"\xF0\x90\x80\x80\xF4\x8F\xBF\xBF", {0xD800, 0xDC00, 0xDBFF, 0xDFFF}},
        // Latin-1, a stray continuation byte, a sequence cut by the end.
        {"caf\xE9!", {'c', 'a', 'f', 0xFFFD, '!'}},
        {"\x80"
         "A",
         {0xFFFD, 'A'}},
        {"\xE2\x82", {0xFFFD, 0xFFFD}},
        // Overlong forms, an encoded surrogate, past U+10FFFF, a bad lead byte.
        {"\xC0\xAF", {0xFFFD, 0xFFFD}},
        {"\xE0\x9F\xBF", {0xFFFD, 0xFFFD, 0xFFFD}},
        {"\xED\xA0\x80", {0xFFFD, 0xFFFD, 0xFFFD}},
        {"\xF4\x90\x80\x80", {0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD}},
        {"\xF8"
         "A",
         {0xFFFD, 'A'}},
        {"", {}},
    };
    for (const RKCase& stCase : vecCases)
    {
        std::vector<unsigned short> vecExpected = stCase.vecText;
        vecExpected.push_back(0);
        EXPECT_EQ(vecExpected, RKTextFromUtf8(stCase.szUtf8)) << stCase.szUtf8;
    }
    EXPECT_EQ(std::vector<unsigned short>{0}, RKTextFromUtf8(nullptr));
}

TEST(RKString, ConstructionAndConversion)
{
    CRKString strEmpty;
    ASSERT_NE(nullptr, static_cast<const unsigned short*>(strEmpty));
    EXPECT_EQ(0, static_cast<const unsigned short*>(strEmpty)[0]);
    EXPECT_TRUE(strEmpty.IsEmpty());

    CRKString strNarrow("_RK_Factory");
    EXPECT_EQ("_RK_Factory", Utf8(strNarrow));
    EXPECT_EQ(11u, strNarrow.GetLength());

    // Bytes above 7-bit ASCII are Latin-1.
    CRKString strLatin("caf\xE9");
    EXPECT_EQ(0xE9, strLatin.GetText()[3]);

    CRKString strWide(RK_TEXT("RKDRVCL.DLL"));
    CRKString strCopy(strWide);
    EXPECT_EQ("RKDRVCL.DLL", Utf8(strCopy));
    EXPECT_NE(strWide.GetText(), strCopy.GetText());

    CRKString strNull(static_cast<const unsigned short*>(nullptr));
    EXPECT_TRUE(strNull.IsEmpty());
}

TEST(RKString, AssignmentReplacesTextAndSurvivesSelfAssignment)
{
    CRKString strText(RK_TEXT("first"));
    strText = RK_TEXT("second");
    EXPECT_EQ("second", Utf8(strText));
    strText = "third";
    EXPECT_EQ("third", Utf8(strText));
    CRKString& strSame = strText;
    strText = strSame;
    EXPECT_EQ("third", Utf8(strText));
    // Its own text as the source.
    strText = strText.GetText();
    EXPECT_EQ("third", Utf8(strText));
    strText = RK_TEXT("");
    EXPECT_TRUE(strText.IsEmpty());
}

TEST(RKString, FormatBuildsDevicePath)
{
    CRKString strVolumeName;
    EXPECT_EQ(6, strVolumeName.Format(RK_TEXT("\\\\.\\%c:"), static_cast<int>(u'E')));
    EXPECT_EQ("\\\\.\\E:", Utf8(strVolumeName));
    strVolumeName.Format(RK_TEXT("%d-%s"), 7, RK_TEXT("x"));
    EXPECT_EQ("7-x", Utf8(strVolumeName));
}

TEST(RKError, StoresCopiesAndAssigns)
{
    CRKError errFirst;
    EXPECT_EQ(0u, errFirst.GetError());
    EXPECT_EQ(1, errFirst.SetError(0x10FFFFFF));
    CRKError errCopy(errFirst);
    EXPECT_EQ(0x10FFFFFFu, errCopy.GetError());
    CRKError errAssigned;
    errAssigned = errFirst;
    EXPECT_EQ(0x10FFFFFFu, errAssigned.GetError());
}

TEST(RKTypes, TextLiteralIsConstantStorageOfItsOwnType)
{
    // Held as unsigned short from the start, so it can be read in a
    // constant expression, where no cast between character types could be.
    constexpr RKTextLiteral<3> stLiteral = RKMakeTextLiteral(u"E\u00e9");
    static_assert(stLiteral.awText[0] == 'E' && stLiteral.awText[1] == 0xE9 && stLiteral.awText[2] == 0,
                  "the literal holds its characters");
    const unsigned short* szText = RK_TEXT("E\u00e9");
    EXPECT_EQ('E', szText[0]);
    EXPECT_EQ(0xE9, szText[1]);
    EXPECT_EQ(0, szText[2]);
}
