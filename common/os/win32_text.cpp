// Text conversions on Windows: UTF-8 and the ANSI code page through the system's own
// tables (MultiByteToWideChar, WideCharToMultiByte).
#include <windows.h>

#include <climits>

#include "common/os/os.h"

namespace os {

namespace {

// The ANSI code page, fixed for the life of the process. Its UTF-8 form (a system set to
// "Unicode UTF-8 for worldwide language support") takes other flags than the others.
struct AnsiPage {
    UINT id;
    bool utf8;
    int maxCharSize;
};

const AnsiPage& Ansi() {
    static const AnsiPage page = [] {
        CPINFO info = {};
        const UINT id = GetACP();
        const int maxCharSize = GetCPInfo(id, &info) ? static_cast<int>(info.MaxCharSize) : 2;
        return AnsiPage{id, id == CP_UTF8, maxCharSize};
    }();
    return page;
}

// Flags of a conversion to the ANSI code page: a character it cannot represent becomes its
// default character, never a look-alike (the UTF-8 form represents every valid text).
DWORD ToAnsiFlags(bool strict) {
    if (Ansi().utf8) return strict ? WC_ERR_INVALID_CHARS : 0;
    return WC_NO_BEST_FIT_CHARS;
}

bool ToWide(UINT codePage, DWORD flags, const std::string& in, std::wstring& out) {
    out.clear();
    if (in.empty()) return true;
    if (in.size() > INT_MAX) {
        SetLastError(ERROR_INVALID_DATA);
        return false;
    }
    const int size = static_cast<int>(in.size());
    const int n = MultiByteToWideChar(codePage, flags, in.data(), size, nullptr, 0);
    if (n == 0) return false;
    out.resize(static_cast<size_t>(n));
    if (MultiByteToWideChar(codePage, flags, in.data(), size, out.data(), n) == n) return true;
    out.clear();
    return false;
}

bool ToNarrow(UINT codePage, DWORD flags, const std::wstring& in, std::string& out) {
    out.clear();
    if (in.empty()) return true;
    if (in.size() > INT_MAX) {
        SetLastError(ERROR_INVALID_DATA);
        return false;
    }
    const int size = static_cast<int>(in.size());
    const int n =
        WideCharToMultiByte(codePage, flags, in.data(), size, nullptr, 0, nullptr, nullptr);
    if (n == 0) return false;
    out.resize(static_cast<size_t>(n));
    if (WideCharToMultiByte(codePage, flags, in.data(), size, out.data(), n, nullptr, nullptr) == n)
        return true;
    out.clear();
    return false;
}

constexpr int kIncomplete = -1;

// One ANSI character at p (n > 0 bytes available) into units (room for two): its length
// in bytes, 0 when it is invalid, kIncomplete when the bytes so far start a longer one.
int DecodeOne(const char* p, size_t n, wchar_t* units, int& count) {
    const AnsiPage& page = Ansi();
    const auto lead = static_cast<unsigned char>(p[0]);
    size_t length = 1;
    // A byte that cannot start a UTF-8 sequence counts as one character, which the
    // conversion then refuses.
    if (page.utf8) {
        if (lead >= 0xC2 && lead <= 0xF4) length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    } else if (IsDBCSLeadByteEx(page.id, lead)) {
        length = 2;
    }
    if (length > n) {
        // A UTF-8 start is incomplete only while what follows it are continuation bytes.
        for (size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(p[k]) & 0xC0) != 0x80) return 0;
        return kIncomplete;
    }
    count = MultiByteToWideChar(page.id, MB_ERR_INVALID_CHARS, p, static_cast<int>(length),
                                units, 2);
    return count > 0 ? static_cast<int>(length) : 0;
}

// One character (units: 1, or 2 for a surrogate pair) into bytes (room for 8): the number
// of bytes, 0 when the code page cannot represent it.
int EncodeOne(const wchar_t* units, int count, char* bytes) {
    const AnsiPage& page = Ansi();
    BOOL usedDefault = FALSE;
    const int n = WideCharToMultiByte(page.id, ToAnsiFlags(true), units, count, bytes, 8,
                                      nullptr, page.utf8 ? nullptr : &usedDefault);
    return usedDefault ? 0 : n;
}

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }

// The conversion facet of the ANSI code page, one character at a time so that an
// incomplete trailing character is told apart from an invalid one.
class AnsiFacet final : public std::codecvt<wchar_t, char, std::mbstate_t> {
protected:
    result do_in(state_type&, const char* from, const char* fromEnd, const char*& fromNext,
                 wchar_t* to, wchar_t* toEnd, wchar_t*& toNext) const override {
        fromNext = from;
        toNext = to;
        while (fromNext < fromEnd) {
            wchar_t units[2];
            int count = 0;
            const int length =
                DecodeOne(fromNext, static_cast<size_t>(fromEnd - fromNext), units, count);
            if (length == kIncomplete) return partial;
            if (length == 0) return error;
            if (toEnd - toNext < count) return partial;
            for (int k = 0; k < count; ++k) *toNext++ = units[k];
            fromNext += length;
        }
        return ok;
    }

    result do_out(state_type&, const wchar_t* from, const wchar_t* fromEnd,
                  const wchar_t*& fromNext, char* to, char* toEnd, char*& toNext) const override {
        fromNext = from;
        toNext = to;
        while (fromNext < fromEnd) {
            const int count = IsHighSurrogate(*fromNext) ? 2 : 1;
            if (fromEnd - fromNext < count) return partial;
            char bytes[8];
            const int length = EncodeOne(fromNext, count, bytes);
            if (length == 0) return error;
            if (toEnd - toNext < length) return partial;
            for (int k = 0; k < length; ++k) *toNext++ = bytes[k];
            fromNext += count;
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
        while (p < fromEnd) {
            wchar_t units[2];
            int count = 0;
            const int length = DecodeOne(p, static_cast<size_t>(fromEnd - p), units, count);
            if (length <= 0 || static_cast<size_t>(count) > max) break;
            max -= static_cast<size_t>(count);
            p += length;
        }
        return static_cast<int>(p - from);
    }

    int do_encoding() const noexcept override { return Ansi().maxCharSize == 1 ? 1 : 0; }
    bool do_always_noconv() const noexcept override { return false; }
    int do_max_length() const noexcept override { return Ansi().maxCharSize; }
};

}  // namespace

bool Utf8ToWide(const std::string& in, std::wstring& out) {
    return ToWide(CP_UTF8, MB_ERR_INVALID_CHARS, in, out);
}

bool WideToUtf8(const std::wstring& in, std::string& out) {
    return ToNarrow(CP_UTF8, WC_ERR_INVALID_CHARS, in, out);
}

std::wstring Utf8ToWideLossy(const std::string& in) {
    std::wstring out;
    ToWide(CP_UTF8, 0, in, out);
    return out;
}

std::string WideToUtf8Lossy(const std::wstring& in) {
    std::string out;
    ToNarrow(CP_UTF8, 0, in, out);
    return out;
}

std::wstring AnsiToWideLossy(const std::string& in) {
    std::wstring out;
    ToWide(Ansi().id, 0, in, out);
    return out;
}

std::string WideToAnsiLossy(const std::wstring& in) {
    std::string out;
    ToNarrow(Ansi().id, ToAnsiFlags(false), in, out);
    return out;
}

const std::locale& AnsiLocale() {
    // Only the conversion facet matters; MinGW's C++ runtime has the classic locale alone.
    static const std::locale locale(std::locale::classic(), new AnsiFacet);
    return locale;
}

}  // namespace os
