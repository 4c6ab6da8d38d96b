#include "cli.h"

namespace cli {

int manifest(const QStringList&)
{
    printErr(QStringLiteral("not built yet"));
    return kUsage;
}

int unzip(const QStringList&)
{
    printErr(QStringLiteral("not built yet"));
    return kUsage;
}

}  // namespace cli
