#pragma once
// The update-settings file: the server's answer of the last successful update, kept for runs
// without a server.
#include <string>

#include "common/JsonTypes.h"

// The text the file holds for a server document: compact, without the self-update's own
// member (which is removed from the document).
std::wstring StoredSettingsText(JsonDocument& serverDocument);

// Writes text as the context's update-settings file; false when it could not be written.
bool WriteStoredSettings(const std::wstring& text);
