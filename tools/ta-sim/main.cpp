// ta-sim: an ISDN terminal adapter played on a pseudo-terminal, so that
// Telvane can be tried and tested without the device and without a line.
//
// It links COMn in Telvane's ports folder to the pseudo-terminal, answers
// every query with a diagnosis listing, takes control commands from stdin, a
// FIFO or a scenario file, and prints one line per event to stdout.
#include "Control.h"
#include "PtyAdapter.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <poll.h>
#include <pthread.h>
#include <random>
#include <stdexcept>
#include <string>
#include <sys/inotify.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

const char* const kUsage =
    "Usage: ta-sim [options]\n"
    "Plays an ISDN terminal adapter on a pseudo-terminal.\n"
    "\n"
    "  --link COMn           point COMn in the ports folder at the pseudo-terminal\n"
    "  --ports-folder DIR    the ports folder (default $XDG_CONFIG_HOME/Maruvo/Telvane/ports,\n"
    "                        or ~/.config/Maruvo/Telvane/ports)\n"
    "  --caller TEXT         the first calling-party text (default BUFFER EMPTY)\n"
    "  --identity aterm|ins|TEXT\n"
    "  --byte-delay MS       time per byte (default 1, like a 9600 bit/s line; 0: at once)\n"
    "  --bursts              random chunks instead of an even byte rate\n"
    "  --no-echo             do not echo the command line\n"
    "  --eol crlf|lfcr|cr    line ends (default crlf)\n"
    "  --ring-lines N        N unsolicited RING lines in every reply\n"
    "  --noise               lines of stray and zero bytes in every reply\n"
    "  --ring-every SECONDS  a made-up caller every SECONDS\n"
    "  --control FIFO        read control commands from FIFO (made if missing)\n"
    "  --script FILE         run the control commands of FILE first\n"
    "  --no-stdin            do not read control commands from stdin\n"
    "  --watch FILE          report every change of FILE's size (e.g. the call log)\n"
    "  --clock local|epoch   event times as local time of day (default) or as\n"
    "                        seconds since 1970 with microseconds\n"
    "  --seed N              repeatable made-up numbers and bursts\n"
    "  --help\n"
    "\n";

// Prints event lines, each with its time, whole and at once.
class TEventLog {
public:
    explicit TEventLog(bool epoch) : Epoch_(epoch) {}

    void Print(const std::string& event) {
        const auto now = std::chrono::system_clock::now();
        const long long micros =
            std::chrono::duration_cast<std::chrono::microseconds>(now.time_since_epoch()).count();
        char stamp[64];
        if (Epoch_) {
            std::snprintf(stamp, sizeof stamp, "%lld.%06lld", micros / 1000000, micros % 1000000);
        } else {
            const std::time_t seconds = static_cast<std::time_t>(micros / 1000000);
            std::tm local{};
            ::localtime_r(&seconds, &local);
            char clock[16];
            std::strftime(clock, sizeof clock, "%H:%M:%S", &local);
            std::snprintf(stamp, sizeof stamp, "%s.%03lld", clock, (micros / 1000) % 1000);
        }
        std::lock_guard<std::mutex> lock(Mutex_);
        std::fprintf(stdout, "%s %s\n", stamp, Printable(event).c_str());
        std::fflush(stdout);
    }

private:
    // Control bytes of a caller's text are shown, not sent to the terminal.
    static std::string Printable(const std::string& text) {
        std::string shown;
        for (const char c : text) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte < 0x20 || byte == 0x7f) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
                shown += escaped;
            } else {
                shown += c;
            }
        }
        return shown;
    }

    bool Epoch_;
    std::mutex Mutex_;
};

// Lines from one descriptor, as they complete.
class TLineSource {
public:
    explicit TLineSource(int fd) : Fd(fd) {}
    // Reads what is there; false at end of input.
    bool Read(std::vector<std::string>& lines) {
        char buffer[1024];
        const ssize_t n = ::read(Fd, buffer, sizeof buffer);
        if (n < 0) {
            return errno == EAGAIN || errno == EINTR;
        }
        if (n == 0) {
            return false;
        }
        Partial_.append(buffer, static_cast<std::size_t>(n));
        for (auto end = Partial_.find('\n'); end != std::string::npos; end = Partial_.find('\n')) {
            std::string line = Partial_.substr(0, end);
            Partial_.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            lines.push_back(line);
        }
        return true;
    }
    int Fd;

private:
    std::string Partial_;
};

std::string DefaultPortsFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (config && config[0] == '/') {
        base = config;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home ? home : "") + "/.config";
    }
    return base + "/Maruvo/Telvane/ports";
}

struct TOptions {
    std::optional<int> Link;
    std::string PortsFolder;
    std::string ControlFifo;
    std::string Script;
    std::string Watch;
    bool Stdin = true;
    bool Epoch = false;
    std::uint32_t Seed = std::random_device()();
    double ByteDelayMs = 1;
    // Options that are control commands run before anything else.
    std::vector<std::string> Commands;
};

[[noreturn]] void Usage(const std::string& problem) {
    std::fprintf(stderr, "ta-sim: %s\n\n%s%s", problem.c_str(), kUsage, tasim::TControl::Help());
    std::exit(2);
}

// Options that are control commands; the value of one that takes a value
// follows the command's word.
struct TCommandOption {
    const char* Option;
    const char* Command;
    bool TakesValue;
};

constexpr TCommandOption kCommandOptions[] = {
    {"--caller", "caller", true},     {"--identity", "identity", true},
    {"--bursts", "bursts on", false}, {"--no-echo", "echo off", false},
    {"--eol", "eol", true},           {"--ring-lines", "ringlines", true},
    {"--noise", "noise on", false},   {"--ring-every", "ring-every", true},
};

const TCommandOption* FindCommandOption(const std::string& option) {
    for (const TCommandOption& known : kCommandOptions) {
        if (option == known.Option) {
            return &known;
        }
    }
    return nullptr;
}

int LinkNumber(const std::string& name) {
    char* end = nullptr;
    const long number = name.size() > 3 && name.compare(0, 3, "COM") == 0
                            ? std::strtol(name.c_str() + 3, &end, 10)
                            : -1;
    if (number < 0 || number > 255 || !end || *end != '\0') {
        Usage("--link takes a name COM0 to COM255, not " + name);
    }
    return static_cast<int>(number);
}

double ByteDelayMs(const std::string& delay) {
    char* end = nullptr;
    const double milliseconds = std::strtod(delay.c_str(), &end);
    if (!end || *end != '\0' || milliseconds < 0) {
        Usage("--byte-delay takes milliseconds, not " + delay);
    }
    return milliseconds;
}

// Whether --clock asks for seconds since 1970.
bool EpochClock(const std::string& clock) {
    if (clock != "local" && clock != "epoch") {
        Usage("--clock takes local or epoch");
    }
    return clock == "epoch";
}

TOptions ParseOptions(int argc, char** argv) {
    TOptions options;
    options.PortsFolder = DefaultPortsFolder();
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        const auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                Usage(option + " needs a value");
            }
            return argv[++i];
        };
        if (option == "--help" || option == "-h") {
            std::printf("%s%s", kUsage, tasim::TControl::Help());
            std::exit(0);
        } else if (const TCommandOption* command = FindCommandOption(option)) {
            options.Commands.push_back(command->TakesValue
                                           ? std::string(command->Command) + " " + value()
                                           : std::string(command->Command));
        } else if (option == "--link") {
            options.Link = LinkNumber(value());
        } else if (option == "--ports-folder") {
            options.PortsFolder = value();
        } else if (option == "--byte-delay") {
            options.ByteDelayMs = ByteDelayMs(value());
        } else if (option == "--control") {
            options.ControlFifo = value();
        } else if (option == "--script") {
            options.Script = value();
        } else if (option == "--no-stdin") {
            options.Stdin = false;
        } else if (option == "--watch") {
            options.Watch = value();
        } else if (option == "--clock") {
            options.Epoch = EpochClock(value());
        } else if (option == "--seed") {
            options.Seed = static_cast<std::uint32_t>(std::strtoul(value().c_str(), nullptr, 10));
        } else {
            Usage("unknown option " + option);
        }
    }
    return options;
}

// Reports size changes of one file, which need not exist yet.
class TFileWatch {
public:
    explicit TFileWatch(const std::string& path) : Path_(path) {
        const auto slash = path.rfind('/');
        const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
        Name_ = slash == std::string::npos ? path : path.substr(slash + 1);
        Fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (Fd < 0 || ::inotify_add_watch(Fd, folder.c_str(),
                                          IN_MODIFY | IN_CREATE | IN_MOVED_TO | IN_DELETE |
                                              IN_CLOSE_WRITE) < 0) {
            throw std::runtime_error("cannot watch " + folder + ": " + std::strerror(errno));
        }
        Size_ = CurrentSize();
    }
    ~TFileWatch() { ::close(Fd); }
    TFileWatch(const TFileWatch&) = delete;
    TFileWatch& operator=(const TFileWatch&) = delete;

    // Reads the pending notifications; the new size if it changed.
    std::optional<long long> Changed() {
        alignas(inotify_event) char buffer[4096];
        bool ours = false;
        ssize_t n;
        while ((n = ::read(Fd, buffer, sizeof buffer)) > 0) {
            for (char* at = buffer; at < buffer + n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(at);
                if (event->len > 0 && Name_ == event->name) {
                    ours = true;
                }
                at += sizeof(inotify_event) + event->len;
            }
        }
        const long long size = CurrentSize();
        if (!ours || size == Size_) {
            return std::nullopt;
        }
        Size_ = size;
        return size;
    }
    const std::string& Path() const { return Path_; }
    int Fd = -1;

private:
    long long CurrentSize() const {
        struct stat info {};
        return ::stat(Path_.c_str(), &info) == 0 ? static_cast<long long>(info.st_size) : -1;
    }
    std::string Path_;
    std::string Name_;
    long long Size_ = -1;
};

// Signals end the main loop through a descriptor; every thread blocks them.
// The descriptor, or -1.
int BlockEndSignals() {
    sigset_t endSignals;
    sigemptyset(&endSignals);
    for (const int number : {SIGINT, SIGTERM, SIGHUP}) {
        sigaddset(&endSignals, number);
    }
    ::pthread_sigmask(SIG_BLOCK, &endSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    return ::signalfd(-1, &endSignals, SFD_CLOEXEC | SFD_NONBLOCK);
}

// Where control commands come from, and what the FIFO leaves to undo.
struct TControlInputs {
    std::vector<TLineSource> Sources;
    bool MadeFifo = false;
    int FifoWriter = -1;
};

// Opens the control FIFO, making it if missing; false after saying why not.
bool OpenControlFifo(const std::string& path, TControlInputs& inputs) {
    if (::mkfifo(path.c_str(), 0600) == 0) {
        inputs.MadeFifo = true;
    } else if (errno != EEXIST) {
        std::fprintf(stderr, "ta-sim: cannot make %s: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    const int reader = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    // A writer of our own keeps the FIFO from reporting an end whenever a
    // client closes it.
    inputs.FifoWriter = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (reader < 0 || inputs.FifoWriter < 0) {
        std::fprintf(stderr, "ta-sim: cannot open %s: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    inputs.Sources.emplace_back(reader);
    return true;
}

void CloseControlFifo(const std::string& path, const TControlInputs& inputs) {
    if (inputs.MadeFifo) {
        ::unlink(path.c_str());
    }
    if (inputs.FifoWriter >= 0) {
        ::close(inputs.FifoWriter);
    }
}

// The commands of the options, then those of the script; false after saying
// that the script cannot be read.
bool AddStartCommands(const TOptions& options, tasim::TControl& control) {
    for (const std::string& command : options.Commands) {
        control.Add(command);
    }
    if (options.Script.empty()) {
        return true;
    }
    std::ifstream script(options.Script);
    if (!script) {
        std::fprintf(stderr, "ta-sim: cannot read %s\n", options.Script.c_str());
        return false;
    }
    for (std::string line; std::getline(script, line);) {
        control.Add(line);
    }
    return true;
}

// The descriptors the main loop waits on besides the control sources, in
// the order of its poll list.
struct TLoopDescriptors {
    int Signals;
    int Wake;
    TFileWatch* Watch;
};

std::vector<pollfd> PollList(const TLoopDescriptors& descriptors,
                             const std::vector<TLineSource>& sources) {
    std::vector<pollfd> fds = {{descriptors.Signals, POLLIN, 0}, {descriptors.Wake, POLLIN, 0}};
    if (descriptors.Watch) {
        fds.push_back({descriptors.Watch->Fd, POLLIN, 0});
    }
    for (const TLineSource& source : sources) {
        fds.push_back({source.Fd, POLLIN, 0});
    }
    return fds;
}

// Until the control's next timed command, or for ever.
int PollTimeout(const tasim::TControl& control) {
    const auto deadline = control.NextDeadline();
    if (!deadline) {
        return -1;
    }
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(*deadline - tasim::TControl::TClock::now());
    return static_cast<int>(std::max<long long>(0, left.count()));
}

void DrainWake(int wake) {
    char drain[64];
    while (::read(wake, drain, sizeof drain) > 0) {
    }
}

// Hands the lines of the sources that are ready to the control; `ready` are
// their poll entries, in the same order.
void ReadSources(const pollfd* ready, std::vector<TLineSource>& sources, tasim::TControl& control) {
    for (std::size_t i = sources.size(); i-- > 0;) {
        if (ready[i].revents == 0) {
            continue;
        }
        std::vector<std::string> lines;
        const bool open = sources[i].Read(lines);
        for (const std::string& line : lines) {
            control.Add(line);
        }
        if (!open) {
            // Stdin ended: the adapter goes on; FIFO clients come and go.
            sources.erase(sources.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
}

// Runs the control's commands and waits for more until quit, a signal or a
// failing poll.
void RunMainLoop(tasim::TControl& control, TEventLog& log, const TLoopDescriptors& descriptors,
                 std::vector<TLineSource>& sources) {
    while (true) {
        control.Run();
        if (control.QuitRequested()) {
            return;
        }
        std::vector<pollfd> fds = PollList(descriptors, sources);
        if (::poll(fds.data(), fds.size(), PollTimeout(control)) < 0) {
            if (errno == EINTR) {
                continue;
            }
            std::perror("ta-sim: poll");
            return;
        }
        if (fds[0].revents != 0) {
            signalfd_siginfo info{};
            [[maybe_unused]] const auto ignored = ::read(descriptors.Signals, &info, sizeof info);
            log.Print("signal " + std::to_string(info.ssi_signo));
            return;
        }
        if (fds[1].revents != 0) {
            DrainWake(descriptors.Wake);
        }
        TFileWatch* const watch = descriptors.Watch;
        if (watch && fds[2].revents != 0) {
            if (const auto size = watch->Changed()) {
                log.Print("watch " + watch->Path() + " " + std::to_string(*size) + " bytes");
            }
        }
        ReadSources(fds.data() + (fds.size() - sources.size()), sources, control);
    }
}

// Runs the adapter until quit or a signal; the adapter, and with it the
// COMn link, is gone when this returns.
int Simulate(const TOptions& options, TEventLog& log) {
    const int signals = BlockEndSignals();
    // Adapter events wake the main loop, so that "wait-commands" can go on.
    int wake[2];
    if (signals < 0 || ::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::perror("ta-sim");
        return 1;
    }
    tasim::TPtyAdapter adapter([&](const std::string& event) {
        log.Print(event);
        [[maybe_unused]] const auto ignored = ::write(wake[1], "e", 1);
    });
    adapter.SetSeed(options.Seed);
    adapter.SetByteDelay(
        std::chrono::microseconds(static_cast<long long>(options.ByteDelayMs * 1000)));
    tasim::TControl control(
        adapter, [&](const std::string& line) { log.Print(line); }, options.Seed);

    if (options.Link) {
        adapter.LinkAs(options.PortsFolder, *options.Link);
    }

    TControlInputs inputs;
    if (options.Stdin) {
        inputs.Sources.emplace_back(STDIN_FILENO);
    }
    if (!options.ControlFifo.empty() && !OpenControlFifo(options.ControlFifo, inputs)) {
        return 1;
    }
    std::unique_ptr<TFileWatch> watch;
    if (!options.Watch.empty()) {
        watch = std::make_unique<TFileWatch>(options.Watch);
    }
    if (!AddStartCommands(options, control)) {
        return 1;
    }
    log.Print("ready");

    RunMainLoop(control, log, {signals, wake[0], watch.get()}, inputs.Sources);
    CloseControlFifo(options.ControlFifo, inputs);
    return 0;
}

int Main(int argc, char** argv) {
    const TOptions options = ParseOptions(argc, argv);
    TEventLog log(options.Epoch);
    const int status = Simulate(options, log);
    log.Print("bye");
    return status;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return Main(argc, argv);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "ta-sim: %s\n", error.what());
        return 1;
    }
}
