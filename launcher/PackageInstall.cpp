#include "launcher/PackageInstall.h"

#include "common/GL_Debug.h"
#include "common/GL_Directory.h"
#include "common/GL_File.h"
#include "common/GL_Process.h"
#include "common/PathText.h"
#include "common/os/os.h"
#include "launcher/BackupRestore.h"
#include "launcher/Downloads.h"
#include "launcher/LauncherContext.h"
#include "launcher/StopProgram.h"

namespace {

constexpr int kStatusProgramRunning = 20;
constexpr int kStatusSevenZipMissing = 30;
constexpr int kStatusNoTempFolder = 50;
constexpr int kStatusCopyFailed = 60;
constexpr int kStatusNoProcessOnCopy = 70;
constexpr int kStatusRestoreFailed = 75;
constexpr int kStatusInstallFailed = 80;
constexpr size_t kTempPathLimit = 260;

enum class ToolRun { kSucceeded, kFailed, kNotStarted };

// Runs the tool on a package and waits for it; only exit code 0 is success.
ToolRun RunTool(const PackageInstallSteps& steps, const std::wstring& package,
                const std::wstring& installFolder, uint32_t& exitCode) {
    const GL_PROCESS_INFO process =
        GL_PROCESS_Run(true, steps.creationFlags, steps.program,
                       steps.arguments(package, installFolder), true, kPackageToolWaitMs);
    if (process.hProcess == 0) return ToolRun::kNotStarted;
    // An exit code that cannot be read counts as a process still running.
    exitCode = os::kStillActive;
    if (os::GetProcessExitCode(process.hProcess, exitCode) != 0) exitCode = os::kStillActive;
    os::CloseProcess(process.hProcess);
    os::CloseThread(process.hThread);
    return exitCode == 0 ? ToolRun::kSucceeded : ToolRun::kFailed;
}

bool EndRunningProgram(const PackageInstallSteps& steps, const UpdateInfo& info) {
    if (StopRunningProgram(info)) return true;
    if (GL_PROCESS_TerminateByName(info.RUN_EXE_PATH, L"")) return true;
    GL_LOG_FN(steps.function, 'E', 0, kStatusProgramRunning,
              L"실행중인 프로그램을 종료하지 못하여 업데이트하지 못함\r\n파일경로: %s",
              info.RUN_EXE_PATH);
    return false;
}

// The tool failed on the downloaded package: copies it to the temporary folder and runs
// the tool on the copy. copy names the copy from the moment it is attempted, so that a
// partial one is deleted too.
bool RetryFromTemporaryCopy(const PackageInstallSteps& steps, const std::wstring& package,
                            const std::wstring& installFolder, std::wstring& copy) {
    const std::wstring tempFolder = os::TempFolder();
    if (tempFolder.empty() || tempFolder.size() > kTempPathLimit) {
        GL_LOG_FN(steps.function, 'E', os::LastError(), kStatusNoTempFolder,
                  L"GetTempPath()를 통한 임시경로 얻기 실패");
        return false;
    }
    const std::wstring name = LastComponent(package);
    const std::wstring target = tempFolder + name;
    const int error =
        name.empty() ? os::err::kFileNotFound : os::CopyOneFile(package, target, false);
    if (!name.empty()) copy = target;
    if (error != 0) {
        GL_LOG_FN(steps.function, 'E', error, kStatusCopyFailed,
                  L"파일복사 실패\r\nFrom: %s\r\nTo: %s", package, target);
        return false;
    }
    uint32_t exitCode = 0;
    switch (RunTool(steps, copy, installFolder, exitCode)) {
    case ToolRun::kSucceeded:
        return true;
    case ToolRun::kNotStarted:
        GL_LOG_FN(steps.function, 'E', 0, kStatusNoProcessOnCopy, steps.noProcessCopyText, copy);
        return false;
    case ToolRun::kFailed:
        return false;
    }
    return false;
}

bool RunToolWithRetry(const PackageInstallSteps& steps, const std::wstring& package,
                      const std::wstring& installFolder, std::wstring& copy) {
    uint32_t exitCode = 0;
    switch (RunTool(steps, package, installFolder, exitCode)) {
    case ToolRun::kSucceeded:
        return true;
    case ToolRun::kNotStarted:
        GL_LOG_FN(steps.function, 'E', 0, steps.noProcessStatus, steps.noProcessText, package);
        return false;
    case ToolRun::kFailed:
        break;
    }
    GL_LOG_FN(steps.function, 'D', 0, 0, steps.badExitText, static_cast<int>(exitCode));
    return RetryFromTemporaryCopy(steps, package, installFolder, copy);
}

}  // namespace

int InstallPackage(UpdateInfo& info, const PackageInstallSteps& steps) {
    if (!EndRunningProgram(steps, info)) return kStatusProgramRunning;

    if (steps.needsSevenZip && Download7z() != 0)
        return GL_LOG_FN(steps.function, 'E', 0, kStatusSevenZipMissing, L"7z 다운로드 실패");
    if (DownloadFiles(info) != 0)
        return GL_LOG_FN(steps.function, 'E', 0, steps.downloadFailStatus, steps.downloadFailText);

    const LauncherContext& ctx = Context();
    const std::wstring installFolder = AsFolder(info.ROOT_DIR_CLI_INST);
    const std::wstring backupFolder = ctx.backupFolder;
    if (!MoveInstallationToBackup(installFolder, backupFolder))
        return GL_LOG_FN(steps.function, 'E', 0, steps.backupFailStatus,
                         L"기존 설치된 파일들을 임시폴더에 백업 실패\r\rFrom: %s\r\nTo: %s",
                         installFolder, backupFolder);

    const std::wstring package =
        info.FILES.empty() ? std::wstring() : info.FILES.begin()->second.CLI_DOWNLOAD_PATH;
    std::wstring copy;
    const bool installed = RunToolWithRetry(steps, package, installFolder, copy);
    if (!copy.empty()) GL_FILE_Delete(copy);

    if (installed) {
        if (GL_DIRECTORY_IsExist(backupFolder))
            _dir_action(DIR_ACTION_DELETE, false, nullptr, backupFolder.c_str());
        return 1;
    }
    RestoreAndDeleteBackupDirectory(kStatusRestoreFailed, backupFolder, installFolder);
    return GL_LOG_FN(steps.function, 'E', 0, kStatusInstallFailed, steps.failText, copy);
}
