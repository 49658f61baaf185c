// The version resource of a program file (VERSIONINFO, read through version.dll).
#include <windows.h>

#include <vector>

#include "common/os/os.h"

namespace os {

namespace {
void Split(DWORD mostSignificant, DWORD leastSignificant, uint16_t parts[4]) {
    parts[0] = HIWORD(mostSignificant);
    parts[1] = LOWORD(mostSignificant);
    parts[2] = HIWORD(leastSignificant);
    parts[3] = LOWORD(leastSignificant);
}
}  // namespace

VersionRead ReadVersionRecord(const std::wstring& path, uint16_t fileVersion[4],
                              uint16_t productVersion[4], int& error) {
    error = 0;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) {
        const DWORD e = GetLastError();
        // A program without resources, or without a version among them.
        if (e == ERROR_RESOURCE_DATA_NOT_FOUND || e == ERROR_RESOURCE_TYPE_NOT_FOUND)
            return VersionRead::kNoVersion;
        error = static_cast<int>(e);
        return VersionRead::kError;
    }
    std::vector<BYTE> block(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return VersionRead::kNoVersion;
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), L"\\", &value, &length) || value == nullptr ||
        length < sizeof(VS_FIXEDFILEINFO))
        return VersionRead::kNoVersion;
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    Split(fixed->dwFileVersionMS, fixed->dwFileVersionLS, fileVersion);
    Split(fixed->dwProductVersionMS, fixed->dwProductVersionLS, productVersion);
    return VersionRead::kOk;
}

}  // namespace os
