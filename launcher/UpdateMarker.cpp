#include "launcher/UpdateMarker.h"

#include "common/GL_File.h"
#include "common/JsonTypes.h"
#include "common/os/os.h"
#include "launcher/LauncherContext.h"
#include "server/JsonText.h"

namespace {

constexpr UpdateState kStates[] = {UpdateState::kMoving, UpdateState::kInstalling,
                                   UpdateState::kInstalled};

void AddText(JsonDocument& document, const wchar_t* name, const std::wstring& text) {
    auto& allocator = document.GetAllocator();
    document.AddMember(JsonValue(name, allocator),
                       JsonValue(text.c_str(), static_cast<rapidjson::SizeType>(text.size()),
                                 allocator),
                       allocator);
}

bool TakeText(const JsonDocument& document, const wchar_t* name, std::wstring& text) {
    const auto member = document.FindMember(name);
    if (member == document.MemberEnd() || !member->value.IsString()) return false;
    text.assign(member->value.GetString(), member->value.GetStringLength());
    return true;
}

}  // namespace

std::wstring UpdateMarkerPath(UpdateState state) {
    const wchar_t* name = state == UpdateState::kMoving       ? L"moving"
                          : state == UpdateState::kInstalling ? L"installing"
                                                              : L"installed";
    return Context().updateMarkerStem + name + L".json";
}

bool BeginUpdateMarker(const UpdateMarker& marker) {
    if (Context().updateMarkerStem.empty()) return false;
    RemoveUpdateMarker();
    JsonDocument document(rapidjson::kObjectType);
    AddText(document, L"INSTALL_DIR", marker.installFolder);
    AddText(document, L"BACKUP_DIR", marker.backupFolder);
    AddText(document, L"SETTINGS", marker.settingsText);
    return GL_FILE_WriteText(UpdateMarkerPath(UpdateState::kMoving), ToPrettyJsonText(document),
                             ENC_UTF8_BOM, false);
}

bool AdvanceUpdateMarker(UpdateState from, UpdateState to) {
    const std::wstring source = UpdateMarkerPath(from);
    // No marker, no record to keep (the backup operations also serve without an update).
    if (Context().updateMarkerStem.empty() || !os::PathExists(source)) return true;
    return os::ReplaceFileWith(source, UpdateMarkerPath(to)) == 0;
}

UpdateState ReadUpdateMarker(UpdateMarker& marker) {
    if (Context().updateMarkerStem.empty()) return UpdateState::kNone;
    for (const UpdateState state : kStates) {
        const std::wstring path = UpdateMarkerPath(state);
        if (!os::PathExists(path)) continue;
        std::wstring text;
        JsonDocument document;
        if (!GL_FILE_Read(path, text) || !ParseJsonText(text, document) ||
            !document.IsObject() || !TakeText(document, L"INSTALL_DIR", marker.installFolder) ||
            !TakeText(document, L"BACKUP_DIR", marker.backupFolder) ||
            !TakeText(document, L"SETTINGS", marker.settingsText) ||
            marker.installFolder.empty() || marker.backupFolder.empty())
            return UpdateState::kUnreadable;
        return state;
    }
    return UpdateState::kNone;
}

void RemoveUpdateMarker() {
    if (Context().updateMarkerStem.empty()) return;
    for (const UpdateState state : kStates) GL_FILE_Delete(UpdateMarkerPath(state));
}
