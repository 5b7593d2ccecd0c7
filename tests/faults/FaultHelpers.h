// What the fault tests need to break things on purpose: temporary folders,
// files that even root cannot change, a tiny file system that fills up, and
// counts of the descriptors and threads this process holds.
//
// The tests run as root, which file permissions do not stop; the immutable
// attribute and a full file system do.
#pragma once

#include "TempFolder.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <linux/fs.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <thread>
#include <unistd.h>

namespace telvane::faults {

// Temporary folders and whole-file reads and writes, shared with the other
// test suites.
using testing::ReadFile;
using testing::TTempFolder;
using testing::WriteFile;

// Sets the immutable attribute of a file or folder for its lifetime: nothing
// in it can be created, renamed, removed or written, not even by root.
class TImmutable {
public:
    explicit TImmutable(const std::filesystem::path& path) : Path_(path) { Set(true); }
    ~TImmutable() {
        if (Applied_) {
            Set(false);
        }
    }
    TImmutable(const TImmutable&) = delete;
    TImmutable& operator=(const TImmutable&) = delete;

    // False when the file system or the process's rights do not allow it.
    bool Applied() const { return Applied_; }
    const std::string& Error() const { return Error_; }

private:
    void Set(bool on) {
        const int fd = ::open(Path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            Error_ = std::strerror(errno);
            return;
        }
        int flags = 0;
        if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
            if (::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0) {
                Applied_ = on;
            } else {
                Error_ = std::strerror(errno);
            }
        } else {
            Error_ = std::strerror(errno);
        }
        ::close(fd);
    }

    std::filesystem::path Path_;
    bool Applied_ = false;
    std::string Error_;
};

// A tmpfs of a few pages mounted on a folder for its lifetime, so that
// writes fail for want of space.
class TSmallDisk {
public:
    TSmallDisk(const std::filesystem::path& folder, const char* size) : Folder_(folder) {
        std::filesystem::create_directories(Folder_);
        const std::string options = std::string("size=") + size + ",mode=0755";
        if (::mount("telvane-faults", Folder_.c_str(), "tmpfs", 0, options.c_str()) == 0) {
            Mounted_ = true;
        } else {
            Error_ = std::strerror(errno);
        }
    }
    ~TSmallDisk() {
        if (Mounted_) {
            ::umount2(Folder_.c_str(), MNT_DETACH);
        }
    }
    TSmallDisk(const TSmallDisk&) = delete;
    TSmallDisk& operator=(const TSmallDisk&) = delete;

    bool Mounted() const { return Mounted_; }
    const std::string& Error() const { return Error_; }

    // Fills what is left with one file; returns whether the disk is now full.
    bool Fill(const std::filesystem::path& filler) const {
        const int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0) {
            return false;
        }
        const std::string block(512, 'f');
        int error = 0;
        for (;;) {
            const ssize_t n = ::write(fd, block.data(), block.size());
            if (n < 0) {
                error = errno;
                break;
            }
            if (n == 0) {
                break;
            }
        }
        // What is left of the last page.
        while (::write(fd, "f", 1) == 1) {
        }
        ::close(fd);
        return error == ENOSPC;
    }

private:
    std::filesystem::path Folder_;
    bool Mounted_ = false;
    std::string Error_;
};

// Waits until a file has at least the given size; false when the patience
// runs out first.
inline bool WaitForFileSize(const std::filesystem::path& file, std::uintmax_t size,
                            std::chrono::milliseconds patience) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    for (;;) {
        std::error_code error;
        const std::uintmax_t now = std::filesystem::file_size(file, error);
        if (!error && now >= size) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

inline std::uintmax_t FileSize(const std::filesystem::path& file) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    return error ? 0 : size;
}

// Entries of a /proc folder: /proc/self/fd (descriptors), /proc/self/task
// (threads).
inline std::size_t CountEntries(const char* folder) {
    std::size_t count = 0;
    if (DIR* dir = ::opendir(folder)) {
        while (const dirent* entry = ::readdir(dir)) {
            count += entry->d_name[0] != '.' ? 1 : 0;
        }
        ::closedir(dir);
    }
    // The descriptor of the open folder itself.
    return std::string(folder) == "/proc/self/fd" ? count - 1 : count;
}

} // namespace telvane::faults
