// Appending to the call log with POSIX file calls: the file is locked for
// writing while the line goes in, and every failure carries its errno.
#include "monitor/CallLog.h"

#include "monitor/MonitorError.h"
#include "monitor/Texts.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace telvane {
namespace {

constexpr off_t kCtrlZWindow = 128;
constexpr char kCtrlZ = 26;

class TLogFileWriter {
public:
    TLogFileWriter(const std::filesystem::path& file, std::string displayName)
        : DisplayName_(std::move(displayName)) {
        do {
            Fd_ = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        } while (Fd_ < 0 && errno == EINTR);
        if (Fd_ < 0) {
            Fail(errno);
        }
    }

    ~TLogFileWriter() {
        if (Fd_ >= 0) {
            ::close(Fd_);
        }
    }

    TLogFileWriter(const TLogFileWriter&) = delete;
    TLogFileWriter& operator=(const TLogFileWriter&) = delete;

    // Others may go on reading the file, but no other writer may hold it.
    void LockForWriting() {
        int result;
        do {
            result = ::flock(Fd_, LOCK_EX | LOCK_NB);
        } while (result != 0 && errno == EINTR);
        if (result != 0) {
            Fail(errno);
        }
    }

    // Cuts the file at the first Ctrl-Z of its last 128 bytes; returns the
    // file's end afterwards.
    off_t CutAtEndOfFileMark() {
        struct stat status {};
        if (::fstat(Fd_, &status) != 0) {
            Fail(errno);
        }
        const off_t size = status.st_size;
        const off_t tailStart = size - std::min(size, kCtrlZWindow);
        char tail[kCtrlZWindow];
        const auto tailLength = static_cast<std::size_t>(size - tailStart);
        std::size_t got = 0;
        while (got < tailLength) {
            const ssize_t n =
                ::pread(Fd_, tail + got, tailLength - got, tailStart + static_cast<off_t>(got));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                Fail(errno);
            }
            if (n == 0) {
                break;
            }
            got += static_cast<std::size_t>(n);
        }
        const char* mark = std::find(tail, tail + got, kCtrlZ);
        if (mark == tail + got) {
            return size;
        }
        const off_t cut = tailStart + (mark - tail);
        if (::ftruncate(Fd_, cut) != 0) {
            Fail(errno);
        }
        return cut;
    }

    // Writes the whole line or, when the disk is full or the write fails,
    // cuts the file back to where the line began: no part of a line stays
    // for the next line to be joined to.
    void WriteAt(off_t position, const std::string& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::pwrite(Fd_, bytes.data() + done, bytes.size() - done,
                                       position + static_cast<off_t>(done));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                const int error = n < 0 ? errno : EIO;
                [[maybe_unused]] const int ignored = ::ftruncate(Fd_, position);
                Fail(error);
            }
            done += static_cast<std::size_t>(n);
        }
    }

    void Close() {
        const int fd = Fd_;
        Fd_ = -1;
        // The descriptor is gone after close even when it reports an error,
        // so close is not retried.
        if (::close(fd) != 0 && errno != EINTR) {
            Fail(errno);
        }
    }

private:
    [[noreturn]] void Fail(int error) const {
        throw EMonitorError(std::string(texts::kRingLogBefore) + DisplayName_ +
                            texts::kRingLogAfter + " (" + std::generic_category().message(error) +
                            ")");
    }

    std::string DisplayName_;
    int Fd_ = -1;
};

} // namespace

void AppendRingLogText(const std::filesystem::path& file, const std::string& displayName,
                       const std::string& lines) {
    TLogFileWriter writer(file, displayName);
    writer.LockForWriting();
    const off_t end = writer.CutAtEndOfFileMark();
    writer.WriteAt(end, lines);
    writer.Close();
}

} // namespace telvane
