#pragma once
// The launcher's start-up, run for the entry point (wWinMain): command line, launch
// request, then the flow.
#include <string>

// commandLine is the command line without the program name. Always returns 0.
int LauncherMain(void* instance, const std::wstring& commandLine);
