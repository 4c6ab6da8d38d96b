#include "update/core/programfiles.h"

#include <QFile>
#include <QProcess>
#include <QSaveFile>

namespace update {

QString resourcePath(int identifier, const QString& type)
{
    return QStringLiteral(":/%1/%2").arg(type).arg(identifier);
}

bool saveResource(int identifier, const QString& type, const QString& path)
{
    QFile resource(resourcePath(identifier, type));
    if (!resource.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = resource.readAll();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return false;
    return QFile::setPermissions(
        path, QFile::permissions(path) | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther);
}

bool startDetached(const QString& program, const QString& workingDirectory)
{
    QProcess process;
    process.setProgram(program);
    process.setWorkingDirectory(workingDirectory);
    process.setStandardInputFile(QProcess::nullDevice());
    return process.startDetached();
}

}  // namespace update
