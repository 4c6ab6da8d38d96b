#include "comparer/core/localcompare.h"

#include "comparer/core/referencesentences.h"
#include "comparer/core/sentencematcher.h"

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

// The cut written as the chain of replacements it is defined by; the
// one-pass cut must give the same sentences.
QStringList cutReferenceSentencesPlain(const QString& reference)
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

QStringList cutReferenceSentences(const QString& reference)
{
    const ReferenceSentences cut = cutReference(reference);
    QStringList sentences;
    sentences.reserve(static_cast<qsizetype>(cut.spans.size()));
    for (size_t i = 0; i < cut.spans.size(); ++i)
        sentences.append(cut.sentence(i).toString());
    return sentences;
}

struct PreparedReference::Parts {
    explicit Parts(QString reference) : cut(cutReference(std::move(reference))), matcher(searched()) { }

    // The sentences to look for; the short ones stay empty, never found.
    std::vector<QStringView> searched() const
    {
        std::vector<QStringView> sentences;
        sentences.reserve(cut.spans.size());
        for (size_t i = 0; i < cut.spans.size(); ++i) {
            const QStringView sentence = cut.sentence(i);
            sentences.push_back(sentence.size() >= kMinSentenceLength ? sentence : QStringView());
        }
        return sentences;
    }

    const ReferenceSentences cut;
    const SentenceMatcher matcher;  // views into `cut`
};

PreparedReference::PreparedReference(QString reference)
    : parts_(std::make_unique<Parts>(std::move(reference)))
{ }
PreparedReference::~PreparedReference() = default;
PreparedReference::PreparedReference(PreparedReference&&) noexcept = default;
PreparedReference& PreparedReference::operator=(PreparedReference&&) noexcept = default;

CompareResult PreparedReference::findIn(QStringView paper) const
{
    std::vector<QList<qsizetype>> starts = parts_->matcher.occurrences(paper);
    const auto& spans = parts_->cut.spans;
    CompareResult result;
    result.sentences.reserve(static_cast<qsizetype>(spans.size()));
    for (size_t i = 0; i < spans.size(); ++i)
        count(result, SentenceMarks{spans[i].length, std::move(starts[i])});
    return result;
}

CompareResult compareAndMark(QStringView paper, const QString& reference)
{
    return PreparedReference(reference).findIn(paper);
}

CompareResult compareAndMarkNaive(const QString& paper, const QString& reference)
{
    CompareResult result;
    for (const QString& sentence : cutReferenceSentencesPlain(reference)) {
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
