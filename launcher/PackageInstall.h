#pragma once
// The steps the archive and the installer updates share: end the program, download, move
// the installation aside, run the tool on the package (once more from a copy in the
// temporary folder when it fails), and keep or restore the backup.
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
    std::wstring program;
    uint32_t creationFlags;
    // The tool's arguments for a package and the installation folder.
    std::function<std::wstring(const std::wstring& package, const std::wstring& installFolder)>
        arguments;
    int noProcessStatus;
    const wchar_t* noProcessText;      // "%s": the package
    const wchar_t* badExitText;        // "%d": the exit code
    const wchar_t* noProcessCopyText;  // "%s": the temporary copy
    const wchar_t* failText;           // "%s": the temporary copy
};

// 1 when the package was installed, else the status that ended it.
int InstallPackage(UpdateInfo& info, const PackageInstallSteps& steps);

inline constexpr uint32_t kPackageToolWaitMs = 180000;
