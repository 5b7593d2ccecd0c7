#include "monitor/AddedSettings.h"

#include "monitor/Settings.h"

namespace telvane {
namespace {

void ReadText(const ISettingsStore& store, const char* name, std::string& target) {
    if (store.ValueExists(name)) {
        if (auto value = store.ReadUtf8Text(name)) {
            target = std::move(*value);
        }
    }
}

void ReadFlag(const ISettingsStore& store, const char* name, bool& target) {
    if (store.ValueExists(name)) {
        if (auto value = store.ReadFlag(name)) {
            target = *value;
        }
    }
}

} // namespace

void LoadAddedSettings(ISettingsStore& store, TAddedSettings& settings) {
    if (!store.OpenKey(SettingsKey, false)) {
        return;
    }
    ReadText(store, "Region", settings.Region);
    ReadText(store, "Phonebook", settings.Phonebook);
    ReadFlag(store, "Notify", settings.Notify);
    ReadFlag(store, "Tray", settings.Tray);
    ReadText(store, "HookCommand", settings.HookCommand);
    ReadText(store, "MqttUrl", settings.MqttUrl);
    ReadText(store, "MqttTopic", settings.MqttTopic);
    store.CloseKey();
}

bool SaveAddedSettings(ISettingsStore& store, const TAddedSettings& settings) {
    if (!store.OpenKey(SettingsKey, true)) {
        return false;
    }
    store.WriteUtf8Text("Region", settings.Region);
    store.WriteUtf8Text("Phonebook", settings.Phonebook);
    store.WriteFlag("Notify", settings.Notify);
    store.WriteFlag("Tray", settings.Tray);
    store.WriteUtf8Text("HookCommand", settings.HookCommand);
    store.WriteUtf8Text("MqttUrl", settings.MqttUrl);
    store.WriteUtf8Text("MqttTopic", settings.MqttTopic);
    store.CloseKey();
    return true;
}

} // namespace telvane
