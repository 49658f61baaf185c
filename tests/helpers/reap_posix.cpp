// As the first process of a PID namespace, this process inherits every orphan in it: it
// waits for all of them.
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "tests/helpers/reap.h"

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
