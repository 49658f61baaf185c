#include "launcher/CommandLine.h"

#include <vector>

#include "common/GL_Debug.h"
#include "common/GL_String.h"

namespace {

constexpr const wchar_t* kItemStart = L"--";
const std::wstring kPassName = L"COMP_PASS";
const std::wstring kQuotedPass = L"COMP_PASS=\"";

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

size_t TrailingBlanks(const std::wstring& text) {
    size_t n = 0;
    while (n < text.size() && IsBlank(text[text.size() - 1 - n])) ++n;
    return n;
}

bool IsNameCharacter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9') ||
           c == L'_';
}

// A piece that starts an item in the documented form: NAME=" with a plain name.
bool StartsDocumentedItem(const std::wstring& piece) {
    size_t n = 0;
    while (n < piece.size() && IsNameCharacter(piece[n])) ++n;
    return n > 0 && piece.compare(n, 2, L"=\"") == 0;
}

// The name part of a piece (up to its "=") holds the pass's name: the tokenizer may take
// the piece for the pass, or the caller meant it so (a blank for the "=", a name glued to
// another).
size_t PassNameIn(const std::wstring& piece) {
    const size_t found = piece.find(kPassName);
    return found != std::wstring::npos && found < piece.find(L'=') ? found : std::wstring::npos;
}

// Masks everything after the name, its "=" and its opening quotation mark. Only the
// documented form, a value closed by a quotation mark and a blank, keeps that closing mark
// (a last item loses it); the blanks before the next item stay. False unless the value was
// closed so: the pieces after it may be the rest of the pass.
bool MaskPassPiece(std::wstring& piece, size_t nameAt) {
    size_t start = nameAt + kPassName.size();
    bool quoted = false;
    if (start < piece.size() && piece[start] == L'=') {
        ++start;
        quoted = start < piece.size() && piece[start] == L'"';
        if (quoted) ++start;
    }
    const std::wstring rest = piece.substr(start);
    const size_t blanks = TrailingBlanks(rest);
    const bool closed =
        quoted && blanks > 0 && blanks < rest.size() && rest[rest.size() - blanks - 1] == L'"';
    std::wstring tail = rest.substr(rest.size() - blanks);
    if (closed) tail.insert(0, 1, L'"');
    piece.replace(start, std::wstring::npos, L"*" + tail);
    return closed;
}

// A pass written inside another item's value: masked as the documented form would be, up
// to the next quotation mark and blank.
void MaskQuotedPasses(std::wstring& piece) {
    for (size_t at = piece.find(kQuotedPass); at != std::wstring::npos;
         at = piece.find(kQuotedPass, at)) {
        const size_t start = at + kQuotedPass.size();
        const size_t end = piece.find(L"\" ", start);
        piece.replace(start, end == std::wstring::npos ? std::wstring::npos : end - start, L"*");
        at = start;
    }
}

// The pieces of a command line split at "--" (as the tokenizer splits it), masked: every
// item that names the pass, and the pieces after it that may be the rest of a pass holding
// "--": after a value left open every piece up to the next item in the documented form,
// after a closed one every piece without "=" (which is no item at all).
std::vector<std::wstring> MaskedPieces(std::vector<std::wstring> pieces) {
    enum class After { kOther, kClosedPass, kOpenPass } after = After::kOther;
    for (std::wstring& piece : pieces) {
        if (const size_t nameAt = PassNameIn(piece); nameAt != std::wstring::npos) {
            after = MaskPassPiece(piece, nameAt) ? After::kClosedPass : After::kOpenPass;
            continue;
        }
        if (piece.empty()) continue;
        const bool restOfPass =
            (after == After::kOpenPass && !StartsDocumentedItem(piece)) ||
            (after == After::kClosedPass && piece.find(L'=') == std::wstring::npos);
        if (restOfPass) {
            piece.replace(0, piece.size() - TrailingBlanks(piece), L"*");
            continue;
        }
        after = After::kOther;
        MaskQuotedPasses(piece);
    }
    return pieces;
}

}  // namespace

ItemMap GL_STRING_ParseCommandLineArgs1(const std::wstring& commandLine) {
    ItemMap items;
    if (commandLine.empty()) return items;
    if (commandLine.rfind(kItemStart, 0) != 0) {
        // The whole text may carry the company pass: it is logged masked like every
        // other copy of the command line.
        std::wstring masked = commandLine;
        MaskCompanyPass(masked);
        GL_LOG('E', 0, 10, L"커맨드라인 문자열 파싱 실패: %s", masked);
        return items;
    }
    std::vector<std::wstring> pieces;
    GL_STRING_Split(commandLine, kItemStart, pieces);
    for (size_t i = 0; i < pieces.size(); ++i) {
        const std::wstring& piece = pieces[i];
        if (piece.empty()) continue;
        const size_t eq = piece.find(L'=');
        if (eq == std::wstring::npos) {
            // The piece may be a pass without "=", or the rest of one that held "--".
            GL_LOG('E', 0, 20, L"커맨드라인 문자열 파싱 실패1: %s", MaskedPieces(pieces)[i]);
            return items;
        }
        // The character right after "=" is the opening quotation mark of the documented
        // form and is skipped whatever it is; a piece ending at "=" has an empty value.
        std::wstring rest = eq + 2 <= piece.size() ? piece.substr(eq + 2) : std::wstring();
        const size_t closing = rest.rfind(L'"');
        if (closing != std::wstring::npos) rest.resize(closing);
        items[piece.substr(0, eq)] = std::move(rest);
    }
    return items;
}

void MaskCompanyPass(std::wstring& text) {
    std::vector<std::wstring> pieces;
    GL_STRING_Split(text, kItemStart, pieces);
    const std::vector<std::wstring> masked = MaskedPieces(std::move(pieces));
    text.clear();
    for (size_t i = 0; i < masked.size(); ++i) {
        if (i > 0) text += kItemStart;
        text += masked[i];
    }
}

void BuildForwardedArg(const std::wstring& name, const std::wstring& value,
                       std::wstring& programArgs) {
    const std::wstring forwardedName = !name.empty() && name[0] == L'_' ? name.substr(1) : name;
    if (!programArgs.empty()) programArgs.push_back(L' ');
    programArgs += L"--" + forwardedName + L"=\"" + value + L"\"";
}
