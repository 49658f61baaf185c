#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/GL_String.h"
#include "common/os/os.h"
#include "tests/support/TestLog.h"

namespace {

using Pieces = std::vector<std::wstring>;

Pieces Split(const std::wstring& text, const std::wstring& delimiter) {
    Pieces pieces{L"stale"};
    GL_STRING_Split(text, delimiter, pieces);
    return pieces;
}

}  // namespace

// ---- conversions ------------------------------------------------------------------------
// The narrow side is the ANSI code page of the user's locale: UTF-8 on Linux, 949 (Korean)
// on the target machines; each platform's own tests look at its bytes and its failures.

TEST(GlStringConvert, KoreanTextRoundTripsThroughTheAnsiCodePage) {
    TestLog log;
    const std::wstring wide = L"업데이트하지 못했습니다. ok";
    const std::string narrow = os::WideToAnsiLossy(wide);
    EXPECT_GT(narrow.size(), wide.size());  // multibyte characters
    EXPECT_EQ(narrow, GL_STRING_ConvWCSToMBS(wide));
    EXPECT_EQ(wide, GL_STRING_ConvMBSToWCS(narrow));
    EXPECT_EQ("", log.Text());
}

TEST(GlStringConvert, EmptyTextConvertsWithoutALine) {
    TestLog log;
    EXPECT_EQ(L"", GL_STRING_ConvMBSToWCS(""));
    EXPECT_EQ("", GL_STRING_ConvWCSToMBS(L""));
    EXPECT_EQ("", log.Text());
}

TEST(GlStringConvert, ASurrogateWithoutItsPartnerFailsWithALine) {
    TestLog log;
    const std::wstring ok = L"ok";
    for (const std::wstring& text : {ok + wchar_t(0xD800), ok + wchar_t(0xDBFF) + L"x",
                                     ok + wchar_t(0xDC00) + L"x"})
        EXPECT_EQ("", GL_STRING_ConvWCSToMBS(text)) << os::WideToUtf8Lossy(text);
    EXPECT_EQ(3u, log.Matching("[ENU:10]can't convert wstring to string.(err=2)").size())
        << log.Text();
}

TEST(GlStringConvert, TextStopsAtItsFirstZero) {
    EXPECT_EQ(L"ab", GL_STRING_ConvMBSToWCS(std::string("ab\0cd", 5)));
    EXPECT_EQ("ab", GL_STRING_ConvWCSToMBS(std::wstring(L"ab\0cd", 5)));
}

// ---- splitting --------------------------------------------------------------------------

TEST(GlStringSplit, PiecesBetweenDelimiters) {
    EXPECT_EQ((Pieces{L"a", L"b", L"", L"c"}), Split(L"a;b;;c", L";"));
    EXPECT_EQ((Pieces{L"a", L""}), Split(L"a;", L";"));
    EXPECT_EQ((Pieces{L"", L"a"}), Split(L";a", L";"));
    EXPECT_EQ((Pieces{L"x", L"1"}), Split(L"x=1", L"="));
    EXPECT_EQ((Pieces{L"", L""}), Split(L"=", L"="));
}

TEST(GlStringSplit, WithoutDelimiterTheTextIsOnePiece) {
    EXPECT_EQ((Pieces{L"abc"}), Split(L"abc", L";"));
    EXPECT_EQ(Pieces{}, Split(L"", L"="));
}

TEST(GlStringSplit, LongDelimiterAndOverlappingCandidates) {
    EXPECT_EQ((Pieces{L"--A=\"1\"", L"--B=\"2\""}), Split(L"--A=\"1\" --B=\"2\"", L" "));
    EXPECT_EQ((Pieces{L"a", L"b"}), Split(L"a::b", L"::"));
    EXPECT_EQ((Pieces{L"", L":b"}), Split(L":::b", L"::"));
}

TEST(GlStringSplit, EmptyDelimiterEnds) {
    EXPECT_EQ((Pieces{L"abc"}), Split(L"abc", L""));
    EXPECT_EQ(Pieces{}, Split(L"", L""));
}

// ---- replacing --------------------------------------------------------------------------

TEST(GlStringReplace, EveryOccurrenceIsReplaced) {
    EXPECT_EQ(L"/opt/a;/opt/b",
              GL_STRING_ReplaceAll(L"%ProgramFiles%/a;%ProgramFiles%/b", L"%ProgramFiles%", L"/opt"));
    EXPECT_EQ(L"none", GL_STRING_ReplaceAll(L"none", L"%x%", L"y"));
}

TEST(GlStringReplace, ReplacementIsNeverSearchedAgain) {
    EXPECT_EQ(L"aaaa", GL_STRING_ReplaceAll(L"aa", L"a", L"aa"));
    EXPECT_EQ(L"b", GL_STRING_ReplaceAll(L"aaab", L"a", L""));
    EXPECT_EQ(L"xa", GL_STRING_ReplaceAll(L"aaa", L"aa", L"x"));
}

TEST(GlStringReplace, EmptySearchTextChangesNothing) {
    EXPECT_EQ(L"abc", GL_STRING_ReplaceAll(L"abc", L"", L"x"));
}

TEST(GlStringReplace, NarrowTwinWorksOnCharactersNotBytes) {
    const auto ansi = [](const std::wstring& text) { return os::WideToAnsiLossy(text); };
    EXPECT_EQ(ansi(L"파일 %20 파일"),
              GL_STRING_ReplaceAllA(ansi(L"파일 공백 파일"), ansi(L"공백"), "%20"));
    // A search text that is only the last bytes of a character never matches inside it.
    const std::string han = ansi(L"한");
    ASSERT_GE(han.size(), 2u);
    EXPECT_EQ(han, GL_STRING_ReplaceAllA(han, han.substr(1), "x"));
    EXPECT_EQ("a b c", GL_STRING_ReplaceAllA("a+b+c", "+", " "));
}
