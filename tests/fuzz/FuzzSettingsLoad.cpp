// Fuzz target: whatever a settings file holds (wrong kinds, huge values,
// invalid UTF-8, duplicate keys, broken lines, Qt's @-encoded values), the
// program starts: a value it can use is taken whatever the default was, a
// value it cannot use leaves its default, and what was loaded comes back
// unchanged after a save and a new start.
//
// Input: the whole contents of the INI file.
#include "monitor/Settings.h"
#include "ui/qtcore/QtSettingsStore.h"
#include "ui/qtcore/ShiftJisCodec.h"

#include <QSettings>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

using namespace telvane;

void Require(bool condition, const char* what, const std::string& name = {}) {
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s %s\n", what, name.c_str());
        std::abort();
    }
}

const std::filesystem::path& WorkFolder() {
    static const std::filesystem::path folder = [] {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "telvane-fuzz-XXXXXX").string();
        Require(::mkdtemp(pattern.data()) != nullptr, "no temporary folder");
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(WorkFolder(), ignored);
        });
        return std::filesystem::path(pattern);
    }();
    return folder;
}

// Every file gets a name of its own: QSettings keeps parsed files in a cache
// that a rewrite within the same millisecond could fool.
std::filesystem::path NewFile() {
    static std::uint64_t counter = 0;
    return WorkFolder() / ("settings-" + std::to_string(++counter) + ".ini");
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

TStoredSettings Load(const std::filesystem::path& file, const TStoredSettings& defaults) {
    TStoredSettings settings = defaults;
    TQtSettingsStore store(QString::fromStdString(file.string()));
    LoadSettings(store, settings);
    return settings;
}

bool Equal(const TStoredSettings& a, const TStoredSettings& b) {
    return a.Port == b.Port && a.Interval == b.Interval && a.DateTime == b.DateTime &&
           a.LastDateTime == b.LastDateTime && a.LogRing == b.LogRing && a.Magic == b.Magic &&
           a.Dream == b.Dream;
}

// What the file holds for a value, as QSettings itself reads it.
class TRawFile {
public:
    explicit TRawFile(const std::filesystem::path& file)
        : Settings_(QString::fromStdString(file.string()), QSettings::IniFormat) {
        HasKey_ = Settings_.childGroups().contains(QStringLiteral("1.0"));
        Settings_.beginGroup(QStringLiteral("1.0"));
    }
    bool Has(const std::string& name) const {
        return HasKey_ && Settings_.contains(QString::fromStdString(name));
    }
    QVariant Value(const std::string& name) const {
        return Settings_.value(QString::fromStdString(name));
    }

private:
    QSettings Settings_;
    bool HasKey_ = false;
};

void CheckText(const TRawFile& raw, const std::string& name, const std::string& a,
               const std::string& defaultA, const std::string& b, const std::string& defaultB) {
    if (!raw.Has(name)) {
        Require(a == defaultA && b == defaultB, "a missing text changed its default:", name);
        return;
    }
    const QVariant value = raw.Value(name);
    switch (value.typeId()) {
    case QMetaType::QString:
        Require(a == ToShiftJis(value.toString()) && b == a, "a stored text was not taken:", name);
        break;
    case QMetaType::QStringList:
        Require(a == b && a != defaultA, "a text with commas was not taken:", name);
        break;
    case QMetaType::QByteArray:
    case QMetaType::QRect:
    case QMetaType::QSize:
    case QMetaType::QPoint:
        Require(a == defaultA && b == defaultB, "a value of another kind was taken as text:", name);
        break;
    default:
        // Whatever @Variant held: taken whole or not at all.
        Require((a == b) != (a == defaultA && b == defaultB), "a text was half taken:", name);
        break;
    }
}

void CheckFlag(const TRawFile& raw, const std::string& name, bool a, bool b) {
    // Loaded once with every flag clear by default and once with every flag set.
    const bool keptDefaults = !a && b;
    if (!raw.Has(name)) {
        Require(keptDefaults, "a missing flag changed its default:", name);
        return;
    }
    const QVariant value = raw.Value(name);
    if (value.typeId() == QMetaType::QString) {
        bool isNumber = false;
        const qlonglong number = value.toString().trimmed().toLongLong(&isNumber, 10);
        if (isNumber) {
            Require(a == b && a == (number != 0), "a stored integer read as another flag:", name);
        } else {
            Require(keptDefaults, "a flag that is no integer was taken:", name);
        }
    } else {
        Require(a == b || keptDefaults, "a flag was half taken:", name);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::filesystem::path file = NewFile();
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        Require(out.good(), "the input could not be written");
    }

    const TStoredSettings defaultA = Defaults("\x01", false);
    const TStoredSettings defaultB = Defaults("\x02", true);
    const TStoredSettings a = Load(file, defaultA);
    const TStoredSettings b = Load(file, defaultB);

    {
        const TRawFile raw(file);
        CheckText(raw, "Port", a.Port, defaultA.Port, b.Port, defaultB.Port);
        CheckText(raw, "Interval", a.Interval, defaultA.Interval, b.Interval, defaultB.Interval);
        CheckText(raw, "DateTime", a.DateTime, defaultA.DateTime, b.DateTime, defaultB.DateTime);
        CheckText(raw, "LastDateTime", a.LastDateTime, defaultA.LastDateTime, b.LastDateTime,
                  defaultB.LastDateTime);
        for (std::size_t slot = 0; slot < kSlotCount; ++slot) {
            CheckText(raw, MagicValueName(slot), a.Magic[slot], defaultA.Magic[slot], b.Magic[slot],
                      defaultB.Magic[slot]);
        }
        CheckFlag(raw, "LogRing", a.LogRing, b.LogRing);
        CheckFlag(raw, "Dream", a.Dream, b.Dream);
    }

    // Closing saves what was loaded; the next start must find all of it.
    const std::filesystem::path saved = NewFile();
    {
        TQtSettingsStore store(QString::fromStdString(saved.string()));
        Require(SaveSettings(store, a), "the settings could not be saved");
        Require(store.LastStatus() == QSettings::NoError, "the save failed");
    }
    Require(Equal(Load(saved, defaultB), a), "a loaded setting was lost by save and load");

    std::error_code ignored;
    std::filesystem::remove(file, ignored);
    std::filesystem::remove(saved, ignored);
    return 0;
}
