#pragma once
// System folders, folder chains, clearing, and shell-style move, copy and delete.
#include <string>

enum : int { DIR_ACTION_MOVE = 0, DIR_ACTION_COPY = 1, DIR_ACTION_DELETE = 2 };

// Fills a buffer of at least 260 characters with the common application-data folder.
bool GL_DIRECTORY_Get(wchar_t* buffer);
// Common application-data folder + separator + "Vantrel" + separator.
std::wstring GL_DIRECTORY_GetDataDir();
std::wstring GL_DIRECTORY_GetModulePath();
std::wstring GL_DIRECTORY_GetParent(const std::wstring& path);
// The file-name cut, in place, on a 256-character buffer.
void GL_DIRECTORY_CutFileName(wchar_t* buffer);
bool GL_DIRECTORY_IsExist(const std::wstring& path);
bool GL_DIRECTORY_MakeDirs(const std::wstring& path);
// destination may be null.
bool _dir_action(int command, bool pattern, const wchar_t* destination, const wchar_t* source);
bool GL_DIRECTORY_Clear(const std::wstring& folder);
