// Narrow text is UTF-8 on this platform; wide text is UTF-32 (wchar_t).
#include <cwchar>

#include "common/os/os.h"
#include "common/os/posix_native.h"

namespace os {

namespace {

constexpr int kIncomplete = -1;

bool ValidScalar(uint32_t c) { return c < 0xD800 || (c > 0xDFFF && c <= 0x10FFFF); }

// One sequence at p (n > 0 bytes available): its length, 0 when invalid, kIncomplete when
// the bytes so far are a correct start of a longer sequence.
int DecodeOne(const char* p, size_t n, uint32_t& cp) {
    const auto b0 = static_cast<unsigned char>(p[0]);
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    size_t len;
    uint32_t min;
    if ((b0 & 0xE0) == 0xC0) {
        len = 2, min = 0x80, cp = b0 & 0x1F;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3, min = 0x800, cp = b0 & 0x0F;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4, min = 0x10000, cp = b0 & 0x07;
    } else {
        return 0;
    }
    for (size_t k = 1; k < len; ++k) {
        if (k == n) return kIncomplete;
        const auto b = static_cast<unsigned char>(p[k]);
        if ((b & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || !ValidScalar(cp)) return 0;
    return static_cast<int>(len);
}

// Encodes a valid scalar value into out (4 bytes); returns the length.
int EncodeOne(uint32_t c, char* out) {
    if (c < 0x80) {
        out[0] = static_cast<char>(c);
        return 1;
    }
    if (c < 0x800) {
        out[0] = static_cast<char>(0xC0 | (c >> 6));
        out[1] = static_cast<char>(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (c >> 12));
        out[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (c & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (c >> 18));
    out[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (c & 0x3F));
    return 4;
}

// What stands for a byte that is no part of a UTF-8 sequence.
enum class BrokenByte {
    kFail,     // nothing: the conversion fails
    kReplace,  // U+FFFD
    kEscape,   // the lone surrogate U+DC00 + the byte, turned back into it by encoding
};

constexpr uint32_t kEscapeBase = 0xDC00;

bool IsEscapedByte(uint32_t c) { return c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF; }

bool Decode(const std::string& in, std::wstring& out, BrokenByte broken) {
    out.clear();
    out.reserve(in.size());
    for (size_t i = 0; i < in.size();) {
        uint32_t cp = 0;
        const int len = DecodeOne(in.data() + i, in.size() - i, cp);
        if (len <= 0) {
            if (broken == BrokenByte::kFail) return false;
            out += static_cast<wchar_t>(broken == BrokenByte::kReplace
                                            ? 0xFFFD
                                            : kEscapeBase + static_cast<unsigned char>(in[i]));
            ++i;
            continue;
        }
        out += static_cast<wchar_t>(cp);
        i += static_cast<size_t>(len);
    }
    return true;
}

// replacement: what stands for a character without a form (strict: none, the call fails).
// unescape: an escaped byte of Decode becomes that byte again.
bool Encode(const std::wstring& in, std::string& out, const char* replacement,
            bool unescape = false) {
    out.clear();
    out.reserve(in.size());
    char bytes[4];
    for (wchar_t ch : in) {
        const auto c = static_cast<uint32_t>(ch);
        if (unescape && IsEscapedByte(c)) {
            out += static_cast<char>(c - kEscapeBase);
            continue;
        }
        if (!ValidScalar(c)) {
            if (replacement == nullptr) return false;
            out += replacement;
            continue;
        }
        out.append(bytes, static_cast<size_t>(EncodeOne(c, bytes)));
    }
    return true;
}

// UTF-8 conversion facet that needs no installed locale.
class Utf8Facet : public std::codecvt<wchar_t, char, std::mbstate_t> {
protected:
    result do_in(state_type&, const char* from, const char* fromEnd, const char*& fromNext,
                 wchar_t* to, wchar_t* toEnd, wchar_t*& toNext) const override {
        fromNext = from;
        toNext = to;
        while (fromNext < fromEnd) {
            if (toNext == toEnd) return partial;
            uint32_t cp = 0;
            const int len = DecodeOne(fromNext, static_cast<size_t>(fromEnd - fromNext), cp);
            if (len == kIncomplete) return partial;
            if (len == 0) return error;
            *toNext++ = static_cast<wchar_t>(cp);
            fromNext += len;
        }
        return ok;
    }

    result do_out(state_type&, const wchar_t* from, const wchar_t* fromEnd,
                  const wchar_t*& fromNext, char* to, char* toEnd, char*& toNext) const override {
        fromNext = from;
        toNext = to;
        char bytes[4];
        for (; fromNext < fromEnd; ++fromNext) {
            const auto c = static_cast<uint32_t>(*fromNext);
            if (!ValidScalar(c)) return error;
            const int len = EncodeOne(c, bytes);
            if (toEnd - toNext < len) return partial;
            for (int k = 0; k < len; ++k) *toNext++ = bytes[k];
        }
        return ok;
    }

    result do_unshift(state_type&, char* to, char*, char*& toNext) const override {
        toNext = to;
        return noconv;
    }

    int do_length(state_type&, const char* from, const char* fromEnd,
                  size_t max) const override {
        const char* p = from;
        for (; max > 0 && p < fromEnd; --max) {
            uint32_t cp = 0;
            const int len = DecodeOne(p, static_cast<size_t>(fromEnd - p), cp);
            if (len <= 0) break;
            p += len;
        }
        return static_cast<int>(p - from);
    }

    int do_encoding() const noexcept override { return 0; }
    bool do_always_noconv() const noexcept override { return false; }
    int do_max_length() const noexcept override { return 4; }
};

}  // namespace

bool Utf8ToWide(const std::string& in, std::wstring& out) {
    return Decode(in, out, BrokenByte::kFail);
}
bool WideToUtf8(const std::wstring& in, std::string& out) { return Encode(in, out, nullptr); }

std::wstring Utf8ToWideLossy(const std::string& in) {
    std::wstring out;
    Decode(in, out, BrokenByte::kReplace);
    return out;
}

namespace posix {

std::wstring NameFromBytes(const std::string& bytes) {
    std::wstring out;
    Decode(bytes, out, BrokenByte::kEscape);
    return out;
}

bool NameToBytes(const std::wstring& name, std::string& bytes) {
    return Encode(name, bytes, nullptr, true);
}

}  // namespace posix

std::string WideToUtf8Lossy(const std::wstring& in) {
    std::string out;
    Encode(in, out, "\xEF\xBF\xBD");
    return out;
}

// The ANSI code page is UTF-8 here; its default character is "?".
std::wstring AnsiToWideLossy(const std::string& in) { return Utf8ToWideLossy(in); }

std::string WideToAnsiLossy(const std::wstring& in) {
    std::string out;
    Encode(in, out, "?");
    return out;
}

const std::locale& AnsiLocale() {
    static const std::locale locale(std::locale::classic(), new Utf8Facet);
    return locale;
}

}  // namespace os
