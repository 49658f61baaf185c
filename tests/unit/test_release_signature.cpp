// Release signatures: which documents a build accepts, by its keys, and the status of each
// refusal; the key list the build makes from its public key files.
#include <gtest/gtest.h>

#include <cwctype>
#include <functional>
#include <string>
#include <vector>

#include "common/HexText.h"
#include "common/os/os.h"
#include "launcher/ReleaseSignature.h"
#include "launcher/UpdateInfo.h"
#include "server/JsonText.h"
#include "tests/support/SignedReleaseVectors.h"
#include "tests/support/TestLog.h"

// Made by the build from tests/data/release_keys/{old,new}.pub.json.
std::span<const ReleaseKey> TestDataReleaseKeys();

namespace {

using namespace vectors;

ReleaseKey Key(std::string_view hex) {
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(HexDecode(hex, bytes));
    ReleaseKey key{};
    EXPECT_EQ(bytes.size(), key.publicKey.size());
    std::copy_n(bytes.begin(), std::min(bytes.size(), key.publicKey.size()), key.publicKey.begin());
    return key;
}

const ReleaseKey kOld = Key(kOldKey);
const ReleaseKey kNew = Key(kNewKey);

std::wstring Wide(std::string_view utf8) {
    std::wstring text;
    EXPECT_TRUE(os::Utf8ToWide(std::string(utf8), text));
    return text;
}

JsonDocument Document(const std::string& utf8) {
    JsonDocument document;
    EXPECT_TRUE(ParseJsonText(Wide(utf8), document)) << utf8;
    return document;
}

JsonDocument OldSigned() { return Document(SignedDocument(kRelease, kOldKeyId, kSigRelease)); }

class ReleaseSignatureTest : public ::testing::Test {
protected:
    int Verify(const JsonValue& document, std::vector<ReleaseKey> keys,
               const std::wstring& prgId = L"viewer") {
        verified = VerifiedRelease{};
        return VerifyReleaseSignature(document, prgId, keys, verified);
    }
    // The status, and the last log line naming it with this message.
    void ExpectRefused(const JsonValue& document, int status, const std::string& message,
                       std::vector<ReleaseKey> keys = {kOld}) {
        EXPECT_EQ(Verify(document, keys), status) << message;
        const std::string entry = "[ENU:" + std::to_string(status) + "]" + message;
        const std::vector<std::string> lines = log.Lines();
        EXPECT_TRUE(!lines.empty() && lines.back().ends_with(entry))
            << "no line " << entry << " at the end of\n" << log.Text();
        EXPECT_TRUE(verified.keyId.empty());
    }

    TestLog log;
    VerifiedRelease verified;
};

TEST_F(ReleaseSignatureTest, BuildWithoutKeysTakesEveryDocumentAsItIs) {
    EXPECT_EQ(Verify(Document(R"({"UPDATE_PRG_INFO":{},"UPDATE_LAUNCHER_INFO":{}})"), {}), 0);
    JsonDocument tampered = OldSigned();
    JsonPointer(L"/UPDATE_PRG_INFO/UP_VERSION").Set(tampered, L"9.9.9");
    EXPECT_EQ(Verify(tampered, {}), 0);
    EXPECT_TRUE(verified.keyId.empty());
    EXPECT_EQ(log.Text(), "");
}

TEST_F(ReleaseSignatureTest, ReleaseSignedByABuildKeyIsAccepted) {
    const JsonDocument document = OldSigned();
    ASSERT_EQ(Verify(document, {kOld}), 0) << log.Text();
    EXPECT_EQ(verified.keyId, Wide(kOldKeyId));
    ASSERT_TRUE(verified.signedRelease.IsObject());
    EXPECT_EQ(std::wstring(verified.signedRelease[L"PRG_ID"].GetString()), L"viewer");
    // Text beyond 16 bits came through the signed bytes unchanged.
    EXPECT_EQ(std::wstring(verified.signedRelease[L"UPDATE_PRG_INFO"][L"RUN_EXE_NAME"].GetString()),
              Wide("\xEB\xB7\xB0\xEC\x96\xB4\xF0\x9F\x98\x80.exe"));
    EXPECT_EQ(log.Text(), "");
}

TEST_F(ReleaseSignatureTest, KeyRotation) {
    const JsonDocument byNew = Document(SignedDocument(kRelease, kNewKeyId, kSigReleaseByNewKey));
    EXPECT_EQ(Verify(byNew, {kOld, kNew}), 0);
    EXPECT_EQ(verified.keyId, Wide(kNewKeyId));
    EXPECT_EQ(Verify(OldSigned(), {kOld, kNew}), 0);
    EXPECT_EQ(verified.keyId, Wide(kOldKeyId));
    // Once the old key is retired its releases are refused.
    ExpectRefused(OldSigned(), 25, "알 수 없는 서명 키: " + std::string(kOldKeyId), {kNew});
}

TEST_F(ReleaseSignatureTest, MissingSignatureIsRefusedByABuildWithKeys) {
    ExpectRefused(Document(R"({"UPDATE_PRG_INFO":{},"UPDATE_LAUNCHER_INFO":{}})"), 5,
                  "릴리스 서명 항목 없음: SIGNED_RELEASE");
    JsonDocument withoutSignature = OldSigned();
    withoutSignature.RemoveMember(L"RELEASE_SIGNATURE");
    ExpectRefused(withoutSignature, 5, "릴리스 서명 항목 없음: RELEASE_SIGNATURE");
    ExpectRefused(Document("[]"), 5, "릴리스 서명 항목 없음: SIGNED_RELEASE");
}

TEST_F(ReleaseSignatureTest, SignatureMembersOfAnotherFormAreRefused) {
    const std::vector<std::pair<std::function<void(JsonDocument&)>, std::string>> cases = {
        {[](JsonDocument& d) { JsonPointer(L"/SIGNED_RELEASE").Set(d, 5); }, "/SIGNED_RELEASE"},
        {[](JsonDocument& d) { JsonPointer(L"/RELEASE_SIGNATURE").Set(d, L"sig"); },
         "/RELEASE_SIGNATURE"},
        {[](JsonDocument& d) { d[L"RELEASE_SIGNATURE"].RemoveMember(L"KEY_ID"); },
         "/RELEASE_SIGNATURE/KEY_ID"},
        {[](JsonDocument& d) { JsonPointer(L"/RELEASE_SIGNATURE/ALG").Set(d, true); },
         "/RELEASE_SIGNATURE/ALG"},
        {[](JsonDocument& d) {
             std::wstring sig = Wide(kSigRelease);
             for (wchar_t& c : sig) c = static_cast<wchar_t>(std::towupper(c));
             JsonPointer(L"/RELEASE_SIGNATURE/SIG").Set(d, sig.c_str());
         },
         "/RELEASE_SIGNATURE/SIG"},
        {[](JsonDocument& d) {
             JsonPointer(L"/RELEASE_SIGNATURE/SIG").Set(d, Wide(kSigRelease).substr(1).c_str());
         },
         "/RELEASE_SIGNATURE/SIG"},
    };
    for (const auto& [change, where] : cases) {
        JsonDocument document = OldSigned();
        change(document);
        ExpectRefused(document, 10, "릴리스 서명 형식 오류: " + where);
    }
}

TEST_F(ReleaseSignatureTest, TruncatedSignatureIsRefused) {
    JsonDocument document = OldSigned();
    JsonPointer(L"/RELEASE_SIGNATURE/SIG").Set(document, Wide(kSigRelease.substr(0, 126)).c_str());
    ExpectRefused(document, 15, "릴리스 서명 길이 오류(63바이트)");
    JsonPointer(L"/RELEASE_SIGNATURE/SIG").Set(document, L"");
    ExpectRefused(document, 15, "릴리스 서명 길이 오류(0바이트)");
}

TEST_F(ReleaseSignatureTest, AnotherAlgorithmIsRefused) {
    JsonDocument document = OldSigned();
    JsonPointer(L"/RELEASE_SIGNATURE/ALG").Set(document, L"ED25519");
    ExpectRefused(document, 20, "지원하지 않는 서명 방식: ED25519");
}

TEST_F(ReleaseSignatureTest, KeysTheBuildDoesNotHoldAreRefused) {
    // A key id the build does not know.
    ExpectRefused(Document(SignedDocument(kRelease, kThirdKeyId, kSigReleaseByThirdKey)), 25,
                  "알 수 없는 서명 키: " + std::string(kThirdKeyId));
    // Another key's signature presented under a known key's id.
    ExpectRefused(Document(SignedDocument(kRelease, kOldKeyId, kSigReleaseByThirdKey)), 30,
                  "릴리스 서명 검증 실패(키: " + std::string(kOldKeyId) + ")");
}

TEST_F(ReleaseSignatureTest, SignatureOverOtherBytesIsRefused) {
    // The signed text changed by one character (and the outer object with it).
    std::string changed(kRelease);
    changed.replace(changed.find("2.0.13"), 6, "2.0.14");
    ExpectRefused(Document(SignedDocument(changed, kOldKeyId, kSigRelease)), 30,
                  "릴리스 서명 검증 실패(키: " + std::string(kOldKeyId) + ")");
    // One bit of s changed.
    std::string sig(kSigRelease);
    sig[100] = sig[100] == '0' ? '1' : '0';
    EXPECT_EQ(Verify(Document(SignedDocument(kRelease, kOldKeyId, sig)), {kOld}), 30);
    // Another release's signature.
    EXPECT_EQ(Verify(Document(SignedDocument(kRelease, kOldKeyId, kSigReleaseWithoutLauncher)),
                     {kOld}),
              30);
}

TEST_F(ReleaseSignatureTest, SignedTextThatIsNoReleaseIsRefused) {
    ExpectRefused(Document(SignedDocument(kReleaseWithoutLauncher, kOldKeyId,
                                          kSigReleaseWithoutLauncher)),
                  40, "서명된 릴리스 내용 오류: UPDATE_LAUNCHER_INFO");
    ExpectRefused(Document(SignedDocument(kReleaseWithRepeatedName, kOldKeyId,
                                          kSigReleaseWithRepeatedName)),
                  40, "서명된 릴리스 내용 오류: nesting or repeated names");
    ExpectRefused(Document(SignedDocument(kReleaseNestedTooDeep, kOldKeyId,
                                          kSigReleaseNestedTooDeep)),
                  40, "서명된 릴리스 내용 오류: nesting or repeated names");
}

TEST_F(ReleaseSignatureTest, AnotherProgramsReleaseIsRefused) {
    EXPECT_EQ(Verify(OldSigned(), {kOld}, L"other"), 45);
    EXPECT_EQ(log.Matching("[ENU:45]다른 프로그램의 릴리스: viewer").size(), 1u) << log.Text();
}

TEST_F(ReleaseSignatureTest, OuterMembersChangedAfterSigningAreRefused) {
    struct Change {
        std::function<void(JsonDocument&)> apply;
        std::string where;
    };
    auto set = [](const wchar_t* pointer, std::wstring value) {
        return [=](JsonDocument& d) { JsonPointer(pointer).Set(d, value.c_str()); };
    };
    auto remove = [](const wchar_t* info, const wchar_t* member) {
        return [=](JsonDocument& d) { d[info].RemoveMember(member); };
    };
    const std::vector<Change> changes = {
        {set(L"/UPDATE_PRG_INFO/UP_VERSION", L"2.0.14"), "/UPDATE_PRG_INFO/UP_VERSION"},
        {set(L"/UPDATE_PRG_INFO/ROOT_DIR_CLI_INST", L"C:/Evil/"), "/UPDATE_PRG_INFO/ROOT_DIR_CLI_INST"},
        {set(L"/UPDATE_PRG_INFO/RUN_EXE_NAME", L"evil.exe"), "/UPDATE_PRG_INFO/RUN_EXE_NAME"},
        {set(L"/UPDATE_PRG_INFO/SVR_URL", L"https://evil.example/"), "/UPDATE_PRG_INFO/SVR_URL"},
        {set(L"/UPDATE_PRG_INFO/MIN_SPEC", L"{}"), "/UPDATE_PRG_INFO/MIN_SPEC"},
        {set(L"/UPDATE_PRG_INFO/TOOL_7Z_SHA256", std::wstring(64, L'0')),
         "/UPDATE_PRG_INFO/TOOL_7Z_SHA256"},
        {set(L"/UPDATE_PRG_INFO/FILES/0/FILE_SHA256", std::wstring(64, L'1')),
         "/UPDATE_PRG_INFO/FILES/0/FILE_SHA256"},
        {set(L"/UPDATE_PRG_INFO/FILES/0/FILE_NM", L"Other.7z"), "/UPDATE_PRG_INFO/FILES/0/FILE_NM"},
        {[](JsonDocument& d) { JsonPointer(L"/UPDATE_PRG_INFO/FILES/0/FILE_SIZE").Set(d, 1234.0); },
         "/UPDATE_PRG_INFO/FILES/0/FILE_SIZE"},
        {[](JsonDocument& d) {
             JsonValue copy(d[L"UPDATE_PRG_INFO"][L"FILES"][0], d.GetAllocator());
             d[L"UPDATE_PRG_INFO"][L"FILES"].PushBack(copy, d.GetAllocator());
         },
         "/UPDATE_PRG_INFO/FILES"},
        {remove(L"UPDATE_PRG_INFO", L"TOOL_7Z_SHA256"), "/UPDATE_PRG_INFO/TOOL_7Z_SHA256"},
        {remove(L"UPDATE_PRG_INFO", L"MIN_SPEC"), "/UPDATE_PRG_INFO/MIN_SPEC"},
        {set(L"/UPDATE_LAUNCHER_INFO/MIN_SPEC", L"{}"), "/UPDATE_LAUNCHER_INFO/MIN_SPEC"},
        // The launcher's object has no file: its kind is compared as signed.
        {set(L"/UPDATE_LAUNCHER_INFO/INSTALL_GB", L"ZIP"), "/UPDATE_LAUNCHER_INFO/INSTALL_GB"},
        {[](JsonDocument& d) {
             d[L"UPDATE_PRG_INFO"].AddMember(L"UP_VERSION", L"9.9.9", d.GetAllocator());
         },
         "/UPDATE_PRG_INFO/UP_VERSION"},
        {[](JsonDocument& d) { d.RemoveMember(L"UPDATE_LAUNCHER_INFO"); }, "/UPDATE_LAUNCHER_INFO"},
        {[](JsonDocument& d) {
             JsonValue copy(d[L"UPDATE_PRG_INFO"], d.GetAllocator());
             d.AddMember(L"UPDATE_PRG_INFO", copy, d.GetAllocator());
         },
         "/UPDATE_PRG_INFO"},
    };
    for (const Change& change : changes) {
        JsonDocument document = OldSigned();
        change.apply(document);
        ExpectRefused(document, 50, "서명 후 변경된 항목: " + change.where);
    }
}

TEST_F(ReleaseSignatureTest, WhatTheServerAndTheLauncherMayChangeIsAccepted) {
    JsonDocument document = OldSigned();
    // The server's answer, whatever it is.
    JsonPointer(L"/UPDATE_PRG_INFO/NeedToUpdate").Set(document, L"maybe");
    document[L"UPDATE_LAUNCHER_INFO"].RemoveMember(L"NeedToUpdate");
    // The kind the launcher derives from the single signed file.
    JsonPointer(L"/UPDATE_PRG_INFO/INSTALL_GB").Set(document, L"INSTALLER");
    // The self-update's own member, and members in another order.
    document.AddMember(L"_PRG_ARGS_TMP", L"--PRG_ID=\"viewer\"", document.GetAllocator());
    JsonValue files;
    files.Swap(document[L"UPDATE_PRG_INFO"][L"FILES"]);
    document[L"UPDATE_PRG_INFO"].RemoveMember(L"FILES");
    document[L"UPDATE_PRG_INFO"].AddMember(L"FILES", files, document.GetAllocator());
    EXPECT_EQ(Verify(document, {kOld}), 0) << log.Text();
}

TEST_F(ReleaseSignatureTest, StoredSettingsStillVerifyAfterTheLauncherParsedAndSavedThem) {
    JsonDocument document = OldSigned();
    UpdateInfo info;
    ASSERT_EQ(ParseUpdateInfo(document, false, info), 0) << log.Text();
    EXPECT_EQ(info.INSTALL_GB, L"ZIP");
    JsonDocument stored;
    ASSERT_TRUE(ParseJsonText(ToCompactJsonText(document), stored));
    EXPECT_EQ(Verify(stored, {kOld}), 0) << log.Text();
}

TEST(ReleaseKeyList, BuildMakesTheListFromItsKeyFiles) {
    const std::span<const ReleaseKey> keys = TestDataReleaseKeys();
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0].publicKey, kOld.publicKey);
    EXPECT_EQ(keys[1].publicKey, kNew.publicKey);
    EXPECT_EQ(ReleaseKeyId(keys[0]), Wide(kOldKeyId));
    EXPECT_EQ(ReleaseKeyId(keys[1]), Wide(kNewKeyId));
}

}  // namespace
