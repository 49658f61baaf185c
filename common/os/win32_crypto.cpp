// Hashes and signature checks on Windows, through CNG (bcrypt.dll). Windows Vista has no
// BCryptHash and no provider-allocated hash objects, so the hash object is ours.
#include <windows.h>
#include <bcrypt.h>

#include <climits>
#include <cstring>
#include <vector>

#include "common/os/os.h"
#include "common/os/win32_handle.h"

namespace os {

using win32::Fail;
using win32::Handle;

namespace {

constexpr size_t kPiece = 64 * 1024;

// A failing provider call: its status as the result.
int ProviderFailed(NTSTATUS status) { return Fail(static_cast<DWORD>(status)); }

class Algorithm {
public:
    Algorithm() = default;
    ~Algorithm() {
        if (handle_ != nullptr) BCryptCloseAlgorithmProvider(handle_, 0);
    }
    Algorithm(const Algorithm&) = delete;
    Algorithm& operator=(const Algorithm&) = delete;
    NTSTATUS Open(const wchar_t* id) { return BCryptOpenAlgorithmProvider(&handle_, id, nullptr, 0); }
    BCRYPT_ALG_HANDLE get() const { return handle_; }

private:
    BCRYPT_ALG_HANDLE handle_ = nullptr;
};

class Sha256 {
public:
    Sha256() = default;
    ~Sha256() {
        if (hash_ != nullptr) BCryptDestroyHash(hash_);
    }
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    NTSTATUS Start() {
        if (const NTSTATUS status = algorithm_.Open(BCRYPT_SHA256_ALGORITHM); !BCRYPT_SUCCESS(status))
            return status;
        DWORD objectSize = 0;
        ULONG written = 0;
        if (const NTSTATUS status = BCryptGetProperty(algorithm_.get(), BCRYPT_OBJECT_LENGTH,
                                                      reinterpret_cast<PUCHAR>(&objectSize),
                                                      sizeof objectSize, &written, 0);
            !BCRYPT_SUCCESS(status))
            return status;
        object_.resize(objectSize);
        return BCryptCreateHash(algorithm_.get(), &hash_, object_.data(), objectSize, nullptr, 0, 0);
    }
    NTSTATUS Add(const uint8_t* data, size_t size) {
        // One call takes at most a ULONG of bytes.
        while (size > 0) {
            const ULONG piece = size < ULONG_MAX ? static_cast<ULONG>(size) : ULONG_MAX;
            if (const NTSTATUS status = BCryptHashData(hash_, const_cast<PUCHAR>(data), piece, 0);
                !BCRYPT_SUCCESS(status))
                return status;
            data += piece;
            size -= piece;
        }
        return 0;
    }
    NTSTATUS Finish(Sha256Digest& digest) {
        return BCryptFinishHash(hash_, digest.data(), static_cast<ULONG>(digest.size()), 0);
    }

private:
    Algorithm algorithm_;
    std::vector<UCHAR> object_;
    BCRYPT_HASH_HANDLE hash_ = nullptr;
};

class KeyHandle {
public:
    KeyHandle() = default;
    ~KeyHandle() {
        if (handle_ != nullptr) BCryptDestroyKey(handle_);
    }
    KeyHandle(const KeyHandle&) = delete;
    KeyHandle& operator=(const KeyHandle&) = delete;
    BCRYPT_KEY_HANDLE* out() { return &handle_; }
    BCRYPT_KEY_HANDLE get() const { return handle_; }

private:
    BCRYPT_KEY_HANDLE handle_ = nullptr;
};

}  // namespace

bool Sha256Bytes(std::span<const uint8_t> data, Sha256Digest& digest) {
    Sha256 hash;
    return BCRYPT_SUCCESS(hash.Start()) && BCRYPT_SUCCESS(hash.Add(data.data(), data.size())) &&
           BCRYPT_SUCCESS(hash.Finish(digest));
}

int Sha256File(const std::wstring& path, Sha256Digest& digest) {
    Handle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return win32::LastErrorResult();
    Sha256 hash;
    if (const NTSTATUS status = hash.Start(); !BCRYPT_SUCCESS(status))
        return ProviderFailed(status);
    std::vector<uint8_t> buffer(kPiece);
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr))
            return win32::LastErrorResult();
        if (got == 0) break;
        if (const NTSTATUS status = hash.Add(buffer.data(), got); !BCRYPT_SUCCESS(status))
            return ProviderFailed(status);
    }
    if (const NTSTATUS status = hash.Finish(digest); !BCRYPT_SUCCESS(status))
        return ProviderFailed(status);
    return 0;
}

bool VerifyEcdsaP256(std::span<const uint8_t> publicKey, std::span<const uint8_t> message,
                     std::span<const uint8_t> signature) {
    if (publicKey.size() != kP256PublicKeySize || publicKey[0] != 0x04 ||
        signature.size() != kP256SignatureSize)
        return false;
    Sha256Digest digest;
    if (!Sha256Bytes(message, digest)) return false;

    // The public blob is a header and the two coordinates without the point's 0x04 prefix.
    constexpr ULONG kCoordinate = 32;
    std::vector<UCHAR> blob(sizeof(BCRYPT_ECCKEY_BLOB) + 2 * kCoordinate);
    const BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, kCoordinate};
    std::memcpy(blob.data(), &header, sizeof header);
    std::memcpy(blob.data() + sizeof header, publicKey.data() + 1, 2 * kCoordinate);

    Algorithm algorithm;
    KeyHandle key;
    if (!BCRYPT_SUCCESS(algorithm.Open(BCRYPT_ECDSA_P256_ALGORITHM)) ||
        !BCRYPT_SUCCESS(BCryptImportKeyPair(algorithm.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB,
                                            key.out(), blob.data(),
                                            static_cast<ULONG>(blob.size()), 0)))
        return false;
    // CNG takes the signature as r and s, as given.
    return BCRYPT_SUCCESS(BCryptVerifySignature(
        key.get(), nullptr, digest.data(), static_cast<ULONG>(digest.size()),
        const_cast<PUCHAR>(signature.data()), static_cast<ULONG>(signature.size()), 0));
}

}  // namespace os
