#include "launcher/CommandLine.h"

#include <vector>

#include "common/GL_Debug.h"
#include "common/GL_String.h"

ItemMap GL_STRING_ParseCommandLineArgs1(const std::wstring& commandLine) {
    ItemMap items;
    if (commandLine.empty()) return items;
    if (commandLine.rfind(L"--", 0) != 0) {
        // The whole text may carry the company pass: it is logged masked like every
        // other copy of the command line.
        std::wstring masked = commandLine;
        MaskCompanyPass(masked);
        GL_LOG('E', 0, 10, L"커맨드라인 문자열 파싱 실패: %s", masked);
        return items;
    }
    std::vector<std::wstring> pieces;
    GL_STRING_Split(commandLine, L"--", pieces);
    for (const std::wstring& piece : pieces) {
        if (piece.empty()) continue;
        const size_t eq = piece.find(L'=');
        if (eq == std::wstring::npos) {
            GL_LOG('E', 0, 20, L"커맨드라인 문자열 파싱 실패1: %s", piece);
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
    static const std::wstring kOpening = L"COMP_PASS=\"";
    const size_t found = text.find(kOpening);
    if (found == std::wstring::npos) return;
    const size_t start = found + kOpening.size();
    const size_t end = text.find(L"\" ", start);
    text.replace(start, end == std::wstring::npos ? std::wstring::npos : end - start, L"*");
}

void BuildForwardedArg(const std::wstring& name, const std::wstring& value,
                       std::wstring& programArgs) {
    const std::wstring forwardedName = !name.empty() && name[0] == L'_' ? name.substr(1) : name;
    if (!programArgs.empty()) programArgs.push_back(L' ');
    programArgs += L"--" + forwardedName + L"=\"" + value + L"\"";
}
