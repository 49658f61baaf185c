#include "launcher/FolderMacros.h"

#include "common/GL_String.h"
#include "common/os/os.h"

std::wstring ExpandFolderMacros(const std::wstring& path) {
    static const std::wstring kProgramFilesX86 = L"%ProgramFilesX86%";
    static const std::wstring kProgramData = L"%ProgramData%";
    // The 32-bit launcher's %ProgramFiles% is the 32-bit program-files folder.
    if (path.find(kProgramFilesX86) != std::wstring::npos)
        return GL_STRING_ReplaceAll(path, kProgramFilesX86, os::ProgramFilesFolder() + os::kSepStr);
    if (path.find(kProgramData) != std::wstring::npos)
        return GL_STRING_ReplaceAll(path, kProgramData, os::ProgramDataFolder() + os::kSepStr);
    return path;
}
