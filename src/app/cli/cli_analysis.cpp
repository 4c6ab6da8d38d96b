#include "cli.h"

namespace cli {

int segment(const QStringList&)
{
    printErr(QStringLiteral("not built yet"));
    return kUsage;
}

int query(const QStringList&)
{
    printErr(QStringLiteral("not built yet"));
    return kUsage;
}

int score(const QStringList&)
{
    printErr(QStringLiteral("not built yet"));
    return kUsage;
}

int stats(const QStringList&)
{
    printErr(QStringLiteral("not built yet"));
    return kUsage;
}

}  // namespace cli
