// Installer packages through the Windows launcher under Wine: real MSI packages made by wixl,
// installed by Wine's own msiexec, and the installed version read back from the uninstall key
// on the next run.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/TestHttpsServer.h"
#include "tests/wine/support/MsiPackage.h"
#include "tests/wine/support/WindowsScenario.h"

namespace fs = std::filesystem;

namespace {

const std::string kUpdateFailed = "업데이트하지 못했습니다.";

std::vector<FileCopy> InstalledFiles(const fs::path& folder) {
    auto files = FilesBelow(folder);
    std::erase_if(files, [](const FileCopy& file) { return file.name == "received_args.txt"; });
    return files;
}

class WineInstaller : public ::testing::Test {
protected:
    void SetUp() override {
        s.PlaceTool();
        s.InstallOld();
    }
    // Publishes setup.msi of the given bytes as version 3.0.0.
    void PublishPackage(const std::string& bytes) {
        s.Publish(s.server.PublishProgramFile(s.shortName, "3.0.0", "setup.msi", bytes,
                                              WindowsScenario::kInstallFolder, "viewer.exe"));
    }

    WindowsScenario s;
};

TEST_F(WineInstaller, APackageIsInstalledByMsiexecAndItsVersionReachesTheNextRequest) {
    const fs::path content = s.server.Folder() / "msi-content";
    s.MakeContent(content, "3.0.0");
    const fs::path package = s.server.Folder() / "setup.msi";
    BuildMsi({"p1", "3.0.0", WindowsScenario::kInstallFolder, content}, package);
    PublishPackage(ReadFileBytes(package));

    const LauncherRun run = s.Run();

    ASSERT_EQ(run.exitCode, 0) << run.wineOutput;
    EXPECT_EQ(s.StartedVersion(), "3.0.0") << s.LogText();
    EXPECT_FALSE(fs::exists(s.Install() / "user.cfg"));  // went with the backup
    EXPECT_FALSE(fs::exists(s.BackupFolder()));
    EXPECT_FALSE(ShownBox(run.boxes, kUpdateFailed)) << run.wineOutput;

    // The next run finds the package's uninstall entry by the program id and sends its version.
    TestHttpsServer next;
    next.Serve("/comp/zeb/update/v1/", 200, R"({"RESULT":"EMPTY"})", "application/json");
    next.Start();
    s.RunCommandLine(std::string("\"") + WindowsScenario::kLauncher + "\" " + Item("PRG_ID", "p1") +
                     " " + Item("__TEST_UPDATE_URL__", "https://localhost:" +
                                                           std::to_string(next.port()) +
                                                           "/comp/zeb/update/v1/"));
    const auto requests = next.Requests();
    ASSERT_EQ(requests.size(), 1u) << s.LogText();
    EXPECT_NE(requests[0].body.find("\"PRG_INST_OLD_VER\": \"3.0.0\""), std::string::npos)
        << requests[0].body;
    EXPECT_NE(requests[0].body.find("\"PRG_OLD_VER\": \"3.0.0\""), std::string::npos)
        << requests[0].body;
}

TEST_F(WineInstaller, APackageMsiexecRefusesTwiceBringsTheOldFilesBack) {
    const auto oldFiles = InstalledFiles(s.Install());
    PublishPackage("this is not an installer package");

    const LauncherRun run = s.Run();

    ASSERT_EQ(run.exitCode, 0) << run.wineOutput;
    const std::string copy = s.prefix.WindowsPath(s.RetryFolder() / "setup.msi");
    EXPECT_EQ(s.Log("[ENU:80]셋업파일 설치 실패\r\n파일경로: " + copy).size(), 1u) << s.LogText();
    EXPECT_TRUE(ShownBox(run.boxes, kUpdateFailed)) << run.wineOutput;
    EXPECT_EQ(InstalledFiles(s.Install()), oldFiles);
    EXPECT_EQ(s.StartedVersion(), "old");
    EXPECT_FALSE(fs::exists(s.BackupFolder()));
    EXPECT_FALSE(fs::exists(s.prefix.HostPath(copy)));
}

}  // namespace
