// Background children on Windows: CreateProcessW with the arguments quoted for the C runtime,
// the environment block changed as asked, standard output and error appended to a file.
#include <windows.h>

#include <filesystem>

#include "common/os/os.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/SampleApp.h"

namespace {

// One argument as CommandLineToArgvW and the C runtime read it back.
std::wstring Quote(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        out.push_back(c);
        backslashes = 0;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

// This process's environment with the changes, sorted by name as CreateProcessW expects.
std::wstring EnvironmentBlock(const EnvChanges& changes) {
    auto lessNoCase = [](const std::wstring& a, const std::wstring& b) {
        return _wcsicmp(a.c_str(), b.c_str()) < 0;
    };
    std::map<std::wstring, std::wstring, decltype(lessNoCase)> variables(lessNoCase);
    const LPWCH current = GetEnvironmentStringsW();
    for (const wchar_t* entry = current; *entry != L'\0'; entry += wcslen(entry) + 1) {
        const wchar_t* equals = wcschr(entry + 1, L'=');  // "=C:=C:\\..." names start with "="
        if (equals != nullptr) variables[std::wstring(entry, equals)] = equals + 1;
    }
    FreeEnvironmentStringsW(current);
    for (const auto& [name, value] : changes) {
        if (value) variables[os::Utf8ToWideLossy(name)] = os::Utf8ToWideLossy(*value);
        else variables.erase(os::Utf8ToWideLossy(name));
    }
    std::wstring block;
    for (const auto& [name, value] : variables) block += name + L"=" + value + L'\0';
    return block + L'\0';
}

}  // namespace

BackgroundProcess::~BackgroundProcess() {
    Stop();
    if (ownsOutputFile_) std::filesystem::remove(outputFile_);
}

bool BackgroundProcess::Start(const std::string& program, const std::vector<std::string>& args,
                              const EnvChanges& env, const std::string& outputFile) {
    outputFile_ = outputFile;
    if (outputFile_.empty()) {
        outputFile_ = (std::filesystem::temp_directory_path() /
                       ("zebtest-out-" + UniqueShortName("child")))
                          .string();
        ownsOutputFile_ = true;
    }
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const HANDLE out = CreateFileW(os::Utf8ToWideLossy(outputFile_).c_str(), FILE_APPEND_DATA,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   &inherited, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    const HANDLE in = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  &inherited, OPEN_EXISTING, 0, nullptr);
    std::wstring commandLine = Quote(os::Utf8ToWideLossy(program));
    for (const std::string& arg : args) commandLine += L" " + Quote(os::Utf8ToWideLossy(arg));
    std::wstring environment = EnvironmentBlock(env);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = out;
    PROCESS_INFORMATION started{};
    const bool ok = out != INVALID_HANDLE_VALUE && in != INVALID_HANDLE_VALUE &&
                    CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                                   CREATE_UNICODE_ENVIRONMENT, environment.data(), nullptr,
                                   &startup, &started);
    if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
    if (in != INVALID_HANDLE_VALUE) CloseHandle(in);
    if (!ok) return false;
    CloseHandle(started.hThread);
    process_ = reinterpret_cast<intptr_t>(started.hProcess);
    pid_ = static_cast<int>(started.dwProcessId);
    return true;
}

bool BackgroundProcess::Running() {
    return pid_ > 0 && WaitForSingleObject(reinterpret_cast<HANDLE>(process_), 0) == WAIT_TIMEOUT;
}

int BackgroundProcess::Wait(std::chrono::milliseconds timeout) {
    if (pid_ <= 0) return -1;
    const HANDLE process = reinterpret_cast<HANDLE>(process_);
    if (WaitForSingleObject(process, static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    CloseHandle(process);
    pid_ = -1;
    process_ = 0;
    return static_cast<int>(code);
}

int BackgroundProcess::Stop() {
    if (pid_ <= 0) return -1;
    // Windows has no request to end; a child that was still running ends without a code.
    const bool running = Running();
    if (running) TerminateProcess(reinterpret_cast<HANDLE>(process_), 1);
    const int code = Wait(std::chrono::seconds(5));
    return running ? -1 : code;
}

bool ProcessAlive(int pid) {
    const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
    if (process == nullptr) return false;
    const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}
