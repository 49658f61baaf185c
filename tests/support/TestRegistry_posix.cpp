#include <cstdlib>
#include <stdexcept>

#include "tests/support/StandInRegistry.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestRegistry.h"

std::filesystem::path RegistryKeyFolder(const std::string& keyPath) {
    const char* data = std::getenv("ProgramData");
    if (data == nullptr || *data == '\0') throw std::runtime_error("ProgramData is not set");
    std::string relative = keyPath;
    for (char& c : relative)
        if (c == '\\') c = '/';
    return std::filesystem::path(data) / "Registry" / "HKEY_LOCAL_MACHINE" / relative;
}

void WriteRegistryKey(const std::string& keyPath, const std::string& valuesJson) {
    const auto folder = RegistryKeyFolder(keyPath);
    std::filesystem::create_directories(folder);
    WriteFileBytes(folder / "values.json", valuesJson);
}

// The stand-in has one view, and its keys go with the test's data folder.
TestRegistry::TestRegistry(os::RegistryView view) : view_(view) {}
TestRegistry::~TestRegistry() = default;

void TestRegistry::WriteKey(const std::string& keyPath, const std::string& valuesJson) {
    WriteRegistryKey(keyPath, valuesJson);
}
