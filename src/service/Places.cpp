#include "service/Places.h"

#include <cstdint>

namespace telvane {

std::string SettingsHash(const std::filesystem::path& settingsFile) {
    // FNV-1a: the same name for the same file in every program and build.
    std::uint64_t hash = 14695981039346656037ULL;
    for (const char c : std::filesystem::absolute(settingsFile).string()) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    }
    static const char kHex[] = "0123456789abcdef";
    std::string text;
    for (int shift = 60; shift >= 0; shift -= 4) {
        text += kHex[(hash >> shift) & 0xF];
    }
    return text;
}

TPlaces PlacesBeside(const std::filesystem::path& settingsFile,
                     const std::filesystem::path& callLogFolder) {
    TPlaces places;
    places.SettingsFile = settingsFile;
    places.ConfigFolder = settingsFile.parent_path() / settingsFile.stem();
    places.PortsFolder = places.ConfigFolder / "ports";
    places.OwnPhonebook = places.ConfigFolder / "phonebook.vcf";
    places.HookLog = places.ConfigFolder / "hook.log";
    places.CallLogFolder = callLogFolder;
    std::filesystem::path lock = settingsFile;
    places.InstanceLock = lock.replace_extension(".instance");
    places.ShowSocket = ShowSocketFor(settingsFile);
    return places;
}

} // namespace telvane
