#pragma once
// The single reporting channel: one line per call, 'E' lines always, others only while
// the switch file exists. Every call returns the status it was given.
#include <fmt/printf.h>
#include <fmt/xchar.h>

#include <string>

// The message that replaces a caller's when its arguments do not match its format (the
// formatter refuses them instead of reading garbage): the fault text, CR LF, the raw format.
std::wstring GL_DEBUG_FormatFault(const wchar_t* format);
std::string GL_DEBUG_FormatFaultA(const char* format);

template <typename... Args>
std::wstring GL_DEBUG_FormatMessage(const wchar_t* format, const Args&... args) {
    if (format == nullptr) return std::wstring();
    try {
        return fmt::sprintf(std::wstring_view(format), args...);
    } catch (const std::exception&) {
        return GL_DEBUG_FormatFault(format);
    }
}

// Writes one line whose message is already formatted (a "%" in it is printed as it is).
// nullMessage stands for a null format: empty message, no status prefix.
int GL_DEBUG_LogText(const std::wstring& logFile, int level, const std::wstring& sourceFile,
                     const std::wstring& function, int line, unsigned long winError, int status,
                     const std::wstring& message, bool nullMessage = false);

template <typename... Args>
int GL_DEBUG_Log(const std::wstring& logFile, int level, const std::wstring& sourceFile,
                 const std::wstring& function, int line, unsigned long winError, int status,
                 const wchar_t* format, const Args&... args) {
    return GL_DEBUG_LogText(logFile, level, sourceFile, function, line, winError, status,
                            GL_DEBUG_FormatMessage(format, args...), format == nullptr);
}

// Narrow twin: narrow text (UTF-8 here) throughout; the finished message is handed on as
// plain text.
int GL_DEBUG_LogAText(const std::string& logFile, int level, const std::string& sourceFile,
                      const std::string& function, int line, unsigned long winError, int status,
                      const std::string& message, bool nullMessage = false);

template <typename... Args>
int GL_DEBUG_LogA(const std::string& logFile, int level, const std::string& sourceFile,
                  const std::string& function, int line, unsigned long winError, int status,
                  const char* format, const Args&... args) {
    std::string message;
    if (format != nullptr) {
        try {
            message = fmt::sprintf(std::string_view(format), args...);
        } catch (const std::exception&) {
            message = GL_DEBUG_FormatFaultA(format);
        }
    }
    return GL_DEBUG_LogAText(logFile, level, sourceFile, function, line, winError, status,
                             message, format == nullptr);
}

void GL_DEBUG_SetLogFile(const std::wstring& path);
// Current log file path (empty until set or first resolved).
std::wstring GL_DEBUG_GetLogFile();
void GL_DEBUG_GetErrMsg(unsigned long code, std::wstring& text);

// ASCII source names (__FILE__, __func__) as wide text.
std::wstring GL_DEBUG_Widen(const char* ascii);

// Call-site helpers: the source file, function and line of the caller.
#define GL_LOG(level, winError, status, ...)                                           \
    GL_DEBUG_Log(std::wstring(), (level), GL_DEBUG_Widen(__FILE__), GL_DEBUG_Widen(__func__), \
                 __LINE__, (winError), (status), __VA_ARGS__)
// For lines that must carry a name other than the C++ function's own.
#define GL_LOG_FN(function, level, winError, status, ...)                                \
    GL_DEBUG_Log(std::wstring(), (level), GL_DEBUG_Widen(__FILE__), (function), __LINE__, \
                 (winError), (status), __VA_ARGS__)
#define GL_LOGA(level, winError, status, ...)                                            \
    GL_DEBUG_LogA(std::string(), (level), std::string(__FILE__), std::string(__func__),  \
                  __LINE__, (winError), (status), __VA_ARGS__)
