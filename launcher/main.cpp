// Linux entry: rebuild the Windows command line from argv and hand it to wWinMain.
#include <exception>
#include <string>
#include <vector>

#include "common/os/os.h"
#include "launcher/WindowsCommandLine.h"
#include "launcher/WinMain.h"

int main(int argc, char** argv) {
    try {
        const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
        RebuiltCommandLine commandLine = BuildWindowsCommandLine(args);
        // The log is not open yet: the note goes to the debugger output only.
        for (size_t position : commandLine.lossyArguments)
            os::DebugOutput(L"실행인자 " + std::to_wstring(position) +
                            L": UTF-8이 아닌 바이트를 U+FFFD로 바꿈");
        wWinMain(nullptr, nullptr, commandLine.text.data(), 0);
    } catch (const std::exception& e) {
        // The launcher's exit code is 0 on every path; an escaped exception is a fault
        // that must at least leave a trace.
        os::DebugOutputNarrow(std::string("ZEB.Launcher: unexpected exception: ") + e.what());
    }
    return 0;
}
