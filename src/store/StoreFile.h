// The store's file on the platform (_posix).
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace telvane::detail {

// The user's configuration folder ($XDG_CONFIG_HOME, else ~/.config).
std::filesystem::path ConfigHome();

struct TFileContents {
    // Whether the file is there at all; a missing file reads as empty.
    bool Exists = false;
    // Empty when the file is there but cannot be read.
    std::optional<std::string> Bytes;
};
TFileContents ReadStoreFile(const std::filesystem::path& file);

// Whether the file can be created or replaced; creates its folder.
bool PrepareToWrite(const std::filesystem::path& file);

} // namespace telvane::detail
