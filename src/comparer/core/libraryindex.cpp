#include "comparer/core/libraryfolder.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QtEndian>

namespace comparer::library {

namespace {

constexpr quint32 kMagic = 0x54524C42;  // "TRLB"
constexpr quint32 kVersion = 2;
constexpr qsizetype kKeyBytes = 20;  // head, hash, length, little-endian

// The keys as one block of bytes: a window opened the next day reads fifty
// million characters' worth in a fraction of a second, where reading them
// field by field took over a second.
void writeFile(QDataStream& out, const SourceFile& file)
{
    out << file.path << file.size << file.modified << file.skipped << static_cast<quint64>(file.keys.size());
    QByteArray block(static_cast<qsizetype>(file.keys.size()) * kKeyBytes, Qt::Uninitialized);
    char* p = block.data();
    for (const SentenceKey& k : file.keys) {
        qToLittleEndian(k.head, p);
        qToLittleEndian(k.hash, p + 8);
        qToLittleEndian(k.length, p + 16);
        p += kKeyBytes;
    }
    out.writeRawData(block.constData(), static_cast<int>(block.size()));
}

bool readFile(QDataStream& in, SourceFile& file, qint64 bytesLeft)
{
    quint64 count = 0;
    in >> file.path >> file.size >> file.modified >> file.skipped >> count;
    // A damaged count must not make us reserve memory the file cannot fill.
    if (in.status() != QDataStream::Ok || count > static_cast<quint64>(bytesLeft) / kKeyBytes)
        return false;
    QByteArray block(static_cast<qsizetype>(count) * kKeyBytes, Qt::Uninitialized);
    if (in.readRawData(block.data(), static_cast<int>(block.size())) != block.size())
        return false;
    file.keys.resize(count);
    const char* p = block.constData();
    for (SentenceKey& k : file.keys) {
        k.head = qFromLittleEndian<quint64>(p);
        k.hash = qFromLittleEndian<quint64>(p + 8);
        k.length = qFromLittleEndian<quint32>(p + 16);
        p += kKeyBytes;
    }
    return true;
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
