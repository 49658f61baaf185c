#include "launcher/SelfUpdate.h"

#include <vector>

#include "common/GL_Debug.h"
#include "common/GL_File.h"
#include "common/GL_Process.h"
#include "common/os/os.h"
#include "launcher/Downloads.h"
#include "launcher/LauncherContext.h"
#include "launcher/ReleaseSignature.h"
#include "launcher/TimedMessage.h"
#include "launcher/UpdateInfo.h"
#include "server/JsonText.h"

namespace {

constexpr const wchar_t* kArgsMember = L"_PRG_ARGS_TMP";
constexpr uint32_t kOldLauncherPollMs = 100;
constexpr uint32_t kOldLauncherWaitMs = 5000;
constexpr uint32_t kTakeOverPollMs = 100;
constexpr uint32_t kTakeOverWaitMs = 10000;

// The event through which the temporary launcher tells the first run that it has taken over.
// Its name stands for the pending-settings file (a digest: event names hold no separators and
// are short), so only a handover of the same files can signal it.
std::wstring TakeOverEventName() {
    uint64_t digest = 14695981039346656037ULL;  // FNV-1a
    for (const wchar_t c : Context().pendingSettingsFile) {
        digest ^= static_cast<uint64_t>(c);
        digest *= 1099511628211ULL;
    }
    return fmt::format(L"__zeb_launcher_takeover_{:016x}_", digest);
}

// Waits until the temporary launcher signals the event, ends, or kTakeOverWaitMs pass. One
// that did not take over is ended, so that it cannot carry on later beside this run.
bool TemporaryLauncherTookOver(const GL_PROCESS_INFO& started, os::EventHandle event) {
    bool tookOver = false;
    for (uint32_t waited = 0; waited < kTakeOverWaitMs; waited += kTakeOverPollMs) {
        if (os::WaitNamedEvent(event, kTakeOverPollMs)) {
            tookOver = true;
            break;
        }
        if (os::WaitProcess(started.hProcess, 0)) break;
    }
    if (!tookOver && !os::WaitProcess(started.hProcess, 0)) os::KillProcess(started.hProcess);
    os::CloseProcess(started.hProcess);
    os::CloseThread(started.hThread);
    return tookOver;
}

// The server document with the first run's command line as its last member. A member of
// that name from the server is dropped, so the second run reads back this run's own.
void AddCommandLine(JsonDocument& document, const std::wstring& commandLine) {
    document.RemoveMember(kArgsMember);
    auto& allocator = document.GetAllocator();
    document.AddMember(JsonValue(kArgsMember, allocator), JsonValue(commandLine.c_str(),
                       static_cast<rapidjson::SizeType>(commandLine.size()), allocator),
                       allocator);
}

// A failure of the second run: logged, shown, and returned as its own result.
int FailPost(int status, int result, const std::wstring& text, unsigned long winError = 0) {
    GL_LOG_FN(L"UpdateLauncherProcPost", 'E', winError, status, L"%s", text);
    ShowTimedMessage(text, L"");
    return result;
}

// True once no process of the launcher's file name runs any more. The first look is at
// once; every look is followed by one pause.
bool WaitForOldLauncher() {
    uint32_t waited = 0;
    std::vector<uint32_t> ids;
    while (true) {
        GL_PROCESS_GetID(kLauncherFileName, ids);
        os::SleepMs(kOldLauncherPollMs);
        waited += kOldLauncherPollMs;
        if (ids.empty()) return true;
        if (waited >= kOldLauncherWaitMs) return false;
    }
}

}  // namespace

int UpdateLauncherProcPre() {
    LauncherContext& ctx = Context();
    UpdateInfo info;
    if (ParseUpdateInfo(ctx.serverDocument, true, info) != 0)
        return GL_LOG('E', 0, 20, L"런처 업데이트 정보 ParseUpdateInfo() 실패");
    if (!info.NeedToUpdate) return 0;

    if (DownloadFiles(info) != 0) return GL_LOG('E', 0, 30, L"런처 파일 다운로드 실패");

    if (!GL_FILE_Delete(ctx.tempLauncherPath))
        return GL_LOG('E', 0, 40, L"임시 런처 파일 삭제 실패: %s", ctx.tempLauncherPath);

    const std::wstring downloaded =
        info.FILES.empty() ? std::wstring() : info.FILES.begin()->second.CLI_DOWNLOAD_PATH;
    if (const int error = os::CopyOneFile(downloaded, ctx.tempLauncherPath, true))
        return GL_LOG('E', error, 50, L"임시 런처 파일 복사 실패: %s", ctx.tempLauncherPath);

    AddCommandLine(ctx.serverDocument, ctx.rawCommandLine);
    if (!GL_FILE_WriteText(ctx.pendingSettingsFile, ToPrettyJsonText(ctx.serverDocument), ENC_UTF8_BOM,
                           false))
        return GL_LOG('E', 0, 60, L"서버 설정내역 임시 파일로 저장 실패\r\n{%s}",
                      ctx.pendingSettingsFile);

    const std::wstring commandLine =
        GL_DEBUG_FormatMessage(L"--%s=\"%s\" --%s=\"%s\"", std::wstring(L"PRG_ID"),
                               ctx.request.programId, std::wstring(L"LAUNCHER_UPDATED"),
                               ctx.request.programId);
    // Without the event the temporary launcher is trusted to take over, as it always was.
    const std::wstring eventName = TakeOverEventName();
    os::EventHandle event = 0;
    const bool watched = os::CreateNamedEvent(eventName, event) == 0;
    const GL_PROCESS_INFO started =
        GL_PROCESS_Run(watched, 0, ctx.tempLauncherPath, commandLine, false, 0);
    if (started.dwProcessId == 0) {
        if (watched) {
            os::CloseNamedEvent(event);
            os::RemoveNamedEvent(eventName);
        }
        return GL_LOG('E', 0, 70, L"임시 런처 실행 실패\r\n파일경로: %s", ctx.tempLauncherPath);
    }
    if (watched) {
        const bool tookOver = TemporaryLauncherTookOver(started, event);
        os::CloseNamedEvent(event);
        os::RemoveNamedEvent(eventName);
        if (!tookOver)
            return GL_LOG('E', 0, 75, L"임시 런처가 업데이트를 넘겨받지 못함\r\n파일경로: %s",
                          ctx.tempLauncherPath);
    }

    GL_LOG('D', 0, 0, L"런처 업데이트 되어 임시파일로 저장 후 실행: %s %s", ctx.tempLauncherPath,
           commandLine);
    return 1;
}

void SignalTakeOver() {
    const std::wstring eventName = TakeOverEventName();
    os::EventHandle event = 0;
    // A temporary launcher started by hand has nobody waiting for it.
    if (os::OpenNamedEvent(eventName, event) != 0) return;
    os::SignalNamedEvent(event);
    os::CloseNamedEvent(event);
}

bool RestoredFirstRunCommandLine(int postResult) { return postResult == 0 || postResult >= 20; }

int UpdateLauncherProcPost() {
    LauncherContext& ctx = Context();
    const std::wstring& pending = ctx.pendingSettingsFile;
    GL_LOG('E', 0, 0, L"런처 업데이트 후처리 프로그램 업데이트 정보 임시파일 읽기: %s", pending);

    std::wstring text;
    if (!GL_FILE_Read(pending, text))
        return FailPost(80, 10,
                        L"런처 업데이트 후처리 프로그램 업데이트 정보 임시파일 읽기 실패: " +
                            pending);
    ctx.serverDataText = text;
    if (!ParseJsonText(text, ctx.serverDocument))
        return FailPost(80, 12, L"런처 업데이트 후처리 프로그램 업데이트 정보 임시파일 파싱 실패");
    GL_LOG('E', 0, 0, L"런처 업데이트 후처리 중 업데이트 정보 임시파일 파싱: %s", pending);
    // What the first run verified must still be what its publisher signed; otherwise nothing
    // of it is used and the program update fails in its own parse.
    VerifiedRelease verified;
    if (VerifyReleaseSignature(ctx.serverDocument, ctx.request.programId, BuildReleaseKeys(),
                               verified) != 0) {
        ctx.serverDocument.SetNull();
        return FailPost(80, 13,
                        L"런처 업데이트 후처리 프로그램 업데이트 정보 임시파일 서명 검증 실패");
    }

    const JsonValue& server = ctx.serverDocument;
    const auto member = server.IsObject() ? server.FindMember(kArgsMember) : server.MemberEnd();
    if (!server.IsObject() || member == server.MemberEnd() ||
        !member->value.IsString())
        return FailPost(81, 14,
                        std::wstring(L"런처 업데이트 후처리 중 인자읽기 실패1: ") + kArgsMember);
    ctx.rawCommandLine.assign(member->value.GetString(), member->value.GetStringLength());
    if (ctx.rawCommandLine.empty())
        return FailPost(82, 16,
                        std::wstring(L"런처 업데이트 후처리 중 인자읽기 실패2: ") + kArgsMember);

    if (ctx.modulePath != ctx.tempLauncherPath)
        return FailPost(83, 20,
                        L"런처 업데이트 후처리 실패(비정상 파일명): " + ctx.tempLauncherPath);

    if (!WaitForOldLauncher())
        return FailPost(84, 25, L"런처 업데이트 후처리 중 구버전 런처 종료대기 실패");

    // One rename over the old file: there is always a launcher file, the old one until the
    // new one has its name. A launcher file that cannot be replaced stays as it is.
    if (const int error = os::ReplaceFileWith(ctx.tempLauncherPath, ctx.launcherPath))
        return FailPost(40, 50,
                        L"런처 업데이트 후처리 중 새버전(임시)파일명을 원래 파일명으로 변경 실패",
                        error);
    GL_LOG('E', 0, 0, L"런처 업데이트 후처리 중 신버전 런처 파일명 변경");
    return 0;
}
