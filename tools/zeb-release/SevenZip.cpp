#include "tools/zeb-release/SevenZip.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

// Runs program with args in folder and waits; its exit code, or -1 (error set).
int RunIn(const fs::path& folder, const std::vector<std::string>& args, std::string& error) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int started = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0) {
        error = "cannot start " + args[0] + ": " + std::strerror(started);
        return -1;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            error = "cannot wait for " + args[0] + ": " + std::strerror(errno);
            return -1;
        }
    }
    if (!WIFEXITED(status)) {
        error = args[0] + " ended by signal " + std::to_string(WTERMSIG(status));
        return -1;
    }
    return WEXITSTATUS(status);
}

}  // namespace

bool PackFolder(const std::string& sevenZip, const fs::path& folder, const fs::path& archive,
                std::string& error) {
    std::error_code ec;
    fs::remove(archive, ec);
    fs::create_directories(archive.parent_path(), ec);
    if (ec) {
        error = "cannot make the folder " + archive.parent_path().string() + ": " + ec.message();
        return false;
    }
    // "*" is 7-Zip's own pattern: every entry of the folder, hidden ones included.
    const int code = RunIn(folder, {sevenZip, "a", "-t7z", "-bd", "-bso0", "-bsp0",
                                    fs::absolute(archive).string(), "*"},
                           error);
    if (code < 0) return false;
    if (code != 0 || !fs::is_regular_file(archive, ec)) {
        error = sevenZip + " failed (exit code " + std::to_string(code) + ") packing " +
                folder.string();
        return false;
    }
    return true;
}
