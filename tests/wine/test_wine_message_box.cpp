// The box a person sees: the Windows launcher under Wine on a virtual display (Xvfb, Korean
// glyphs from fonts-nanum) shows "업데이트하지 못했습니다." through MessageBoxTimeoutW; the
// test finds the window by its caption, keeps a picture of it in the build folder
// (tests/wine/message-box.xwd) and waits for it to close by itself.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <optional>
#include <set>
#include <string>
#include <thread>

#include "tests/wine/support/VirtualDisplay.h"
#include "tests/wine/support/WindowsScenario.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

const std::string kUpdateFailed = "업데이트하지 못했습니다.";
const std::string kCaption = "p1 - Vantrel Launcher: 이 창은 잠시 후 자동으로 닫힙니다.";

std::optional<VirtualDisplay::Window> WaitForWindow(const VirtualDisplay& display,
                                                    std::chrono::seconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    do {
        const auto windows = display.FindWindows("Vantrel Launcher");
        if (!windows.empty()) return windows.front();
        std::this_thread::sleep_for(100ms);
    } while (std::chrono::steady_clock::now() < deadline);
    return std::nullopt;
}

bool WaitUntilGone(const VirtualDisplay& display, const std::string& id,
                   std::chrono::seconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    do {
        bool open = false;
        for (const auto& window : display.FindWindows("Vantrel Launcher")) open |= window.id == id;
        if (!open) return true;
        std::this_thread::sleep_for(100ms);
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

// Presses the box's only button, centred near its bottom edge.
bool PressOk(const VirtualDisplay& display, const VirtualDisplay::Window& box) {
    return display.Click(box, box.width / 2, box.height - 20);
}

// How many different pixel values a 32-bit X window dump holds: a box with its text drawn
// has many (anti-aliased glyphs), an empty window one or two.
size_t DistinctPixels(const std::string& xwd) {
    auto field = [&](size_t index) {
        uint32_t value = 0;
        for (size_t i = 0; i < 4; ++i)
            value = (value << 8) | static_cast<uint8_t>(xwd.at(index * 4 + i));
        return value;
    };
    const size_t headerSize = field(0), bitsPerPixel = field(11), colours = field(19);
    if (bitsPerPixel != 32) return 0;
    std::set<std::string> pixels;
    for (size_t at = headerSize + colours * 12; at + 4 <= xwd.size(); at += 4)
        pixels.insert(xwd.substr(at, 4));
    return pixels.size();
}

TEST(WineMessageBox, TheFailureBoxIsShownOnADisplayAndTheLauncherGoesOn) {
    WindowsScenario s;
    s.PlaceTool();
    s.Publish(s.PublishArchive("1.0.0"));
    ASSERT_EQ(s.Run().exitCode, 0);
    ASSERT_EQ(s.StartedVersion(), "1.0.0") << s.LogText();
    fs::remove(s.Install() / "received_args.txt");
    s.server.RemoveRelease("p1");  // the next run's update fails: the user is told
    VirtualDisplay display;
    s.prefix.Restart();  // a desktop on this display
    BackgroundProcess launcher;

    ASSERT_TRUE(s.StartRun(launcher, {}, {{"DISPLAY", display.Name()}}));

    // First the notice about the development item: not the box under test, closed at once.
    const auto notice = WaitForWindow(display, 60s);
    ASSERT_TRUE(notice) << launcher.Output();
    ASSERT_TRUE(PressOk(display, *notice));
    ASSERT_TRUE(WaitUntilGone(display, notice->id, 10s));
    // The failure is logged just before its box opens.
    ASSERT_TRUE(WaitForLauncherLog(s.ProgramData(), "[ENU:80]" + kUpdateFailed, 60s))
        << s.LogText();
    const auto box = WaitForWindow(display, 30s);
    ASSERT_TRUE(box) << launcher.Output();
    const auto found = std::chrono::steady_clock::now();
    EXPECT_EQ(box->title, kCaption);
    const fs::path picture = fs::path(ZEB_WINE_FOLDER) / "message-box.xwd";
    ASSERT_TRUE(display.SaveWindow(*box, picture));
    EXPECT_GT(DistinctPixels(ReadFileBytes(picture)), 10u) << picture;
    // What the window says: Wine's trace of the call that opened it.
    const auto calls = FindMessageBoxCalls(launcher.Output());
    ASSERT_EQ(calls.size(), 2u) << launcher.Output();
    EXPECT_EQ(calls[1].body.rfind(kUpdateFailed + "\r\n\r\nCommand line value: ", 0), 0u)
        << calls[1].body;
    EXPECT_EQ(calls[1].caption, kCaption);

    if (WaitUntilGone(display, box->id, 15s)) {
        // Found a moment after it opened: closed by itself after about 10 s.
        EXPECT_GE(std::chrono::steady_clock::now() - found, 8s);
    } else {
        // Wine 8 implements MessageBoxTimeoutW as a plain MessageBoxExW (its time-out is only
        // noted as not supported), so on a display the box waits for the user. On Windows it
        // closes after 10 s; here the test presses OK for the user.
        std::cout << "Wine limitation: the box did not close by itself; pressing OK\n";
        RecordProperty("wine_message_box_timeout", "ignored by Wine");
        ASSERT_TRUE(PressOk(display, *box));
        EXPECT_TRUE(WaitUntilGone(display, box->id, 10s));
    }

    // The launcher goes on and starts the stored program.
    EXPECT_EQ(launcher.Wait(60s), 0) << launcher.Output();
    EXPECT_EQ(s.StartedVersion(), "1.0.0") << s.LogText();
}

}  // namespace
