#include "launcher/BackupRestore.h"

#include "common/GL_Debug.h"
#include "common/GL_Directory.h"
#include "common/os/os.h"

namespace {

// Moves the backup's entries into the installation folder and deletes the emptied backup.
bool PutBackupBack(const std::wstring& backupFolder, const std::wstring& installFolder) {
    if (!_dir_action(DIR_ACTION_MOVE, true, installFolder.c_str(),
                     (AsFolder(backupFolder) + L"*.*").c_str()))
        return false;
    if (GL_DIRECTORY_IsExist(backupFolder))
        _dir_action(DIR_ACTION_DELETE, false, nullptr, backupFolder.c_str());
    return true;
}

}  // namespace

std::wstring AsFolder(const std::wstring& path) {
    if (path.empty() || os::IsSeparator(path.back())) return path;
    return path + os::kSep;
}

bool MoveInstallationToBackup(const std::wstring& installFolder,
                              const std::wstring& backupFolder) {
    if (installFolder.empty() || !GL_DIRECTORY_IsExist(installFolder)) return true;
    if (_dir_action(DIR_ACTION_MOVE, true, backupFolder.c_str(),
                    (AsFolder(installFolder) + L"*.*").c_str()))
        return true;
    // The entries still in the installation folder stay there; the ones already moved join
    // them again, so the program keeps its old files whole.
    if (GL_DIRECTORY_IsExist(backupFolder)) PutBackupBack(backupFolder, installFolder);
    return false;
}

int RestoreAndDeleteBackupDirectory(int failStatus, const std::wstring& backupFolder,
                                    const std::wstring& installFolder) {
    if (!GL_DIRECTORY_IsExist(backupFolder)) return 0;
    GL_DIRECTORY_Clear(installFolder);
    if (!PutBackupBack(backupFolder, installFolder))
        return GL_LOG('E', 0, failStatus, L"백업해둔 설치파일들을 복구 실패\r\rFrom: %s\r\nTo: %s",
                      backupFolder, installFolder);
    return 0;
}
