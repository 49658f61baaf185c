#pragma once
// Keys of the Linux registry stand-in (HKEY_LOCAL_MACHINE as a folder tree) below the common
// application-data folder this process has now (ProgramData, as TestLog sets it).
#include <filesystem>
#include <string>

// keyPath as the launcher names keys, with "\" between the names.
std::filesystem::path RegistryKeyFolder(const std::string& keyPath);
// Creates the key (and the keys above it) with valuesJson, taken as it is, as its values.json.
void WriteRegistryKey(const std::string& keyPath, const std::string& valuesJson = "{}");
