// Settings added beside the seventeen of the monitor, in the same key. Each
// missing value means its default, so a store written by an older Telvane
// reads as before, and nothing here is written unless the user changes it.
#pragma once

#include "monitor/SettingsStore.h"

#include <string>
#include <string_view>
#include <vector>

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
    // Another Telvane to follow over MQTT instead of polling the adapter:
    // mqtt://broker/<its base topic>. Empty: poll.
    std::string Follow;
};

// Two upper-case ASCII letters, and not ZZ (the code for "unknown region").
bool IsRegionCode(std::string_view text);

// Reads the settings; a value that is missing or not understood gives its
// default. Returns a line for each value not understood, such as
// `Region "jp" is not understood; JP is used`. The texts are UTF-8: paths,
// commands and addresses may hold characters that Shift_JIS lacks.
std::vector<std::string> LoadAddedSettings(ISettingsStore& store, TAddedSettings& settings);

// Writes the values that differ from those loaded, and only those: a value
// the user wrote that was not understood stays as written until the user
// changes it. Returns false when they could not be kept.
bool SaveAddedSettings(ISettingsStore& store, const TAddedSettings& loaded,
                       const TAddedSettings& settings);

} // namespace telvane
