#include "ui/QtProgramLocation.h"

#include "monitor/CallLogFolder.h"
#include "ui/qtcore/ShiftJisCodec.h"

#include <QCoreApplication>
#include <QDir>

namespace telvane {

TQtProgramLocation::TQtProgramLocation() {
    const std::filesystem::path program = QCoreApplication::applicationDirPath().toStdString();
    Folder_ = CallLogFolder(program);
    UserData_ = Folder_ != program;
}

std::filesystem::path TQtProgramLocation::Folder() const {
    if (UserData_) {
        // A folder that cannot be made shows as the log's own failure.
        std::error_code ignored;
        std::filesystem::create_directories(Folder_, ignored);
    }
    return Folder_;
}

std::string TQtProgramLocation::FolderText() const {
    return ToShiftJis(QDir::toNativeSeparators(QString::fromStdString(Folder_.string())) +
                      QDir::separator());
}

} // namespace telvane
