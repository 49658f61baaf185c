#pragma once
// The launcher's entry point: start-up, command line, launch request, then the flow.

// commandLine is the command line without the program name. Always returns 0.
int wWinMain(void* instance, void* previousInstance, wchar_t* commandLine, int showCommand);
