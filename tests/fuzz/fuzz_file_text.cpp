// Fuzz target: the text decoding of files (GL_FILE_DetectEncoding, GL_FILE_ConvertEncoding,
// GL_FILE_Read on a real file holding the input's bytes). Properties:
//   - the detected kind is exactly one encoding, with exactly one line ending unless binary,
//     and a signature decides it;
//   - reading a file gives the detected encoding, its size, and text without NUL; a UTF-8
//     file (with or without signature) gives its text, invalid bytes replaced, up to the
//     first NUL;
//   - text written in each encoding reads back the same;
//   - ANSI text (UTF-8 here, without NUL) converted to each encoding and back is unchanged.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>

#include "common/GL_File.h"
#include "common/os/os.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

const std::wstring& FilePath() {
    static const std::wstring path = (fuzz::ScratchFolder() / "text.txt").wstring();
    return path;
}

void WriteBytes(const uint8_t* data, size_t size) {
    std::ofstream out(std::filesystem::path(FilePath()), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

bool StartsWith(const uint8_t* data, size_t size, std::initializer_list<uint8_t> signature) {
    return size >= signature.size() && std::equal(signature.begin(), signature.end(), data);
}

void CheckDetection(const uint8_t* data, size_t size, uint32_t kind) {
    const uint32_t encoding = kind & 0xFFFF;
    const uint32_t ending = kind & 0xFFFF0000;
    FUZZ_CHECK(encoding == ENC_ANSI || encoding == ENC_UTF16LE || encoding == ENC_UTF16BE ||
               encoding == ENC_UTF8_BOM || encoding == ENC_UTF8 || encoding == ENC_BINARY);
    if (encoding == ENC_BINARY) FUZZ_CHECK(ending == 0);
    else FUZZ_CHECK(ending == EOL_CRLF || ending == EOL_CR || ending == EOL_LF);
    if (StartsWith(data, size, {0xEF, 0xBB, 0xBF})) FUZZ_CHECK(encoding == ENC_UTF8_BOM);
    else if (StartsWith(data, size, {0xFF, 0xFE})) FUZZ_CHECK(encoding == ENC_UTF16LE);
    else if (StartsWith(data, size, {0xFE, 0xFF})) FUZZ_CHECK(encoding == ENC_UTF16BE);
    else FUZZ_CHECK(encoding == ENC_ANSI || encoding == ENC_UTF8 || encoding == ENC_BINARY);
}

std::wstring UpToNul(std::wstring text) {
    const size_t nul = text.find(L'\0');
    if (nul != std::wstring::npos) text.resize(nul);
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = (fuzz::DiscardLog(), true);
    (void)quiet;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const uint32_t kind = GL_FILE_DetectEncoding(data, static_cast<int64_t>(size));
    CheckDetection(data, size, kind);

    WriteBytes(data, size);
    std::wstring text;
    uint32_t encoding = 0;
    uint32_t fileSize = 0;
    FUZZ_CHECK(GL_FILE_Read(FilePath(), text, &encoding, &fileSize));
    FUZZ_CHECK(encoding == (kind & 0xFFFF) && fileSize == size);
    FUZZ_CHECK(text.find(L'\0') == std::wstring::npos);
    if (encoding == ENC_UTF8_BOM) FUZZ_CHECK(text == UpToNul(os::Utf8ToWideLossy(bytes.substr(3))));
    if (encoding == ENC_UTF8) FUZZ_CHECK(text == UpToNul(os::Utf8ToWideLossy(bytes)));
    std::wstring strict;
    if (encoding == ENC_ANSI && os::Utf8ToWide(bytes, strict)) FUZZ_CHECK(text == UpToNul(strict));

    // Written in each encoding, the text reads back. A text written without signature
    // that starts with one cannot be told from it.
    std::wstring given = os::Utf8ToWideLossy(bytes);
    given.erase(std::remove(given.begin(), given.end(), L'\0'), given.end());
    for (const uint32_t written : {ENC_ANSI, ENC_UTF8, ENC_UTF8_BOM, ENC_UTF16LE, ENC_UTF16BE}) {
        if ((written == ENC_ANSI || written == ENC_UTF8) && given.starts_with(L'\uFEFF')) continue;
        FUZZ_CHECK(GL_FILE_WriteText(FilePath(), given, written, false));
        std::wstring back;
        FUZZ_CHECK(GL_FILE_Read(FilePath(), back));
        FUZZ_CHECK(back == given);
    }

    // ANSI text (a terminated text: it ends at a NUL) through each encoding and back.
    if (bytes.find('\0') != std::string::npos || !os::Utf8ToWide(bytes, strict)) return 0;
    for (const uint32_t via : {ENC_UTF8, ENC_UTF8_BOM, ENC_UTF16LE, ENC_UTF16BE}) {
        uint8_t* converted = nullptr;
        const uint32_t n = GL_FILE_ConvertEncoding(ENC_ANSI, via, data,
                                                   static_cast<uint32_t>(size), &converted, false);
        uint8_t* back = nullptr;
        const uint32_t m = GL_FILE_ConvertEncoding(via, ENC_ANSI, converted, n, &back, false);
        FUZZ_CHECK(std::string(reinterpret_cast<const char*>(back), m) == bytes);
        delete[] converted;
        delete[] back;
    }
    return 0;
}
