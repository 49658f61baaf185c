// Test keys in the real registry: created with their values, removed again with everything
// below them.
#include <windows.h>

#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <cstdint>
#include <stdexcept>

#include "tests/support/TestRegistry.h"

namespace {

REGSAM ViewFlag(os::RegistryView view) {
    return view == os::RegistryView::k32Bit ? KEY_WOW64_32KEY : 0;
}

bool KeyExists(const std::wstring& path, REGSAM viewFlag) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | viewFlag, &key) !=
        ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool Within(const std::wstring& path, const std::wstring& top) {
    return path.size() >= top.size() && _wcsnicmp(path.c_str(), top.c_str(), top.size()) == 0 &&
           (path.size() == top.size() || path[top.size()] == L'\\');
}

void Check(LSTATUS status, const std::string& what) {
    if (status != ERROR_SUCCESS)
        throw std::runtime_error(what + " failed with " + std::to_string(status));
}

void SetValue(HKEY key, const std::wstring& name, const rapidjson::Value& value) {
    if (value.IsString()) {
        // The whole text (a zero inside it included) and its terminator.
        std::wstring text = os::Utf8ToWideLossy(std::string(value.GetString(), value.GetStringLength()));
        text.push_back(L'\0');
        Check(RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.data()),
                             static_cast<DWORD>(text.size() * sizeof(wchar_t))),
              "RegSetValueExW");
    } else if (value.IsInt64() && value.GetInt64() >= INT32_MIN && value.GetInt64() <= UINT32_MAX) {
        const auto number = static_cast<DWORD>(value.GetInt64());
        Check(RegSetValueExW(key, name.c_str(), 0, REG_DWORD,
                             reinterpret_cast<const BYTE*>(&number), sizeof number),
              "RegSetValueExW");
    } else if (value.IsInt64() || value.IsUint64()) {
        const uint64_t number = value.IsUint64() ? value.GetUint64()
                                                 : static_cast<uint64_t>(value.GetInt64());
        Check(RegSetValueExW(key, name.c_str(), 0, REG_QWORD,
                             reinterpret_cast<const BYTE*>(&number), sizeof number),
              "RegSetValueExW");
    } else {
        throw std::runtime_error("a registry value is a string or an integer");
    }
}

void DeleteAllValues(HKEY key) {
    wchar_t name[16384];
    DWORD length = 16384;
    while (RegEnumValueW(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS) {
        Check(RegDeleteValueW(key, name), "RegDeleteValueW");
        length = 16384;
    }
}

}  // namespace

TestRegistry::TestRegistry(os::RegistryView view) : view_(view) {}

TestRegistry::~TestRegistry() {
    const REGSAM viewFlag = ViewFlag(view_);
    for (auto top = created_.rbegin(); top != created_.rend(); ++top) {
        HKEY key = nullptr;
        LSTATUS status =
            RegOpenKeyExW(HKEY_LOCAL_MACHINE, top->c_str(), 0, KEY_ALL_ACCESS | viewFlag, &key);
        if (status == ERROR_SUCCESS) {
            status = RegDeleteTreeW(key, nullptr);
            RegCloseKey(key);
        }
        if (status == ERROR_SUCCESS)
            status = RegDeleteKeyExW(HKEY_LOCAL_MACHINE, top->c_str(), viewFlag, 0);
        if (status != ERROR_SUCCESS)
            ADD_FAILURE() << "test key left in the registry: " << os::WideToUtf8Lossy(*top)
                          << " (" << status << ")";
    }
}

void TestRegistry::WriteKey(const std::string& keyPath, const std::string& valuesJson) {
    rapidjson::Document values;
    values.Parse(valuesJson.data(), valuesJson.size());
    if (values.HasParseError() || !values.IsObject())
        throw std::runtime_error("registry values are a JSON object: " + valuesJson);

    const REGSAM viewFlag = ViewFlag(view_);
    const std::wstring path = os::Utf8ToWideLossy(keyPath);
    bool owned = false;
    for (const std::wstring& top : created_) owned = owned || Within(path, top);
    if (!owned) {
        // The first key of the path that does not exist yet is where this test's keys begin.
        for (size_t end = path.find(L'\\');; end = path.find(L'\\', end + 1)) {
            const std::wstring prefix = path.substr(0, end);
            if (!KeyExists(prefix, viewFlag)) {
                created_.push_back(prefix);
                owned = true;
                break;
            }
            if (end == std::wstring::npos) break;
        }
    }
    if (!owned && values.MemberCount() > 0)
        throw std::runtime_error("a key the test did not create keeps its values: " + keyPath);

    HKEY key = nullptr;
    Check(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0,
                          KEY_ALL_ACCESS | viewFlag, nullptr, &key, nullptr),
          "RegCreateKeyExW " + keyPath);
    try {
        if (owned) DeleteAllValues(key);
        for (const auto& member : values.GetObject())
            SetValue(key,
                     os::Utf8ToWideLossy(std::string(member.name.GetString(),
                                                     member.name.GetStringLength())),
                     member.value);
    } catch (...) {
        RegCloseKey(key);
        throw;
    }
    RegCloseKey(key);
}
