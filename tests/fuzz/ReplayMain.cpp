// The main of a fuzz target built without libFuzzer: runs the target once on
// every file of the folders (or files) named on the command line, so that a
// normal build, and its sanitizers, replay the kept corpus. A folder without
// any input fails: a corpus that went missing must not pass unnoticed.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

std::vector<std::uint8_t> ReadInput(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in),
                                     std::istreambuf_iterator<char>());
}

int Run(const std::filesystem::path& file) {
    const std::vector<std::uint8_t> input = ReadInput(file);
    std::fprintf(stderr, "replay %s (%zu bytes)\n", file.c_str(), input.size());
    // A copy of exactly the input's size, so that a read past its end is seen
    // by the address sanitizer.
    std::vector<std::uint8_t> exact(input);
    return LLVMFuzzerTestOneInput(exact.data(), exact.size());
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s CORPUS-FOLDER-OR-FILE...\n", argv[0]);
        return 2;
    }
    std::size_t replayed = 0;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path path = argv[i];
        std::error_code error;
        if (std::filesystem::is_directory(path, error)) {
            std::vector<std::filesystem::path> files;
            for (const auto& entry : std::filesystem::directory_iterator(path)) {
                if (entry.is_regular_file()) {
                    files.push_back(entry.path());
                }
            }
            std::sort(files.begin(), files.end());
            for (const auto& file : files) {
                Run(file);
                ++replayed;
            }
        } else if (std::filesystem::is_regular_file(path, error)) {
            Run(path);
            ++replayed;
        } else {
            std::fprintf(stderr, "%s: no such folder or file\n", path.c_str());
            return 2;
        }
    }
    std::fprintf(stderr, "%zu inputs replayed\n", replayed);
    return replayed > 0 ? 0 : 1;
}
