#pragma once
// Compare and mark: cuts a reference text into sentences and finds every one of
// them verbatim in the paper, all of them in one pass over the paper.

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <memory>

namespace comparer {

// Sentences shorter than this are never searched.
inline constexpr int kMinSentenceLength = 6;

struct CompareCounts {
    qint64 chars = 0;      // length of every found sentence, once per sentence
    qint64 sentences = 0;  // sentences found at least once
    qint64 segments = 0;   // occurrences after the first of each found sentence

    CompareCounts& operator+=(const CompareCounts& other);
};

// One reference sentence and where it was marked in the paper: the first
// occurrence, then every later one that does not overlap the one before.
struct SentenceMarks {
    qsizetype length = 0;
    QList<qsizetype> starts;  // empty: too short, or not found
};

struct CompareResult {
    QList<SentenceMarks> sentences;  // one per reference sentence, in order
    CompareCounts run;
};

// The reference text normalised (ASCII punctuation made full-width, a line
// break after each closing mark, whitespace before line breaks dropped) and
// split into its non-blank lines.
QStringList cutReferenceSentences(const QString& reference);
// The same by the chain of whole-text replacements; the yardstick for tests.
QStringList cutReferenceSentencesPlain(const QString& reference);

// A reference text cut into its sentences and made ready to be looked for;
// it can be made on one thread while the paper is read on another.
class PreparedReference {
public:
    explicit PreparedReference(QString reference);  // moved in when it is not needed after
    ~PreparedReference();
    PreparedReference(PreparedReference&&) noexcept;
    PreparedReference& operator=(PreparedReference&&) noexcept;

    CompareResult findIn(QStringView paper) const;

private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

// Finds every reference sentence in the paper.
CompareResult compareAndMark(QStringView paper, const QString& reference);
// The same by the plain cut and repeated indexOf; the yardstick for tests and benchmarks.
CompareResult compareAndMarkNaive(const QString& paper, const QString& reference);

// The two-line report of a run, or an empty string when either text is empty
// (no percentage can be computed then and the caption stays as it was).
QString compareReport(qsizetype paperLength, qsizetype referenceLength, const CompareCounts& shown,
                      qint64 runChars);

// 100 x (part / whole rounded to two decimals, a tie to the even neighbour),
// computed in integers so that the result is exact.
qint64 roundedPercent(qint64 part, qint64 whole);

}  // namespace comparer
