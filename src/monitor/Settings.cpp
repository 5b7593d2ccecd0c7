#include "monitor/Settings.h"

namespace telvane {
namespace {

void ReadText(const ISettingsStore& store, const std::string& name, std::string& target) {
    if (store.ValueExists(name)) {
        if (auto value = store.ReadText(name)) {
            target = std::move(*value);
        }
    }
}

void ReadFlag(const ISettingsStore& store, const std::string& name, bool& target) {
    if (store.ValueExists(name)) {
        if (auto value = store.ReadFlag(name)) {
            target = *value;
        }
    }
}

} // namespace

std::string MagicValueName(std::size_t slot) {
    return "Magic" + std::to_string(slot);
}

void LoadSettings(ISettingsStore& store, TStoredSettings& settings) {
    if (!store.OpenKey(SettingsKey, false)) {
        return;
    }
    ReadText(store, "Port", settings.Port);
    ReadText(store, "Interval", settings.Interval);
    ReadText(store, "DateTime", settings.DateTime);
    ReadText(store, "LastDateTime", settings.LastDateTime);
    ReadFlag(store, "LogRing", settings.LogRing);
    for (std::size_t slot = 0; slot < kSlotCount; ++slot) {
        ReadText(store, MagicValueName(slot), settings.Magic[slot]);
    }
    ReadFlag(store, "Dream", settings.Dream);
    store.CloseKey();
}

bool SaveSettings(ISettingsStore& store, const TStoredSettings& settings) {
    if (!store.OpenKey(SettingsKey, true)) {
        return false;
    }
    store.WriteText("Port", settings.Port);
    store.WriteText("Interval", settings.Interval);
    store.WriteText("DateTime", settings.DateTime);
    store.WriteText("LastDateTime", settings.LastDateTime);
    for (std::size_t slot = 0; slot < kSlotCount; ++slot) {
        store.WriteText(MagicValueName(slot), settings.Magic[slot]);
    }
    store.WriteFlag("Dream", settings.Dream);
    store.WriteFlag("LogRing", settings.LogRing);
    store.CloseKey();
    return !store.CloseFailed();
}

} // namespace telvane
