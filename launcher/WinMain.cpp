#include "launcher/WinMain.h"

#include <string>

#include "common/GL_Debug.h"
#include "common/GL_Directory.h"
#include "common/GL_File.h"
#include "common/os/os.h"
#include "launcher/ClientInfo.h"
#include "launcher/CommandLine.h"
#include "launcher/Flow.h"
#include "launcher/LauncherContext.h"
#include "launcher/SelfUpdate.h"
#include "launcher/TimedMessage.h"

namespace {

// The start-up's lines carry the name of the entry point it runs for.
constexpr const wchar_t* kEntryName = L"wWinMain";
// GetModuleFileNameW fills a buffer of this many characters, terminator included.
constexpr size_t kModulePathBuffer = 260;

// Copies the items into the request and forwards the ones the program receives.
void DispatchItems(LauncherContext& ctx, const ItemMap& items) {
    LaunchRequest& request = ctx.request;
    for (const auto& [name, value] : items) {
        if (name == kItemCommand) {
            request.command = value;
        } else if (name == kItemProgramId) {
            request.programId = value;
        } else if (name == kItemLaunchArgs) {
            request.launchArgs = value;
        } else {
            if (name == kItemCompanyId) {
                request.companyId = value;
            } else if (name == kItemCompanyPass) {
                request.companyPass = value;
            } else if (name == kItemCustomerId) {
                request.customerId = value;
            } else if (name == kItemTestUpdateUrl || name == kItemTestPathRun) {
                // Development items: the user is told, except on the temporary launcher's
                // run, which repeats the first run's command line.
                if (!ctx.launchedAsTemporary)
                    ShowTimedMessage(name + L"항목을 사용중입니다.: " + value, L"");
                if (name == kItemTestUpdateUrl) ctx.updateServerUrl = value;
                else ctx.runPathOverride = value;
            }
            BuildForwardedArg(name, value, request.programArgs);
        }
    }
}

}  // namespace

int LauncherMain(void* instance, const std::wstring& commandLine) {
    LauncherContext& ctx = Context();
    ctx.instanceHandle = instance;
    ctx.rootFolder = GL_DIRECTORY_GetDataDir();
    ctx.logFile = ctx.rootFolder + L"logs" + os::kSepStr + L"zeb.cpp.log";
    GL_DEBUG_SetLogFile(ctx.logFile);

    SetLauncherPaths(ctx, os::ModulePath().substr(0, kModulePathBuffer - 1));
    wchar_t version[260] = {};
    GL_FILE_GetVersion(ctx.modulePath, version);
    GL_LOG_FN(kEntryName, 'E', 0, 0, L"런처 실행됨: %s(%s)", ctx.modulePath,
              std::wstring(version));

    ctx.rawCommandLine = commandLine;
    ctx.maskedCommandLine = ctx.rawCommandLine;
    MaskCompanyPass(ctx.maskedCommandLine);
    GL_LOG_FN(kEntryName, 'E', 0, 0, L"원본 실행인자: %s", ctx.maskedCommandLine);
    os::DebugOutput(ctx.maskedCommandLine);

    ItemMap items = GL_STRING_ParseCommandLineArgs1(ctx.rawCommandLine);
    const auto programId = items.find(kItemProgramId);
    if (programId == items.end()) {
        ShowTimedMessage(kCommandLineFormat, std::wstring(L"Can not find command line item(--") +
                                                 kItemProgramId + L"): " +
                                                 ctx.maskedCommandLine);
        return 0;
    }
    ctx.request.programId = programId->second;
    SetProgramLayout(ctx, ctx.request.programId);

    if (items.count(kItemLauncherUpdated) != 0) {
        GL_LOG_FN(kEntryName, 'D', 0, 0, L"업데이트된 임시 런처파일 실행 됨");
        ctx.launchedAsTemporary = true;
        SignalTakeOver();
        const int post = UpdateLauncherProcPost();
        if (post != 0)
            GL_LOG_FN(kEntryName, 'D', 0, 0, L"런처 업데이트 실패했어도 프로그램업데이트는 시도");
        // Once the first run's command line is back in rawCommandLine its items apply, also
        // when a later step failed; the masked copy stays that of this process.
        if (RestoredFirstRunCommandLine(post))
            items = GL_STRING_ParseCommandLineArgs1(ctx.rawCommandLine);
    }

    DispatchItems(ctx, items);

    if (os::DebuggerAttached()) ShowTimedMessage(L"IsDebuggerPresent() == TRUE", L"");

    std::wstring maskedArgs = ctx.request.programArgs;
    MaskCompanyPass(maskedArgs);
    GL_LOG_FN(kEntryName, 'E', 0, 0, L"실행프로그램에 넘길 인자: %s", maskedArgs);

    WriteClientInfo(GL_DIRECTORY_GetModulePath());
    CheckUpdateAndLaunchProgram(ctx.request);
    return 0;
}
