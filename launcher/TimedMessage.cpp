#include "launcher/TimedMessage.h"

#include "common/os/os.h"
#include "launcher/LauncherContext.h"

TimedMessageText BuildTimedMessage(const std::wstring& programId,
                                   const std::wstring& launcherCaption,
                                   const std::wstring& maskedCommandLine,
                                   const std::wstring& modulePath, const std::wstring& text,
                                   const std::wstring& detail) {
    TimedMessageText box;
    box.caption = programId.empty() ? launcherCaption : programId + L" - " + launcherCaption;
    box.caption += L": 이 창은 잠시 후 자동으로 닫힙니다.";
    box.body = text;
    if (!detail.empty()) box.body += L"\r\n\r\n" + detail;
    box.body += L"\r\n\r\nCommand line value: " + maskedCommandLine;
    box.body += L"\r\n\r\nPath: " + modulePath;
    return box;
}

void ShowTimedMessage(const std::wstring& text, const std::wstring& detail) {
    LauncherContext& ctx = Context();
    // Looked up once; a missing function stays missing for the rest of the run.
    if (!ctx.messageBoxLookedUp) {
        ctx.messageBoxFunction = os::FindTimedMessageBox();
        ctx.messageBoxLookedUp = true;
    }
    if (ctx.messageBoxFunction == nullptr) return;
    const TimedMessageText box =
        BuildTimedMessage(ctx.request.programId, ctx.messageBoxCaption, ctx.maskedCommandLine,
                          ctx.modulePath, text, detail);
    os::ShowTimedMessageBox(ctx.messageBoxFunction, box.caption, box.body,
                            kTimedMessageTimeoutMs);
}
