#pragma once
// The launcher's replacement of itself through a temporary copy, in two processes.

// First run: when the server offers a newer launcher, downloads it, saves the server
// document with this run's command line in the pending-settings file and starts the
// temporary launcher. 0 when the launcher is current, 1 when the temporary launcher has
// taken over (the caller ends without starting the program), else a failure status.
int UpdateLauncherProcPre();

// Run by the temporary launcher: waits for the old launcher to end, replaces the launcher
// file and restores the first run's command line and server document. 0 on success.
int UpdateLauncherProcPost();
