// The Windows launcher replacing itself under Wine: the first process hands over to
// ZEB.Launcher_.exe, which waits for it, replaces ZEB.Launcher.exe and carries on with the
// first run's command line; and the wait that gives up after five seconds.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "tests/wine/support/PeVersion.h"
#include "tests/wine/support/WindowsScenario.h"

namespace fs = std::filesystem;

namespace {

const std::string kStarts = "C:\\ZebTest\\starts.txt";

// The time of day (ms) of the first log entry that holds text; -1 when there is none.
long LogTimeMs(const fs::path& programData, const std::string& text) {
    for (const std::string& entry : ReadLauncherLogLines(programData)) {
        int hour = 0, minute = 0, second = 0, ms = 0;
        if (entry.find(text) != std::string::npos &&
            std::sscanf(entry.c_str(), "%*d-%*d %d:%d:%d.%d", &hour, &minute, &second, &ms) == 4)
            return ((hour * 60L + minute) * 60 + second) * 1000 + ms;
    }
    return -1;
}

class WineSelfUpdate : public ::testing::Test {
protected:
    fs::path TempLauncher() const { return s.LauncherFile().parent_path() / "ZEB.Launcher_.exe"; }

    WindowsScenario s;
};

TEST_F(WineSelfUpdate, TheTemporaryLauncherReplacesTheOldOneAndStartsTheProgramOnce) {
    s.PlaceTool();
    const fs::path newLauncher = s.server.Folder() / "new/ZEB.Launcher.exe";
    WriteProgramWithVersion(ZEB_WINDOWS_LAUNCHER_EXE, newLauncher, {9, 8, 7, 6});
    // The program notes every start of it in kStarts.
    const fs::path content = s.server.Folder() / "content";
    fs::create_directories(content);
    fs::copy_file(ZEB_WINE_HELPER_EXE, content / "viewer.exe");
    WriteFileBytes(content / "version.txt", "1.0.0");
    s.server.PublishRelease("p1",
                            s.server.PublishProgramArchive(s.shortName, "1.0.0", content,
                                                           WindowsScenario::kInstallFolder,
                                                           "viewer.exe"),
                            s.server.LauncherInfo("9.8.7.6", newLauncher));

    const LauncherRun run = s.Run({Item("COMP_ID", "acme"), Item("COMP_PASS", "s3cret"),
                                   Item("CUST_ID", "c7"), Item("PRG_ARGS", "open file.txt")},
                                  {{"ZEB_WINE_HELPER_RECORD", kStarts}}, true);

    ASSERT_EQ(run.exitCode, 0) << run.wineOutput;
    EXPECT_TRUE(SameBytes(s.LauncherFile(), newLauncher));
    EXPECT_EQ(ReadFileVersion(s.LauncherFile()).value_or("<none>"), "9.8.7.6");
    EXPECT_FALSE(fs::exists(TempLauncher()));
    EXPECT_FALSE(fs::exists(s.PendingFile()));
    // The second process was the new launcher.
    EXPECT_EQ(s.Log("런처 실행됨: C:\\ZebTest\\Launcher\\ZEB.Launcher_.exe(9.8.7.6)").size(), 1u)
        << s.LogText();
    // Started once, with the items of the first run, the company pass included.
    EXPECT_EQ(ReadFileBytes(s.prefix.HostPath(kStarts)),
              "cmdline=C:\\ZebTest\\App\\viewer.exe --COMP_ID=\"acme\" --COMP_PASS=\"s3cret\" "
              "--CUST_ID=\"c7\" --PRG_ARGS=\"open file.txt\" --_TEST_UPDATE_URL__=\"" +
                  s.server.BaseUrl() + "\"\n")
        << s.LogText();
    int posts = 0;
    for (const std::string& line : s.server.RequestLines()) posts += line.rfind("POST ", 0) == 0;
    EXPECT_EQ(posts, 1);
    EXPECT_EQ(s.Log("런처 업데이트 후처리 중 신버전 런처 파일명 변경").size(), 1u);
    const std::string settings = ReadFileBytes(s.SettingsFile());
    EXPECT_FALSE(settings.empty());
    EXPECT_EQ(settings.find("_PRG_ARGS_TMP"), std::string::npos);
    EXPECT_FALSE(ShownBox(run.boxes, "업데이트하지 못했습니다.")) << run.wineOutput;
}

TEST_F(WineSelfUpdate, AnOldLauncherStillRunningAfterFiveSecondsKeepsItsFile) {
    s.PlaceTool();
    WriteProgramWithVersion(ZEB_WINDOWS_LAUNCHER_EXE, TempLauncher(), {9, 8, 7, 6});
    // The first run's hand-over: the server's answer and its command line.
    ProductInfo program = s.PublishArchive("1.0.0");
    program.needToUpdate = true;
    WriteFileBytes(s.PendingFile(),
                   "\xEF\xBB\xBF{\"UPDATE_PRG_INFO\":" + program.ToJson() +
                       ",\"UPDATE_LAUNCHER_INFO\":" +
                       s.server.LauncherInfo(BuiltLauncherVersion()).ToJson() +
                       ",\"_PRG_ARGS_TMP\":\"--PRG_ID=\\\"p1\\\" --CUST_ID=\\\"c7\\\"\"}");
    // Any process of that file name counts as the old launcher.
    const std::string other = "C:\\ZebTest\\Other\\ZEB.Launcher.exe";
    fs::create_directories(s.prefix.HostPath(other).parent_path());
    fs::copy_file(ZEB_WINDOWS_SAMPLE_APP_EXE, s.prefix.HostPath(other));
    BackgroundProcess old;
    ASSERT_TRUE(s.prefix.Start(old, {other}));
    ASSERT_TRUE(WaitForSampleAppRecord(s.prefix.HostPath(other)));

    const LauncherRun run =
        s.RunCommandLine("\"" + s.prefix.WindowsPath(TempLauncher()) + "\" " +
                         Item("PRG_ID", "p1") + " " + Item("LAUNCHER_UPDATED", "p1"));

    ASSERT_EQ(run.exitCode, 0) << run.wineOutput;
    const std::string gaveUp = "[ENU:84]런처 업데이트 후처리 중 구버전 런처 종료대기 실패";
    EXPECT_EQ(s.Log(gaveUp).size(), 1u) << s.LogText();
    // It waited from reading the hand-over to giving up: five seconds at least (the log's
    // clock, across midnight too).
    const long read =
        LogTimeMs(s.ProgramData(), "런처 업데이트 후처리 중 업데이트 정보 임시파일 파싱");
    const long waited = LogTimeMs(s.ProgramData(), gaveUp) - read;
    ASSERT_GE(read, 0) << s.LogText();
    EXPECT_GE((waited + 86400000) % 86400000, 5000) << s.LogText();
    EXPECT_TRUE(ShownBox(run.boxes, "런처 업데이트 후처리 중 구버전 런처 종료대기 실패"))
        << run.wineOutput;
    EXPECT_TRUE(SameBytes(s.LauncherFile(), ZEB_WINDOWS_LAUNCHER_EXE));
    EXPECT_TRUE(fs::exists(TempLauncher()));
    // The program is still updated and started, with the first run's items: its command line
    // was restored before the wait failed.
    const std::optional<SampleAppRecord> record = s.ProgramRecord();
    ASSERT_TRUE(record) << s.LogText();
    EXPECT_EQ(record->commandLine, "C:\\ZebTest\\App\\viewer.exe --CUST_ID=\"c7\"");
    EXPECT_EQ(s.StartedVersion(), "1.0.0");
    EXPECT_TRUE(old.Running());
}

}  // namespace
