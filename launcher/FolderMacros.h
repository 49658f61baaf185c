#pragma once
#include <string>

// Expands the one folder macro an install path may start with ("%ProgramFilesX86%" first,
// else "%ProgramData%"); any other text is returned unchanged.
std::wstring ExpandFolderMacros(const std::wstring& path);
