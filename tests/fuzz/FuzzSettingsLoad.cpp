// Fuzz target: whatever a settings file holds (wrong kinds, huge values,
// invalid UTF-8, duplicate keys, broken lines, Qt's @-encoded values), the
// program starts without crashing; each value is taken whole or leaves its
// default, whatever the default was; what was loaded comes back unchanged
// after a save and a new start; and a save over the file keeps the values
// it does not write as they were.
//
// Input: the whole contents of the INI file.
#include "monitor/Settings.h"
#include "store/IniSettingsStore.h"

#include "TempFolder.h"

#include "Require.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using namespace telvane;

std::string NewFile() {
    static testing::TTempFolder folder;
    static std::uint64_t counter = 0;
    return (folder.Path() / ("settings-" + std::to_string(++counter) + ".ini")).string();
}

TStoredSettings Defaults(const std::string& mark, bool flags) {
    TStoredSettings settings;
    settings.Port = mark + "port";
    settings.Interval = mark + "interval";
    settings.DateTime = mark + "time";
    settings.LastDateTime = mark + "last";
    settings.LogRing = flags;
    for (std::size_t slot = 0; slot < kSlotCount; ++slot) {
        settings.Magic[slot] = mark + MagicValueName(slot);
    }
    settings.Dream = flags;
    return settings;
}

TStoredSettings Load(const std::string& file, const TStoredSettings& defaults) {
    TStoredSettings settings = defaults;
    TIniSettingsStore store(file);
    LoadSettings(store, settings);
    return settings;
}

// Loaded once over each set of defaults: taken (the same both times) or not.
void CheckWhole(const std::string& a, const std::string& defaultA, const std::string& b,
                const std::string& defaultB) {
    Require((a == b) != (a == defaultA && b == defaultB), "a text was half taken");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string file = NewFile();
    Require(testing::WriteFile(file, std::string(reinterpret_cast<const char*>(data), size)),
            "the input could not be written");

    const TStoredSettings defaultA = Defaults("\x01", false);
    const TStoredSettings defaultB = Defaults("\x02", true);
    const TStoredSettings a = Load(file, defaultA);
    const TStoredSettings b = Load(file, defaultB);
    CheckWhole(a.Port, defaultA.Port, b.Port, defaultB.Port);
    CheckWhole(a.Interval, defaultA.Interval, b.Interval, defaultB.Interval);
    CheckWhole(a.DateTime, defaultA.DateTime, b.DateTime, defaultB.DateTime);
    CheckWhole(a.LastDateTime, defaultA.LastDateTime, b.LastDateTime, defaultB.LastDateTime);
    for (std::size_t slot = 0; slot < kSlotCount; ++slot) {
        CheckWhole(a.Magic[slot], defaultA.Magic[slot], b.Magic[slot], defaultB.Magic[slot]);
    }
    Require(a.LogRing == b.LogRing || (!a.LogRing && b.LogRing), "LogRing was half taken");
    Require(a.Dream == b.Dream || (!a.Dream && b.Dream), "Dream was half taken");

    // Closing saves what was loaded; the next start must find all of it.
    const std::string saved = NewFile();
    {
        TIniSettingsStore store(saved);
        Require(SaveSettings(store, a) && !store.CloseFailed(), "the settings could not be saved");
    }
    const TStoredSettings back = Load(saved, defaultB);
    Require(back.Port == a.Port && back.Interval == a.Interval && back.DateTime == a.DateTime &&
                back.LastDateTime == a.LastDateTime && back.LogRing == a.LogRing &&
                back.Magic == a.Magic && back.Dream == a.Dream,
            "a loaded setting was lost by save and load");
    // The same save over the file itself.
    const std::string over = NewFile();
    Require(testing::WriteFile(over, testing::ReadFile(file)), "the copy could not be written");
    {
        TIniSettingsStore store(over);
        Require(SaveSettings(store, a) && !store.CloseFailed(), "the settings could not be saved");
    }
    const TStoredSettings overBack = Load(over, defaultB);
    Require(overBack.Magic == a.Magic && overBack.Port == a.Port && overBack.Dream == a.Dream,
            "a setting was lost by a save over the file");
    TIniSettingsStore before(file);
    TIniSettingsStore after(over);
    if (before.OpenKey(SettingsKey, false)) {
        Require(after.OpenKey(SettingsKey, false), "the key was lost");
        for (const char* name : {"Region", "Phonebook", "Notify", "Tray", "HookCommand"}) {
            Require(before.StoredForm(name) == after.StoredForm(name),
                    "an unwritten value changed");
        }
    }
    std::remove(file.c_str());
    std::remove(saved.c_str());
    std::remove(over.c_str());
    return 0;
}
