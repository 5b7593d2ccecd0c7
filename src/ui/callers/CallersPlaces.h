// Where the "who called" feature finds its files.
#pragma once

#include "monitor/ProgramLocation.h"

#include <QString>

#include <filesystem>

namespace telvane {

// The call log the monitor writes. The one place that knows where it is.
std::filesystem::path CallLogPath(const IProgramLocation& location);

// Telvane's configuration folder, beside the settings file:
// $XDG_CONFIG_HOME/Maruvo/Telvane (default ~/.config/...).
QString ConfigFolder();

// Telvane's own contacts file, the only one it ever writes.
QString OwnPhonebookPath();

} // namespace telvane
