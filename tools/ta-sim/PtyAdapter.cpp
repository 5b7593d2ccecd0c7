#include "PtyAdapter.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace tasim {
namespace {

const std::string kCommand = "ATV1I4\\L0\\L1\r";
// How long a reply may wait for room in the pseudo-terminal's buffer before
// the adapter gives it up: nobody reads the slave side.
constexpr int kStallMs = 3000;
// The largest burst of the random chunks.
constexpr int kLargestBurst = 48;

[[noreturn]] void Fail(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

std::string LineEnd(TLineEnd end) {
    switch (end) {
    case TLineEnd::LfCr:
        return "\n\r";
    case TLineEnd::Cr:
        return "\r";
    case TLineEnd::CrLf:
        break;
    }
    return "\r\n";
}

// A key of the listing, padded so that the "=" signs line up.
std::string Entry(const std::string& key, const std::string& value) {
    std::string line = key;
    line.resize(std::max<std::size_t>(key.size(), 24), ' ');
    return line + "= " + value;
}

// Stray bytes that an adapter might send while it boots or when the line is
// noisy: zero bytes, bytes of no character set, escape sequences.
const std::string kNoise("\0\0\xfe\xff\x1b[2J\x01 NOISE \x7f\0", 18);
// Lines that look like watched lines but are not: the prefix must stand at
// the very start of the line, in capitals.
const std::string kNearMisses[] = {" RECEIVE CALLING PARTY   = 0000000000",
                                   "receive calling party   = 0000000000"};

std::string BuildReply(TReplyMode mode, const TReplyStyle& style, std::vector<std::string> lines) {
    const std::string end = LineEnd(style.LineEnd);
    std::string reply;
    if (style.Echo) {
        reply += kCommand.substr(0, kCommand.size() - 1) + end;
    }
    if (mode == TReplyMode::Error) {
        return reply + "ERROR" + end;
    }
    if (style.Noise) {
        lines.insert(lines.begin() + 1, kNoise);
        lines.insert(lines.end() - 1, std::begin(kNearMisses), std::end(kNearMisses));
        lines.insert(lines.end() - 1, std::string("LAYER1\0STATUS", 13));
    }
    if (style.RingLines > 0) {
        // Spread over the listing, from the back so that positions hold.
        const std::size_t count = lines.size();
        for (int ring = style.RingLines; ring >= 1; --ring) {
            const std::size_t at = count * static_cast<std::size_t>(ring) /
                                   static_cast<std::size_t>(style.RingLines + 1);
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), "RING");
        }
    }
    for (const std::string& line : lines) {
        reply += line + end;
    }
    if (mode != TReplyMode::NoEndLine) {
        reply += end + "OK" + end;
    }
    return reply;
}

} // namespace

const char* ModeName(TReplyMode mode) {
    switch (mode) {
    case TReplyMode::Listing:
        return "listing";
    case TReplyMode::Error:
        return "error";
    case TReplyMode::Silent:
        return "silent";
    case TReplyMode::NoEndLine:
        return "noend";
    case TReplyMode::HangUp:
        return "hangup";
    }
    return "?";
}

TPtyAdapter::TPtyAdapter() : TPtyAdapter(TEventHandler()) {}

TPtyAdapter::TPtyAdapter(TEventHandler onEvent) : OnEvent_(std::move(onEvent)) {
    if (::pipe2(StopPipe_, O_CLOEXEC) != 0) {
        Fail("pipe2");
    }
    OpenPty();
    if (Master_ < 0) {
        ::close(StopPipe_[0]);
        ::close(StopPipe_[1]);
        Fail("openpty");
    }
    Thread_ = std::thread([this] { Run(); });
}

TPtyAdapter::~TPtyAdapter() {
    const char stop = 's';
    [[maybe_unused]] const auto ignored = ::write(StopPipe_[1], &stop, 1);
    Thread_.join();
    // A link to a pseudo-terminal that no longer exists would only mislead.
    if (!Link_.empty()) {
        std::error_code error;
        if (std::filesystem::read_symlink(Link_, error) == SlavePath_) {
            std::filesystem::remove(Link_, error);
        }
    }
    for (const int fd : {Master_, SlaveKeeper_, StopPipe_[0], StopPipe_[1]}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

void TPtyAdapter::OpenPty() {
    int master = -1;
    int slave = -1;
    char name[128] = {};
    struct termios raw {};
    cfmakeraw(&raw);
    if (::openpty(&master, &slave, name, &raw, nullptr) != 0) {
        Emit(std::string("error openpty: ") + std::strerror(errno));
        return;
    }
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    // Paced output waits in poll(), never in write().
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    {
        std::lock_guard<std::mutex> lock(Mutex_);
        Master_ = master;
        SlaveKeeper_ = slave;
        SlavePath_ = name;
    }
    Emit(std::string("pty ") + name);
}

void TPtyAdapter::Relink() {
    std::filesystem::path link;
    std::string target;
    {
        std::lock_guard<std::mutex> lock(Mutex_);
        link = Link_;
        target = SlavePath_;
    }
    if (link.empty() || target.empty()) {
        return;
    }
    // Replaced in one step, so that the program never finds the link missing.
    std::filesystem::path fresh = link;
    fresh += ".new";
    std::error_code ignored;
    std::filesystem::remove(fresh, ignored);
    std::filesystem::create_symlink(target, fresh);
    std::filesystem::rename(fresh, link);
    Emit("link " + link.filename().string() + " " + link.string() + " -> " + target);
}

void TPtyAdapter::Emit(const std::string& event) const {
    if (OnEvent_) {
        OnEvent_(event);
    }
}

std::string TPtyAdapter::SlavePath() const {
    std::lock_guard<std::mutex> lock(Mutex_);
    return SlavePath_;
}

void TPtyAdapter::LinkAs(const std::filesystem::path& portsFolder, int comNumber) {
    std::filesystem::create_directories(portsFolder);
    {
        std::lock_guard<std::mutex> lock(Mutex_);
        Link_ = portsFolder / ("COM" + std::to_string(comNumber));
    }
    Relink();
}

void TPtyAdapter::Ring(const std::string& number) {
    std::lock_guard<std::mutex> lock(Mutex_);
    Caller_ = number;
    ++Rings_;
}

std::string TPtyAdapter::Caller() const {
    std::lock_guard<std::mutex> lock(Mutex_);
    return Caller_;
}

void TPtyAdapter::SetCalled(const std::string& number) {
    std::lock_guard<std::mutex> lock(Mutex_);
    Called_ = number;
}

void TPtyAdapter::SetIdentity(const std::string& line) {
    std::lock_guard<std::mutex> lock(Mutex_);
    Identity_ = line;
}

void TPtyAdapter::SetMode(TReplyMode mode) {
    std::lock_guard<std::mutex> lock(Mutex_);
    Mode_ = mode;
    Queued_.clear();
}

void TPtyAdapter::QueueMode(TReplyMode mode, int count) {
    std::lock_guard<std::mutex> lock(Mutex_);
    Queued_.insert(Queued_.end(), static_cast<std::size_t>(std::max(count, 0)), mode);
}

void TPtyAdapter::SetStyle(const TReplyStyle& style) {
    std::lock_guard<std::mutex> lock(Mutex_);
    Style_ = style;
}

TReplyStyle TPtyAdapter::Style() const {
    std::lock_guard<std::mutex> lock(Mutex_);
    return Style_;
}

void TPtyAdapter::SetByteDelay(std::chrono::microseconds delay) {
    std::lock_guard<std::mutex> lock(Mutex_);
    ByteDelay_ = delay;
}

void TPtyAdapter::SetSeed(std::uint32_t seed) {
    std::lock_guard<std::mutex> lock(Mutex_);
    Random_.seed(seed);
}

std::vector<std::string> TPtyAdapter::ListingLines() const {
    return {Identity_,
            "",
            Entry("DATA PORT", "0 (IDLE)"),
            Entry("DIAGNOSIS DATA PORT", "NORMAL"),
            Entry("ANALOG A PORT", "IDLE"),
            Entry("DIAGNOSIS ANALOG A PORT", "NORMAL"),
            Entry("ANALOG B PORT", "IDLE"),
            Entry("DIAGNOSIS ANALOG B PORT", "NORMAL"),
            Entry("ANALOG C PORT", "NOT INSTALLED"),
            Entry("DIAGNOSIS ANALOG C PORT", "NORMAL"),
            Entry("LAYER1 STATUS", "ACTIVE"),
            Entry("INCOMING CALL COUNT", std::to_string(Rings_)),
            Entry("RECEIVE CALLED PARTY", Called_),
            Entry("RECEIVE CALLING PARTY", Caller_)};
}

std::string TPtyAdapter::Listing() const {
    std::lock_guard<std::mutex> lock(Mutex_);
    std::string listing;
    for (const std::string& line : ListingLines()) {
        listing += line + "\r\n";
    }
    return listing;
}

int TPtyAdapter::Commands() const {
    std::lock_guard<std::mutex> lock(Mutex_);
    return Commands_;
}

bool TPtyAdapter::WaitForCommands(int count, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(Mutex_);
    return Changed_.wait_for(lock, timeout, [&] { return Commands_ >= count; });
}

std::string TPtyAdapter::Received() const {
    std::lock_guard<std::mutex> lock(Mutex_);
    return Received_;
}

int TPtyAdapter::Replies() const {
    std::lock_guard<std::mutex> lock(Mutex_);
    return Replies_;
}

int TPtyAdapter::HangUps() const {
    std::lock_guard<std::mutex> lock(Mutex_);
    return HangUps_;
}

bool TPtyAdapter::Pause(std::chrono::microseconds time) const {
    pollfd stop = {StopPipe_[0], POLLIN, 0};
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(time);
    const timespec span = {static_cast<time_t>(seconds.count()),
                           static_cast<long>((time - seconds).count() * 1000)};
    int result;
    while ((result = ::ppoll(&stop, 1, &span, nullptr)) < 0 && errno == EINTR) {
    }
    return result == 0;
}

void TPtyAdapter::Run() {
    char buffer[256];
    for (;;) {
        // Only this thread replaces the master side, so it reads it unlocked.
        pollfd fds[2] = {{StopPipe_[0], POLLIN, 0}, {Master_, POLLIN, 0}};
        const nfds_t count = Master_ >= 0 ? 2 : 1;
        if (::poll(fds, count, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if (fds[0].revents != 0) {
            return;
        }
        if (count < 2 || fds[1].revents == 0) {
            continue;
        }
        const ssize_t n = ::read(Master_, buffer, sizeof buffer);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            continue;
        }
        if (n <= 0) {
            // The slave side is held open here, so this should not happen;
            // were it to, polling the dead side again would spin.
            HangUpNow(Commands());
            continue;
        }
        std::vector<int> commands;
        {
            std::lock_guard<std::mutex> lock(Mutex_);
            Received_.append(buffer, static_cast<std::size_t>(n));
            Pending_.append(buffer, static_cast<std::size_t>(n));
            for (auto at = Pending_.find(kCommand); at != std::string::npos;
                 at = Pending_.find(kCommand)) {
                Pending_.erase(0, at + kCommand.size());
                commands.push_back(++Commands_);
            }
            if (Pending_.size() > 4096) {
                Pending_.erase(0, Pending_.size() - kCommand.size());
            }
        }
        Changed_.notify_all();
        for (const int command : commands) {
            Emit("command " + std::to_string(command));
            if (!Answer(command)) {
                return;
            }
        }
    }
}

bool TPtyAdapter::Answer(int command) {
    TReplyMode mode;
    std::string reply;
    {
        std::lock_guard<std::mutex> lock(Mutex_);
        mode = Mode_;
        if (!Queued_.empty()) {
            mode = Queued_.front();
            Queued_.pop_front();
        }
        reply = BuildReply(mode, Style_, ListingLines());
    }
    const std::string number = std::to_string(command);
    Emit("reply " + number + " " + ModeName(mode));
    if (mode == TReplyMode::Silent) {
        return true;
    }
    if (mode == TReplyMode::HangUp) {
        // Cut off in the middle, before the calling-party line.
        const TSendResult half = Send(reply.substr(0, reply.size() / 2));
        if (half.How == TSent::Stopped) {
            return false;
        }
        HangUpNow(command);
        return true;
    }
    const TSendResult sent = Send(reply);
    if (sent.How == TSent::Whole) {
        std::lock_guard<std::mutex> lock(Mutex_);
        ++Replies_;
    }
    switch (sent.How) {
    case TSent::Whole:
        Emit("sent " + number + " " + std::to_string(sent.Bytes) + " bytes");
        break;
    case TSent::Stopped:
        return false;
    case TSent::Stalled:
        Emit("stalled " + number + " after " + std::to_string(sent.Bytes) + " bytes");
        break;
    case TSent::Failed:
        Emit("failed " + number + " after " + std::to_string(sent.Bytes) +
             " bytes: " + std::strerror(sent.Error));
        break;
    }
    return true;
}

TPtyAdapter::TSendResult TPtyAdapter::Send(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        std::chrono::microseconds delay;
        std::size_t step = bytes.size() - done;
        {
            std::lock_guard<std::mutex> lock(Mutex_);
            delay = ByteDelay_;
            if (Style_.Bursts) {
                std::uniform_int_distribution<std::size_t> size(1, kLargestBurst);
                step = std::min(step, size(Random_));
            } else if (delay.count() > 0) {
                step = 1;
            }
        }
        pollfd fds[2] = {{StopPipe_[0], POLLIN, 0}, {Master_, POLLOUT, 0}};
        const int ready = ::poll(fds, 2, kStallMs);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return {TSent::Failed, done, errno};
        }
        if (fds[0].revents != 0) {
            return {TSent::Stopped, done, 0};
        }
        if (ready == 0) {
            return {TSent::Stalled, done, 0};
        }
        const ssize_t n = ::write(Master_, bytes.data() + done, step);
        if (n < 0) {
            if (errno == EAGAIN || errno == EINTR) {
                continue;
            }
            return {TSent::Failed, done, errno};
        }
        done += static_cast<std::size_t>(n);
        if (delay.count() > 0 && done < bytes.size() && !Pause(delay * n)) {
            return {TSent::Stopped, done, 0};
        }
    }
    return {TSent::Whole, done, 0};
}

void TPtyAdapter::HangUpNow(int command) {
    {
        std::lock_guard<std::mutex> lock(Mutex_);
        ::close(Master_);
        ::close(SlaveKeeper_);
        Master_ = -1;
        SlaveKeeper_ = -1;
        Pending_.clear();
        ++HangUps_;
    }
    Emit("hangup " + std::to_string(command));
    // Back on a new line, so that the next query can reach the adapter.
    OpenPty();
    try {
        Relink();
    } catch (const std::exception& error) {
        Emit(std::string("error relink: ") + error.what());
    }
}

} // namespace tasim
