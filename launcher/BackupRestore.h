#pragma once
// Moving the program's installation aside before an update and back after a failed one.
// Both directions move folder entries by name (a rename on one file system).
#include <string>

// The folder with a separator at its end, so that "*.*" behind it names its entries and
// never its siblings. An empty path stays empty.
std::wstring AsFolder(const std::wstring& path);

// Moves everything in the installation folder into the backup folder. A missing
// installation folder has nothing to move (true). When the move fails half-way the
// entries already moved are put back, so the installation is never left half-moved.
bool MoveInstallationToBackup(const std::wstring& installFolder,
                              const std::wstring& backupFolder);

// Empties the installation folder and moves the backup back into it, then deletes the
// backup. 0, or failStatus when the files could not be moved back (the backup then stays).
int RestoreAndDeleteBackupDirectory(int failStatus, const std::wstring& backupFolder,
                                    const std::wstring& installFolder);
