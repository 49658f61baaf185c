// Child program for tests: behaviour chosen by its first argument.
//   exit <code>                   ends with that exit code
//   reap <program> <args...>      runs the program, then waits for every orphan it leaves
//   hold-lock <file> <ready>      takes the launcher's kind of lock on file, creates the file
//                                 ready and holds the lock until killed
//   write-loop <file> <count>     rewrites file count times with the launcher's text writer,
//                                 alternating AlternateText(0) and AlternateText(1)
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "common/GL_File.h"
#include "common/os/os.h"
#include "tests/helpers/AlternateText.h"

namespace {

// Runs argv[0..] and waits until it and every process handed to this one has ended: as the
// first process of a PID namespace, this process inherits every orphan in it. The result is
// the program's exit code.
int RunAndReap(char** argv) {
    const pid_t child = fork();
    if (child < 0) return 127;
    if (child == 0) {
        execv(argv[0], argv);
        _exit(127);
    }
    int code = 127;
    while (true) {
        int status = 0;
        const pid_t done = wait(&status);
        if (done < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (done == child) code = WIFEXITED(status) ? WEXITSTATUS(status) : 128;
    }
    return code;
}

int HoldLock(const char* file, const char* ready) {
    os::LockHandle lock = os::kNoLock;
    if (os::TryLockExclusive(os::Utf8ToWideLossy(file), lock) != 0) return 2;
    if (os::WriteNewFile(os::Utf8ToWideLossy(ready), "", 0) != 0) return 3;
    while (true) os::SleepMs(1000);
}

int WriteLoop(const char* file, int count) {
    const std::wstring path = os::Utf8ToWideLossy(file);
    for (int i = 0; i < count; ++i)
        if (!GL_FILE_WriteText(path, AlternateText(i % 2), ENC_UTF8_BOM, false)) return 4;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "exit") return argc > 2 ? std::atoi(argv[2]) : 0;
    if (mode == "reap" && argc > 2) return RunAndReap(argv + 2);
    if (mode == "hold-lock" && argc > 3) return HoldLock(argv[2], argv[3]);
    if (mode == "write-loop" && argc > 3) return WriteLoop(argv[2], std::atoi(argv[3]));
    return 0;
}
