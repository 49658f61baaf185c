// FTP download throughput and memory: a 1 GiB file from a local vsftpd, fetched by
// GL_FTP_Function and by the curl command-line tool in the same run. Each client runs as a
// child process, so its peak resident memory is its own.
//
//   bench_ftp [MiB]          (default 1024)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/GL_Debug.h"
#include "server/GL_InternetFtp.h"
#include "tests/support/FtpServerFixture.h"
#include "tests/support/MeasuredRun.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

namespace {

int Fetch(int port, const std::string& localPath, const std::string& logFile) {
    GL_DEBUG_SetLogFile(fs::path(logFile).wstring());
    const DownloadSet files = {{fs::path(localPath).wstring(), L"big.bin"}};
    return GL_FTP_Function(L"ftp://127.0.0.1", port, L"anonymous", L"", true, nullptr, files) ? 0
                                                                                             : 1;
}

void WriteBigFile(const fs::path& path, uint64_t size) {
    std::string pattern(1 << 20, '\0');
    for (size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<char>((i * 131) ^ (i >> 9));
    std::ofstream out(path, std::ios::binary | std::ios::app);
    for (uint64_t written = 0; written < size; written += pattern.size())
        out.write(pattern.data(), static_cast<std::streamsize>(std::min<uint64_t>(pattern.size(), size - written)));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "--fetch") == 0)
        return Fetch(std::atoi(argv[2]), argv[3], argv[4]);

    const uint64_t mib = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1024;
    const uint64_t size = mib << 20;

    FtpServerFixture server;
    WriteBigFile(server.AddFile("big.bin", std::string()), size);

    TempDir dir;
    const std::string local = (dir / "big.bin").string();
    const std::string log = (dir / "bench.log").string();
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    const std::string url = "ftp://127.0.0.1:" + std::to_string(server.port()) + "/big.bin";
    DownloadRace best;
    if (!RaceDownloads({self, "--fetch", std::to_string(server.port()), local, log},
                       {"curl", "-sS", "-o", local, url}, local, size, 2, best))
        return 1;
    PrintDownloadRace("over FTP from vsftpd on 127.0.0.1", "GL_FTP_Function", mib, 2, best, 0.8);
    return 0;
}
