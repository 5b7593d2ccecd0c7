#include "outputs/Supervisor_posix.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <linux/close_range.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <sys/wait.h>
#include <unistd.h>

namespace telvane {
namespace {

void DefaultSignals() {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    for (int signal = 1; signal < NSIG; ++signal) {
        sigaction(signal, &action, nullptr); // refused for KILL, STOP and the C library's own
    }
}

[[noreturn]] void Fail(int failure, int error) {
    while (write(failure, &error, sizeof error) < 0 && errno == EINTR) {
    }
    _exit(127);
}

int ExitCode(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// dup2 onto itself would leave close-on-exec set.
void Redirect(int fd, int target) {
    if (fd == target) {
        fcntl(target, F_SETFD, 0);
    } else {
        dup2(fd, target);
    }
}

[[noreturn]] void RunProgram(const TSupervisedProgram& program) {
    setpgid(0, 0);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    Redirect(program.Output, 1);
    Redirect(program.Output, 2);
    const int input = open("/dev/null", O_RDONLY);
    if (input > 0) {
        dup2(input, 0);
        close(input);
    }
    // The program gets standard input, output and error only; the failure
    // pipe stays open until exec succeeds.
    close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
    int error = ENOENT;
    for (const char* const* path = program.Paths; *path != nullptr; ++path) {
        execve(*path, program.Arguments, program.Environment);
        // As a PATH search does: a file found but not runnable is the reason.
        if (errno != ENOENT && errno != ENOTDIR) {
            error = errno;
        }
    }
    Fail(program.Failure, error);
}

// Closes every descriptor from 3 up but keep and keepToo.
void CloseAllBut(int keep, int keepToo) {
    const unsigned low = static_cast<unsigned>(keep < keepToo ? keep : keepToo);
    const unsigned high = static_cast<unsigned>(keep < keepToo ? keepToo : keep);
    if (low > 3) {
        close_range(3, low - 1, 0);
    }
    if (high > low + 1) {
        close_range(low + 1, high - 1, 0);
    }
    close_range(high + 1, ~0U, 0);
}

// Kills every child of this process. It has one thread, which is also the one
// orphans below it are given to. False when the children cannot be listed.
bool KillChildren() {
    const int list = open("/proc/thread-self/children", O_RDONLY | O_CLOEXEC);
    if (list < 0) {
        return false;
    }
    char text[256];
    pid_t pid = 0;
    for (;;) {
        const ssize_t length = read(list, text, sizeof text);
        if (length < 0 && errno == EINTR) {
            continue;
        }
        if (length <= 0) {
            break;
        }
        for (ssize_t i = 0; i < length; ++i) {
            if (text[i] >= '0' && text[i] <= '9') {
                pid = pid * 10 + (text[i] - '0');
            } else {
                if (pid > 0) {
                    kill(pid, SIGKILL);
                }
                pid = 0;
            }
        }
    }
    if (pid > 0) {
        kill(pid, SIGKILL);
    }
    close(list);
    return true;
}

// Killing our children hands theirs to us before we reap them, so the tree
// empties from the top until nothing is left to wait for.
[[noreturn]] void EndEverything(pid_t program) {
    kill(-program, SIGKILL);
    for (;;) {
        if (!KillChildren()) {
            // No list of children (a kernel without it): what left the
            // program's group goes to init.
            _exit(137);
        }
        if (waitpid(-1, nullptr, 0) < 0 && errno == ECHILD) {
            _exit(137);
        }
    }
}

} // namespace

void SuperviseProgram(const TSupervisedProgram& program) {
    DefaultSignals();
    setpgid(0, 0);
    sigset_t childEnded;
    sigemptyset(&childEnded);
    sigaddset(&childEnded, SIGCHLD);
    sigprocmask(SIG_SETMASK, &childEnded, nullptr);
    const int ended = signalfd(-1, &childEnded, SFD_CLOEXEC | SFD_NONBLOCK);
    if (ended < 0 || prctl(PR_SET_CHILD_SUBREAPER, 1) != 0) {
        Fail(program.Failure, errno);
    }
    const pid_t pid = fork();
    if (pid == 0) {
        RunProgram(program);
    }
    if (pid < 0) {
        Fail(program.Failure, errno);
    }
    CloseAllBut(program.Control, ended);
    pollfd watch[2] = {{program.Control, POLLIN, 0}, {ended, POLLIN, 0}};
    for (;;) {
        if (poll(watch, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            EndEverything(pid); // cannot watch it any more
        }
        if (watch[1].revents != 0) {
            signalfd_siginfo info;
            while (read(ended, &info, sizeof info) > 0) {
            }
            // Orphans given to us end here too: reap them all, not only ours.
            int status = 0;
            for (pid_t done; (done = waitpid(-1, &status, WNOHANG)) > 0;) {
                if (done == pid) {
                    _exit(ExitCode(status));
                }
            }
        }
        if (watch[0].revents != 0) {
            EndEverything(pid);
        }
    }
}

} // namespace telvane
