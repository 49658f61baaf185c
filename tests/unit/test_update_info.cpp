// Parsing the update information of the launcher and of the program: required members and
// their statuses, the files and their keys, the derived installation kind.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cwctype>
#include <string>

#include "common/os/os.h"
#include "launcher/UpdateInfo.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TestLog.h"

namespace {

JsonDocument Doc(const std::wstring& text) {
    JsonDocument doc;
    doc.Parse(text.c_str());
    EXPECT_FALSE(doc.HasParseError()) << "bad test JSON";
    return doc;
}

// An update-information object with every required member; extra members appended as JSON.
std::wstring Info(const std::wstring& extra = L"", const std::wstring& installFolder = L"/opt/App/") {
    std::wstring text = L"{\"INSTALL_GB\":\"ZIP\",\"SHORT_NM\":\"App\",\"UP_VERSION\":\"1.2.3\","
                        L"\"ROOT_DIR_CLI_INST\":\"" + installFolder + L"\",\"RUN_EXE_NAME\":\"app.exe\","
                        L"\"CFG_FROM_SVR\":\"cfg\"";
    if (!extra.empty()) text += L"," + extra;
    return text + L"}";
}

std::wstring File(const std::wstring& name, const std::wstring& subDirCli = L"") {
    return L"{\"FILE_NM\":\"" + name + L"\",\"SUB_DIR_SVR\":\"1.2.3/\",\"SUB_DIR_CLI\":\"" + subDirCli +
           L"\",\"FILE_VERSION\":\"1.0\",\"FILE_SIZE\":10,\"TYPE_GB\":\"F\"}";
}

std::wstring Updating(const std::wstring& files) {
    return Info(L"\"NeedToUpdate\":true,\"SVR_URL\":\"https://files/\",\"ROOT_DIR_SVR\":\"App/\","
                L"\"FILES\":[" + files + L"]");
}

std::wstring Prg(const std::wstring& info) { return L"{\"UPDATE_PRG_INFO\":" + info + L"}"; }

std::wstring InstallGbInDocument(JsonDocument& doc) {
    return doc[L"UPDATE_PRG_INFO"][L"INSTALL_GB"].GetString();
}

TEST(UpdateInfoRead, NoUpdateSkipsServerMembersAndKeepsServerKind) {
    JsonDocument doc = Doc(Prg(Info(L"\"NeedToUpdate\":false", L"/opt/App")));
    UpdateInfo info;
    ASSERT_EQ(ParseUpdateInfo(doc, false, info), 0);
    EXPECT_FALSE(info.NeedToUpdate);
    EXPECT_EQ(info.INSTALL_GB, L"ZIP");
    EXPECT_EQ(info.SHORT_NM, L"App");
    EXPECT_EQ(info.UP_VERSION, L"1.2.3");
    EXPECT_EQ(info.CFG_FROM_SVR, L"cfg");
    EXPECT_EQ(info.RUN_EXE_PATH, L"/opt/Appapp.exe");  // plain concatenation
    EXPECT_TRUE(info.SVR_URL.empty());
    EXPECT_TRUE(info.FILES.empty());
}

TEST(UpdateInfoRead, OnlyTheLiteralTrueMeansUpdate) {
    for (const wchar_t* need : {L"\"true\"", L"1", L"null", L"{}"}) {
        // Without SVR_URL and FILES this parses only when the update flag is off.
        JsonDocument doc = Doc(Prg(Info(std::wstring(L"\"NeedToUpdate\":") + need)));
        UpdateInfo info;
        EXPECT_EQ(ParseUpdateInfo(doc, false, info), 0);
        EXPECT_FALSE(info.NeedToUpdate);
    }
}

TEST(UpdateInfoRead, LauncherFlagChoosesTheLauncherMember) {
    JsonDocument doc = Doc(L"{\"UPDATE_PRG_INFO\":" + Info() +
                           L",\"UPDATE_LAUNCHER_INFO\":{\"INSTALL_GB\":\"LAUNCHER\",\"SHORT_NM\":\"ZebLauncher\","
                           L"\"UP_VERSION\":\"2.0.0.0\",\"ROOT_DIR_CLI_INST\":\"/l/\",\"RUN_EXE_NAME\":\"ZEB.Launcher.exe\","
                           L"\"CFG_FROM_SVR\":\"\"}}");
    UpdateInfo info;
    ASSERT_EQ(ParseUpdateInfo(doc, true, info), 0);
    EXPECT_EQ(info.SHORT_NM, L"ZebLauncher");
    EXPECT_EQ(info.RUN_EXE_PATH, L"/l/ZEB.Launcher.exe");
}

TEST(UpdateInfoRead, ServerMembersAndFilesWhenUpdating) {
    JsonDocument doc = Doc(Prg(Info(
        L"\"NeedToUpdate\":true,\"SVR_URL\":\"https://files/\",\"ROOT_DIR_SVR\":\"App/\",\"MIN_SPEC\":\"{}\","
        L"\"FILES\":[{\"FILE_NM\":\"a.7z\",\"SUB_DIR_SVR\":\"s/\",\"SUB_DIR_CLI\":\"c/\",\"FILE_VERSION\":\"9\","
        L"\"FILE_SIZE\":3000000000,\"FILE_SIZE_7Z\":7,\"TYPE_GB\":\"Z\"}]")));
    UpdateInfo info;
    ASSERT_EQ(ParseUpdateInfo(doc, false, info), 0);
    EXPECT_TRUE(info.NeedToUpdate);
    EXPECT_EQ(info.SVR_URL, L"https://files/");
    EXPECT_EQ(info.ROOT_DIR_SVR, L"App/");
    EXPECT_EQ(info.MIN_SPEC, L"{}");
    ASSERT_EQ(info.FILES.size(), 1u);
    const UpdateFileInfo& file = info.FILES.at(L"c/a.7z");
    EXPECT_EQ(file.FILE_NM, L"a.7z");
    EXPECT_EQ(file.SUB_DIR_SVR, L"s/");
    EXPECT_EQ(file.SUB_DIR_CLI, L"c/");
    EXPECT_EQ(file.FILE_VERSION, L"9");
    EXPECT_EQ(file.FILE_SIZE, static_cast<int32_t>(3000000000u));  // kept as 32 bits
    EXPECT_EQ(file.FILE_SIZE_7Z, 7);
    EXPECT_EQ(file.TYPE_GB, L"Z");
}

struct KindCase {
    const wchar_t* fileName;
    const wchar_t* kind;
};

class SingleFileKind : public ::testing::TestWithParam<KindCase> {};

TEST_P(SingleFileKind, DerivedAndWrittenBackIntoTheDocument) {
    JsonDocument doc = Doc(Prg(Updating(File(GetParam().fileName))));
    UpdateInfo info;
    ASSERT_EQ(ParseUpdateInfo(doc, false, info), 0);
    EXPECT_EQ(info.INSTALL_GB, GetParam().kind);
    EXPECT_EQ(InstallGbInDocument(doc), GetParam().kind);
}

INSTANTIATE_TEST_SUITE_P(
    UpdateInfoKind, SingleFileKind,
    ::testing::Values(KindCase{L"setup.msi", L"INSTALLER"}, KindCase{L"pack.7z", L"ZIP"},
                      KindCase{L"pack.zip", L"ZIP"}, KindCase{L"Setup.MSI", L"FILES"},
                      KindCase{L"ZEB.Launcher.exe", L"LAUNCHER"}, KindCase{L"zeb.launcher.exe", L"FILES"},
                      KindCase{L"README", L"FILES"}, KindCase{L"archive.7z.msi", L"INSTALLER"},
                      KindCase{L"", L"FILES"}));

TEST(UpdateInfoKind, SeveralOrNoFilesGiveFilesAndLeaveTheDocument) {
    for (const std::wstring& files : {File(L"a.msi") + L"," + File(L"b.msi"), std::wstring()}) {
        JsonDocument doc = Doc(Prg(Updating(files)));
        UpdateInfo info;
        ASSERT_EQ(ParseUpdateInfo(doc, false, info), 0);
        EXPECT_EQ(info.INSTALL_GB, L"FILES");
        EXPECT_EQ(InstallGbInDocument(doc), L"ZIP");
    }
}

TEST(UpdateInfoKind, SingleFileWithoutNameIsFiles) {
    JsonDocument doc = Doc(Prg(Updating(
        L"{\"SUB_DIR_SVR\":\"\",\"SUB_DIR_CLI\":\"x.msi\",\"FILE_VERSION\":\"1\",\"FILE_SIZE\":1,\"TYPE_GB\":\"F\"}")));
    UpdateInfo info;
    ASSERT_EQ(ParseUpdateInfo(doc, false, info), 0);
    EXPECT_EQ(info.INSTALL_GB, L"FILES");
    ASSERT_EQ(info.FILES.count(L"x.msi"), 1u);  // key is SUB_DIR_CLI + empty name
    EXPECT_EQ(info.FILES.at(L"x.msi").FILE_NM, L"");
}

TEST(UpdateInfoFiles, KeyedByClientFolderAndNameInCodeUnitOrder) {
    JsonDocument doc = Doc(Prg(Updating(File(L"b", L"sub/") + L"," + File(L"a", L"sub/") + L"," +
                                        File(L"Z") + L"," + File(L"a"))));
    UpdateInfo info;
    ASSERT_EQ(ParseUpdateInfo(doc, false, info), 0);
    std::wstring keys;
    for (const auto& [key, file] : info.FILES) keys += key + L"|";
    EXPECT_EQ(keys, L"Z|a|sub/a|sub/b|");
}

TEST(UpdateInfoFiles, LaterElementWithSameKeyReplacesEveryField) {
    const std::wstring later =
        L"{\"FILE_NM\":\"a.bin\",\"SUB_DIR_SVR\":\"new/\",\"SUB_DIR_CLI\":\"\",\"FILE_VERSION\":\"2\","
        L"\"FILE_SIZE\":20,\"TYPE_GB\":\"N\"}";
    JsonDocument doc = Doc(Prg(Updating(
        L"{\"FILE_NM\":\"a.bin\",\"SUB_DIR_SVR\":\"old/\",\"SUB_DIR_CLI\":\"\",\"FILE_VERSION\":\"1\","
        L"\"FILE_SIZE\":10,\"FILE_SIZE_7Z\":5,\"TYPE_GB\":\"O\"}," + later)));
    UpdateInfo info;
    ASSERT_EQ(ParseUpdateInfo(doc, false, info), 0);
    ASSERT_EQ(info.FILES.size(), 1u);
    const UpdateFileInfo& file = info.FILES.at(L"a.bin");
    EXPECT_EQ(file.SUB_DIR_SVR, L"new/");
    EXPECT_EQ(file.FILE_VERSION, L"2");
    EXPECT_EQ(file.FILE_SIZE, 20);
    EXPECT_EQ(file.FILE_SIZE_7Z, 0);  // absent in the later element
    EXPECT_EQ(file.TYPE_GB, L"N");
}

struct MissingCase {
    const wchar_t* member;  // removed from a complete updating object
    int status;
};

class RequiredMember : public ::testing::TestWithParam<MissingCase> {};

TEST_P(RequiredMember, MissingOrOfAnotherTypeFailsWithItsStatusAndLine) {
    const std::wstring member = GetParam().member;
    for (const bool wrongType : {false, true}) {
        TestLog log;
        JsonDocument doc = Doc(Prg(Updating(File(L"a.7z"))));
        JsonValue& node = doc[L"UPDATE_PRG_INFO"];
        if (wrongType)
            node[member.c_str()].SetInt(1);
        else
            node.RemoveMember(member.c_str());
        UpdateInfo info;
        EXPECT_EQ(ParseUpdateInfo(doc, false, info), GetParam().status) << wrongType;
        const std::string message = "[ENU:" + std::to_string(GetParam().status) + "]설정내역에서 /" +
                                    std::string(member.begin(), member.end()) + " 항목 찾기 실패";
        const std::vector<std::string> lines = log.Lines();
        ASSERT_EQ(lines.size(), 1u) << log.Text();
        const std::string& line = lines[0];
        EXPECT_NE(line.find("[E]"), std::string::npos);
        EXPECT_NE(line.find(":ParseUpdateInfo:"), std::string::npos);
        EXPECT_EQ(line.substr(line.size() - message.size()), message);
    }
}

INSTANTIATE_TEST_SUITE_P(UpdateInfoStatus, RequiredMember,
                         ::testing::Values(MissingCase{L"INSTALL_GB", 5}, MissingCase{L"SHORT_NM", 5},
                                           MissingCase{L"UP_VERSION", 10},
                                           MissingCase{L"ROOT_DIR_CLI_INST", 40},
                                           MissingCase{L"RUN_EXE_NAME", 60},
                                           MissingCase{L"CFG_FROM_SVR", 70},
                                           MissingCase{L"SVR_URL", 20}, MissingCase{L"ROOT_DIR_SVR", 30},
                                           MissingCase{L"FILES", 80}));

TEST(UpdateInfoStatus, MissingProductMemberNamesItAndNonObjectsDoNotCrash) {
    for (const std::wstring& text : {std::wstring(L"{\"UPDATE_LAUNCHER_INFO\":{}}"), std::wstring(L"[1,2]"),
                                    std::wstring(L"\"x\"")}) {
        TestLog log;
        JsonDocument doc = Doc(text);
        UpdateInfo info;
        EXPECT_EQ(ParseUpdateInfo(doc, false, info), 53);
        EXPECT_NE(log.Text().find("[ENU:53]설정내역에서 프로그램 업데이트 정보에 해당하는 내용 찾기 실패: "
                                  "UPDATE_PRG_INFO"),
                  std::string::npos);
    }
    // A product member that is not an object has none of the members.
    JsonDocument doc = Doc(L"{\"UPDATE_PRG_INFO\":[\"INSTALL_GB\"]}");
    UpdateInfo info;
    EXPECT_EQ(ParseUpdateInfo(doc, false, info), 5);
}

TEST(UpdateInfoStatus, FailureKeepsWhatWasReadAndLeavesTheRest) {
    JsonDocument doc = Doc(Prg(L"{\"INSTALL_GB\":\"ZIP\",\"SHORT_NM\":\"App\",\"UP_VERSION\":\"3\","
                               L"\"ROOT_DIR_CLI_INST\":\"/new/\",\"CFG_FROM_SVR\":\"c\"}"));
    UpdateInfo info;
    info.RUN_EXE_NAME = L"old.exe";
    info.CFG_FROM_SVR = L"old cfg";
    EXPECT_EQ(ParseUpdateInfo(doc, false, info), 60);
    EXPECT_EQ(info.ROOT_DIR_CLI_INST, L"/new/");
    EXPECT_EQ(info.UP_VERSION, L"3");
    EXPECT_EQ(info.RUN_EXE_NAME, L"old.exe");
    EXPECT_EQ(info.CFG_FROM_SVR, L"old cfg");
}

TEST(UpdateInfoStatus, BrokenFilesElementFailsNamingIndexAndMember) {
    struct Case {
        std::wstring element;
        std::string member;
    };
    const Case cases[] = {
        {L"{\"FILE_NM\":\"a\",\"SUB_DIR_CLI\":\"\",\"FILE_VERSION\":\"1\",\"FILE_SIZE\":1,\"TYPE_GB\":\"F\"}", "SUB_DIR_SVR"},
        {L"{\"FILE_NM\":\"a\",\"SUB_DIR_SVR\":\"\",\"FILE_VERSION\":\"1\",\"FILE_SIZE\":1,\"TYPE_GB\":\"F\"}", "SUB_DIR_CLI"},
        {L"{\"FILE_NM\":\"a\",\"SUB_DIR_SVR\":\"\",\"SUB_DIR_CLI\":\"\",\"FILE_SIZE\":1,\"TYPE_GB\":\"F\"}", "FILE_VERSION"},
        {L"{\"FILE_NM\":\"a\",\"SUB_DIR_SVR\":\"\",\"SUB_DIR_CLI\":\"\",\"FILE_VERSION\":\"1\",\"FILE_SIZE\":\"1\",\"TYPE_GB\":\"F\"}", "FILE_SIZE"},
        {L"{\"FILE_NM\":\"a\",\"SUB_DIR_SVR\":\"\",\"SUB_DIR_CLI\":\"\",\"FILE_VERSION\":\"1\",\"FILE_SIZE\":1.5,\"TYPE_GB\":\"F\"}", "FILE_SIZE"},
        {L"{\"FILE_NM\":\"a\",\"SUB_DIR_SVR\":\"\",\"SUB_DIR_CLI\":\"\",\"FILE_VERSION\":\"1\",\"FILE_SIZE\":1,\"TYPE_GB\":7}", "TYPE_GB"},
        {L"\"a.7z\"", "SUB_DIR_SVR"},
    };
    for (const Case& c : cases) {
        TestLog log;
        JsonDocument doc = Doc(Prg(Updating(File(L"first.bin") + L"," + c.element)));
        UpdateInfo info;
        EXPECT_EQ(ParseUpdateInfo(doc, false, info), 90);
        EXPECT_NE(log.Text().find("[ENU:90]설정내역에서 /FILES/1/" + c.member + " 항목 찾기 실패"),
                  std::string::npos)
            << log.Text();
        EXPECT_EQ(info.FILES.count(L"first.bin"), 1u);  // the element before it was kept
    }
}

TEST(UpdateInfoStatus, OptionalMembersOfAnotherTypeCountAsAbsent) {
    JsonDocument doc = Doc(Prg(Info(
        L"\"NeedToUpdate\":true,\"SVR_URL\":\"u\",\"ROOT_DIR_SVR\":\"r\",\"MIN_SPEC\":{\"OS\":1},"
        L"\"FILES\":[{\"FILE_NM\":5,\"SUB_DIR_SVR\":\"\",\"SUB_DIR_CLI\":\"c.msi\",\"FILE_VERSION\":\"1\","
        L"\"FILE_SIZE\":1,\"FILE_SIZE_7Z\":\"big\",\"TYPE_GB\":\"F\"}]")));
    UpdateInfo info;
    ASSERT_EQ(ParseUpdateInfo(doc, false, info), 0);
    EXPECT_EQ(info.MIN_SPEC, L"");
    ASSERT_EQ(info.FILES.count(L"c.msi"), 1u);
    EXPECT_EQ(info.FILES.at(L"c.msi").FILE_SIZE_7Z, 0);
    EXPECT_EQ(info.INSTALL_GB, L"FILES");  // no name to derive a kind from
}

// Hashes: optional, read only when an update is due, and exactly 64 lower-case hex digits
// when given.
const std::wstring kHashA(64, L'a');
const std::wstring kHashB = L"0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";

std::wstring HashedFile(const std::wstring& name, const std::wstring& hashJson) {
    std::wstring element = File(name);
    element.insert(element.size() - 1, L",\"FILE_SHA256\":" + hashJson);
    return element;
}

TEST(UpdateInfoHashes, GivenHashesAreReadAndMissingOnesStayEmpty) {
    JsonDocument doc = Doc(Prg(Info(
        L"\"NeedToUpdate\":true,\"SVR_URL\":\"https://files/\",\"ROOT_DIR_SVR\":\"App/\","
        L"\"TOOL_7Z_SHA256\":\"" + kHashA + L"\",\"FILES\":[" +
        HashedFile(L"a.bin", L"\"" + kHashB + L"\"") + L"," + File(L"b.bin") + L"]")));
    UpdateInfo info;
    ASSERT_EQ(ParseUpdateInfo(doc, false, info), 0);
    EXPECT_EQ(info.TOOL_7Z_SHA256, kHashA);
    EXPECT_EQ(info.FILES.at(L"a.bin").FILE_SHA256, kHashB);
    EXPECT_EQ(info.FILES.at(L"b.bin").FILE_SHA256, L"");

    JsonDocument bare = Doc(Prg(Updating(File(L"a.bin"))));
    UpdateInfo unhashed;
    ASSERT_EQ(ParseUpdateInfo(bare, false, unhashed), 0);
    EXPECT_EQ(unhashed.TOOL_7Z_SHA256, L"");
}

TEST(UpdateInfoHashes, MalformedHashesFailWithTheirStatusAndLine) {
    std::wstring upper = kHashB;
    for (wchar_t& c : upper) c = static_cast<wchar_t>(towupper(c));
    const std::wstring malformed[] = {
        L"\"" + upper + L"\"",                       // the one spelling is lower case
        L"\"" + kHashA.substr(1) + L"\"",            // 63 digits
        L"\"" + kHashA + L"a\"",                     // 65 digits
        L"\"" + kHashA.substr(1) + L"g\"",           // not hex
        L"\"\"",
        L"7",
        L"null",
    };
    for (const std::wstring& hash : malformed) {
        TestLog log;
        JsonDocument tool = Doc(Prg(Info(
            L"\"NeedToUpdate\":true,\"SVR_URL\":\"u\",\"ROOT_DIR_SVR\":\"r\",\"TOOL_7Z_SHA256\":" +
            hash + L",\"FILES\":[" + File(L"a.bin") + L"]")));
        UpdateInfo toolInfo;
        EXPECT_EQ(ParseUpdateInfo(tool, false, toolInfo), 35);
        EXPECT_EQ(log.Matching("[ENU:35]설정내역에서 /TOOL_7Z_SHA256 항목 형식 오류").size(), 1u)
            << log.Text();

        JsonDocument file = Doc(Prg(Updating(File(L"first.bin") + L"," + HashedFile(L"a.bin", hash))));
        UpdateInfo fileInfo;
        EXPECT_EQ(ParseUpdateInfo(file, false, fileInfo), 95);
        EXPECT_EQ(log.Matching("[ENU:95]설정내역에서 /FILES/1/FILE_SHA256 항목 형식 오류").size(), 1u)
            << log.Text();
    }
}

TEST(UpdateInfoHashes, NotReadWithoutAnUpdate) {
    JsonDocument doc = Doc(Prg(Info(L"\"NeedToUpdate\":false,\"TOOL_7Z_SHA256\":\"bad\","
                                    L"\"FILES\":[" + HashedFile(L"a.bin", L"\"bad\"") + L"]")));
    UpdateInfo info;
    EXPECT_EQ(ParseUpdateInfo(doc, false, info), 0);
    EXPECT_EQ(info.TOOL_7Z_SHA256, L"");
}

class FolderMacro : public ::testing::Test {
protected:
    ScopedEnv env{{{"ProgramFiles", "/pf"}, {"ProgramData", "/pd"}}};
    std::wstring Parsed(const std::wstring& folder) {
        JsonDocument doc = Doc(Prg(Info(L"", folder)));
        UpdateInfo info;
        EXPECT_EQ(ParseUpdateInfo(doc, false, info), 0);
        EXPECT_EQ(info.RUN_EXE_PATH, info.ROOT_DIR_CLI_INST + L"app.exe");
        return info.ROOT_DIR_CLI_INST;
    }
};

TEST_F(FolderMacro, InstallFolderIsExpandedBeforeTheRunPathIsBuilt) {
    // The folder's value and the launcher's separator, then the rest as it stands.
    const std::wstring pf = std::wstring(L"/pf") + os::kSep, pd = std::wstring(L"/pd") + os::kSep;
    EXPECT_EQ(Parsed(L"%ProgramFilesX86%Vantrel/App/"), pf + L"Vantrel/App/");
    EXPECT_EQ(Parsed(L"%ProgramData%App/"), pd + L"App/");
    EXPECT_EQ(Parsed(L"%ProgramFilesX86%a/%ProgramData%b/"), pf + L"a/%ProgramData%b/");
    EXPECT_EQ(Parsed(L"%ProgramFiles%App/"), L"%ProgramFiles%App/");
}

}  // namespace
