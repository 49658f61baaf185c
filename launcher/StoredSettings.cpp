#include "launcher/StoredSettings.h"

#include "common/GL_File.h"
#include "launcher/LauncherContext.h"
#include "server/JsonText.h"

std::wstring StoredSettingsText(JsonDocument& serverDocument) {
    if (serverDocument.IsObject()) serverDocument.RemoveMember(L"_PRG_ARGS_TMP");
    return ToCompactJsonText(serverDocument);
}

bool WriteStoredSettings(const std::wstring& text) {
    return GL_FILE_WriteText(Context().updateSettingsFile, text, ENC_UTF8_BOM, false);
}
