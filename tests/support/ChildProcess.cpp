// The parts of a background child that read its output file, the same on both platforms.
#include "tests/support/ChildProcess.h"

#include <fstream>
#include <sstream>
#include <thread>

std::string BackgroundProcess::Output() const {
    std::ifstream in(outputFile_, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool BackgroundProcess::WaitForOutput(const std::string& needle,
                                      std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (Output().find(needle) != std::string::npos) return true;
        if (!Running()) return Output().find(needle) != std::string::npos;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}
