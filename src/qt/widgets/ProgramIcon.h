// The program icon: one 32 x 32 image in 16 colours, stored with the program.
#pragma once

#include <QIcon>

namespace telvane {

// The icon of the windows, the task bar and the version dialog.
QIcon ProgramIcon();

} // namespace telvane
