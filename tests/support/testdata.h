#pragma once
// Where tests find their data.

#include <QByteArray>
#include <QString>

namespace testdata {

// ../shared/data: real files from other projects. May be absent; tests then
// QSKIP with a message saying so.
QString sharedDir();
bool haveShared();
// Path below sharedDir(); QSKIPs the calling test when the file is absent.
#define SHARED_FILE_OR_SKIP(var, rel)                                                                        \
    const QString var = testdata::sharedDir() + QStringLiteral("/") + QStringLiteral(rel);                   \
    if (!QFile::exists(var))                                                                                 \
        QSKIP(qPrintable(QStringLiteral("third-party test data absent: ") + var));

// The project's own tree (its small fixtures are made by the tests themselves,
// or live in fuzz/seeds and server/).
QString sourceDir();

QByteArray readFile(const QString& path);
void writeFile(const QString& path, const QByteArray& bytes);

}  // namespace testdata
