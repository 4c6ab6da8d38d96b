#pragma once
// The paper against a whole library of sources. Each source is cut into
// sentences as compare-and-mark cuts its reference, and each searched
// sentence is kept as a key (its length and two hashes, not its text): fifty
// million characters of sources then take about a hundred megabytes, and a
// check of a new paper needs no source read again. All keys are looked for in
// one pass over the paper, each sentence by the rules of compare-and-mark.
//
// Beside the sentences, each source is kept as its folded content characters
// and their fingerprints (matching/runindex.h), and one check finds three
// levels at once: whole sentences (red), literal runs of N or more content
// characters (orange, outside red) and, with a thesaurus, reworded runs
// (violet, outside both).

#include "matching/runindex.h"
#include "matching/runs.h"
#include "matching/synonyms.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <memory>
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

// A stretch of a text in UTF-16 units, as the matching library gives its runs.
using Stretch = matching::Span;

// Sorted, overlapping or touching stretches joined.
using matching::joined;
qint64 totalLength(const std::vector<Stretch>& joinedStretches);

// The stretches of `joinedStretches` outside every one of `excluded` (joined too).
std::vector<Stretch> outside(const std::vector<Stretch>& joinedStretches,
                             const std::vector<Stretch>& excluded);

enum class Level { Sentence, Literal, Reworded };

// A find of one source: where it stands in the paper, and where in the source.
struct Passage {
    Level level = Level::Sentence;
    Stretch paper;  // UTF-16 units of the paper
    // The source's matching stretch in content characters of the source's text
    // (matching/fold.h; ShownSource turns it into units of the text). A sentence
    // has none (-1): it stands in the source as it stands in the paper.
    qsizetype sourceFirst = -1;
    qsizetype sourceCount = 0;
    friend bool operator==(const Passage&, const Passage&) = default;
};

struct SourceFinds {
    qint32 source = 0;
    qint64 chars = 0;                // characters of the paper its sentences mark, each once
    std::vector<Stretch> stretches;  // joined
    qint64 literalChars = 0;         // characters of the paper inside its literal runs, each once
    qint64 rewordedChars = 0;        // inside its reworded runs and outside its literal runs
    // Every find: the sentences (as `stretches`), each literal run, each reworded
    // run; by paper start, then level. A run that stands in several places of
    // the source is listed once, at its first place there.
    std::vector<Passage> passages;
};

struct LibraryResult {
    qsizetype paperLength = 0;
    qint64 markedChars = 0;                  // characters inside at least one mark
    std::vector<Stretch> stretches;          // every mark of every source, joined
    std::vector<SourceFinds> sources;        // those with a find at any level, by index
    int runLength = 0;                       // the runs' N; 0 when runs were not looked for
    bool reworded = false;                   // a thesaurus was given
    std::vector<Stretch> literal;            // every literal run of every source, joined
    std::vector<Stretch> rewordedStretches;  // reworded runs outside every literal run, joined
    qint64 literalChars = 0;                 // X: inside `literal`
    qint64 rewordedChars = 0;                // Y: inside `rewordedStretches`
};

// How a check looks for runs.
struct RunSettings {
    int runLength = matching::kDefaultRun;  // N, kept within matching::kMinRun..kMaxRun; 0: no runs
    // The thesaurus (ciku.txt's lines, as readThesaurus gives them, made into
    // Synonyms once); none: no reworded level.
    std::shared_ptr<const matching::Synonyms> thesaurus;
};

// Every source's keys in one sorted table.
class LibraryTable {
public:
    LibraryTable() = default;
    // keysOf[i] are the keys of source i (as sentenceKeys() gives them); with
    // `contents` (source i's folded content characters, as foldContent() gives
    // them), runs are looked for too: through fingerprints, or without
    // `fingerprints` (a table used for one check) by walking every source.
    explicit LibraryTable(const std::vector<const std::vector<SentenceKey>*>& keysOf,
                          std::vector<matching::Content> contents = {}, bool fingerprints = true);

    // All levels: sentences, and when the table has contents, literal and reworded runs.
    LibraryResult findIn(QStringView paper, const RunSettings& settings = {}) const;
    size_t sentenceCount() const { return entries_.size(); }
    const matching::RunIndex& runIndex() const { return runs_; }
    void setRunIndex(matching::RunIndex runs) { runs_ = std::move(runs); }

    // Kept on disk as it is, so that a window opened later need not sort it again.
    QByteArray toBytes() const;
    // The table toBytes() wrote, `bytes` of it read from `device`; empty when
    // they are no table of `sources` sources.
    static std::optional<LibraryTable> read(QIODevice& device, quint64 bytes, size_t sources);
    // Each source's keys again, each sentence once.
    std::vector<std::vector<SentenceKey>> keysBySource(size_t sources) const;

private:
    struct Entry {
        quint64 head;
        quint64 hash;
        quint32 length;
        qint32 source;
    };
    using Entries = std::vector<Entry, matching::LargePageAllocator<Entry>>;
    static_assert(sizeof(Entry) == 24);  // as kept on disk, little-endian
    static std::optional<LibraryTable> fromEntries(Entries entries, size_t sources);
    struct Mark {
        size_t entry;  // the first entry of its sentence
        qsizetype start;
    };
    std::vector<Mark> marks(QStringView paper) const;
    LibraryResult findSentences(QStringView paper) const;
    void addRuns(LibraryResult& result, QStringView paper, const RunSettings& settings) const;
    size_t sentenceEnd(size_t first) const;
    bool mayStart(quint64 head) const;
    void buildFilter();

    Entries entries_;  // by head, length, hash, source; each (sentence, source) once
    std::vector<quint64> headFilter_;
    matching::RunIndex runs_;
};

struct SourceRow {
    qint32 source = 0;
    QString path;
    qint64 chars = 0;
    qint64 share = 0;          // percent of the paper, rounded as compare-and-mark rounds
    qint64 literalChars = 0;   // 连续相同
    qint64 rewordedChars = 0;  // 疑似改写
};

// The found sources by literal characters, most first, then by sentence
// characters, most first, then by path.
std::vector<SourceRow> sourceRows(const LibraryResult& result, const QStringList& paths);

// "你的文章一共 L1 字，其中 C 字与文献库中 F 篇文献重复", the share line and,
// when runs were looked for, "        连续N字以上相同：X 字（Q %），疑似改写：Y 字（R %）"
// (without a thesaurus it ends after "（Q %）"); lines end with CR LF.
QString libraryCaption(const LibraryResult& result);
// The third line alone (empty when runs were not looked for).
QString runsCaption(const LibraryResult& result);

}  // namespace comparer::library
