// Where the call log lives. The program's own folder is the place, as long
// as the user may write there: a portable copy, a build folder. An installed
// program sits in a system folder the user cannot write, so its log goes to
// the user's data folder instead, in the same format.
#pragma once

#include <filesystem>

namespace telvane {

// The folder for RingLog.txt: programFolder when the user may write there,
// otherwise UserDataFolder(); programFolder as well when there is no user
// data folder to fall back to (the write then fails with a clear message).
std::filesystem::path CallLogFolder(const std::filesystem::path& programFolder);

// Platform facts, one file per platform.
bool FolderWritable(const std::filesystem::path& folder);
// The program's folder among the user's data ($XDG_DATA_HOME/Maruvo/Telvane,
// by default ~/.local/share/Maruvo/Telvane); empty when none is known.
std::filesystem::path UserDataFolder();

} // namespace telvane
