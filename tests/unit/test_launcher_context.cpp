// The launcher context's layout, the PC identifier, the client-information file and the
// folder macros of install paths.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "common/os/os.h"
#include "launcher/ClientInfo.h"
#include "launcher/FolderMacros.h"
#include "launcher/LauncherContext.h"
#include "tests/support/ClientInfoText.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestLog.h"

namespace fs = std::filesystem;

namespace {

std::string Utf8(const std::wstring& text) {
    std::string out;
    EXPECT_TRUE(os::WideToUtf8(text, out));
    return out;
}

bool IsGuid(const std::wstring& text) { return IsPcGuid(Utf8(text)); }

TEST(LauncherLayout, PerProgramFoldersAndFiles) {
    LauncherContext ctx;
    ctx.rootFolder = NativePath(L"/pd/Vantrel/");
    SetProgramLayout(ctx, L"p1");
    EXPECT_EQ(ctx.toolsFolder, NativePath(L"/pd/Vantrel/tools/"));
    EXPECT_EQ(ctx.sevenZipFolder, NativePath(L"/pd/Vantrel/tools/7z/"));
    EXPECT_EQ(ctx.sevenZipProgram, NativePath(L"/pd/Vantrel/tools/7z/7za.exe"));
    EXPECT_EQ(ctx.updateFolder, NativePath(L"/pd/Vantrel/_update/"));
    EXPECT_EQ(ctx.prerequisitesFolder, NativePath(L"/pd/Vantrel/_update/3rd/"));
    EXPECT_EQ(ctx.programUpdateFolder, NativePath(L"/pd/Vantrel/_update/p1/"));
    EXPECT_EQ(ctx.updateSettingsFile, NativePath(L"/pd/Vantrel/_update/p1/p1_update.json"));
    EXPECT_EQ(ctx.pendingSettingsFile, NativePath(L"/pd/Vantrel/_update/p1/p1_update_.json"));
}

TEST(LauncherLayout, LauncherPathsBesideTheModule) {
    LauncherContext ctx;
    SetLauncherPaths(ctx, NativePath(L"/opt/런처 v2/ZEB.Launcher_.exe"));
    EXPECT_EQ(ctx.modulePath, NativePath(L"/opt/런처 v2/ZEB.Launcher_.exe"));
    EXPECT_EQ(ctx.launcherPath, NativePath(L"/opt/런처 v2/ZEB.Launcher.exe"));
    EXPECT_EQ(ctx.tempLauncherPath, NativePath(L"/opt/런처 v2/ZEB.Launcher_.exe"));
}

TEST(LauncherLayout, DefaultUpdateServerIsTheUpdateApi) {
    const std::wstring& url = Context().updateServerUrl;
    EXPECT_EQ(url.rfind(L"https://", 0), 0u) << Utf8(url);
    ASSERT_GE(url.size(), 20u);
    EXPECT_EQ(url.substr(url.size() - 20), L"/comp/zeb/update/v1/");
    EXPECT_EQ(Context().messageBoxCaption, L"Vantrel Launcher");
}

TEST(GeneratePcGuid, FormatAndDistribution) {
    std::set<std::wstring> seen;
    std::set<wchar_t> variants, digits;
    for (int i = 0; i < 2000; ++i) {
        const std::wstring guid = GeneratePcGuid();
        ASSERT_TRUE(IsGuid(guid)) << Utf8(guid);
        seen.insert(guid);
        variants.insert(guid[19]);
        digits.insert(guid[0]);
        digits.insert(guid[35]);
    }
    // The pattern itself rejects what the generator must never give.
    for (const char* bad :
         {"D8eacf15-9d07-43fa-b8e0-ce9f15016ce5", "d8eacf15-9d07-53fa-b8e0-ce9f15016ce5",
          "d8eacf15-9d07-43fa-c8e0-ce9f15016ce5", "d8eacf159d07-43fa-b8e0-ce9f15016ce5a"})
        EXPECT_FALSE(IsPcGuid(bad)) << bad;
    EXPECT_EQ(seen.size(), 2000u);
    EXPECT_EQ(variants, (std::set<wchar_t>{L'8', L'9', L'a', L'b'}));
    EXPECT_EQ(digits.size(), 16u);
}

TEST(FormatClientInfo, PrettyTextWithFourSpaceIndentInMemberOrder) {
    EXPECT_EQ(FormatClientInfo(L"g", L"/a/\"q\"\\런처.exe"),
              L"{\n    \"PC_GUID\": \"g\",\n    \"PATH_LAUNCHER\": \"/a/\\\"q\\\"\\\\런처.exe\"\n}");
}

class ClientInfoFile : public ::testing::Test {
protected:
    void SetUp() override { Context().rootFolder = dir_.wpath() + NativePath(L"/Vantrel/"); }
    fs::path File() const { return dir_ / "Vantrel" / "ZebCliInfo.json"; }
    std::string Expected(const std::wstring& guid, const std::wstring& path) const {
        return "\xEF\xBB\xBF" + Utf8(FormatClientInfo(guid, path));
    }
    TestLog log_;
    TempDir dir_;
};

TEST_F(ClientInfoFile, FirstRunCreatesFoldersAndFile) {
    WriteClientInfo(L"/opt/z/ZEB.Launcher.exe");
    const std::wstring guid = Context().pcGuid;
    ASSERT_TRUE(IsGuid(guid));
    EXPECT_EQ(Context().clientInfoFile, (dir_ / "Vantrel/ZebCliInfo.json").wstring());
    EXPECT_EQ(ReadFileBytes(File()),
              "\xEF\xBB\xBF{\n    \"PC_GUID\": \"" + Utf8(guid) +
                  "\",\n    \"PATH_LAUNCHER\": \"/opt/z/ZEB.Launcher.exe\"\n}");
}

TEST_F(ClientInfoFile, IdentifierStaysWhileLauncherPathFollows) {
    WriteClientInfo(L"/old/ZEB.Launcher.exe");
    const std::wstring guid = Context().pcGuid;
    Context().pcGuid.clear();
    WriteClientInfo(L"/새 위치/ZEB.Launcher.exe");
    EXPECT_EQ(Context().pcGuid, guid);
    EXPECT_EQ(ReadFileBytes(File()), Expected(guid, L"/새 위치/ZEB.Launcher.exe"));
}

TEST_F(ClientInfoFile, EmptyLauncherPathMeansTheDownloadedLauncher) {
    WriteClientInfo(L"");
    EXPECT_EQ(Context().clientLauncherPath,
              (dir_ / "Vantrel/_update/ZebLauncher/download/latest/ZEB.Launcher.exe").wstring());
}

TEST_F(ClientInfoFile, StoredIdentifierIsKeptWhateverItsTextEncoding) {
    // Another tool may have rewritten the file as UTF-16 with a signature.
    std::string utf16 = "\xFF\xFE";
    for (char c : std::string("{\"PC_GUID\":\"keep\"}")) utf16 += {c, '\0'};
    WriteFileBytes(File(), utf16);
    WriteClientInfo(L"/l");
    EXPECT_EQ(Context().pcGuid, L"keep");
    EXPECT_EQ(ReadFileBytes(File()), Expected(L"keep", L"/l"));
}

TEST_F(ClientInfoFile, BrokenFileGetsANewIdentifierAndIsOverwritten) {
    const std::string broken[] = {
        "{\"PC_GUID\": \"abc\"",          // truncated
        "[\"PC_GUID\"]",                  // not an object
        "{\"PC_GUID\": 12}",              // not a string
        "{\"PC_GUID\": null}",
        "{\"PC_GUID\": \"\"}",            // empty identifier
        "{\"pc_guid\": \"abc\"}",         // names are exact
        std::string("\x01\x00\x02\x00", 4),  // binary
        "{\"PC_GUID\": \"a\xFF\"}",       // not UTF-8
        "",
    };
    for (const std::string& content : broken) {
        WriteFileBytes(File(), content);
        WriteClientInfo(L"/l");
        const std::wstring guid = Context().pcGuid;
        EXPECT_TRUE(IsGuid(guid)) << content;
        EXPECT_EQ(ReadFileBytes(File()), Expected(guid, L"/l")) << content;
    }
}

TEST_F(ClientInfoFile, UnreadablePlaceStillGivesAnIdentifier) {
    fs::create_directories(File());  // a folder where the file belongs: neither read nor write
    WriteClientInfo(L"/l");
    EXPECT_TRUE(IsGuid(Context().pcGuid));
    EXPECT_TRUE(fs::is_directory(File()));
}

class FolderMacros : public ::testing::Test {
protected:
    ScopedEnv env{{{"ProgramFiles", "/pf"}, {"ProgramData", "/pd"}}};
    const std::wstring pf = std::wstring(L"/pf") + os::kSep, pd = std::wstring(L"/pd") + os::kSep;
};

// A macro becomes the folder's value and the launcher's separator.
TEST_F(FolderMacros, ProgramFilesX86EveryOccurrence) {
    EXPECT_EQ(ExpandFolderMacros(L"%ProgramFilesX86%Vantrel/App"), pf + L"Vantrel/App");
    EXPECT_EQ(ExpandFolderMacros(L"%ProgramFilesX86%a;%ProgramFilesX86%b"), pf + L"a;" + pf + L"b");
}

TEST_F(FolderMacros, ProgramFilesX86WinsOverProgramData) {
    EXPECT_EQ(ExpandFolderMacros(L"%ProgramData%a;%ProgramFilesX86%b"), L"%ProgramData%a;" + pf + L"b");
}

TEST_F(FolderMacros, ProgramDataEveryOccurrence) {
    EXPECT_EQ(ExpandFolderMacros(L"%ProgramData%Vantrel/%ProgramData%"), pd + L"Vantrel/" + pd);
}

TEST_F(FolderMacros, OtherTextIsLeftAlone) {
    for (const std::wstring path : {L"%ProgramFiles%App", L"%programdata%App", L"/opt/App", L"",
                                    L"%ProgramFilesX86", L"%SystemRoot%x"}) {
        EXPECT_EQ(ExpandFolderMacros(path), path) << Utf8(path);
    }
}

}  // namespace
