#include "updater/replacement.h"

#include "update/core/handover.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <filesystem>
#include <system_error>

namespace updater {

namespace {

QString resolve(const QString& workingDirectory, const QString& path)
{
    return path.isEmpty() ? QString() : QDir(workingDirectory).absoluteFilePath(path);
}

bool isUsableFile(const QString& path)
{
    const QFileInfo info(path);
    return !path.isEmpty() && info.isFile();
}

}  // namespace

bool handOverWaiting(const QString& workingDirectory)
{
    return QFileInfo(QDir(workingDirectory).filePath(update::kHandOverFile)).isFile();
}

HandOver readHandOver(const QString& workingDirectory)
{
    const QStringList lines =
        update::readHandOverFile(QDir(workingDirectory).filePath(update::kHandOverFile));
    HandOver handOver;
    if (lines.size() > 1)
        handOver.newExecutable = lines.at(1);
    if (lines.size() > 2)
        handOver.mainExecutable = lines.at(2);
    return handOver;
}

Replacement replaceMainExecutable(const QString& workingDirectory, const HandOver& handOver)
{
    const QString newPath = resolve(workingDirectory, handOver.newExecutable);
    const QString mainPath = resolve(workingDirectory, handOver.mainExecutable);
    if (!isUsableFile(mainPath) || !isUsableFile(newPath) || QFileInfo(newPath).size() == 0)
        return Replacement::DownloadError;
    if (QFileInfo(newPath) == QFileInfo(mainPath))
        return Replacement::Failed;
    QFile::setPermissions(newPath, QFile::permissions(mainPath));
    // A rename over the old file replaces it atomically: there is never a
    // moment without a main executable.
    std::error_code error;
    std::filesystem::rename(QFile::encodeName(newPath).toStdString(),
                            QFile::encodeName(mainPath).toStdString(), error);
    return error ? Replacement::Failed : Replacement::Replaced;
}

void removeHandOver(const QString& workingDirectory)
{
    QFile::remove(QDir(workingDirectory).filePath(update::kHandOverFile));
}

}  // namespace updater
