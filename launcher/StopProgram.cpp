#include "launcher/StopProgram.h"

#include "common/GL_Process.h"
#include "common/os/os.h"

std::wstring ExitEventName(const std::wstring& shortName) {
    return L"__zeb_exit_event_" + shortName + L"_";
}

bool StopRunningProgram(const UpdateInfo& info) {
    const std::wstring eventName = ExitEventName(info.SHORT_NM);
    // Under a debugger the program may run from the build folder instead of the install one.
    const std::wstring& target = os::DebuggerAttached() ? info.RUN_EXE_NAME : info.RUN_EXE_PATH;
    if (GL_PROCESS_TerminateByName(target, eventName)) return true;
    // A program without an exit event (or one that ignores it) is ended by force.
    return GL_PROCESS_TerminateByName(target, L"");
}
