// Hashes and signature checks on Linux, through libcrypto.
#include <fcntl.h>
#include <openssl/core_names.h>
#include <openssl/ecdsa.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "common/os/os.h"
#include "common/os/posix_native.h"

namespace os {

using namespace posix;

namespace {

template <typename T, void (*Free)(T*)>
struct Deleter {
    void operator()(T* p) const { Free(p); }
};
using DigestContext = std::unique_ptr<EVP_MD_CTX, Deleter<EVP_MD_CTX, EVP_MD_CTX_free>>;
using KeyContext = std::unique_ptr<EVP_PKEY_CTX, Deleter<EVP_PKEY_CTX, EVP_PKEY_CTX_free>>;
using Key = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY, EVP_PKEY_free>>;
using Signature = std::unique_ptr<ECDSA_SIG, Deleter<ECDSA_SIG, ECDSA_SIG_free>>;
using Number = std::unique_ptr<BIGNUM, Deleter<BIGNUM, BN_free>>;

void FreeBytes(unsigned char* p) { OPENSSL_free(p); }
using Bytes = std::unique_ptr<unsigned char, Deleter<unsigned char, FreeBytes>>;

constexpr size_t kPiece = 64 * 1024;
// What a failing provider reports: libcrypto fails only when memory runs out.
constexpr int kProviderFailed = ENOMEM;

// A failed call leaves its reasons in the thread's error queue; nobody reads them.
bool Refuse() {
    ERR_clear_error();
    return false;
}

int ProviderFailed() {
    ERR_clear_error();
    return Fail(kProviderFailed);
}

// The public key from its uncompressed point; the point is checked to lie on the curve.
Key ImportP256(std::span<const uint8_t> point) {
    KeyContext context(EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr));
    if (!context || EVP_PKEY_fromdata_init(context.get()) != 1) return nullptr;
    char group[] = "prime256v1";
    OSSL_PARAM params[] = {
        OSSL_PARAM_construct_utf8_string(OSSL_PKEY_PARAM_GROUP_NAME, group, 0),
        OSSL_PARAM_construct_octet_string(OSSL_PKEY_PARAM_PUB_KEY,
                                          const_cast<uint8_t*>(point.data()), point.size()),
        OSSL_PARAM_construct_end()};
    EVP_PKEY* key = nullptr;
    if (EVP_PKEY_fromdata(context.get(), &key, EVP_PKEY_PUBLIC_KEY, params) != 1) return nullptr;
    return Key(key);
}

// libcrypto takes ECDSA signatures in their DER form.
bool ToDer(std::span<const uint8_t> signature, Bytes& der, int& size) {
    const size_t half = signature.size() / 2;
    Number r(BN_bin2bn(signature.data(), static_cast<int>(half), nullptr));
    Number s(BN_bin2bn(signature.data() + half, static_cast<int>(half), nullptr));
    Signature sig(ECDSA_SIG_new());
    if (!r || !s || !sig || ECDSA_SIG_set0(sig.get(), r.get(), s.get()) != 1) return false;
    r.release();  // owned by sig now
    s.release();
    unsigned char* out = nullptr;
    size = i2d_ECDSA_SIG(sig.get(), &out);
    der.reset(out);
    return size > 0;
}

}  // namespace

bool Sha256Bytes(std::span<const uint8_t> data, Sha256Digest& digest) {
    if (EVP_Digest(data.data(), data.size(), digest.data(), nullptr, EVP_sha256(), nullptr) != 1)
        return Refuse();
    return true;
}

int Sha256File(const std::wstring& path, Sha256Digest& digest) {
    std::string native;
    if (!ToNative(path, native)) return errno;
    Fd file(::open(native.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) return errno;
    DigestContext context(EVP_MD_CTX_new());
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1)
        return ProviderFailed();
    auto buffer = std::make_unique<uint8_t[]>(kPiece);
    for (;;) {
        const ssize_t got = ::read(file.get(), buffer.get(), kPiece);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return errno;
        if (got == 0) break;
        if (EVP_DigestUpdate(context.get(), buffer.get(), static_cast<size_t>(got)) != 1)
            return ProviderFailed();
    }
    if (EVP_DigestFinal_ex(context.get(), digest.data(), nullptr) != 1)
        return ProviderFailed();
    return 0;
}

bool VerifyEcdsaP256(std::span<const uint8_t> publicKey, std::span<const uint8_t> message,
                     std::span<const uint8_t> signature) {
    if (publicKey.size() != kP256PublicKeySize || publicKey[0] != 0x04 ||
        signature.size() != kP256SignatureSize)
        return false;
    const Key key = ImportP256(publicKey);
    if (!key) return Refuse();
    Bytes der;
    int derSize = 0;
    if (!ToDer(signature, der, derSize)) return Refuse();
    DigestContext context(EVP_MD_CTX_new());
    if (!context ||
        EVP_DigestVerifyInit(context.get(), nullptr, EVP_sha256(), nullptr, key.get()) != 1)
        return Refuse();
    // 1 is a valid signature; 0 an invalid one; below 0 a malformed one.
    if (EVP_DigestVerify(context.get(), der.get(), static_cast<size_t>(derSize), message.data(),
                         message.size()) != 1)
        return Refuse();
    return true;
}

}  // namespace os
