// Files: encodings on real files, writes and appends, delete, rename, size and version.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/GL_Debug.h"
#include "common/GL_File.h"
#include "common/os/os.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

namespace {

// "한글 텍스트" as UTF-8 and as wide text.
const std::string kKorean = "\xED\x95\x9C\xEA\xB8\x80 \xED\x85\x8D\xEC\x8A\xA4\xED\x8A\xB8";
const std::wstring kKoreanWide = L"\uD55C\uAE00 \uD14D\uC2A4\uD2B8";
const std::string kBom = "\xEF\xBB\xBF";

class FileTest : public ::testing::Test {
protected:
    void SetUp() override { GL_DEBUG_SetLogFile((dir / "log.txt").wstring()); }
    std::string Log() const { return ReadFileBytes(dir / "log.txt"); }
    std::wstring W(const std::string& name) const { return (dir / name).wstring(); }
    // The path as a log line carries it (UTF-8).
    std::string U8(const std::string& name) const { return os::WideToUtf8Lossy(W(name)); }
    // A path in the ANSI code page whose last name is the given bytes, taken as they are.
    std::string Ansi(const std::string& nameBytes) const {
        return os::WideToAnsiLossy(dir.wpath() + os::kSepStr) + nameBytes;
    }

    TempDir dir;
};

uint32_t Detect(const std::string& bytes) {
    return GL_FILE_DetectEncoding(reinterpret_cast<const uint8_t*>(bytes.data()),
                                  static_cast<int64_t>(bytes.size()));
}

// UTF-16 little-endian bytes of a text (surrogate pairs for the characters beyond 16 bits).
std::string Utf16Le(const std::wstring& text) {
    std::string out;
    auto put = [&](uint32_t u) {
        out.push_back(static_cast<char>(u & 0xFF));
        out.push_back(static_cast<char>(u >> 8));
    };
    for (wchar_t c : text) {
        uint32_t cp = static_cast<uint32_t>(c);
        if (cp > 0xFFFF) {
            put(0xD800 + ((cp - 0x10000) >> 10));
            put(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            put(cp);
        }
    }
    return out;
}

std::string Swapped(std::string bytes) {
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) std::swap(bytes[i], bytes[i + 1]);
    return bytes;
}

bool IsFourDottedNumbers(const std::wstring& text) {
    int dots = 0;
    bool digitBefore = false;
    for (wchar_t c : text) {
        if (c == L'.' && digitBefore) {
            ++dots;
            digitBefore = false;
        } else if (c >= L'0' && c <= L'9') {
            digitBefore = true;
        } else {
            return false;
        }
    }
    return dots == 3 && digitBefore;
}

}  // namespace

// ---- encoding detection ------------------------------------------------------------------

TEST(FileDetect, SignaturesWinOverContent) {
    EXPECT_EQ(Detect(kBom + "a\nb"), ENC_UTF8_BOM | EOL_LF);
    EXPECT_EQ(Detect("\xFF\xFE" "a"), ENC_UTF16LE | EOL_CRLF);
    EXPECT_EQ(Detect("\xFE\xFF"), ENC_UTF16BE | EOL_CRLF);
    // Too short for its signature: the bytes are scanned as text.
    EXPECT_EQ(Detect("\xEF\xBB") & 0xFFFF, ENC_ANSI);
}

TEST(FileDetect, Utf8NeedsOneValidMultibyteSequenceAndNoInvalidOne) {
    EXPECT_EQ(Detect("plain ascii\r\n"), ENC_ANSI | EOL_CRLF);
    EXPECT_EQ(Detect(kKorean) & 0xFFFF, ENC_UTF8);
    EXPECT_EQ(Detect("\xF0\x9F\x98\x80") & 0xFFFF, ENC_UTF8);  // four-byte form
    EXPECT_EQ(Detect("caf\xE9") & 0xFFFF, ENC_ANSI);            // Latin-1 byte
    EXPECT_EQ(Detect(kKorean + "\xED\x95") & 0xFFFF, ENC_ANSI);  // sequence cut at the end
    EXPECT_EQ(Detect("\xC3" "A") & 0xFFFF, ENC_ANSI);            // wrong continuation
    EXPECT_EQ(Detect("\xF8\x88\x80\x80\x80") & 0xFFFF, ENC_ANSI); // no five-byte forms
}

TEST(FileDetect, ZeroByteWithoutUtf8IsBinaryWithoutLineEnding) {
    EXPECT_EQ(Detect(std::string("ab\0\r\n", 5)), ENC_BINARY);
    // A valid UTF-8 sequence makes the same bytes text.
    EXPECT_EQ(Detect(kKorean + std::string("\0\n", 2)), ENC_UTF8 | EOL_LF);
}

TEST(FileDetect, LineEndingIsTheFirstBreak) {
    EXPECT_EQ(Detect("a\rb\r\n") & ~0xFFFFu, EOL_CR);
    EXPECT_EQ(Detect("a\nb\r\n") & ~0xFFFFu, EOL_CRLF);  // the first CR decides
    EXPECT_EQ(Detect("a\r") & ~0xFFFFu, EOL_CR);         // CR as the last byte
    EXPECT_EQ(Detect("a\nb") & ~0xFFFFu, EOL_LF);
    EXPECT_EQ(Detect("ab") & ~0xFFFFu, EOL_CRLF);
    EXPECT_EQ(GL_FILE_DetectEncoding(nullptr, 0), ENC_ANSI | EOL_CRLF);
}

TEST(FileDetect, Utf16LineEndingsAreUnitsInTheFilesByteOrder) {
    EXPECT_EQ(Detect("\xFF\xFE" + Utf16Le(L"a\nb")), ENC_UTF16LE | EOL_LF);
    EXPECT_EQ(Detect("\xFF\xFE" + Utf16Le(L"a\r\nb")), ENC_UTF16LE | EOL_CRLF);
    EXPECT_EQ(Detect(Swapped("\xFF\xFE" + Utf16Le(L"a\rb"))), ENC_UTF16BE | EOL_CR);
    // The bytes 0D 0A inside one unit are no line break.
    EXPECT_EQ(Detect(std::string("\xFF\xFE\x0D\x0A", 4)), ENC_UTF16LE | EOL_CRLF);
}

// ---- reading text -------------------------------------------------------------------------

TEST_F(FileTest, KoreanTextReadsAlikeInEveryEncoding) {
    // Read text passes through the ANSI code page: Korean, which 949 carries too.
    const std::wstring text = kKoreanWide + L"\r\n\uAC00";
    WriteFileBytes(dir / "bom.txt", kBom + kKorean + "\r\n\xEA\xB0\x80");
    WriteFileBytes(dir / "utf8.txt", kKorean + "\r\n\xEA\xB0\x80");
    WriteFileBytes(dir / "le.txt", "\xFF\xFE" + Utf16Le(text));
    WriteFileBytes(dir / "be.txt", Swapped("\xFF\xFE" + Utf16Le(text)));
    const std::pair<const char*, uint32_t> cases[] = {
        {"bom.txt", ENC_UTF8_BOM}, {"utf8.txt", ENC_UTF8}, {"le.txt", ENC_UTF16LE},
        {"be.txt", ENC_UTF16BE}};
    for (const auto& [name, expected] : cases) {
        std::wstring read = L"old";
        uint32_t encoding = 0, size = 0;
        ASSERT_TRUE(GL_FILE_Read(W(name), read, &encoding, &size)) << name;
        EXPECT_EQ(read, text) << name;
        EXPECT_EQ(encoding, expected) << name;
        EXPECT_EQ(size, fs::file_size(dir / name)) << name;
    }
}

TEST_F(FileTest, AsciiFileIsAnsi) {
    WriteFileBytes(dir / "a.txt", "key=value\n");
    std::wstring text;
    uint32_t encoding = 0;
    ASSERT_TRUE(GL_FILE_Read(W("a.txt"), text, &encoding));
    EXPECT_EQ(encoding, ENC_ANSI);
    EXPECT_EQ(text, L"key=value\n");
}

TEST_F(FileTest, BinaryFileReadsAsEmptyText) {
    WriteFileBytes(dir / "b.bin", std::string("MZ\0\0\x01\x02", 6));
    std::wstring text = L"old";
    uint32_t encoding = 0, size = 0;
    ASSERT_TRUE(GL_FILE_Read(W("b.bin"), text, &encoding, &size));
    EXPECT_EQ(encoding, ENC_BINARY);
    EXPECT_EQ(text, L"");
    EXPECT_EQ(size, 6u);
}

TEST_F(FileTest, InvalidUtf8ReadsAsEmptyTextWithTheConversionLine) {
    WriteFileBytes(dir / "latin1.txt", "caf\xE9 au lait");
    std::wstring text = L"old";
    uint32_t encoding = 0;
    ASSERT_TRUE(GL_FILE_Read(W("latin1.txt"), text, &encoding));
    EXPECT_EQ(encoding, ENC_ANSI);
    EXPECT_EQ(text, L"");
    EXPECT_NE(Log().find("[ENU:10]can't convert string to wstring.(err=2)"), std::string::npos)
        << Log();
}

TEST_F(FileTest, Utf8WithSignatureAndOneInvalidByteKeepsTheRestOfItsText) {
    WriteFileBytes(dir / "settings.json", kBom + "{\"A\":\"x\xFFy\"}");
    std::wstring text;
    uint32_t encoding = 0;
    ASSERT_TRUE(GL_FILE_Read(W("settings.json"), text, &encoding));
    EXPECT_EQ(encoding, ENC_UTF8_BOM);
    // The broken byte arrives as the replacement character does through the code page.
    const std::wstring replaced = os::AnsiToWideLossy(os::WideToAnsiLossy(L"\uFFFD"));
    EXPECT_EQ(text, L"{\"A\":\"x" + replaced + L"y\"}");
    EXPECT_EQ(Log(), "");
}

TEST_F(FileTest, Utf16TextEndsAtZeroAndLoneSurrogatesBecomeDefaultCharacter) {
    std::string units = Utf16Le(L"ab");
    units += std::string("\x00\xD8", 2);  // unpaired high surrogate
    units += Utf16Le(L"c");
    units += std::string("\0\0", 2);
    units += Utf16Le(L"hidden");
    WriteFileBytes(dir / "u.txt", "\xFF\xFE" + units);
    std::wstring text;
    ASSERT_TRUE(GL_FILE_Read(W("u.txt"), text));
    EXPECT_EQ(text, L"ab?c");
}

TEST_F(FileTest, UnreadableFileFailsAndEmptiesText) {
    std::wstring text = L"old";
    EXPECT_FALSE(GL_FILE_Read(W("missing.txt"), text));
    EXPECT_EQ(text, L"");
    fs::create_directory(dir / "folder");
    EXPECT_FALSE(GL_FILE_Read(W("folder"), text));
    uint8_t sentinel = 0;
    uint8_t* raw = &sentinel;
    EXPECT_FALSE(GL_FILE_ReadRaw(W("folder"), &raw));
    EXPECT_EQ(raw, nullptr);
    // Failed reads are traces, not errors.
    EXPECT_EQ(Log().find("[E]"), std::string::npos) << Log();
}

// ---- conversion ---------------------------------------------------------------------------

TEST_F(FileTest, FilesUpToTheReadLimitAreReadLargerOnesRefused) {
    const fs::path big = dir / "big.json";
    WriteFileBytes(big, "{}");
    fs::resize_file(big, (uint64_t(32) << 20) + 1);
    std::wstring text = L"old";
    EXPECT_FALSE(GL_FILE_Read(big.wstring(), text));
    EXPECT_EQ(text, L"");
    uint8_t sentinel = 0;
    uint8_t* raw = &sentinel;
    EXPECT_FALSE(GL_FILE_ReadRaw(big.wstring(), &raw));
    EXPECT_EQ(raw, nullptr);

    fs::resize_file(big, uint64_t(32) << 20);
    uint32_t size = 0;
    ASSERT_TRUE(GL_FILE_ReadRaw(big.wstring(), &raw, &size));
    EXPECT_EQ(size, uint32_t(32) << 20);
    EXPECT_EQ(raw[0], '{');
    delete[] raw;
}

TEST(FileConvert, AnsiToUtf16CountsTheSignature) {
    const std::string ansi = os::WideToAnsiLossy(L"A\uD55C");  // "A한" in the ANSI code page
    uint8_t* out = nullptr;
    uint32_t n = GL_FILE_ConvertEncoding(ENC_ANSI, ENC_UTF16BE,
                                         reinterpret_cast<const uint8_t*>(ansi.data()),
                                         static_cast<uint32_t>(ansi.size()), &out, true);
    EXPECT_EQ(n, (2u + 1u) * 2u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), n),
              std::string("\xFE\xFF\x00\x41\xD5\x5C", 6));
    delete[] out;
}

// ---- writing ------------------------------------------------------------------------------

TEST_F(FileTest, Utf8WithSignatureCreatesFoldersAndAppendsWithoutSecondSignature) {
    const std::wstring path = W("new/deeper/info.json");
    ASSERT_TRUE(GL_FILE_WriteText(path, kKoreanWide, ENC_UTF8_BOM, false));
    EXPECT_EQ(ReadFileBytes(dir / "new/deeper/info.json"), kBom + kKorean);
    ASSERT_TRUE(GL_FILE_WriteText(path, L"\r\nmore", ENC_UTF8_BOM, true));
    EXPECT_EQ(ReadFileBytes(dir / "new/deeper/info.json"), kBom + kKorean + "\r\nmore");
    ASSERT_TRUE(GL_FILE_WriteText(path, L"x", ENC_UTF8, true));
    EXPECT_EQ(ReadFileBytes(dir / "new/deeper/info.json"), kBom + kKorean + "\r\nmorex");
}

TEST_F(FileTest, AppendedUtf16CarriesASecondSignature) {
    const std::wstring path = W("u16.txt");
    ASSERT_TRUE(GL_FILE_WriteText(path, L"ab", ENC_UTF16LE, false));
    ASSERT_TRUE(GL_FILE_WriteText(path, L"\uD55C", ENC_UTF16LE, true));
    EXPECT_EQ(ReadFileBytes(dir / "u16.txt"),
              "\xFF\xFE" + Utf16Le(L"ab") + "\xFF\xFE" + Utf16Le(L"\uD55C"));
    ASSERT_TRUE(GL_FILE_WriteText(W("be.txt"), L"a", ENC_UTF16BE, false));
    EXPECT_EQ(ReadFileBytes(dir / "be.txt"), std::string("\xFE\xFF\x00\x61", 4));
}

TEST_F(FileTest, FileNameWithoutExtensionOrWithBlankIsAFileNotAFolder) {
    ASSERT_TRUE(GL_FILE_WriteText(W("a/README"), L"r", ENC_ANSI, false));
    ASSERT_TRUE(GL_FILE_WriteText(W("b/my notes.txt"), L"n", ENC_ANSI, false));
    EXPECT_TRUE(fs::is_regular_file(dir / "a/README"));
    EXPECT_TRUE(fs::is_regular_file(dir / "b/my notes.txt"));
}

TEST_F(FileTest, PathWrittenWithSlashesGetsItsFoldersAndItsFile) {
    // "/" separates on Windows as well; the file-name cut there looks for "\" only, so the
    // folders must come from the last separator of either kind.
    const std::wstring path = dir.wpath() + L"/s.d/v1.2/info.json";
    ASSERT_TRUE(GL_FILE_WriteText(path, L"x", ENC_ANSI, false));
    EXPECT_TRUE(fs::is_regular_file(dir / "s.d/v1.2/info.json"));
}

TEST_F(FileTest, TextTheCodePageCannotCarryLeavesTheFileAlone) {
    WriteFileBytes(dir / "keep.json", "{\"PC_GUID\":\"1\"}");
    std::wstring bad = L"x";
    bad.push_back(static_cast<wchar_t>(0xD800));  // a lone surrogate: no character at all
    bad.push_back(L'y');
    EXPECT_FALSE(GL_FILE_WriteText(W("keep.json"), bad, ENC_UTF8_BOM, false));
    EXPECT_EQ(ReadFileBytes(dir / "keep.json"), "{\"PC_GUID\":\"1\"}");
    EXPECT_NE(Log().find("can't convert wstring to string."), std::string::npos) << Log();
}

TEST_F(FileTest, WriteIntoMissingFolderLogsTheOpenFailure) {
    EXPECT_FALSE(GL_FILE_Write(W("nope/f.bin"), false, "x", 1));
    EXPECT_FALSE(GL_FILE_Write(W("nope/f.bin"), true, "x", 1));
    const std::string log = Log();
    const std::string missingFolder = "[ENW:" + std::to_string(os::err::kPathNotFound) + "]";
    EXPECT_NE(log.find("[ENU:10]파일쓰기 실패(" + U8("nope/f.bin") + "), append == 0" + missingFolder),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("[ENU:10]파일쓰기 실패(" + U8("nope/f.bin") + "), append == 1" + missingFolder),
              std::string::npos)
        << log;
}

TEST_F(FileTest, WriteReplacesOrAppendsBytes) {
    ASSERT_TRUE(GL_FILE_Write(W("w.bin"), false, "abcdef", 6));
    ASSERT_TRUE(GL_FILE_Write(W("w.bin"), false, "xy", 2));
    ASSERT_TRUE(GL_FILE_Write(W("w.bin"), true, "z", 1));
    ASSERT_TRUE(GL_FILE_Write(W("fresh.bin"), true, "q", 1));
    EXPECT_EQ(ReadFileBytes(dir / "w.bin"), "xyz");
    EXPECT_EQ(ReadFileBytes(dir / "fresh.bin"), "q");
}

TEST_F(FileTest, CreatedProgramsCanBeRunOtherFilesNot) {
    ASSERT_TRUE(GL_FILE_Write(W("tool.exe"), false, "x", 1));
    ASSERT_TRUE(GL_FILE_Write(W("appended.exe"), true, "x", 1));
    ASSERT_TRUE(GL_FILE_Write(W("data.txt"), false, "x", 1));
    auto exec = [](const fs::path& p) {
        return (fs::status(p).permissions() & fs::perms::owner_exec) != fs::perms::none;
    };
    EXPECT_TRUE(exec(dir / "tool.exe"));
    EXPECT_TRUE(exec(dir / "appended.exe"));
    EXPECT_FALSE(exec(dir / "data.txt"));
}

// ---- delete and rename --------------------------------------------------------------------

TEST_F(FileTest, DeletingAMissingFileSucceedsSilently) {
    EXPECT_TRUE(GL_FILE_Delete(W("missing.txt")));
    EXPECT_TRUE(GL_FILE_Delete(Ansi("missing.txt")));
    EXPECT_EQ(Log(), "");
}

TEST_F(FileTest, DeleteRemovesFilesByWideAndNarrowPath) {
    WriteFileBytes(dir / "a.txt", "a");
    WriteFileBytes(dir / u8"\uD55C.txt", "b");
    EXPECT_TRUE(GL_FILE_Delete(W("a.txt")));
    EXPECT_TRUE(GL_FILE_Delete(Ansi(os::WideToAnsiLossy(L"\uD55C.txt"))));
    EXPECT_FALSE(fs::exists(dir / "a.txt"));
    EXPECT_FALSE(fs::exists(dir / u8"\uD55C.txt"));
    // Narrow text that does not convert whole must not delete what its prefix names: a byte
    // no character starts with, and a character cut after its first byte.
    WriteFileBytes(dir / "abc", "keep");
    EXPECT_FALSE(GL_FILE_Delete(Ansi("\xFF.txt")));
    EXPECT_FALSE(GL_FILE_Delete(Ansi("abc" + os::WideToAnsiLossy(L"\uD55C").substr(0, 1))));
    EXPECT_EQ(ReadFileBytes(dir / "abc"), "keep");
}

TEST_F(FileTest, DeletingAFolderFailsWithStatus10) {
    fs::create_directory(dir / "sub");
    EXPECT_FALSE(GL_FILE_Delete(W("sub")));
    EXPECT_TRUE(fs::is_directory(dir / "sub"));
    EXPECT_NE(Log().find("[ENU:10]파일삭제 실패: " + U8("sub") + "[ENW:"), std::string::npos)
        << Log();
}

TEST_F(FileTest, RenameToSamePathInOtherCaseDoesNothing) {
    WriteFileBytes(dir / "Launcher.exe", "old");
    EXPECT_TRUE(GL_FILE_RenameFileOrDir(W("Launcher.exe"), W("LAUNCHER.EXE")));
    EXPECT_EQ(ReadFileBytes(dir / "Launcher.exe"), "old");
    // The name keeps its letters (a Windows file system finds it under either).
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.path()))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"Launcher.exe"});
}

TEST_F(FileTest, RenameOntoTheSameFileSpelledOtherwiseKeepsIt) {
    WriteFileBytes(dir / "d/x.exe", "only copy");
    EXPECT_TRUE(GL_FILE_RenameFileOrDir(W("d/./x.exe"), W("d/x.exe")));
    EXPECT_TRUE(GL_FILE_RenameFileOrDir(W("d/x.exe"), W("d/../d/x.exe")));
    EXPECT_EQ(ReadFileBytes(dir / "d/x.exe"), "only copy");
    EXPECT_EQ(Log(), "");
}

TEST_F(FileTest, RenameOntoAFileReplacesIt) {
    WriteFileBytes(dir / "new.exe", "new");
    WriteFileBytes(dir / "old.exe", "old");
    EXPECT_TRUE(GL_FILE_RenameFileOrDir(W("new.exe"), W("old.exe")));
    EXPECT_EQ(ReadFileBytes(dir / "old.exe"), "new");
    EXPECT_FALSE(fs::exists(dir / "new.exe"));
}

TEST_F(FileTest, RenameOntoAFolderFailsWithStatus10) {
    WriteFileBytes(dir / "f.txt", "f");
    WriteFileBytes(dir / "folder/inner.txt", "i");
    EXPECT_FALSE(GL_FILE_RenameFileOrDir(W("f.txt"), W("folder")));
    EXPECT_EQ(ReadFileBytes(dir / "f.txt"), "f");
    EXPECT_EQ(ReadFileBytes(dir / "folder/inner.txt"), "i");
    EXPECT_NE(Log().find("[ENU:10]타겟파일삭제에 실패했습니다.\r\n" + U8("folder")),
              std::string::npos)
        << Log();
}

TEST_F(FileTest, RenameFromAMissingSourceKeepsTheDestination) {
    WriteFileBytes(dir / "ZEB.Launcher.exe", "current");
    EXPECT_FALSE(GL_FILE_RenameFileOrDir(W("ZEB.Launcher_.exe"), W("ZEB.Launcher.exe")));
    EXPECT_EQ(ReadFileBytes(dir / "ZEB.Launcher.exe"), "current");
    EXPECT_NE(Log().find("[ENU:20]MoveFile() 실패.\r\nsrc: " + U8("ZEB.Launcher_.exe") +
                         "\r\ndst: " + U8("ZEB.Launcher.exe")),
              std::string::npos)
        << Log();
}

// ---- size and version ---------------------------------------------------------------------

TEST_F(FileTest, SizeOfFilesAndFailures) {
    WriteFileBytes(dir / "s.bin", std::string(1234, 's'));
    uint32_t size = 7;
    EXPECT_EQ(GL_FILE_GetSize(W("s.bin"), size), 0);
    EXPECT_EQ(size, 1234u);
    size = 7;
    EXPECT_EQ(GL_FILE_GetSize(Ansi("s.bin"), size), 0);
    EXPECT_EQ(size, 1234u);
    EXPECT_EQ(GL_FILE_GetSize(W("missing.bin"), size), 10);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(GL_FILE_GetSize(dir.wpath(), size), 10);
    EXPECT_NE(Log().find("[ENU:10]CreateFile() 실패\r\n" + U8("missing.bin") + "[ENW:2]"),
              std::string::npos)
        << Log();
}

TEST_F(FileTest, LauncherHasAFourPartVersion) {
    std::wstring fileVersion, productVersion;
    ASSERT_TRUE(GL_FILE_GetVersion(fs::path(ZEB_LAUNCHER_EXE).wstring(), false, fileVersion));
    ASSERT_TRUE(GL_FILE_GetVersion(fs::path(ZEB_LAUNCHER_EXE).wstring(), true, productVersion));
    EXPECT_TRUE(IsFourDottedNumbers(fileVersion)) << fileVersion;
    EXPECT_TRUE(IsFourDottedNumbers(productVersion)) << productVersion;

    wchar_t buffer[260] = L"unset";
    ASSERT_TRUE(GL_FILE_GetVersion(fs::path(ZEB_LAUNCHER_EXE).wstring(), buffer));
    EXPECT_EQ(std::wstring(buffer), fileVersion);
}

TEST_F(FileTest, FileWithoutVersionLeavesTheTextMissingFileFails) {
    WriteFileBytes(dir / "plain.exe", "not a program");
    std::wstring version = L"keep";
    EXPECT_TRUE(GL_FILE_GetVersion(W("plain.exe"), false, version));
    EXPECT_EQ(version, L"keep");
    wchar_t buffer[260] = L"keep";
    EXPECT_TRUE(GL_FILE_GetVersion(W("plain.exe"), buffer));
    EXPECT_EQ(std::wstring(buffer), L"keep");
    EXPECT_EQ(Log(), "");
    EXPECT_FALSE(GL_FILE_GetVersion(W("missing.exe"), false, version));
    EXPECT_EQ(version, L"keep");
    EXPECT_NE(Log().find("[ENU:10]GetFileVersionInfo() 실패[ENW:2]"), std::string::npos) << Log();
}

