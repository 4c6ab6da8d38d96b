#include "update/core/ziparchive.h"

#include "platform/core/gbk.h"
#include "update/core/partfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <unzip.h>

namespace update {

namespace {

constexpr int kReadBufferSize = 2048;
constexpr uLong kNameBufferSize = 260;
constexpr uLong kFolderAttribute = 0x10;
constexpr uLong kUtf8NameFlag = 1u << 11;

// Releases the archive handle on every path out of extractZip.
class ArchiveHandle {
public:
    explicit ArchiveHandle(const QString& path) : handle_(unzOpen(QFile::encodeName(path).constData())) { }
    ~ArchiveHandle()
    {
        if (handle_) {
            unzCloseCurrentFile(handle_);
            unzClose(handle_);
        }
    }
    ArchiveHandle(const ArchiveHandle&) = delete;
    ArchiveHandle& operator=(const ArchiveHandle&) = delete;
    unzFile get() const { return handle_; }

private:
    unzFile handle_;
};

QString collapseSeparators(QString path)
{
    while (path.contains(QLatin1String("//")))
        path.replace(QLatin1String("//"), QLatin1String("/"));
    return path;
}

QString withTrailingSeparator(const QString& path) { return collapseSeparators(path + u'/'); }

struct Entry {
    QString name;
    bool isFolder = false;
    bool executable = false;  // a Unix-made entry with an execute bit
    QString problem;          // set when the entry cannot be read
};

Entry currentEntry(unzFile archive)
{
    unz_file_info info{};
    char name[kNameBufferSize];
    Entry entry;
    if (unzGetCurrentFileInfo(archive, &info, name, kNameBufferSize, nullptr, 0, nullptr, 0) != UNZ_OK) {
        entry.problem = QStringLiteral("damaged entry information");
        return entry;
    }
    if (info.size_filename > kNameBufferSize) {
        entry.problem = QStringLiteral("entry name longer than %1 bytes").arg(kNameBufferSize);
        return entry;
    }
    const QByteArrayView bytes(name, qsizetype(info.size_filename));
    entry.name = (info.flag & kUtf8NameFlag) ? QString::fromUtf8(bytes) : gbk::decode(bytes);
    // Some archivers mark folders only by the trailing "/"; treat both the same.
    entry.isFolder = (info.external_fa & kFolderAttribute) || entry.name.endsWith(u'/');
    // Archives made on Unix keep the file mode in the attributes' upper half.
    constexpr uLong kMadeOnUnix = 3, kAnyExecuteBit = 0111;
    entry.executable = (info.version >> 8) == kMadeOnUnix && ((info.external_fa >> 16) & kAnyExecuteBit);
    return entry;
}

// Copies the open entry into `path`; an empty entry leaves an existing file alone.
Result<void> writeEntry(unzFile archive, const QString& path)
{
    PartFile file(path);
    if (const Result<void> opened = file.open(); !opened)
        return failure(QStringLiteral("cannot write %1: %2").arg(path, opened.error()));
    char buffer[kReadBufferSize];
    qint64 total = 0;
    for (;;) {
        const int count = unzReadCurrentFile(archive, buffer, kReadBufferSize);
        if (count == 0)
            break;
        if (count < 0 || !file.write(buffer, count))
            return failure(QStringLiteral("cannot unpack %1").arg(path));  // the partial copy is discarded
        total += count;
    }
    // Closing the entry checks its CRC, so a damaged entry never replaces a file.
    if (unzCloseCurrentFile(archive) != UNZ_OK)
        return failure(QStringLiteral("damaged entry %1").arg(path));
    if (total == 0 && QFileInfo::exists(path)) {
        file.discard();
        return {};
    }
    if (const Result<void> committed = file.commit(); !committed)
        return failure(QStringLiteral("cannot write %1: %2").arg(path, committed.error()));
    return {};
}

// minizip cannot open an archive that is nothing but its 22-byte end record.
bool isEmptyArchive(const QString& path)
{
    QFile file(path);
    return file.size() == 22 && file.open(QIODevice::ReadOnly)
        && file.read(4) == QByteArrayLiteral("PK\x05\x06");
}

bool isInside(const QString& folder, const QString& path)
{
    const QString root = QDir::cleanPath(folder) + u'/';
    return QDir::cleanPath(path).startsWith(root) || QDir::cleanPath(path) + u'/' == root;
}

}  // namespace

QString folderPart(const QString& path) { return path.left(path.lastIndexOf(u'/') + 1); }

QString fileNamePart(const QString& path) { return path.mid(path.lastIndexOf(u'/') + 1); }

bool isSafeEntryName(const QString& name)
{
    QString path = name;
    path.replace(u'\\', u'/');
    if (path.isEmpty() || path.startsWith(u'/') || path.contains(QChar(0)))
        return false;
    if (path.size() >= 2 && path.at(1) == u':' && path.at(0).isLetter())
        return false;
    const QStringList parts = path.split(u'/');
    return !parts.contains(QLatin1String(".."));
}

QString makePath(const QString& path, const EventPump& pump)
{
    const QString normalised = withTrailingSeparator(path);
    qsizetype position = 0;
    for (;;) {
        if (pump)
            pump();
        position = normalised.indexOf(u'/', position + 1);
        if (position < 0)
            break;
        const QString prefix = normalised.left(position);
        if (!prefix.isEmpty() && !QFileInfo(prefix).isDir() && !QDir().mkdir(prefix)
            && !QFileInfo(prefix).isDir())
            return {};  // a folder along the path cannot be created: stop here
    }
    return QFileInfo(normalised).isDir() ? normalised : QString();
}

ExtractResult extractZip(const QString& destination, const QString& archive, const EventPump& pump)
{
    ExtractResult result;
    ArchiveHandle handle(archive);
    unzFile zip = handle.get();
    const bool empty = !zip && isEmptyArchive(archive);
    if (!zip && !empty) {
        result.error = QStringLiteral("cannot open archive %1").arg(archive);
        return result;
    }
    result.opened = true;
    QString root = withTrailingSeparator(destination);
    if (!QFileInfo(root).isDir() && makePath(root, pump).isEmpty()) {
        result.error = QStringLiteral("cannot create folder %1").arg(root);
        return result;
    }
    if (empty) {
        result.complete = true;
        return result;
    }

    unz_global_info global{};
    if (unzGetGlobalInfo(zip, &global) != UNZ_OK) {
        result.error = QStringLiteral("damaged archive %1").arg(archive);
        return result;
    }
    int step = global.number_entry == 0 ? UNZ_END_OF_LIST_OF_FILE : unzGoToFirstFile(zip);
    for (; step == UNZ_OK; step = unzGoToNextFile(zip)) {
        if (pump)
            pump();
        const Entry entry = currentEntry(zip);
        if (!entry.problem.isEmpty()) {
            result.error = entry.problem;
            return result;
        }
        if (!isSafeEntryName(entry.name)) {
            result.refused << entry.name;
            continue;
        }
        QString folder = root;
        QString name = entry.name;
        if (name.contains(u'/')) {
            folder = makePath(folderPart(root + name), pump);
            if (folder.isEmpty() || !isInside(root, folder)) {
                result.error = QStringLiteral("cannot create the folder of %1").arg(entry.name);
                return result;
            }
            name = fileNamePart(name);
        }
        if (entry.isFolder)
            continue;
        // A "\" left in the name separates folders, as on the archive's home system.
        name.replace(u'\\', u'/');
        if (unzOpenCurrentFile(zip) != UNZ_OK) {
            result.error = QStringLiteral("cannot open entry %1").arg(entry.name);
            return result;
        }
        if (const Result<void> written = writeEntry(zip, folder + name); !written) {
            result.error = written.error();
            return result;
        }
        if (entry.executable)
            QFile::setPermissions(folder + name,
                                  QFile::permissions(folder + name) | QFile::ExeOwner | QFile::ExeGroup
                                      | QFile::ExeOther);
        ++result.filesWritten;
    }
    if (step != UNZ_END_OF_LIST_OF_FILE) {
        result.error = QStringLiteral("damaged archive %1").arg(archive);
        return result;
    }
    result.complete = true;
    return result;
}

}  // namespace update
