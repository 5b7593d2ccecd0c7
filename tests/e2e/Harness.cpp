#include "Harness.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string_view>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace e2e {
namespace fs = std::filesystem;

namespace {

[[noreturn]] void Fail(const std::string& what) {
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

template <typename Done> bool WaitUntil(Done&& done, TDuration timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) {
            return false;
        }
        std::this_thread::sleep_for(25ms);
    }
    return true;
}

// A value of the settings file as the settings store writes it: quoted when
// it has blanks at its ends or separators, with backslash escapes. The
// program writes texts beyond ASCII as UTF-8, never as \x escapes.
std::string DecodeValue(const std::string& raw) {
    static const std::string_view escaped = "nrt0";
    std::string value;
    bool quoted = false;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        char c = raw[i];
        if (c == '"') {
            quoted = !quoted;
        } else if (c == '\\' && i + 1 < raw.size()) {
            c = raw[++i];
            const auto at = escaped.find(c);
            value += at == std::string_view::npos ? c : "\n\r\t\0"[at];
        } else if (quoted || (c != ' ' && c != '\t') || !value.empty()) {
            value += c;
        }
    }
    return value;
}

std::string Quoted(const std::string& value) {
    std::string quoted = "\"";
    for (const char c : value) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
        }
        quoted += c;
    }
    return quoted + "\"";
}

} // namespace

// ---------------------------------------------------------------------------

TChild::TChild(const TOptions& options) {
    // Everything the child needs is made before fork: after it, only calls
    // that are safe in a copy of a threaded process.
    std::vector<std::string> variables;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        if (options.Environment.count(text.substr(0, text.find('='))) == 0) {
            variables.push_back(text);
        }
    }
    for (const auto& [name, value] : options.Environment) {
        variables.push_back(name + "=" + value);
    }
    std::vector<std::string> arguments = options.Arguments;
    std::vector<char*> envp;
    std::vector<char*> argv;
    for (auto [from, to] : {std::pair{&variables, &envp}, std::pair{&arguments, &argv}}) {
        for (std::string& text : *from) {
            to->push_back(text.data());
        }
        to->push_back(nullptr);
    }

    int in[2] = {-1, -1};
    int out[2] = {-1, -1};
    if ((options.PipeStdin && ::pipe2(in, O_CLOEXEC) != 0) ||
        (options.PipeStdout && ::pipe2(out, O_CLOEXEC) != 0)) {
        Fail("pipe2");
    }
    int errors = -1;
    if (!options.StderrFile.empty()) {
        errors =
            ::open(options.StderrFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (errors < 0) {
            Fail("open " + options.StderrFile.string());
        }
    }
    const pid_t parent = ::getpid();
    Pid_ = ::fork();
    if (Pid_ < 0) {
        Fail("fork");
    }
    if (Pid_ == 0) {
        // A test that dies takes its programs with it.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) {
            ::_exit(126);
        }
        if (in[0] >= 0) {
            ::dup2(in[0], STDIN_FILENO);
        } else {
            const int none = ::open("/dev/null", O_RDONLY);
            ::dup2(none, STDIN_FILENO);
        }
        if (out[1] >= 0) {
            ::dup2(out[1], STDOUT_FILENO);
        }
        if (errors >= 0) {
            ::dup2(errors, STDERR_FILENO);
        }
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    for (const int fd : {in[0], out[1], errors}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    Stdin_ = in[1];
    Stdout_ = out[0];
}

TChild::~TChild() {
    if (Running()) {
        ::kill(Pid_, SIGKILL);
        ::waitpid(Pid_, nullptr, 0);
    }
    for (const int fd : {Stdin_, Stdout_}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

void TChild::Signal(int number) const {
    ::kill(Pid_, number);
}

std::optional<int> TChild::Wait(TDuration timeout) {
    WaitUntil([this] { return !Running(); }, timeout);
    return Status_;
}

bool TChild::Running() {
    if (Status_) {
        return false;
    }
    int status = 0;
    if (::waitpid(Pid_, &status, WNOHANG) == Pid_) {
        Status_ = status;
        return false;
    }
    return true;
}

TDuration TChild::CpuTime() const {
    std::ifstream stat("/proc/" + std::to_string(Pid_) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // The fields after the program's name, which may hold blanks, in brackets.
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    unsigned long long ticks = 0;
    for (int number = 3; number <= 15 && fields >> field; ++number) {
        if (number == 14 || number == 15) {
            ticks += std::stoull(field);
        }
    }
    return TDuration(ticks * 1000 / static_cast<unsigned long long>(::sysconf(_SC_CLK_TCK)));
}

std::string DescribeStatus(std::optional<int> status) {
    if (!status) {
        return "still running";
    }
    if (WIFEXITED(*status)) {
        return "exit status " + std::to_string(WEXITSTATUS(*status));
    }
    if (WIFSIGNALED(*status)) {
        return std::string("killed by ") + ::strsignal(WTERMSIG(*status));
    }
    return "wait status " + std::to_string(*status);
}

bool EndedCleanly(std::optional<int> status) {
    return status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0;
}

// ---------------------------------------------------------------------------

TTaSim::TTaSim(const fs::path& configHome, const fs::path& folder,
               std::vector<std::string> options) {
    TChild::TOptions child;
    child.Arguments = {TASIM_EXE, "--link", "COM1", "--seed", "7"};
    child.Arguments.insert(child.Arguments.end(), options.begin(), options.end());
    child.Environment = {{"XDG_CONFIG_HOME", configHome.string()}};
    child.PipeStdin = true;
    child.PipeStdout = true;
    child.StderrFile = folder / "ta-sim.err";
    Child_ = std::make_unique<TChild>(child);
    Reader_ = std::thread([this] { ReadEvents(); });
    if (!WaitForEvent("ready")) {
        Child_->Signal(SIGKILL);
        Child_->Wait(kPatience);
        Reader_.join();
        throw std::runtime_error("ta-sim did not start: " + ReadFile(folder / "ta-sim.err"));
    }
}

TTaSim::~TTaSim() {
    Send("quit");
    if (!Child_->Wait(10s)) {
        Child_->Signal(SIGKILL);
        Child_->Wait(10s);
    }
    Reader_.join();
}

void TTaSim::ReadEvents() {
    std::string partial;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(Child_->StdoutFd(), buffer, sizeof buffer)) != 0) {
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        partial.append(buffer, static_cast<std::size_t>(n));
        std::lock_guard<std::mutex> lock(Mutex_);
        for (auto end = partial.find('\n'); end != std::string::npos; end = partial.find('\n')) {
            // Without the time at the start of the line.
            const std::string line = partial.substr(0, end);
            partial.erase(0, end + 1);
            const auto blank = line.find(' ');
            Events_.push_back(blank == std::string::npos ? line : line.substr(blank + 1));
            Commands_ += Events_.back().rfind("command ", 0) == 0 ? 1 : 0;
            Sent_ += Events_.back().rfind("sent ", 0) == 0 ? 1 : 0;
        }
        Changed_.notify_all();
    }
}

void TTaSim::Send(const std::string& line) {
    const std::string text = line + "\n";
    if (Child_->StdinFd() >= 0) {
        [[maybe_unused]] const auto ignored = ::write(Child_->StdinFd(), text.data(), text.size());
    }
}

std::optional<std::string> TTaSim::WaitFor(const std::function<bool(const std::string&)>& test,
                                           TDuration timeout) {
    std::unique_lock<std::mutex> lock(Mutex_);
    std::size_t checked = 0;
    std::optional<std::string> found;
    Changed_.wait_for(lock, timeout, [&] {
        for (; checked < Events_.size(); ++checked) {
            if (test(Events_[checked])) {
                found = Events_[checked];
                return true;
            }
        }
        return false;
    });
    return found;
}

bool TTaSim::WaitForEvent(const std::string& start, TDuration timeout) {
    return WaitFor([&](const std::string& event) { return event.rfind(start, 0) == 0; }, timeout)
        .has_value();
}

int TTaSim::Commands() const {
    std::lock_guard<std::mutex> lock(Mutex_);
    return Commands_;
}

int TTaSim::Sent() const {
    std::lock_guard<std::mutex> lock(Mutex_);
    return Sent_;
}

bool TTaSim::WaitForCommands(int count, TDuration timeout) {
    std::unique_lock<std::mutex> lock(Mutex_);
    return Changed_.wait_for(lock, timeout, [&] { return Commands_ >= count; });
}

bool TTaSim::WaitForSent(int count, TDuration timeout) {
    std::unique_lock<std::mutex> lock(Mutex_);
    return Changed_.wait_for(lock, timeout, [&] { return Sent_ >= count; });
}

std::vector<std::string> TTaSim::Events() const {
    std::lock_guard<std::mutex> lock(Mutex_);
    return Events_;
}

// ---------------------------------------------------------------------------

TTelvane::TTelvane(const fs::path& configHome, const fs::path& folder)
    : ConfigHome_(configHome), Folder_(folder), Program_(folder / "bin" / "telvane"),
      CallLog_(folder / "bin" / "RingLog.txt"), Settings_(configHome / "Maruvo" / "Telvane.conf") {
    fs::create_directories(Program_.parent_path());
    fs::create_directories(folder / "runtime");
    fs::permissions(folder / "runtime", fs::perms::owner_all);
    fs::copy_file(TELVANE_EXE, Program_, fs::copy_options::overwrite_existing);
}

void TTelvane::Start() {
    TChild::TOptions child;
    child.Arguments = {Program_.string()};
    child.Environment = {{"XDG_CONFIG_HOME", ConfigHome_.string()},
                         {"XDG_RUNTIME_DIR", (Folder_ / "runtime").string()},
                         {"QT_QPA_PLATFORM", "offscreen"}};
    child.Environment.insert(Environment_.begin(), Environment_.end());
    child.StderrFile = Folder_ / "telvane.err";
    Child_ = std::make_unique<TChild>(child);
}

bool TTelvane::WaitUntilReady(TDuration timeout) {
    const std::string status = "/proc/" + std::to_string(Child_->Pid()) + "/status";
    return WaitUntil(
        [&] {
            std::ifstream file(status);
            for (std::string line; std::getline(file, line);) {
                if (line.rfind("SigCgt:", 0) == 0) {
                    const unsigned long long caught = std::stoull(line.substr(7), nullptr, 16);
                    return (caught & (1ULL << (SIGTERM - 1))) != 0;
                }
            }
            return false;
        },
        timeout);
}

std::optional<int> TTelvane::Stop(int signalNumber) {
    Child_->Signal(signalNumber);
    const std::optional<int> status = Child_->Wait(kPatience);
    Child_.reset();
    return status;
}

std::string TTelvane::Stderr() const {
    return ReadFile(Folder_ / "telvane.err");
}

// ---------------------------------------------------------------------------

void WriteSettings(const fs::path& file, const TSettings& values) {
    fs::create_directories(file.parent_path());
    std::string text = "[1.0]\n";
    for (const auto& [name, value] : values) {
        const bool integer =
            !value.empty() && value.find_first_not_of("0123456789") == std::string::npos;
        text += name + "=" + (integer ? value : Quoted(value)) + "\n";
    }
    std::ofstream(file, std::ios::binary) << text;
}

std::optional<TSettings> ReadSettings(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::optional<TSettings> settings;
    bool inSection = false;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty() && line[0] == '[') {
            inSection = line == "[1.0]";
            if (inSection && !settings) {
                settings.emplace();
            }
            continue;
        }
        const auto equals = line.find('=');
        if (inSection && equals != std::string::npos) {
            std::string name = line.substr(0, equals);
            name.erase(name.find_last_not_of(' ') + 1);
            (*settings)[name] = DecodeValue(line.substr(equals + 1));
        }
    }
    return settings;
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

std::vector<std::string> LogLines(const fs::path& file) {
    std::istringstream bytes(ReadFile(file));
    std::vector<std::string> lines;
    for (std::string line; std::getline(bytes, line);) {
        lines.push_back(bytes.eof() ? line : line + "\n");
    }
    return lines;
}

bool WaitForLogLines(const fs::path& file, std::size_t count, TDuration timeout) {
    return WaitUntil([&] { return LogLines(file).size() >= count; }, timeout);
}

std::vector<std::string> Fields(std::string line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.pop_back();
    }
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (auto comma = line.find(','); comma != std::string::npos; comma = line.find(',', start)) {
        fields.push_back(line.substr(start, comma - start));
        start = comma + 1;
    }
    fields.push_back(line.substr(start));
    return fields;
}

bool IsTimeText(const std::string& text) {
    static const std::regex form(R"(\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2})");
    return std::regex_match(text, form);
}

} // namespace e2e
