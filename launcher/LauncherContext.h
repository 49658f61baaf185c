#pragma once
// The one process-wide record of paths, flags, server data and documents.
#include <string>

#include "common/JsonTypes.h"
#include "common/os/os.h"
#include "launcher/LaunchRequest.h"
#include "launcher/UpdateInfo.h"

struct LauncherContext {
    void* instanceHandle = nullptr;
    std::wstring rootFolder;
    std::wstring logFile;
    std::wstring modulePath;
    std::wstring launcherPath;
    std::wstring tempLauncherPath;
    std::wstring rawCommandLine;
    std::wstring maskedCommandLine;
    std::wstring toolsFolder;
    std::wstring sevenZipFolder;
    std::wstring sevenZipProgram;
    std::wstring updateFolder;
    std::wstring prerequisitesFolder;
    std::wstring programUpdateFolder;
    std::wstring updateSettingsFile;
    std::wstring pendingSettingsFile;
    // One launcher at a time: the lock files of the program's update, of the shared 7-Zip
    // tool and of the shared prerequisites folder.
    std::wstring programLockFile;
    std::wstring sevenZipLockFile;
    std::wstring prerequisitesLockFile;
    // The update marker's files are this text followed by their state and ".json".
    std::wstring updateMarkerStem;
    std::wstring backupFolder;
    bool launchedAsTemporary = false;
    std::wstring updateServerUrl;
    std::wstring runPathOverride;
    LaunchRequest request;
    std::wstring clientInfoFile;
    std::wstring clientInfoLockFile;  // rootFolder + "ZebCliInfo.lock"
    std::wstring clientLauncherPath;
    std::wstring pcGuid;
    JsonDocument serverDocument;
    JsonDocument storedSettingsDocument;
    UpdateInfo storedSettingsInfo;
    std::wstring serverDataText;
    bool messageBoxLookedUp = false;
    os::TimedMessageBox messageBoxFunction = nullptr;  // the cached MessageBoxTimeoutW
    std::wstring messageBoxCaption = L"Vantrel Launcher";
};

// The process-wide context.
LauncherContext& Context();

// Module path, launcher path and temporary-launcher path, from the running executable.
void SetLauncherPaths(LauncherContext& ctx, const std::wstring& modulePath);
// The per-program folders and files below rootFolder: tools, 7-Zip, update, prerequisites,
// the program update folder and its settings files.
void SetProgramLayout(LauncherContext& ctx, const std::wstring& programId);

// Static names used across the launcher.
inline constexpr const wchar_t* kLauncherFileName = L"ZEB.Launcher.exe";
inline constexpr const wchar_t* kTempLauncherFileName = L"ZEB.Launcher_.exe";
inline constexpr const wchar_t* kCompanyFolderName = L"Vantrel";
