// System error texts on Windows come from FormatMessageW: the log carries them after the
// code, without their closing line break.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "common/GL_Debug.h"
#include "common/os/os.h"
#include "tests/support/TestLog.h"

namespace {

// The system's own text of a code, as FormatMessageW gives it.
std::wstring SystemMessage(DWORD code) {
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&text),
        0, nullptr);
    std::wstring message(text != nullptr ? text : L"", n);
    if (text != nullptr) LocalFree(text);
    return message;
}

}  // namespace

TEST(ErrorTexts, AccessDeniedIsTheSystemsTextWithItsLineBreak) {
    const std::wstring expected = SystemMessage(ERROR_ACCESS_DENIED);
    ASSERT_GT(expected.size(), 2u);
    ASSERT_EQ(expected.substr(expected.size() - 2), L"\r\n");
    std::wstring text;
    GL_DEBUG_GetErrMsg(ERROR_ACCESS_DENIED, text);
    EXPECT_EQ(text, expected);
}

TEST(ErrorTexts, TheLogLineCarriesCode5AndItsTextWithoutTheLineBreak) {
    TestLog log;
    std::wstring text = SystemMessage(ERROR_ACCESS_DENIED);
    text.resize(text.size() - 2);
    GL_LOG('E', ERROR_ACCESS_DENIED, 10, L"open");
    const auto lines = log.Lines();
    ASSERT_EQ(lines.size(), 1u) << log.Text();
    const std::string tail = "] [ENU:10]open[ENW:5]" + os::WideToUtf8Lossy(text);
    ASSERT_GE(lines[0].size(), tail.size());
    EXPECT_EQ(lines[0].substr(lines[0].size() - tail.size()), tail);
    EXPECT_EQ(log.Text().substr(log.Text().size() - tail.size() - 2), tail + "\r\n");
}

TEST(ErrorTexts, ACodeWithoutTextGetsTheLookupFailure) {
    std::wstring text;
    GL_DEBUG_GetErrMsg(0x2000FFFF, text);  // a customer code no module has a text for
    EXPECT_EQ(text, L"오류 GL_DEBUG_GetErrMsg()::FormatMessage():" +
                        std::to_wstring(ERROR_MR_MID_NOT_FOUND));
}
