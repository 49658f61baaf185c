#pragma once
// Runs the real ZEB.Launcher.exe as a child with its own common application-data folder,
// and reads back what it leaves there (log, client-information file).
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/ClientInfoText.h"
#include "tests/support/LogEntries.h"

struct LauncherOptions {
    // Becomes the child's ProgramData: the launcher's root folder is <programData>/Vantrel/.
    std::filesystem::path programData;
    // Further environment changes (SSL_CERT_FILE, PATH, LANG ...), applied last.
    EnvChanges env;
    std::chrono::milliseconds timeout = std::chrono::seconds(120);
    // The launcher binary to run: the built one unless a copy is named.
    std::filesystem::path executable = ZEB_LAUNCHER_EXE;
    std::string workingDirectory;
};

// The environment the launcher runs in: ProgramData set, no display (so message boxes go
// to standard error without waiting), then the options' own changes.
EnvChanges LauncherEnvironment(const LauncherOptions& options);

// Runs the launcher with args (argv[1..]) and waits for it.
ProcessResult RunLauncher(const std::vector<std::string>& args, const LauncherOptions& options);

// Starts the launcher in the background (for runs that must be watched or stopped); it runs
// in the current directory, options.workingDirectory and options.timeout do not apply.
bool StartLauncher(BackgroundProcess& process, const std::vector<std::string>& args,
                   const LauncherOptions& options, const std::string& outputFile = "");

// Copies the built launcher (or source) into folder under fileName (execute permission
// kept) and returns the copy's path; the folder is created. Empty path on failure.
std::filesystem::path CopyLauncherTo(const std::filesystem::path& folder,
                                     const std::string& fileName = "ZEB.Launcher.exe",
                                     const std::filesystem::path& source = ZEB_LAUNCHER_EXE);

// <programData>/Vantrel/
std::filesystem::path LauncherRootFolder(const std::filesystem::path& programData);
std::filesystem::path LauncherLogPath(const std::filesystem::path& programData);
std::filesystem::path ClientInfoPath(const std::filesystem::path& programData);
// Whether an update of program prgId is marked as unfinished: any of the marker's files, one
// per state ("moving", "installing", "installed").
bool AnyUpdateMarker(const std::filesystem::path& programData, const std::string& prgId);

// Whole log (UTF-8 bytes); empty when missing.
std::string ReadLauncherLog(const std::filesystem::path& programData);
// The log's lines without their CR LF.
std::vector<std::string> ReadLauncherLogLines(const std::filesystem::path& programData);
// Whole client-information file (signature included); empty when missing.
std::string ReadClientInfo(const std::filesystem::path& programData);

// Polls the log until it contains needle; false on time-out.
bool WaitForLauncherLog(const std::filesystem::path& programData, const std::string& needle,
                        std::chrono::milliseconds timeout = std::chrono::seconds(30));

// The lines of the log whose message starts with prefix.
std::vector<LogLine> FindLogLines(const std::filesystem::path& programData,
                                  const std::string& messagePrefix);
