// The Windows start-up shim of the launcher (GUI subsystem, -municode): the C runtime hands
// wWinMain the command line without the program name.
#include <windows.h>

#include "common/os/entry.h"

extern "C" int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int) {
    return ProgramEntry(instance, commandLine != nullptr ? commandLine : L"");
}
