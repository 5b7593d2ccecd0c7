#include "ui/QtProgramLocation.h"

#include "ui/qtcore/ShiftJisCodec.h"

#include <QCoreApplication>
#include <QDir>

namespace telvane {

std::filesystem::path TQtProgramLocation::Folder() const {
    return std::filesystem::path(QCoreApplication::applicationDirPath().toStdString());
}

std::string TQtProgramLocation::FolderText() const {
    return ToShiftJis(QDir::toNativeSeparators(QCoreApplication::applicationDirPath()) +
                      QDir::separator());
}

} // namespace telvane
