// What telvaned settles before it starts monitoring: where its files are,
// and whether the settings let it run at all. A fault here is a bad start,
// said in one line, never a monitor that runs without a device.
#pragma once

#include "daemon/DaemonOptions.h"
#include "monitor/Settings.h"
#include "service/Places.h"

#include <filesystem>
#include <memory>
#include <string>

namespace telvane {

// The user's places, or those beside --config; the call log in --log-dir,
// else in $STATE_DIRECTORY, else where the desktop program writes it. With
// --state-dir, what the daemon writes is there: the hook's log, the lock.
TPlaces DaemonPlaces(const TDaemonOptions& options);
// DIR/<settings file's name>.state.
std::filesystem::path StateFile(const TDaemonOptions& options, const TPlaces& places);
// The store of the settings: the file itself, or with --state-dir the file
// only read and the state file beside it written.
std::unique_ptr<ISettingsStore> DaemonStore(const TDaemonOptions& options, const TPlaces& places);

// Why the settings file cannot be read; empty when it can, or when it is
// missing and need not be there (the user's own, not named on the command line).
std::string SettingsFileFault(const std::filesystem::path& file, bool named);
// Why the folder cannot hold the daemon's files; it is made when missing.
std::string StateFolderFault(const std::filesystem::path& folder);
// Why the controls cannot be used to monitor: no device, or a Port or an
// Interval (Shift_JIS, as stored) that means none. Empty when they can.
std::string ControlsFault(const TStoredSettings& controls, bool fixedDevice, const TPlaces& places);
// "COM3 (/dev/ttyUSB0)", or the fixed device; port: Shift_JIS.
std::string DeviceText(const std::string& port, const std::string& fixedDevice);

// The interface's language from the environment as a desktop reads it:
// Japanese for a Japanese or an unset ("C") locale, English for the rest.
bool EnglishFromEnvironment();

} // namespace telvane
