// The monitor's settings in the per-user store: names, kinds and order.
#pragma once

#include "monitor/SettingsStore.h"
#include "monitor/Snapshot.h"

#include <string>

namespace telvane {

// The key path under the current user's root.
inline constexpr char SettingsKey[] = "\\Software\\Maruvo\\Telvane\\1.0";

// What survives a restart. Absent values leave their field as it was.
struct TStoredSettings {
    std::string Port;
    std::string Interval;
    std::string DateTime;
    std::string LastDateTime;
    bool LogRing = false;
    TSnapshot Magic;
    bool Dream = false;
};

// The name of snapshot slot i: "Magic0" to "Magic10".
std::string MagicValueName(std::size_t slot);

// Reads whatever values the key holds into settings, in the order Port,
// Interval, DateTime, LastDateTime, LogRing, Magic0..Magic10, Dream. A missing
// key, a missing value or a value of an unusable kind leaves its field alone.
void LoadSettings(ISettingsStore& store, TStoredSettings& settings);

// Writes all seventeen values, creating the key when needed, in the order
// Port, Interval, DateTime, LastDateTime, Magic0..Magic10, Dream, LogRing.
// Returns false when the key could not be opened (nothing is written then) or
// when what was written could not be kept.
bool SaveSettings(ISettingsStore& store, const TStoredSettings& settings);

} // namespace telvane
