#pragma once
// The library as a folder of documents: which files belong to it, reading
// them into sentence keys (on a worker thread, with progress and cancel), and
// the index kept beside the user's data so that an unchanged file is never
// read twice.

#include "comparer/core/librarymatch.h"
#include "matching/fold.h"
#include "platform/core/result.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <optional>
#include <vector>

namespace comparer::library {

// A document of the library as it was last read.
struct SourceFile {
    QString path;  // relative to the folder, with "/"
    qint64 size = 0;
    qint64 modified = 0;  // milliseconds since the epoch
    QString skipped;      // why it could not be read; empty when it was
    std::vector<SentenceKey> keys;
    matching::Content content;  // its folded content characters (matching/fold.h); null when skipped
};

struct Library {
    QString folder;                 // absolute
    std::vector<SourceFile> files;  // by path
    QStringList paths() const;
    // The read files' keys and contents (a skipped file has none); with
    // fingerprints unless the table serves one check and is not kept.
    LibraryTable table(bool fingerprints = true) const;
};

// A document's text as the editor would hold it (CR LF line breaks), or why
// it cannot be read.
using DocumentReader = std::function<Result<QString>(const QString& path)>;

// What Open reads; .htm and .html give the page's text.
Result<QString> readDocumentText(const QString& path);

// The text a browser shows for a page: no tags, scripts or styles, entities
// decoded, blocks on lines of their own.
QString pageText(QStringView html);

// The library's documents below `folder`, relative, with "/", sorted: names
// ending in .txt, .rtf, .doc, .docx, .wps, .odt, .pdf, .htm or .html (in any
// case), none beginning with "."; a folder reached twice through links is
// walked once.
Result<QStringList> listDocuments(const QString& folder);

// Shared with the thread that shows progress and may cancel.
struct ReadProgress {
    std::atomic<int> done{0};
    std::atomic<int> total{0};  // 0 while the folder is listed
    std::atomic<bool> cancel{false};
};

struct ReadOutcome {
    Library library;       // on cancel: the files done so far
    int filesRead = 0;     // read anew rather than taken from the earlier library
    bool changed = false;  // differs from the earlier library
    bool cancelled = false;
};

// Reads every document of `folder`; a file whose size and modification time
// are those `earlier` holds is taken from it unread (moved, not copied).
// Several files are read at once: `read` must bear being called from several
// threads. Fails only when the folder cannot be listed. Without `foldContent`
// the files keep their sentence keys alone (no runs can be looked for).
Result<ReadOutcome> readLibrary(const QString& folder, Library earlier, const DocumentReader& read,
                                ReadProgress& progress, bool foldContent = true);

// A source as the side-by-side view shows it: its text read now, and where a
// passage stands in it.
struct ShownSource {
    QString text;
    // The text differs from what the index holds (the document changed since
    // it was read): passages may stand elsewhere or not at all.
    bool changed = false;
    matching::FoldedText folded;
    // The passage's stretch in `text` (UTF-16 units): a sentence is looked for
    // as it stands in `paper`; empty (length 0) when it is not there.
    Stretch stretchOf(const Passage& passage, QStringView paper) const;
};
// Reads source `source` of `library` with `read` (readDocumentText for a window).
Result<ShownSource> showSource(const Library& library, qint32 source, const DocumentReader& read);

// --- the index on disk ---

// One index file per folder, in `dataFolder`'s "library" folder: the
// documents and the library's table, sorted, from which their keys come back.
QString indexPath(const QString& dataFolder, const QString& folder);

struct StoredLibrary {
    Library library;
    std::optional<LibraryTable> table;  // the table of `library`, as it was saved
};
// An absent, damaged or foreign index reads as an empty library of that folder.
StoredLibrary loadIndex(const QString& path, const QString& folder);
// `table` must be library.table() (with fingerprints).
Result<void> saveIndex(const Library& library, const LibraryTable& table, const QString& path);

}  // namespace comparer::library
