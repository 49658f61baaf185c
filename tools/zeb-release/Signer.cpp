#include "tools/zeb-release/Signer.h"

#include <openssl/bio.h>
#include <openssl/core_names.h>
#include <openssl/ecdsa.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <algorithm>

#include "common/os/os.h"
#include "launcher/ReleaseKeys.h"

namespace {

template <typename T, void (*Free)(T*)>
struct Deleter {
    void operator()(T* p) const { Free(p); }
};
using Bio = std::unique_ptr<BIO, Deleter<BIO, BIO_free_all>>;
using DigestContext = std::unique_ptr<EVP_MD_CTX, Deleter<EVP_MD_CTX, EVP_MD_CTX_free>>;
using Signature = std::unique_ptr<ECDSA_SIG, Deleter<ECDSA_SIG, ECDSA_SIG_free>>;

constexpr int kScalar = 32;

std::string OpenSslError(const std::string& what) {
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    char text[256] = "no detail";
    if (code != 0) ERR_error_string_n(code, text, sizeof text);
    return what + ": " + text;
}

std::shared_ptr<EVP_PKEY> Own(EVP_PKEY* key) { return std::shared_ptr<EVP_PKEY>(key, EVP_PKEY_free); }

bool IsP256(EVP_PKEY* key) {
    char group[64] = {};
    size_t length = 0;
    return EVP_PKEY_is_a(key, "EC") &&
           EVP_PKEY_get_utf8_string_param(key, OSSL_PKEY_PARAM_GROUP_NAME, group, sizeof group,
                                          &length) == 1 &&
           std::string_view(group, length) == "prime256v1";
}

}  // namespace

std::optional<SigningKey> SigningKey::Generate(std::string& error) {
    EVP_PKEY* key = EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256");
    if (key == nullptr) {
        error = OpenSslError("cannot make a P-256 key");
        return std::nullopt;
    }
    return SigningKey(Own(key));
}

std::optional<SigningKey> SigningKey::FromPem(const std::string& pem, std::string& error) {
    Bio bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    EVP_PKEY* key = bio ? PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr) : nullptr;
    if (key == nullptr) {
        error = OpenSslError("not a private key in PEM");
        return std::nullopt;
    }
    auto owned = Own(key);
    if (!IsP256(key)) {
        ERR_clear_error();
        error = "not a P-256 (prime256v1) key";
        return std::nullopt;
    }
    return SigningKey(std::move(owned));
}

std::string SigningKey::PrivatePem() const {
    Bio bio(BIO_new(BIO_s_mem()));
    if (!bio || PEM_write_bio_PrivateKey(bio.get(), key_.get(), nullptr, nullptr, 0, nullptr,
                                         nullptr) != 1) {
        ERR_clear_error();
        return std::string();
    }
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio.get(), &data);
    return std::string(data, static_cast<size_t>(size));
}

std::vector<uint8_t> SigningKey::PublicPoint() const {
    std::vector<uint8_t> point(os::kP256PublicKeySize);
    size_t length = 0;
    if (EVP_PKEY_get_octet_string_param(key_.get(), OSSL_PKEY_PARAM_ENCODED_PUBLIC_KEY,
                                        point.data(), point.size(), &length) != 1 ||
        length != point.size() || point[0] != 0x04) {
        ERR_clear_error();
        return {};
    }
    return point;
}

std::vector<uint8_t> SigningKey::Sign(std::string_view message) const {
    DigestContext context(EVP_MD_CTX_new());
    size_t size = 0;
    if (!context ||
        EVP_DigestSignInit(context.get(), nullptr, EVP_sha256(), nullptr, key_.get()) != 1 ||
        EVP_DigestSign(context.get(), nullptr, &size,
                       reinterpret_cast<const unsigned char*>(message.data()), message.size()) != 1) {
        ERR_clear_error();
        return {};
    }
    std::vector<unsigned char> der(size);
    if (EVP_DigestSign(context.get(), der.data(), &size,
                       reinterpret_cast<const unsigned char*>(message.data()), message.size()) != 1) {
        ERR_clear_error();
        return {};
    }
    // libcrypto writes DER; the release carries r and s at their full width.
    const unsigned char* in = der.data();
    Signature signature(d2i_ECDSA_SIG(nullptr, &in, static_cast<long>(size)));
    std::vector<uint8_t> raw(2 * static_cast<size_t>(kScalar));
    if (!signature ||
        BN_bn2binpad(ECDSA_SIG_get0_r(signature.get()), raw.data(), kScalar) != kScalar ||
        BN_bn2binpad(ECDSA_SIG_get0_s(signature.get()), raw.data() + kScalar, kScalar) != kScalar) {
        ERR_clear_error();
        return {};
    }
    return raw;
}

std::string KeyIdOf(const std::vector<uint8_t>& publicPoint) {
    ReleaseKey key{};
    if (publicPoint.size() != key.publicKey.size()) return std::string();
    std::copy(publicPoint.begin(), publicPoint.end(), key.publicKey.begin());
    return os::WideToUtf8Lossy(ReleaseKeyId(key));
}
