#include "comparer/core/runlength.h"

#include "matching/runs.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace comparer::library {

namespace {

QString runLengthPath(const QString& dataFolder)
{
    return QDir(dataFolder).filePath(QStringLiteral("library/runlength.txt"));
}

}  // namespace

int keptRunLength(const QString& dataFolder)
{
    QFile file(runLengthPath(dataFolder));
    if (!file.open(QIODevice::ReadOnly))
        return matching::kDefaultRun;
    bool number = false;
    const int kept = file.read(16).trimmed().toInt(&number);
    return number && kept >= matching::kMinRun && kept <= matching::kMaxRun ? kept : matching::kDefaultRun;
}

Result<void> keepRunLength(const QString& dataFolder, int runLength)
{
    const QString path = runLengthPath(dataFolder);
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return failure(QStringLiteral(u"无法创建文件夹：%1").arg(QFileInfo(path).absolutePath()));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(QByteArray::number(runLength) + '\n') < 0
        || !file.commit())
        return failure(file.errorString());
    return {};
}

}  // namespace comparer::library
