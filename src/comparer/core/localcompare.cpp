#include "comparer/core/localcompare.h"

#include <QHash>

#include <algorithm>
#include <limits>
#include <vector>

namespace comparer {

CompareCounts& CompareCounts::operator+=(const CompareCounts& other)
{
    chars += other.chars;
    sentences += other.sentences;
    segments += other.segments;
    return *this;
}

namespace {

const QString kCrLf = QStringLiteral("\r\n");

bool isBlank(QString piece)
{
    piece.remove(QChar(0x3000));
    // Only the space counts as padding here; a lone tab is a (short) sentence.
    qsizetype first = 0;
    qsizetype last = piece.size();
    while (first < last && piece[first] == u' ')
        ++first;
    while (last > first && piece[last - 1] == u' ')
        --last;
    return first == last;
}

// --- the paper's index of 6-character grams ---

constexpr quint64 kHashBase = 0x100000001b3ULL;

quint64 gramHash(const QChar* s)
{
    quint64 h = 0;
    for (int i = 0; i < kMinSentenceLength; ++i)
        h = h * kHashBase + s[i].unicode();
    return h;
}

struct Gram {
    quint64 hash;
    qsizetype pos;
    bool operator<(const Gram& o) const { return hash != o.hash ? hash < o.hash : pos < o.pos; }
};

class PaperIndex {
public:
    explicit PaperIndex(QStringView paper) : paper_(paper)
    {
        const qsizetype count = paper.size() - kMinSentenceLength + 1;
        if (count <= 0)
            return;
        grams_.reserve(count);
        quint64 topPower = 1;  // kHashBase^(k-1), to drop the leaving character
        for (int i = 1; i < kMinSentenceLength; ++i)
            topPower *= kHashBase;
        quint64 h = gramHash(paper.data());
        for (qsizetype i = 0;; ++i) {
            grams_.push_back({h, i});
            if (i + 1 >= count)
                break;
            h = (h - paper[i].unicode() * topPower) * kHashBase + paper[i + kMinSentenceLength].unicode();
        }
        std::sort(grams_.begin(), grams_.end());
    }

    // Non-overlapping occurrences of `sentence`, leftmost first.
    QList<qsizetype> occurrences(QStringView sentence) const
    {
        QList<qsizetype> starts;
        const qsizetype length = sentence.size();
        if (length < kMinSentenceLength || length > paper_.size())
            return starts;
        // Anchor on the sentence's rarest gram: fewest candidates to verify.
        Range best;
        qsizetype bestOffset = 0;
        for (qsizetype o = 0; o + kMinSentenceLength <= length; ++o) {
            const Range r = find(gramHash(sentence.data() + o));
            if (o == 0 || r.size() < best.size()) {
                best = r;
                bestOffset = o;
            }
            if (best.size() == 0)
                return starts;
        }
        qsizetype next = 0;  // the next occurrence must begin here or later
        auto it = best.begin;
        while (it != best.end) {
            const qsizetype start = it->pos - bestOffset;
            if (start < next) {
                it = std::lower_bound(it, best.end, Gram{it->hash, next + bestOffset});
                continue;
            }
            if (start + length <= paper_.size() && paper_.mid(start, length) == sentence) {
                starts.append(start);
                next = start + length;
            }
            ++it;
        }
        return starts;
    }

private:
    using Iter = std::vector<Gram>::const_iterator;
    struct Range {
        Iter begin{}, end{};
        qsizetype size() const { return end - begin; }
    };

    Range find(quint64 hash) const
    {
        const auto lo = std::lower_bound(grams_.begin(), grams_.end(), Gram{hash, 0});
        const auto hi =
            std::upper_bound(lo, grams_.cend(), Gram{hash, std::numeric_limits<qsizetype>::max()});
        return {lo, hi};
    }

    QStringView paper_;
    std::vector<Gram> grams_;
};

void count(CompareResult& result, SentenceMarks marks)
{
    if (!marks.starts.isEmpty()) {
        result.run.chars += marks.length;
        result.run.sentences += 1;
        result.run.segments += marks.starts.size() - 1;
    }
    result.sentences.append(std::move(marks));
}

}  // namespace

QStringList cutReferenceSentences(const QString& reference)
{
    QString s = reference;
    s.replace(u',', QStringLiteral(u"，"));
    s.replace(QStringLiteral(u"，"), QStringLiteral(u"，\r\n"));
    s.replace(u'.', QStringLiteral(u"。"));
    s.replace(QStringLiteral(u"。"), QStringLiteral(u"。\r\n"));
    s.replace(QStringLiteral(u"！"), QStringLiteral(u"！\r\n"));
    s.replace(u'!', QStringLiteral(u"！\r\n"));
    s.replace(QStringLiteral(u"？"), QStringLiteral(u"？\r\n"));
    s.replace(u'?', QStringLiteral(u"？\r\n"));
    s.replace(QStringLiteral(u"……"), QStringLiteral(u"……\r\n"));
    s.replace(QStringLiteral(u"  \r\n"), kCrLf);
    s.replace(QStringLiteral(u" \r\n"), kCrLf);
    s.replace(QStringLiteral(u"\u3000\u3000\r\n"), kCrLf);
    s.replace(QStringLiteral(u"\u3000\r\n"), kCrLf);
    s.replace(QStringLiteral(u"\t\r\n"), kCrLf);

    QStringList sentences;
    for (const QString& piece : s.split(kCrLf)) {
        if (!isBlank(piece))
            sentences.append(piece);
    }
    return sentences;
}

CompareResult compareAndMark(QStringView paper, const QString& reference)
{
    const QStringList sentences = cutReferenceSentences(reference);
    const PaperIndex index(paper);
    QHash<QString, QList<qsizetype>> seen;  // a sentence repeated in the reference
    CompareResult result;
    result.sentences.reserve(sentences.size());
    for (const QString& sentence : sentences) {
        SentenceMarks marks{sentence.size(), {}};
        if (sentence.size() >= kMinSentenceLength) {
            auto it = seen.constFind(sentence);
            if (it == seen.constEnd())
                it = seen.insert(sentence, index.occurrences(sentence));
            marks.starts = *it;
        }
        count(result, std::move(marks));
    }
    return result;
}

CompareResult compareAndMarkNaive(const QString& paper, const QString& reference)
{
    CompareResult result;
    for (const QString& sentence : cutReferenceSentences(reference)) {
        SentenceMarks marks{sentence.size(), {}};
        if (sentence.size() >= kMinSentenceLength && !paper.isEmpty()) {
            for (qsizetype p = paper.indexOf(sentence); p >= 0;
                 p = paper.indexOf(sentence, p + sentence.size()))
                marks.starts.append(p);
        }
        count(result, std::move(marks));
    }
    return result;
}

qint64 roundedPercent(qint64 part, qint64 whole)
{
    if (whole <= 0)
        return 0;
    const qint64 scaled = part * 100;
    qint64 quotient = scaled / whole;
    const qint64 twiceRemainder = 2 * (scaled % whole);
    if (twiceRemainder > whole || (twiceRemainder == whole && quotient % 2 != 0))
        ++quotient;
    return quotient;
}

QString compareReport(qsizetype paperLength, qsizetype referenceLength, const CompareCounts& shown,
                      qint64 runChars)
{
    if (paperLength <= 0 || referenceLength <= 0)
        return {};
    const auto n = [](qint64 v) { return QString::number(v); };
    return QStringLiteral(u"你的文章一共 ") + n(paperLength) + QStringLiteral(u" 字，重复 ")
        + n(shown.segments) + QStringLiteral(u" 段， ") + n(shown.sentences) + QStringLiteral(u" 句， ")
        + n(shown.chars) + QStringLiteral(u" 字") + kCrLf + QStringLiteral(u"        重复部分占你的文章的： ")
        + n(roundedPercent(shown.chars, paperLength)) + QStringLiteral(u" %") + kCrLf
        + QStringLiteral(u"        与参考文章的相似度为： ") + n(roundedPercent(runChars, referenceLength))
        + QStringLiteral(u" %");
}

}  // namespace comparer
