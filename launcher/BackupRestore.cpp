#include "launcher/BackupRestore.h"

#include "common/FileTree.h"
#include "common/GL_Debug.h"
#include "common/GL_Directory.h"
#include "common/os/os.h"
#include "launcher/InstallationTree.h"
#include "launcher/LauncherContext.h"
#include "launcher/TestVariables.h"
#include "launcher/UpdateMarker.h"

std::wstring AsFolder(const std::wstring& path) {
    if (path.empty() || os::IsSeparator(path.back())) return path;
    return path + os::kSep;
}

std::vector<std::wstring> LauncherOwnPaths() {
    const LauncherContext& ctx = Context();
    return {ctx.modulePath, ctx.launcherPath, ctx.tempLauncherPath, ctx.rootFolder};
}

bool EmptyBackupFolder(const std::wstring& backupFolder, const std::wstring& installFolder) {
    std::vector<os::DirEntry> entries;
    if (!os::IsDirectory(backupFolder) || os::ListDirectory(backupFolder, entries) != 0 ||
        entries.empty())
        return true;
    GL_LOG('E', 0, 0, L"이전 업데이트의 백업 파일들을 설치폴더로 되돌림\r\nFrom: %s\r\nTo: %s",
           backupFolder, installFolder);
    return PutBackupBack(backupFolder, installFolder);
}

bool MoveInstallationToBackup(const std::wstring& installFolder,
                              const std::wstring& backupFolder) {
    if (installFolder.empty() || !GL_DIRECTORY_IsExist(installFolder)) return true;
    std::wstring failed;
    const int error = MoveAside(installFolder, backupFolder, LauncherOwnPaths(), failed);
    if (error == 0) return true;
    GL_LOG('E', error, 10, L"백업폴더로 옮기지 못함: %s", failed);
    PutBackupBack(backupFolder, installFolder);
    return false;
}

bool PutBackupBack(const std::wstring& backupFolder, const std::wstring& installFolder) {
    std::wstring failed;
    const int error = MoveBack(backupFolder, installFolder, failed);
    if (error != 0) {
        GL_LOG('E', error, 10, L"백업 파일을 설치폴더로 되돌리지 못함: %s", failed);
        return false;
    }
    if (os::PathExists(backupFolder)) {
        if (const int e = file_tree::Delete(backupFolder)) {
            GL_LOG('E', e, 20, L"백업폴더 삭제 실패: %s", backupFolder);
            return false;
        }
    }
    RemoveUpdateMarker();
    return true;
}

bool RollBackInstallation(const std::wstring& backupFolder, const std::wstring& installFolder) {
    std::wstring failed;
    if (os::IsDirectory(installFolder)) {
        if (const int error = ClearExcept(installFolder, LauncherOwnPaths(), failed)) {
            GL_LOG('E', error, 10, L"새로 설치된 파일을 지우지 못함: %s", failed);
            return false;
        }
    }
    // From here on the installation folder holds old files only: a run cut short must not
    // clear it again.
    if (!AdvanceUpdateMarker(UpdateState::kInstalling, UpdateState::kMoving)) {
        GL_LOG('E', os::LastError(), 20, L"업데이트 상태 파일 변경 실패: %s",
               Context().updateMarkerStem);
        return false;
    }
    PauseForTest(L"restore");
    return PutBackupBack(backupFolder, installFolder);
}

int RestoreAndDeleteBackupDirectory(int failStatus, const std::wstring& backupFolder,
                                    const std::wstring& installFolder) {
    if (!GL_DIRECTORY_IsExist(backupFolder)) {
        RemoveUpdateMarker();
        return 0;
    }
    if (!RollBackInstallation(backupFolder, installFolder))
        return GL_LOG('E', 0, failStatus, L"백업해둔 설치파일들을 복구 실패\r\rFrom: %s\r\nTo: %s",
                      backupFolder, installFolder);
    return 0;
}
