#include "tests/support/UpdateServerFixture.h"

#include <openssl/evp.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cstdlib>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "common/HexText.h"
#include "tests/support/TestCa.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kApiPath = "comp/zeb/update/v1/";
constexpr const char* kListening = "listening on https://127.0.0.1:";

using JsonWriter = rapidjson::Writer<rapidjson::StringBuffer>;

void Member(JsonWriter& writer, const char* name, const std::string& value) {
    writer.Key(name);
    writer.String(value.data(), static_cast<rapidjson::SizeType>(value.size()));
}

void WriteFiles(JsonWriter& writer, const std::vector<ReleaseFile>& files) {
    writer.Key("FILES");
    writer.StartArray();
    for (const auto& file : files) {
        writer.StartObject();
        Member(writer, "FILE_NM", file.name);
        Member(writer, "SUB_DIR_SVR", file.subDirSvr);
        Member(writer, "SUB_DIR_CLI", file.subDirCli);
        Member(writer, "FILE_VERSION", file.version);
        writer.Key("FILE_SIZE");
        writer.Int64(file.size);
        writer.Key("FILE_SIZE_7Z");
        writer.Int64(file.size7z);
        Member(writer, "TYPE_GB", file.typeGb);
        if (!file.sha256.empty()) Member(writer, "FILE_SHA256", file.sha256);
        writer.EndObject();
    }
    writer.EndArray();
}

// Writes through a temporary file and a rename, so readers never see half a file.
void WriteAtomically(const fs::path& path, const std::string& bytes) {
    const fs::path temporary = path.string() + ".tmp";
    WriteFileBytes(temporary, bytes);
    if (ReadFileBytes(temporary) != bytes)
        throw std::runtime_error("cannot write " + path.string());
    fs::rename(temporary, path);
}

std::string KindFromName(const std::string& fileName) {
    const auto dot = fileName.rfind('.');
    const std::string extension = dot == std::string::npos ? "" : fileName.substr(dot + 1);
    if (extension == "msi") return "INSTALLER";
    if (extension == "7z" || extension == "zip") return "ZIP";
    return "FILES";
}

}  // namespace

std::string ProductInfo::ToJson() const {
    rapidjson::StringBuffer buffer;
    JsonWriter writer(buffer);
    writer.StartObject();
    if (needToUpdate) {
        writer.Key("NeedToUpdate");
        writer.Bool(*needToUpdate);
    }
    Member(writer, "INSTALL_GB", installKind);
    Member(writer, "SHORT_NM", shortName);
    Member(writer, "UP_VERSION", version);
    Member(writer, "ROOT_DIR_CLI_INST", installFolder);
    Member(writer, "RUN_EXE_NAME", runExeName);
    Member(writer, "CFG_FROM_SVR", cfgFromSvr);
    Member(writer, "SVR_URL", serverUrl);
    Member(writer, "ROOT_DIR_SVR", rootDirSvr);
    if (minSpec) Member(writer, "MIN_SPEC", *minSpec);
    if (tool7zSha256) Member(writer, "TOOL_7Z_SHA256", *tool7zSha256);
    WriteFiles(writer, files);
    writer.EndObject();
    return std::string(buffer.GetString(), buffer.GetSize());
}

UpdateServerFixture::UpdateServerFixture() { fs::create_directories(Folder() / "releases"); }

UpdateServerFixture::~UpdateServerFixture() { Stop(); }

bool UpdateServerFixture::Start(const std::vector<std::string>& extraArgs) {
    TrustTestCa();
    const TestCa& ca = GetTestCa();
    std::vector<std::string> args = {"--address", "127.0.0.1",           "--port", "0",
                                     "--cert",    ca.serverCert.string(), "--key",
                                     ca.serverKey.string(), "--folder", Folder().string()};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    if (!process_.Start(ZEB_UPDATE_SERVER_EXE, args)) return false;

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    const std::regex listening(std::string(kListening) + "([0-9]+)/\n");
    while (std::chrono::steady_clock::now() < deadline) {
        std::smatch match;
        const std::string output = process_.Output();
        if (std::regex_search(output, match, listening)) {
            port_ = std::stoi(match[1].str());
            return port_ > 0;
        }
        if (!process_.Running()) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

int UpdateServerFixture::Stop() { return process_.Stop(); }

bool UpdateServerFixture::Running() { return process_.Running(); }

std::string UpdateServerFixture::FileUrl() const {
    return "https://" + urlHost_ + ":" + std::to_string(port_) + "/";
}

std::string UpdateServerFixture::BaseUrl() const { return FileUrl() + kApiPath; }

std::string UpdateServerFixture::ObjectStorageUrl() const { return FileUrl() + "zeb-mh/"; }

fs::path UpdateServerFixture::PublishRelease(const std::string& prgId,
                                             const std::string& programInfoJson,
                                             const std::string& launcherInfoJson) {
    return PublishReleaseText(prgId, "{\"UPDATE_PRG_INFO\":" + programInfoJson +
                                         ",\"UPDATE_LAUNCHER_INFO\":" + launcherInfoJson + "}");
}

fs::path UpdateServerFixture::PublishRelease(const std::string& prgId,
                                             const ProductInfo& program,
                                             const ProductInfo& launcher) {
    return PublishRelease(prgId, program.ToJson(), launcher.ToJson());
}

fs::path UpdateServerFixture::PublishReleaseText(const std::string& prgId,
                                                 const std::string& text) {
    const fs::path path = Folder() / "releases" / (prgId + ".json");
    WriteAtomically(path, text);
    return path;
}

void UpdateServerFixture::RemoveRelease(const std::string& prgId) {
    fs::remove(Folder() / "releases" / (prgId + ".json"));
}

fs::path UpdateServerFixture::AddFile(const std::string& relativePath, const std::string& bytes) {
    const fs::path path = Folder() / relativePath;
    WriteAtomically(path, bytes);
    return path;
}

fs::path UpdateServerFixture::AddFileFrom(const std::string& relativePath,
                                          const fs::path& sourceFile) {
    const fs::path path = Folder() / relativePath;
    fs::create_directories(path.parent_path());
    fs::copy_file(sourceFile, path, fs::copy_options::overwrite_existing);
    return path;
}

fs::path UpdateServerFixture::Publish7Zip() {
    return AddFileFrom("zeb-mh/Tools/7z/7za.exe", Find7zz());
}

ProductInfo UpdateServerFixture::PublishProgram(const std::string& shortName,
                                                const std::string& version,
                                                const std::string& fileName, const fs::path& file,
                                                const std::string& installFolder,
                                                const std::string& runExeName) {
    ProductInfo info;
    info.installKind = KindFromName(fileName);
    info.shortName = shortName;
    info.version = version;
    info.installFolder = installFolder;
    info.runExeName = runExeName;
    info.serverUrl = FileUrl();
    info.rootDirSvr = "files/" + shortName + "/";
    ReleaseFile entry;
    entry.name = fileName;
    entry.subDirSvr = version + "/";
    entry.version = version;
    entry.size = static_cast<long long>(fs::file_size(file));
    entry.size7z = entry.size;
    info.files.push_back(entry);
    return info;
}

ProductInfo UpdateServerFixture::PublishProgramArchive(const std::string& shortName,
                                                       const std::string& version,
                                                       const fs::path& contentFolder,
                                                       const std::string& installFolder,
                                                       const std::string& runExeName) {
    const std::string fileName = shortName + ".7z";
    const fs::path archive = Folder() / "files" / shortName / version / fileName;
    fs::create_directories(archive.parent_path());
    Make7zArchive(contentFolder, archive);
    ProductInfo info =
        PublishProgram(shortName, version, fileName, archive, installFolder, runExeName);
    info.files.front().typeGb = "7Z";
    return info;
}

ProductInfo UpdateServerFixture::PublishProgramFile(const std::string& shortName,
                                                    const std::string& version,
                                                    const std::string& fileName,
                                                    const std::string& bytes,
                                                    const std::string& installFolder,
                                                    const std::string& runExeName) {
    const fs::path file = AddFile("files/" + shortName + "/" + version + "/" + fileName, bytes);
    return PublishProgram(shortName, version, fileName, file, installFolder, runExeName);
}

ProductInfo UpdateServerFixture::LauncherInfo(const std::string& version,
                                              const fs::path& launcherExe) {
    ProductInfo info;
    info.installKind = "LAUNCHER";
    info.shortName = "ZebLauncher";
    info.version = version;
    info.runExeName = "ZEB.Launcher.exe";
    info.serverUrl = FileUrl();
    info.rootDirSvr = "files/ZebLauncher/";
    ReleaseFile entry;
    entry.name = "ZEB.Launcher.exe";
    entry.subDirSvr = version + "/";
    entry.version = version;
    if (!launcherExe.empty()) {
        const fs::path published =
            AddFileFrom("files/ZebLauncher/" + version + "/ZEB.Launcher.exe", launcherExe);
        entry.size = static_cast<long long>(fs::file_size(published));
    }
    info.files.push_back(entry);
    return info;
}

void UpdateServerFixture::NameHashes(ProductInfo& info) const {
    for (ReleaseFile& file : info.files)
        file.sha256 = FileSha256(Folder() / (info.rootDirSvr + file.subDirSvr + file.name));
}

std::string UpdateServerFixture::Output() const { return process_.Output(); }

std::vector<std::string> UpdateServerFixture::RequestLines() const {
    static const std::regex requestLine("[A-Z]+ [^ ]+ [0-9]{3}( [A-Z]+)?");
    std::vector<std::string> lines;
    std::istringstream in(Output());
    for (std::string line; std::getline(in, line);) {
        if (std::regex_match(line, requestLine)) lines.push_back(line);
    }
    return lines;
}

bool UpdateServerFixture::WaitForRequestLine(const std::string& needle,
                                             std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    do {
        for (const auto& line : RequestLines())
            if (line.find(needle) != std::string::npos) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

std::unique_ptr<httplib::SSLClient> UpdateServerFixture::Client() const {
    auto client = std::make_unique<httplib::SSLClient>("127.0.0.1", port_);
    client->set_ca_cert_path(GetTestCa().caCert.c_str());
    client->enable_server_certificate_verification(true);
    client->set_connection_timeout(std::chrono::seconds(10));
    client->set_read_timeout(std::chrono::seconds(30));
    return client;
}

fs::path Find7zz() {
    if (fs::exists("/usr/bin/7zz")) return "/usr/bin/7zz";
    const char* pathVariable = std::getenv("PATH");
    std::istringstream folders(pathVariable ? pathVariable : "");
    for (std::string folder; std::getline(folders, folder, ':');) {
        const fs::path candidate = fs::path(folder) / "7zz";
        if (!folder.empty() && fs::exists(candidate)) return candidate;
    }
    throw std::runtime_error("7zz not found (Debian package 7zip)");
}

void Make7zArchive(const fs::path& sourceFolder, const fs::path& archive) {
    const fs::path target = fs::absolute(archive);
    fs::remove(target);  // 7zz adds to an existing archive
    const ProcessResult result =
        RunProcess(Find7zz().string(), {"a", "-t7z", "-y", "-bd", target.string(), "."}, {},
                   std::chrono::seconds(120), sourceFolder.string());
    if (result.exitCode != 0)
        throw std::runtime_error("7zz failed to pack " + sourceFolder.string() + ": " +
                                 result.out + result.err);
}

std::string Sha256Hex(const std::string& bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_sha256(), nullptr) != 1)
        throw std::runtime_error("SHA-256 failed");
    return HexEncode(std::span<const uint8_t>(digest, size));
}

std::string FileSha256(const fs::path& file) {
    if (!fs::is_regular_file(file)) throw std::runtime_error("no file " + file.string());
    return Sha256Hex(ReadFileBytes(file));
}
