// Caption and body of the timed message box, and when it is shown.
#include <gtest/gtest.h>

#include <chrono>

#include "common/os/os.h"
#include "launcher/CommandLine.h"
#include "launcher/LauncherContext.h"
#include "launcher/TimedMessage.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TimedBoxRecorder.h"

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

// The box shows the context's values, the company password masked.
TEST(ShowTimedMessage, ShowsContextValuesWithMaskedPass) {
    TimedBoxRecorder boxes;
    LauncherContext& ctx = Context();
    ctx.request.programId = L"p9";
    ctx.modulePath = L"/srv/런처/ZEB.Launcher.exe";
    ctx.maskedCommandLine = L"--COMP_PASS=\"hunter2\" --PRG_ID=\"p9\"";
    MaskCompanyPass(ctx.maskedCommandLine);
    ShowTimedMessage(L"알림", L"자세히");
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].caption, L"p9 - Vantrel Launcher" + kCaptionTail);
    EXPECT_EQ(boxes.Boxes()[0].body, L"알림\r\n\r\n자세히\r\n\r\nCommand line value: "
                                     L"--COMP_PASS=\"*\" --PRG_ID=\"p9\"\r\n\r\nPath: "
                                     L"/srv/런처/ZEB.Launcher.exe");
}

// The system's box is looked up at the first message; without a display it does not wait
// for its time-out (the Linux stand-in writes to standard error, Windows' box gives up).
TEST(ShowTimedMessage, FirstMessageLooksTheBoxUpAndReturnsWithoutADisplay) {
    ScopedEnv display("DISPLAY", nullptr), wayland("WAYLAND_DISPLAY", nullptr);
    LauncherContext& ctx = Context();
    ctx.messageBoxLookedUp = false;
    ctx.messageBoxFunction = nullptr;
    const auto start = std::chrono::steady_clock::now();
    ShowTimedMessage(L"알림", L"");
    EXPECT_LT(std::chrono::steady_clock::now() - start,
              std::chrono::milliseconds(kTimedMessageTimeoutMs));
    EXPECT_TRUE(ctx.messageBoxLookedUp);
    EXPECT_EQ(ctx.messageBoxFunction, os::FindTimedMessageBox());
    EXPECT_NE(ctx.messageBoxFunction, nullptr);
    ctx.messageBoxLookedUp = false;
}

TEST(ShowTimedMessage, NothingIsShownOnceTheBoxIsKnownUnavailable) {
    TimedBoxRecorder boxes;
    LauncherContext& ctx = Context();
    ctx.messageBoxFunction = nullptr;  // looked up and found missing
    ShowTimedMessage(L"never shown", L"");
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_EQ(ctx.messageBoxFunction, nullptr);  // not looked up again
}

}  // namespace
