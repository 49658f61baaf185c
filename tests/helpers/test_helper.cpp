// Child program for tests, its behaviour chosen by its first argument:
//   exit N              ends with exit code N
//   cmdline FILE ...    writes its command line as the system handed it over (program name
//                       included) to FILE as UTF-8
//   log FILE TAG N      writes N error lines "TAG <i>" to the log file FILE
//   reap PROGRAM ...    runs PROGRAM with the arguments after it and waits for it and for
//                       every process it leaves behind
#include <cstdlib>
#include <string>

#include "common/GL_Debug.h"
#include "common/os/os.h"
#include "tests/helpers/reap.h"

namespace {

int WriteCommandLine(const std::string& file) {
    const std::string text = os::WideToUtf8Lossy(os::ProcessCommandLine());
    return os::WriteNewFile(os::AnsiToWideLossy(file), text.data(), text.size()) == 0 ? 0 : 1;
}

int WriteLogLines(const std::string& file, const std::string& tag, int count) {
    GL_DEBUG_SetLogFile(os::AnsiToWideLossy(file));
    const std::wstring wideTag = os::AnsiToWideLossy(tag);
    for (int i = 0; i < count; ++i) GL_LOG('E', 0, 0, L"%s %d", wideTag, i);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "exit") return argc > 2 ? std::atoi(argv[2]) : 0;
    if (mode == "cmdline" && argc > 2) return WriteCommandLine(argv[2]);
    if (mode == "log" && argc > 4) return WriteLogLines(argv[2], argv[3], std::atoi(argv[4]));
    if (mode == "reap" && argc > 2) return RunAndReap(argv + 2);
    return 0;
}
