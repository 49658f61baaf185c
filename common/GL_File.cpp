// Whole-file reads and writes, text encodings, delete, rename, size and version.
#include "common/GL_File.h"

#include <algorithm>
#include <cwctype>
#include <new>
#include <string>
#include <vector>

#include "common/GL_Debug.h"
#include "common/GL_Directory.h"
#include "common/GL_String.h"
#include "common/PathText.h"
#include "common/Surrogates.h"
#include "common/os/os.h"

namespace {

// What a conversion to the ANSI code page puts in place of a character it cannot carry.
constexpr wchar_t kDefaultChar = L'?';
// The largest file read whole: twice the largest update reply, whose text the settings
// files keep. Larger files, and anything that is no regular file, are not read.
constexpr uint64_t kReadLimitBytes = 32u << 20;

// UTF-16 units given as little-endian byte pairs, to wide text. An unpaired surrogate
// cannot reach the ANSI code page and becomes the default character.
std::wstring DecodeUtf16Le(const uint8_t* bytes, size_t units) {
    std::wstring text;
    text.reserve(units);
    for (size_t i = 0; i < units; ++i) {
        uint32_t u = bytes[2 * i] | (bytes[2 * i + 1] << 8);
        if constexpr (sizeof(wchar_t) == 2) {
            text.push_back(static_cast<wchar_t>(u));
            continue;
        }
        if (IsHighSurrogate(u) && i + 1 < units) {
            uint32_t low = bytes[2 * i + 2] | (bytes[2 * i + 3] << 8);
            if (IsLowSurrogate(low)) {
                uint32_t cp = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
                text.push_back(static_cast<wchar_t>(cp));
                ++i;
                continue;
            }
        }
        text.push_back(IsHighSurrogate(u) || IsLowSurrogate(u) ? kDefaultChar
                                                               : static_cast<wchar_t>(u));
    }
    return text;
}

void PutUnitLe(std::vector<uint8_t>& out, uint32_t unit) {
    out.push_back(static_cast<uint8_t>(unit & 0xFF));
    out.push_back(static_cast<uint8_t>((unit >> 8) & 0xFF));
}

// Signature FF FE followed by the text as UTF-16 little-endian units.
std::vector<uint8_t> EncodeUtf16Le(const std::wstring& text) {
    std::vector<uint8_t> out;
    out.reserve((text.size() + 1) * 2);
    PutUnitLe(out, 0xFEFF);
    for (wchar_t c : text) {
        uint32_t cp = static_cast<uint32_t>(c);
        if (cp > 0xFFFF) {
            cp -= 0x10000;
            PutUnitLe(out, 0xD800 + (cp >> 10));
            PutUnitLe(out, 0xDC00 + (cp & 0x3FF));
        } else {
            PutUnitLe(out, cp);
        }
    }
    return out;
}

void SwapUnits(std::vector<uint8_t>& bytes) {
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) std::swap(bytes[i], bytes[i + 1]);
}

uint8_t* CopyToHeap(const uint8_t* data, size_t size) {
    // One byte more, zero, so that a caller may treat the result as a terminated text.
    uint8_t* out = new uint8_t[size + 1];
    for (size_t i = 0; i < size; ++i) out[i] = data[i];
    out[size] = 0;
    return out;
}

// Present as a name, also as a link that leads nowhere.
bool NamePresent(const std::wstring& path) { return os::InspectPath(path).exists; }

bool EqualIgnoringCase(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::towlower(static_cast<wint_t>(a[i])) != std::towlower(static_cast<wint_t>(b[i])))
            return false;
    return true;
}

}  // namespace

bool GL_FILE_Exists(const std::wstring& path) { return os::PathExists(path); }

bool GL_FILE_Delete(const std::wstring& path) {
    if (!NamePresent(path)) return true;
    int error = os::RemoveFile(path);
    if (error == 0 || error == os::err::kFileNotFound) return true;
    GL_LOG('E', error, 10, L"파일삭제 실패: %s", path);
    return false;
}

bool GL_FILE_Delete(const std::string& path) {
    std::wstring wide = GL_STRING_ConvMBSToWCS(path);
    // Narrow text that does not convert whole would name another file, or none.
    if (GL_STRING_ConvWCSToMBS(wide) != path) return false;
    return GL_FILE_Delete(wide);
}

bool GL_FILE_RenameFileOrDir(const std::wstring& from, const std::wstring& to) {
    if (EqualIgnoringCase(from, to)) return true;
    // The destination is deleted before the move: with no source to move in its place it
    // would be lost for nothing, so that case fails the way the move itself would.
    if (!NamePresent(from)) {
        GL_LOG('E', os::err::kFileNotFound, 20, L"MoveFile() 실패.\r\nsrc: %s\r\ndst: %s", from,
               to);
        return false;
    }
    // The same file spelled differently ("/d/./x", a linked folder): deleting the
    // destination would delete the source.
    os::FileIdentity source, destination;
    if (os::GetFileIdentity(from, source) == 0 && os::GetFileIdentity(to, destination) == 0 &&
        source == destination)
        return true;
    if (NamePresent(to)) {
        int error = os::RemoveFile(to);
        if (error != 0) {
            GL_LOG('E', error, 10, L"타겟파일삭제에 실패했습니다.\r\n%s", to);
            return false;
        }
    }
    int error = os::RenameNoReplace(from, to);
    if (error != 0) {
        GL_LOG('E', error, 20, L"MoveFile() 실패.\r\nsrc: %s\r\ndst: %s", from, to);
        return false;
    }
    return true;
}

bool GL_FILE_ReadRaw(const std::wstring& path, uint8_t** buffer, uint32_t* size) {
    if (buffer == nullptr) return false;
    *buffer = nullptr;
    try {
        std::vector<uint8_t> bytes;
        if (os::ReadWholeFile(path, bytes, kReadLimitBytes) != 0) return false;
        *buffer = CopyToHeap(bytes.data(), bytes.size());
        if (size != nullptr) *size = static_cast<uint32_t>(bytes.size());
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

uint32_t GL_FILE_DetectEncoding(const uint8_t* b, int64_t n) {
    uint32_t encoding;
    if (n >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
        encoding = ENC_UTF8_BOM;
    } else if (n >= 2 && b[0] == 0xFF && b[1] == 0xFE) {
        encoding = ENC_UTF16LE;
    } else if (n >= 2 && b[0] == 0xFE && b[1] == 0xFF) {
        encoding = ENC_UTF16BE;
    } else {
        bool valid = true, multibyte = false;
        for (int64_t i = 0; i < n && valid;) {
            uint8_t c = b[i];
            int follow = c < 0x80               ? 0
                         : (c & 0xE0) == 0xC0   ? 1
                         : (c & 0xF0) == 0xE0   ? 2
                         : (c & 0xF8) == 0xF0   ? 3
                                                : -1;
            if (follow < 0 || i + follow >= n) {
                valid = false;
                break;
            }
            for (int k = 1; k <= follow; ++k)
                if ((b[i + k] & 0xC0) != 0x80) valid = false;
            multibyte = multibyte || follow > 0;
            i += 1 + follow;
        }
        if (valid && multibyte) {
            encoding = ENC_UTF8;
        } else {
            for (int64_t i = 0; i < n; ++i)
                if (b[i] == 0) return ENC_BINARY;
            encoding = ENC_ANSI;
        }
    }

    // Line ending of the first line break, on bytes or on 16-bit units.
    bool wide = encoding == ENC_UTF16LE || encoding == ENC_UTF16BE;
    int64_t count = wide ? n / 2 : (n > 0 ? n : 0);
    auto at = [&](int64_t i) -> uint32_t {
        if (!wide) return b[i];
        return encoding == ENC_UTF16LE ? b[2 * i] | (b[2 * i + 1] << 8)
                                       : (b[2 * i] << 8) | b[2 * i + 1];
    };
    bool sawLf = false;
    for (int64_t i = 0; i < count; ++i) {
        uint32_t c = at(i);
        if (c == 0x0D) return encoding | (i + 1 < count && at(i + 1) == 0x0A ? EOL_CRLF : EOL_CR);
        if (c == 0x0A) sawLf = true;
    }
    return encoding | (sawLf ? EOL_LF : EOL_CRLF);
}

uint32_t GL_FILE_ConvertEncoding(uint32_t from, uint32_t to, const uint8_t* bytes,
                                 uint32_t count, uint8_t** out, bool noSignature) {
    if (bytes == nullptr) count = 0;
    std::vector<uint8_t> result;
    auto setText = [&](const std::string& text) { result.assign(text.begin(), text.end()); };

    if (from == ENC_UTF16BE || from == ENC_UTF16LE) {
        // UTF-16 always comes out in the ANSI code page; the destination is not consulted.
        std::vector<uint8_t> units(bytes, bytes + (count / 2) * 2);
        if (from == ENC_UTF16BE) SwapUnits(units);
        size_t n = units.size() / 2;
        std::wstring text = n > 1 ? DecodeUtf16Le(units.data() + 2, n - 1) : std::wstring();
        setText(os::WideToAnsiLossy(text));
    } else if (from == ENC_UTF8_BOM || from == ENC_UTF8) {
        uint32_t skip = from == ENC_UTF8_BOM ? (count >= 3 ? 3 : count) : 0;
        std::wstring text = os::Utf8ToWideLossy(
            std::string(reinterpret_cast<const char*>(bytes) + skip, count - skip));
        setText(os::WideToAnsiLossy(text));
    } else {
        std::wstring text = count == 0 ? std::wstring()
                                       : GL_STRING_ConvMBSToWCS(std::string(
                                             reinterpret_cast<const char*>(bytes), count));
        if (to == ENC_UTF16LE || to == ENC_UTF16BE) {
            result = EncodeUtf16Le(text);
            if (to == ENC_UTF16BE) SwapUnits(result);
        } else if (to == ENC_UTF8_BOM || to == ENC_UTF8) {
            std::string utf8 = (to == ENC_UTF8_BOM && !noSignature) ? "\xEF\xBB\xBF" : "";
            setText(utf8 + os::WideToUtf8Lossy(text));
        }
    }
    if (out != nullptr) *out = CopyToHeap(result.data(), result.size());
    return static_cast<uint32_t>(result.size());
}

namespace {

// The text of a file's bytes, through the ANSI code page; false when memory runs out.
bool DecodeFileText(const uint8_t* raw, uint32_t rawSize, uint32_t detected, std::wstring& text) {
    try {
        std::string ansi;
        if (detected == ENC_ANSI) {
            ansi.assign(reinterpret_cast<const char*>(raw), rawSize);
        } else {
            uint8_t* converted = nullptr;
            uint32_t n =
                GL_FILE_ConvertEncoding(detected, ENC_ANSI, raw, rawSize, &converted, false);
            ansi.assign(reinterpret_cast<const char*>(converted), n);
            delete[] converted;
        }
        // The text ends at its first zero byte.
        size_t zero = ansi.find('\0');
        if (zero != std::string::npos) ansi.resize(zero);
        text = GL_STRING_ConvMBSToWCS(ansi);
        return true;
    } catch (const std::bad_alloc&) {
        text.clear();
        return false;
    }
}

}  // namespace

bool GL_FILE_Read(const std::wstring& path, std::wstring& text, uint32_t* encoding,
                  uint32_t* size) {
    text.clear();
    uint8_t* raw = nullptr;
    uint32_t rawSize = 0;
    if (!GL_FILE_ReadRaw(path, &raw, &rawSize)) {
        GL_LOG('D', 0, 0, L"GL_FILE_Read()실패");
        return false;
    }
    uint32_t detected = GL_FILE_DetectEncoding(raw, rawSize) & 0xFFFF;
    if (encoding != nullptr) *encoding = detected;
    const bool decoded = DecodeFileText(raw, rawSize, detected, text);
    delete[] raw;
    if (!decoded) {
        GL_LOG('D', 0, 0, L"GL_FILE_Read()실패");
        return false;
    }
    if (size != nullptr) *size = rawSize;
    return true;
}

bool GL_FILE_Write(const std::wstring& path, bool append, const void* data, uint32_t size) {
    const wchar_t* message = L"파일쓰기 실패(%s), append == %d";
    if (data == nullptr) size = 0;
    if (append) {
        bool created = !os::PathExists(path);
        int error = os::AppendToFile(path, data, size);
        if (error != 0) {
            GL_LOG('E', error, 10, message, path, 1);
            return false;
        }
        if (created) os::MarkRunnableIfProgram(path);
        return true;
    }

    // The same bytes again leave the file as it is, without spending a flush to the disk.
    uint64_t currentSize = 0;
    std::vector<uint8_t> current;
    const auto* bytes = static_cast<const uint8_t*>(data);
    if (os::QueryFileSize(path, currentSize) == 0 && currentSize == size &&
        os::ReadWholeFile(path, current, size) == 0 && current.size() == size &&
        std::equal(current.begin(), current.end(), bytes))
        return true;

    // Written whole under a passing name beside the file, flushed, then renamed over it: a
    // reader, or a run cut short, finds the old file or the new one, never a part of one.
    const std::wstring temporary =
        path + L"." + std::to_wstring(os::CurrentProcessId()) + L".tmp";
    os::FileWriter writer;
    int error = writer.Create(temporary);
    if (error != 0) {
        GL_LOG('E', error, 10, message, path, 0);
        return false;
    }
    error = writer.Write(data, size);
    if (error == 0) error = writer.Flush();
    const int closeError = writer.Close();
    if (error == 0) error = closeError;
    if (error != 0) {
        os::RemoveFile(temporary);
        GL_LOG('E', error, 20, message, path, 0);
        return false;
    }
    error = os::ReplaceFileWith(temporary, path);
    if (error != 0) {
        os::RemoveFile(temporary);
        GL_LOG('E', error, 30, message, path, 0);
        return false;
    }
    os::MarkRunnableIfProgram(path);
    return true;
}

bool GL_FILE_WriteText(const std::wstring& path, const std::wstring& text, uint32_t encoding,
                       bool append) {
    // The folder is the path up to its last separator: cutting the file name by its look
    // would take a name without extension, or with a blank, for a folder to create.
    size_t sep = LastSeparator(path);
    if (sep != std::wstring::npos) {
        std::wstring folder = path.substr(0, sep + 1);
        if (!GL_DIRECTORY_IsExist(folder)) GL_DIRECTORY_MakeDirs(folder);
    }

    std::string ansi = GL_STRING_ConvWCSToMBS(text);
    // A text the code page cannot carry comes back empty (and is logged there); writing that
    // would replace the file's content with nothing and report success.
    if (ansi.empty() && !text.empty()) return false;

    if (encoding == ENC_ANSI) return GL_FILE_Write(path, append, ansi.data(), ansi.size());
    uint8_t* converted = nullptr;
    uint32_t n = GL_FILE_ConvertEncoding(ENC_ANSI, encoding,
                                         reinterpret_cast<const uint8_t*>(ansi.data()),
                                         static_cast<uint32_t>(ansi.size()), &converted, append);
    bool written = GL_FILE_Write(path, append, converted, n);
    delete[] converted;
    return written;
}

int GL_FILE_GetSize(const std::wstring& path, uint32_t& size) {
    uint64_t full = 0;
    // Like a file open, a folder has no size to give.
    int error = os::IsDirectory(path) ? os::err::kAccessDenied : os::QueryFileSize(path, full);
    if (error != 0) {
        size = 0;
        return GL_LOG('E', error, 10, L"CreateFile() 실패\r\n%s", path);
    }
    size = static_cast<uint32_t>(full & 0xFFFFFFFFu);
    return 0;
}

int GL_FILE_GetSize(const std::string& path, uint32_t& size) {
    return GL_FILE_GetSize(GL_STRING_ConvMBSToWCS(path), size);
}

bool GL_FILE_GetVersion(const std::wstring& path, bool productVersion, std::wstring& version) {
    uint16_t fileVersion[4] = {0, 0, 0, 0};
    uint16_t product[4] = {0, 0, 0, 0};
    int error = 0;
    switch (os::ReadVersionRecord(path, fileVersion, product, error)) {
    case os::VersionRead::kNoVersion:
        return true;
    case os::VersionRead::kError:
        GL_LOG('E', error, 10, L"GetFileVersionInfo() 실패");
        return false;
    case os::VersionRead::kOk:
        break;
    }
    const uint16_t* v = productVersion ? product : fileVersion;
    version = std::to_wstring(v[0]) + L"." + std::to_wstring(v[1]) + L"." +
              std::to_wstring(v[2]) + L"." + std::to_wstring(v[3]);
    return true;
}

bool GL_FILE_GetVersion(const std::wstring& path, wchar_t (&version)[260]) {
    std::wstring text;
    if (!GL_FILE_GetVersion(path, false, text)) return false;
    if (!text.empty()) {
        size_t n = text.copy(version, 259);
        version[n] = L'\0';
    }
    return true;
}
