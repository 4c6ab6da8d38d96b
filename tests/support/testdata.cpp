#include "support/testdata.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace testdata {

QString sharedDir() { return QDir::cleanPath(QStringLiteral(TROVALIS_SHARED_DATA_DIR)); }
bool haveShared() { return QDir(sharedDir()).exists(); }
QString sourceDir() { return QStringLiteral(TROVALIS_SOURCE_DIR); }

QByteArray readFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        qFatal("cannot read test file %s", qPrintable(path));
    return f.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write test file %s", qPrintable(path));
}

}  // namespace testdata
