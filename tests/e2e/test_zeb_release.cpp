// The publishing tool run for real: its keys load, its packages and descriptions agree with
// the files, its signatures are the ones the launcher accepts, and publishing never shows
// a release before its files.
#include <gtest/gtest.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <poll.h>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "common/HexText.h"
#include "common/os/os.h"
#include "launcher/ReleaseSignature.h"
#include "server/JsonText.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestLog.h"
#include "tests/support/UpdateServerFixture.h"

namespace fs = std::filesystem;

namespace {

// The hash as an independent implementation computes it.
std::string Sha256Hex(const std::string& bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_sha256(), nullptr);
    return HexEncode(std::span<const uint8_t>(digest, size));
}

std::string Compact(const rapidjson::Value& value) {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    value.Accept(writer);
    return buffer.GetString();
}

rapidjson::Document Json(const std::string& text) {
    rapidjson::Document document;
    document.Parse(text.c_str());
    EXPECT_FALSE(document.HasParseError()) << text;
    return document;
}

// A program folder: nested files, a hidden one, a Korean name.
void MakeProgram(const fs::path& folder, const std::string& version) {
    WriteFileBytes(folder / "Viewer.exe", "viewer program " + version);
    WriteFileBytes(folder / "VERSION.txt", version);
    WriteFileBytes(folder / "data" / "table.bin", std::string("\0\1\2\3\xff", 5) + version);
    WriteFileBytes(folder / ".settings", "hidden");
    WriteFileBytes(folder / "\xEC\x84\xA4\xEC\xA0\x95.txt", "settings");  // 설정.txt
}

// Every regular file below folder, by relative path, with its bytes.
std::map<std::string, std::string> Tree(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files[entry.path().lexically_relative(folder).string()] = ReadFileBytes(entry.path());
    return files;
}

class ZebReleaseTest : public ::testing::Test {
protected:
    ProcessResult Tool(const std::vector<std::string>& args) {
        return RunProcess(ZEB_RELEASE_EXE, args);
    }
    // A key pair below the test folder; its id.
    std::string Keygen(const std::string& name) {
        const ProcessResult result = Tool({"keygen", "--private", (dir / (name + ".pem")).string(),
                                           "--public", (dir / (name + ".pub.json")).string()});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        return result.out.substr(0, result.out.find('\n'));
    }
    ReleaseKey PublicKey(const std::string& name) {
        const rapidjson::Document file = Json(ReadFileBytes(dir / (name + ".pub.json")));
        std::vector<uint8_t> point;
        EXPECT_TRUE(HexDecode(std::string_view(file["PUBLIC_KEY"].GetString()), point));
        ReleaseKey key{};
        EXPECT_EQ(point.size(), key.publicKey.size());
        std::copy_n(point.begin(), std::min(point.size(), key.publicKey.size()), key.publicKey.begin());
        return key;
    }
    // Packs version of the program into stage (release p1) with the launcher and the tool.
    ProcessResult Pack(const fs::path& stage, const std::string& version,
                       std::vector<std::string> extra = {}) {
        const fs::path program = dir / ("program-" + version);
        MakeProgram(program, version);
        WriteFileBytes(dir / "ZEB.Launcher.exe", "launcher bytes");
        std::vector<std::string> args = {
            "pack", "--prg-id", "p1", "--program-folder", program.string(), "--short-name",
            "Viewer", "--version", version, "--install-folder", "%ProgramData%Viewer/",
            "--run-exe", "Viewer.exe", "--server-url", "https://127.0.0.1:8443/",
            "--launcher-version", "1.0.0.0", "--launcher-exe", (dir / "ZEB.Launcher.exe").string(),
            "--tool-7z", Find7zz().string(), "--stage", stage.string()};
        args.insert(args.end(), extra.begin(), extra.end());
        return Tool(args);
    }
    // pack and sign version into stage with the key "publisher".
    void PackAndSign(const fs::path& stage, const std::string& version) {
        const ProcessResult pack = Pack(stage, version);
        ASSERT_EQ(pack.exitCode, 0) << pack.err;
        const ProcessResult sign = Tool({"sign", "--key", (dir / "publisher.pem").string(),
                                         "--release", (stage / "releases/p1.json").string()});
        ASSERT_EQ(sign.exitCode, 0) << sign.err;
    }
    ProcessResult Publish(const fs::path& stage, const fs::path& folder,
                          std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {"publish", "--stage", stage.string(), "--folder",
                                         folder.string()};
        args.insert(args.end(), extra.begin(), extra.end());
        return Tool(args);
    }
    // The launcher's verdict on a release file for p1.
    int Verify(const fs::path& releaseFile, std::vector<ReleaseKey> keys,
               const std::wstring& prgId = L"p1") {
        std::wstring text;
        EXPECT_TRUE(os::Utf8ToWide(ReadFileBytes(releaseFile), text));
        JsonDocument document;
        EXPECT_TRUE(ParseJsonText(text, document));
        VerifiedRelease verified;
        return VerifyReleaseSignature(document, prgId, keys, verified);
    }

    TempDir dir;
    TestLog log;
};

TEST_F(ZebReleaseTest, KeygenWritesAPairThatLoadsAndNamesItsId) {
    const std::string keyId = Keygen("publisher");
    const fs::path privateFile = dir / "publisher.pem";
    struct stat st {};
    ASSERT_EQ(::stat(privateFile.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << "the private key is its owner's only";

    const std::string pem = ReadFileBytes(privateFile);
    BIO* bio = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
    EVP_PKEY* key = PEM_read_bio_PrivateKey(bio, nullptr, nullptr, nullptr);
    BIO_free(bio);
    ASSERT_NE(key, nullptr) << pem;
    char group[64] = {};
    size_t groupLength = 0;
    EXPECT_EQ(EVP_PKEY_get_utf8_string_param(key, OSSL_PKEY_PARAM_GROUP_NAME, group, sizeof group,
                                             &groupLength),
              1);
    EXPECT_EQ(std::string(group, groupLength), "prime256v1");
    uint8_t point[65] = {};
    size_t pointLength = 0;
    EXPECT_EQ(EVP_PKEY_get_octet_string_param(key, OSSL_PKEY_PARAM_ENCODED_PUBLIC_KEY, point,
                                              sizeof point, &pointLength),
              1);
    EVP_PKEY_free(key);

    // The public key file: what the build embeds, and the id the launcher derives.
    const rapidjson::Document publicFile = Json(ReadFileBytes(dir / "publisher.pub.json"));
    EXPECT_STREQ(publicFile["ALG"].GetString(), "ECDSA_P256_SHA256");
    EXPECT_EQ(std::string(publicFile["PUBLIC_KEY"].GetString()),
              HexEncode(std::span<const uint8_t>(point, pointLength)));
    EXPECT_EQ(std::string(publicFile["KEY_ID"].GetString()), keyId);
    EXPECT_EQ(os::WideToUtf8Lossy(ReleaseKeyId(PublicKey("publisher"))), keyId);
    EXPECT_EQ(keyId.size(), 16u);

    // A key is never overwritten, and no half pair is left behind.
    const ProcessResult again = Tool({"keygen", "--private", privateFile.string(), "--public",
                                      (dir / "other.pub.json").string()});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_EQ(ReadFileBytes(privateFile), pem);
    EXPECT_FALSE(fs::exists(dir / "other.pub.json"));
    const ProcessResult publicTaken = Tool({"keygen", "--private", (dir / "new.pem").string(),
                                            "--public", (dir / "publisher.pub.json").string()});
    EXPECT_EQ(publicTaken.exitCode, 1);
    EXPECT_FALSE(fs::exists(dir / "new.pem"));
}

TEST_F(ZebReleaseTest, PackDescribesEveryStagedFileBySizeAndHash) {
    const fs::path minSpecFile = dir / "min_spec.json";
    const std::string installerHash(64, 'a');
    WriteFileBytes(minSpecFile, R"({"WIN_VER": "7", "VC_REDIST": {"ENABLED": "true", "VER": "14",
                   "URL": "https://download.example/vc.exe", "SHA256": ")" + installerHash + "\"}}");
    const fs::path stage = dir / "stage";
    const ProcessResult pack = Pack(stage, "1.2.0", {"--min-spec", minSpecFile.string()});
    ASSERT_EQ(pack.exitCode, 0) << pack.err;

    const rapidjson::Document release = Json(ReadFileBytes(stage / "releases/p1.json"));
    EXPECT_FALSE(release.HasMember("SIGNED_RELEASE")) << "pack does not sign";
    const auto& program = release["UPDATE_PRG_INFO"];
    EXPECT_STREQ(program["INSTALL_GB"].GetString(), "ZIP");
    EXPECT_STREQ(program["UP_VERSION"].GetString(), "1.2.0");
    EXPECT_STREQ(program["ROOT_DIR_CLI_INST"].GetString(), "%ProgramData%Viewer/");
    EXPECT_STREQ(program["RUN_EXE_NAME"].GetString(), "Viewer.exe");
    EXPECT_STREQ(program["SVR_URL"].GetString(), "https://127.0.0.1:8443/");
    EXPECT_STREQ(program["ROOT_DIR_SVR"].GetString(), "files/Viewer/");
    ASSERT_EQ(program["FILES"].Size(), 1u);
    const auto& file = program["FILES"][0];
    const fs::path package = stage / "files/Viewer/1.2.0/Viewer.7z";
    const std::string packageBytes = ReadFileBytes(package);
    ASSERT_FALSE(packageBytes.empty());
    EXPECT_STREQ(file["FILE_NM"].GetString(), "Viewer.7z");
    EXPECT_STREQ(file["SUB_DIR_SVR"].GetString(), "1.2.0/");
    EXPECT_EQ(file["FILE_SIZE"].GetInt64(), static_cast<int64_t>(packageBytes.size()));
    EXPECT_EQ(file["FILE_SIZE_7Z"].GetInt64(), static_cast<int64_t>(packageBytes.size()));
    EXPECT_EQ(std::string(file["FILE_SHA256"].GetString()), Sha256Hex(packageBytes));

    // The package holds the program folder, whole.
    const fs::path unpacked = dir / "unpacked";
    const ProcessResult extract =
        RunProcess(Find7zz().string(), {"x", "-bd", "-y", "-o" + unpacked.string(), package.string()});
    ASSERT_EQ(extract.exitCode, 0) << extract.out << extract.err;
    EXPECT_EQ(Tree(unpacked), Tree(dir / "program-1.2.0"));

    // The 7-Zip tool and the launcher are staged where the launcher fetches them.
    const std::string tool = ReadFileBytes(Find7zz());
    EXPECT_EQ(ReadFileBytes(stage / "zeb-mh/Tools/7z/7za.exe"), tool);
    EXPECT_EQ(std::string(program["TOOL_7Z_SHA256"].GetString()), Sha256Hex(tool));
    const auto& launcher = release["UPDATE_LAUNCHER_INFO"];
    EXPECT_STREQ(launcher["UP_VERSION"].GetString(), "1.0.0.0");
    ASSERT_EQ(launcher["FILES"].Size(), 1u);
    EXPECT_STREQ(launcher["FILES"][0]["FILE_NM"].GetString(), "ZEB.Launcher.exe");
    EXPECT_EQ(ReadFileBytes(stage / "files/ZebLauncher/1.0.0.0/ZEB.Launcher.exe"), "launcher bytes");
    EXPECT_EQ(std::string(launcher["FILES"][0]["FILE_SHA256"].GetString()),
              Sha256Hex("launcher bytes"));
    EXPECT_EQ(launcher["FILES"][0]["FILE_SIZE"].GetInt64(), 14);

    // The minimum specification travels as JSON text with its installer's hash.
    const rapidjson::Document minSpec = Json(program["MIN_SPEC"].GetString());
    EXPECT_EQ(std::string(minSpec["VC_REDIST"]["SHA256"].GetString()), installerHash);
    EXPECT_STREQ(minSpec["WIN_VER"].GetString(), "7");
}

TEST_F(ZebReleaseTest, PackRefusesWhatALauncherCouldNotCheckOrTheServerCouldNotServe) {
    const fs::path minSpecFile = dir / "min_spec.json";
    WriteFileBytes(minSpecFile, R"({"DOTNET_FX": {"VER": "4.8", "URL": "https://download.example/ndp.exe"}})");
    const ProcessResult noHash = Pack(dir / "a", "1.2.0", {"--min-spec", minSpecFile.string()});
    EXPECT_EQ(noHash.exitCode, 1);
    EXPECT_NE(noHash.err.find("/DOTNET_FX/SHA256"), std::string::npos) << noHash.err;
    EXPECT_FALSE(fs::exists(dir / "a/releases/p1.json"));

    EXPECT_EQ(Pack(dir / "b", "1.2-beta").exitCode, 2);
    EXPECT_EQ(Pack(dir / "c", "1.2.0", {"--root-dir-svr", "../outside/"}).exitCode, 2);
    EXPECT_EQ(Pack(dir / "d", "1.2.0", {"--root-dir-svr", "files/Viewer"}).exitCode, 2);
}

TEST_F(ZebReleaseTest, SignedReleaseIsAcceptedByTheLauncherAndATamperedOneIsNot) {
    const std::string keyId = Keygen("publisher");
    const fs::path stage = dir / "stage";
    ASSERT_NO_FATAL_FAILURE(PackAndSign(stage, "1.2.0"));
    const fs::path releaseFile = stage / "releases/p1.json";
    const std::string signedRelease = ReadFileBytes(releaseFile);
    const ReleaseKey key = PublicKey("publisher");

    EXPECT_EQ(Verify(releaseFile, {key}), 0) << log.Text();
    EXPECT_EQ(Verify(releaseFile, {key}, L"p2"), 45) << "signed for its own program id";
    // Another publisher's key.
    Keygen("stranger");
    EXPECT_EQ(Verify(releaseFile, {PublicKey("stranger")}), 25);

    // One byte of the package's hash changed outside the signed text.
    const rapidjson::Document release = Json(signedRelease);
    const std::string hash = release["UPDATE_PRG_INFO"]["FILES"][0]["FILE_SHA256"].GetString();
    std::string outerChanged = signedRelease;
    const size_t outerAt = outerChanged.find("\"FILE_SHA256\": \"" + hash);
    ASSERT_NE(outerAt, std::string::npos);
    outerChanged[outerAt + 16] = hash[0] == '0' ? '1' : '0';
    WriteFileBytes(releaseFile, outerChanged);
    EXPECT_EQ(Verify(releaseFile, {key}), 50);

    // The same change inside the signed text as well.
    std::string bothChanged = outerChanged;
    const size_t innerAt = bothChanged.find("\\\"FILE_SHA256\\\":\\\"" + hash);
    ASSERT_NE(innerAt, std::string::npos);
    bothChanged[innerAt + 18] = outerChanged[outerAt + 16];
    WriteFileBytes(releaseFile, bothChanged);
    EXPECT_EQ(Verify(releaseFile, {key}), 30);

    // Signing again with another key replaces the signature; a NeedToUpdate left in the
    // file is the server's and stays outside the signed text.
    rapidjson::Document flagged = Json(signedRelease);
    flagged["UPDATE_PRG_INFO"].AddMember("NeedToUpdate", true, flagged.GetAllocator());
    WriteFileBytes(releaseFile, Compact(flagged));
    const ProcessResult resign = Tool({"sign", "--key", (dir / "stranger.pem").string(),
                                       "--release", releaseFile.string()});
    ASSERT_EQ(resign.exitCode, 0) << resign.err;
    EXPECT_EQ(Verify(releaseFile, {PublicKey("stranger")}), 0) << log.Text();
    EXPECT_EQ(Verify(releaseFile, {key}), 25);
    const rapidjson::Document resigned = Json(ReadFileBytes(releaseFile));
    EXPECT_NE(keyId, resigned["RELEASE_SIGNATURE"]["KEY_ID"].GetString());
    EXPECT_EQ(std::string(resigned["SIGNED_RELEASE"].GetString()).find("NeedToUpdate"),
              std::string::npos);
}

TEST_F(ZebReleaseTest, SignRefusesReleasesItCannotVouchFor) {
    Keygen("publisher");
    const fs::path stage = dir / "stage";
    ASSERT_EQ(Pack(stage, "1.2.0").exitCode, 0);
    const fs::path releaseFile = stage / "releases/p1.json";
    auto sign = [&] {
        return Tool({"sign", "--key", (dir / "publisher.pem").string(), "--release",
                     releaseFile.string()});
    };
    // A file the launcher would fetch without a hash to check it by.
    rapidjson::Document release = Json(ReadFileBytes(releaseFile));
    release["UPDATE_LAUNCHER_INFO"]["FILES"][0].RemoveMember("FILE_SHA256");
    WriteFileBytes(releaseFile, Compact(release));
    ProcessResult result = sign();
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("/UPDATE_LAUNCHER_INFO/FILES/0/FILE_SHA256"), std::string::npos)
        << result.err;
    EXPECT_EQ(ReadFileBytes(releaseFile), Compact(release)) << "left as it was";

    WriteFileBytes(releaseFile, R"({"UPDATE_PRG_INFO":{}})");
    EXPECT_EQ(sign().exitCode, 1) << "no launcher information";
    WriteFileBytes(releaseFile, "not JSON");
    EXPECT_EQ(sign().exitCode, 1);
    // A release file whose name is no program id.
    WriteFileBytes(stage / "releases/release.txt", "{}");
    EXPECT_EQ(Tool({"sign", "--key", (dir / "publisher.pem").string(), "--release",
                    (stage / "releases/release.txt").string()})
                  .exitCode,
              2);
}

// The names renamed into place below the watched folders, in the order the system saw them.
class RenameWatch {
public:
    explicit RenameWatch(const std::vector<fs::path>& folders) : fd_(inotify_init1(IN_NONBLOCK)) {
        for (const fs::path& folder : folders) {
            fs::create_directories(folder);
            names_[inotify_add_watch(fd_, folder.c_str(), IN_MOVED_TO)] = folder;
        }
    }
    ~RenameWatch() { ::close(fd_); }
    std::vector<fs::path> Renamed() {
        std::vector<fs::path> paths;
        alignas(inotify_event) char buffer[64 * 1024];
        for (;;) {
            const ssize_t got = ::read(fd_, buffer, sizeof buffer);
            if (got <= 0) return paths;
            for (char* p = buffer; p < buffer + got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(p);
                if (event->len > 0) paths.push_back(names_[event->wd] / event->name);
                p += sizeof(inotify_event) + event->len;
            }
        }
    }

private:
    int fd_;
    std::map<int, fs::path> names_;
};

TEST_F(ZebReleaseTest, PublishRenamesEveryFileIntoPlaceBeforeTheRelease) {
    Keygen("publisher");
    const fs::path stage = dir / "stage";
    ASSERT_NO_FATAL_FAILURE(PackAndSign(stage, "1.2.0"));
    const fs::path server = dir / "server";
    RenameWatch watch({server / "files/Viewer/1.2.0", server / "files/ZebLauncher/1.0.0.0",
                       server / "zeb-mh/Tools/7z", server / "releases"});
    const ProcessResult publish = Publish(stage, server);
    ASSERT_EQ(publish.exitCode, 0) << publish.err;

    const std::vector<fs::path> renamed = watch.Renamed();
    ASSERT_EQ(renamed.size(), 4u);
    EXPECT_EQ(renamed.back(), server / "releases/p1.json");
    EXPECT_EQ(Tree(server), Tree(stage));
    EXPECT_EQ(Verify(server / "releases/p1.json", {PublicKey("publisher")}), 0);
}

TEST_F(ZebReleaseTest, PublishStoppedBeforeTheReleaseLeavesTheOldReleaseInPlace) {
    Keygen("publisher");
    const fs::path server = dir / "server";
    fs::create_directories(server);
    ASSERT_NO_FATAL_FAILURE(PackAndSign(dir / "stage1", "1.2.0"));
    ASSERT_EQ(Publish(dir / "stage1", server).exitCode, 0);
    const std::string oldRelease = ReadFileBytes(server / "releases/p1.json");

    // The release's temporary file cannot be written: the publish fails after the files.
    ASSERT_NO_FATAL_FAILURE(PackAndSign(dir / "stage2", "1.3.0"));
    fs::create_directories(server / "releases/.p1.json.zeb-release-tmp");
    const ProcessResult stopped = Publish(dir / "stage2", server);
    EXPECT_EQ(stopped.exitCode, 1);
    EXPECT_EQ(ReadFileBytes(server / "releases/p1.json"), oldRelease);
    EXPECT_EQ(ReadFileBytes(server / "files/Viewer/1.3.0/Viewer.7z"),
              ReadFileBytes(dir / "stage2/files/Viewer/1.3.0/Viewer.7z"));
    EXPECT_TRUE(fs::exists(server / "files/Viewer/1.2.0/Viewer.7z")) << "the live release's file";

    fs::remove(server / "releases/.p1.json.zeb-release-tmp");
    ASSERT_EQ(Publish(dir / "stage2", server).exitCode, 0);
    EXPECT_EQ(ReadFileBytes(server / "releases/p1.json"),
              ReadFileBytes(dir / "stage2/releases/p1.json"));
}

TEST_F(ZebReleaseTest, PublishRefusesReleasesALauncherWithKeysWouldRefuse) {
    const fs::path server = dir / "server";
    fs::create_directories(server);
    const fs::path stage = dir / "stage";
    ASSERT_EQ(Pack(stage, "1.2.0").exitCode, 0);
    const ProcessResult unsignedRelease = Publish(stage, server);
    EXPECT_EQ(unsignedRelease.exitCode, 1);
    EXPECT_TRUE(fs::is_empty(server)) << "nothing is copied";

    Keygen("publisher");
    ASSERT_EQ(Tool({"sign", "--key", (dir / "publisher.pem").string(), "--release",
                    (stage / "releases/p1.json").string()})
                  .exitCode,
              0);
    fs::rename(stage / "releases/p1.json", stage / "releases/p2.json");
    EXPECT_EQ(Publish(stage, server).exitCode, 1) << "signed for p1, staged as p2";
    EXPECT_TRUE(fs::is_empty(server));

    fs::rename(stage / "releases/p2.json", stage / "releases/p1.json");
    ASSERT_EQ(Publish(stage, server).exitCode, 0);
    // A file a live release names is not changed under it unless asked.
    WriteFileBytes(stage / "files/Viewer/1.2.0/Viewer.7z", "other bytes");
    EXPECT_EQ(Publish(stage, server).exitCode, 1);
    EXPECT_NE(ReadFileBytes(server / "files/Viewer/1.2.0/Viewer.7z"), "other bytes");
    EXPECT_EQ(Publish(stage, server, {"--replace"}).exitCode, 0);
    EXPECT_EQ(ReadFileBytes(server / "files/Viewer/1.2.0/Viewer.7z"), "other bytes");
}

TEST_F(ZebReleaseTest, UnsignedPublishIsForBuildsWithoutKeys) {
    const fs::path stage = dir / "stage";
    ASSERT_EQ(Pack(stage, "1.2.0").exitCode, 0);
    fs::create_directories(dir / "server");
    EXPECT_EQ(Publish(stage, dir / "missing", {"--unsigned"}).exitCode, 2) << "no server folder";
    ASSERT_EQ(Publish(stage, dir / "server", {"--unsigned"}).exitCode, 0);
    EXPECT_EQ(Verify(dir / "server/releases/p1.json", {}), 0);
}

TEST_F(ZebReleaseTest, PublishedReleaseIsServedWithItsSignature) {
    Keygen("publisher");
    UpdateServerFixture server;
    ASSERT_TRUE(server.Start()) << server.Output();
    ASSERT_NO_FATAL_FAILURE(PackAndSign(dir / "stage", "1.2.0"));
    ASSERT_EQ(Publish(dir / "stage", server.Folder()).exitCode, 0);

    auto client = server.Client();
    const auto reply = client->Post("/comp/zeb/update/v1/?cmd=zeb.launcher",
                                    R"({"PRG_ID":"p1","PRG_OLD_VER":"1.0.0","LAUNCHER_OLD_VER":"1.0.0.0"})",
                                    "application/x-www-form-urlencoded");
    ASSERT_TRUE(reply);
    const rapidjson::Document envelope = Json(reply->body);
    ASSERT_STREQ(envelope["RESULT"].GetString(), "OK") << reply->body;
    std::wstring data;
    ASSERT_TRUE(os::Utf8ToWide(envelope["DATA"][0].GetString(), data));
    JsonDocument document;
    ASSERT_TRUE(ParseJsonText(data, document));
    EXPECT_TRUE(document[L"UPDATE_PRG_INFO"][L"NeedToUpdate"].IsTrue());
    VerifiedRelease verified;
    EXPECT_EQ(VerifyReleaseSignature(document, L"p1", std::vector{PublicKey("publisher")}, verified), 0)
        << log.Text();

    // The files the release names are served byte for byte.
    const auto package = client->Get("/files/Viewer/1.2.0/Viewer.7z");
    ASSERT_TRUE(package);
    EXPECT_EQ(Sha256Hex(package->body),
              Json(ReadFileBytes(server.Folder() / "releases/p1.json"))["UPDATE_PRG_INFO"]["FILES"][0]["FILE_SHA256"].GetString());
}

}  // namespace
