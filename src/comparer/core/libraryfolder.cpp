#include "comparer/core/libraryfolder.h"

#include "documents/core/documentfiles.h"
#include "documents/core/textdecoding.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

namespace comparer::library {

namespace {

const QStringList kSuffixes = {QStringLiteral("txt"),  QStringLiteral("rtf"), QStringLiteral("doc"),
                               QStringLiteral("docx"), QStringLiteral("wps"), QStringLiteral("odt"),
                               QStringLiteral("pdf"),  QStringLiteral("htm"), QStringLiteral("html")};

// Plain text beyond this is no paper or book but a dump; reading it whole
// would take most of the memory the library may use.
constexpr qint64 kMaxTextBytes = 32LL * 1024 * 1024;

QString suffixOf(const QString& name) { return name.mid(name.lastIndexOf(u'.') + 1).toLower(); }

bool isLibraryDocument(const QString& name)
{
    return name.contains(u'.') && kSuffixes.contains(suffixOf(name));
}

void walk(const QDir& dir, const QString& relative, QSet<QString>& visited, QStringList& out)
{
    const QFileInfoList entries = dir.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QFileInfo& info : entries) {
        const QString name = info.fileName();
        if (name.startsWith(u'.'))
            continue;
        if (info.isDir()) {
            // A link back up the tree would otherwise be walked for ever.
            const QString canonical = info.canonicalFilePath();
            if (canonical.isEmpty() || visited.contains(canonical))
                continue;
            visited.insert(canonical);
            walk(QDir(info.filePath()), relative + name + u'/', visited, out);
        } else if (isLibraryDocument(name)) {
            out << relative + name;
        }
    }
}

qint64 modifiedOf(const QFileInfo& info) { return info.lastModified().toMSecsSinceEpoch(); }

SourceFile readSource(const QString& absolute, SourceFile file, const DocumentReader& read)
{
    Result<QString> text = read(absolute);
    const QFileInfo after(absolute);
    if (!text)
        file.skipped = text.error();
    else if (after.size() != file.size || modifiedOf(after) != file.modified)
        file.skipped = QStringLiteral(u"读取时文件被改动了，请稍后再对比。");
    else
        file.keys = sentenceKeys(std::move(*text));
    return file;
}

}  // namespace

QStringList Library::paths() const
{
    QStringList out;
    out.reserve(static_cast<qsizetype>(files.size()));
    for (const SourceFile& f : files)
        out << f.path;
    return out;
}

LibraryTable Library::table() const
{
    std::vector<const std::vector<SentenceKey>*> keys;
    keys.reserve(files.size());
    for (const SourceFile& f : files)
        keys.push_back(&f.keys);
    return LibraryTable(keys);
}

Result<QString> readDocumentText(const QString& path)
{
    const QFileInfo info(path);
    const QString suffix = suffixOf(info.fileName());
    const bool plain = suffix == u"txt" || suffix == u"rtf" || suffix == u"htm" || suffix == u"html";
    if (plain && info.size() > kMaxTextBytes)
        return failure(QStringLiteral(u"文件太大（%1 MB），文献库只读取 32 MB 以内的文本文件。")
                           .arg(info.size() / (1024 * 1024)));
    if (suffix == u"htm" || suffix == u"html") {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return failure(QStringLiteral(u"无法打开文件：%1").arg(file.errorString()));
        return pageText(documents::decodeText(file.readAll()).text);
    }
    const Result<documents::LoadedDocument> loaded = documents::loadDocumentFile(path);
    if (!loaded)
        return failure(loaded.error());
    return loaded->document.plainText(QStringLiteral("\r\n"));
}

Result<QStringList> listDocuments(const QString& folder)
{
    const QFileInfo info(folder);
    if (!info.isDir())
        return failure(QStringLiteral(u"找不到文件夹：%1").arg(QDir::toNativeSeparators(folder)));
    if (!info.isReadable() || !info.isExecutable())
        return failure(QStringLiteral(u"无法读取文件夹：%1").arg(QDir::toNativeSeparators(folder)));
    QSet<QString> visited{info.canonicalFilePath()};
    QStringList out;
    walk(QDir(folder), {}, visited, out);
    out.sort();
    return out;
}

Result<ReadOutcome> readLibrary(const QString& folder, Library earlier, const DocumentReader& read,
                                ReadProgress& progress)
{
    const Result<QStringList> listed = listDocuments(folder);
    if (!listed)
        return failure(listed.error());
    progress.total = static_cast<int>(listed->size());
    QHash<QString, SourceFile*> before;
    for (SourceFile& f : earlier.files)
        before.insert(f.path, &f);

    ReadOutcome out;
    const QDir dir(folder);
    out.library.folder = dir.absolutePath();
    for (const QString& path : *listed) {
        if (progress.cancel) {
            out.cancelled = true;
            break;
        }
        const QString absolute = dir.filePath(path);
        const QFileInfo info(absolute);
        SourceFile file{path, info.size(), modifiedOf(info), {}, {}};
        SourceFile* kept = before.value(path);
        if (kept && kept->size == file.size && kept->modified == file.modified) {
            out.library.files.push_back(std::move(*kept));
        } else {
            out.library.files.push_back(readSource(absolute, std::move(file), read));
            ++out.filesRead;
        }
        ++progress.done;
    }
    out.changed = out.filesRead > 0 || out.library.files.size() != earlier.files.size();
    return out;
}

}  // namespace comparer::library
