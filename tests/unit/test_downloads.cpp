// Where a version's files are fetched from and stored, which names are refused, the choice
// of transport and the 7-Zip tool, against a real HTTPS server.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "common/GL_Debug.h"
#include "launcher/Downloads.h"
#include "launcher/LauncherContext.h"
#include "tests/support/TestCa.h"
#include "tests/support/TestHttpsServer.h"
#include "tests/support/FtpServerFixture.h"
#include "tests/support/LauncherRunner.h"
#include "tests/support/TempDir.h"
#include "tests/support/UpdateServerFixture.h"

namespace fs = std::filesystem;

namespace {

UpdateFileInfo File(const std::wstring& name, const std::wstring& subSvr = L"",
                    const std::wstring& subCli = L"") {
    UpdateFileInfo file;
    file.FILE_NM = name;
    file.SUB_DIR_SVR = subSvr;
    file.SUB_DIR_CLI = subCli;
    return file;
}

void AddFile(UpdateInfo& info, const UpdateFileInfo& file) {
    info.FILES[file.SUB_DIR_CLI + file.FILE_NM] = file;
}

// Files served by path; everything else answers 404.
class FileHost {
public:
    FileHost() {
        TrustTestCa();
        server_.server().Get(".*", [this](const httplib::Request& request,
                                          httplib::Response& response) {
            std::lock_guard<std::mutex> lock(mutex_);
            const auto file = files_.find(request.path);
            if (file == files_.end()) {
                response.status = 404;
                return;
            }
            response.set_content(file->second, "application/octet-stream");
        });
        server_.Start();
    }
    void Put(const std::string& path, const std::string& bytes) {
        std::lock_guard<std::mutex> lock(mutex_);
        files_[path] = bytes;
    }
    std::string Url() const { return server_.Url(); }
    std::vector<std::string> Requests() const {
        std::vector<std::string> paths;
        for (const RecordedRequest& request : server_.Requests()) paths.push_back(request.path);
        return paths;
    }

private:
    std::mutex mutex_;
    std::map<std::string, std::string> files_;
    TestHttpsServer server_;  // last: stopped before what its handler uses goes away
};

class DownloadsTest : public ::testing::Test {
protected:
    void SetUp() override {
        LauncherContext& ctx = Context();
        ctx.rootFolder = (dir.path() / "Vantrel").wstring() + L"/";
        ctx.request.programId = L"p1";
        SetProgramLayout(ctx, L"p1");
        ctx.backupFolder.clear();
        fs::create_directories(LauncherLogPath(dir.path()).parent_path());
        GL_DEBUG_SetLogFile(LauncherLogPath(dir.path()).wstring());
        info.NeedToUpdate = true;
        info.SHORT_NM = L"Viewer";
        info.UP_VERSION = L"1.10.2";
        info.SVR_URL = Utf(host.Url()) + L"/files";
        info.ROOT_DIR_SVR = L"viewer/";
    }

    static std::wstring Utf(const std::string& s) { return fs::path(s).wstring(); }
    fs::path Root() const { return dir.path() / "Vantrel"; }
    fs::path VersionFolder() const { return Root() / "_update/Viewer/download/1_10_2"; }
    std::vector<LogLine> Log(const std::string& prefix) const {
        return FindLogLines(dir.path(), prefix);
    }

    TempDir dir;
    FileHost host;
    UpdateInfo info;
};

// ---- paths -----------------------------------------------------------------------------

TEST_F(DownloadsTest, StoresFilesInTheVersionFolderAndRecordsBothPaths) {
    host.Put("/files/viewer/bin/pack.7z", "archive bytes");
    AddFile(info, File(L"pack.7z", L"bin/", L"app\\"));

    ASSERT_EQ(DownloadFiles(info), 0);

    const UpdateFileInfo& file = info.FILES.begin()->second;
    EXPECT_EQ(file.SVR_FILE_PATH, L"viewer/bin/pack.7z");
    EXPECT_EQ(file.CLI_DOWNLOAD_PATH, (VersionFolder() / "pack.7z").wstring());
    EXPECT_EQ(ReadFileBytes(VersionFolder() / "pack.7z"), "archive bytes");
    EXPECT_EQ(Context().programUpdateFolder, (Root() / "_update/p1/").wstring());
    EXPECT_EQ(Context().backupFolder, (Root() / "_update/p1/temp/").wstring());
}

TEST_F(DownloadsTest, EqualFileNamesInOtherClientFoldersShareOneLocalPathAndTheLaterKeyWins) {
    host.Put("/files/viewer/a/x.dll", "from a");
    host.Put("/files/viewer/b/x.dll", "from b");
    AddFile(info, File(L"x.dll", L"a/", L"one/"));
    AddFile(info, File(L"x.dll", L"b/", L"two/"));

    ASSERT_EQ(DownloadFiles(info), 0);

    EXPECT_EQ(host.Requests(), std::vector<std::string>{"/files/viewer/b/x.dll"});
    EXPECT_EQ(ReadFileBytes(VersionFolder() / "x.dll"), "from b");
    for (const auto& [key, file] : info.FILES)
        EXPECT_EQ(file.CLI_DOWNLOAD_PATH, (VersionFolder() / "x.dll").wstring()) << key;
}

TEST_F(DownloadsTest, TransportFailureIsStatusTenAndKeepsThePathsAndFolders) {
    AddFile(info, File(L"missing.7z"));

    EXPECT_EQ(DownloadFiles(info), 10);

    EXPECT_EQ(Log("[ENU:10]업데이트된 파일 다운로드 실패").size(), 1u);
    EXPECT_EQ(info.FILES.begin()->second.CLI_DOWNLOAD_PATH,
              (VersionFolder() / "missing.7z").wstring());
    EXPECT_EQ(Context().backupFolder, (Root() / "_update/p1/temp/").wstring());
    EXPECT_FALSE(fs::exists(VersionFolder() / "missing.7z"));
}

// ---- names from the server that would leave their folders -------------------------------

struct UnsafeCase {
    const char* label;
    std::wstring shortName, version, fileName, clientFolder;
    const char* member;
};

void PrintTo(const UnsafeCase& c, std::ostream* out) { *out << c.label; }

class UnsafeNameTest : public DownloadsTest,
                       public ::testing::WithParamInterface<UnsafeCase> {};

TEST_P(UnsafeNameTest, IsRefusedBeforeAnythingIsWrittenOrFetched) {
    const UnsafeCase& c = GetParam();
    info.SHORT_NM = c.shortName;
    info.UP_VERSION = c.version;
    host.Put("/files/viewer/evil", "payload");
    AddFile(info, File(c.fileName, L"", c.clientFolder));

    EXPECT_EQ(DownloadFiles(info), 15);

    EXPECT_TRUE(host.Requests().empty());
    EXPECT_FALSE(fs::exists(Root() / "_update"));
    // Nothing beside the log appeared anywhere in the test's folder.
    for (const auto& entry : fs::recursive_directory_iterator(dir.path())) {
        if (entry.is_regular_file()) {
            EXPECT_EQ(entry.path(), LauncherLogPath(dir.path())) << entry.path();
        }
    }
    const auto lines = Log("[ENU:15]다운로드 경로로 쓸 수 없는 이름(" + std::string(c.member) + ")");
    EXPECT_EQ(lines.size(), 1u);
    if (!lines.empty()) {
        EXPECT_EQ(lines[0].function, "DownloadFiles");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Names, UnsafeNameTest,
    ::testing::Values(
        UnsafeCase{"FileParent", L"Viewer", L"1.0", L"../../../evil", L"", "FILE_NM"},
        UnsafeCase{"FileDotDot", L"Viewer", L"1.0", L"..", L"", "FILE_NM"},
        UnsafeCase{"FileDot", L"Viewer", L"1.0", L".", L"", "FILE_NM"},
        UnsafeCase{"FileEmpty", L"Viewer", L"1.0", L"", L"", "FILE_NM"},
        UnsafeCase{"FileAbsolute", L"Viewer", L"1.0", L"/tmp/evil", L"", "FILE_NM"},
        UnsafeCase{"FileBackslash", L"Viewer", L"1.0", L"..\\evil", L"", "FILE_NM"},
        UnsafeCase{"FileDrive", L"Viewer", L"1.0", L"C:evil", L"", "FILE_NM"},
        UnsafeCase{"FileNul", L"Viewer", L"1.0", std::wstring(L"ev\0il", 5), L"", "FILE_NM"},
        UnsafeCase{"ShortParent", L"..", L"1.0", L"evil", L"", "SHORT_NM"},
        UnsafeCase{"ShortNested", L"a/../../..", L"1.0", L"evil", L"", "SHORT_NM"},
        UnsafeCase{"ShortEmpty", L"", L"1.0", L"evil", L"", "SHORT_NM"},
        UnsafeCase{"VersionSeparator", L"Viewer", L"1/../../..", L"evil", L"", "UP_VERSION"},
        UnsafeCase{"VersionAbsolute", L"Viewer", L"/tmp", L"evil", L"", "UP_VERSION"},
        UnsafeCase{"VersionEmpty", L"Viewer", L"", L"evil", L"", "UP_VERSION"},
        UnsafeCase{"ClientParent", L"Viewer", L"1.0", L"evil", L"../../", "SUB_DIR_CLI"},
        UnsafeCase{"ClientInnerParent", L"Viewer", L"1.0", L"evil", L"a\\..\\..\\", "SUB_DIR_CLI"},
        UnsafeCase{"ClientAbsolute", L"Viewer", L"1.0", L"evil", L"/etc/", "SUB_DIR_CLI"}),
    [](const auto& param) { return std::string(param.param.label); });

// ---- server paths that would leave SVR_URL's path ------------------------------------------

struct ServerPathCase {
    const char* label;
    std::wstring rootDirSvr, subDirSvr, fileName;
};

void PrintTo(const ServerPathCase& c, std::ostream* out) { *out << c.label; }

class UnsafeServerPathTest : public DownloadsTest,
                             public ::testing::WithParamInterface<ServerPathCase> {};

TEST_P(UnsafeServerPathTest, IsRefusedBeforeAnythingIsFetched) {
    const ServerPathCase& c = GetParam();
    info.ROOT_DIR_SVR = c.rootDirSvr;
    host.Put("/secret/pack.7z", "not for the launcher");
    host.Put("/files/secret/pack.7z", "not for the launcher");
    host.Put("/files/pack.7z", "not for the launcher");
    AddFile(info, File(c.fileName, c.subDirSvr));

    EXPECT_EQ(DownloadFiles(info), 15);

    EXPECT_TRUE(host.Requests().empty());
    EXPECT_FALSE(fs::exists(Root() / "_update/Viewer"));
    const auto lines = Log("[ENU:15]다운로드 경로로 쓸 수 없는 이름(SVR_FILE_PATH): " +
                           fs::path(c.rootDirSvr + c.subDirSvr + c.fileName).string());
    EXPECT_EQ(lines.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, UnsafeServerPathTest,
    ::testing::Values(
        ServerPathCase{"RootParent", L"../secret/", L"", L"pack.7z"},
        ServerPathCase{"SubParent", L"viewer/", L"bin/../../../secret/", L"pack.7z"},
        ServerPathCase{"Backslashes", L"viewer\\", L"..\\..\\", L"pack.7z"},
        ServerPathCase{"EncodedDots", L"viewer/", L"%2e%2E/%2e./", L"pack.7z"},
        ServerPathCase{"EncodedSeparators", L"viewer/", L"..%2f..%5C", L"pack.7z"},
        ServerPathCase{"MadeByJoining", L"viewer/.", L"./x/", L"pack.7z"},
        ServerPathCase{"RootAlone", L"..", L"/", L"pack.7z"},
        // The address's path ends at "?" or "#": the name before them is ".."
        ServerPathCase{"DotsBeforeQuery", L"", L"", L"..?pack.7z"},
        ServerPathCase{"DotsBeforeFragment", L"", L"", L"..#pack.7z"},
        ServerPathCase{"EncodedDotsBeforeQuery", L"", L"", L"%2e.?pack.7z"}),
    [](const auto& param) { return std::string(param.param.label); });

TEST_F(DownloadsTest, ACopyOfTheBaseInsideTheServerPathStaysPartOfThePath) {
    // ".", the base and "./": with the base taken out they would join into "../".
    host.Put("/pack.7z", "outside the base");
    info.ROOT_DIR_SVR = L"." + info.SVR_URL + L"/.";
    AddFile(info, File(L"pack.7z", L"/"));

    EXPECT_EQ(DownloadFiles(info), 10);  // no such file below the base

    ASSERT_FALSE(host.Requests().empty());
    for (const std::string& path : host.Requests()) EXPECT_TRUE(path.starts_with("/files/")) << path;
    EXPECT_FALSE(fs::exists(VersionFolder() / "pack.7z"));
}

// ---- transport choice and FTP addresses -------------------------------------------------

TEST_F(DownloadsTest, AnFtpAddressOfAnotherShapeIsStatusFive) {
    info.SVR_URL = L"ftp://user:pw@127.0.0.1:21";
    AddFile(info, File(L"pack.7z"));

    EXPECT_EQ(DownloadFiles(info), 5);
    EXPECT_EQ(Log("[ENU:5]잘못된 svr_url 형식: ftp://user:pw@127.0.0.1:21").size(), 1u);
}

TEST_F(DownloadsTest, AnEmptyServerAddressIsStatusFive) {
    info.SVR_URL.clear();
    EXPECT_EQ(DownloadFiles(info), 5);
}

TEST_F(DownloadsTest, HttpsInCapitalsIsTakenAsAnFtpAddress) {
    host.Put("/files/viewer/pack.7z", "bytes");
    info.SVR_URL = L"HTTPS://127.0.0.1";  // two pieces as an FTP address
    AddFile(info, File(L"pack.7z"));

    EXPECT_EQ(DownloadFiles(info), 5);
    EXPECT_EQ(Log("[ENU:5]잘못된 svr_url 형식: HTTPS://127.0.0.1").size(), 1u);
    EXPECT_TRUE(host.Requests().empty());
}

TEST_F(DownloadsTest, AnFtpAddressIsFetchedOverFtp) {
    FtpServerFixture ftp;
    ftp.AddFile("viewer/bin/pack.7z", "over ftp");
    info.SVR_URL = L"ftp://127.0.0.1:" + std::to_wstring(ftp.port());
    info.ROOT_DIR_SVR = L"/viewer/";
    AddFile(info, File(L"pack.7z", L"bin/"));

    ASSERT_EQ(DownloadFiles(info), 0);
    EXPECT_EQ(ReadFileBytes(VersionFolder() / "pack.7z"), "over ftp");
    EXPECT_TRUE(host.Requests().empty());
}

// ---- sizes the update data gives ---------------------------------------------------------

TEST_F(DownloadsTest, AFileOfAnotherSizeThanGivenFailsTheDownload) {
    host.Put("/files/viewer/pack.7z", std::string(1000, 'p'));
    UpdateFileInfo file = File(L"pack.7z");
    file.FILE_SIZE = 1001;
    AddFile(info, file);

    EXPECT_EQ(DownloadFiles(info), 10);
    EXPECT_FALSE(fs::exists(VersionFolder() / "pack.7z"));
    EXPECT_EQ(Log("[ENU:45]다운로드한 파일의 크기(1000 바이트)가 FILE_SIZE(1001 바이트)와 다름").size(), 1u);
    EXPECT_EQ(Log("[ENU:10]업데이트된 파일 다운로드 실패").size(), 1u);

    // Read as 32 bits: 0 and values that read as negative (2 GiB and more) give no size.
    for (const int32_t unknown : {0, -1, INT32_MIN}) {
        info.FILES.begin()->second.FILE_SIZE = unknown;
        EXPECT_EQ(DownloadFiles(info), 0) << unknown;
    }
    info.FILES.begin()->second.FILE_SIZE = 1000;
    EXPECT_EQ(DownloadFiles(info), 0);
    EXPECT_EQ(ReadFileBytes(VersionFolder() / "pack.7z"), std::string(1000, 'p'));
}

TEST_F(DownloadsTest, TheEntryThatWinsALocalPathBringsItsOwnSize) {
    host.Put("/files/viewer/b/x.dll", "from b");
    UpdateFileInfo first = File(L"x.dll", L"a/", L"one/");
    first.FILE_SIZE = 999;  // would fail the download, but its entry loses the path
    AddFile(info, first);
    AddFile(info, File(L"x.dll", L"b/", L"two/"));

    ASSERT_EQ(DownloadFiles(info), 0);
    EXPECT_EQ(ReadFileBytes(VersionFolder() / "x.dll"), "from b");
}

TEST_F(DownloadsTest, AnFtpFileOfAnotherSizeThanGivenIsNotFetched) {
    FtpServerFixture ftp;
    ftp.AddFile("viewer/pack.7z", std::string(1000, 'p'));
    info.SVR_URL = L"ftp://127.0.0.1:" + std::to_wstring(ftp.port());
    UpdateFileInfo file = File(L"pack.7z");
    file.FILE_SIZE = 4096;
    AddFile(info, file);

    EXPECT_EQ(DownloadFiles(info), 10);
    EXPECT_FALSE(fs::exists(VersionFolder() / "pack.7z"));
    EXPECT_EQ(Log("[ENU:25]서버의 파일 크기(1000 바이트)가 FILE_SIZE(4096 바이트)와 다름").size(), 1u);
}

// ---- hashes -----------------------------------------------------------------------------

std::wstring HashOf(const std::string& bytes) { return fs::path(Sha256Hex(bytes)).wstring(); }

TEST_F(DownloadsTest, FilesMatchingTheirHashesAreKeptAndFilesWithoutOneAreTakenAsTheyCome) {
    host.Put("/files/viewer/pack.7z", "archive bytes");
    host.Put("/files/viewer/readme.txt", "no hash named");
    UpdateFileInfo pack = File(L"pack.7z");
    pack.FILE_SHA256 = HashOf("archive bytes");
    AddFile(info, pack);
    AddFile(info, File(L"readme.txt"));  // a build without keys needs no hash

    ASSERT_EQ(DownloadFiles(info), 0);
    EXPECT_EQ(ReadFileBytes(VersionFolder() / "pack.7z"), "archive bytes");
    EXPECT_EQ(ReadFileBytes(VersionFolder() / "readme.txt"), "no hash named");
}

TEST_F(DownloadsTest, AFileOfTheSameSizeButOtherBytesIsDeletedAsStatusTwenty) {
    host.Put("/files/viewer/pack.7z", "archive bytez");  // one byte changed
    UpdateFileInfo pack = File(L"pack.7z");
    pack.FILE_SIZE = 13;
    pack.FILE_SHA256 = HashOf("archive bytes");
    AddFile(info, pack);

    EXPECT_EQ(DownloadFiles(info), 20);

    const fs::path local = VersionFolder() / "pack.7z";
    EXPECT_FALSE(fs::exists(local));
    EXPECT_FALSE(fs::exists(fs::path(local) += ".part"));
    const auto lines = Log("[ENU:20]다운로드 파일 해시 불일치: " + local.string());
    ASSERT_EQ(lines.size(), 1u) << ReadLauncherLog(dir.path());
    EXPECT_EQ(lines[0].function, "DownloadFiles");
}

TEST_F(DownloadsTest, TheEntryThatWinsALocalPathBringsItsHash) {
    host.Put("/files/viewer/a/x.dll", "from a");
    host.Put("/files/viewer/b/x.dll", "from b");
    UpdateFileInfo first = File(L"x.dll", L"a/", L"one/");
    first.FILE_SHA256 = HashOf("from a");
    UpdateFileInfo second = File(L"x.dll", L"b/", L"two/");
    AddFile(info, first);
    AddFile(info, second);
    // The later key is fetched: the earlier one's hash says nothing about it.
    ASSERT_EQ(DownloadFiles(info), 0);

    second.FILE_SHA256 = HashOf("from a");
    AddFile(info, second);
    EXPECT_EQ(DownloadFiles(info), 20);
    EXPECT_FALSE(fs::exists(VersionFolder() / "x.dll"));
}

// ---- the 7-Zip tool ---------------------------------------------------------------------

class SevenZipTest : public DownloadsTest {
protected:
    fs::path Tool() const { return Root() / "tools/7z/7za.exe"; }
    int Fetch() { return Download7zFrom(Utf(host.Url()) + L"/zeb-mh/", L""); }
};

TEST_F(SevenZipTest, AMissingToolIsFetchedFromTheObjectStorageAndCanBeRun) {
    host.Put("/zeb-mh/Tools/7z/7za.exe", "#!/bin/sh\n");

    ASSERT_EQ(Fetch(), 0);

    EXPECT_EQ(host.Requests(), std::vector<std::string>{"/zeb-mh/Tools/7z/7za.exe"});
    EXPECT_EQ(ReadFileBytes(Tool()), "#!/bin/sh\n");
    struct stat st {};
    ASSERT_EQ(::stat(Tool().c_str(), &st), 0);
    EXPECT_NE(st.st_mode & S_IXUSR, 0u);
}

TEST_F(SevenZipTest, AnEmptyToolIsReplaced) {
    host.Put("/zeb-mh/Tools/7z/7za.exe", "tool");
    fs::create_directories(Tool().parent_path());
    WriteFileBytes(Tool(), "");

    ASSERT_EQ(Fetch(), 0);
    EXPECT_EQ(ReadFileBytes(Tool()), "tool");
}

TEST_F(SevenZipTest, APresentToolIsKeptWithoutAsking) {
    host.Put("/zeb-mh/Tools/7z/7za.exe", "newer");
    fs::create_directories(Tool().parent_path());
    WriteFileBytes(Tool(), "x");

    ASSERT_EQ(Fetch(), 0);
    EXPECT_TRUE(host.Requests().empty());
    EXPECT_EQ(ReadFileBytes(Tool()), "x");
}

TEST_F(SevenZipTest, AToolWhoseDownloadWasKilledIsFetchedAgain) {
    // The first half of the tool, then nothing until the downloading process is gone.
    TestHttpsServer stalling;
    stalling.Get("/zeb-mh/Tools/7z/7za.exe", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(200000, "application/octet-stream",
                                 [&](size_t offset, size_t, httplib::DataSink& sink) {
                                     if (offset > 0) {
                                         stalling.WaitUntilStopping();
                                         return false;
                                     }
                                     const std::string half(100000, 't');
                                     return sink.write(half.data(), half.size());
                                 });
    });
    stalling.Start();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) _exit(Download7zFrom(Utf(stalling.Url()) + L"/zeb-mh/", L""));
    // Killed once half the tool is on disk, under whatever name.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (ReadFileBytes(Tool()).size() + ReadFileBytes(fs::path(Tool()) += ".part").size() <
               100000 &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));

    EXPECT_FALSE(fs::exists(Tool()));
    host.Put("/zeb-mh/Tools/7z/7za.exe", "the whole tool");
    ASSERT_EQ(Fetch(), 0);
    EXPECT_EQ(host.Requests(), std::vector<std::string>{"/zeb-mh/Tools/7z/7za.exe"});
    EXPECT_EQ(ReadFileBytes(Tool()), "the whole tool");
    EXPECT_FALSE(fs::exists(fs::path(Tool()) += ".part"));
}

TEST_F(SevenZipTest, APresentToolWithItsHashIsKeptWithoutAsking) {
    host.Put("/zeb-mh/Tools/7z/7za.exe", "newer");
    fs::create_directories(Tool().parent_path());
    WriteFileBytes(Tool(), "the tool");

    ASSERT_EQ(Download7zFrom(Utf(host.Url()) + L"/zeb-mh/", HashOf("the tool")), 0);
    EXPECT_TRUE(host.Requests().empty());
    EXPECT_EQ(ReadFileBytes(Tool()), "the tool");
}

TEST_F(SevenZipTest, APresentToolWithOtherBytesIsFetchedAgain) {
    host.Put("/zeb-mh/Tools/7z/7za.exe", "the tool");
    fs::create_directories(Tool().parent_path());
    WriteFileBytes(Tool(), "the tooI");

    ASSERT_EQ(Download7zFrom(Utf(host.Url()) + L"/zeb-mh/", HashOf("the tool")), 0);

    EXPECT_EQ(host.Requests(), std::vector<std::string>{"/zeb-mh/Tools/7z/7za.exe"});
    EXPECT_EQ(ReadFileBytes(Tool()), "the tool");
    const auto lines = Log("[ENU:5]7za.exe 해시 불일치, 다시 다운로드: " + Tool().string());
    ASSERT_EQ(lines.size(), 1u) << ReadLauncherLog(dir.path());
    EXPECT_EQ(lines[0].function, "Download7z");
}

TEST_F(SevenZipTest, AFetchedToolWithOtherBytesIsDeletedAsStatusTwenty) {
    host.Put("/zeb-mh/Tools/7z/7za.exe", "the tooI");

    EXPECT_EQ(Download7zFrom(Utf(host.Url()) + L"/zeb-mh/", HashOf("the tool")), 20);

    EXPECT_FALSE(fs::exists(Tool()));
    EXPECT_FALSE(fs::exists(fs::path(Tool()) += ".part"));
    EXPECT_EQ(Log("[ENU:20]7za.exe 파일 해시 불일치").size(), 1u) << ReadLauncherLog(dir.path());
}

TEST_F(SevenZipTest, AToolTheStorageDoesNotHaveIsStatusTen) {
    EXPECT_EQ(Fetch(), 10);
    EXPECT_FALSE(fs::exists(Tool()));
    const auto lines = Log("[ENU:10]7za.exe 파일 다운로드 실패");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].function, "Download7z");
}

}  // namespace
