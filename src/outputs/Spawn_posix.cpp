#include "outputs/Spawn.h"
#include "outputs/Supervisor_posix.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

extern char** environ;

namespace telvane {
namespace {

class TFd {
public:
    TFd() = default;
    explicit TFd(int fd) : Fd_(fd) {}
    ~TFd() { Close(); }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int Get() const { return Fd_; }
    int Release() { return std::exchange(Fd_, -1); }
    void Reset(int fd) {
        Close();
        Fd_ = fd;
    }
    void Close() {
        if (Fd_ >= 0) {
            close(Fd_);
            Fd_ = -1;
        }
    }

private:
    int Fd_ = -1;
};

// Enough for all a full pipe holds.
constexpr std::size_t ReadSize = 64 * 1024;

// The output pipes of hooks that ended on time while something they started
// in the background still holds the pipe: read and thrown away until that
// work lets go, since closing them would end it with SIGPIPE at its next
// write. One thread for all, started at the first, asleep in poll() between.
class TLeftoverOutputs {
public:
    static TLeftoverOutputs& Instance() {
        static TLeftoverOutputs instance;
        return instance;
    }
    ~TLeftoverOutputs() {
        if (Thread_.joinable()) {
            {
                std::lock_guard lock(Mutex_);
                Stopping_ = true;
            }
            Wake();
            Thread_.join();
        }
    }

    void Adopt(TFd& pipe) {
        std::lock_guard lock(Mutex_);
        if (!Thread_.joinable()) {
            if (!MakeWakePipe()) {
                pipe.Close(); // its writers get SIGPIPE, as before
                return;
            }
            Thread_ = std::thread([this] { Run(); });
        }
        Adopted_.push_back(pipe.Release());
        Wake();
    }

private:
    TLeftoverOutputs() = default;

    bool MakeWakePipe() {
        int ends[2];
        if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
            return false;
        }
        WakeRead_.Reset(ends[0]);
        WakeWrite_.Reset(ends[1]);
        return true;
    }
    void Wake() {
        const char byte = 0;
        while (write(WakeWrite_.Get(), &byte, 1) < 0 && errno == EINTR) {
        }
    }

    void Run() {
        std::vector<int> pipes;
        std::vector<char> buffer(ReadSize);
        for (;;) {
            {
                std::lock_guard lock(Mutex_);
                if (Stopping_) {
                    break;
                }
                pipes.insert(pipes.end(), Adopted_.begin(), Adopted_.end());
                Adopted_.clear();
            }
            std::vector<pollfd> watch{{WakeRead_.Get(), POLLIN, 0}};
            for (int pipe : pipes) {
                watch.push_back({pipe, POLLIN, 0});
            }
            if (poll(watch.data(), watch.size(), -1) < 0 && errno != EINTR) {
                break;
            }
            while (read(WakeRead_.Get(), buffer.data(), buffer.size()) > 0) {
            }
            for (std::size_t i = 1; i < watch.size(); ++i) {
                if (watch[i].revents == 0) {
                    continue;
                }
                const ssize_t length = read(watch[i].fd, buffer.data(), buffer.size());
                if (length == 0 || (length < 0 && errno != EAGAIN && errno != EINTR)) {
                    close(watch[i].fd);
                    pipes.erase(std::find(pipes.begin(), pipes.end(), watch[i].fd));
                }
            }
        }
        for (int pipe : pipes) {
            close(pipe);
        }
    }

    std::mutex Mutex_;
    std::vector<int> Adopted_;
    bool Stopping_ = false;
    TFd WakeRead_;
    TFd WakeWrite_;
    std::thread Thread_;
};

class TPosixChild final : public TChildProcess {
public:
    // supervisor: the process that runs the program (see Supervisor_posix.h);
    // output: the pipe's end the program writes to; control: our end of the
    // supervisor's control socket.
    TPosixChild(pid_t supervisor, int output, int control)
        : Supervisor_(supervisor), Output_(output), Control_(control) {}
    ~TPosixChild() override {
        if (!Status_) {
            Kill();
        }
    }

    std::optional<int> Wait(std::chrono::milliseconds timeout, std::string& output) override {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!Status_) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd watch[2] = {{Control_.Get(), POLLIN, 0}, {Output_.Get(), POLLIN, 0}};
            const int ready =
                poll(watch, 2, static_cast<int>(std::max<long long>(left.count(), 0)));
            if (ready < 0 && errno != EINTR) {
                break;
            }
            if (ready > 0 && watch[0].revents != 0) {
                // The supervisor ends with the program: take what the program
                // left in the pipe, not what its background work writes later.
                if (Output_.Get() >= 0) {
                    Read(output);
                }
                Reap();
                if (Output_.Get() >= 0) {
                    TLeftoverOutputs::Instance().Adopt(Output_);
                }
            } else if (ready > 0 && watch[1].revents != 0) {
                if (Read(output)) {
                    break;
                }
            } else if (left.count() <= 0) {
                break;
            }
        }
        return Status_;
    }

    void Kill() override {
        if (Status_) {
            return;
        }
        // The supervisor ends the program and everything below it, then itself.
        shutdown(Control_.Get(), SHUT_WR);
        Reap();
        Output_.Close();
    }

private:
    // Whether output came; the pipe is closed at its end.
    bool Read(std::string& output) {
        const std::size_t had = output.size();
        output.resize(had + ReadSize);
        ssize_t length;
        do {
            length = read(Output_.Get(), output.data() + had, ReadSize);
        } while (length < 0 && errno == EINTR);
        output.resize(had + static_cast<std::size_t>(std::max<ssize_t>(length, 0)));
        if (length == 0 || (length < 0 && errno != EAGAIN)) {
            Output_.Close();
        }
        return length > 0;
    }

    void Reap() {
        int status = 0;
        pid_t result;
        do {
            result = waitpid(Supervisor_, &status, 0);
        } while (result < 0 && errno == EINTR);
        Status_ = result != Supervisor_ ? 128 + SIGKILL
                  : WIFEXITED(status)   ? WEXITSTATUS(status)
                                        : 128 + WTERMSIG(status);
        Control_.Close();
    }

    const pid_t Supervisor_;
    TFd Output_;
    TFd Control_;
    std::optional<int> Status_;
};

// The files the program may be, in the order a PATH search tries them.
std::vector<std::string> Candidates(const std::string& program) {
    if (program.find('/') != std::string::npos) {
        return {program};
    }
    const char* path = std::getenv("PATH");
    const std::string folders = path != nullptr ? path : "/bin:/usr/bin";
    std::vector<std::string> candidates;
    for (std::size_t start = 0;;) {
        const std::size_t end = folders.find(':', start);
        const std::string folder = folders.substr(start, end - start);
        candidates.push_back((folder.empty() ? "." : folder) + "/" + program);
        if (end == std::string::npos) {
            return candidates;
        }
        start = end + 1;
    }
}

// This process's environment, with the request's values in place of those
// of the same name.
std::vector<std::string> ChildEnvironment(const TSpawnRequest& request) {
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
    return environment;
}

// Both ends close on exec; socket: a socket pair, which both ends can shut.
bool MakePipe(TFd& read, TFd& write, bool socket) {
    int ends[2];
    const bool made = socket ? socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) == 0
                             : pipe2(ends, O_CLOEXEC) == 0;
    if (made) {
        read.Reset(ends[0]);
        write.Reset(ends[1]);
    }
    return made;
}

template <typename T> std::vector<T*> NullEnded(std::vector<std::string>& texts) {
    std::vector<T*> pointers;
    for (std::string& text : texts) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

// The descriptors between us, the supervisor and the program.
struct TSpawnPipes {
    TFd OutputRead, OutputWrite;   // the program's standard output and error
    TFd FailureRead, FailureWrite; // an errno when the program cannot start
    TFd Ours, Theirs;              // the supervisor's control socket

    bool Make() {
        return MakePipe(OutputRead, OutputWrite, false) &&
               MakePipe(FailureRead, FailureWrite, false) && MakePipe(Ours, Theirs, true);
    }
    // After fork only the child holds its ends, so that ours see it end.
    void CloseChildEnds() {
        OutputWrite.Close();
        FailureWrite.Close();
        Theirs.Close();
    }
};

// The errno the supervisor sends when the program could not start; nothing
// when the pipe's end closed at exec.
std::optional<int> StartError(int failureRead) {
    int startError = 0;
    ssize_t length;
    do {
        length = read(failureRead, &startError, sizeof startError);
    } while (length < 0 && errno == EINTR);
    if (length == sizeof startError) {
        return startError;
    }
    return std::nullopt;
}

} // namespace

std::unique_ptr<TChildProcess> SpawnProcess(const TSpawnRequest& request, std::string& error) {
    if (request.Arguments.empty()) {
        error = "no program given";
        return nullptr;
    }
    // Everything the child needs is made here: after fork it may not allocate.
    std::vector<std::string> environment = ChildEnvironment(request);
    std::vector<std::string> arguments = request.Arguments;
    std::vector<std::string> paths = Candidates(arguments[0]);
    const auto envp = NullEnded<char>(environment);
    const auto argv = NullEnded<char>(arguments);
    const auto pathList = NullEnded<const char>(paths);

    TSpawnPipes pipes;
    if (!pipes.Make()) {
        error = std::string("cannot make a pipe: ") + std::strerror(errno);
        return nullptr;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        SuperviseProgram({pathList.data(), argv.data(), envp.data(), pipes.OutputWrite.Get(),
                          pipes.FailureWrite.Get(), pipes.Theirs.Get()});
    }
    const int forkError = errno;
    pipes.CloseChildEnds();
    if (pid < 0) {
        error = std::string("cannot start a process: ") + std::strerror(forkError);
        return nullptr;
    }
    fcntl(pipes.OutputRead.Get(), F_SETFL, O_NONBLOCK);
    auto child =
        std::make_unique<TPosixChild>(pid, pipes.OutputRead.Release(), pipes.Ours.Release());
    if (const auto startError = StartError(pipes.FailureRead.Get())) {
        error = request.Arguments[0] + ": " + std::strerror(*startError);
        return nullptr; // the supervisor is reaped on the way out
    }
    return child;
}

} // namespace telvane
