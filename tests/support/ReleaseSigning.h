#pragma once
// Releases signed the way their publisher signs them, for the tests of the launcher built
// with keys (ZEB_KEYED_LAUNCHER_EXE): the test publisher's key pairs of tests/data/
// release_keys and zeb-release's own signer.
#include <filesystem>
#include <string>

#include "tests/support/UpdateServerFixture.h"

// The private key the tests sign releases with, and the one rotated in beside it; the keyed
// launcher holds both public keys.
std::filesystem::path PublisherKey();
std::filesystem::path RotatedKey();
// The key id a signature by the private key in pemFile names.
std::string KeyIdOf(const std::filesystem::path& pemFile);

// The release document of prgId as `zeb-release sign` writes it: the two objects as given,
// SIGNED_RELEASE holding their signed text (the program id and both objects without
// NeedToUpdate) and RELEASE_SIGNATURE by the key in pemFile. Unlike the tool it signs any
// release, also one whose files name no hash. Throws std::runtime_error when it cannot sign.
std::string SignRelease(const std::string& prgId, const ProductInfo& program,
                        const ProductInfo& launcher, const std::filesystem::path& pemFile);
