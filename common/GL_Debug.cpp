#include "common/GL_Debug.h"

#include "common/GL_DebugTesting.h"
#include "common/PathText.h"
#include "common/os/os.h"

namespace {

constexpr size_t kPathChars = 255;      // path buffers of 256 characters
constexpr int kCommonAppData = 0x23;    // CSIDL_COMMON_APPDATA
constexpr size_t kMessageChars = 1024;  // message part and whole line
constexpr size_t kErrorChars = 1023;    // error text and error part
constexpr size_t kJumpChars = 511;
constexpr size_t kFaultChars = 255;
constexpr size_t kNoticeChars = 8191;   // error text of the writer, text of the notice box
constexpr uint32_t kRetryWaitMs = 500;
constexpr uint32_t kRetryLimitMs = 3000;
// What Windows reports for a C++ exception; the formatter's refusal is the one fault here.
constexpr unsigned kFormatFaultCode = 0xE06D7363u;

enum class FolderState { kUnresolved, kResolving, kResolved, kFailed };

struct LogState {
    std::wstring logFile;
    std::wstring switchFile;
    std::wstring dataFolder;
    FolderState folder = FolderState::kUnresolved;
    bool madeDirs = false;  // folder-creation flag
    std::wstring exeName;
    GL_DEBUG_Outputs outputs{&os::DebugOutput, &os::DebugOutputNarrow, &os::ShowModalMessageBox};
};

LogState& State() {
    static LogState state;
    return state;
}

std::wstring Cut(std::wstring text, size_t chars) {
    if (text.size() > chars) text.resize(chars);
    return text;
}

// The common application-data folder, resolved once. While it is being resolved (its own
// failure line comes back through the log) and after it failed, lines go without it: no
// switch file and no default log file, so the log cannot call itself without end.
const std::wstring* DataFolder() {
    LogState& s = State();
    if (s.folder == FolderState::kUnresolved) {
        s.folder = FolderState::kResolving;
        std::wstring folder;
        const bool ok = _dbg_DIRECTORY_Get(folder);
        s.dataFolder = folder;
        s.folder = ok ? FolderState::kResolved : FolderState::kFailed;
    }
    return s.folder == FolderState::kResolved ? &s.dataFolder : nullptr;
}

std::wstring LogsFolderFile(const wchar_t* name) {
    const std::wstring* folder = DataFolder();
    if (folder == nullptr) return std::wstring();
    return Cut(JoinPath(*folder, L"Vantrel") + os::kSep + L"logs" + os::kSep + name, kPathChars);
}

bool SwitchOn() {
    LogState& s = State();
    if (s.switchFile.empty()) s.switchFile = LogsFolderFile(L"enable_log_dbg.txt");
    return !s.switchFile.empty() && os::PathExists(s.switchFile);
}

// Kept from the first line: the running file may be renamed later (self-update), while the
// log names the program that was started.
const std::wstring& ExeName() {
    LogState& s = State();
    if (s.exeName.empty()) {
        s.exeName = LastComponent(Cut(os::ModulePath(), 256));
    }
    return s.exeName;
}

std::wstring CurrentLogFile() {
    LogState& s = State();
    if (!s.logFile.empty()) return s.logFile;
    const std::wstring path = LogsFolderFile(L"ZEB.log");
    if (path.empty()) return path;
    s.logFile = path;
    s.outputs.debugOutput(L"로그파일이 지정되지 않아 기본 로그파일에 저장: " + path + L"\r\n");
    return path;
}

std::wstring BuildLine(int level, const std::wstring& sourceFile, const std::wstring& function,
                       int line, const std::wstring& messagePart, const std::wstring& errorPart) {
    const os::LocalTime t = os::Now();
    std::wstring text = fmt::sprintf(L"%02d-%02d %02d:%02d:%02d.%03d [%c][%s:%x:%x]", t.month,
                                     t.day, t.hour, t.minute, t.second, t.millisecond,
                                     static_cast<wchar_t>(level), ExeName(),
                                     os::CurrentProcessId(), os::CurrentThreadId());
    if (!sourceFile.empty())
        text += fmt::sprintf(L"[%s:%s:%d]", LastComponent(Cut(sourceFile, kPathChars)), function,
                             line);
    else if (!function.empty())
        text += fmt::sprintf(L"[%s]", function);
    text += L' ';
    text += messagePart;
    text += errorPart;
    text += L"\r\n";
    return Cut(std::move(text), kMessageChars);
}

std::wstring ErrorPart(unsigned long winError) {
    if (winError == 0) return std::wstring();
    std::wstring text;
    GL_DEBUG_GetErrMsg(winError, text);
    text = Cut(std::move(text), kErrorChars);
    if (text.empty()) text = L"윈도우 오류메세지를 찾을 수 없습니다.\r\n";
    if (text.size() >= 2 && text.compare(text.size() - 2, 2, L"\r\n") == 0)
        text.resize(text.size() - 2);
    return Cut(fmt::sprintf(L"[ENW:%d]%s", static_cast<int>(winError), text), kErrorChars);
}

void Output(const std::wstring& logFile, const std::wstring& sourceFile, int line,
            bool switchOn, const std::wstring& text) {
    const GL_DEBUG_Outputs& outputs = State().outputs;
    if (switchOn && !sourceFile.empty())
        outputs.debugOutput(Cut(fmt::sprintf(L"> %s(%d): ", sourceFile, line), kJumpChars));
    outputs.debugOutputNarrow(text.compare(19, 3, L"[E]") == 0 ? "Error: " : "Warning: ");
    outputs.debugOutput(text);
    if (!logFile.empty()) {
        const std::wstring named = Cut(logFile, kPathChars);
        State().logFile = named;
        _dbg_MakeDirs(named);
    }
    // Through the ANSI code page first: what it cannot carry reaches the file as its
    // default character, as the debugger output shows it intact.
    const std::string bytes = os::WideToUtf8Lossy(os::AnsiToWideLossy(os::WideToAnsiLossy(text)));
    const std::wstring path = CurrentLogFile();
    if (path.empty()) return;  // no folder for the default log: the debugger output only
    std::wstring errorText;
    if (!_dbg_WriteFile(path, bytes, errorText))
        State().outputs.noticeBox(L"GLDebugMsg",
                            Cut(fmt::sprintf(L"GL_DEBUG_Log() CreateFile실패1\r\n%s\r\n\r\n%s",
                                             errorText, text),
                                kNoticeChars));
}

}  // namespace

std::wstring GL_DEBUG_FormatFault(const wchar_t* format) {
    std::wstring text = Cut(
        fmt::sprintf(L"SEH exception with code 0x%08X thrown in GL_DEBUG_Log: 가변인자 오류",
                     kFormatFaultCode),
        kFaultChars);
    text += L"\r\n";
    if (format != nullptr) text += format;
    return text;
}

std::string GL_DEBUG_FormatFaultA(const char* format) {
    std::string text = os::WideToUtf8Lossy(GL_DEBUG_FormatFault(nullptr));
    if (format != nullptr) text += format;
    return text;
}

int GL_DEBUG_LogText(const std::wstring& logFile, int level, const std::wstring& sourceFile,
                     const std::wstring& function, int line, unsigned long winError, int status,
                     const std::wstring& message, bool nullMessage) {
    const int savedError = os::LastError();
    try {
        const bool switchOn = SwitchOn();
        std::wstring messagePart;
        if (!nullMessage) {
            if (status != 0) messagePart = fmt::sprintf(L"[ENU:%d]", status);
            messagePart = Cut(messagePart + message, kMessageChars);
        }
        const std::wstring text =
            BuildLine(level, sourceFile, function, line, messagePart, ErrorPart(winError));
        if (level == 'E' || switchOn) Output(logFile, sourceFile, line, switchOn, text);
    } catch (...) {
        // Out of memory while building a line: the line is lost, the caller goes on.
    }
    os::SetLastErrorCode(savedError);
    return status;
}

int GL_DEBUG_LogAText(const std::string& logFile, int level, const std::string& sourceFile,
                      const std::string& function, int line, unsigned long winError, int status,
                      const std::string& message, bool nullMessage) {
    try {
        return GL_DEBUG_LogText(os::AnsiToWideLossy(logFile), level,
                                os::AnsiToWideLossy(sourceFile), os::AnsiToWideLossy(function),
                                line, winError, status, os::AnsiToWideLossy(message),
                                nullMessage);
    } catch (...) {
        return status;
    }
}

void GL_DEBUG_SetLogFile(const std::wstring& path) { State().logFile = Cut(path, kPathChars); }

std::wstring GL_DEBUG_GetLogFile() { return State().logFile; }

// A transport error code (libcurl's CURLcode) is no system error number and would get an
// unrelated text; the transports put libcurl's own text into their messages instead.
void GL_DEBUG_GetErrMsg(unsigned long code, std::wstring& text) {
    if (code == 0) return;
    // Network and internet codes have their texts in message modules of their own.
    const wchar_t* module = code >= 2100 && code <= 2999     ? L"netmsg.dll"
                            : code >= 12000 && code <= 12174 ? L"wininet.dll"
                                                             : L"";
    std::wstring system = os::ErrorText(static_cast<int>(code), module);
    if (!system.empty()) {
        text = std::move(system);
        return;
    }
    text = L"오류 GL_DEBUG_GetErrMsg()::FormatMessage():" + std::to_wstring(os::LastError());
}

std::wstring GL_DEBUG_Widen(const char* ascii) {
    return ascii == nullptr ? std::wstring() : os::Utf8ToWideLossy(ascii);
}

bool _dbg_DIRECTORY_Get(std::wstring& folder) {
    uint32_t result = 0;
    switch (os::CommonAppDataFolder(folder, result)) {
    case os::FolderLookup::kOk:
        return true;
    case os::FolderLookup::kLocationFailed:
        GL_LOG('E', 0, 10, L"SHGetSpecialFolderLocation() 실패(return: %x, folder: %x)", result,
               kCommonAppData);
        return false;
    case os::FolderLookup::kPathFailed:
        break;
    }
    GL_LOG('E', os::LastError(), 20, L"SHGetPathFromIDList() 실패(%x)", kCommonAppData);
    return false;
}

bool _dbg_PathExists(const std::wstring& path) {
    const std::wstring copy = Cut(path, kPathChars);
    return os::IsUncServer(copy) || os::PathExists(copy);
}

bool _dbg_MakeDirs(const std::wstring& path) {
    if (!HasSeparator(path)) {
        GL_LOG('E', 0, 10, L"올바른 경로명이 아닙니다.(%s)", path);
        return true;
    }
    // The folder of the log file: everything before the last separator (the root stays).
    std::wstring folder = Cut(path, kPathChars);
    const size_t sep = LastSeparator(folder);
    if (sep == std::wstring::npos) return false;  // the separator lay beyond the cut
    folder.resize(sep == 0 ? 1 : sep);
    if (os::IsUncServer(folder)) return false;

    std::wstring prefix;
    size_t start = 0;
    if (os::IsUncPath(folder)) {
        prefix = folder.substr(0, 2);
        start = 2;
    }
    for (size_t i = start; i < folder.size(); ++i) {
        // An empty prefix is the root, which always exists, and so is a drive's root.
        const bool atRoot = prefix.empty() || prefix.back() == L':';
        if (os::IsSeparator(folder[i]) && !atRoot && !_dbg_PathExists(prefix)) {
            const int e = os::MakeFolder(prefix);
            if (e != 0 && e != os::err::kAlreadyExists) {
                GL_LOG('E', e, 20, L"CreateDirectory() 실패: %s", prefix);
                return false;
            }
        }
        prefix += folder[i];
    }
    if (_dbg_PathExists(folder)) return true;
    const int e = os::MakeFolder(folder);
    if (e == 0 || e == os::err::kAlreadyExists) return true;
    GL_LOG('E', e, 30, L"CreateDirectory() 실패: %s", folder);
    return false;
}

bool _dbg_WriteFile(const std::wstring& path, const std::string& bytes, std::wstring& errorText) {
    LogState& s = State();
    uint32_t elapsed = 0;
    int error = 0;
    do {
        os::FileWriter file;
        error = file.OpenForAppend(path);
        if (error == 0) {
            // Only the open is retried: a write that failed (a full disk) would wait 3 s for
            // every line and append a part of it twice. Its result is not looked at.
            file.Write(bytes.data(), bytes.size());
            return true;
        }
        if (error == os::err::kPathNotFound) {
            if (s.madeDirs) break;
            s.madeDirs = true;
            if (_dbg_MakeDirs(path)) continue;
        }
        os::SleepMs(kRetryWaitMs);
        elapsed += kRetryWaitMs;
    } while (elapsed < kRetryLimitMs);
    errorText = Cut((error == os::err::kPathNotFound ? L"파일쓰기 실패: "
                                                      : L"파일쓰기 3초 시도 실패: ") +
                        path,
                    kNoticeChars);
    return false;
}

void GL_DEBUG_ResetForTesting() { State() = LogState(); }

bool GL_DEBUG_FolderFlagForTesting() { return State().madeDirs; }

void GL_DEBUG_SetDataFolderForTesting(const std::wstring& folder) {
    LogState& s = State();
    s.dataFolder = folder;
    s.folder = FolderState::kResolved;
}

void GL_DEBUG_SetOutputsForTesting(const GL_DEBUG_Outputs& outputs) {
    const GL_DEBUG_Outputs system = LogState().outputs;
    GL_DEBUG_Outputs& current = State().outputs;
    current.debugOutput = outputs.debugOutput ? outputs.debugOutput : system.debugOutput;
    current.debugOutputNarrow =
        outputs.debugOutputNarrow ? outputs.debugOutputNarrow : system.debugOutputNarrow;
    current.noticeBox = outputs.noticeBox ? outputs.noticeBox : system.noticeBox;
}
