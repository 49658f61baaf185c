// Version order used by the update server to decide NeedToUpdate.
#include <gtest/gtest.h>

#include "tools/zeb-update-server/VersionCompare.h"

namespace {

TEST(DottedVersion, AcceptsOnlyDigitRunsBetweenSingleDots) {
    for (const char* good : {"0", "1", "1.2.3", "2.0.13", "10.0.0.255", "007.01"})
        EXPECT_TRUE(IsDottedVersion(good)) << good;
    for (const char* bad : {"", ".", "1.", ".1", "1..2", "1.0-beta", "v1.0", " 1.0", "1.0 ",
                            "1,0", "-1", "1.2.x", "+1"})
        EXPECT_FALSE(IsDottedVersion(bad)) << '"' << bad << '"';
}

TEST(DottedVersion, ComparesPartsAsNumbersNotText) {
    EXPECT_EQ(CompareDottedVersions("1.10", "1.9"), 1);
    EXPECT_EQ(CompareDottedVersions("1.9", "1.10"), -1);
    EXPECT_EQ(CompareDottedVersions("2.0.13", "2.0.9"), 1);
    EXPECT_EQ(CompareDottedVersions("10.0", "9.99.99"), 1);
    EXPECT_EQ(CompareDottedVersions("1.2.3", "1.2.3"), 0);
}

TEST(DottedVersion, MissingPartsCountAsZero) {
    EXPECT_EQ(CompareDottedVersions("1.2", "1.2.0.0"), 0);
    EXPECT_EQ(CompareDottedVersions("1.2.0.0", "1.2"), 0);
    EXPECT_EQ(CompareDottedVersions("1.2", "1.2.0.1"), -1);
    EXPECT_EQ(CompareDottedVersions("1.2.0.1", "1.2"), 1);
    EXPECT_EQ(CompareDottedVersions("1", "0.9.9.9"), 1);
}

TEST(DottedVersion, LeadingZerosAndHugePartsDoNotOverflowOrMislead) {
    EXPECT_EQ(CompareDottedVersions("1.010", "1.10"), 0);
    EXPECT_EQ(CompareDottedVersions("1.0010", "1.9"), 1);
    EXPECT_EQ(CompareDottedVersions("00", "0"), 0);
    // Beyond 64 bits: compared by magnitude, not wrapped.
    EXPECT_EQ(CompareDottedVersions("1.99999999999999999999999", "1.18446744073709551616"), 1);
    EXPECT_EQ(CompareDottedVersions("18446744073709551617", "18446744073709551616"), 1);
    EXPECT_EQ(CompareDottedVersions("4294967296", "0"), 1);
}

TEST(ClientBehind, EmptyOrUnplaceableClientVersionAlwaysUpdates) {
    EXPECT_TRUE(ClientIsBehind("", "0"));
    EXPECT_TRUE(ClientIsBehind("", "1.0.0"));
    EXPECT_TRUE(ClientIsBehind("1.0-beta", "0.1"));
    EXPECT_TRUE(ClientIsBehind("garbage", "1.0"));
}

TEST(ClientBehind, OnlyALowerVersionUpdates) {
    EXPECT_TRUE(ClientIsBehind("0.0.0", "1.0.0"));
    EXPECT_TRUE(ClientIsBehind("1.9", "1.10"));
    EXPECT_FALSE(ClientIsBehind("1.10", "1.10"));
    EXPECT_FALSE(ClientIsBehind("1.10.0.0", "1.10"));
    EXPECT_FALSE(ClientIsBehind("1.11", "1.10"));
    EXPECT_FALSE(ClientIsBehind("2", "1.99.99"));
}

}  // namespace
