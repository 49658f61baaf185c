#include "tests/support/LockHolder.h"

#include <chrono>
#include <string>
#include <thread>

namespace fs = std::filesystem;

LockHolder::LockHolder(const fs::path& lockFile) {
    const fs::path ready = lockFile.string() + ".held";
    fs::create_directories(lockFile.parent_path());
    if (!process_.Start(std::string(ZEB_TEST_HELPER_DIR) + "/zeb-test-helper",
                        {"hold-lock", lockFile.string(), ready.string()}))
        return;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!fs::exists(ready) && process_.Running() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    holding_ = fs::exists(ready);
    fs::remove(ready);
}
