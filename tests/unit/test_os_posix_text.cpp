// The Linux stand-ins' text and data folder: the ANSI code page is UTF-8 whatever the locale
// variables say, and the common application-data folder comes from ProgramData.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <locale>
#include <optional>
#include <string>

#include "common/GL_Debug.h"
#include "common/GL_DebugTesting.h"
#include "common/GL_Directory.h"
#include "common/GL_File.h"
#include "common/GL_String.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/StderrCapture.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestLog.h"

namespace {

// One variable set to raw bytes (ScopedEnv takes text) for a scope.
class EnvVar {
public:
    EnvVar(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        setenv(name, value, 1);
    }
    ~EnvVar() {
        if (old_) setenv(name_, old_->c_str(), 1);
        else unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

// Runs one test of this program again where no locale is named at all.
void ExpectPassesWithoutLocaleVariables(const std::string& test) {
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const ProcessResult r = RunProcess(
        self, {self, "--gtest_filter=" + test},
        {{"LANG", std::nullopt}, {"LC_ALL", std::nullopt}, {"LC_CTYPE", std::nullopt},
         {"LANGUAGE", std::nullopt}});
    EXPECT_EQ(0, r.exitCode) << r.out << r.err;
    EXPECT_NE(std::string::npos, r.out.find("[  PASSED  ] 1 test"));
}

}  // namespace

// ---- GL_String over UTF-8 ---------------------------------------------------------------

TEST(GlStringConvert, KoreanAndAstralTextRoundTrip) {
    TestLog log;
    const std::string narrow = "업데이트하지 못했습니다. \xF0\x9F\x98\x80 ok";
    const std::wstring wide = GL_STRING_ConvMBSToWCS(narrow);
    EXPECT_EQ(std::wstring(L"업데이트하지 못했습니다. ") + wchar_t(0x1F600) + L" ok", wide);
    EXPECT_EQ(narrow, GL_STRING_ConvWCSToMBS(wide));
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

TEST(FileConvert, AnsiToUtf16CountsSurrogatePairs) {
    const std::string ansi = "A\xF0\x9F\x98\x80";  // 'A' and one character beyond 16 bits
    uint8_t* out = nullptr;
    uint32_t n = GL_FILE_ConvertEncoding(ENC_ANSI, ENC_UTF16BE,
                                         reinterpret_cast<const uint8_t*>(ansi.data()),
                                         static_cast<uint32_t>(ansi.size()), &out, true);
    EXPECT_EQ(n, (3u + 1u) * 2u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), n),
              std::string("\xFE\xFF\x00\x41\xD8\x3D\xDE\x00", 8));
    delete[] out;
}

// Read text passes through the ANSI code page, UTF-8 here: a character beyond 16 bits
// survives from UTF-8 and from UTF-16 (a surrogate pair) alike.
TEST(StandInFile, TextBeyondSixteenBitsSurvivesReading) {
    TempDir dir;
    WriteFileBytes(dir / "utf8.txt", "a\xF0\x9F\x98\x80");
    WriteFileBytes(dir / "le.txt", std::string("\xFF\xFE" "a\0" "\x3D\xD8\x00\xDE", 8));
    for (const char* name : {"utf8.txt", "le.txt"}) {
        std::wstring read;
        ASSERT_TRUE(GL_FILE_Read((dir / name).wstring(), read)) << name;
        EXPECT_EQ(read, L"a\U0001F600") << name;
    }
}

// Conversions read no environment: the round trip where no locale is named at all.
TEST(GlStringConvert, KoreanSurvivesWithoutLocaleVariables) {
    ExpectPassesWithoutLocaleVariables("GlStringConvert.KoreanAndAstralTextRoundTrip");
}

// ---- the log over the stand-ins -----------------------------------------------------------

TEST(StandInLog, KoreanTextIsUtf8InFileAndOnStandardError) {
    TestLog log;
    StderrCapture err;
    GL_LOG('E', 0, 0, L"%s 완료 %d", std::wstring(L"업데이트"), 3);
    const std::string text = log.Text();
    EXPECT_NE(std::string::npos, text.find("] 업데이트 완료 3\r\n"));
    EXPECT_EQ("Error: " + text, err.Text());
}

TEST(StandInLog, KoreanSurvivesWithoutLocaleVariables) {
    ExpectPassesWithoutLocaleVariables("StandInLog.KoreanTextIsUtf8InFileAndOnStandardError");
}

TEST(StandInLog, UnresolvableDataFolderLeavesOnlyTheDebuggerOutput) {
    // A ProgramData without a UTF-8 form: the data folder has no path.
    EnvVar data("ProgramData", "/tmp/\xff\xfe");
    GL_DEBUG_ResetForTesting();
    StderrCapture err;
    EXPECT_EQ(10, GL_DEBUG_Log(L"", 'E', L"a.cpp", L"F", 1, 0, 10, L"first"));
    EXPECT_EQ(11, GL_DEBUG_Log(L"", 'E', L"a.cpp", L"F", 2, 0, 11, L"second"));
    EXPECT_EQ(0, GL_DEBUG_Log(L"", 'D', L"a.cpp", L"F", 3, 0, 0, L"silent"));
    const std::string text = err.Text();
    EXPECT_EQ(1u, CountOf(text, ":_dbg_DIRECTORY_Get:"));
    EXPECT_EQ(1u, CountOf(text, "[ENU:20]SHGetPathFromIDList() 실패(23)[ENW:" +
                                    std::to_string(EILSEQ) + "]"));
    EXPECT_EQ(1u, CountOf(text, "] [ENU:10]first\r\n"));
    EXPECT_EQ(1u, CountOf(text, "] [ENU:11]second\r\n"));
    EXPECT_EQ(std::string::npos, text.find("silent"));
    EXPECT_EQ(std::string::npos, text.find("GLDebugMsg"));
    EXPECT_TRUE(GL_DEBUG_GetLogFile().empty());
    GL_DEBUG_ResetForTesting();
}

// ---- the data folder -----------------------------------------------------------------------

TEST(StandInDataFolder, DataDirFollowsProgramData) {
    TempDir root;
    {
        ScopedEnv env("ProgramData", root.path().c_str());
        wchar_t buffer[260] = {};
        ASSERT_TRUE(GL_DIRECTORY_Get(buffer));
        EXPECT_EQ(std::wstring(buffer), root.wpath());
        EXPECT_EQ(GL_DIRECTORY_GetDataDir(), root.wpath() + L"/Vantrel/");
    }
    ScopedEnv env("ProgramData", "");
    EXPECT_EQ(GL_DIRECTORY_GetDataDir(), L"/var/lib/Vantrel/");
}
