#pragma once
// An X display of its own (Xvfb) for a test that looks at real windows, with the tools that
// find a window by its title (xdotool), click in it and take its picture (xwd).
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"

class VirtualDisplay {
public:
    VirtualDisplay();  // throws std::runtime_error when Xvfb does not come up
    ~VirtualDisplay();
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    const std::string& Name() const { return name_; }  // ":N", the DISPLAY value

    struct Window {
        std::string id;
        std::string title;  // UTF-8
        int width = 0;
        int height = 0;
    };
    // The visible windows whose title contains text.
    std::vector<Window> FindWindows(const std::string& text) const;
    // Clicks the mouse at a point of the window (relative to its top-left corner).
    bool Click(const Window& window, int x, int y) const;
    // Saves the window's picture as an X window dump (view it with xwud -in FILE).
    bool SaveWindow(const Window& window, const std::filesystem::path& file) const;

private:
    ProcessResult Tool(const std::string& program, const std::vector<std::string>& args) const;

    BackgroundProcess server_;
    std::string name_;
};
