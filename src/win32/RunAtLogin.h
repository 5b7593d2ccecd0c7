// Starting Telvane at logon: the value "Telvane" under
// HKCU\Software\Microsoft\Windows\CurrentVersion\Run names the program.
#pragma once

#include <filesystem>

namespace telvane::win32 {

bool RunAtLogin();
// Writes or removes the value; throws std::runtime_error when that fails.
void SetRunAtLogin(bool enabled, const std::filesystem::path& program);

} // namespace telvane::win32
