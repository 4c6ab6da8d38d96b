#pragma once
// The paper against a whole library of sources. Each source is cut into
// sentences as compare-and-mark cuts its reference, and each searched
// sentence is kept as a key (its length and two hashes, not its text): fifty
// million characters of sources then take about a hundred megabytes, and a
// check of a new paper needs no source read again. All keys are looked for in
// one pass over the paper, each sentence by the rules of compare-and-mark.

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>
#include <vector>

namespace comparer::library {

struct SentenceKey {
    quint64 head = 0;    // hash of the first kMinSentenceLength characters: the filter
    quint64 hash = 0;    // hash of the whole sentence, modulo 2^61 - 1
    quint32 length = 0;  // in UTF-16 code units
    friend bool operator==(const SentenceKey&, const SentenceKey&) = default;
};

// The sentences of a source that compare-and-mark would search (six
// characters or more), in the order of the text.
std::vector<SentenceKey> sentenceKeys(QString text);

struct Stretch {
    qsizetype start = 0;
    qsizetype length = 0;
    friend bool operator==(const Stretch&, const Stretch&) = default;
};

// Sorted, overlapping or touching stretches joined.
std::vector<Stretch> joined(std::vector<Stretch> stretches);
qint64 totalLength(const std::vector<Stretch>& joinedStretches);

struct SourceFinds {
    qint32 source = 0;
    qint64 chars = 0;                // characters of the paper its sentences mark, each once
    std::vector<Stretch> stretches;  // joined
};

struct LibraryResult {
    qsizetype paperLength = 0;
    qint64 markedChars = 0;            // characters inside at least one mark
    std::vector<Stretch> stretches;    // every mark of every source, joined
    std::vector<SourceFinds> sources;  // those with at least one found sentence, by index
};

// Every source's keys in one sorted table.
class LibraryTable {
public:
    LibraryTable() = default;
    // keysOf[i] are the keys of source i (as sentenceKeys() gives them).
    explicit LibraryTable(const std::vector<const std::vector<SentenceKey>*>& keysOf);

    LibraryResult findIn(QStringView paper) const;
    size_t sentenceCount() const { return entries_.size(); }

    // Kept on disk as it is, so that a window opened later need not sort it again.
    QByteArray toBytes() const;
    // Empty when the bytes are no table of `sources` sources.
    static std::optional<LibraryTable> fromBytes(QByteArrayView bytes, size_t sources);
    // Each source's keys again, each sentence once.
    std::vector<std::vector<SentenceKey>> keysBySource(size_t sources) const;

private:
    struct Entry {
        quint64 head;
        quint64 hash;
        quint32 length;
        qint32 source;
    };
    struct Mark {
        size_t entry;  // the first entry of its sentence
        qsizetype start;
    };
    std::vector<Mark> marks(QStringView paper) const;
    size_t sentenceEnd(size_t first) const;
    bool mayStart(quint64 head) const;
    void buildFilter();

    std::vector<Entry> entries_;  // by head, length, hash, source; each (sentence, source) once
    std::vector<quint64> headFilter_;
};

struct SourceRow {
    qint32 source = 0;
    QString path;
    qint64 chars = 0;
    qint64 share = 0;  // percent of the paper, rounded as compare-and-mark rounds
};

// The found sources by characters, most first, then by path.
std::vector<SourceRow> sourceRows(const LibraryResult& result, const QStringList& paths);

// "你的文章一共 L1 字，其中 C 字与文献库中 F 篇文献重复" and the share line.
QString libraryCaption(const LibraryResult& result);

}  // namespace comparer::library
