// The Windows launcher under Wine bringing a 7z package into place: a first installation that
// fetches the 7-Zip tool from the object storage, a start with nothing to do, an update over a
// running program, an archive that fails twice, and a package on an FTP server.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <regex>
#include <string>
#include <thread>

#include "tests/support/FtpServerFixture.h"
#include "tests/wine/support/WindowsScenario.h"

namespace fs = std::filesystem;

namespace {

const std::string kUpdateFailed = "업데이트하지 못했습니다.";
// Where a running sample program notes that it ended through its exit event.
const std::string kExitRecord = "C:\\ZebTest\\exit.txt";

bool Contains(const std::string& text, const std::string& needle) {
    return text.find(needle) != std::string::npos;
}

std::vector<std::string> Names(const std::vector<FileCopy>& files) {
    std::vector<std::string> names;
    for (const FileCopy& file : files) names.push_back(file.name);
    return names;
}

// The requests the server saw after the first `from` ones.
std::vector<std::string> RequestsSince(const UpdateServerFixture& server, size_t from) {
    const std::vector<std::string> lines = server.RequestLines();
    return std::vector<std::string>(lines.begin() + static_cast<long>(std::min(from, lines.size())),
                                    lines.end());
}

class WineProgramUpdate : public ::testing::Test {
protected:
    WindowsScenario s;
};

TEST_F(WineProgramUpdate, FirstInstallationFetchesTheToolAndStartsTheProgramWithItsItems) {
    // The launcher fetches its 7-Zip tool from the object storage it was built for; under
    // Wine that must be a host name (see README), served here by a second server.
    std::smatch url;
    const std::string storageUrl = ZEB_WINDOWS_OBJECT_STORAGE_URL;
    ASSERT_TRUE(std::regex_match(storageUrl, url, std::regex("https://localhost:([0-9]+)/zeb-mh/")))
        << "configure the Windows build with "
           "-DZEB_OBJECT_STORAGE_URL=https://localhost:PORT/zeb-mh/ (it has " << storageUrl << ")";
    // Another run of this test may hold the port for a while.
    std::unique_ptr<UpdateServerFixture> storage;
    for (const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);;) {
        storage = std::make_unique<UpdateServerFixture>();
        if (storage->Start({"--port", url[1].str()})) break;
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << storage->Output();
        std::this_thread::sleep_for(std::chrono::seconds(1));
    }
    storage->AddFileFrom("zeb-mh/Tools/7z/7za.exe", ZEB_WINDOWS_7ZA_EXE);
    s.Publish(s.PublishArchive("1.2.0"));

    const LauncherRun run = s.Run({Item("COMP_ID", "acme"), Item("COMP_PASS", "s3cret"),
                                   Item("CUST_ID", "c7"), Item("PRG_ARGS", "open 보고서.txt")});

    ASSERT_EQ(run.exitCode, 0) << run.wineOutput;
    EXPECT_TRUE(storage->WaitForRequestLine("GET /zeb-mh/Tools/7z/7za.exe 200"));
    EXPECT_TRUE(SameBytes(s.ToolFile(), ZEB_WINDOWS_7ZA_EXE));
    const std::optional<SampleAppRecord> record = s.ProgramRecord();
    ASSERT_TRUE(record) << s.LogText();
    // Started from its folder with the forwarded items sorted by name, exactly as Windows
    // handed the command line over.
    EXPECT_EQ(record->commandLine,
              "C:\\ZebTest\\App\\viewer.exe --COMP_ID=\"acme\" --COMP_PASS=\"s3cret\" "
              "--CUST_ID=\"c7\" --PRG_ARGS=\"open 보고서.txt\" --_TEST_UPDATE_URL__=\"" +
                  s.server.BaseUrl() + "\"");
    EXPECT_EQ(record->cwd, "C:\\ZebTest\\App");
    EXPECT_EQ(Names(FilesBelow(s.Install())),
              (std::vector<std::string>{"received_args.txt", "version.txt", "viewer.exe"}));
    EXPECT_EQ(s.StartedVersion(), "1.2.0");
    EXPECT_FALSE(fs::exists(s.BackupFolder()));
    EXPECT_FALSE(ShownBox(run.boxes, kUpdateFailed)) << run.wineOutput;
    EXPECT_TRUE(fs::exists(s.SettingsFile()));
    EXPECT_FALSE(fs::exists(s.PendingFile()));
    EXPECT_TRUE(fs::exists(s.Root() / "_update/Viewer/download/1_2_0/Viewer.7z"));
}

TEST_F(WineProgramUpdate, NothingToDoStartsTheInstalledProgramWithoutDownloading) {
    s.PlaceTool();
    s.Publish(s.PublishArchive("1.0.0"));
    ASSERT_EQ(s.Run().exitCode, 0);
    ASSERT_EQ(s.StartedVersion(), "1.0.0") << s.LogText();
    fs::remove(s.Install() / "received_args.txt");
    const size_t before = s.server.RequestLines().size();

    const LauncherRun run = s.Run({Item("CUST_ID", "c8")});

    ASSERT_EQ(run.exitCode, 0);
    const std::optional<SampleAppRecord> record = s.ProgramRecord();
    ASSERT_TRUE(record) << s.LogText();
    EXPECT_TRUE(Contains(record->commandLine, "--CUST_ID=\"c8\"")) << record->commandLine;
    ASSERT_TRUE(s.server.WaitForRequestLine("POST"));
    const std::vector<std::string> requests = RequestsSince(s.server, before);
    EXPECT_EQ(requests.size(), 1u);
    for (const std::string& line : requests) EXPECT_FALSE(Contains(line, "GET ")) << line;
    EXPECT_FALSE(ShownBox(run.boxes, kUpdateFailed));
}

TEST_F(WineProgramUpdate, UpdateOverARunningProgramClosesItThroughItsExitEvent) {
    s.InstallOld();
    BackgroundProcess old;
    ASSERT_TRUE(s.prefix.Start(old, {"C:\\ZebTest\\App\\viewer.exe"},
                               {{"ZEB_SAMPLE_APP_SHORT_NM", s.shortName},
                                {"ZEB_SAMPLE_APP_EXIT_RECORD", kExitRecord}}));
    ASSERT_TRUE(s.ProgramRecord()) << old.Output();
    fs::remove(s.Install() / "received_args.txt");
    // The 7-Zip tool is watched at work: it notes its command line and the backup folder,
    // then the real 7za.exe does the unpacking.
    s.PlaceToolStandIn();
    const std::string backup = "C:\\ProgramData\\Vantrel\\_update\\p1\\temp";
    s.Publish(s.PublishArchive("2.0.0"));

    const LauncherRun run = s.Run(
        {}, {{"ZEB_WINE_HELPER_RECORD", "C:\\ZebTest\\tool.txt"},
             {"ZEB_WINE_HELPER_LIST", backup},
             {"ZEB_WINE_HELPER_THEN", WindowsScenario::kRealTool}});

    ASSERT_EQ(run.exitCode, 0) << run.wineOutput;
    // Ended through its event, in time.
    EXPECT_EQ(old.Wait(std::chrono::seconds(10)), 0);
    EXPECT_EQ(ReadFileBytes(s.prefix.HostPath(kExitRecord)), "event\n");
    EXPECT_TRUE(s.Log("[ENU:50]Time Out").empty()) << s.LogText();
    // While 7-Zip unpacked, the old files were in the backup folder.
    EXPECT_EQ(ReadFileBytes(s.prefix.HostPath("C:\\ZebTest\\tool.txt")),
              "cmdline=C:\\ProgramData\\Vantrel\\tools\\7z\\7za.exe x "
              "\"C:\\ProgramData\\Vantrel\\_update\\Viewer\\download\\2_0_0\\Viewer.7z\" "
              "-o\"C:\\ZebTest\\App\\\" -y\nfiles=user.cfg|version.txt|viewer.exe\n");
    EXPECT_EQ(s.StartedVersion(), "2.0.0");
    EXPECT_FALSE(fs::exists(s.Install() / "user.cfg"));
    EXPECT_FALSE(fs::exists(s.BackupFolder()));
    EXPECT_FALSE(ShownBox(run.boxes, kUpdateFailed)) << run.wineOutput;
}

TEST_F(WineProgramUpdate, AProgramIgnoringItsExitEventIsEndedByForceAfterTheTimeOut) {
    s.PlaceTool();
    s.InstallOld();
    BackgroundProcess old;
    ASSERT_TRUE(s.prefix.Start(old, {"C:\\ZebTest\\App\\viewer.exe"},
                               {{"ZEB_SAMPLE_APP_SHORT_NM", s.shortName},
                                {"ZEB_SAMPLE_APP_IGNORE_EVENT", "1"},
                                {"ZEB_SAMPLE_APP_EXIT_RECORD", kExitRecord}}));
    ASSERT_TRUE(s.ProgramRecord()) << old.Output();
    fs::remove(s.Install() / "received_args.txt");
    s.Publish(s.PublishArchive("2.0.0"));

    const LauncherRun run = s.Run();

    ASSERT_EQ(run.exitCode, 0) << run.wineOutput;
    EXPECT_NE(old.Wait(std::chrono::seconds(10)), -1);
    EXPECT_EQ(s.Log("[ENU:50]Time Out(5000ms)").size(), 1u) << s.LogText();
    EXPECT_FALSE(fs::exists(s.prefix.HostPath(kExitRecord)));  // ended by force
    EXPECT_EQ(s.StartedVersion(), "2.0.0");
    EXPECT_FALSE(ShownBox(run.boxes, kUpdateFailed)) << run.wineOutput;
}

TEST_F(WineProgramUpdate, AnArchiveFailingTwiceBringsTheOldFilesBackByteForByte) {
    s.PlaceTool();
    s.InstallOld();
    s.EnableDebugLog();
    const auto oldFiles = InstalledFiles(s.Install());
    s.Publish(s.server.PublishProgramFile(s.shortName, "2.0.0", "Viewer.7z",
                                          "this is not an archive", WindowsScenario::kInstallFolder,
                                          "viewer.exe"));

    const LauncherRun run = s.Run();

    ASSERT_EQ(run.exitCode, 0) << run.wineOutput;
    // The second try unpacks a copy in a fresh folder of the launcher's own, then deletes it.
    const std::string copy = std::string(WindowsScenario::kRetryFolder) + "\\Viewer.7z";
    EXPECT_EQ(s.Log("[ENU:80]압축파일 풀기 실패\r\n파일경로: " + copy).size(), 1u) << s.LogText();
    // 7-Zip's own exit code for an archive it cannot open.
    EXPECT_EQ(s.Log("압축풀기 후 비정상 프로세스 종료코드: 2").size(), 1u) << s.LogText();
    EXPECT_TRUE(ShownBox(run.boxes, kUpdateFailed)) << run.wineOutput;
    EXPECT_EQ(InstalledFiles(s.Install()), oldFiles);
    EXPECT_EQ(s.StartedVersion(), "old");
    EXPECT_FALSE(fs::exists(s.BackupFolder()));
    EXPECT_FALSE(fs::exists(s.RetryFolder()));
    EXPECT_FALSE(fs::exists(s.SettingsFile()));
}

TEST_F(WineProgramUpdate, PackageOnAnFtpServerIsInstalledAndStarted) {
    s.PlaceTool();
    FtpServerFixture ftp;
    const fs::path content = s.server.Folder() / "ftp-content";
    s.MakeContent(content, "3.0.0");
    const fs::path archive = s.server.Folder() / "pack.7z";
    Make7zArchive(content, archive);
    ftp.AddFile("viewer/3.0.0/pack.7z", ReadFileBytes(archive));
    ProductInfo program = s.PublishArchive("3.0.0");
    program.serverUrl = "ftp://127.0.0.1:" + std::to_string(ftp.port());
    program.rootDirSvr = "/viewer/";
    program.files.at(0).name = "pack.7z";
    program.files.at(0).subDirSvr = "3.0.0/";
    // The FTP server's archive, not the one published over HTTP: 7-Zip made each of its
    // own folder, and their sizes may differ.
    program.files.at(0).size = static_cast<long long>(fs::file_size(archive));
    s.Publish(program);

    const LauncherRun run = s.Run();

    ASSERT_EQ(run.exitCode, 0) << run.wineOutput;
    EXPECT_EQ(s.StartedVersion(), "3.0.0") << s.LogText();
    EXPECT_TRUE(SameBytes(s.Root() / "_update/Viewer/download/3_0_0/pack.7z", archive));
    EXPECT_FALSE(ShownBox(run.boxes, kUpdateFailed)) << run.wineOutput;
    for (const std::string& line : s.server.RequestLines())
        EXPECT_FALSE(Contains(line, "GET ")) << line;
}

}  // namespace
