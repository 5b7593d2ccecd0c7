#include "ui/qtcore/QtSettingsStore.h"

#include "ui/qtcore/ShiftJisCodec.h"

#include <QStringList>
#include <QVariant>

namespace telvane {

namespace {

// "\Software\Org\App\Group..." split at the backslashes; empty when the
// path does not name a key of the store.
QStringList KeyParts(const std::string& path) {
    const QStringList parts = QString::fromStdString(path).split('\\', Qt::SkipEmptyParts);
    if (parts.size() < 4 || parts[0].compare("Software", Qt::CaseInsensitive) != 0) {
        return {};
    }
    return parts;
}

} // namespace

QString TQtSettingsStore::StoreFile(const std::string& path) {
    const QStringList parts = KeyParts(path);
    if (parts.isEmpty()) {
        return {};
    }
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, parts[1], parts[2]).fileName();
}

bool TQtSettingsStore::OpenKey(const std::string& path, bool create) {
    CloseKey();
    const QStringList parts = KeyParts(path);
    if (parts.isEmpty()) {
        return false;
    }
    if (IniFile_.isEmpty()) {
        Settings_ = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                                parts[1], parts[2]);
    } else {
        Settings_ = std::make_unique<QSettings>(IniFile_, QSettings::IniFormat);
    }
    Location_ = Settings_->fileName();
    for (qsizetype i = 3; i < parts.size(); ++i) {
        if (!create && !Settings_->childGroups().contains(parts[i])) {
            Settings_.reset();
            return false;
        }
        Settings_->beginGroup(parts[i]);
    }
    if (create && !Settings_->isWritable()) {
        Settings_.reset();
        return false;
    }
    return true;
}

QString TQtSettingsStore::FileName(const std::string& path) const {
    if (!IniFile_.isEmpty()) {
        return IniFile_;
    }
    const QStringList parts = QString::fromStdString(path).split('\\', Qt::SkipEmptyParts);
    if (parts.size() < 3) {
        return {};
    }
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, parts[1], parts[2]).fileName();
}

bool TQtSettingsStore::ValueExists(const std::string& name) const {
    return Settings_ && Settings_->contains(QString::fromStdString(name));
}

std::optional<std::string> TQtSettingsStore::ReadText(const std::string& name) const {
    if (!Settings_) {
        return std::nullopt;
    }
    const QVariant value = Settings_->value(QString::fromStdString(name));
    switch (value.typeId()) {
    case QMetaType::QString:
        return ToShiftJis(value.toString());
    case QMetaType::QStringList:
        // An INI line with unquoted commas reads as a list.
        return ToShiftJis(value.toStringList().join(", "));
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Bool:
        // A number where a text belongs (a registry DWORD) reads as its digits.
        return ToShiftJis(value.toString());
    default:
        return std::nullopt;
    }
}

std::optional<bool> TQtSettingsStore::ReadFlag(const std::string& name) const {
    if (!Settings_) {
        return std::nullopt;
    }
    const QVariant value = Settings_->value(QString::fromStdString(name));
    bool ok = false;
    qlonglong number = 0;
    switch (value.typeId()) {
    case QMetaType::QString:
        number = value.toString().trimmed().toLongLong(&ok, 10);
        break;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Bool:
        number = value.toLongLong(&ok);
        break;
    default:
        break;
    }
    if (!ok) {
        return std::nullopt;
    }
    return number != 0;
}

void TQtSettingsStore::WriteText(const std::string& name, const std::string& text) {
    if (Settings_) {
        Settings_->setValue(QString::fromStdString(name), FromShiftJis(text));
    }
}

void TQtSettingsStore::WriteFlag(const std::string& name, bool flag) {
    if (Settings_) {
        Settings_->setValue(QString::fromStdString(name), flag ? 1 : 0);
    }
}

std::optional<std::string> TQtSettingsStore::ReadUtf8Text(const std::string& name) const {
    if (!Settings_) {
        return std::nullopt;
    }
    const QVariant value = Settings_->value(QString::fromStdString(name));
    if (value.typeId() == QMetaType::QStringList) {
        return value.toStringList().join(", ").toStdString();
    }
    if (!value.canConvert<QString>()) {
        return std::nullopt;
    }
    return value.toString().toStdString();
}

void TQtSettingsStore::WriteUtf8Text(const std::string& name, const std::string& text) {
    if (Settings_) {
        Settings_->setValue(QString::fromStdString(name), QString::fromStdString(text));
    }
}

std::string TQtSettingsStore::Location() const {
    return ToShiftJis(Location_);
}

void TQtSettingsStore::CloseKey() {
    if (!Settings_) {
        return;
    }
    Settings_->sync();
    LastStatus_ = Settings_->status();
    Settings_.reset();
}

} // namespace telvane
