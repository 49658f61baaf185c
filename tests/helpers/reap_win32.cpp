// A Windows process leaves nothing to reap: the program runs as the rest of this process's
// command line, unchanged, and is waited for.
#include <string>

#include "common/os/os.h"
#include "tests/helpers/reap.h"

namespace {

// Where the command-line token starting at or after at ends (a quoted run or a run without
// blanks), and the blanks after it.
size_t AfterToken(const std::wstring& line, size_t at) {
    bool quoted = false;
    for (; at < line.size() && (quoted || (line[at] != L' ' && line[at] != L'\t')); ++at)
        if (line[at] == L'"') quoted = !quoted;
    while (at < line.size() && (line[at] == L' ' || line[at] == L'\t')) ++at;
    return at;
}

}  // namespace

int RunAndReap(char**) {
    const std::wstring line = os::ProcessCommandLine();
    const size_t rest = AfterToken(line, AfterToken(line, 0));  // past the program and "reap"
    os::StartedProcess started;
    if (rest >= line.size() || os::StartProcess(line.substr(rest), L"", 0, false, started) != 0)
        return 127;
    os::WaitProcess(started.process, 0xFFFFFFFF);
    uint32_t code = 127;
    os::GetProcessExitCode(started.process, code);
    os::CloseThread(started.thread);
    os::CloseProcess(started.process);
    return static_cast<int>(code);
}
