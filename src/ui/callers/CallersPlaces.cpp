#include "ui/callers/CallersPlaces.h"

#include <QDir>
#include <QStandardPaths>

namespace telvane {

std::filesystem::path CallLogPath(const IProgramLocation& location) {
    return location.Folder() / "RingLog.txt";
}

QString ConfigFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Maruvo/Telvane");
}

QString OwnPhonebookPath() {
    return ConfigFolder() + QStringLiteral("/phonebook.vcf");
}

} // namespace telvane
