#include "ui/QtProgramLocation.h"

#include "monitor/CallLogFolder.h"
#include "ui/qtcore/ShiftJisCodec.h"

#include <QCoreApplication>
#include <QDir>

namespace telvane {

TQtProgramLocation::TQtProgramLocation()
    : Folder_(CallLogFolder(QCoreApplication::applicationDirPath().toStdString())) {}

std::string TQtProgramLocation::FolderText() const {
    return ToShiftJis(QDir::toNativeSeparators(QString::fromStdString(Folder_.string())) +
                      QDir::separator());
}

} // namespace telvane
