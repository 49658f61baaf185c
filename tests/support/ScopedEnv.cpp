#include "tests/support/ScopedEnv.h"

#include <cstdlib>

ScopedEnv::ScopedEnv(const std::map<std::string, std::string>& values) {
    for (const auto& [name, value] : values) Set(name, value.c_str());
}

ScopedEnv::ScopedEnv(const std::string& name, const char* value) { Set(name, value); }

void ScopedEnv::Set(const std::string& name, const char* value) {
    if (saved_.count(name) == 0) {
        const char* old = std::getenv(name.c_str());
        saved_[name] = old != nullptr ? std::optional<std::string>(old) : std::nullopt;
    }
    if (value != nullptr) setenv(name.c_str(), value, 1);
    else unsetenv(name.c_str());
}

ScopedEnv::~ScopedEnv() {
    for (const auto& [name, value] : saved_) {
        if (value) setenv(name.c_str(), value->c_str(), 1);
        else unsetenv(name.c_str());
    }
}
