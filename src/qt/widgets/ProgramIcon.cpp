#include "qt/widgets/ProgramIcon.h"

#include <QString>
#include <QtGlobal>

// The icon's resource file is compiled into a static library. Calling its
// initialiser keeps the linker from dropping it, and registers it even when
// the library's static initialisers have not run. Q_INIT_RESOURCE may only
// be used outside any namespace.
static void InitProgramIconResource() {
    Q_INIT_RESOURCE(telvane);
}

namespace telvane {

QIcon ProgramIcon() {
    static const bool initialised = (InitProgramIconResource(), true);
    (void)initialised;
    return QIcon(QStringLiteral(":/telvane/telvane.png"));
}

} // namespace telvane
