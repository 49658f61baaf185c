#pragma once
// Brings the program's installation folder to the version the server offers: from a 7-Zip
// archive or through the installer, with the old installation moved aside and put back
// on failure.
#include <string>

#include "launcher/BackupRestore.h"  // RestoreAndDeleteBackupDirectory
#include "launcher/UpdateInfo.h"

// 0 when nothing had to be done, 1 when the program was updated, else a failure status.
// Sets runExePath to the server's RUN_EXE_PATH once its program information is parsed.
int UpdateProgram(std::wstring& runExePath);

// 1 when the package was installed, else a failure status.
int UpdateByZipFile(UpdateInfo& info);
int UpdateByInstaller(UpdateInfo& info);
