// Names and addresses from the update data, judged without fetching anything: which server
// paths, file names and client folders stay inside their base, and how an FTP address splits.
#include <gtest/gtest.h>

#include <string>

#include "launcher/Downloads.h"
#include "server/GL_Internet.h"

namespace {

TEST(DownloadAddress, OnlyALeadingCopyOfTheBaseIsTakenOff) {
    EXPECT_EQ(DownloadPathBelow("https://h/b", "viewer/pack.7z"), "viewer/pack.7z");
    EXPECT_EQ(DownloadPathBelow("https://h/b", "/viewer/pack.7z"), "viewer/pack.7z");
    EXPECT_EQ(DownloadPathBelow("https://h/b", "https://h/b/viewer/pack.7z"), "viewer/pack.7z");
    EXPECT_EQ(DownloadPathBelow("https://h/b", "/https://h/b/pack.7z"), "pack.7z");
    EXPECT_EQ(DownloadPathBelow("https://h/b", ".https://h/b/./pack.7z"), ".https://h/b/./pack.7z");
    EXPECT_EQ(DownloadPathBelow("https://h/b", "x/https://h/b/y"), "x/https://h/b/y");
}

TEST(SafeNames, ServerPathsThatStayBelowTheBasePass) {
    EXPECT_TRUE(IsSafeServerPath(L"viewer/bin/pack.7z"));
    EXPECT_TRUE(IsSafeServerPath(L"/viewer/./bin/pack.7z"));
    EXPECT_TRUE(IsSafeServerPath(L"viewer/..hidden/a..b/pack..7z"));
    EXPECT_TRUE(IsSafeServerPath(L"viewer/%2e%2e%2e/100%25/%zz/%2"));
    EXPECT_TRUE(IsSafeServerPath(L"뷰어/팩.7z"));
    EXPECT_TRUE(IsSafeServerPath(L"viewer/pack.7z?../..#/.."));  // query and fragment
    EXPECT_TRUE(IsSafeServerPath(L"viewer/..%3F"));  // an escaped "?" is part of the name
    EXPECT_FALSE(IsSafeServerPath(L".."));
    EXPECT_FALSE(IsSafeServerPath(L"a/%2E%2E"));
}

TEST(SafeNames, OrdinaryNamesAndFoldersPass) {
    EXPECT_TRUE(IsSafeFileName(L"pack.7z"));
    EXPECT_TRUE(IsSafeFileName(L"..hidden"));  // a name that only starts with dots
    EXPECT_TRUE(IsSafeFileName(L"뷰어 1.0"));
    EXPECT_TRUE(IsSafeRelativeFolder(L""));
    EXPECT_TRUE(IsSafeRelativeFolder(L"bin\\x86\\"));
    EXPECT_TRUE(IsSafeRelativeFolder(L"a/./b/"));
    EXPECT_TRUE(IsSafeRelativeFolder(L"a..b/"));
    EXPECT_FALSE(IsSafeRelativeFolder(L".."));
    EXPECT_FALSE(IsSafeRelativeFolder(L"\\\\server\\share\\"));
}

TEST(FtpAddress, SplitsIntoServerAndPort) {
    std::wstring server;
    int port = -1;
    ASSERT_TRUE(SplitFtpAddress(L"ftp://files.example:2121", server, port));
    EXPECT_EQ(server, L"ftp://files.example");
    EXPECT_EQ(port, 2121);

    ASSERT_TRUE(SplitFtpAddress(L"ftp://h:21/path", server, port));
    EXPECT_EQ(port, 21);  // leading digits only
    ASSERT_TRUE(SplitFtpAddress(L"ftp://h:", server, port));
    EXPECT_EQ(port, 0);
    ASSERT_TRUE(SplitFtpAddress(L"ftp://h:port", server, port));
    EXPECT_EQ(port, 0);
    ASSERT_TRUE(SplitFtpAddress(L"ftp://h:99999999999999", server, port));
    EXPECT_GT(port, 0);  // no overflow into a negative port
}

TEST(FtpAddress, OtherShapesAreRejected) {
    std::wstring server = L"unchanged";
    int port = 7;
    EXPECT_FALSE(SplitFtpAddress(L"ftp://h", server, port));                // two pieces
    EXPECT_FALSE(SplitFtpAddress(L"ftp://user:pw@h:21", server, port));     // four
    EXPECT_FALSE(SplitFtpAddress(L"ftp://h:21/a:b", server, port));         // four
    EXPECT_FALSE(SplitFtpAddress(L"no colon at all", server, port));
    EXPECT_EQ(server, L"unchanged");
    EXPECT_EQ(port, 7);
}

}  // namespace
