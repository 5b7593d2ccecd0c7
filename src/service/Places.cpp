#include "service/Places.h"

namespace telvane {

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
    return places;
}

} // namespace telvane
