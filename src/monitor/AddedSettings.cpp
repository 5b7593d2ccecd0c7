#include "monitor/AddedSettings.h"

#include "monitor/Settings.h"
#include "monitor/Utf8.h"

namespace telvane {
namespace {

struct TTextSetting {
    const char* Name;
    std::string TAddedSettings::*Member;
};

struct TFlagSetting {
    const char* Name;
    bool TAddedSettings::*Member;
};

constexpr TTextSetting kTexts[] = {
    {"Region", &TAddedSettings::Region},           {"Phonebook", &TAddedSettings::Phonebook},
    {"HookCommand", &TAddedSettings::HookCommand}, {"MqttUrl", &TAddedSettings::MqttUrl},
    {"MqttTopic", &TAddedSettings::MqttTopic},     {"Follow", &TAddedSettings::Follow},
};

constexpr TFlagSetting kFlags[] = {
    {"Notify", &TAddedSettings::Notify},
    {"Tray", &TAddedSettings::Tray},
};

// A value as a message shows it: quoted, on one line, not too long.
std::string Shown(const std::string& value) {
    constexpr std::size_t kLongest = 60;
    std::string shown;
    std::size_t count = 0;
    for (std::size_t i = 0; i < value.size();) {
        if (++count > kLongest) {
            shown += "...";
            break;
        }
        const char32_t c = NextCodePoint(value, i);
        AppendUtf8(shown, c < 0x20 || c == 0x7F ? U'?' : c);
    }
    return "\"" + shown + "\"";
}

std::string NotUnderstood(const ISettingsStore& store, const char* name,
                          const std::optional<std::string>& text, const std::string& used) {
    std::string line = name;
    if (const auto value = text ? text : store.StoredForm(name)) {
        line += " " + Shown(*value);
    }
    return line + " is not understood; " + used + " is used";
}

} // namespace

bool IsRegionCode(std::string_view text) {
    const auto upper = [](char c) { return c >= 'A' && c <= 'Z'; };
    return text.size() == 2 && upper(text[0]) && upper(text[1]) && text != "ZZ";
}

std::vector<std::string> LoadAddedSettings(ISettingsStore& store, TAddedSettings& settings) {
    const TAddedSettings defaults;
    settings = defaults;
    std::vector<std::string> problems;
    if (!store.OpenKey(SettingsKey, false)) {
        return problems;
    }
    for (const TTextSetting& setting : kTexts) {
        if (!store.ValueExists(setting.Name)) {
            continue;
        }
        const auto text = store.ReadUtf8Text(setting.Name);
        const bool isRegion = setting.Member == &TAddedSettings::Region;
        if (text && (!isRegion || IsRegionCode(*text))) {
            settings.*setting.Member = *text;
        } else {
            const std::string& fallback = defaults.*setting.Member;
            problems.push_back(NotUnderstood(store, setting.Name, text,
                                             fallback.empty() ? "an empty value" : fallback));
        }
    }
    for (const TFlagSetting& setting : kFlags) {
        if (!store.ValueExists(setting.Name)) {
            continue;
        }
        if (const auto flag = store.ReadFlag(setting.Name)) {
            settings.*setting.Member = *flag;
        } else {
            problems.push_back(NotUnderstood(store, setting.Name, store.ReadUtf8Text(setting.Name),
                                             defaults.*setting.Member ? "1" : "0"));
        }
    }
    store.CloseKey();
    return problems;
}

bool SaveAddedSettings(ISettingsStore& store, const TAddedSettings& loaded,
                       const TAddedSettings& settings) {
    bool changed = false;
    for (const TTextSetting& setting : kTexts) {
        changed = changed || loaded.*setting.Member != settings.*setting.Member;
    }
    for (const TFlagSetting& setting : kFlags) {
        changed = changed || loaded.*setting.Member != settings.*setting.Member;
    }
    if (!changed) {
        return true;
    }
    if (!store.OpenKey(SettingsKey, true)) {
        return false;
    }
    for (const TTextSetting& setting : kTexts) {
        if (loaded.*setting.Member != settings.*setting.Member) {
            store.WriteUtf8Text(setting.Name, settings.*setting.Member);
        }
    }
    for (const TFlagSetting& setting : kFlags) {
        if (loaded.*setting.Member != settings.*setting.Member) {
            store.WriteFlag(setting.Name, settings.*setting.Member);
        }
    }
    store.CloseKey();
    return !store.CloseFailed();
}

} // namespace telvane
