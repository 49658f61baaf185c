// The launcher built with the test publisher's keys against the real update server: it
// installs what the publisher signed, and nothing else. Releases that are not what was
// signed are refused like a server failure; files that are not the ones a release names
// (one byte changed, same size) are deleted and never run; the installed program still
// starts. The launcher without keys checks every hash a release names as well.
#include <gtest/gtest.h>
#include <rapidjson/document.h>
#include <rapidjson/pointer.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tests/support/MessageBoxes.h"
#include "tests/support/ReleaseSigning.h"
#include "tests/support/SampleApp.h"
#include "tests/support/UpdateScenario.h"

namespace fs = std::filesystem;

namespace {

const std::string kUpdateFailed = "업데이트하지 못했습니다.";
const std::string kBom = "\xEF\xBB\xBF";

// A JSON text edited as a document.
std::string Edited(const std::string& text, const std::function<void(rapidjson::Document&)>& edit) {
    rapidjson::Document document;
    document.Parse(text.c_str());
    EXPECT_FALSE(document.HasParseError()) << text;
    edit(document);
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    document.Accept(writer);
    return std::string(buffer.GetString(), buffer.GetSize());
}

void SetText(rapidjson::Document& document, const char* pointer, const std::string& value) {
    rapidjson::Pointer(pointer).Set(document, value.c_str());
}

std::string WithOneByteChanged(std::string bytes) {
    bytes[bytes.size() / 2] ^= 0x01;
    return bytes;
}

// Every file below folder with its bytes.
std::map<std::string, std::string> Snapshot(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files[entry.path().lexically_relative(folder).string()] = ReadFileBytes(entry.path());
    return files;
}

class SignedReleases : public ::testing::Test {
protected:
    void SetUp() override {
        // The 7-Zip tool: Debian's 7zz behind a script that notes each of its runs.
        toolRuns = s.dir.path() / "tool.runs";
        tool = "#!/bin/sh\necho run >> '" + toolRuns.string() + "'\nexec '" + Find7zz().string() +
               "' \"$@\"\n";
        s.SetTool(tool);
    }

    LauncherOptions Keyed() const {
        LauncherOptions options = s.Options();
        options.executable = ZEB_KEYED_LAUNCHER_EXE;
        return options;
    }
    ProcessResult Run(const LauncherOptions& options) { return RunLauncher(s.Args(), options); }
    ProcessResult Run() { return Run(Keyed()); }

    // The program's archive for version on the server, with every hash the release names.
    ProductInfo Version(const std::string& version) {
        const fs::path content = s.dir.path() / ("content-" + version);
        s.MakeContent(content, version);
        ProductInfo program = s.server.PublishProgramArchive(s.shortName, version, content,
                                                             s.InstallFolder(), "viewer.exe");
        s.server.NameHashes(program);
        program.tool7zSha256 = Sha256Hex(tool);
        return program;
    }
    ProductInfo Launcher() { return s.server.LauncherInfo(BuiltLauncherVersion()); }
    std::string Signed(const ProductInfo& program, const fs::path& key = PublisherKey()) {
        return SignRelease("p1", program, Launcher(), key);
    }
    void PublishSigned(const ProductInfo& program, const fs::path& key = PublisherKey()) {
        s.server.PublishReleaseText("p1", Signed(program, key));
    }

    // Version 1.0.0 installed through a signed release; the settings it left are kept.
    void InstallFirstVersion() {
        PublishSigned(Version("1.0.0"));
        const ProcessResult run = Run();
        ASSERT_EQ(run.exitCode, 0) << run.err;
        ASSERT_EQ(s.StartedVersion(), "1.0.0") << ReadLauncherLog(s.ProgramData());
        installed = Snapshot(s.Install());
        settings = ReadFileBytes(s.SettingsFile());
        fs::remove(toolRuns);
    }

    // After a refused update: the old version untouched and started, the user told, the
    // settings of the last update kept, the tool not run.
    void ExpectTheOldVersionStarted(const ProcessResult& run) {
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_TRUE(ShownBox(run.err, kUpdateFailed)) << run.err;
        EXPECT_EQ(s.StartedVersion(), "1.0.0") << ReadLauncherLog(s.ProgramData());
        EXPECT_EQ(Snapshot(s.Install()), installed);
        EXPECT_EQ(ReadFileBytes(s.SettingsFile()), settings);
        EXPECT_FALSE(fs::exists(toolRuns)) << "the 7-Zip tool was run";
    }
    size_t Requests(const std::string& path) const {
        size_t count = 0;
        for (const std::string& line : s.server.RequestLines())
            count += line.find("GET /" + path + " ") == 0;
        return count;
    }
    std::string PackagePath(const std::string& version) const {
        return "files/" + s.shortName + "/" + version + "/" + s.shortName + ".7z";
    }
    fs::path Downloaded(const std::string& version) const {
        return s.Root() / "_update" / s.shortName / "download" / version / (s.shortName + ".7z");
    }

    UpdateScenario s;
    std::string tool;
    fs::path toolRuns;
    std::map<std::string, std::string> installed;
    std::string settings;
};

TEST_F(SignedReleases, ASignedReleaseIsInstalledAndItsStoredCopyStartsTheProgramLater) {
    s.EnableDebugLog();
    PublishSigned(Version("1.0.0"));

    const ProcessResult run = Run();

    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(s.StartedVersion(), "1.0.0") << ReadLauncherLog(s.ProgramData());
    EXPECT_EQ(ReadFileBytes(toolRuns), "run\n");
    const std::string verified = "릴리스 서명 확인(키: " + KeyIdOf(PublisherKey()) + ")";
    EXPECT_EQ(s.Log(verified).size(), 1u) << ReadLauncherLog(s.ProgramData());
    EXPECT_FALSE(ShownBox(run.err, kUpdateFailed)) << run.err;
    // The stored settings carry the signature, and still verify without the server.
    const std::string stored = ReadFileBytes(s.SettingsFile());
    EXPECT_NE(stored.find("\"RELEASE_SIGNATURE\""), std::string::npos) << stored;
    s.server.Stop();
    ASSERT_EQ(Run().exitCode, 0);
    EXPECT_EQ(s.StartedVersion(), "1.0.0") << ReadLauncherLog(s.ProgramData());
    EXPECT_EQ(s.Log(verified).size(), 2u);
    EXPECT_TRUE(s.Log("[ENU:25]").empty()) << ReadLauncherLog(s.ProgramData());
}

TEST_F(SignedReleases, AReleaseSignedWithTheKeyRotatedInIsAccepted) {
    s.EnableDebugLog();
    PublishSigned(Version("1.0.0"), RotatedKey());
    ASSERT_EQ(Run().exitCode, 0);
    EXPECT_EQ(s.StartedVersion(), "1.0.0") << ReadLauncherLog(s.ProgramData());
    EXPECT_EQ(s.Log("릴리스 서명 확인(키: " + KeyIdOf(RotatedKey()) + ")").size(), 1u);
}

TEST_F(SignedReleases, ReleasesThatAreNotWhatThePublisherSignedAreRefused) {
    InstallFirstVersion();
    // A key of nobody's build, made as a publisher makes one.
    const fs::path stranger = s.dir.path() / "stranger.pem";
    const ProcessResult keygen = RunProcess(ZEB_RELEASE_EXE, {"keygen", "--private", stranger.string(),
                                            "--public", (s.dir.path() / "stranger.pub.json").string()});
    ASSERT_EQ(keygen.exitCode, 0) << keygen.err;
    const std::string publisherId = KeyIdOf(PublisherKey());
    const ProductInfo next = Version("1.1.0");
    const std::string signedNext = Signed(next);
    struct Case {
        std::string what;
        std::string document;
        std::string logLine;  // VerifyReleaseSignature's line
    };
    const std::vector<Case> cases = {
        {"unsigned", "{\"UPDATE_PRG_INFO\":" + next.ToJson() + ",\"UPDATE_LAUNCHER_INFO\":" +
                         Launcher().ToJson() + "}",
         "[ENU:5]릴리스 서명 항목 없음: SIGNED_RELEASE"},
        {"a key the build does not know", Signed(next, stranger),
         "[ENU:25]알 수 없는 서명 키: " + KeyIdOf(stranger)},
        {"another key under the publisher's id",
         Edited(Signed(next, stranger),
                [&](rapidjson::Document& d) { SetText(d, "/RELEASE_SIGNATURE/KEY_ID", publisherId); }),
         "[ENU:30]릴리스 서명 검증 실패(키: " + publisherId + ")"},
        {"a signature over other bytes",
         Edited(signedNext,
                [](rapidjson::Document& d) {
                    std::string text = d["SIGNED_RELEASE"].GetString();
                    text.replace(text.find("viewer.exe"), 10, "viewer.com");
                    SetText(d, "/SIGNED_RELEASE", text);
                    SetText(d, "/UPDATE_PRG_INFO/RUN_EXE_NAME", "viewer.com");
                }),
         "[ENU:30]릴리스 서명 검증 실패(키: " + publisherId + ")"},
        {"an outer member changed after signing",
         Edited(signedNext,
                [](rapidjson::Document& d) {
                    SetText(d, "/UPDATE_PRG_INFO/SVR_URL", "https://127.0.0.1:1/");
                }),
         "[ENU:50]서명 후 변경된 항목: /UPDATE_PRG_INFO/SVR_URL"},
        {"a truncated signature",
         Edited(signedNext,
                [](rapidjson::Document& d) {
                    const std::string sig = d["RELEASE_SIGNATURE"]["SIG"].GetString();
                    SetText(d, "/RELEASE_SIGNATURE/SIG", sig.substr(0, sig.size() - 2));
                }),
         "[ENU:15]릴리스 서명 길이 오류(63바이트)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        s.server.PublishReleaseText("p1", c.document);
        const size_t before = s.Log(c.logLine).size();
        const size_t refusedBefore = s.Log("[ENU:50]서버 업데이트 정보 서명 검증 실패").size();

        const ProcessResult run = Run();

        const auto refusal = s.Log(c.logLine);
        ASSERT_EQ(refusal.size(), before + 1) << ReadLauncherLog(s.ProgramData());
        EXPECT_EQ(refusal.back().function, "VerifyReleaseSignature");
        EXPECT_EQ(s.Log("[ENU:50]서버 업데이트 정보 서명 검증 실패").size(), refusedBefore + 1);
        ExpectTheOldVersionStarted(run);
        EXPECT_EQ(Requests(PackagePath("1.1.0")), 0u);
    }
}

TEST_F(SignedReleases, StoredSettingsChangedAfterTheUpdateStartNothing) {
    InstallFirstVersion();
    CopySampleApp(s.Install() / "other.exe");
    WriteFileBytes(s.SettingsFile(), kBom + Edited(settings.substr(kBom.size()), [](rapidjson::Document& d) {
                                         SetText(d, "/UPDATE_PRG_INFO/RUN_EXE_NAME", "other.exe");
                                     }));
    s.server.Stop();

    const ProcessResult run = Run();

    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(s.Log("[ENU:25]기존 업데이트 설정파일 서명 검증 실패: " + s.SettingsFile().string()).size(),
              1u)
        << ReadLauncherLog(s.ProgramData());
    // The run ended knowing no program: neither the stored one nor the changed one started.
    EXPECT_TRUE(ShownBox(run.err, "프로그램(p1) 업데이트 정보를 알 수 없습니다.")) << run.err;
    EXPECT_EQ(s.Log("[ENU:85]").size(), 1u);
}

// ---- files that are not the ones the signed release names -----------------------------------

TEST_F(SignedReleases, APackageWithOneByteChangedIsDeletedAndNeverUnpacked) {
    InstallFirstVersion();
    PublishSigned(Version("1.1.0"));
    const fs::path package = s.server.Folder() / PackagePath("1.1.0");
    WriteFileBytes(package, WithOneByteChanged(ReadFileBytes(package)));

    const ProcessResult run = Run();

    EXPECT_EQ(s.Log("[ENU:20]다운로드 파일 해시 불일치: " + Downloaded("1_1_0").string()).size(), 1u)
        << ReadLauncherLog(s.ProgramData());
    EXPECT_EQ(s.Log("[ENU:35]압축 파일 다운로드 실패").size(), 1u);
    EXPECT_FALSE(fs::exists(Downloaded("1_1_0")));
    ExpectTheOldVersionStarted(run);
}

TEST_F(SignedReleases, APrerequisiteInstallerWithOneByteChangedIsDeletedAndNeverRun) {
    InstallFirstVersion();
    const fs::path installerRuns = s.dir.path() / "installer.runs";
    const std::string installer =
        "#!/bin/sh\necho \"$*\" >> '" + installerRuns.string() + "'\nexit 0\n";
    std::string tampered = installer;
    tampered[tampered.rfind('0')] = '1';  // still an installer that notes its run
    s.server.AddFile("files/prereq/ndp48.exe", tampered);
    ProductInfo next = Version("1.1.0");
    next.minSpec = "{\"DOTNET_FX\":{\"ENABLED\":\"true\",\"VER\":\"4.8\",\"URL\":\"" +
                   s.server.FileUrl() + "files/prereq/ndp48.exe\",\"SHA256\":\"" +
                   Sha256Hex(installer) + "\"}}";
    PublishSigned(next);

    const ProcessResult run = Run();

    EXPECT_EQ(s.Log("[ENU:25]닷넷 프레임워크 설치파일 해시 불일치(4.8)").size(), 1u)
        << ReadLauncherLog(s.ProgramData());
    EXPECT_EQ(s.Log("[ENU:62]최소사양 확인 실패").size(), 1u);
    EXPECT_FALSE(fs::exists(s.Root() / "_update/3rd/dotnet_fx/dotnet_fx_4.8.exe"));
    EXPECT_FALSE(fs::exists(installerRuns)) << "the installer was run";
    ExpectTheOldVersionStarted(run);
}

TEST_F(SignedReleases, ASevenZipToolWithOneByteChangedIsNeverRun) {
    InstallFirstVersion();
    s.SetTool(WithOneByteChanged(tool));
    PublishSigned(Version("1.1.0"));

    const ProcessResult run = Run();

    EXPECT_EQ(s.Log("[ENU:5]7za.exe 해시 불일치, 다시 다운로드: " + s.ToolPath().string()).size(), 1u)
        << ReadLauncherLog(s.ProgramData());
    // The tool is fetched again from the object storage the build names: not this server.
    EXPECT_EQ(s.Log("[ENU:30]7z 다운로드 실패").size(), 1u);
    EXPECT_FALSE(fs::exists(s.ToolPath()));
    ExpectTheOldVersionStarted(run);
}

TEST_F(SignedReleases, TheLauncherWithoutKeysChecksTheHashesAReleaseNames) {
    InstallFirstVersion();
    s.server.PublishRelease("p1", Version("1.1.0"), Launcher());
    const fs::path package = s.server.Folder() / PackagePath("1.1.0");
    WriteFileBytes(package, WithOneByteChanged(ReadFileBytes(package)));

    const ProcessResult run = Run(s.Options());

    EXPECT_EQ(s.Log("[ENU:20]다운로드 파일 해시 불일치: " + Downloaded("1_1_0").string()).size(), 1u)
        << ReadLauncherLog(s.ProgramData());
    ExpectTheOldVersionStarted(run);
}

// ---- a signed release that names no hash ----------------------------------------------------

TEST_F(SignedReleases, AFileWithoutItsHashIsNotFetched) {
    InstallFirstVersion();
    ProductInfo next = Version("1.1.0");
    next.files.front().sha256.clear();
    PublishSigned(next);

    const ProcessResult run = Run();

    EXPECT_EQ(s.Log("[ENU:25]해시 정보 없는 파일: " + s.shortName + ".7z").size(), 1u)
        << ReadLauncherLog(s.ProgramData());
    EXPECT_EQ(Requests(PackagePath("1.1.0")), 0u);
    ExpectTheOldVersionStarted(run);
}

TEST_F(SignedReleases, ASevenZipToolWithoutItsHashIsNotRun) {
    InstallFirstVersion();
    ProductInfo next = Version("1.1.0");
    next.tool7zSha256.reset();
    PublishSigned(next);

    const ProcessResult run = Run();

    EXPECT_EQ(s.Log("[ENU:15]7za.exe 해시 정보 없음").size(), 1u) << ReadLauncherLog(s.ProgramData());
    EXPECT_EQ(s.Log("[ENU:30]7z 다운로드 실패").size(), 1u);
    ExpectTheOldVersionStarted(run);
}

TEST_F(SignedReleases, AnInstallerWithoutItsHashIsNotFetched) {
    InstallFirstVersion();
    s.server.AddFile("files/prereq/vc.exe", "#!/bin/sh\n");
    ProductInfo next = Version("1.1.0");
    next.minSpec = "{\"DOTNET_FX\":{\"ENABLED\":\"false\"},\"VC_REDIST\":{\"ENABLED\":\"true\","
                   "\"VER\":\"14\",\"URL\":\"" + s.server.FileUrl() + "files/prereq/vc.exe\"}}";
    PublishSigned(next);

    const ProcessResult run = Run();

    EXPECT_EQ(s.Log("[ENU:15]VC_REDIST 설치파일 해시 정보 없음(14)").size(), 1u)
        << ReadLauncherLog(s.ProgramData());
    EXPECT_EQ(Requests("files/prereq/vc.exe"), 0u);
    ExpectTheOldVersionStarted(run);
}

// ---- the publishing tool ----------------------------------------------------------------------

TEST_F(SignedReleases, WhatThePublishingToolMakesSignsAndPublishesIsInstalled) {
    const fs::path content = s.dir.path() / "program";
    s.MakeContent(content, "2.0.0");
    const fs::path stage = s.dir.path() / "stage";
    auto tool = [](const std::vector<std::string>& args) {
        const ProcessResult result = RunProcess(ZEB_RELEASE_EXE, args);
        EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    };
    tool({"pack", "--prg-id", "p1", "--program-folder", content.string(), "--short-name", s.shortName,
          "--version", "2.0.0", "--install-folder", s.InstallFolder(), "--run-exe", "viewer.exe",
          "--server-url", s.server.FileUrl(), "--launcher-version", BuiltLauncherVersion(),
          "--tool-7z", s.ToolPath().string(), "--stage", stage.string()});
    tool({"sign", "--key", PublisherKey().string(), "--release", (stage / "releases/p1.json").string()});
    tool({"publish", "--stage", stage.string(), "--folder", s.server.Folder().string()});

    const ProcessResult run = Run();

    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(s.StartedVersion(), "2.0.0") << ReadLauncherLog(s.ProgramData());
    EXPECT_EQ(ReadFileBytes(toolRuns), "run\n");
    EXPECT_EQ(Requests(PackagePath("2.0.0")), 1u);
    EXPECT_FALSE(ShownBox(run.err, kUpdateFailed)) << run.err;
}

}  // namespace
