#pragma once
// The log's internal steps and a reset of its process-wide state, for its own tests.
#include <string>

// Forgets the log file, the switch file, the data folder, the folder-creation flag and the
// replaced outputs, as in a fresh process.
void GL_DEBUG_ResetForTesting();
bool GL_DEBUG_FolderFlagForTesting();
// Takes folder as the resolved data folder (where the switch file and the default log lie):
// a Windows process cannot move its common application-data folder for one test.
void GL_DEBUG_SetDataFolderForTesting(const std::wstring& folder);

// Where the log's debugger output and its failure notice go; the tests catch them here (a
// Windows debugger output or system-modal box cannot be read back). A null member stands
// for the system's; GL_DEBUG_ResetForTesting() brings all of them back.
struct GL_DEBUG_Outputs {
    void (*debugOutput)(const std::wstring& text) = nullptr;
    void (*debugOutputNarrow)(const std::string& text) = nullptr;
    void (*noticeBox)(const std::wstring& caption, const std::wstring& body) = nullptr;
};
void GL_DEBUG_SetOutputsForTesting(const GL_DEBUG_Outputs& outputs);

bool _dbg_DIRECTORY_Get(std::wstring& folder);
bool _dbg_MakeDirs(const std::wstring& path);
bool _dbg_PathExists(const std::wstring& path);
bool _dbg_WriteFile(const std::wstring& path, const std::string& bytes, std::wstring& errorText);
