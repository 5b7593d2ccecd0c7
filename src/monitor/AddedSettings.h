// Settings added beside the seventeen of the monitor, in the same key. Each
// missing value means its default, so a store written by an older Telvane
// reads as before, and nothing here is written unless the user changes it.
#pragma once

#include "monitor/SettingsStore.h"

#include <string>

namespace telvane {

struct TAddedSettings {
    // Region for reading numbers without a country code (ISO 3166 code).
    std::string Region = "JP";
    // The contacts file; empty means phonebook.vcf in the configuration folder.
    std::string Phonebook;
    bool Notify = true;
    bool Tray = false;
    std::string HookCommand;
    std::string MqttUrl;
    // Empty means "telvane/" + the host name.
    std::string MqttTopic;
};

// The texts are UTF-8: paths, commands and addresses may hold characters
// that Shift_JIS lacks.
void LoadAddedSettings(ISettingsStore& store, TAddedSettings& settings);
// Returns false when the key could not be opened or created.
bool SaveAddedSettings(ISettingsStore& store, const TAddedSettings& settings);

} // namespace telvane
