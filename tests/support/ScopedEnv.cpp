#include "tests/support/ScopedEnv.h"

#include <stdexcept>

#include "common/os/os.h"

ScopedEnv::ScopedEnv(const std::map<std::string, std::string>& values) {
    for (const auto& [name, value] : values) Set(name, value.c_str());
}

ScopedEnv::ScopedEnv(const std::string& name, const char* value) { Set(name, value); }

void ScopedEnv::Set(const std::string& name, const char* value) {
    const std::wstring wideName = os::Utf8ToWideLossy(name);
    if (saved_.count(name) == 0) saved_[name] = os::GetEnv(wideName);
    std::optional<std::wstring> wideValue;
    if (value != nullptr) wideValue = os::Utf8ToWideLossy(value);
    if (!os::SetEnv(wideName, wideValue)) throw std::runtime_error("cannot set " + name);
}

ScopedEnv::~ScopedEnv() {
    for (const auto& [name, value] : saved_) os::SetEnv(os::Utf8ToWideLossy(name), value);
}
