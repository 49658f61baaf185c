#pragma once
// Registry keys a test writes for the launcher to read. On Linux they go to the registry
// stand-in below the common application-data folder this process has now (ProgramData, as
// TestLog sets it), which goes with the test's folder. On Windows they go to the real
// registry, and the keys this object created are removed again at its end.
#include <string>
#include <vector>

#include "common/os/os.h"

class TestRegistry {
public:
    // The view the keys are written in (Windows: the process's own or the 32-bit one; the
    // stand-in has one).
    explicit TestRegistry(os::RegistryView view = os::RegistryView::kDefault);
    ~TestRegistry();
    TestRegistry(const TestRegistry&) = delete;
    TestRegistry& operator=(const TestRegistry&) = delete;

    // Creates the key below HKEY_LOCAL_MACHINE (and the keys above it) with the values of
    // valuesJson, an object: a string member is a string value, an integer member a 32-bit
    // value (a 64-bit one past that range). The values of a key written before are replaced.
    // Throws when the key cannot be written; on Windows a key that existed before the test
    // gets no values, so the registry is left as the test found it.
    void WriteKey(const std::string& keyPath, const std::string& valuesJson = "{}");

private:
    os::RegistryView view_;
    std::vector<std::wstring> created_;  // top-most keys this object created, to remove
};
