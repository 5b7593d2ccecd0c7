// File faults as each platform has them.
#pragma once

#include <cstdint>
#include <filesystem>

namespace telvane::testing {

// The system's words for a folder where a file should be.
extern const char* const kFolderInTheWay;

// Another program's hold on a file, the way the platform's writers keep
// each other out; let go when the object ends.
class THeldFile {
public:
    explicit THeldFile(const std::filesystem::path& file);
    ~THeldFile();
    THeldFile(const THeldFile&) = delete;
    THeldFile& operator=(const THeldFile&) = delete;

    bool Held() const { return Held_; }

private:
    std::intptr_t Handle_ = -1;
    bool Held_ = false;
};

} // namespace telvane::testing
