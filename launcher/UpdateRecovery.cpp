#include "launcher/UpdateRecovery.h"

#include "common/FileTree.h"
#include "common/GL_Debug.h"
#include "common/os/os.h"
#include "launcher/BackupRestore.h"
#include "launcher/LauncherContext.h"
#include "launcher/StoredSettings.h"
#include "launcher/UpdateMarker.h"

bool RecoverInterruptedUpdate() {
    UpdateMarker marker;
    const UpdateState state = ReadUpdateMarker(marker);
    switch (state) {
    case UpdateState::kNone:
        return true;
    case UpdateState::kUnreadable:
        RemoveUpdateMarker();
        GL_LOG('E', 0, 10, L"업데이트 상태 파일을 읽지 못해 지움: %s",
               Context().updateMarkerStem);
        return true;
    case UpdateState::kInstalled: {
        // The new version was complete: what was left is the backup and the settings. A
        // backup that stays keeps the marker, so it is never taken for one to bring back.
        if (os::PathExists(marker.backupFolder)) {
            if (const int e = file_tree::Delete(marker.backupFolder)) {
                GL_LOG('E', e, 20, L"백업폴더 삭제 실패: %s", marker.backupFolder);
                return false;
            }
        }
        const bool stored = WriteStoredSettings(marker.settingsText);
        RemoveUpdateMarker();
        GL_LOG('E', 0, stored ? 0 : 25, L"끝나지 않은 업데이트를 마무리함: %s",
               marker.installFolder);
        return true;
    }
    case UpdateState::kMoving:
    case UpdateState::kInstalling:
        break;
    }
    const bool restored = state == UpdateState::kMoving
                              ? PutBackupBack(marker.backupFolder, marker.installFolder)
                              : RollBackInstallation(marker.backupFolder, marker.installFolder);
    if (restored)
        GL_LOG('E', 0, 0, L"중단된 업데이트를 되돌림: %s", marker.installFolder);
    else
        GL_LOG('E', 0, 30, L"중단된 업데이트를 되돌리지 못함: %s", marker.installFolder);
    return restored;
}

void FinishUpdateMarker() {
    UpdateMarker marker;
    if (ReadUpdateMarker(marker) == UpdateState::kInstalled && !os::PathExists(marker.backupFolder))
        RemoveUpdateMarker();
}
