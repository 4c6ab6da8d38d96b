#include "update/core/programfiles.h"

#include "update/core/handover.h"

#include <QFile>
#include <QProcess>
#include <QSaveFile>

namespace update {

QString resourcePath(int identifier, const QString& type)
{
    return QStringLiteral(":/%1/%2").arg(type).arg(identifier);
}

Result<void> saveResource(int identifier, const QString& type, const QString& path)
{
    QFile resource(resourcePath(identifier, type));
    if (!resource.open(QIODevice::ReadOnly))
        return failure(QStringLiteral("the program carries no resource %1").arg(resource.fileName()));
    const QByteArray bytes = resource.readAll();
    QSaveFile file(path);
    // Unbuffered: with a buffer, a small file whose only write fails at commit
    // (a full disk) is put in place empty and the commit reports success.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || file.write(bytes) != bytes.size()
        || !file.commit())
        return failure(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
    if (!QFile::setPermissions(
            path, QFile::permissions(path) | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther))
        return failure(QStringLiteral("cannot make %1 executable").arg(path));
    return {};
}

Result<void> startDetached(const QString& program, const QString& workingDirectory)
{
    QProcess process;
    process.setProgram(program);
    process.setWorkingDirectory(workingDirectory);
    process.setStandardInputFile(QProcess::nullDevice());
    if (!process.startDetached())
        return failure(QStringLiteral("cannot start %1: %2").arg(program, process.errorString()));
    return {};
}

Result<void> startUpdater(const QString& programFolder)
{
    constexpr int kUpdaterResource = 105;
    const QString updater = joinPath(programFolder, updaterFileName());
    const Result<void> written = saveResource(kUpdaterResource, QStringLiteral("CUSTOM"), updater);
    if (!written)
        return written;
    // The updater looks for its files in its working directory: the program folder.
    return startDetached(updater, programFolder);
}

}  // namespace update
