#pragma once
// Limits and stops that tests set through the environment; a deployment never sets them.
//   ZEB_TEST_TOOL_WAIT_MS   how long the 7-Zip tool and msiexec may run (ms, default 180000)
//   ZEB_TEST_LOCK_WAIT_MS   how long to wait for another launcher's lock (ms, default 300000)
//   ZEB_TEST_PAUSE_AT       a point of the program update where the launcher stops:
//                             "marker"     the update is marked, nothing moved yet
//                             "backup"     the old files are in the backup folder
//                             "restore"    the new files are cleared, the old ones not back yet
//                             "installed"  the new version is in place, the backup not deleted
//                           It logs the point, then waits until the file that
//                           ZEB_TEST_RESUME_FILE names exists, at most 60 s.
#include <cstdint>

// A whole number of milliseconds greater than 0 from the variable, else fallback.
uint32_t MillisecondsFromEnv(const wchar_t* name, uint32_t fallback);

// Stops at point when ZEB_TEST_PAUSE_AT names it; returns at once otherwise.
void PauseForTest(const wchar_t* point);
