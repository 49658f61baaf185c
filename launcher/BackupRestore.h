#pragma once
// Moving the program's installation aside before an update and back after a failed one.
// Entries move by name (a rename on one volume); the launcher's own files inside the
// installation folder stay where they are; the update marker records each step, so that a
// run cut short is undone at the next start (UpdateRecovery.h).
#include <string>
#include <vector>

// The folder with a separator at its end, so that "*.*" behind it names its entries and
// never its siblings. An empty path stays empty.
std::wstring AsFolder(const std::wstring& path);

// What an update leaves in place when it lies inside the installation folder: the running
// launcher, the launcher and temporary-launcher files and the launcher's root folder.
std::vector<std::wstring> LauncherOwnPaths();

// An update never merges into a backup: a backup folder that holds something (left by a run
// that could not put it back) is first brought back into the installation folder. False
// (logged) when it could not be.
bool EmptyBackupFolder(const std::wstring& backupFolder, const std::wstring& installFolder);

// Moves everything in the installation folder into the backup folder. A missing installation
// folder has nothing to move (true). When the move fails half-way, only the entries that
// moved completely are put back, the originals still in place are kept, and the update
// marker is removed once everything is back.
bool MoveInstallationToBackup(const std::wstring& installFolder,
                              const std::wstring& backupFolder);

// The backup's entries back where the installation folder lacks them, the backup deleted and
// the update marker removed. False (logged) when they could not all come back.
bool PutBackupBack(const std::wstring& backupFolder, const std::wstring& installFolder);

// After new files went in: clears the installation folder (except the launcher's own files),
// records that the old files are on their way back, and puts the backup back. False (logged)
// when a step failed; the marker then tells the next start where to go on.
bool RollBackInstallation(const std::wstring& backupFolder, const std::wstring& installFolder);

// Without a backup folder there is nothing to restore (0). Otherwise the installation is
// rolled back; 0, or failStatus when the old files could not all be put back (the backup
// then stays).
int RestoreAndDeleteBackupDirectory(int failStatus, const std::wstring& backupFolder,
                                    const std::wstring& installFolder);
