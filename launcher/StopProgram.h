#pragma once
// Stopping the managed program before its files are replaced.
#include <string>

#include "launcher/UpdateInfo.h"

// The exit event a managed program may create: "__zeb_exit_event_" + SHORT_NM + "_".
std::wstring ExitEventName(const std::wstring& shortName);

// Ends every running copy of the program (RUN_EXE_PATH; the bare RUN_EXE_NAME while a
// debugger is attached), first through its exit event, then once more by force. True when
// the program is no longer running.
bool StopRunningProgram(const UpdateInfo& info);
