#include "launcher/LauncherContext.h"

#include "common/GL_Directory.h"
#include "common/os/os.h"

namespace {

LauncherContext MakeContext() {
    LauncherContext ctx;
    os::Utf8ToWide(ZEB_UPDATE_SERVER_URL, ctx.updateServerUrl);
    return ctx;
}

}  // namespace

LauncherContext& Context() {
    static LauncherContext context = MakeContext();
    return context;
}

void SetLauncherPaths(LauncherContext& ctx, const std::wstring& modulePath) {
    ctx.modulePath = modulePath;
    const std::wstring folder = GL_DIRECTORY_GetParent(modulePath) + os::kSepStr;
    ctx.launcherPath = folder + kLauncherFileName;
    ctx.tempLauncherPath = folder + kTempLauncherFileName;
}

void SetProgramLayout(LauncherContext& ctx, const std::wstring& programId) {
    const std::wstring sep = os::kSepStr;
    ctx.toolsFolder = ctx.rootFolder + L"tools" + sep;
    ctx.sevenZipFolder = ctx.toolsFolder + L"7z" + sep;
    ctx.sevenZipProgram = ctx.sevenZipFolder + L"7za.exe";
    ctx.updateFolder = ctx.rootFolder + L"_update" + sep;
    ctx.prerequisitesFolder = ctx.updateFolder + L"3rd" + sep;
    ctx.programUpdateFolder = ctx.updateFolder + programId + sep;
    ctx.updateSettingsFile = ctx.programUpdateFolder + programId + L"_update.json";
    ctx.pendingSettingsFile = ctx.programUpdateFolder + programId + L"_update_.json";
    ctx.programLockFile = ctx.programUpdateFolder + programId + L"_update.lock";
    ctx.sevenZipLockFile = ctx.sevenZipFolder + L"7za.lock";
    ctx.prerequisitesLockFile = ctx.prerequisitesFolder + L"3rd.lock";
    ctx.updateMarkerStem = ctx.programUpdateFolder + programId + L"_updating_";
}
