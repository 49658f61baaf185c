#include "launcher/ProgramUpdate.h"

#include "common/GL_Debug.h"
#include "common/GL_File.h"
#include "common/GL_Process.h"
#include "launcher/ExclusiveLock.h"
#include "launcher/LauncherContext.h"
#include "launcher/MinSpec.h"
#include "launcher/PackageInstall.h"

namespace {

std::wstring SevenZipArguments(const std::wstring& package, const std::wstring& installFolder) {
    return GL_DEBUG_FormatMessage(L"x \"%s\" -o\"%s\" -y", package, installFolder);
}

std::wstring InstallerArguments(const std::wstring& package, const std::wstring&) {
    return GL_DEBUG_FormatMessage(L"/i \"%s\" /passive", package);
}

// The prerequisites folder and the installers run from it are shared by the launchers of
// every program: one checks and installs at a time.
bool MeetsMinSpec(const std::wstring& minSpec) {
    ExclusiveLock lock;
    return lock.Acquire(Context().prerequisitesLockFile, LockWaitMs()) && CheckMinSpec(minSpec);
}

}  // namespace

int UpdateByZipFile(UpdateInfo& info) {
    PackageInstallSteps steps{
        .function = L"UpdateByZipFile",
        .needsSevenZip = true,
        .downloadFailStatus = 35,
        .downloadFailText = L"압축 파일 다운로드 실패",
        .backupFailStatus = 40,
        .markerFailStatus = 37,
        .program = Context().sevenZipProgram,
        .creationFlags = GL_CREATE_NO_WINDOW,
        .arguments = SevenZipArguments,
        .noProcessStatus = 45,
        .noProcessText = L"압축파일을 풀지 못함\r\n파일경로: %s",
        .overdueStatus = 47,
        .unstoppableStatus = 48,
        .badExitText = L"압축풀기 후 비정상 프로세스 종료코드: %d",
        .noProcessCopyText = L"압축파일을 풀지 못함1\r\n파일경로: %s",
        .failText = L"압축파일 풀기 실패\r\n파일경로: %s",
    };
    return InstallPackage(info, steps);
}

int UpdateByInstaller(UpdateInfo& info) {
    PackageInstallSteps steps{
        .function = L"UpdateByInstaller",
        .needsSevenZip = false,
        .downloadFailStatus = 30,
        .downloadFailText = L"설치 파일 다운로드 실패",
        .backupFailStatus = 35,
        .markerFailStatus = 33,
        .program = L"msiexec.exe",
        .creationFlags = 0,
        .arguments = InstallerArguments,
        .noProcessStatus = 40,
        .noProcessText = L"설치 프로그램을 실행하지 못함\r\n파일경로: %s",
        .overdueStatus = 42,
        .unstoppableStatus = 43,
        .badExitText = L"설치 후 비정상 프로세스 종료코드: %d",
        .noProcessCopyText = L"설치 프로그램을 실행하지 못함\r\n파일경로: %s",
        .failText = L"셋업파일 설치 실패\r\n파일경로: %s",
    };
    return InstallPackage(info, steps);
}

int UpdateProgram(std::wstring& runExePath) {
    UpdateInfo info;
    if (ParseUpdateInfo(Context().serverDocument, false, info) != 0)
        return GL_LOG('E', 0, 55, L"프로그램 업데이트 정보 ParseUpdateInfo() 실패");
    runExePath = info.RUN_EXE_PATH;

    // Without an update a missing program is installed again from what is at hand.
    if (!info.NeedToUpdate && GL_FILE_Exists(info.RUN_EXE_PATH)) return 0;

    if (!info.MIN_SPEC.empty() && !MeetsMinSpec(info.MIN_SPEC))
        return GL_LOG('E', 0, 62, L"최소사양 확인 실패");

    if (info.INSTALL_GB == L"INSTALLER") return UpdateByInstaller(info);
    if (info.INSTALL_GB == L"ZIP") return UpdateByZipFile(info);
    if (info.INSTALL_GB == L"FILES")
        return GL_LOG('E', 0, 65, L"아직 지원하지 않는 유형: %s", info.INSTALL_GB);
    return GL_LOG('E', 0, 70, L"지원하지 않는 파일 유형: %s", info.INSTALL_GB);
}
