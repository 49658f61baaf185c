#include "common/os/posix_command_line.h"

#include "common/os/os.h"

namespace os::posix {

namespace {

// --NAME=VALUE with an unquoted VALUE gets its VALUE quoted.
std::wstring QuoteItemValue(const std::wstring& arg) {
    if (arg.rfind(L"--", 0) != 0) return arg;
    const size_t eq = arg.find(L'=', 2);
    if (eq == std::wstring::npos) return arg;
    if (eq + 1 < arg.size() && arg[eq + 1] == L'"') return arg;
    return arg.substr(0, eq + 1) + L'"' + arg.substr(eq + 1) + L'"';
}

}  // namespace

RebuiltCommandLine BuildWindowsCommandLine(const std::vector<std::string>& args) {
    RebuiltCommandLine result;
    for (size_t i = 0; i < args.size(); ++i) {
        std::wstring wide;
        if (!Utf8ToWide(args[i], wide)) {
            wide = Utf8ToWideLossy(args[i]);
            result.lossyArguments.push_back(i + 1);
        }
        if (i > 0) result.text.push_back(L' ');
        result.text += QuoteItemValue(wide);
    }
    return result;
}

}  // namespace os::posix
