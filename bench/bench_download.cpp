// Download throughput and memory: a 1 GiB file from a local HTTPS server, fetched by
// GL_INTERNET_HTTPDownloadToFileByCurl and by the curl command-line tool in the same run.
// Each client runs as a child process, so its peak resident memory is its own.
//
//   bench_download [MiB]          (default 1024)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "server/GL_Internet.h"
#include "tests/support/MeasuredRun.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestCa.h"
#include "tests/support/TestHttpsServer.h"

namespace fs = std::filesystem;

namespace {

int Fetch(const std::string& baseUrl, const std::string& localPath) {
    return GL_INTERNET_HTTPDownloadToFileByCurl(baseUrl, DownloadSetA{{localPath, "big.bin"}}, true) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--fetch") == 0) return Fetch(argv[2], argv[3]);

    const uint64_t mib = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1024;
    const uint64_t size = mib << 20;
    TrustTestCa();

    // Generated content: a 1 MiB pattern repeated, no file behind it.
    static std::string pattern(1 << 20, '\0');
    for (size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<char>((i * 131) ^ (i >> 9));
    TestHttpsServer server;
    server.Get("/big.bin", [size](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(size, "application/octet-stream",
                                 [](size_t offset, size_t length, httplib::DataSink& sink) {
                                     const size_t at = offset % pattern.size();
                                     const size_t n = std::min(length, pattern.size() - at);
                                     return sink.write(pattern.data() + at, n);
                                 });
    });
    server.Start();

    TempDir dir;
    const std::string local = (dir / "big.bin").string();
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    DownloadRace best;
    if (!RaceDownloads({self, "--fetch", server.Url(), local},
                       {"curl", "-sS", "--fail", "--cacert", GetTestCa().caCert.string(), "-o",
                        local, server.Url("/big.bin")},
                       local, size, 2, best))
        return 1;
    PrintDownloadRace("over HTTPS from 127.0.0.1", "GL_INTERNET_HTTPDownloadToFileByCurl", mib, 2,
                      best, 0.9);
    return 0;
}
