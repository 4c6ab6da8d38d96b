#include "comparer/core/libraryfolder.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QtEndian>

#include <limits>
#include <memory>

namespace comparer::library {

namespace {

constexpr quint32 kMagic = 0x54524C42;  // "TRLB"
// 4: each document's folded content and the library's fingerprints follow the
// sentence table. An index of an earlier version is read as no index: every
// document is read again.
constexpr quint32 kVersion = 4;
constexpr quint64 kNoContent = ~quint64(0);  // a skipped document

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
    quint64 contentBytes = 0;
    quint64 fingerprintBytes = 0;
    in >> tableBytes >> contentBytes >> fingerprintBytes;
    const quint64 rest = static_cast<quint64>(file.size() - file.pos());
    if (in.status() != QDataStream::Ok || tableBytes > rest || contentBytes > rest || fingerprintBytes > rest
        || tableBytes + contentBytes + fingerprintBytes != rest)
        return stored;
    std::optional<LibraryTable> table = LibraryTable::read(file, tableBytes, files.size());
    if (!table)
        return stored;
    // Each document's content: its length in characters, then the characters (32 bits, little-endian).
    std::vector<matching::Content> contents;
    contents.reserve(files.size());
    quint64 contentLeft = contentBytes;
    for (size_t i = 0; i < files.size(); ++i) {
        quint64 length = 0;
        if (contentLeft < 8 || file.read(reinterpret_cast<char*>(&length), 8) != 8)
            return stored;
        contentLeft -= 8;
        length = qFromLittleEndian(length);
        if (length == kNoContent) {
            contents.emplace_back();
            continue;
        }
        if (length > contentLeft / 4)
            return stored;
        auto content = std::make_shared<std::u32string>(static_cast<size_t>(length), U'\0');
        const qint64 wanted = static_cast<qint64>(length * 4);
        if (file.read(reinterpret_cast<char*>(content->data()), wanted) != wanted)
            return stored;
        contentLeft -= length * 4;
        for (char32_t& c : *content)
            c = qFromLittleEndian(c);
        contents.push_back(std::move(content));
    }
    if (contentLeft != 0)
        return stored;
    std::optional<matching::RunIndex> runs = matching::RunIndex::read(contents, file, fingerprintBytes);
    if (!runs)
        return stored;
    table->setRunIndex(std::move(*runs));
    std::vector<std::vector<SentenceKey>> keys = table->keysBySource(files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        files[i].keys = std::move(keys[i]);
        files[i].content = std::move(contents[i]);
    }
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
    const QByteArray fingerprints = table.runIndex().fingerprintBytes();
    quint64 contentBytes = 0;
    for (const SourceFile& f : library.files)
        contentBytes += 8 + (f.content ? f.content->size() * 4 : 0);
    QByteArray sizes;
    QDataStream(&sizes, QIODevice::WriteOnly)
        << static_cast<quint64>(entries.size()) << contentBytes << static_cast<quint64>(fingerprints.size());
    bool written = file.write(head) == head.size() && file.write(sizes) == sizes.size()
        && file.write(entries) == entries.size();
    QByteArray chunk;
    for (const SourceFile& f : library.files) {
        if (!written)
            break;
        const quint64 length = f.content ? f.content->size() : kNoContent;
        chunk.resize(8);
        qToLittleEndian(length, chunk.data());
        if (f.content) {
            chunk.resize(8 + qsizetype(f.content->size()) * 4);
            qToLittleEndian<quint32>(f.content->data(), qsizetype(f.content->size()), chunk.data() + 8);
        }
        written = file.write(chunk) == chunk.size();
    }
    if (!written || file.write(fingerprints) != fingerprints.size() || !file.commit())
        return failure(file.errorString());
    return {};
}

}  // namespace comparer::library
