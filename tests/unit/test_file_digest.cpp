// Checking a fetched file against the hash its release names.
#include <gtest/gtest.h>

#include <cwctype>

#include "launcher/FileDigest.h"
#include "tests/support/TempDir.h"

namespace {

// SHA-256 of "package bytes\n" (sha256sum).
const std::wstring kHash = L"40fa264148fd4b9e9bea4447cc4504f68832044997ab4921af95356d05556031";

TEST(FileDigest, OnlyTheOneSpellingOfAHashCounts) {
    EXPECT_TRUE(IsSha256Text(std::wstring(64, L'a')));
    EXPECT_TRUE(IsSha256Text(L"0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef"));
    EXPECT_FALSE(IsSha256Text(std::wstring(64, L'A'))) << "upper case";
    EXPECT_FALSE(IsSha256Text(std::wstring(63, L'a')));
    EXPECT_FALSE(IsSha256Text(std::wstring(66, L'a')));
    EXPECT_FALSE(IsSha256Text(std::wstring(64, L'g')));
    EXPECT_FALSE(IsSha256Text(L""));
}

TEST(FileDigest, FileIsComparedByItsContent) {
    TempDir dir;
    WriteFileBytes(dir / "pack.7z", "package bytes\n");
    EXPECT_EQ(CheckFileSha256((dir / "pack.7z").wstring(), kHash), DigestCheck::kMatch);
    // One byte changed, same size: another file.
    WriteFileBytes(dir / "tampered.7z", "qackage bytes\n");
    EXPECT_EQ(CheckFileSha256((dir / "tampered.7z").wstring(), kHash), DigestCheck::kMismatch);
    EXPECT_EQ(CheckFileSha256((dir / "missing.7z").wstring(), kHash), DigestCheck::kUnreadable);
    EXPECT_EQ(CheckFileSha256((dir / "pack.7z").wstring(), L""), DigestCheck::kNoHash);
    std::wstring upper = kHash;
    for (wchar_t& c : upper) c = static_cast<wchar_t>(std::towupper(c));
    EXPECT_EQ(CheckFileSha256((dir / "pack.7z").wstring(), upper), DigestCheck::kNoHash);
}

}  // namespace
