#include "store/StoreFile.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace telvane::detail {

std::filesystem::path ConfigHome() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') {
        return config;
    }
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0') {
        return std::filesystem::path(home) / ".config";
    }
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found) {
        return std::filesystem::path(found->pw_dir) / ".config";
    }
    return std::filesystem::path("/tmp") / ".config";
}

TFileContents ReadStoreFile(const std::filesystem::path& file) {
    TFileContents contents;
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        contents.Exists = errno != ENOENT && errno != ENOTDIR;
        if (!contents.Exists) {
            contents.Bytes.emplace();
        }
        return contents;
    }
    contents.Exists = true;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return contents;
    }
    std::string bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            ::close(fd);
            return contents;
        }
        if (n == 0) {
            break;
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    contents.Bytes = std::move(bytes);
    return contents;
}

bool PrepareToWrite(const std::filesystem::path& file) {
    std::error_code error;
    std::filesystem::create_directories(file.parent_path(), error);
    if (error) {
        return false;
    }
    struct stat info {};
    if (::stat(file.c_str(), &info) == 0) {
        return S_ISREG(info.st_mode) && ::access(file.c_str(), R_OK | W_OK) == 0;
    }
    return errno == ENOENT && ::access(file.parent_path().c_str(), W_OK | X_OK) == 0;
}

} // namespace telvane::detail
