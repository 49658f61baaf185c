// Fuzz target: the Windows-rules argument splitter that starts programs here. Each byte is
// one character. Properties:
//   - the arguments it finds, quoted the way Windows programs expect and joined by blanks,
//     split into the same arguments again;
//   - any list of arguments (the input cut at NUL bytes) survives the same quoting;
//   - no argument is made of more characters than the text held.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/os/posix_argument_split.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

using os::posix::SplitWindowsArguments;

// The quoting of the C runtime's rules: plain when nothing needs it; otherwise in quotes,
// with backslashes doubled before a quote (escaped) and before the closing quote.
std::wstring Quoted(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos)
        return argument;
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(2 * backslashes, L'\\');
    return out + L"\"";
}

std::wstring Joined(const std::vector<std::wstring>& arguments) {
    std::wstring line;
    for (const std::wstring& argument : arguments) {
        if (!line.empty()) line += L' ';
        line += Quoted(argument);
    }
    return line;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::wstring text = fuzz::BytesAsCharacters(data, size);

    const std::vector<std::wstring> arguments = SplitWindowsArguments(text);
    size_t characters = 0;
    for (const std::wstring& argument : arguments) characters += argument.size();
    FUZZ_CHECK(characters <= text.size());
    FUZZ_CHECK(SplitWindowsArguments(Joined(arguments)) == arguments);

    std::vector<std::wstring> given(1);
    for (wchar_t c : text) {
        if (c == L'\0') given.emplace_back();
        else given.back() += c;
    }
    FUZZ_CHECK(SplitWindowsArguments(Joined(given)) == given);
    return 0;
}
