#include "update/core/handover.h"

#include "platform/core/gbk.h"
#include "platform/core/os.h"
#include "update/core/manifest.h"

#include <QFile>
#include <QSaveFile>

namespace update {

QString updaterFileName() { return QStringLiteral("up") + os::executableSuffix(); }

QString joinPath(const QString& folder, const QString& name)
{
    if (folder.endsWith(u'/') || folder.endsWith(u'\\'))
        return folder + name;
    return folder + u'/' + name;
}

QString mainExecutablePath(const QString& programFolder, const QString& executableName)
{
    return joinPath(programFolder, executableName + os::executableSuffix());
}

Result<void> writeHandOverFile(const QString& folder, const QString& mainExecutable)
{
    const QByteArray path = gbk::encode(mainExecutable);
    bool valid = false;
    if (gbk::decode(path, &valid) != mainExecutable || !valid) {
        return failure(QStringLiteral("the program path cannot be written in the narrow code page: ")
                       + mainExecutable);
    }
    QSaveFile file(joinPath(folder, kHandOverFile));
    // Unbuffered: with a buffer, a small file whose only write fails at commit
    // (a full disk) is put in place empty and the commit reports success.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return failure(file.errorString());
    const QByteArray bytes = "1\r\n" + gbk::encode(kNewExecutableFile) + "\r\n" + path + "\r\n";
    if (file.write(bytes) != bytes.size() || !file.commit())
        return failure(file.errorString());
    return {};
}

QStringList readHandOverFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return readTextLines(file.readAll(), kTableSlots);
}

}  // namespace update
