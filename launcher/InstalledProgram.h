#pragma once
// The installed version of a program, from the uninstall entries of the registry.
#include <string>

// Finds the first uninstall entry whose "DisplayName" equals displayName (whole text, case
// counts) and sets result to its value valueName (empty when it has none). result is left
// as it was when no entry matches. 0 when the search ran, 10 when the uninstall key could
// not be listed.
int GetUninstallInfoFromReg(std::wstring& result, const std::wstring& displayName,
                            const std::wstring& valueName);
