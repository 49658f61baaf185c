#pragma once
// The real zeb-update-server for end-to-end tests: a child process on 127.0.0.1 with an
// ephemeral port, the test certificate (tests/support/TestCa.h) and a fresh release folder.
//
//   UpdateServerFixture server;
//   ASSERT_TRUE(server.Start());                  // also trusts the test CA (SSL_CERT_FILE)
//   server.Publish7Zip();                         // Debian's 7zz as zeb-mh/Tools/7z/7za.exe
//   ProductInfo program = server.PublishProgramArchive("Viewer", "1.2.0", contentFolder,
//                                                      "%ProgramData%Viewer/", "viewer.exe");
//   server.PublishRelease("p1", program, server.LauncherInfo("1.0.0.0"));
//   ... run ZEB.Launcher.exe with --__TEST_UPDATE_URL__=server.BaseUrl() ...
//   EXPECT_TRUE(server.WaitForRequestLine("GET /files/Viewer/1.2.0/Viewer.7z 200"));
//
// Release folder layout (Folder()):
//   releases/<PRG_ID>.json    the release the API answers for PRG_ID (never served by GET)
//   files/<SHORT_NM>/<ver>/   update files published by the Publish* helpers
//   zeb-mh/Tools/7z/7za.exe   the 7-Zip tool (Publish7Zip)
//   anything else             served by GET as it lies (AddFile, AddFileFrom)
//
// The server decides NeedToUpdate itself: the program when the request's PRG_OLD_VER is
// empty, not a dotted version, or lower than UPDATE_PRG_INFO.UP_VERSION; the launcher
// likewise from LAUNCHER_OLD_VER and UPDATE_LAUNCHER_INFO.UP_VERSION. It re-reads the
// release file on every request, so republishing takes effect without a restart.
//
// Every method that needs the port (URLs, Publish* helpers filling SVR_URL) needs Start()
// first. Failures to set up (7zz failing, a file that cannot be written) throw
// std::runtime_error, which fails the calling test.
#include <httplib.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"

// One FILES element of an update-information object.
struct ReleaseFile {
    std::string name;       // FILE_NM
    std::string subDirSvr;  // SUB_DIR_SVR: below ROOT_DIR_SVR, ending in "/" or empty
    std::string subDirCli;  // SUB_DIR_CLI
    std::string version;    // FILE_VERSION
    long long size = 0;     // FILE_SIZE
    long long size7z = 0;   // FILE_SIZE_7Z
    std::string typeGb = "F";  // TYPE_GB
    std::string sha256;     // FILE_SHA256, written when not empty
};

// An update-information object (UPDATE_PRG_INFO or UPDATE_LAUNCHER_INFO).
struct ProductInfo {
    std::optional<bool> needToUpdate;  // written only when set; the server decides it anyway
    std::string installKind = "ZIP";   // INSTALL_GB
    std::string shortName;             // SHORT_NM
    std::string version;               // UP_VERSION: a dotted version, or the server answers
                                       // EXCEPTION for the release
    std::string installFolder;         // ROOT_DIR_CLI_INST (may hold a folder macro)
    std::string runExeName;            // RUN_EXE_NAME
    std::string cfgFromSvr;            // CFG_FROM_SVR
    std::string serverUrl;             // SVR_URL
    std::string rootDirSvr;            // ROOT_DIR_SVR
    std::optional<std::string> minSpec;  // MIN_SPEC: a JSON text, written as a string
    std::optional<std::string> tool7zSha256;  // TOOL_7Z_SHA256
    std::vector<ReleaseFile> files;    // FILES

    // The object as compact JSON text (UTF-8).
    std::string ToJson() const;
};

class UpdateServerFixture {
public:
    UpdateServerFixture();  // makes the release folder; the server is not started yet
    ~UpdateServerFixture();  // stops the server; the folder is removed
    UpdateServerFixture(const UpdateServerFixture&) = delete;
    UpdateServerFixture& operator=(const UpdateServerFixture&) = delete;

    // Starts the server (extraArgs are added to its command line, e.g. {"--api-path", "/x/"})
    // and waits for its listening line. Sets SSL_CERT_FILE to the test CA for this process
    // and the children it starts. False when the server does not come up (see Output()).
    bool Start(const std::vector<std::string>& extraArgs = {});
    // SIGTERM (SIGKILL after a grace period); the server's exit code, -1 when not running.
    int Stop();
    bool Running();

    int Port() const { return port_; }
    int Pid() const { return process_.pid(); }
    // HOST in the URLs below: 127.0.0.1 unless set here (the server listens on 127.0.0.1
    // either way; its certificate names 127.0.0.1 and localhost). Set it before publishing.
    void SetUrlHost(const std::string& host) { urlHost_ = host; }
    // https://HOST:PORT/comp/zeb/update/v1/ (the update API base URL)
    std::string BaseUrl() const;
    // https://HOST:PORT/ (the SVR_URL of files published here)
    std::string FileUrl() const;
    // https://HOST:PORT/zeb-mh/ (the object-storage base URL of the 7-Zip tool)
    std::string ObjectStorageUrl() const;
    const std::filesystem::path& Folder() const { return folder_.path(); }

    // Writes releases/<prgId>.json holding the two objects (JSON texts). Files are replaced
    // atomically, so a request running meanwhile sees the old or the new release, whole.
    std::filesystem::path PublishRelease(const std::string& prgId,
                                         const std::string& programInfoJson,
                                         const std::string& launcherInfoJson);
    std::filesystem::path PublishRelease(const std::string& prgId, const ProductInfo& program,
                                         const ProductInfo& launcher);
    // Writes releases/<prgId>.json with exactly this text (for broken releases).
    std::filesystem::path PublishReleaseText(const std::string& prgId, const std::string& text);
    void RemoveRelease(const std::string& prgId);

    // A file served at FileUrl() + relativePath.
    std::filesystem::path AddFile(const std::string& relativePath, const std::string& bytes);
    // A copy of sourceFile (its mode kept) served at FileUrl() + relativePath.
    std::filesystem::path AddFileFrom(const std::string& relativePath,
                                      const std::filesystem::path& sourceFile);
    // Debian's 7zz served as zeb-mh/Tools/7z/7za.exe, where the launcher fetches its tool.
    std::filesystem::path Publish7Zip();

    // Packs contentFolder into files/<shortName>/<version>/<shortName>.7z and returns the
    // matching program information: kind "ZIP", SVR_URL FileUrl(), ROOT_DIR_SVR
    // "files/<shortName>/", one file with SUB_DIR_SVR "<version>/".
    ProductInfo PublishProgramArchive(const std::string& shortName, const std::string& version,
                                      const std::filesystem::path& contentFolder,
                                      const std::string& installFolder,
                                      const std::string& runExeName);
    // The same with one file of the given name and bytes (an installer "setup.msi", ...);
    // installKind is the server's guess from the name ("INSTALLER" for .msi, "ZIP" for .7z
    // and .zip, else "FILES"); the launcher derives its own.
    ProductInfo PublishProgramFile(const std::string& shortName, const std::string& version,
                                   const std::string& fileName, const std::string& bytes,
                                   const std::string& installFolder,
                                   const std::string& runExeName);
    // Launcher information of the given version: SHORT_NM "ZebLauncher", kind "LAUNCHER",
    // one file "ZEB.Launcher.exe" at files/ZebLauncher/<version>/. With launcherExe that file
    // is published too; without, it is listed but missing (a download that fails).
    ProductInfo LauncherInfo(const std::string& version,
                             const std::filesystem::path& launcherExe = {});

    // Fills FILE_SHA256 of every file of info from the file this server holds for it.
    void NameHashes(ProductInfo& info) const;

    // Everything the server wrote (standard output and error).
    std::string Output() const;
    // The request log lines, oldest first: "METHOD TARGET STATUS" and, for update API
    // replies, " RESULT" (TARGET as received: path and query, percent-encoded as sent).
    std::vector<std::string> RequestLines() const;
    // The server writes a request's line after sending the reply: wait for it before
    // looking. True once a request line contains needle.
    bool WaitForRequestLine(const std::string& needle,
                            std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

    // A client for this server that verifies its certificate against the test CA.
    std::unique_ptr<httplib::SSLClient> Client() const;

private:
    ProductInfo PublishProgram(const std::string& shortName, const std::string& version,
                               const std::string& fileName, const std::filesystem::path& file,
                               const std::string& installFolder, const std::string& runExeName);

    TempDir folder_;
    BackgroundProcess process_;
    int port_ = 0;
    std::string urlHost_ = "127.0.0.1";
};

// Debian's 7-Zip command-line binary (package 7zip): /usr/bin/7zz, else 7zz on PATH.
std::filesystem::path Find7zz();
// Packs everything below sourceFolder (names relative to it) into a new 7z archive; an
// existing archive is replaced. Throws std::runtime_error when 7zz fails.
void Make7zArchive(const std::filesystem::path& sourceFolder,
                   const std::filesystem::path& archive);
// SHA-256 as 64 lower-case hex digits (the form a release names), computed by libcrypto
// rather than by the launcher's code, so that the two check each other.
std::string Sha256Hex(const std::string& bytes);
std::string FileSha256(const std::filesystem::path& file);
