// Child program for tests, its behaviour chosen by its first argument:
//   exit N              ends with exit code N
//   cmdline FILE ...    writes its command line as the system handed it over (program name
//                       included) to FILE as UTF-8
//   log FILE TAG N      writes N error lines "TAG <i>" to the log file FILE
//   reap PROGRAM ...    runs PROGRAM with the arguments after it and waits for it and for
//                       every process it leaves behind
//   hold-lock FILE READY  takes the launcher's kind of lock on FILE, creates the file READY
//                       and holds the lock until killed
//   write-loop FILE N   rewrites FILE with the launcher's text writer until N writes
//                       succeeded, alternating AlternateText(0) and AlternateText(1)
#include <cstdlib>
#include <string>

#include "common/GL_Debug.h"
#include "common/GL_File.h"
#include "common/os/os.h"
#include "tests/helpers/AlternateText.h"
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

int HoldLock(const char* file, const char* ready) {
    os::LockHandle lock = os::kNoLock;
    if (os::TryLockExclusive(os::AnsiToWideLossy(file), lock) != 0) return 2;
    if (os::WriteNewFile(os::AnsiToWideLossy(ready), "", 0) != 0) return 3;
    while (true) os::SleepMs(1000);
}

// Windows refuses to replace a file while another process reads it (the launcher's reader
// shares nothing): such a write fails whole and is made again, up to 100 tries a write.
int WriteLoop(const char* file, int count) {
    const std::wstring path = os::AnsiToWideLossy(file);
    for (int done = 0, tries = 0; done < count; ++tries) {
        if (tries == 100 * count) return 4;
        if (GL_FILE_WriteText(path, AlternateText(done % 2), ENC_UTF8_BOM, false)) ++done;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "exit") return argc > 2 ? std::atoi(argv[2]) : 0;
    if (mode == "cmdline" && argc > 2) return WriteCommandLine(argv[2]);
    if (mode == "log" && argc > 4) return WriteLogLines(argv[2], argv[3], std::atoi(argv[4]));
    if (mode == "reap" && argc > 2) return RunAndReap(argv + 2);
    if (mode == "hold-lock" && argc > 3) return HoldLock(argv[2], argv[3]);
    if (mode == "write-loop" && argc > 3) return WriteLoop(argv[2], std::atoi(argv[3]));
    return 0;
}
