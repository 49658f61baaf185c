#pragma once
// The argument part of a Windows command line taken apart the way Windows programs read it.
#include <string>
#include <vector>

// Spaces and tabs separate arguments; double quotes group (and are removed); 2n backslashes
// before a quote give n backslashes and a grouping quote, 2n+1 give n backslashes and a
// literal quote; other backslashes are literal. Inside quotes, a doubled quote gives one
// literal quote and ends the group; every third quote of a run is a literal one.
namespace os::posix {

std::vector<std::wstring> SplitWindowsArguments(const std::wstring& arguments);

}  // namespace os::posix
