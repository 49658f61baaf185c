// The program's start-up on Linux: the standard streams made valid, the Windows command line
// rebuilt from argv, handed to the program's entry.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <exception>
#include <string>
#include <vector>

#include "common/os/entry.h"
#include "common/os/os.h"
#include "common/os/posix_command_line.h"

namespace {

// A standard stream the starter left closed would be taken by the next file opened, and the
// debugger output would land in it (a download, a socket): each gets the null device.
void OpenMissingStandardStreams() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
        // The lowest free descriptor: this one, as the lower ones are open.
        const int null = ::open("/dev/null", O_RDWR);
        if (null >= 0 && null != fd) ::close(null);
    }
}

}  // namespace

int main(int argc, char** argv) {
    OpenMissingStandardStreams();
    try {
        const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
        const os::posix::RebuiltCommandLine commandLine = os::posix::BuildWindowsCommandLine(args);
        // The log is not open yet: the note goes to the debugger output only.
        for (size_t position : commandLine.lossyArguments)
            os::DebugOutput(L"실행인자 " + std::to_wstring(position) +
                            L": UTF-8이 아닌 바이트를 U+FFFD로 바꿈");
        return ProgramEntry(nullptr, commandLine.text);
    } catch (const std::exception& e) {
        // An escaped exception is a fault that must at least leave a trace.
        os::DebugOutputNarrow(std::string("unexpected exception: ") + e.what() + "\n");
    }
    return 0;
}
