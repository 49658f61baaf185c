#pragma once
// Environment variables of this process (inherited by the programs it starts) set for one
// scope; the old values come back at its end. Names and values are UTF-8.
#include <map>
#include <optional>
#include <string>

class ScopedEnv {
public:
    explicit ScopedEnv(const std::map<std::string, std::string>& values);
    // A null value removes the variable for the scope.
    ScopedEnv(const std::string& name, const char* value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    void Set(const std::string& name, const char* value);

    std::map<std::string, std::optional<std::wstring>> saved_;
};
