#include "launcher/PackageInstall.h"

#include "common/FileTree.h"
#include "common/GL_Debug.h"
#include "common/GL_Directory.h"
#include "common/GL_File.h"
#include "common/GL_Process.h"
#include "common/PathText.h"
#include "common/os/os.h"
#include "launcher/BackupRestore.h"
#include "launcher/Downloads.h"
#include "launcher/ExclusiveLock.h"
#include "launcher/LauncherContext.h"
#include "launcher/StopProgram.h"
#include "launcher/StoredSettings.h"
#include "launcher/TestVariables.h"
#include "launcher/UpdateMarker.h"

namespace {

constexpr int kStatusProgramRunning = 20;
constexpr int kStatusSevenZipMissing = 30;
constexpr int kStatusNoCopyFolder = 55;
constexpr int kStatusCopyFailed = 60;
constexpr int kStatusNoProcessOnCopy = 70;
constexpr int kStatusRestoreFailed = 75;
constexpr int kStatusInstallFailed = 80;
constexpr uint32_t kToolWaitMs = 180000;
// How long an overdue tool may take to go once it has been ended.
constexpr uint32_t kEndedToolWaitMs = 5000;

enum class ToolRun { kSucceeded, kFailed, kNotStarted, kStillRunning };

// How long the tool may run: 180,000 ms, or ZEB_TEST_TOOL_WAIT_MS.
uint32_t PackageToolWaitMs() { return MillisecondsFromEnv(L"ZEB_TEST_TOOL_WAIT_MS", kToolWaitMs); }

// Ends a tool that outlived its wait, so that it cannot go on writing into a folder that is
// retried or restored. False when it is still there.
bool EndOverdueTool(const PackageInstallSteps& steps, os::ProcessHandle process,
                    uint32_t waitedMs) {
    const int error = os::KillProcess(process);
    if (os::WaitProcess(process, kEndedToolWaitMs)) {
        GL_LOG_FN(steps.function, 'E', 0, steps.overdueStatus,
                  L"%dms 안에 끝나지 않은 프로세스를 강제 종료함: %s",
                  static_cast<int>(waitedMs), steps.program);
        return true;
    }
    GL_LOG_FN(steps.function, 'E', error, steps.unstoppableStatus,
              L"%dms 안에 끝나지 않은 프로세스를 종료하지 못함: %s", static_cast<int>(waitedMs),
              steps.program);
    return false;
}

// Runs the tool on a package and waits for it; only exit code 0 is success. A tool ended
// after its wait has failed, whatever code it leaves.
ToolRun RunTool(const PackageInstallSteps& steps, const std::wstring& package,
                const std::wstring& installFolder, uint32_t& exitCode) {
    const uint32_t waitMs = PackageToolWaitMs();
    const GL_PROCESS_INFO process =
        GL_PROCESS_Run(true, steps.creationFlags, steps.program,
                       steps.arguments(package, installFolder), true, waitMs);
    if (process.hProcess == 0) return ToolRun::kNotStarted;
    ToolRun result;
    exitCode = os::kStillActive;
    if (!os::WaitProcess(process.hProcess, 0)) {
        result = EndOverdueTool(steps, process.hProcess, waitMs) ? ToolRun::kFailed
                                                                 : ToolRun::kStillRunning;
    } else {
        // An exit code that cannot be read counts as a process still running.
        if (os::GetProcessExitCode(process.hProcess, exitCode) != 0) exitCode = os::kStillActive;
        result = exitCode == 0 ? ToolRun::kSucceeded : ToolRun::kFailed;
    }
    os::CloseProcess(process.hProcess);
    os::CloseThread(process.hThread);
    return result;
}

bool EndRunningProgram(const PackageInstallSteps& steps, const UpdateInfo& info) {
    if (StopRunningProgram(info)) return true;
    if (GL_PROCESS_TerminateByName(info.RUN_EXE_PATH, L"")) return true;
    GL_LOG_FN(steps.function, 'E', 0, kStatusProgramRunning,
              L"실행중인 프로그램을 종료하지 못하여 업데이트하지 못함\r\n파일경로: %s",
              info.RUN_EXE_PATH);
    return false;
}

// The 7-Zip tool is shared by the launchers of every program: one fetches it at a time.
bool FetchSevenZip(const UpdateInfo& info) {
    ExclusiveLock lock;
    return lock.Acquire(Context().sevenZipLockFile, LockWaitMs()) &&
           Download7z(info.TOOL_7Z_SHA256) == 0;
}

// A folder of the launcher's own for the copy, made fresh below the program's update folder
// where no one else can have prepared it.
bool MakeCopyFolder(const PackageInstallSteps& steps, std::wstring& folder) {
    const std::wstring path = Context().programUpdateFolder + L"retry";
    if (os::PathExists(path)) file_tree::Delete(path);
    if (const int error = os::MakePrivateFolder(path)) {
        GL_LOG_FN(steps.function, 'E', error, kStatusNoCopyFolder, L"임시 폴더를 만들지 못함: %s",
                  path);
        return false;
    }
    folder = path;
    return true;
}

// The tool failed on the downloaded package: copies it into a private folder and runs the
// tool on the copy. copy names the copy from the moment it is attempted.
ToolRun RetryFromPrivateCopy(const PackageInstallSteps& steps, const std::wstring& package,
                             const std::wstring& installFolder, std::wstring& copyFolder,
                             std::wstring& copy) {
    if (!MakeCopyFolder(steps, copyFolder)) return ToolRun::kFailed;
    const std::wstring name = LastComponent(package);
    const std::wstring target = JoinPath(copyFolder, name);
    const int error =
        name.empty() ? os::err::kFileNotFound : os::CopyOneFile(package, target, true);
    if (!name.empty()) copy = target;
    if (error != 0) {
        GL_LOG_FN(steps.function, 'E', error, kStatusCopyFailed,
                  L"파일복사 실패\r\nFrom: %s\r\nTo: %s", package, target);
        return ToolRun::kFailed;
    }
    uint32_t exitCode = 0;
    const ToolRun run = RunTool(steps, copy, installFolder, exitCode);
    if (run == ToolRun::kNotStarted) {
        GL_LOG_FN(steps.function, 'E', 0, kStatusNoProcessOnCopy, steps.noProcessCopyText, copy);
        return ToolRun::kFailed;
    }
    return run;
}

ToolRun RunToolWithRetry(const PackageInstallSteps& steps, const std::wstring& package,
                         const std::wstring& installFolder, std::wstring& copyFolder,
                         std::wstring& copy) {
    uint32_t exitCode = 0;
    switch (RunTool(steps, package, installFolder, exitCode)) {
    case ToolRun::kSucceeded:
        return ToolRun::kSucceeded;
    case ToolRun::kStillRunning:
        return ToolRun::kStillRunning;
    case ToolRun::kNotStarted:
        GL_LOG_FN(steps.function, 'E', 0, steps.noProcessStatus, steps.noProcessText, package);
        return ToolRun::kFailed;
    case ToolRun::kFailed:
        break;
    }
    GL_LOG_FN(steps.function, 'D', 0, 0, steps.badExitText, static_cast<int>(exitCode));
    return RetryFromPrivateCopy(steps, package, installFolder, copyFolder, copy);
}

int BackupFailed(const PackageInstallSteps& steps, const std::wstring& installFolder,
                 const std::wstring& backupFolder) {
    return GL_LOG_FN(steps.function, 'E', 0, steps.backupFailStatus,
                     L"기존 설치된 파일들을 임시폴더에 백업 실패\r\rFrom: %s\r\nTo: %s",
                     installFolder, backupFolder);
}

}  // namespace

int InstallPackage(UpdateInfo& info, const PackageInstallSteps& steps) {
    // Everything is fetched before the program is asked to end: a file server that fails
    // costs the user nothing.
    if (steps.needsSevenZip && !FetchSevenZip(info))
        return GL_LOG_FN(steps.function, 'E', 0, kStatusSevenZipMissing, L"7z 다운로드 실패");
    if (DownloadFiles(info) != 0)
        return GL_LOG_FN(steps.function, 'E', 0, steps.downloadFailStatus, steps.downloadFailText);
    if (!EndRunningProgram(steps, info)) return kStatusProgramRunning;

    LauncherContext& ctx = Context();
    const std::wstring installFolder = AsFolder(info.ROOT_DIR_CLI_INST);
    const std::wstring backupFolder = ctx.backupFolder;
    if (!EmptyBackupFolder(backupFolder, installFolder))
        return BackupFailed(steps, installFolder, backupFolder);
    if (!BeginUpdateMarker({installFolder, backupFolder, StoredSettingsText(ctx.serverDocument)}))
        return GL_LOG_FN(steps.function, 'E', 0, steps.markerFailStatus,
                         L"업데이트 상태 파일 저장 실패\r\n{%s}",
                         UpdateMarkerPath(UpdateState::kMoving));
    PauseForTest(L"marker");
    if (!MoveInstallationToBackup(installFolder, backupFolder))
        return BackupFailed(steps, installFolder, backupFolder);
    if (!AdvanceUpdateMarker(UpdateState::kMoving, UpdateState::kInstalling)) {
        PutBackupBack(backupFolder, installFolder);
        return BackupFailed(steps, installFolder, backupFolder);
    }
    PauseForTest(L"backup");

    const std::wstring package =
        info.FILES.empty() ? std::wstring() : info.FILES.begin()->second.CLI_DOWNLOAD_PATH;
    std::wstring copyFolder, copy;
    const ToolRun run = RunToolWithRetry(steps, package, installFolder, copyFolder, copy);
    if (!copyFolder.empty()) file_tree::Delete(copyFolder);

    if (run == ToolRun::kSucceeded) {
        // The new version is complete: from here on a run cut short finishes the update.
        if (!AdvanceUpdateMarker(UpdateState::kInstalling, UpdateState::kInstalled))
            RemoveUpdateMarker();
        PauseForTest(L"installed");
        if (GL_DIRECTORY_IsExist(backupFolder))
            _dir_action(DIR_ACTION_DELETE, false, nullptr, backupFolder.c_str());
        return 1;
    }
    // A tool that could not be ended might write into the old files: they stay in the backup
    // and the next start rolls the update back.
    if (run != ToolRun::kStillRunning)
        RestoreAndDeleteBackupDirectory(kStatusRestoreFailed, backupFolder, installFolder);
    return GL_LOG_FN(steps.function, 'E', 0, kStatusInstallFailed, steps.failText, copy);
}
