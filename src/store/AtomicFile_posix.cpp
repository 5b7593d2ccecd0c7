#include "store/AtomicFile.h"

#include <cerrno>
#include <fcntl.h>
#include <random>
#include <string>
#include <sys/stat.h>
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

// A new file beside the target, created with the given mode (less umask).
int CreateTemporary(const std::filesystem::path& file, mode_t mode, std::string& name) {
    std::random_device seed;
    std::mt19937 random(seed());
    const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string suffix(6, 'x');
        for (char& c : suffix) {
            c = letters[random() % (sizeof letters - 1)];
        }
        name = (file.parent_path() / ("." + file.filename().string() + "." + suffix)).string();
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    errno = EEXIST;
    return -1;
}

// Makes the folder's entry for the new file last as well.
void SyncFolder(const std::filesystem::path& folder) {
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

void ReplaceFileAtomically(const std::filesystem::path& file, std::string_view bytes,
                           TNewFileAccess access) {
    struct stat old {};
    const bool exists = ::stat(file.c_str(), &old) == 0;
    const mode_t mode = access == TNewFileAccess::OwnerOnly ? 0600 : 0666;
    std::string temporary;
    const int fd = CreateTemporary(file, mode, temporary);
    if (fd < 0) {
        Fail(errno, file.string());
    }
    bool closed = false;
    try {
        if (exists && ::fchmod(fd, old.st_mode & 07777) != 0) {
            Fail(errno, "fchmod");
        }
        WriteAll(fd, bytes);
        // On the disk before the name moves, so a crash cannot leave an
        // empty file under the old name.
        if (::fsync(fd) != 0) {
            Fail(errno, "fsync");
        }
        closed = true;
        if (::close(fd) != 0) {
            Fail(errno, "close");
        }
    } catch (...) {
        if (!closed) {
            ::close(fd);
        }
        ::unlink(temporary.c_str());
        throw;
    }
    if (::rename(temporary.c_str(), file.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        Fail(error, file.string());
    }
    SyncFolder(file.parent_path());
}

} // namespace telvane
