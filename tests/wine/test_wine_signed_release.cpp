// The Windows launcher built with the test publisher's keys under Wine, installing what the
// publishing tool made, signed and published: the signature checked over Korean text held
// in UTF-16, the stored settings checked again on the next start, and a release changed
// after signing refused.
#include <gtest/gtest.h>
#include <rapidjson/document.h>
#include <rapidjson/pointer.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/ReleaseSigning.h"
#include "tests/support/TempDir.h"
#include "tests/wine/support/WindowsScenario.h"

namespace fs = std::filesystem;

namespace {

const std::string kUpdateFailed = "업데이트하지 못했습니다.";

// Runs zeb-release; its output when it fails.
void Tool(const std::vector<std::string>& args) {
    const ProcessResult result = RunProcess(ZEB_RELEASE_EXE, args);
    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
}

// Sets one string member of a release file (the publisher editing it, or someone after).
void SetInReleaseFile(const fs::path& file, const char* pointer, const std::string& value) {
    rapidjson::Document release;
    release.Parse(ReadFileBytes(file).c_str());
    ASSERT_FALSE(release.HasParseError());
    rapidjson::Pointer(pointer).Set(release, value.c_str());
    rapidjson::StringBuffer text;
    rapidjson::PrettyWriter<rapidjson::StringBuffer> writer(text);
    release.Accept(writer);
    WriteFileBytes(file, text.GetString());
}

TEST(WineSignedRelease, WhatThePublishingToolMakesIsInstalledAndNothingChangedAfterSigning) {
    WindowsScenario s;
    s.UseKeyedLauncher();
    s.PlaceTool();
    s.EnableDebugLog();
    TempDir publisher;
    const fs::path content = publisher.path() / "program";
    s.MakeContent(content, "2.0.0");
    const fs::path stage = publisher.path() / "stage";
    const fs::path release = stage / "releases/p1.json";
    Tool({"pack", "--prg-id", "p1", "--program-folder", content.string(), "--short-name",
          s.shortName, "--version", "2.0.0", "--install-folder", WindowsScenario::kInstallFolder,
          "--run-exe", "viewer.exe", "--server-url", s.server.FileUrl(), "--launcher-version",
          BuiltLauncherVersion(), "--tool-7z", ZEB_WINDOWS_7ZA_EXE, "--stage", stage.string()});
    // A member no step reads, with text beyond ASCII. (The settings files are written
    // through the ANSI code page, 949 here: a text it cannot carry is not stored at all.)
    SetInReleaseFile(release, "/UPDATE_PRG_INFO/CFG_FROM_SVR", "설정 값");
    Tool({"sign", "--key", PublisherKey().string(), "--release", release.string()});
    Tool({"publish", "--stage", stage.string(), "--folder", s.server.Folder().string()});
    const std::string verified = "릴리스 서명 확인(키: " + KeyIdOf(PublisherKey()) + ")";

    const LauncherRun first = s.Run();

    ASSERT_EQ(first.exitCode, 0) << first.wineOutput;
    EXPECT_EQ(s.StartedVersion(), "2.0.0") << s.LogText();
    EXPECT_EQ(s.Log(verified).size(), 1u) << s.LogText();
    EXPECT_FALSE(ShownBox(first.boxes, kUpdateFailed)) << first.wineOutput;

    // The published release changed after signing: refused, and the stored settings, checked
    // again, start what was installed.
    SetInReleaseFile(s.server.Folder() / "releases/p1.json", "/UPDATE_PRG_INFO/RUN_EXE_NAME",
                     "other.exe");
    fs::remove(s.Install() / "received_args.txt");

    const LauncherRun second = s.Run();

    ASSERT_EQ(second.exitCode, 0) << second.wineOutput;
    EXPECT_EQ(s.Log("[ENU:50]서명 후 변경된 항목: /UPDATE_PRG_INFO/RUN_EXE_NAME").size(), 1u)
        << s.LogText();
    EXPECT_EQ(s.Log("[ENU:50]서버 업데이트 정보 서명 검증 실패").size(), 1u);
    EXPECT_TRUE(ShownBox(second.boxes, kUpdateFailed)) << second.wineOutput;
    EXPECT_EQ(s.StartedVersion(), "2.0.0");
    EXPECT_EQ(s.Log(verified).size(), 2u) << s.LogText();
}

}  // namespace
