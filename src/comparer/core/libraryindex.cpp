#include "comparer/core/libraryfolder.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <limits>

namespace comparer::library {

namespace {

constexpr quint32 kMagic = 0x54524C42;  // "TRLB"
constexpr quint32 kVersion = 3;

// The keys are not kept per document: the table holds them, with the
// document each belongs to, already sorted. A window opened the next day then
// reads fifty million characters' worth in a fraction of a second instead of
// sorting them again for over a second.
void writeFile(QDataStream& out, const SourceFile& file)
{
    out << file.path << file.size << file.modified << file.skipped;
}

bool readFile(QDataStream& in, SourceFile& file)
{
    in >> file.path >> file.size >> file.modified >> file.skipped;
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

StoredLibrary loadIndex(const QString& path, const QString& folder)
{
    StoredLibrary stored;
    Library& library = stored.library;
    library.folder = QDir(folder).absolutePath();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return stored;
    QDataStream in(&file);
    quint32 magic = 0;
    quint32 version = 0;
    QString storedFolder;
    quint64 count = 0;
    in >> magic >> version >> storedFolder >> count;
    if (in.status() != QDataStream::Ok || magic != kMagic || version != kVersion
        || storedFolder != library.folder || count > static_cast<quint64>(file.size()))
        return stored;
    std::vector<SourceFile> files(count);
    for (SourceFile& f : files) {
        if (!readFile(in, f))
            return stored;  // damaged: read everything again
    }
    quint64 tableBytes = 0;
    in >> tableBytes;
    if (in.status() != QDataStream::Ok || tableBytes != static_cast<quint64>(file.size() - file.pos())
        || tableBytes > static_cast<quint64>(std::numeric_limits<int>::max()))
        return stored;
    QByteArray bytes(static_cast<qsizetype>(tableBytes), Qt::Uninitialized);
    if (in.readRawData(bytes.data(), static_cast<int>(bytes.size())) != bytes.size())
        return stored;
    std::optional<LibraryTable> table = LibraryTable::fromBytes(bytes, files.size());
    if (!table)
        return stored;
    std::vector<std::vector<SentenceKey>> keys = table->keysBySource(files.size());
    for (size_t i = 0; i < files.size(); ++i)
        files[i].keys = std::move(keys[i]);
    library.files = std::move(files);
    stored.table = std::move(table);
    return stored;
}

Result<void> saveIndex(const Library& library, const LibraryTable& table, const QString& path)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return failure(QStringLiteral(u"无法创建文件夹：%1").arg(QFileInfo(path).absolutePath()));
    QSaveFile file(path);
    // Unbuffered: a write that fails at commit must not put an empty index in place.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return failure(file.errorString());
    QByteArray head;
    {
        QDataStream out(&head, QIODevice::WriteOnly);
        out << kMagic << kVersion << library.folder << static_cast<quint64>(library.files.size());
        for (const SourceFile& f : library.files)
            writeFile(out, f);
    }
    const QByteArray entries = table.toBytes();
    QByteArray size;
    QDataStream(&size, QIODevice::WriteOnly) << static_cast<quint64>(entries.size());
    if (file.write(head) != head.size() || file.write(size) != size.size()
        || file.write(entries) != entries.size() || !file.commit())
        return failure(file.errorString());
    return {};
}

}  // namespace comparer::library
