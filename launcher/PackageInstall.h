#pragma once
// The steps the archive and the installer updates share: download, end the program, move the
// installation aside, run the tool on the package (once more from a private copy when it
// fails), and keep or restore the backup. The update marker records each step.
#include <cstdint>
#include <functional>
#include <string>

#include "launcher/UpdateInfo.h"

struct PackageInstallSteps {
    const wchar_t* function;  // the name the log lines carry
    bool needsSevenZip;
    int downloadFailStatus;
    const wchar_t* downloadFailText;
    int backupFailStatus;
    int markerFailStatus;  // the update marker could not be written; nothing was moved
    std::wstring program;
    uint32_t creationFlags;
    // The tool's arguments for a package and the installation folder.
    std::function<std::wstring(const std::wstring& package, const std::wstring& installFolder)>
        arguments;
    int noProcessStatus;
    const wchar_t* noProcessText;      // "%s": the package
    int overdueStatus;                 // the tool outlived its wait and was ended
    int unstoppableStatus;             // the tool outlived its wait and could not be ended
    const wchar_t* badExitText;        // "%d": the exit code
    const wchar_t* noProcessCopyText;  // "%s": the copy
    const wchar_t* failText;           // "%s": the copy
};

// 1 when the package was installed, else the status that ended it.
int InstallPackage(UpdateInfo& info, const PackageInstallSteps& steps);
