#pragma once
// The launcher's replacement of itself through a temporary copy, in two processes.

// First run: when the server offers a newer launcher, downloads it, saves the server
// document with this run's command line in the pending-settings file and starts the
// temporary launcher. 0 when the launcher is current, 1 when the temporary launcher has
// taken over (the caller ends without starting the program), else a failure status: 75 when
// the temporary launcher did not signal within 10 s that it took over (it is ended; the caller
// updates and starts the program itself).
int UpdateLauncherProcPre();

// Run first by the temporary launcher: tells the first run that it has taken over.
void SignalTakeOver();

// Run by the temporary launcher: waits for the old launcher to end, replaces the launcher
// file (one rename over it) and restores the first run's command line and server document.
// 0 on success.
int UpdateLauncherProcPost();

// Whether a result of UpdateLauncherProcPost came after the first run's command line was
// restored (0, and the failures from the file-name check on), so that its items apply.
bool RestoredFirstRunCommandLine(int postResult);
