#include "platform/widgets/programicon.h"

// A static library's resources are not registered until asked for; the macro
// declares a global function, so it cannot stand inside the namespace.
static void registerIconResource() { Q_INIT_RESOURCE(programicon); }

namespace programicon {

QString resourcePath() { return QStringLiteral(":/icons/org.trovalis.Trovalis.svg"); }

QIcon icon()
{
    registerIconResource();
    return QIcon(resourcePath());
}

}  // namespace programicon
