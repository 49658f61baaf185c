// Prerequisite installers fetched over HTTPS and run as real processes: small installer
// programs that raise (or fail to raise) the .NET release in the registry stand-in.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdlib>

#include <filesystem>
#include <optional>
#include <string>

#include "launcher/LauncherContext.h"
#include "launcher/MinSpec.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/StandInRegistry.h"
#include "tests/support/StderrCapture.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestCa.h"
#include "tests/support/TestHttpsServer.h"
#include "tests/support/TestLog.h"
#include "tests/support/TestRegistry.h"
#include "tests/support/UpdateServerFixture.h"

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kThirtyMinutes = 30 * 60 * 1000;
const std::string kDotNetKey = "SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v4\\Full";

class Prerequisites : public ::testing::Test {
protected:
    Prerequisites() {
        TrustTestCa();
        savedFolder_ = Context().prerequisitesFolder;
        Context().prerequisitesFolder = (dir_ / "_update/3rd/").wstring();
    }
    ~Prerequisites() override {
        Context().prerequisitesFolder = savedFolder_;
        SetPrerequisiteWaitForTesting(kThirtyMinutes);
    }

    // An installer that records each run's arguments (one line per run, appended) and,
    // when asked, leaves a .NET release behind.
    std::string Installer(const std::string& name, std::optional<int> release,
                          int exitCode = 0) const {
        const fs::path record = dir_ / (name + ".runs");
        std::string script = "#!/bin/sh\necho \"$*\" >> '" + record.string() + "'\n";
        if (release) {
            const fs::path key = RegistryKeyFolder(kDotNetKey);
            script += "mkdir -p '" + key.string() + "'\n";
            script += "printf '{\"Release\": " + std::to_string(*release) + "}' > '" +
                      (key / "values.json").string() + "'\n";
        }
        return script + "exit " + std::to_string(exitCode) + "\n";
    }
    // An installer that records its process id, may raise the .NET release, and then does
    // not end.
    std::string HangingInstaller(const std::string& name, std::optional<int> release) const {
        std::string script = Installer(name, release);
        script.resize(script.rfind("exit "));
        return script + "echo $$ > '" + (dir_ / (name + ".pid")).string() + "'\nexec sleep 600\n";
    }
    // Ends the hanging installer; false when it was no longer running.
    bool EndHangingInstaller(const std::string& name) const {
        const int pid = std::atoi(ReadFileBytes(dir_ / (name + ".pid")).c_str());
        const bool running = ProcessAlive(pid);
        if (pid > 0) kill(pid, SIGKILL);
        return running;
    }
    std::string Runs(const std::string& name) const { return ReadFileBytes(dir_ / (name + ".runs")); }
    std::wstring Url(const std::string& path) const {
        const std::string url = https_.Url(path);
        return std::wstring(url.begin(), url.end());
    }
    size_t RequestsFor(const std::string& path) const {
        size_t count = 0;
        for (const RecordedRequest& request : https_.Requests())
            if (request.path == path) ++count;
        return count;
    }
    bool Shown(const std::string& message) const {
        return CountOf(stderr_.Text(), "] " + message + "\r\n\r\nCommand line value:") == 1;
    }
    std::wstring DotNetSpec(const std::string& version, const std::string& path) const {
        const std::string url = https_.Url(path);
        const std::string text = "{\"DOTNET_FX\": {\"ENABLED\": \"true\", \"VER\": \"" + version +
                                 "\", \"URL\": \"" + url + "\"}}";
        return std::wstring(text.begin(), text.end());
    }

    TempDir dir_;
    TestLog log_;
    StderrCapture stderr_;
    TestHttpsServer https_;
    std::wstring savedFolder_;
};

TEST_F(Prerequisites, RecentEnoughDotNetFetchesNothing) {
    WriteRegistryKey(kDotNetKey, R"({"Release": 461808})");
    https_.Serve("/fx/setup.exe", 200, Installer("fx", 528040));
    https_.Start();
    EXPECT_TRUE(CheckMinSpec(DotNetSpec("4.7.1", "/fx/setup.exe")));
    EXPECT_TRUE(https_.Requests().empty());
    EXPECT_FALSE(fs::exists(dir_ / "_update/3rd/dotnet_fx"));
}

TEST_F(Prerequisites, MissingDotNetIsInstalledAndRaised) {
    https_.Serve("/fx/setup.exe", 200, Installer("fx", 528040));
    https_.Start();
    ASSERT_TRUE(CheckMinSpec(DotNetSpec("4.8", "/fx/setup.exe"))) << log_.Text();
    EXPECT_EQ(RequestsFor("/fx/setup.exe"), 1u);
    EXPECT_EQ(Runs("fx"), "/norestart /quiet\n");
    const fs::path installer = dir_ / "_update/3rd/dotnet_fx/dotnet_fx_4.8.exe";
    EXPECT_TRUE(fs::exists(installer));  // installers stay where they were fetched
    EXPECT_EQ(log_.Matching("닷넷 프레임워크 설치중...(최대 몇 분이상 걸림)\r\n" +
                            installer.string() + ")")
                  .size(),
              1u)
        << log_.Text();
    EXPECT_EQ(log_.Matching("] 닷넷 프레임워크 설치완료)").size(), 1u) << log_.Text();
    EXPECT_EQ(GetDotNetVersion(), L"4.8");
}

TEST_F(Prerequisites, InstallerThatDoesNotRaiseTheReleaseFails) {
    WriteRegistryKey(kDotNetKey, R"({"Release": 393295})");
    https_.Serve("/fx/old.exe", 200, Installer("fx", 394802));
    https_.Start();
    EXPECT_EQ(InstallDotNetFramework(L"4.7", Url("/fx/old.exe"), L""), 50);
    EXPECT_EQ(Runs("fx"), "/norestart /quiet\n");
    const std::string installer = (dir_ / "_update/3rd/dotnet_fx/dotnet_fx_4.7.exe").string();
    EXPECT_EQ(log_.Matching("[ENU:50]닷넷 프레임워크 설치 실패\r\n" + installer + ")").size(), 1u)
        << log_.Text();

    EXPECT_FALSE(CheckMinSpec(DotNetSpec("4.7", "/fx/old.exe")));
    EXPECT_EQ(log_.Matching("[ENU:6]닷넷 버전확인/설치 실패(4.7)").size(), 1u) << log_.Text();
    EXPECT_TRUE(Shown("닷넷 버전확인/설치 실패(4.7)")) << stderr_.Text();
}

TEST_F(Prerequisites, MissingInstallerOnTheServerIsADownloadFailure) {
    https_.Start();
    EXPECT_EQ(InstallDotNetFramework(L"4.8", Url("/fx/none.exe"), L""), 20);
    EXPECT_EQ(log_.Matching("[ENU:20]닷넷 프레임워크 다운로드 실패(4.8)").size(), 1u) << log_.Text();
    EXPECT_FALSE(fs::exists(dir_ / "_update/3rd/dotnet_fx/dotnet_fx_4.8.exe"));
}

TEST_F(Prerequisites, RedistributableIsFetchedAndRunOnEveryCheck) {
    WriteRegistryKey(kDotNetKey, R"({"Release": 528040})");
    // Its exit code is not read: a failing one still counts as installed.
    https_.Serve("/vc/vc_redist.x86.exe", 200, Installer("vc", std::nullopt, 1));
    https_.Start();
    const std::string text = "{\"DOTNET_FX\": {\"VER\": \"4.8\", \"URL\": \"" +
                             https_.Url("/fx/unused.exe") +
                             "\"}, \"VC_REDIST\": {\"ENABLED\": \"true\", \"VER\": \"14.38\", "
                             "\"URL\": \"" + https_.Url("/vc/vc_redist.x86.exe?v=14") + "\"}}";
    const std::wstring spec(text.begin(), text.end());
    ASSERT_TRUE(CheckMinSpec(spec)) << log_.Text();
    ASSERT_TRUE(CheckMinSpec(spec)) << log_.Text();
    EXPECT_EQ(RequestsFor("/vc/vc_redist.x86.exe"), 2u);
    EXPECT_EQ(RequestsFor("/fx/unused.exe"), 0u);
    EXPECT_EQ(Runs("vc"), "/norestart /quiet\n/norestart /quiet\n");
    EXPECT_TRUE(fs::exists(dir_ / "_update/3rd/vc_redist/vc_redist.x86.14.38.exe"));
    EXPECT_EQ(log_.Matching("] VC_REDIST 설치완료)").size(), 2u) << log_.Text();
}

TEST_F(Prerequisites, DisabledRedistributableIsLeftAlone) {
    https_.Serve("/vc/setup.exe", 200, Installer("vc", std::nullopt));
    https_.Start();
    const std::string url = https_.Url("/vc/setup.exe");
    for (const std::string enabled : {"\"false\"", "\"TRUE\"", "\"\""}) {
        const std::string text = "{\"DOTNET_FX\": {\"ENABLED\": \"false\"}, \"VC_REDIST\": "
                                 "{\"ENABLED\": " + enabled + ", \"VER\": \"14\", \"URL\": \"" +
                                 url + "\"}}";
        EXPECT_TRUE(CheckMinSpec(std::wstring(text.begin(), text.end()))) << enabled;
    }
    EXPECT_TRUE(https_.Requests().empty());
}

TEST_F(Prerequisites, InstallerStillRunningAfterTheWaitIsLeftAndTheLauncherGoesOn) {
    SetPrerequisiteWaitForTesting(2000);
    https_.Serve("/fx/hang.exe", 200, HangingInstaller("fx", 528040));
    https_.Serve("/vc/hang.exe", 200, HangingInstaller("vc", std::nullopt));
    https_.Start();

    // The .NET installer raised the release before it hung: the release counts.
    EXPECT_EQ(InstallDotNetFramework(L"4.8", Url("/fx/hang.exe"), L""), 0) << log_.Text();
    EXPECT_TRUE(EndHangingInstaller("fx"));
    const std::string dotNet = (dir_ / "_update/3rd/dotnet_fx/dotnet_fx_4.8.exe").string();
    EXPECT_EQ(log_.Matching("[ENU:40]닷넷 프레임워크 설치파일 실행실패\r\n" + dotNet + ")").size(),
              1u)
        << log_.Text();
    EXPECT_EQ(log_.Matching("] 닷넷 프레임워크 설치완료)").size(), 1u) << log_.Text();

    // Nothing tells whether the redistributable is in place.
    EXPECT_EQ(InstallVcRedist(L"14", Url("/vc/hang.exe"), L""), 40);
    EXPECT_TRUE(EndHangingInstaller("vc"));
    const std::string redist = (dir_ / "_update/3rd/vc_redist/vc_redist.x86.14.exe").string();
    EXPECT_EQ(log_.Matching("[ENU:40]VC_REDIST 설치파일 실행실패\r\n" + redist + ")").size(), 1u)
        << log_.Text();
    EXPECT_TRUE(log_.Matching("VC_REDIST 설치완료").empty()) << log_.Text();
}

TEST_F(Prerequisites, InstallerThatCannotBeStartedIsReported) {
    https_.Serve("/vc/broken.exe", 200, "this is no program");
    https_.Start();
    EXPECT_EQ(InstallVcRedist(L"14", Url("/vc/broken.exe"), L""), 30);
    const std::string installer = (dir_ / "_update/3rd/vc_redist/vc_redist.x86.14.exe").string();
    EXPECT_EQ(log_.Matching("[ENU:30]VC_REDIST 설치파일 실행실패\r\n" + installer + ")").size(), 1u)
        << log_.Text();
}

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

TEST_F(Prerequisites, InstallersMatchingTheirHashesAreRun) {
    const std::string dotNet = Installer("fx", 528040);
    const std::string redist = Installer("vc", std::nullopt);
    https_.Serve("/fx/setup.exe", 200, dotNet);
    https_.Serve("/vc/setup.exe", 200, redist);
    https_.Start();
    const std::string text = "{\"DOTNET_FX\": {\"VER\": \"4.8\", \"URL\": \"" +
                             https_.Url("/fx/setup.exe") + "\", \"SHA256\": \"" +
                             Sha256Hex(dotNet) + "\"}, \"VC_REDIST\": {\"ENABLED\": \"true\", "
                             "\"VER\": \"14\", \"URL\": \"" + https_.Url("/vc/setup.exe") +
                             "\", \"SHA256\": \"" + Sha256Hex(redist) + "\"}}";
    ASSERT_TRUE(CheckMinSpec(Wide(text))) << log_.Text();
    EXPECT_EQ(Runs("fx"), "/norestart /quiet\n");
    EXPECT_EQ(Runs("vc"), "/norestart /quiet\n");
}

// An installer of the right size with one byte changed: deleted, never run, and the
// minimum specification is not met.
TEST_F(Prerequisites, InstallersWithOtherBytesAreDeletedAndNeverRun) {
    const std::string dotNet = Installer("fx", 528040);
    std::string tampered = dotNet;
    tampered[tampered.rfind("exit 0")] = 'E';  // still runs, and would record its run
    https_.Serve("/fx/setup.exe", 200, tampered);
    https_.Serve("/vc/setup.exe", 200, tampered);
    https_.Start();

    EXPECT_EQ(InstallDotNetFramework(L"4.8", Url("/fx/setup.exe"), Wide(Sha256Hex(dotNet))), 25);
    EXPECT_EQ(log_.Matching("[ENU:25]닷넷 프레임워크 설치파일 해시 불일치(4.8)").size(), 1u)
        << log_.Text();
    EXPECT_FALSE(fs::exists(dir_ / "_update/3rd/dotnet_fx/dotnet_fx_4.8.exe"));
    EXPECT_EQ(InstallVcRedist(L"14", Url("/vc/setup.exe"), Wide(Sha256Hex(dotNet))), 25);
    EXPECT_EQ(log_.Matching("[ENU:25]VC_REDIST 설치파일 해시 불일치(14)").size(), 1u) << log_.Text();
    EXPECT_FALSE(fs::exists(dir_ / "_update/3rd/vc_redist/vc_redist.x86.14.exe"));

    const std::string text = "{\"DOTNET_FX\": {\"VER\": \"4.8\", \"URL\": \"" +
                             https_.Url("/fx/setup.exe") + "\", \"SHA256\": \"" +
                             Sha256Hex(dotNet) + "\"}}";
    EXPECT_FALSE(CheckMinSpec(Wide(text)));
    EXPECT_TRUE(Shown("닷넷 버전확인/설치 실패(4.8)")) << stderr_.Text();
    EXPECT_EQ(RequestsFor("/fx/setup.exe"), 2u);
    EXPECT_EQ(Runs("fx"), "");
    EXPECT_EQ(GetDotNetVersion(), L"");
}

}  // namespace
