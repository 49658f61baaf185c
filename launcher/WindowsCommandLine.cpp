#include "launcher/WindowsCommandLine.h"

#include "common/os/os.h"

namespace {

constexpr wchar_t kReplacement = 0xFFFD;

// Length of the valid UTF-8 sequence at in[i] and its code point; 0 when invalid
// (overlong forms, surrogates and values above U+10FFFF are invalid).
size_t DecodeOne(const std::string& in, size_t i, char32_t& cp) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(in[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80) {
        cp = lead;
        return 1;
    }
    size_t len;
    char32_t min;
    if ((lead & 0xE0) == 0xC0) {
        len = 2, cp = lead & 0x1F, min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        len = 3, cp = lead & 0x0F, min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        len = 4, cp = lead & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (in.size() - i < len) return 0;
    for (size_t k = 1; k < len; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}

void AppendCodePoint(std::wstring& out, char32_t cp) {
    if constexpr (sizeof(wchar_t) >= 4) {
        out.push_back(static_cast<wchar_t>(cp));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<wchar_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
    }
}

// --NAME=VALUE with an unquoted VALUE gets its VALUE quoted.
std::wstring QuoteItemValue(const std::wstring& arg) {
    if (arg.rfind(L"--", 0) != 0) return arg;
    const size_t eq = arg.find(L'=', 2);
    if (eq == std::wstring::npos) return arg;
    if (eq + 1 < arg.size() && arg[eq + 1] == L'"') return arg;
    return arg.substr(0, eq + 1) + L'"' + arg.substr(eq + 1) + L'"';
}

}  // namespace

bool DecodeUtf8Lossy(const std::string& in, std::wstring& out) {
    out.clear();
    bool clean = true;
    for (size_t i = 0; i < in.size();) {
        char32_t cp = 0;
        const size_t len = DecodeOne(in, i, cp);
        if (len == 0) {
            out.push_back(kReplacement);
            clean = false;
            ++i;
        } else {
            AppendCodePoint(out, cp);
            i += len;
        }
    }
    return clean;
}

RebuiltCommandLine BuildWindowsCommandLine(const std::vector<std::string>& args) {
    RebuiltCommandLine result;
    for (size_t i = 0; i < args.size(); ++i) {
        std::wstring wide;
        if (!os::NarrowToWide(args[i], wide) && !DecodeUtf8Lossy(args[i], wide))
            result.lossyArguments.push_back(i + 1);
        if (i > 0) result.text.push_back(L' ');
        result.text += QuoteItemValue(wide);
    }
    return result;
}
