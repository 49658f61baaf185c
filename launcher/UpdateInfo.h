#pragma once
// Parsed update information of one product (launcher or program) and of its files.
#include <cstdint>
#include <map>
#include <string>

#include "common/JsonTypes.h"

struct UpdateFileInfo {
    std::wstring FILE_NM;
    std::wstring SUB_DIR_SVR;
    std::wstring SUB_DIR_CLI;
    std::wstring FILE_VERSION;
    int32_t FILE_SIZE = 0;
    int32_t FILE_SIZE_7Z = 0;
    std::wstring TYPE_GB;
    std::wstring FILE_SHA256;  // 64 lower-case hex digits, or empty when the release names none
    std::wstring SVR_FILE_PATH;
    std::wstring CLI_DOWNLOAD_PATH;
};

struct UpdateInfo {
    bool NeedToUpdate = false;
    std::wstring SHORT_NM;
    std::wstring UP_VERSION;
    std::wstring SVR_URL;
    std::wstring ROOT_DIR_SVR;
    std::wstring ROOT_DIR_CLI_INST;
    std::wstring RUN_EXE_NAME;
    std::wstring RUN_EXE_PATH;
    std::wstring MIN_SPEC;
    std::wstring TOOL_7Z_SHA256;  // the 7-Zip tool's hash, or empty
    std::wstring INSTALL_GB = L"INSTALLER";
    std::wstring CFG_FROM_SVR;
    // Keyed by SUB_DIR_CLI + FILE_NM, ordered by code units.
    std::map<std::wstring, UpdateFileInfo> FILES;
};

// 0 on success, else the status of the failing check.
int ParseUpdateInfo(JsonDocument& document, bool forLauncher, UpdateInfo& info);
