#pragma once
// The client-information file: this computer's identifier and the latest launcher path.
#include <string>

inline constexpr const wchar_t* kClientInfoFileName = L"ZebCliInfo.json";

// Keeps the PC identifier of an earlier run (a new one when the file is missing, unreadable,
// corrupt or holds no string PC_GUID) and rewrites the file below the context's rootFolder.
// An empty launcherPath stands for the downloaded launcher's place.
void WriteClientInfo(const std::wstring& launcherPath);

// A random identifier 8-4-4-4-12 of lower-case hex digits, version digit 4, variant 8..b.
std::wstring GeneratePcGuid();

// The file's text: PC_GUID then PATH_LAUNCHER, indented by four spaces.
std::wstring FormatClientInfo(const std::wstring& pcGuid, const std::wstring& launcherPath);
