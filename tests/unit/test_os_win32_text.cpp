// The ANSI code page on Windows is the user's locale's: 949 (Korean) on the target machines
// and under the tests' Wine. What it cannot carry is an error for the conversions and the
// default character in the log file.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "common/GL_Debug.h"
#include "common/GL_File.h"
#include "common/GL_String.h"
#include "common/os/os.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestLog.h"

TEST(AnsiCodePage, IsTheKoreanOne) { EXPECT_EQ(GetACP(), 949u); }

TEST(AnsiCodePage, KoreanTakesTwoBytesACharacter) {
    TestLog log;
    EXPECT_EQ(GL_STRING_ConvWCSToMBS(L"한글 ok"), "\xC7\xD1\xB1\xDB ok");
    EXPECT_EQ(GL_STRING_ConvMBSToWCS("\xC7\xD1\xB1\xDB ok"), L"한글 ok");
    // A lead byte at the end is a character cut short: the text before it is kept.
    EXPECT_EQ(GL_STRING_ConvMBSToWCS("ok\xC7"), L"ok");
    EXPECT_EQ(log.Text(), "");
}

TEST(AnsiCodePage, TextItCannotCarryFailsTheConversionWithALine) {
    TestLog log;
    EXPECT_EQ(GL_STRING_ConvWCSToMBS(L"ok \U0001F600"), "");
    EXPECT_EQ(log.Matching("[ENU:10]can't convert wstring to string.(err=2)").size(), 1u)
        << log.Text();
    EXPECT_EQ(GL_STRING_ConvMBSToWCS("ok \xFF"), L"");
    EXPECT_EQ(log.Matching("[ENU:10]can't convert string to wstring.(err=2)").size(), 1u)
        << log.Text();
}

TEST(AnsiCodePage, TheLogFileGetsTheDefaultCharacterForWhatItCannotCarry) {
    TestLog log;
    GL_LOG('E', 0, 0, L"한글 \U0001F600 끝");
    const auto lines = log.Lines();
    ASSERT_EQ(lines.size(), 1u);
    const size_t message = lines[0].find("] 한글 ");
    ASSERT_NE(message, std::string::npos) << lines[0];
    const std::string rest = lines[0].substr(message + std::string("] 한글 ").size());
    EXPECT_EQ(rest.find_first_not_of('?'), rest.find(" 끝")) << rest;
    EXPECT_NE(rest.find(" 끝"), 0u) << rest;
}

TEST(AnsiCodePage, FileTextPassesThroughItWhenRead) {
    TempDir dir;
    WriteFileBytes(dir / "utf8.txt", "\xED\x95\x9C \xF0\x9F\x98\x80");  // "한 😀"
    std::wstring text;
    ASSERT_TRUE(GL_FILE_Read((dir / "utf8.txt").wstring(), text));
    EXPECT_EQ(text.substr(0, 2), L"한 ");
    EXPECT_EQ(text.find_first_not_of(L'?', 2), std::wstring::npos) << os::WideToUtf8Lossy(text);
    EXPECT_GT(text.size(), 2u);
}
