#pragma once
// The log's internal steps and a reset of its process-wide state, for its own tests.
#include <string>

// Forgets the log file, the switch file, the data folder and the folder-creation flag, as
// in a fresh process.
void GL_DEBUG_ResetForTesting();
bool GL_DEBUG_FolderFlagForTesting();

bool _dbg_DIRECTORY_Get(std::wstring& folder);
bool _dbg_MakeDirs(const std::wstring& path);
bool _dbg_PathExists(const std::wstring& path);
bool _dbg_WriteFile(const std::wstring& path, const std::string& bytes, std::wstring& errorText);
