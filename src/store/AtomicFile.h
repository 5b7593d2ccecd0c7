// Replacing a file so that readers see the old or the new contents, never
// part of either: the bytes go to a temporary file in the same folder, which
// then takes the file's name. Platform files: _posix, _win32.
#pragma once

#include <filesystem>
#include <string_view>

namespace telvane {

// Who may read a file that did not exist before. A file that exists keeps
// its permissions (one made private because it holds a password stays so).
enum class TNewFileAccess {
    OwnerOnly,
    // As the user's umask allows, like any file a program creates.
    Default,
};

// Throws std::system_error when the file cannot be written or replaced; the
// old file then stays as it was and no temporary file is left.
void ReplaceFileAtomically(const std::filesystem::path& file, std::string_view bytes,
                           TNewFileAccess access = TNewFileAccess::OwnerOnly);

} // namespace telvane
