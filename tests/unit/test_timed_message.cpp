// Caption and body of the timed message box, and what reaches the user without a display.
#include <gtest/gtest.h>

#include <cstdlib>

#include "common/os/os.h"
#include "launcher/CommandLine.h"
#include "launcher/LauncherContext.h"
#include "launcher/TimedMessage.h"

namespace {

const std::wstring kCaptionTail = L": 이 창은 잠시 후 자동으로 닫힙니다.";

TEST(BuildTimedMessage, ProgramIdLeadsTheCaption) {
    const auto box = BuildTimedMessage(L"p1", L"Vantrel Launcher", L"--PRG_ID=\"p1\"",
                                       L"/opt/z/ZEB.Launcher.exe", L"업데이트하지 못했습니다.", L"");
    EXPECT_EQ(box.caption, L"p1 - Vantrel Launcher" + kCaptionTail);
    EXPECT_EQ(box.body,
              L"업데이트하지 못했습니다.\r\n\r\nCommand line value: --PRG_ID=\"p1\""
              L"\r\n\r\nPath: /opt/z/ZEB.Launcher.exe");
}

TEST(BuildTimedMessage, UnknownProgramIdAndDetailBlock) {
    const auto box = BuildTimedMessage(L"", L"Vantrel Launcher", L"", L"/l/ZEB.Launcher.exe",
                                       L"text", L"detail %s line");
    EXPECT_EQ(box.caption, L"Vantrel Launcher" + kCaptionTail);
    // The detail is taken as it is: a "%" in it is not a format.
    EXPECT_EQ(box.body, L"text\r\n\r\ndetail %s line\r\n\r\nCommand line value: "
                        L"\r\n\r\nPath: /l/ZEB.Launcher.exe");
}

// Without a display the box goes to standard error, and it shows the context's values.
TEST(ShowTimedMessage, ShowsContextValuesWithMaskedPass) {
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    LauncherContext& ctx = Context();
    ctx.request.programId = L"p9";
    ctx.modulePath = L"/srv/런처/ZEB.Launcher.exe";
    ctx.maskedCommandLine = L"--COMP_PASS=\"hunter2\" --PRG_ID=\"p9\"";
    MaskCompanyPass(ctx.maskedCommandLine);
    testing::internal::CaptureStderr();
    ShowTimedMessage(L"알림", L"자세히");
    const std::string err = testing::internal::GetCapturedStderr();
    std::string caption, body;
    ASSERT_TRUE(os::WideToUtf8(L"p9 - Vantrel Launcher" + kCaptionTail, caption));
    ASSERT_TRUE(os::WideToUtf8(L"알림\r\n\r\n자세히\r\n\r\nCommand line value: "
                                 L"--COMP_PASS=\"*\" --PRG_ID=\"p9\"\r\n\r\nPath: "
                                 L"/srv/런처/ZEB.Launcher.exe",
                                 body));
    EXPECT_NE(err.find(caption), std::string::npos) << err;
    EXPECT_NE(err.find(body), std::string::npos) << err;
    EXPECT_EQ(err.find("hunter2"), std::string::npos);
    EXPECT_TRUE(ctx.messageBoxLookedUp);
    EXPECT_NE(ctx.messageBoxFunction, nullptr);
}

TEST(ShowTimedMessage, NothingIsShownOnceTheBoxIsKnownUnavailable) {
    LauncherContext& ctx = Context();
    ctx.messageBoxLookedUp = true;
    ctx.messageBoxFunction = nullptr;
    testing::internal::CaptureStderr();
    ShowTimedMessage(L"never shown", L"");
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err.find("never shown"), std::string::npos);
    ctx.messageBoxLookedUp = false;
}

}  // namespace
