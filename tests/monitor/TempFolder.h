// A fresh folder under the system's temporary folder, removed afterwards.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace telvane::testing {

class TTempFolder {
public:
    // create_directory makes only a folder that was not there.
    TTempFolder() {
        std::random_device random;
        do {
            Path_ =
                std::filesystem::temp_directory_path() / ("telvane-" + std::to_string(random()));
        } while (!std::filesystem::create_directory(Path_));
    }
    ~TTempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(Path_, ignored);
    }
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;

    const std::filesystem::path& Path() const { return Path_; }

private:
    std::filesystem::path Path_;
};

inline std::string ReadFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Whether the whole of bytes was written.
inline bool WriteFile(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << bytes;
    out.close();
    return !out.fail();
}

} // namespace telvane::testing
