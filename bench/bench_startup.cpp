// Start-up in the common case (the server says everything is current, the program is
// installed): the launcher's whole run until the program has started, against curl posting
// the same request body to the same server followed by starting the same program. The
// release is signed; the launcher without keys takes it unchecked, the one built with the
// test keys checks the server's answer and its stored settings: the difference is what the
// signature checks add.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/ReleaseSigning.h"
#include "tests/support/SampleApp.h"
#include "tests/support/TestCa.h"
#include "tests/support/UpdateScenario.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Waits until the program at exe has written its record, then removes it for the next run.
bool WaitForStart(const fs::path& exe) {
    const bool started = WaitForSampleAppRecord(exe, std::chrono::seconds(10)).has_value();
    fs::remove(exe.parent_path() / "received_args.txt");
    return started;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(3, std::atoi(argv[1])) : 15;
    UpdateScenario s;
    const fs::path content = s.dir.path() / "content";
    s.MakeContent(content, "1.0.0");
    ProductInfo program = s.server.PublishProgramArchive(s.shortName, "1.0.0", content,
                                                         s.InstallFolder(), "viewer.exe");
    s.server.NameHashes(program);
    program.tool7zSha256 = FileSha256(s.ToolPath());
    s.server.PublishReleaseText(
        "p1", SignRelease("p1", program, s.server.LauncherInfo("1.0.0.0"), PublisherKey()));
    const std::vector<std::string> args = s.Args({"--COMP_ID=c1", "--COMP_PASS=secret"});
    const LauncherOptions options = s.Options();
    LauncherOptions keyedOptions = options;
    keyedOptions.executable = ZEB_KEYED_LAUNCHER_EXE;
    const fs::path exe = s.Install() / "viewer.exe";
    if (RunLauncher(args, keyedOptions).exitCode != 0 || !WaitForStart(exe)) {
        std::fprintf(stderr, "first installation failed\n");
        return 1;
    }

    // The baseline sends what the launcher sends: its last request body, from the server's
    // view, is rebuilt here from the same items.
    const fs::path body = s.dir.path() / "body.json";
    WriteFileBytes(body,
                   "{\n    \"COMP_ID\": \"c1\",\n    \"COMP_PASS\": \"secret\",\n"
                   "    \"CUST_ID\": \"\",\n    \"PC_GUID\": \"00000000-0000-4000-8000-"
                   "000000000000\",\n    \"LAUNCHER_OLD_VER\": \"1.0.0.0\",\n"
                   "    \"PRG_OLD_VER\": \"1.0.0\",\n    \"PRG_INST_OLD_VER\": \"\",\n"
                   "    \"PRG_ID\": \"p1\",\n    \"PRG_ARGS\": \"--COMP_ID=\\\"c1\\\"\",\n"
                   "    \"LAUNCH_ARGS\": \"\"\n}");
    const std::string url = s.server.BaseUrl() + "?cmd=zeb.launcher";
    EnvChanges programEnv;
    for (const auto& [name, value] : LauncherEnvironment(options)) programEnv[name] = value;

    std::vector<double> launcher, keyed, baseline;
    for (int i = 0; i < rounds; ++i) {
        auto start = Clock::now();
        RunLauncher(args, options);
        if (!WaitForStart(exe)) return 1;
        launcher.push_back(MillisecondsSince(start));

        start = Clock::now();
        RunLauncher(args, keyedOptions);
        if (!WaitForStart(exe)) return 1;
        keyed.push_back(MillisecondsSince(start));

        start = Clock::now();
        const ProcessResult curl = RunProcess(
            "/usr/bin/curl", {"-s", "-o", "/dev/null", "--cacert", GetTestCa().caCert.string(),
                              "-H", "Accept: application/json", "--data-binary",
                              "@" + body.string(), url});
        if (curl.exitCode != 0) return 1;
        RunProcess(exe.string(), {"--COMP_ID=c1"}, programEnv, std::chrono::seconds(10),
                   s.Install().string());
        if (!WaitForStart(exe)) return 1;
        baseline.push_back(MillisecondsSince(start));
    }
    const double l = Median(launcher), k = Median(keyed), b = Median(baseline);
    // Each round's two launcher runs side by side: the rounds' own load cancels out.
    std::vector<double> added;
    for (size_t i = 0; i < launcher.size(); ++i) added.push_back(keyed[i] - launcher[i]);
    std::printf("start-up until the program runs, median of %d rounds\n", rounds);
    std::printf("  launcher without keys:     %8.1f ms\n", l);
    std::printf("  launcher with keys:        %8.1f ms\n", k);
    std::printf("  curl + program start:      %8.1f ms\n", b);
    std::printf("  signature checks add:      %8.1f ms (median of the rounds' differences)\n",
                Median(added));
    std::printf("  ratio launcher/curl:       %8.2f (target <= 1.30)\n", l / b);
    std::printf("  ratio keyed launcher/curl: %8.2f\n", k / b);
    std::printf("  ratio with/without keys:   %8.2f\n", k / l);
    return 0;
}
