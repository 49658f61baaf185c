// The launcher's entry as the platform's start-up calls it.
#include <exception>
#include <string>

#include "common/os/entry.h"
#include "common/os/os.h"
#include "launcher/WinMain.h"

int ProgramEntry(void* instance, const std::wstring& commandLine) {
    try {
        LauncherMain(instance, commandLine);
    } catch (const std::exception& e) {
        // The launcher's exit code is 0 on every path; an escaped exception is a fault
        // that must at least leave a trace.
        os::DebugOutputNarrow(std::string("ZEB.Launcher: unexpected exception: ") + e.what());
    }
    return 0;
}
