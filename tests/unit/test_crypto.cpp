// SHA-256 and ECDSA P-256 of the operating-system layer: the same vectors on every platform.
// The ECDSA vectors were made once with openssl (ecparam -genkey, dgst -sha256 -sign).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/HexText.h"
#include "common/os/os.h"
#include "tests/support/TempDir.h"

namespace {

std::vector<uint8_t> Hex(std::string_view text) {
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(HexDecode(text, bytes)) << text;
    return bytes;
}

std::vector<uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

std::string HashOf(std::string_view text) {
    os::Sha256Digest digest{};
    EXPECT_TRUE(os::Sha256Bytes(Bytes(text), digest));
    return HexEncode(digest);
}

std::string HashOfFile(const std::filesystem::path& file) {
    os::Sha256Digest digest{};
    EXPECT_EQ(os::Sha256File(file.wstring(), digest), 0) << file;
    return HexEncode(digest);
}

TEST(Sha256, KnownVectors) {
    EXPECT_EQ(HashOf(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(HashOf("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(HashOf("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
}

TEST(Sha256, FileIsReadInPieces) {
    TempDir dir;
    WriteFileBytes(dir / "empty.bin", "");
    EXPECT_EQ(HashOfFile(dir / "empty.bin"),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    // A million "a": fifteen whole pieces and a partial one.
    WriteFileBytes(dir / "million.bin", std::string(1000000, 'a'));
    EXPECT_EQ(HashOfFile(dir / "million.bin"),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    // Sizes at the edge of a piece hash like the same bytes in memory.
    for (size_t size : {size_t{65535}, size_t{65536}, size_t{65537}, size_t{131072}}) {
        std::string content(size, '\0');
        for (size_t i = 0; i < size; ++i) content[i] = static_cast<char>(i * 7 + i / 251);
        WriteFileBytes(dir / "edge.bin", content);
        EXPECT_EQ(HashOfFile(dir / "edge.bin"), HashOf(content)) << size;
    }
}

TEST(Sha256, MissingFileGivesItsError) {
    TempDir dir;
    os::Sha256Digest digest{};
    EXPECT_EQ(os::Sha256File((dir / "missing.bin").wstring(), digest), os::err::kFileNotFound);
}

// Key A signed kMessage; key B is another key of the same curve.
constexpr std::string_view kKeyA =
    "04b011a8972de23327e6269481c5c5fb19513ad853d6cf57733de647435d0617c8"
    "b057d8f99475a173071a998c2dfbf43530bd337f7c4bc5acd874a49d489e0a0d";
constexpr std::string_view kKeyB =
    "04e660f3daa402c08784044f42127ea36cbe8d0bd9883a57ed7bf17d03c89cb377"
    "1e4e83fb5072e64e7a049c67923bf96abce5a93e936de2f4d047e0de001db504";
constexpr std::string_view kMessage = "ZEB.Launcher signed release test vector\n";
constexpr std::string_view kSignature =
    "d77dc986eb0dbc94343fa40d5965ac128f7122216ddd1c11ae546ca30331e757"
    "4e7a772f2d972a144cd05edf4237ea1dbc7db7d6dbef0716b2e5093c1a003d41";
// Another signature of kMessage by key A whose r begins with a zero byte.
constexpr std::string_view kSignatureShortR =
    "0031349dbe42f810e31d8c4df6857915224add029d82bd5fcc15e941487a5f99"
    "a96da29c0d2a7cf207bb208444649bff08fcef27bb32a71d10d0e83c9bbfaaca";
// The order n of the curve's group.
constexpr std::string_view kOrder =
    "ffffffff00000000ffffffffffffffffbce6faada7179e84f3b9cac2fc632551";

bool Verify(const std::vector<uint8_t>& key, const std::vector<uint8_t>& message,
            const std::vector<uint8_t>& signature) {
    return os::VerifyEcdsaP256(key, message, signature);
}

std::vector<uint8_t> FlipBit(std::vector<uint8_t> bytes, size_t index) {
    bytes[index / 8] ^= static_cast<uint8_t>(1u << (index % 8));
    return bytes;
}

std::vector<uint8_t> Join(std::string_view r, std::string_view s) {
    return Hex(std::string(r) + std::string(s));
}

TEST(EcdsaP256, ValidSignaturesVerify) {
    EXPECT_TRUE(Verify(Hex(kKeyA), Bytes(kMessage), Hex(kSignature)));
    EXPECT_TRUE(Verify(Hex(kKeyA), Bytes(kMessage), Hex(kSignatureShortR)));
}

TEST(EcdsaP256, AnyChangedBitIsRefused) {
    const auto key = Hex(kKeyA);
    const auto message = Bytes(kMessage);
    const auto signature = Hex(kSignature);
    EXPECT_FALSE(Verify(key, FlipBit(message, 0), signature));
    EXPECT_FALSE(Verify(key, FlipBit(message, message.size() * 8 - 1), signature));
    EXPECT_FALSE(Verify(key, message, FlipBit(signature, 3))) << "r changed";
    EXPECT_FALSE(Verify(key, message, FlipBit(signature, 32 * 8 + 250))) << "s changed";
    EXPECT_FALSE(Verify(Hex(kKeyB), message, signature)) << "another key";
    EXPECT_FALSE(Verify(key, Bytes(""), signature));
}

TEST(EcdsaP256, ScalarsOutsideTheGroupOrderAreRefused) {
    const std::string_view r = kSignature.substr(0, 64);
    const std::string_view s = kSignature.substr(64);
    const std::string zero(64, '0');
    const std::string allOnes(64, 'f');
    const auto key = Hex(kKeyA);
    const auto message = Bytes(kMessage);
    EXPECT_FALSE(Verify(key, message, Join(zero, s)));
    EXPECT_FALSE(Verify(key, message, Join(r, zero)));
    EXPECT_FALSE(Verify(key, message, Join(zero, zero)));
    EXPECT_FALSE(Verify(key, message, Join(kOrder, s)));
    EXPECT_FALSE(Verify(key, message, Join(r, kOrder)));
    EXPECT_FALSE(Verify(key, message, Join(allOnes, s)));
    EXPECT_FALSE(Verify(key, message, Join(r, allOnes)));
}

TEST(EcdsaP256, MalformedKeysAndSignaturesAreRefused) {
    const auto key = Hex(kKeyA);
    const auto message = Bytes(kMessage);
    auto signature = Hex(kSignature);
    const std::vector<uint8_t> truncated(signature.begin(), signature.end() - 1);
    EXPECT_FALSE(Verify(key, message, truncated));
    EXPECT_FALSE(Verify(key, message, {}));
    auto longer = signature;
    longer.push_back(0);
    EXPECT_FALSE(Verify(key, message, longer));

    EXPECT_FALSE(Verify(std::vector<uint8_t>(key.begin() + 1, key.end()), message, signature))
        << "the point without its prefix";
    auto compressedPrefix = key;
    compressedPrefix[0] = 0x02;
    EXPECT_FALSE(Verify(compressedPrefix, message, signature));
    EXPECT_FALSE(Verify(FlipBit(key, 64 * 8), message, signature)) << "a point off the curve";
    EXPECT_FALSE(Verify(std::vector<uint8_t>(65, 0), message, signature));
}

}  // namespace
