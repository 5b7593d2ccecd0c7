// Replacing a file so that readers see the old or the new contents, never
// part of either: the bytes go to a temporary file in the same folder, which
// then takes the file's name. Platform files: _posix, _win32.
#pragma once

#include <filesystem>
#include <string_view>

namespace telvane {

// Throws std::system_error when the file cannot be written or replaced; the
// old file then stays as it was and no temporary file is left.
void ReplaceFileAtomically(const std::filesystem::path& file, std::string_view bytes);

} // namespace telvane
