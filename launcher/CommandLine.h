#pragma once
// Command-line items: the tokenizer, the masking of the company pass, and the forwarding
// of items to the started program.
#include <map>
#include <string>

// Item name to value, ordered by plain code-unit comparison; a later value of a name wins.
using ItemMap = std::map<std::wstring, std::wstring>;

// Items of the form --NAME="VALUE". Problems are logged (status 10: the text does not start
// with an item; status 20: a piece without "="), masked like the whole text, and what was
// parsed so far is returned.
ItemMap GL_STRING_ParseCommandLineArgs1(const std::wstring& commandLine);

// Replaces every company pass in text by a single "*": the value of every item whose name
// holds COMP_PASS, in any form (quoted, unquoted, without "=", glued to another item), a
// value left open together with the pieces after it up to the next --NAME=" item, and a
// COMP_PASS="..." written inside another item's value.
void MaskCompanyPass(std::wstring& text);

// Appends --NAME="VALUE" to programArgs (space-separated); one leading "_" of the name
// is dropped.
void BuildForwardedArg(const std::wstring& name, const std::wstring& value,
                       std::wstring& programArgs);

// The documented form, shown to the user when the required item is missing.
inline constexpr const wchar_t* kCommandLineFormat =
    L"Command line format: --CMD=\"[command]\" --COMP_ID=\"[company id]\" "
    L"--COMP_PASS=\"[company pass]\" --CUST_ID=\"[customer id]\" --PRG_ID=\"[program id]\" "
    L"--PRG_ARGS=\"[program command line]\"";

// Item names.
inline constexpr const wchar_t* kItemCommand = L"CMD";
inline constexpr const wchar_t* kItemCompanyId = L"COMP_ID";
inline constexpr const wchar_t* kItemCompanyPass = L"COMP_PASS";
inline constexpr const wchar_t* kItemCustomerId = L"CUST_ID";
inline constexpr const wchar_t* kItemProgramId = L"PRG_ID";
inline constexpr const wchar_t* kItemProgramArgs = L"PRG_ARGS";
inline constexpr const wchar_t* kItemLaunchArgs = L"LAUNCH_ARGS";
inline constexpr const wchar_t* kItemLauncherUpdated = L"LAUNCHER_UPDATED";
inline constexpr const wchar_t* kItemTestUpdateUrl = L"__TEST_UPDATE_URL__";
inline constexpr const wchar_t* kItemTestPathRun = L"__TEST_PATH_RUN__";
