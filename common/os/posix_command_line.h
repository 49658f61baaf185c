#pragma once
// The command line that Windows hands to wWinMain, rebuilt from a POSIX argv.
#include <string>
#include <vector>

namespace os::posix {

struct RebuiltCommandLine {
    std::wstring text;
    // 1-based positions of arguments that were not valid UTF-8 and were converted lossily.
    std::vector<size_t> lossyArguments;
};

// Joins args (argv[1..]) by single spaces. An argument --NAME=VALUE whose VALUE does not
// start with a quotation mark becomes --NAME="VALUE", so a shell call and a CreateProcess
// call tokenize alike. Invalid UTF-8 bytes become U+FFFD, each one, as Windows replaces
// characters it cannot convert instead of dropping the argument.
RebuiltCommandLine BuildWindowsCommandLine(const std::vector<std::string>& args);

}  // namespace os::posix
