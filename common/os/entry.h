#pragma once
// The program's own entry, called by the platform's start-up shim (wWinMain on Windows;
// main() here, which rebuilds the Windows command line from argv). A program that links
// the shim defines it.
#include <string>

// instance: the module's instance handle (none here). commandLine: the command line without
// the program name. The result is the process's exit code.
int ProgramEntry(void* instance, const std::wstring& commandLine);
