#include "cli.h"

namespace cli {

int compare(const QStringList&)
{
    printErr(QStringLiteral("not built yet"));
    return kUsage;
}

int rewrite(const QStringList&)
{
    printErr(QStringLiteral("not built yet"));
    return kUsage;
}

int thesaurusPage(const QStringList&)
{
    printErr(QStringLiteral("not built yet"));
    return kUsage;
}

int doc2text(const QStringList&)
{
    printErr(QStringLiteral("not built yet"));
    return kUsage;
}

}  // namespace cli
