#include "comparer/core/libraryfolder.h"

#include "documents/core/documentfiles.h"
#include "documents/core/rtfreader.h"
#include "documents/core/textdecoding.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <mutex>
#include <optional>
#include <thread>

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

// Reading is mostly decoding and cutting: on two cores it takes half the time.
unsigned readerThreads() { return std::clamp(std::thread::hardware_concurrency(), 1u, 4u); }

bool needsConverter(const QString& name)
{
    const QString suffix = suffixOf(name);
    return suffix == u"doc" || suffix == u"wps" || suffix == u"odt" || suffix == u"pdf";
}

// Every line break (CR LF, CR or LF) as CR LF, as the editor reports its text.
QString withCrLf(const QString& text)
{
    const qsizetype n = text.size();
    const QChar* in = text.constData();
    qsizetype lone = 0;  // breaks that grow by one character
    for (qsizetype i = 0; i < n; ++i) {
        if ((in[i] == u'\n' && (i == 0 || in[i - 1] != u'\r'))
            || (in[i] == u'\r' && (i + 1 == n || in[i + 1] != u'\n')))
            ++lone;
    }
    if (lone == 0)
        return text;
    QString out(n + lone, Qt::Uninitialized);
    QChar* o = out.data();
    for (qsizetype i = 0; i < n; ++i) {
        if (in[i] == u'\r' || in[i] == u'\n') {
            *o++ = u'\r';
            *o++ = u'\n';
            if (in[i] == u'\r' && i + 1 < n && in[i + 1] == u'\n')
                ++i;
        } else {
            *o++ = in[i];
        }
    }
    return out;
}

qint64 modifiedOf(const QFileInfo& info) { return info.lastModified().toMSecsSinceEpoch(); }

SourceFile readSource(const QString& absolute, SourceFile file, const DocumentReader& read, bool foldContent)
{
    Result<QString> text = read(absolute);
    const QFileInfo after(absolute);
    if (!text)
        file.skipped = text.error();
    else if (after.size() != file.size || modifiedOf(after) != file.modified)
        file.skipped = QStringLiteral(u"读取时文件被改动了，请稍后再对比。");
    else {
        if (foldContent)
            file.content = std::make_shared<const std::u32string>(matching::foldContent(*text));
        file.keys = sentenceKeys(std::move(*text));
    }
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

LibraryTable Library::table(bool fingerprints) const
{
    std::vector<const std::vector<SentenceKey>*> keys;
    std::vector<matching::Content> contents;
    keys.reserve(files.size());
    contents.reserve(files.size());
    for (const SourceFile& f : files) {
        keys.push_back(&f.keys);
        contents.push_back(f.content);
    }
    return LibraryTable(keys, std::move(contents), fingerprints);
}

Stretch ShownSource::stretchOf(const Passage& passage, QStringView paper) const
{
    if (passage.level == Level::Sentence) {
        const QStringView sentence = paper.mid(passage.paper.start, passage.paper.length);
        const qsizetype at = sentence.isEmpty() ? -1 : QStringView(text).indexOf(sentence);
        return at < 0 ? Stretch{} : Stretch{at, sentence.size()};
    }
    if (passage.sourceFirst < 0 || passage.sourceCount <= 0
        || passage.sourceFirst + passage.sourceCount > qsizetype(folded.content.size()))
        return {};
    const size_t first = size_t(passage.sourceFirst);
    const size_t last = size_t(passage.sourceFirst + passage.sourceCount - 1);
    return {folded.starts[first], folded.ends[last] - folded.starts[first]};
}

Result<ShownSource> showSource(const Library& library, qint32 source, const DocumentReader& read)
{
    if (source < 0 || size_t(source) >= library.files.size())
        return failure(QStringLiteral(u"文献库中没有这篇文献。"));
    const SourceFile& file = library.files[size_t(source)];
    Result<QString> text = read(QDir(library.folder).filePath(file.path));
    if (!text)
        return failure(text.error());
    ShownSource shown;
    shown.text = std::move(*text);
    shown.folded = matching::foldText(shown.text);
    shown.changed = !file.content || *file.content != shown.folded.content;
    return shown;
}

Result<QString> readDocumentText(const QString& path)
{
    const QFileInfo info(path);
    const QString suffix = suffixOf(info.fileName());
    const bool plain = suffix == u"txt" || suffix == u"rtf" || suffix == u"htm" || suffix == u"html";
    if (plain && info.size() > kMaxTextBytes)
        return failure(QStringLiteral(u"文件太大（%1 MB），文献库只读取 32 MB 以内的文本文件。")
                           .arg(info.size() / (1024 * 1024)));
    if (suffix == u"htm" || suffix == u"html" || suffix == u"txt") {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return failure(QStringLiteral(u"无法打开文件：%1").arg(file.errorString()));
        const QByteArray bytes = file.readAll();
        if (suffix != u"txt")
            return pageText(documents::decodeText(bytes).text);
        // Most of a library is plain text: its lines as the editor would
        // hold them, without building a document of them first.
        if (!documents::looksLikeRtf(bytes))
            return withCrLf(documents::decodeText(bytes).text);
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
                                ReadProgress& progress, bool foldContent)
{
    const Result<QStringList> listed = listDocuments(folder);
    if (!listed)
        return failure(listed.error());
    const QStringList& paths = *listed;
    progress.total = static_cast<int>(paths.size());
    QHash<QString, SourceFile*> before;
    for (SourceFile& f : earlier.files)
        before.insert(f.path, &f);

    const QDir dir(folder);
    std::vector<std::optional<SourceFile>> done(static_cast<size_t>(paths.size()));
    std::atomic<qsizetype> next{0};
    std::atomic<int> filesRead{0};
    std::mutex oneAtATime;
    // Each worker takes the next file; an unchanged one is moved over from
    // the earlier library (every path is taken once, so no two workers touch
    // the same entry).
    const auto work = [&] {
        for (qsizetype i; !progress.cancel && (i = next++) < paths.size();) {
            const QString absolute = dir.filePath(paths[i]);
            const QFileInfo info(absolute);
            SourceFile file{paths[i], info.size(), modifiedOf(info), {}, {}, {}};
            SourceFile* kept = before.value(paths[i]);
            if (kept && kept->size == file.size && kept->modified == file.modified) {
                done[static_cast<size_t>(i)] = std::move(*kept);
            } else {
                // LibreOffice and the PDF engine take one document at a time.
                std::unique_lock lock(oneAtATime, std::defer_lock);
                if (needsConverter(paths[i]))
                    lock.lock();
                done[static_cast<size_t>(i)] = readSource(absolute, std::move(file), read, foldContent);
                ++filesRead;
            }
            ++progress.done;
        }
    };
    std::vector<std::thread> helpers;
    for (unsigned t = 1; t < readerThreads() && t < static_cast<unsigned>(paths.size()); ++t)
        helpers.emplace_back(work);
    work();
    for (std::thread& t : helpers)
        t.join();

    ReadOutcome out;
    out.library.folder = dir.absolutePath();
    for (std::optional<SourceFile>& file : done) {
        if (file)
            out.library.files.push_back(std::move(*file));
    }
    out.cancelled = out.library.files.size() < done.size();
    out.filesRead = filesRead;
    out.changed = out.filesRead > 0 || out.library.files.size() != earlier.files.size();
    return out;
}

}  // namespace comparer::library
