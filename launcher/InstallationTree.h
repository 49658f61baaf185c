#pragma once
// The entries of an installation folder moved aside into a backup, brought back and
// cleared, with some paths left where they are (the launcher's own files when it lives inside
// the installation folder). Each call gives 0 or the error of the entry named by failedPath.
#include <string>
#include <vector>

using KeptPaths = std::vector<std::wstring>;

// Moves every entry of installFolder into backupFolder (made when missing) except the kept
// paths; a folder on the way to a kept path is made in the backup and its other entries move.
int MoveAside(const std::wstring& installFolder, const std::wstring& backupFolder,
              const KeptPaths& keep, std::wstring& failedPath);

// Brings the entries of backupFolder back into installFolder (made when missing); folders
// merge. An entry the installation folder still has is the original of a move that did not
// finish, so the backup's copy of it is deleted, and so is a copy cut short (a name ending
// in os::kMoveCopySuffix): nothing partial ever replaces an original. The emptied folders of
// the backup stay.
int MoveBack(const std::wstring& backupFolder, const std::wstring& installFolder,
             std::wstring& failedPath);

// Deletes every entry of folder except the kept paths and the folders on the way to them.
int ClearExcept(const std::wstring& folder, const KeptPaths& keep, std::wstring& failedPath);
