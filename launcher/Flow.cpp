// The launcher's one job: learn what is installed, ask the server, let the launcher replace
// itself, bring the program up to date, remember the answer and start the program.
#include "launcher/Flow.h"

#include "common/GL_Debug.h"
#include "common/GL_File.h"
#include "common/GL_Process.h"
#include "launcher/ExclusiveLock.h"
#include "launcher/InstalledProgram.h"
#include "launcher/LauncherContext.h"
#include "launcher/ProgramUpdate.h"
#include "launcher/ReleaseSignature.h"
#include "launcher/SelfUpdate.h"
#include "launcher/StoredSettings.h"
#include "launcher/TimedMessage.h"
#include "launcher/UpdateRecovery.h"
#include "server/JsonText.h"
#include "server/UpdateExchange.h"

namespace {

const wchar_t* const kFlow = L"CheckUpdateAndLaunchProgram";
const wchar_t* const kUpdateFailed = L"업데이트하지 못했습니다.";

struct InstalledState {
    std::wstring runExePath;
    std::wstring storedVersion;
    std::wstring launcherVersion;
    std::wstring installedVersion;
};

// Whether a release document is one this build may act on: signed by one of its keys, or
// anything for a build without keys.
bool IsReleaseOfThisBuild(const JsonValue& document) {
    VerifiedRelease verified;
    return VerifyReleaseSignature(document, Context().request.programId, BuildReleaseKeys(),
                                  verified) == 0;
}

// What the stored settings of the last successful update say (no log line for a file that
// is not JSON: it is simply not used; nor is one whose signature no longer holds).
void ReadStoredSettings(LauncherContext& ctx, InstalledState& state) {
    if (!GL_FILE_Exists(ctx.updateSettingsFile)) return;
    std::wstring text;
    if (!GL_FILE_Read(ctx.updateSettingsFile, text)) {
        GL_LOG_FN(kFlow, 'E', 0, 20, L"기존 업데이트 설정파일 읽기 실패: {%s}",
                  ctx.updateSettingsFile);
        return;
    }
    if (!ParseJsonText(text, ctx.storedSettingsDocument)) return;
    GL_LOG_FN(kFlow, 'D', 0, 0, L"기존 업데이트 설정파일 읽기: %s", ctx.updateSettingsFile);
    if (!IsReleaseOfThisBuild(ctx.storedSettingsDocument)) {
        GL_LOG_FN(kFlow, 'E', 0, 25, L"기존 업데이트 설정파일 서명 검증 실패: %s",
                  ctx.updateSettingsFile);
        return;
    }
    if (ParseUpdateInfo(ctx.storedSettingsDocument, false, ctx.storedSettingsInfo) != 0) {
        GL_LOG_FN(kFlow, 'E', 0, 10, L"기존 업데이트 설정파일에서 ParseUpdateInfo() 실패: %s",
                  ctx.updateSettingsFile);
        return;
    }
    state.runExePath = ctx.storedSettingsInfo.RUN_EXE_PATH;
    state.storedVersion =
        GL_FILE_Exists(state.runExePath) ? ctx.storedSettingsInfo.UP_VERSION : L"0.0.0";
}

UpdateQuery MakeQuery(const LauncherContext& ctx, const LaunchRequest& request,
                      const InstalledState& state) {
    UpdateQuery query;
    query.serverUrl = ctx.updateServerUrl;
    query.compId = request.companyId;
    query.compPass = request.companyPass;
    query.custId = request.customerId;
    query.pcGuid = ctx.pcGuid;
    query.launcherOldVer = state.launcherVersion;
    query.prgOldVer = state.storedVersion;
    query.prgInstOldVer = state.installedVersion;
    query.prgId = request.programId;
    query.prgArgs = request.programArgs;
    query.launchArgs = request.launchArgs;
    return query;
}

// Keeps the server's answer for the next run, without the self-update's own member. Once it
// is kept, a finished update needs its marker no more.
void StoreServerDocument(LauncherContext& ctx) {
    ctx.serverDataText = StoredSettingsText(ctx.serverDocument);
    if (!WriteStoredSettings(ctx.serverDataText)) {
        GL_LOG_FN(kFlow, 'E', 0, 70, L"서버 설정내역 파일로 저장 실패\r\n{%s}",
                  ctx.updateSettingsFile);
        return;
    }
    FinishUpdateMarker();
}

// After a failed update the old files are back: when the new version's program is not
// there, the program of the stored settings is (the temporary launcher reads them only now).
std::wstring RunPathAfterFailedUpdate(LauncherContext& ctx, const std::wstring& runExePath,
                                      InstalledState stored) {
    if (runExePath.empty() || GL_FILE_Exists(runExePath)) return runExePath;
    if (ctx.launchedAsTemporary) ReadStoredSettings(ctx, stored);
    if (stored.runExePath.empty() || !GL_FILE_Exists(stored.runExePath)) return runExePath;
    GL_LOG_FN(kFlow, 'E', 0, 0, L"새 버전 실행파일이 없어 기존 실행파일을 실행: %s",
              stored.runExePath);
    return stored.runExePath;
}

// Tells the user and the log the same text; returns the status.
int ShowAndLog(int status, const std::wstring& text) {
    ShowTimedMessage(text, L"");
    return GL_LOG_FN(kFlow, 'E', 0, status, L"%s", text);
}

int StartProgram(const LauncherContext& ctx, const LaunchRequest& request,
                 std::wstring runExePath) {
    if (!ctx.runPathOverride.empty()) runExePath = ctx.runPathOverride;
    if (runExePath.empty())
        return ShowAndLog(85, fmt::sprintf(L"프로그램(%s) 업데이트 정보를 알 수 없습니다.",
                                           request.programId));
    if (!GL_FILE_Exists(runExePath))
        return ShowAndLog(90, fmt::sprintf(L"실행파일이 존재하지 않습니다.\r\n파일경로: %s",
                                           runExePath));
    GL_PROCESS_INFO started =
        GL_PROCESS_Run(false, 0, runExePath, request.programArgs, false, 0);
    if (started.dwProcessId == 0)
        return GL_LOG_FN(kFlow, 'E', 0, 100, L"프로그램을 실행하지 못함\r\n파일경로: %s",
                         runExePath);
    return 0;
}

// Starts what the stored settings name without asking the server or touching the
// installation; status and text say why.
int StartInstalled(LauncherContext& ctx, const LaunchRequest& request, int status,
                   const wchar_t* why) {
    GL_LOG_FN(kFlow, 'E', 0, status, L"%s", std::wstring(why));
    InstalledState state;
    ReadStoredSettings(ctx, state);
    return StartProgram(ctx, request, state.runExePath);
}

}  // namespace

int CheckUpdateAndLaunchProgram(const LaunchRequest& request) {
    LauncherContext& ctx = Context();
    InstalledState state;
    bool serverReached = true;
    int result = 0;

    // One launcher per program from the stored settings to the settings write: a second one
    // waits, then reads what the first has left. One that cannot wait any longer updates
    // nothing and starts what is installed.
    ExclusiveLock lock;
    if (!lock.Acquire(ctx.programLockFile, LockWaitMs()))
        return StartInstalled(ctx, request, 15, L"다른 런처가 업데이트 중이어서 업데이트하지 않고 실행");
    // An update cut short is settled first; one that cannot be is not built upon.
    if (!RecoverInterruptedUpdate())
        return StartInstalled(ctx, request, 16,
                              L"중단된 업데이트를 되돌리지 못해 업데이트하지 않고 실행");

    if (!ctx.launchedAsTemporary) {
        ReadStoredSettings(ctx, state);
        if (!GL_FILE_GetVersion(ctx.modulePath, false, state.launcherVersion))
            return GL_LOG_FN(kFlow, 'E', 0, 10, L"현재 실행중인 런처버전 읽기 실패: %s",
                             ctx.modulePath);
        if (GetUninstallInfoFromReg(state.installedVersion, request.programId,
                                    L"DisplayVersion") != 0)
            return GL_LOG_FN(kFlow, 'E', 0, 10, L"프로그램 설치버전 읽기 실패: %s",
                             request.programId);
        if (ctx.pcGuid.empty()) return GL_LOG_FN(kFlow, 'E', 0, 5, L"GUID 얻기 실패");

        result = QueryUpdateInfo(MakeQuery(ctx, request, state), ctx.serverDataText,
                                 ctx.serverDocument);
        if (result == 47) return 47;
        if (result == 30) serverReached = false;
        // An answer its publisher did not sign is a server failure: nothing of it is used.
        if (result == 0 && !IsReleaseOfThisBuild(ctx.serverDocument))
            result = GL_LOG_FN(kFlow, 'E', 0, 50, L"서버 업데이트 정보 서명 검증 실패");
        if (result == 0) {
            int launcher = UpdateLauncherProcPre();
            if (launcher == 1) return 0;  // the temporary launcher carries on
            if (launcher != 0) GL_LOG_FN(kFlow, 'E', 0, 80, L"런처 업데이트 실패");
        }
    }
    // The temporary launcher's server document was restored from the pending settings.
    const InstalledState stored = state;
    if (result == 0) result = UpdateProgram(state.runExePath);

    GL_FILE_Delete(ctx.pendingSettingsFile);
    if (result == 0 || result == 1) {
        StoreServerDocument(ctx);
    } else {
        GL_LOG_FN(kFlow, 'E', 0, 80, L"%s", kUpdateFailed);
        if (serverReached) ShowTimedMessage(kUpdateFailed, L"");
        state.runExePath = RunPathAfterFailedUpdate(ctx, state.runExePath, stored);
    }
    return StartProgram(ctx, request, state.runExePath);
}
