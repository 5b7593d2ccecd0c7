// Where Telvane keeps every file and folder: one list, so that no part of the
// program writes a path of its own.
#pragma once

#include <filesystem>
#include <string>

namespace telvane {

struct TPlaces {
    // The settings: on Linux this INI file; empty on Windows (the registry).
    std::filesystem::path SettingsFile;
    // Telvane's folder of the user's files: the ports folder, the own
    // phonebook and the hook's log are in it.
    std::filesystem::path ConfigFolder;
    // "COMn" links to serial devices (POSIX).
    std::filesystem::path PortsFolder;
    std::filesystem::path OwnPhonebook;
    std::filesystem::path HookLog;
    // Where RingLog.txt goes: the program's folder when the user may write
    // there, otherwise the user's data folder.
    std::filesystem::path CallLogFolder;
    // The lock that lets one monitor run per settings location, and the
    // socket through which a later start asks for the window (POSIX).
    std::filesystem::path InstanceLock;
    std::filesystem::path ShowSocket;

    std::filesystem::path CallLog() const { return CallLogFolder / "RingLog.txt"; }
};

// The places of the user running the program. Platform file.
TPlaces UserPlaces();

// The places that go with a settings file of one's own: its folders beside
// it, named after it ("/etc/telvane/telvaned.conf" has "/etc/telvane/telvaned/").
TPlaces PlacesBeside(const std::filesystem::path& settingsFile,
                     const std::filesystem::path& callLogFolder);

// A short name for a settings file, the same in every program.
std::string SettingsHash(const std::filesystem::path& settingsFile);
// The socket of a later start's request for the window. Platform file.
std::filesystem::path ShowSocketFor(const std::filesystem::path& settingsFile);

// The running program's executable file. Platform file.
std::filesystem::path ProgramFile();
// This machine's name, for MQTT's topic and device. Platform file.
std::string HostName();

} // namespace telvane
