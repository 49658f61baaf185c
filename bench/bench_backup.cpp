// The backup of an installation folder and its restore, by the launcher's own operations
// (as the program update and the restore after a failed one do them), against mv of the
// same tree in the same run. The tree: 20,000 files of 2 GiB in all (sparse files: a
// rename never touches file data, and mv runs on the very same files), 10,000 of them at
// the top and 10,000 in 100 folders.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "common/GL_Debug.h"
#include "launcher/BackupRestore.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

namespace {

constexpr int kTopFiles = 10000;
constexpr int kFolders = 100;
constexpr int kFilesPerFolder = 100;
constexpr int kFiles = kTopFiles + kFolders * kFilesPerFolder;
constexpr uintmax_t kTotalBytes = uintmax_t{2} << 30;
constexpr int kRounds = 5;

void MakeTree(const fs::path& root) {
    constexpr uintmax_t size = kTotalBytes / kFiles;
    auto make = [](const fs::path& file) {
        std::FILE* f = std::fopen(file.c_str(), "wb");
        if (f != nullptr) std::fclose(f);
        fs::resize_file(file, size);
    };
    fs::create_directories(root);
    for (int i = 0; i < kTopFiles; ++i) make(root / ("file" + std::to_string(i) + ".dat"));
    for (int d = 0; d < kFolders; ++d) {
        const fs::path folder = root / ("dir" + std::to_string(d));
        fs::create_directory(folder);
        for (int i = 0; i < kFilesPerFolder; ++i)
            make(folder / ("file" + std::to_string(i) + ".bin"));
    }
}

size_t CountFiles(const fs::path& root) {
    size_t n = 0;
    for (const auto& entry : fs::recursive_directory_iterator(root)) n += entry.is_regular_file();
    return n;
}

double Seconds(const std::chrono::steady_clock::duration& d) {
    return std::chrono::duration<double>(d).count();
}

template <typename F>
double Time(F&& f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return Seconds(std::chrono::steady_clock::now() - start);
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

bool Run(const std::string& command) { return std::system(command.c_str()) == 0; }

}  // namespace

int main() {
    TempDir dir;
    GL_DEBUG_SetLogFile((dir / "bench.log").wstring());
    const fs::path install = dir / "inst";
    const fs::path backup = dir / "update/p1/temp";
    const std::wstring installText = install.wstring() + L"/";
    const std::wstring backupText = backup.wstring() + L"/";
    MakeTree(install);
    std::printf("tree: %d files, %.1f GiB (sparse), %d top-level entries\n", kFiles,
                static_cast<double>(kTotalBytes) / (1u << 30), kTopFiles + kFolders);

    std::vector<double> launcherOut, launcherBack, mvOut, mvBack;
    for (int round = 0; round < kRounds; ++round) {
        launcherOut.push_back(Time([&] {
            if (!MoveInstallationToBackup(installText, backupText)) std::abort();
        }));
        launcherBack.push_back(Time([&] {
            if (RestoreAndDeleteBackupDirectory(75, backupText, installText) != 0) std::abort();
        }));
        if (fs::exists(backup) || CountFiles(install) != kFiles) std::abort();

        // The same moves with mv: into a fresh backup folder and back, then the folder goes.
        mvOut.push_back(Time([&] {
            if (!Run("mkdir -p '" + backup.string() + "' && mv '" + install.string() + "'/* '" +
                     backup.string() + "'/"))
                std::abort();
        }));
        mvBack.push_back(Time([&] {
            if (!Run("mv '" + backup.string() + "'/* '" + install.string() + "'/ && rmdir '" +
                     backup.string() + "'"))
                std::abort();
        }));
        if (fs::exists(backup) || CountFiles(install) != kFiles) std::abort();
    }

    const double lo = Median(launcherOut), lb = Median(launcherBack);
    const double mo = Median(mvOut), mb = Median(mvBack);
    std::printf("median of %d rounds     backup    restore   total\n", kRounds);
    std::printf("launcher operations   %7.3f s  %7.3f s  %7.3f s\n", lo, lb, lo + lb);
    std::printf("mv                    %7.3f s  %7.3f s  %7.3f s\n", mo, mb, mo + mb);
    std::printf("ratio launcher / mv   %7.2f    %7.2f    %7.2f   (target <= 1.20)\n", lo / mo,
                lb / mb, (lo + lb) / (mo + mb));
    return 0;
}
