// Child program for tests: behaviour chosen by its first argument.
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

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

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "exit") return argc > 2 ? std::atoi(argv[2]) : 0;
    if (argc > 2 && std::string(argv[1]) == "reap") return RunAndReap(argv + 2);
    return 0;
}
