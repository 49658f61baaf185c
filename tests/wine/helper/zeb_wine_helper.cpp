// A Windows program the Wine tests run inside a prefix. Its first argument picks the job:
//
//   run FILE DEBUGOUT [all]
//       Starts the command line held in FILE (UTF-8, as a caller's CreateProcess would pass
//       it: quotes and all, which wine's own argument quoting cannot express), waits for it
//       and exits with its exit code. Meanwhile it reads the debugger output of every
//       process the way a system debug viewer does (the DBWIN buffer) and appends each
//       string, in UTF-8 and followed by a line feed, to DEBUGOUT. With "all" it also waits
//       until every process the command started has ended (they share a job object).
//
//   anything else: an installer, tool or program of the tests. Each step is taken when its
//   environment variable is set, in this order:
//       ZEB_WINE_HELPER_RECORD  a file: appends "cmdline=" and its own command line
//       ZEB_WINE_HELPER_LIST    a folder: appends "files=" and the names in it, sorted,
//                               separated by "|" (to the same file)
//       ZEB_WINE_HELPER_RELEASE a number: writes it as the .NET Framework's "Release" value
//                               in the 32-bit registry view, as the framework's installer does
//       ZEB_WINE_HELPER_THEN    a program: runs it with this program's own arguments (and
//                               ZEB_WINE_HELPER_ALSO's after them) and exits with its exit
//                               code (a tool that is watched at work)
//       ZEB_WINE_HELPER_HOLD    a file: creates it and keeps it open, shared for reading only
//                               (nobody can delete it meanwhile), and never exits
//       ZEB_WINE_HELPER_HANG    a file: appends a line to it every 50 ms and never exits (a
//                               tool that outlives its wait, writing all the while)
//   and exits with 0 otherwise. Records are UTF-8, one line each.
#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

namespace {

std::string ToUtf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

std::wstring FromCodePage(UINT codePage, const std::string& text) {
    if (text.empty()) return std::wstring();
    const int size =
        MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(),
                        size);
    return out;
}

std::wstring Env(const wchar_t* name) {
    wchar_t buffer[1024];
    const DWORD length = GetEnvironmentVariableW(name, buffer, 1024);
    return length > 0 && length < 1024 ? std::wstring(buffer, length) : std::wstring();
}

bool AppendToFile(const std::wstring& path, const std::string& bytes) {
    const HANDLE file =
        CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                              nullptr) != FALSE;
    CloseHandle(file);
    return ok && written == bytes.size();
}

bool ReadWholeFile(const std::wstring& path, std::string& bytes) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    CloseHandle(file);
    return true;
}

// ---- debugger output ----------------------------------------------------------------------

// The system debug viewer's side of OutputDebugString: a 4 KiB section "DBWIN_BUFFER" that
// holds the writer's process id and the text, and two events to take turns.
struct DebugViewer {
    HANDLE bufferReady = nullptr;
    HANDLE dataReady = nullptr;
    HANDLE section = nullptr;
    const char* view = nullptr;
    HANDLE stop = nullptr;
    HANDLE thread = nullptr;
    std::wstring outputFile;
};

DWORD WINAPI ReadDebugOutput(void* parameter) {
    auto& viewer = *static_cast<DebugViewer*>(parameter);
    const HANDLE waits[2] = {viewer.dataReady, viewer.stop};
    while (true) {
        SetEvent(viewer.bufferReady);
        if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) return 0;
        const char* text = viewer.view + sizeof(DWORD);
        const std::string ansi(text, strnlen(text, 4096 - sizeof(DWORD)));
        AppendToFile(viewer.outputFile, ToUtf8(FromCodePage(CP_ACP, ansi)) + "\n");
    }
}

bool StartDebugViewer(DebugViewer& viewer, const std::wstring& outputFile) {
    viewer.outputFile = outputFile;
    viewer.bufferReady = CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_BUFFER_READY");
    viewer.dataReady = CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_DATA_READY");
    viewer.section = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096,
                                        L"DBWIN_BUFFER");
    viewer.stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!viewer.bufferReady || !viewer.dataReady || !viewer.section || !viewer.stop) return false;
    viewer.view =
        static_cast<const char*>(MapViewOfFile(viewer.section, FILE_MAP_READ, 0, 0, 4096));
    if (viewer.view == nullptr) return false;
    viewer.thread = CreateThread(nullptr, 0, ReadDebugOutput, &viewer, 0, nullptr);
    return viewer.thread != nullptr;
}

void StopDebugViewer(DebugViewer& viewer) {
    SetEvent(viewer.stop);
    WaitForSingleObject(viewer.thread, INFINITE);
}

// ---- run ----------------------------------------------------------------------------------

void WaitUntilJobIsEmpty(HANDLE job) {
    while (true) {
        JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info = {};
        if (!QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &info,
                                       sizeof info, nullptr) ||
            info.ActiveProcesses == 0)
            return;
        Sleep(50);
    }
}

int Run(const std::wstring& commandFile, const std::wstring& debugOutput, bool waitForAll) {
    std::string bytes;
    if (!ReadWholeFile(commandFile, bytes)) return 201;
    std::wstring commandLine = FromCodePage(CP_UTF8, bytes);

    DebugViewer viewer;
    if (!StartDebugViewer(viewer, debugOutput)) return 202;

    const HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (job == nullptr) return 203;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                        nullptr, nullptr, &startup, &process))
        return 204;
    AssignProcessToJobObject(job, process.hProcess);
    ResumeThread(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    if (waitForAll) WaitUntilJobIsEmpty(job);
    StopDebugViewer(viewer);
    return static_cast<int>(exitCode);
}

// ---- installer, tool, program ------------------------------------------------------------

std::string FolderListing(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found = {};
    const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name != L"." && name != L"..") names.push_back(name);
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    std::sort(names.begin(), names.end());
    std::string text;
    for (const std::wstring& name : names) text += (text.empty() ? "" : "|") + ToUtf8(name);
    return text;
}

// The arguments of this process: its command line without the program name.
std::wstring OwnArguments() {
    const wchar_t* line = GetCommandLineW();
    if (*line == L'"') {
        line = std::wcschr(line + 1, L'"');
        line = line == nullptr ? L"" : line + 1;
    } else {
        while (*line != L'\0' && *line != L' ' && *line != L'\t') ++line;
    }
    while (*line == L' ' || *line == L'\t') ++line;
    return line;
}

void WriteDotNetRelease(const std::wstring& release) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE,
                        L"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v4\\Full", 0, nullptr, 0,
                        KEY_SET_VALUE | KEY_WOW64_32KEY, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    const DWORD value = static_cast<DWORD>(std::wcstoul(release.c_str(), nullptr, 10));
    RegSetValueExW(key, L"Release", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                   sizeof value);
    RegCloseKey(key);
}

int RunThen(const std::wstring& program, const std::wstring& also) {
    std::wstring commandLine = L"\"" + program + L"\" " + OwnArguments();
    if (!also.empty()) commandLine += L" " + also;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return 205;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(exitCode);
}

int Act() {
    const std::wstring record = Env(L"ZEB_WINE_HELPER_RECORD");
    if (!record.empty()) {
        AppendToFile(record, "cmdline=" + ToUtf8(GetCommandLineW()) + "\n");
        const std::wstring folder = Env(L"ZEB_WINE_HELPER_LIST");
        if (!folder.empty()) AppendToFile(record, "files=" + FolderListing(folder) + "\n");
    }
    const std::wstring release = Env(L"ZEB_WINE_HELPER_RELEASE");
    if (!release.empty()) WriteDotNetRelease(release);
    const std::wstring then = Env(L"ZEB_WINE_HELPER_THEN");
    const int exitCode = then.empty() ? 0 : RunThen(then, Env(L"ZEB_WINE_HELPER_ALSO"));
    const std::wstring hold = Env(L"ZEB_WINE_HELPER_HOLD");
    if (!hold.empty() &&
        CreateFileW(hold.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr) == INVALID_HANDLE_VALUE)
        return 206;
    const std::wstring hang = Env(L"ZEB_WINE_HELPER_HANG");
    if (hang.empty() && hold.empty()) return exitCode;
    while (true) {
        if (!hang.empty()) AppendToFile(hang, "x\n");
        Sleep(50);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc >= 4 && std::wstring(argv[1]) == L"run")
        return Run(argv[2], argv[3], argc >= 5 && std::wstring(argv[4]) == L"all");
    return Act();
}
