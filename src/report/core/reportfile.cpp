#include "report/core/reportfile.h"

#include <QSaveFile>

namespace reportfile {

Result<void> write(const QByteArray& bytes, const QString& fileName)
{
    QSaveFile file(fileName);
    const auto failed = [&](const QString& why) {
        return failure(QStringLiteral("无法写入文件 %1：%2").arg(fileName, why));
    };
    // Unbuffered: with a buffer, a small file whose only write fails at commit
    // (a full disk) is put in place empty and the commit reports success.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return failed(file.errorString());
    if (file.write(bytes) != bytes.size()) {
        const QString why = file.errorString();
        file.cancelWriting();
        return failed(why);
    }
    if (!file.commit())
        return failed(file.errorString());
    return {};
}

bool isPdfName(const QString& fileName)
{
    return fileName.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive);
}

}  // namespace reportfile
