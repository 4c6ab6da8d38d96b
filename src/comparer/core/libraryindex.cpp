#include "comparer/core/libraryfolder.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace comparer::library {

namespace {

constexpr quint32 kMagic = 0x54524C42;  // "TRLB"
constexpr quint32 kVersion = 1;

void writeFile(QDataStream& out, const SourceFile& file)
{
    out << file.path << file.size << file.modified << file.skipped << static_cast<quint64>(file.keys.size());
    for (const SentenceKey& k : file.keys)
        out << k.head << k.hash << k.length;
}

bool readFile(QDataStream& in, SourceFile& file, qint64 bytesLeft)
{
    quint64 count = 0;
    in >> file.path >> file.size >> file.modified >> file.skipped >> count;
    // A damaged count must not make us reserve memory the file cannot fill.
    if (in.status() != QDataStream::Ok || count > static_cast<quint64>(bytesLeft) / 20)
        return false;
    file.keys.resize(count);
    for (SentenceKey& k : file.keys)
        in >> k.head >> k.hash >> k.length;
    return in.status() == QDataStream::Ok;
}

}  // namespace

QString indexPath(const QString& dataFolder, const QString& folder)
{
    const QByteArray name =
        QCryptographicHash::hash(QDir(folder).absolutePath().toUtf8(), QCryptographicHash::Sha1).toHex();
    return QDir(dataFolder)
        .filePath(QStringLiteral("library/") + QString::fromLatin1(name) + QStringLiteral(".idx"));
}

Library loadIndex(const QString& path, const QString& folder)
{
    Library library;
    library.folder = QDir(folder).absolutePath();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return library;
    QDataStream in(&file);
    quint32 magic = 0;
    quint32 version = 0;
    QString storedFolder;
    quint64 count = 0;
    in >> magic >> version >> storedFolder >> count;
    if (in.status() != QDataStream::Ok || magic != kMagic || version != kVersion
        || storedFolder != library.folder || count > static_cast<quint64>(file.size()))
        return library;
    std::vector<SourceFile> files(count);
    for (SourceFile& f : files) {
        if (!readFile(in, f, file.size() - file.pos()))
            return library;  // damaged: read everything again
    }
    library.files = std::move(files);
    return library;
}

Result<void> saveIndex(const Library& library, const QString& path)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return failure(QStringLiteral(u"无法创建文件夹：%1").arg(QFileInfo(path).absolutePath()));
    QSaveFile file(path);
    // Unbuffered: a write that fails at commit must not put an empty index in place.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return failure(file.errorString());
    QByteArray bytes;
    {
        QDataStream out(&bytes, QIODevice::WriteOnly);
        out << kMagic << kVersion << library.folder << static_cast<quint64>(library.files.size());
        for (const SourceFile& f : library.files)
            writeFile(out, f);
    }
    if (file.write(bytes) != bytes.size() || !file.commit())
        return failure(file.errorString());
    return {};
}

}  // namespace comparer::library
