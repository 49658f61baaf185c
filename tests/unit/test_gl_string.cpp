#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/GL_String.h"
#include "tests/support/ChildProcess.h"
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

TEST(GlStringConvert, KoreanAndAstralTextRoundTrip) {
    TestLog log;
    const std::string narrow = "업데이트하지 못했습니다. \xF0\x9F\x98\x80 ok";
    const std::wstring wide = GL_STRING_ConvMBSToWCS(narrow);
    EXPECT_EQ(std::wstring(L"업데이트하지 못했습니다. ") + wchar_t(0x1F600) + L" ok", wide);
    EXPECT_EQ(narrow, GL_STRING_ConvWCSToMBS(wide));
    EXPECT_EQ("", log.Text());
}

TEST(GlStringConvert, EmptyTextConvertsWithoutALine) {
    TestLog log;
    EXPECT_EQ(L"", GL_STRING_ConvMBSToWCS(""));
    EXPECT_EQ("", GL_STRING_ConvWCSToMBS(L""));
    EXPECT_EQ("", log.Text());
}

TEST(GlStringConvert, InvalidNarrowTextGivesEmptyAndAnErrorLine) {
    for (const std::string bad : {"ab\xFF" "cd", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                                  "x\xE2\x82y"}) {
        TestLog log;
        EXPECT_EQ(L"", GL_STRING_ConvMBSToWCS(bad));
        const auto lines = log.Matching("can't convert string to wstring.(err=2)");
        ASSERT_EQ(1u, lines.size()) << log.Text();
        EXPECT_NE(std::string::npos, lines[0].find("[E]"));
        EXPECT_NE(std::string::npos,
                  lines[0].find(":GL_STRING_ConvMBSToWCS:"));
        EXPECT_NE(std::string::npos, lines[0].find("] [ENU:10]can't convert"));
    }
}

TEST(GlStringConvert, IncompleteSequenceAtTheEndKeepsThePrefix) {
    TestLog log;
    EXPECT_EQ(L"ab", GL_STRING_ConvMBSToWCS("ab\xED\x95"));
    EXPECT_EQ(L"한", GL_STRING_ConvMBSToWCS("\xED\x95\x9C\xF0\x9F"));
    EXPECT_EQ("", log.Text());
}

TEST(GlStringConvert, UnrepresentableWideTextGivesEmptyAndAnErrorLine) {
    for (const wchar_t bad : {wchar_t(0xD800), wchar_t(0xDFFF), wchar_t(0x110000)}) {
        TestLog log;
        EXPECT_EQ("", GL_STRING_ConvWCSToMBS(std::wstring(L"ok") + bad));
        const auto lines = log.Matching("[ENU:10]can't convert wstring to string.(err=2)");
        ASSERT_EQ(1u, lines.size()) << log.Text();
        EXPECT_NE(std::string::npos, lines[0].find(":GL_STRING_ConvWCSToMBS:"));
    }
}

TEST(GlStringConvert, TextStopsAtItsFirstZero) {
    EXPECT_EQ(L"ab", GL_STRING_ConvMBSToWCS(std::string("ab\0cd", 5)));
    EXPECT_EQ("ab", GL_STRING_ConvWCSToMBS(std::wstring(L"ab\0cd", 5)));
}

TEST(GlStringConvert, DefaultLocaleConvertsUtf8WhateverTheEnvironment) {
    const auto& facet =
        std::use_facet<std::codecvt<wchar_t, char, std::mbstate_t>>(GL_STRING_DefaultLocale());
    EXPECT_EQ(4, facet.max_length());
    EXPECT_FALSE(facet.always_noconv());
    std::mbstate_t state{};
    const std::string text = "가나\xED\x95";
    EXPECT_EQ(6, facet.length(state, text.data(), text.data() + text.size(), 10));
    EXPECT_EQ(3, facet.length(state, text.data(), text.data() + text.size(), 1));
}

// Conversions read no environment: run the round trip where no locale is named at all.
TEST(GlStringConvert, KoreanSurvivesWithoutLocaleVariables) {
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const ProcessResult r = RunProcess(
        self, {self, "--gtest_filter=GlStringConvert.KoreanAndAstralTextRoundTrip"},
        {{"LANG", std::nullopt}, {"LC_ALL", std::nullopt}, {"LC_CTYPE", std::nullopt},
         {"LANGUAGE", std::nullopt}});
    EXPECT_EQ(0, r.exitCode) << r.out << r.err;
    EXPECT_NE(std::string::npos, r.out.find("[  PASSED  ] 1 test"));
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
    EXPECT_EQ("파일 %20 파일", GL_STRING_ReplaceAllA("파일 공백 파일", "공백", "%20"));
    // A search text that is only part of a character's bytes never matches inside it.
    EXPECT_EQ("한", GL_STRING_ReplaceAllA("한", "\xED\x95", "x"));
    EXPECT_EQ("a b c", GL_STRING_ReplaceAllA("a+b+c", "+", " "));
}
