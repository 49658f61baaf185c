#include "tests/wine/support/VirtualDisplay.h"

#include <chrono>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <thread>

VirtualDisplay::VirtualDisplay() {
    // Xvfb picks a free display number and writes it to the descriptor named.
    if (!server_.Start(ZEB_XVFB,
                       {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"}))
        throw std::runtime_error("cannot start Xvfb");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    const std::regex number("(^|\n)([0-9]+)\n");
    while (std::chrono::steady_clock::now() < deadline) {
        std::smatch match;
        const std::string output = server_.Output();
        if (std::regex_search(output, match, number)) {
            name_ = ":" + match[2].str();
            return;
        }
        if (!server_.Running()) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    throw std::runtime_error("Xvfb did not start: " + server_.Output());
}

VirtualDisplay::~VirtualDisplay() { server_.Stop(); }

ProcessResult VirtualDisplay::Tool(const std::string& program,
                                   const std::vector<std::string>& args) const {
    return RunProcess(program, args, {{"DISPLAY", name_}, {"LC_ALL", "C.UTF-8"}},
                      std::chrono::seconds(20));
}

std::vector<VirtualDisplay::Window> VirtualDisplay::FindWindows(const std::string& text) const {
    std::vector<Window> windows;
    std::istringstream ids(Tool(ZEB_XDOTOOL, {"search", "--onlyvisible", "--name", "."}).out);
    for (std::string id; std::getline(ids, id);) {
        Window window{id, "", 0, 0};
        window.title = Tool(ZEB_XDOTOOL, {"getwindowname", id}).out;
        if (!window.title.empty() && window.title.back() == '\n') window.title.pop_back();
        if (window.title.find(text) == std::string::npos) continue;
        std::istringstream geometry(Tool(ZEB_XDOTOOL, {"getwindowgeometry", "--shell", id}).out);
        for (std::string line; std::getline(geometry, line);) {
            if (line.rfind("WIDTH=", 0) == 0) window.width = std::stoi(line.substr(6));
            if (line.rfind("HEIGHT=", 0) == 0) window.height = std::stoi(line.substr(7));
        }
        windows.push_back(window);
    }
    return windows;
}

bool VirtualDisplay::Click(const Window& window, int x, int y) const {
    return Tool(ZEB_XDOTOOL, {"mousemove", "--window", window.id, std::to_string(x),
                              std::to_string(y), "click", "1"})
               .exitCode == 0;
}

bool VirtualDisplay::SaveWindow(const Window& window, const std::filesystem::path& file) const {
    return Tool(ZEB_XWD, {"-silent", "-id", window.id, "-out", file.string()}).exitCode == 0;
}
