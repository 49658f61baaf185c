// Registry reads on Windows. The registry calls return their error instead of setting the
// thread's last error; it is set as well, so LastError() agrees with the result.
#include <windows.h>

#include <cstring>
#include <vector>

#include "common/os/os.h"
#include "common/os/win32_handle.h"

namespace os {

namespace {

HKEY ToKey(RegKey key) { return reinterpret_cast<HKEY>(key); }

int Result(LSTATUS status) {
    if (status == ERROR_SUCCESS) return 0;
    return win32::Fail(static_cast<DWORD>(status));
}

}  // namespace

int RegistryOpenKey(RegistryRoot, const std::wstring& subKey, RegistryAccess access,
                    RegistryView view, RegKey& key) {
    REGSAM rights = access == RegistryAccess::kRead ? KEY_READ : KEY_ALL_ACCESS;
    if (view == RegistryView::k32Bit) rights |= KEY_WOW64_32KEY;
    // HKEY_LOCAL_MACHINE is the only root there is.
    HKEY opened = nullptr;
    const LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, rights, &opened);
    if (const int e = Result(status)) return e;
    key = reinterpret_cast<RegKey>(opened);
    return 0;
}

int RegistryQueryString(RegKey key, const std::wstring& name, std::wstring& value,
                        size_t maxBytes) {
    const auto limit = static_cast<DWORD>(maxBytes < MAXDWORD ? maxBytes : MAXDWORD);
    // Never a null buffer: with one the call would report the size instead of the data.
    std::vector<BYTE> data(limit > 0 ? limit : 1);
    DWORD size = limit;
    const LSTATUS status =
        RegQueryValueExW(ToKey(key), name.c_str(), nullptr, nullptr, data.data(), &size);
    if (const int e = Result(status)) return e;
    std::wstring text(size / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), data.data(), text.size() * sizeof(wchar_t));
    // Stored data need not end in a terminator, or may hold one early.
    const size_t end = text.find(L'\0');
    if (end != std::wstring::npos) text.resize(end);
    value = std::move(text);
    return 0;
}

int RegistryQueryDword(RegKey key, const std::wstring& name, uint32_t& value) {
    DWORD number = 0;
    DWORD size = sizeof number;
    if (const int e = Result(RegQueryValueExW(ToKey(key), name.c_str(), nullptr, nullptr,
                                              reinterpret_cast<BYTE*>(&number), &size)))
        return e;
    value = number;
    return 0;
}

int RegistryEnumKey(RegKey key, uint32_t index, std::wstring& name) {
    wchar_t buffer[256];
    if (const int e = Result(RegEnumKeyW(ToKey(key), index, buffer, 256))) return e;
    name = buffer;
    return 0;
}

void RegistryCloseKey(RegKey key) {
    if (key != 0) RegCloseKey(ToKey(key));
}

}  // namespace os
