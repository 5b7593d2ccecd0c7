#include "outputs/Platform.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace telvane {
namespace {

class TPosixChild final : public TChildProcess {
public:
    explicit TPosixChild(pid_t pid) : Pid_(pid) {
#ifdef SYS_pidfd_open
        PidFd_ = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
#endif
    }
    ~TPosixChild() override {
        if (!Status_) {
            Kill();
        }
        if (PidFd_ >= 0) {
            close(PidFd_);
        }
    }

    std::optional<int> Wait(std::chrono::milliseconds timeout) override {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!Status_ && !Reap(false)) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                break;
            }
            if (PidFd_ >= 0) {
                // Sleeps until the child ends, without polling.
                pollfd entry{PidFd_, POLLIN, 0};
                poll(&entry, 1, static_cast<int>(left.count()));
            } else {
                std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(10)));
            }
        }
        return Status_;
    }

    void Kill() override {
        if (Status_) {
            return;
        }
        // The child leads its own process group: end the programs it started too.
        ::kill(-Pid_, SIGKILL);
        ::kill(Pid_, SIGKILL);
        Reap(true);
    }

private:
    bool Reap(bool block) {
        int status = 0;
        pid_t result;
        do {
            result = waitpid(Pid_, &status, block ? 0 : WNOHANG);
        } while (result < 0 && errno == EINTR);
        if (result != Pid_) {
            return false;
        }
        Status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return true;
    }

    pid_t Pid_;
    int PidFd_ = -1;
    std::optional<int> Status_;
};

} // namespace

void LocalTime(std::time_t instant, std::tm& local) {
    localtime_r(&instant, &local);
}

std::unique_ptr<TChildProcess> SpawnProcess(const TSpawnRequest& request, std::string& error) {
    if (request.Arguments.empty()) {
        error = "no program given";
        return nullptr;
    }
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        bool replaced = false;
        for (const auto& [name, value] : request.Environment) {
            replaced = replaced || text.compare(0, name.size() + 1, name + "=") == 0;
        }
        if (!replaced) {
            environment.push_back(text);
        }
    }
    for (const auto& [name, value] : request.Environment) {
        environment.push_back(name + "=" + value);
    }
    std::vector<char*> envp;
    for (std::string& entry : environment) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);
    std::vector<std::string> arguments = request.Arguments;
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    const int output =
        open(request.OutputFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (output < 0) {
        error = request.OutputFile + ": " + std::strerror(errno);
        return nullptr;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, output, 1);
    posix_spawn_file_actions_adddup2(&actions, output, 2);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setpgroup(&attributes, 0);
    // The window's process may block or ignore signals; the hook starts clean.
    sigset_t none;
    sigemptyset(&none);
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                              POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    const int result = posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close(output);
    if (result != 0) {
        error = request.Arguments[0] + ": " + std::strerror(result);
        return nullptr;
    }
    return std::make_unique<TPosixChild>(pid);
}

} // namespace telvane
