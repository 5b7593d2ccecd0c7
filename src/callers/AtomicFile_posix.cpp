#include "callers/AtomicFile.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <system_error>
#include <unistd.h>

namespace telvane {
namespace {

[[noreturn]] void Fail(int error, const std::string& what) {
    throw std::system_error(error, std::generic_category(), what);
}

void WriteAll(int fd, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            Fail(n < 0 ? errno : EIO, "write");
        }
        done += static_cast<std::size_t>(n);
    }
}

} // namespace

void ReplaceFileAtomically(const std::filesystem::path& file, std::string_view bytes) {
    std::string temporary =
        (file.parent_path() / ("." + file.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        Fail(errno, file.string());
    }
    try {
        WriteAll(fd, bytes);
        // On the disk before the name moves, so a crash cannot leave an
        // empty file under the old name.
        if (::fsync(fd) != 0) {
            Fail(errno, "fsync");
        }
        if (::close(fd) != 0) {
            const int error = errno;
            ::unlink(temporary.c_str());
            Fail(error, "close");
        }
    } catch (...) {
        ::close(fd);
        ::unlink(temporary.c_str());
        throw;
    }
    if (::rename(temporary.c_str(), file.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        Fail(error, file.string());
    }
}

} // namespace telvane
