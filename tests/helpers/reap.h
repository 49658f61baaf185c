#pragma once
// The helper's "reap" mode, per platform.

// Runs argv[0..] (null-terminated) and waits until it has ended, and with it every process
// this one is left to wait for; the result is the program's exit code (127 when it could
// not be started).
int RunAndReap(char** argv);
