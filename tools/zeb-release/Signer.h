#pragma once
// The publisher's P-256 key pair, through libcrypto: made, stored as PEM, and used to sign.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct evp_pkey_st;

class SigningKey {
public:
    static std::optional<SigningKey> Generate(std::string& error);
    // A private key in PEM; only P-256 keys are taken.
    static std::optional<SigningKey> FromPem(const std::string& pem, std::string& error);

    std::string PrivatePem() const;  // PKCS #8, not encrypted: the file's mode guards it
    // The uncompressed point (0x04, X, Y), the form builds embed.
    std::vector<uint8_t> PublicPoint() const;
    // ECDSA with SHA-256 over message: r and s, 32 big-endian bytes each; empty on failure.
    std::vector<uint8_t> Sign(std::string_view message) const;

private:
    explicit SigningKey(std::shared_ptr<evp_pkey_st> key) : key_(std::move(key)) {}
    std::shared_ptr<evp_pkey_st> key_;
};

// The key id a signature names (the launcher's ReleaseKeyId), in narrow text.
std::string KeyIdOf(const std::vector<uint8_t>& publicPoint);
