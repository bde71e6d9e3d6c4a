#include "platform/desktop_open.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

namespace tsunagi {

namespace {

// The status the watching process passes on: the opener's own, or 0 when it is still running.
[[noreturn]] void watch(const std::string& opener, const std::string& target,
                        int waitMilliseconds) {
    pid_t child = fork();
    if (child < 0) _exit(126);
    if (child == 0) {
        int devnull = open("/dev/null", O_RDWR);
        if (devnull >= 0) {
            dup2(devnull, STDIN_FILENO);
            dup2(devnull, STDOUT_FILENO);
            dup2(devnull, STDERR_FILENO);
        }
        execlp(opener.c_str(), opener.c_str(), target.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    for (int waited = 0; waited < waitMilliseconds; waited += 20) {
        int status = 0;
        pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child) _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 125);
        timespec pause{0, 20 * 1000 * 1000};
        nanosleep(&pause, nullptr);
    }
    // Still running: it has started what it was asked to start. It is left to finish on its own,
    // adopted by init, so nothing waits on it.
    _exit(0);
}

}  // namespace

bool openWithDesktopProgram(const std::string& opener, const std::string& target,
                            int waitMilliseconds) {
    pid_t watcher = fork();
    if (watcher < 0) return false;
    if (watcher == 0) watch(opener, target, waitMilliseconds);
    int status = 0;
    while (waitpid(watcher, &status, 0) < 0)
        if (errno != EINTR) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace tsunagi
