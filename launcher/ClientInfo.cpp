#include "launcher/ClientInfo.h"

#include <random>

#include "common/GL_File.h"
#include "common/JsonTypes.h"
#include "common/os/os.h"
#include "launcher/ExclusiveLock.h"
#include "launcher/LauncherContext.h"
#include "server/JsonText.h"

namespace {

// The identifier stored in an earlier client-information file, or empty.
std::wstring ReadStoredPcGuid(const std::wstring& path) {
    if (!GL_FILE_Exists(path)) return std::wstring();
    std::wstring text;
    GL_FILE_Read(path, text);
    JsonDocument document;
    if (!ParseJsonText(text, document) || !document.IsObject()) return std::wstring();
    const JsonValue& root = document;
    const auto member = root.FindMember(L"PC_GUID");
    if (member == root.MemberEnd() || !member->value.IsString()) return std::wstring();
    return std::wstring(member->value.GetString(), member->value.GetStringLength());
}

}  // namespace

std::wstring FormatClientInfo(const std::wstring& pcGuid, const std::wstring& launcherPath) {
    JsonDocument document(rapidjson::kObjectType);
    auto& allocator = document.GetAllocator();
    document.AddMember(L"PC_GUID", JsonValue(pcGuid.c_str(), static_cast<rapidjson::SizeType>(pcGuid.size()), allocator), allocator);
    document.AddMember(L"PATH_LAUNCHER", JsonValue(launcherPath.c_str(), static_cast<rapidjson::SizeType>(launcherPath.size()), allocator), allocator);
    return ToPrettyJsonText(document);
}

void WriteClientInfo(const std::wstring& launcherPath) {
    LauncherContext& ctx = Context();
    ctx.clientInfoFile = ctx.rootFolder + kClientInfoFileName;
    ctx.clientLauncherPath = launcherPath;
    if (ctx.clientLauncherPath.empty()) {
        ctx.clientLauncherPath = ctx.rootFolder + L"_update" + os::kSepStr + L"ZebLauncher" +
                                 os::kSepStr + L"download" + os::kSepStr + L"latest" +
                                 os::kSepStr + kLauncherFileName;
    }
    // Launchers starting together read and write the file one after the other, so that the
    // first one's identifier is the one every later one finds. Without the lock the file is
    // still replaced whole.
    ExclusiveLock lock;
    ctx.clientInfoLockFile = ctx.rootFolder + L"ZebCliInfo.lock";
    lock.Acquire(ctx.clientInfoLockFile, LockWaitMs());
    ctx.pcGuid = ReadStoredPcGuid(ctx.clientInfoFile);
    if (ctx.pcGuid.empty()) ctx.pcGuid = GeneratePcGuid();
    // A failed write is logged by the file unit; the run goes on without telling the user.
    GL_FILE_WriteText(ctx.clientInfoFile, FormatClientInfo(ctx.pcGuid, ctx.clientLauncherPath),
                      ENC_UTF8_BOM, false);
}

std::wstring GeneratePcGuid() {
    static std::mt19937 generator{std::random_device{}()};
    static const wchar_t kHex[] = L"0123456789abcdef";
    std::uniform_int_distribution<int> digit(0, 15);
    std::uniform_int_distribution<int> variant(8, 11);
    std::wstring guid;
    for (int i = 0; i < 32; ++i) {
        if (i == 8 || i == 12 || i == 16 || i == 20) guid.push_back(L'-');
        if (i == 12) guid.push_back(L'4');
        else if (i == 16) guid.push_back(kHex[variant(generator)]);
        else guid.push_back(kHex[digit(generator)]);
    }
    return guid;
}
