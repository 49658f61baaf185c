#include "launcher/InstalledProgram.h"

#include <memory>
#include <vector>

#include "common/GL_Debug.h"
#include "common/GL_Registry.h"
#include "common/os/os.h"

namespace {
// A 32-bit launcher on 64-bit Windows sees the 32-bit programs' entries below Wow6432Node.
constexpr const wchar_t* kUninstallKeyWow64 =
    L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr const wchar_t* kUninstallKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
}  // namespace

int GetUninstallInfoFromReg(std::wstring& result, const std::wstring& displayName,
                            const std::wstring& valueName) {
    const std::wstring key = os::IsWow64() ? kUninstallKeyWow64 : kUninstallKey;
    auto registry = std::make_unique<GLCRegistry>(GLRegistryRoot::LocalMachine);
    // A machine on which nothing was ever installed has no uninstall key at all (Windows
    // always has one; a fresh registry stand-in does not): no entry, so nothing installed.
    if (!registry->HasKey(key)) return 0;
    std::vector<std::wstring> entries;
    if (!registry->GetSubKeys(key, entries)) {
        registry.reset();
        return GL_LOG('E', 0, 10, L"pReg->GetSubKeys() 실패");
    }
    for (const auto& entry : entries) {
        const std::wstring entryKey = key + L"\\" + entry;
        std::wstring value;
        // An entry whose name cannot be read keeps an empty name and never matches.
        registry->ReadString(entryKey, L"DisplayName", value);
        if (value != displayName) continue;
        value.clear();
        registry->ReadString(entryKey, valueName, value);
        result = value;
        return 0;
    }
    return 0;
}
