#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

#include "common/FileTree.h"
#include "common/os/os.h"
#include "tests/support/StderrCapture.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

namespace {

unsigned Mode(const fs::path& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// Sets or removes an environment variable for one scope.
class EnvVar {
public:
    EnvVar(const char* name, const char* value) : name_(name) {
        if (const char* old = getenv(name)) old_ = old;
        if (value) setenv(name, value, 1);
        else unsetenv(name);
    }
    ~EnvVar() {
        if (old_) setenv(name_, old_->c_str(), 1);
        else unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

class Umask {
public:
    explicit Umask(mode_t mask) : old_(umask(mask)) {}
    ~Umask() { umask(old_); }

private:
    mode_t old_;
};

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

}  // namespace

// ---- text and errors --------------------------------------------------------------------

TEST(OsText, StrictUtf8RejectsEveryMalformedForm) {
    std::wstring out;
    for (const std::string bad : {"\x80", "\xC0\x80", "\xE0\x80\xAF", "\xED\xA0\x80",
                                  "\xF4\x90\x80\x80", "\xF8\x88\x80\x80\x80", "ab\xE2\x82"})
        EXPECT_FALSE(os::Utf8ToWide(bad, out)) << bad;
    ASSERT_TRUE(os::Utf8ToWide("a\xC2\xA9\xED\x95\x9C\xF0\x9F\x98\x80", out));
    EXPECT_EQ((std::wstring{L'a', wchar_t(0xA9), L'한', wchar_t(0x1F600)}), out);
    std::string narrow;
    ASSERT_TRUE(os::WideToUtf8(out, narrow));
    EXPECT_EQ("a\xC2\xA9\xED\x95\x9C\xF0\x9F\x98\x80", narrow);
    EXPECT_FALSE(os::WideToUtf8(std::wstring(1, wchar_t(0xDC00)), narrow));
    EXPECT_FALSE(os::WideToUtf8(std::wstring(1, wchar_t(0x110000)), narrow));
}

TEST(OsText, LossyFormsReplaceOnlyTheBrokenPart) {
    EXPECT_EQ((std::wstring{L'a', wchar_t(0xFFFD), L'b'}), os::Utf8ToWideLossy("a\xFF" "b"));
    EXPECT_EQ("a\xEF\xBF\xBD" "b", os::WideToUtf8Lossy(std::wstring{L'a', wchar_t(0xD800), L'b'}));
    // The ANSI code page is UTF-8 here, with "?" for what it cannot carry.
    EXPECT_EQ("a?b\xEA\xB0\x80", os::WideToAnsiLossy(std::wstring{L'a', wchar_t(0xD800), L'b', L'가'}));
    EXPECT_EQ(L"가\uFFFD", os::AnsiToWideLossy("\xEA\xB0\x80\xFF"));
}

TEST(OsText, StrictDecodingRejectsEveryMalformedSequenceLossyReplacesEachByte) {
    struct Case {
        const char* in;
        const wchar_t* out;
    };
    const Case cases[] = {
        {"\xC0\xAF", L"\uFFFD\uFFFD"},              // overlong "/"
        {"\xE0\x80\xAF", L"\uFFFD\uFFFD\uFFFD"},    // overlong, three bytes
        {"\xED\xA0\x80", L"\uFFFD\uFFFD\uFFFD"},    // surrogate
        {"\xF4\x90\x80\x80", L"\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
        {"a\xE3\x81", L"a\uFFFD\uFFFD"},            // truncated at the end
        {"\xE3\x81" "a", L"\uFFFD\uFFFDa"},         // truncated before ASCII
        {"\x80\xEA\xB0\x80", L"\uFFFD가"},          // stray continuation, then valid
        {"\xF8\x88\x80\x80\x80", L"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},  // five-byte form
    };
    for (const Case& c : cases) {
        std::wstring out;
        EXPECT_FALSE(os::Utf8ToWide(c.in, out)) << c.in;
        EXPECT_EQ(os::Utf8ToWideLossy(c.in), c.out);
    }
    std::wstring out;
    EXPECT_TRUE(os::Utf8ToWide("\x7F\xC2\x80\xEF\xBF\xBF\xF4\x8F\xBF\xBF", out));
    EXPECT_EQ(out, L"\x7F\u0080\uFFFF\U0010FFFF");
}


TEST(OsErrors, TextsEndInLineBreakAndUnknownCodesHaveNone) {
    EXPECT_EQ(L"No such file or directory\r\n", os::ErrorText(ENOENT, L""));
    EXPECT_EQ(L"No more data is available.\r\n", os::ErrorText(os::err::kNoMoreItems, L""));
    EXPECT_EQ(L"More data is available.\r\n", os::ErrorText(os::err::kMoreData, L"netmsg.dll"));
    errno = 0;
    EXPECT_EQ(L"", os::ErrorText(99999, L""));
    EXPECT_EQ(EINVAL, os::LastError());
    EXPECT_EQ(L"", os::ErrorText(-5, L""));
}

// ---- environment and folders ------------------------------------------------------------

TEST(OsFolders, CommonAppDataFollowsProgramData) {
    std::wstring folder;
    uint32_t result = 0;
    {
        EnvVar v("ProgramData", "/srv/data//");
        ASSERT_EQ(os::FolderLookup::kOk, os::CommonAppDataFolder(folder, result));
        EXPECT_EQ(L"/srv/data", folder);
        EXPECT_EQ(L"/srv/data", os::ProgramDataFolder());
    }
    for (const char* unset : {static_cast<const char*>(nullptr), ""}) {
        EnvVar v("ProgramData", unset);
        ASSERT_EQ(os::FolderLookup::kOk, os::CommonAppDataFolder(folder, result));
        EXPECT_EQ(L"/var/lib", folder);
        EXPECT_EQ(L"/var/lib", os::ProgramDataFolder());
    }
    EnvVar v("ProgramData", "/tmp/\xC3");
    EXPECT_EQ(os::FolderLookup::kPathFailed, os::CommonAppDataFolder(folder, result));
    EXPECT_EQ(EILSEQ, os::LastError());
}

TEST(OsFolders, ProgramFilesAndTempHaveTheirFallbacks) {
    {
        EnvVar v("ProgramFiles", nullptr);
        EXPECT_EQ(L"/opt", os::ProgramFilesFolder());
    }
    {
        EnvVar v("ProgramFiles", "/apps/");
        EXPECT_EQ(L"/apps", os::ProgramFilesFolder());
    }
    {
        EnvVar v("TMPDIR", nullptr);
        EXPECT_EQ(L"/tmp/", os::TempFolder());
    }
    EnvVar v("TMPDIR", "/var/tmp/임시");
    EXPECT_EQ(L"/var/tmp/임시/", os::TempFolder());
}

TEST(OsFolders, GetEnvReadsWideValues) {
    EnvVar v("ZEB_OS_TEST_VALUE", "값");
    EXPECT_EQ(std::optional<std::wstring>(L"값"), os::GetEnv(L"ZEB_OS_TEST_VALUE"));
    EXPECT_EQ(std::nullopt, os::GetEnv(L"ZEB_OS_TEST_MISSING"));
}

TEST(OsFolders, ModulePathAndCurrentDirectory) {
    EXPECT_EQ(fs::canonical("/proc/self/exe").wstring(), os::ModulePath());
    TempDir dir;
    const std::wstring before = os::CurrentDirectory();
    ASSERT_TRUE(os::ChangeDirectory(dir.wpath()));
    EXPECT_EQ(fs::canonical(dir.path()).wstring(), os::CurrentDirectory());
    EXPECT_FALSE(os::ChangeDirectory(dir.wpath() + L"/missing"));
    ASSERT_TRUE(os::ChangeDirectory(before));
}

// ---- identity, time, output -------------------------------------------------------------

TEST(OsIdentity, ProcessAndThreadIds) {
    EXPECT_EQ(static_cast<uint32_t>(getpid()), os::CurrentProcessId());
    EXPECT_EQ(os::CurrentProcessId(), os::CurrentThreadId());  // gtest's main thread
    uint32_t other = 0;
    std::thread([&] { other = os::CurrentThreadId(); }).join();
    EXPECT_NE(0u, other);
    EXPECT_NE(os::CurrentThreadId(), other);
    EXPECT_FALSE(os::DebuggerAttached());
}

TEST(OsTime, SleepAndMonotonicClockAgree) {
    const uint64_t start = os::MonotonicMs();
    os::SleepMs(120);
    const uint64_t elapsed = os::MonotonicMs() - start;
    EXPECT_GE(elapsed, 120u);
    EXPECT_LT(elapsed, 1000u);
}

TEST(OsTime, NowIsTheLocalClock) {
    const os::LocalTime now = os::Now();
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    EXPECT_EQ(local.tm_mon + 1, now.month);
    EXPECT_EQ(local.tm_mday, now.day);
    const int a = now.hour * 3600 + now.minute * 60 + now.second;
    const int b = local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
    EXPECT_LE(std::abs(a - b), 2);
    EXPECT_GE(now.millisecond, 0);
    EXPECT_LT(now.millisecond, 1000);
}

TEST(OsOutput, DebugOutputWritesUtf8ToStandardError) {
    StderrCapture err;
    os::DebugOutput(L"로그 line\r\n");
    os::DebugOutputNarrow("narrow");
    EXPECT_EQ("로그 line\r\nnarrow", err.Text());
}

TEST(OsOutput, DebugOutputIntoABrokenOrClosedStandardErrorIsLostNotFatal) {
    for (const bool closed : {false, true}) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            int ends[2];
            if (pipe(ends) != 0) _exit(3);
            close(ends[0]);  // nobody reads: a write raises the broken-pipe signal
            dup2(ends[1], 2);
            if (closed) close(2);
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
            os::DebugOutput(L"line\r\n");
            os::ShowModalMessageBox(L"GLDebugMsg", L"body");
            os::ShowTimedMessageBox(os::FindTimedMessageBox(), L"caption", L"body", 10);
            // The signal is neither delivered later nor left pending.
            sigset_t pending;
            sigpending(&pending);
            _exit(sigismember(&pending, SIGPIPE) ? 4 : 0);
        }
        int status = 0;
        ASSERT_EQ(child, waitpid(child, &status, 0));
        EXPECT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
        EXPECT_EQ(0, WEXITSTATUS(status));
    }
}

TEST(OsOutput, MessageBoxWithoutDisplayGoesToStandardError) {
    EnvVar d("DISPLAY", nullptr), w("WAYLAND_DISPLAY", nullptr);
    StderrCapture err;
    const auto start = std::chrono::steady_clock::now();
    const os::TimedMessageBox box = os::FindTimedMessageBox();
    ASSERT_NE(nullptr, box);
    os::ShowTimedMessageBox(box, L"ZEB.Launcher", L"업데이트하지 못했습니다.", 300);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ("[ZEB.Launcher] 업데이트하지 못했습니다.\n", err.Text());
    os::ShowModalMessageBox(L"GLDebugMsg", L"body");
    EXPECT_NE(std::string::npos, err.Text().find("[GLDebugMsg] body\n"));
}

TEST(OsOutput, MessageBoxWithDisplayRunsZenity) {
    TempDir dir;
    const fs::path record = dir / "args.txt";
    WriteFileBytes(dir / "zenity",
                   "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > " + record.string() + "\n");
    fs::permissions(dir / "zenity", fs::perms::owner_all);
    const std::string path = dir.path().string() + ":" + getenv("PATH");
    EnvVar p("PATH", path.c_str()), d("DISPLAY", ":77");
    StderrCapture err;
    os::ShowTimedMessageBox(os::FindTimedMessageBox(), L"제목", L"본문 text", 10000);
    EXPECT_EQ("--info\n--timeout=10\n--title=제목\n--text=본문 text\n", ReadFileBytes(record));
    EXPECT_EQ("", err.Text());
    // A zenity that cannot reach the display leaves the message to standard error.
    WriteFileBytes(dir / "zenity", "#!/bin/sh\nexit 255\n");
    os::ShowTimedMessageBox(os::FindTimedMessageBox(), L"제목", L"본문", 100);
    EXPECT_EQ("[제목] 본문\n", err.Text());
}

// ---- single files -----------------------------------------------------------------------

TEST(OsFiles, WriteAppendReadAndSize) {
    TempDir dir;
    const std::wstring file = dir.wpath() + L"/데이터.bin";
    ASSERT_EQ(0, os::WriteNewFile(file, "abc\0d", 5));
    ASSERT_EQ(0, os::AppendToFile(file, "ef", 2));
    std::vector<uint8_t> bytes;
    ASSERT_EQ(0, os::ReadWholeFile(file, bytes, 7));
    EXPECT_EQ(Bytes(std::string("abc\0def", 7)), bytes);
    uint64_t size = 0;
    ASSERT_EQ(0, os::QueryFileSize(file, size));
    EXPECT_EQ(7u, size);
    ASSERT_EQ(0, os::WriteNewFile(file, "x", 1));  // truncates
    ASSERT_EQ(0, os::QueryFileSize(file, size));
    EXPECT_EQ(1u, size);
    EXPECT_EQ(EISDIR, os::QueryFileSize(dir.wpath(), size));
    EXPECT_EQ(EISDIR, os::ReadWholeFile(dir.wpath(), bytes, 100));
    EXPECT_EQ(ENOENT, os::ReadWholeFile(dir.wpath() + L"/none", bytes, 100));
    EXPECT_TRUE(bytes.empty());
}

TEST(OsFiles, WholeReadsTakeRegularFilesUpToTheLimitOnly) {
    TempDir dir;
    const std::wstring file = dir.wpath() + L"/ten";
    ASSERT_EQ(0, os::WriteNewFile(file, "0123456789", 10));
    std::vector<uint8_t> bytes;
    EXPECT_EQ(EFBIG, os::ReadWholeFile(file, bytes, 9));
    EXPECT_TRUE(bytes.empty());
    ASSERT_EQ(0, os::ReadWholeFile(file, bytes, 10));
    EXPECT_EQ(10u, bytes.size());
    // A pipe nobody writes to is refused at once instead of waited for; so are devices,
    // also through a link.
    ASSERT_EQ(0, mkfifo((dir / "fifo").c_str(), 0600));
    EXPECT_EQ(EINVAL, os::ReadWholeFile(dir.wpath() + L"/fifo", bytes, 100));
    EXPECT_EQ(EINVAL, os::ReadWholeFile(L"/dev/zero", bytes, 100));
    fs::create_symlink("/dev/null", dir / "null");
    EXPECT_EQ(EINVAL, os::ReadWholeFile(dir.wpath() + L"/null", bytes, 100));
    EXPECT_TRUE(bytes.empty());
}

TEST(OsFiles, AppendingWriterAddsToTheEnd) {
    TempDir dir;
    const std::wstring file = dir.wpath() + L"/log.txt";
    os::FileWriter writer;
    for (const char* part : {"one\n", "two\n"}) {
        ASSERT_EQ(0, writer.OpenForAppend(file));
        ASSERT_EQ(0, writer.Write(part, 4));
        ASSERT_EQ(0, writer.Close());
    }
    EXPECT_EQ("one\ntwo\n", ReadFileBytes(dir / "log.txt"));
    EXPECT_EQ(ENOENT, writer.OpenForAppend(dir.wpath() + L"/missing/log.txt"));
    // A full device takes the open and refuses the write.
    ASSERT_EQ(0, writer.OpenForAppend(L"/dev/full"));
    EXPECT_EQ(ENOSPC, writer.Write("x", 1));
}

TEST(OsFiles, IdentityIsTheFileNotItsSpelling) {
    TempDir dir;
    WriteFileBytes(dir / "real/x.exe", "x");
    WriteFileBytes(dir / "real/y.exe", "y");
    fs::create_directory_symlink(dir / "real", dir / "linked");
    fs::create_hard_link(dir / "real/x.exe", dir / "hard.exe");
    os::FileIdentity x, other;
    ASSERT_EQ(0, os::GetFileIdentity(dir.wpath() + L"/real/x.exe", x));
    for (const std::wstring& spelling :
         {dir.wpath() + L"/./real/x.exe", dir.wpath() + L"//real//x.exe",
          dir.wpath() + L"/linked/x.exe", dir.wpath() + L"/real/../real/x.exe",
          dir.wpath() + L"/hard.exe"}) {
        ASSERT_EQ(0, os::GetFileIdentity(spelling, other));
        EXPECT_TRUE(other == x);
    }
    ASSERT_EQ(0, os::GetFileIdentity(dir.wpath() + L"/real/y.exe", other));
    EXPECT_FALSE(other == x);
    EXPECT_EQ(ENOENT, os::GetFileIdentity(dir.wpath() + L"/real/none.exe", other));
}

TEST(OsFiles, NamesThatAreNoUtf8RoundTrip) {
    TempDir dir;
    const std::string raw = "bad\xFF\xC3(\xED\xA0\x80.bin";  // stray, truncated, surrogate
    WriteFileBytes(dir / raw, "content");
    std::vector<os::DirEntry> entries;
    ASSERT_EQ(0, os::ListDirectory(dir.wpath(), entries));
    ASSERT_EQ(1u, entries.size());
    const std::wstring name = entries[0].name;
    EXPECT_EQ((std::wstring{L'b', L'a', L'd', wchar_t(0xDCFF), wchar_t(0xDCC3), L'(',
                            wchar_t(0xDCED), wchar_t(0xDCA0), wchar_t(0xDC80), L'.', L'b', L'i',
                            L'n'}),
              name);
    // The name leads back to the file; text for the wire or the log keeps it out.
    const std::wstring path = dir.wpath() + L"/" + name;
    EXPECT_TRUE(os::PathExists(path));
    std::vector<uint8_t> bytes;
    ASSERT_EQ(0, os::ReadWholeFile(path, bytes, 100));
    EXPECT_EQ(Bytes("content"), bytes);
    std::string utf8;
    EXPECT_FALSE(os::WideToUtf8(name, utf8));
    EXPECT_EQ("bad\xEF\xBF\xBD\xEF\xBF\xBD(", os::WideToUtf8Lossy(name).substr(0, 10));
    ASSERT_EQ(0, os::RenameNoReplace(path, dir.wpath() + L"/" + name + L"2"));
    EXPECT_TRUE(fs::exists(dir / (raw + "2")));
    // Only escaped bytes have a byte form; another lone surrogate still has none.
    EXPECT_EQ(EILSEQ, os::WriteNewFile(dir.wpath() + L"/" + wchar_t(0xDC7F), "x", 1));
}

TEST(OsFiles, UnencodablePathIsRefused) {
    TempDir dir;
    const std::wstring bad = dir.wpath() + L"/" + wchar_t(0xD800);
    EXPECT_EQ(EILSEQ, os::WriteNewFile(bad, "x", 1));
    EXPECT_FALSE(os::PathExists(bad));
}

TEST(OsFiles, PrivateFolderIsTheOwnersAloneAndNeverOneMadeBefore) {
    TempDir dir;
    const Umask open(0);  // a umask that would leave a plain folder open to everyone
    const std::wstring made = dir.wpath() + L"/private";
    ASSERT_EQ(0, os::MakePrivateFolder(made));
    struct stat st {};
    ASSERT_EQ(0, ::stat(dir.path().string().append("/private").c_str(), &st));
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    // A name someone took beforehand, whatever it is, is refused and left as it was.
    const std::filesystem::path elsewhere = dir.path() / "elsewhere";
    std::filesystem::create_directory(elsewhere);
    std::filesystem::create_directory_symlink(elsewhere, dir.path() / "planted");
    WriteFileBytes(dir.path() / "file", "x");
    EXPECT_EQ(os::err::kAlreadyExists, os::MakePrivateFolder(made));
    EXPECT_EQ(os::err::kAlreadyExists, os::MakePrivateFolder(dir.wpath() + L"/planted"));
    EXPECT_EQ(os::err::kAlreadyExists, os::MakePrivateFolder(dir.wpath() + L"/file"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.path() / "planted"));
    ASSERT_EQ(0, ::stat(elsewhere.c_str(), &st));
    EXPECT_NE(st.st_mode & 0777, 0700u);
}

TEST(OsFiles, ExistenceAndFolders) {
    TempDir dir;
    const std::wstring sub = dir.wpath() + L"/sub";
    EXPECT_FALSE(os::PathExists(sub));
    ASSERT_EQ(0, os::MakeFolder(sub));
    EXPECT_EQ(os::err::kAlreadyExists, os::MakeFolder(sub));
    EXPECT_EQ(os::err::kPathNotFound, os::MakeFolder(sub + L"/a/b"));
    EXPECT_TRUE(os::PathExists(sub));
    EXPECT_TRUE(os::IsDirectory(sub));
    ASSERT_EQ(0, os::WriteNewFile(sub + L"/f", "x", 1));
    EXPECT_FALSE(os::IsDirectory(sub + L"/f"));
    EXPECT_EQ(ENOTEMPTY, os::RemoveFolder(sub));
    EXPECT_EQ(0, os::RemoveFile(sub + L"/f"));
    EXPECT_EQ(os::err::kFileNotFound, os::RemoveFile(sub + L"/f"));
    EXPECT_EQ(0, os::RemoveFolder(sub));
    EXPECT_FALSE(os::PathExists(sub));
}

TEST(OsFiles, UncForms) {
    EXPECT_TRUE(os::IsUncPath(L"//server/share"));
    EXPECT_TRUE(os::IsUncServer(L"//server"));
    EXPECT_FALSE(os::IsUncServer(L"//server/share"));
    EXPECT_FALSE(os::IsUncPath(L"/server"));
    EXPECT_FALSE(os::IsUncServer(L"/"));
}

TEST(OsFiles, MoveFileNeverReplaces) {
    TempDir dir;
    const std::wstring a = dir.wpath() + L"/a", b = dir.wpath() + L"/b";
    ASSERT_EQ(0, os::WriteNewFile(a, "A", 1));
    ASSERT_EQ(0, os::WriteNewFile(b, "B", 1));
    EXPECT_EQ(os::err::kAlreadyExists, os::RenameNoReplace(a, b));
    EXPECT_EQ("A", ReadFileBytes(dir / "a"));
    EXPECT_EQ("B", ReadFileBytes(dir / "b"));
    ASSERT_EQ(0, os::RemoveFile(b));
    ASSERT_EQ(0, os::RenameNoReplace(a, b));
    EXPECT_FALSE(fs::exists(dir / "a"));
    EXPECT_EQ("A", ReadFileBytes(dir / "b"));
}

namespace {
bool SameFileSystem(const fs::path& a, const fs::path& b) {
    struct stat sa {}, sb {};
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev;
}
}  // namespace

TEST(OsFiles, ReplaceFileWithPutsTheNewFileInPlaceInOneStep) {
    TempDir dir;
    const std::wstring part = dir.wpath() + L"/f.part", file = dir.wpath() + L"/f";
    WriteFileBytes(dir / "f", "old");
    WriteFileBytes(dir / "f.part", "new");
    struct stat before {};
    ASSERT_EQ(0, stat((dir / "f.part").c_str(), &before));
    ASSERT_EQ(0, os::ReplaceFileWith(part, file));
    // The new file itself took the name: no copy, no moment with a half-written file.
    struct stat after {};
    ASSERT_EQ(0, stat((dir / "f").c_str(), &after));
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ("new", ReadFileBytes(dir / "f"));
    EXPECT_FALSE(fs::exists(dir / "f.part"));

    // Without a file in the way it is a plain rename.
    WriteFileBytes(dir / "g.part", "g");
    ASSERT_EQ(0, os::ReplaceFileWith(dir.wpath() + L"/g.part", dir.wpath() + L"/g"));
    EXPECT_EQ("g", ReadFileBytes(dir / "g"));

    // A link in the way is replaced, not what it leads to.
    WriteFileBytes(dir / "target", "target");
    fs::create_symlink(dir / "target", dir / "link");
    WriteFileBytes(dir / "h.part", "h");
    ASSERT_EQ(0, os::ReplaceFileWith(dir.wpath() + L"/h.part", dir.wpath() + L"/link"));
    EXPECT_FALSE(fs::is_symlink(dir / "link"));
    EXPECT_EQ("h", ReadFileBytes(dir / "link"));
    EXPECT_EQ("target", ReadFileBytes(dir / "target"));
}

TEST(OsFiles, ReplaceFileWithLeavesBothWhenItCannot) {
    TempDir dir;
    WriteFileBytes(dir / "f.part", "new");
    fs::create_directories(dir / "folder/inside");
    EXPECT_EQ(EISDIR, os::ReplaceFileWith(dir.wpath() + L"/f.part", dir.wpath() + L"/folder"));
    EXPECT_EQ("new", ReadFileBytes(dir / "f.part"));
    EXPECT_TRUE(fs::is_directory(dir / "folder/inside"));

    WriteFileBytes(dir / "kept", "kept");
    EXPECT_EQ(ENOENT, os::ReplaceFileWith(dir.wpath() + L"/none", dir.wpath() + L"/kept"));
    EXPECT_EQ("kept", ReadFileBytes(dir / "kept"));

    const fs::path other = "/dev/shm";
    if (fs::is_directory(other) && !SameFileSystem(dir.path(), other)) {
        const fs::path away = other / ("zeb-os-replace-" + std::to_string(getpid()));
        EXPECT_EQ(EXDEV, os::ReplaceFileWith(dir.wpath() + L"/f.part", away.wstring()));
        EXPECT_EQ("new", ReadFileBytes(dir / "f.part"));
        EXPECT_FALSE(fs::exists(away));
    }
}

TEST(OsFiles, CopyFileKeepsModeAndProtectsItsSource) {
    TempDir dir;
    const std::wstring src = dir.wpath() + L"/src.sh", dst = dir.wpath() + L"/dst.sh";
    ASSERT_EQ(0, os::WriteNewFile(src, "#!/bin/sh\n", 10));
    chmod((dir / "src.sh").c_str(), 0750);
    ASSERT_EQ(0, os::CopyOneFile(src, dst, true));
    EXPECT_EQ(0750u, Mode(dir / "dst.sh"));
    EXPECT_EQ("#!/bin/sh\n", ReadFileBytes(dir / "dst.sh"));
    EXPECT_EQ(os::err::kAlreadyExists, os::CopyOneFile(src, dst, true));
    WriteFileBytes(dir / "dst.sh", "longer old content");
    ASSERT_EQ(0, os::CopyOneFile(src, dst, false));
    EXPECT_EQ("#!/bin/sh\n", ReadFileBytes(dir / "dst.sh"));
    EXPECT_EQ(EINVAL, os::CopyOneFile(src, src, false));
    EXPECT_EQ("#!/bin/sh\n", ReadFileBytes(dir / "src.sh"));
    EXPECT_EQ(ENOENT, os::CopyOneFile(dir.wpath() + L"/none", dst, false));
}

TEST(OsFiles, RunningExecutableIsNotFreeForExclusiveUse) {
    EXPECT_EQ(ETXTBSY, os::OpenForExclusiveUse(os::ModulePath()));
    TempDir dir;
    ASSERT_EQ(0, os::WriteNewFile(dir.wpath() + L"/idle.exe", "x", 1));
    EXPECT_EQ(0, os::OpenForExclusiveUse(dir.wpath() + L"/idle.exe"));
    EXPECT_EQ(ENOENT, os::OpenForExclusiveUse(dir.wpath() + L"/none.exe"));
}

TEST(OsFiles, ListingIsSortedAndDoesNotFollowLinks) {
    TempDir dir;
    fs::create_directories(dir / "b_dir");
    WriteFileBytes(dir / "c", "");
    WriteFileBytes(dir / "a", "");
    fs::create_directory_symlink(dir / "b_dir", dir / "link");
    std::vector<os::DirEntry> entries;
    ASSERT_EQ(0, os::ListDirectory(dir.wpath(), entries));
    ASSERT_EQ(4u, entries.size());
    EXPECT_EQ(L"a", entries[0].name);
    EXPECT_FALSE(entries[0].isDirectory);
    EXPECT_EQ(L"b_dir", entries[1].name);
    EXPECT_TRUE(entries[1].isDirectory);
    EXPECT_EQ(L"c", entries[2].name);
    EXPECT_FALSE(entries[1].isLink);
    EXPECT_EQ(L"c", entries[2].name);
    EXPECT_EQ(L"link", entries[3].name);
    EXPECT_TRUE(entries[3].isDirectory);
    EXPECT_TRUE(entries[3].isLink);
    EXPECT_EQ(ENOENT, os::ListDirectory(dir.wpath() + L"/none", entries));
    EXPECT_TRUE(entries.empty());
}

// ---- programs get the right to run ------------------------------------------------------

TEST(OsRunnable, CreatedProgramsGetExecuteLessTheUmask) {
    Umask mask(027);
    TempDir dir;
    ASSERT_EQ(0, os::WriteNewFile(dir.wpath() + L"/tool.exe", "x", 1));
    EXPECT_EQ(0750u, Mode(dir / "tool.exe"));
    ASSERT_EQ(0, os::WriteNewFile(dir.wpath() + L"/notes.txt", "x", 1));
    EXPECT_EQ(0640u, Mode(dir / "notes.txt"));
    os::FileWriter writer;
    ASSERT_EQ(0, writer.Create(dir.wpath() + L"/DOWNLOAD.EXE"));
    ASSERT_EQ(0, writer.Write("abc", 3));
    ASSERT_EQ(0, writer.Close());
    EXPECT_FALSE(writer.IsOpen());
    EXPECT_EQ(0750u, Mode(dir / "DOWNLOAD.EXE"));
    EXPECT_EQ("abc", ReadFileBytes(dir / "DOWNLOAD.EXE"));
    ASSERT_EQ(0, os::CopyOneFile(dir.wpath() + L"/notes.txt", dir.wpath() + L"/copy.exe", false));
    EXPECT_EQ(0750u, Mode(dir / "copy.exe"));
}

TEST(OsRunnable, MarkRunnableOnlyTouchesProgramNames) {
    Umask mask(022);
    TempDir dir;
    WriteFileBytes(dir / "a.exe", "x");
    WriteFileBytes(dir / "a.exe.txt", "x");
    chmod((dir / "a.exe").c_str(), 0600);
    chmod((dir / "a.exe.txt").c_str(), 0600);
    os::MarkRunnableIfProgram(dir.wpath() + L"/a.exe");
    os::MarkRunnableIfProgram(dir.wpath() + L"/a.exe.txt");
    EXPECT_EQ(0711u, Mode(dir / "a.exe"));
    EXPECT_EQ(0600u, Mode(dir / "a.exe.txt"));
}

TEST(OsRunnable, FileWriterReportsUseWhenClosed) {
    os::FileWriter writer;
    EXPECT_EQ(EBADF, writer.Write("x", 1));
    TempDir dir;
    EXPECT_EQ(ENOENT, writer.Create(dir.wpath() + L"/missing/x"));
    EXPECT_FALSE(writer.IsOpen());
}

// ---- trees across file systems ---------------------------------------------------------

TEST(OsTrees, MoveAcrossFileSystemsCopiesKeepsModesThenRemoves) {
    TempDir dir;
    const fs::path other = "/dev/shm";
    if (!fs::is_directory(other) || SameFileSystem(dir.path(), other))
        GTEST_SKIP() << "no second file system";
    const fs::path target = other / ("zeb-os-test-" + std::to_string(getpid()));
    WriteFileBytes(dir / "from/top.txt", "top");
    WriteFileBytes(dir / "from/sub/inner.exe", "inner");
    fs::permissions(dir / "from/sub/inner.exe", fs::perms(0755));
    fs::create_directory_symlink("sub", dir / "from/link");
    // A folder does not rename across file systems; the tree move copies it instead.
    EXPECT_EQ(EXDEV, os::RenameNoReplace((dir / "from").wstring(), target.wstring()));
    ASSERT_EQ(0, file_tree::Move((dir / "from").wstring(), target.wstring()));
    EXPECT_FALSE(fs::exists(dir / "from"));
    EXPECT_EQ("top", ReadFileBytes(target / "top.txt"));
    EXPECT_EQ("inner", ReadFileBytes(target / "sub/inner.exe"));
    EXPECT_EQ(0755u, Mode(target / "sub/inner.exe"));
    EXPECT_TRUE(fs::is_symlink(target / "link"));
    EXPECT_EQ(fs::path("sub"), fs::read_symlink(target / "link"));
    // A single file moves the same way.
    WriteFileBytes(dir / "single.exe", "s");
    ASSERT_EQ(0, os::RenameNoReplace((dir / "single.exe").wstring(),
                                     (target / "single.exe").wstring()));
    EXPECT_FALSE(fs::exists(dir / "single.exe"));
    EXPECT_EQ("s", ReadFileBytes(target / "single.exe"));
    fs::remove_all(target);
}

// ---- version record ---------------------------------------------------------------------

namespace {
os::VersionRead ReadVersion(const fs::path& path, uint16_t (&file)[4], uint16_t (&product)[4],
                            int& error) {
    return os::ReadVersionRecord(path.wstring(), file, product, error);
}

// Every place of the magic in the bytes (the record, and any copy of the constant).
std::vector<size_t> MagicOffsets(const std::string& bytes) {
    std::vector<size_t> found;
    for (size_t at = bytes.find("ZEBVER01"); at != std::string::npos;
         at = bytes.find("ZEBVER01", at + 1))
        found.push_back(at);
    return found;
}
}  // namespace

TEST(OsVersion, LauncherCarriesTheStampedRecord) {
    uint16_t file[4] = {}, product[4] = {};
    int error = -1;
    ASSERT_EQ(os::VersionRead::kOk, ReadVersion(ZEB_LAUNCHER_EXE, file, product, error));
    EXPECT_EQ(0, error);
    // The stamp is the project version: at least a major number, the same in both.
    EXPECT_GT(file[0] + file[1] + file[2] + file[3], 0);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(file[i], product[i]);
}

TEST(OsVersion, RecordIsReadFromTheSectionItself) {
    TempDir dir;
    std::string bytes = ReadFileBytes(ZEB_LAUNCHER_EXE);
    const auto offsets = MagicOffsets(bytes);
    ASSERT_FALSE(offsets.empty());
    for (size_t at : offsets) {
        const uint16_t values[8] = {7, 8, 9, 10, 11, 12, 13, 14};
        bytes.replace(at + 8, sizeof values, reinterpret_cast<const char*>(values), sizeof values);
    }
    WriteFileBytes(dir / "patched.exe", bytes);
    uint16_t file[4] = {}, product[4] = {};
    int error = 0;
    ASSERT_EQ(os::VersionRead::kOk, ReadVersion(dir / "patched.exe", file, product, error));
    EXPECT_EQ((std::vector<uint16_t>{7, 8, 9, 10}), std::vector<uint16_t>(file, file + 4));
    EXPECT_EQ((std::vector<uint16_t>{11, 12, 13, 14}), std::vector<uint16_t>(product, product + 4));
}

TEST(OsVersion, WrongMagicTruncatedOrForeignFilesHaveNoVersion) {
    TempDir dir;
    const std::string launcher = ReadFileBytes(ZEB_LAUNCHER_EXE);
    std::string wrong = launcher;
    for (size_t at : MagicOffsets(wrong)) wrong[at + 7] = '2';
    WriteFileBytes(dir / "wrong.exe", wrong);
    WriteFileBytes(dir / "head.exe", launcher.substr(0, 4096));
    WriteFileBytes(dir / "plain.txt", "just text, no ELF header at all");
    WriteFileBytes(dir / "empty", "");
    std::string bogus = launcher;
    bogus[0x2f] = '\x7f';  // section headers far beyond the end of the file
    WriteFileBytes(dir / "bogus.exe", bogus);
    for (const char* name : {"wrong.exe", "head.exe", "plain.txt", "empty", "bogus.exe"}) {
        uint16_t file[4] = {}, product[4] = {};
        int error = -1;
        EXPECT_EQ(os::VersionRead::kNoVersion, ReadVersion(dir / name, file, product, error)) << name;
    }
    // This test program is ELF but was not stamped.
    uint16_t file[4] = {}, product[4] = {};
    int error = -1;
    EXPECT_EQ(os::VersionRead::kNoVersion,
              ReadVersion(fs::read_symlink("/proc/self/exe"), file, product, error));
}

TEST(OsVersion, UnreadableFileIsAnError) {
    TempDir dir;
    uint16_t file[4] = {}, product[4] = {};
    int error = 0;
    EXPECT_EQ(os::VersionRead::kError, ReadVersion(dir / "missing.exe", file, product, error));
    EXPECT_EQ(ENOENT, error);
    EXPECT_EQ(os::VersionRead::kError, ReadVersion(dir.path(), file, product, error));
    EXPECT_EQ(EISDIR, error);
    // A pipe without writer is not waited for.
    ASSERT_EQ(0, mkfifo((dir / "fifo.exe").c_str(), 0600));
    EXPECT_EQ(os::VersionRead::kError, ReadVersion(dir / "fifo.exe", file, product, error));
    EXPECT_EQ(EINVAL, error);
}
