#include "tests/support/LogOutputCapture.h"

#include "common/GL_DebugTesting.h"
#include "common/os/os.h"

namespace {

std::string& Caught() {
    static std::string text;
    return text;
}

void DebugOutput(const std::wstring& text) { Caught() += os::WideToUtf8Lossy(text); }
void DebugOutputNarrow(const std::string& text) { Caught() += text; }
void NoticeBox(const std::wstring& caption, const std::wstring& body) {
    Caught() += "[" + os::WideToUtf8Lossy(caption) + "] " + os::WideToUtf8Lossy(body) + "\n";
}

}  // namespace

LogOutputCapture::LogOutputCapture() {
    Caught().clear();
    GL_DEBUG_SetOutputsForTesting({&DebugOutput, &DebugOutputNarrow, &NoticeBox});
}

LogOutputCapture::~LogOutputCapture() { GL_DEBUG_SetOutputsForTesting({}); }

std::string LogOutputCapture::Text() const { return Caught(); }
