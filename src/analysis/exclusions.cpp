#include "analysis/exclusions.h"

#include "analysis/segmentation.h"
#include "platform/core/numberformat.h"

#include <array>

namespace exclusions {
namespace {

constexpr QChar kIdeographicSpace(0x3000);

struct QuoteKind {
    QChar open;
    QChar close;
};
constexpr std::array<QuoteKind, 2> kQuoteKinds{
    {{QChar(0x201C), QChar(0x201D)}, {QChar(0x300C), QChar(0x300D)}}};

bool isLineBreak(QChar c) { return c == u'\r' || c == u'\n'; }

QStringView trimmedLine(QStringView line)
{
    qsizetype begin = 0;
    qsizetype end = line.size();
    while (begin < end && (line[begin] == u' ' || line[begin] == kIdeographicSpace))
        ++begin;
    while (end > begin && (line[end - 1] == u' ' || line[end - 1] == kIdeographicSpace))
        --end;
    return line.sliced(begin, end - begin);
}

bool isReferenceHeading(QStringView line)
{
    const QStringView t = trimmedLine(line);
    return t == u"参考文献" || t == u"参考资料" || t.compare(u"References", Qt::CaseInsensitive) == 0
        || t.compare(u"Bibliography", Qt::CaseInsensitive) == 0;
}

// Marks the quotations of one line in `quoted`, from `begin` to `end`.
void markQuotations(QStringView text, qsizetype begin, qsizetype end, QList<bool>& quoted)
{
    std::array<bool, kQuoteKinds.size()> unclosed{};  // no closing mark left in this line
    for (qsizetype i = begin; i < end; ++i) {
        for (std::size_t k = 0; k < kQuoteKinds.size(); ++k) {
            if (text[i] != kQuoteKinds[k].open || unclosed[k])
                continue;
            const QStringView rest = text.sliced(i + 1, end - i - 1);
            const qsizetype close = rest.indexOf(kQuoteKinds[k].close);
            if (close < 0) {
                unclosed[k] = true;
                break;
            }
            const qsizetype last = i + 1 + close;
            for (qsizetype j = i; j <= last; ++j)
                quoted[j] = true;
            i = last;
            break;
        }
    }
}

}  // namespace

QList<qsizetype> pieceStarts(const QString& analysedText, const QStringList& sentences)
{
    QList<qsizetype> starts;
    starts.reserve(sentences.size());
    qsizetype cursor = 0;
    for (const QString& sentence : sentences) {
        qsizetype at = QStringView(analysedText).sliced(cursor).startsWith(sentence)
            ? cursor
            : analysedText.indexOf(sentence, cursor);
        if (at < 0)
            at = analysedText.indexOf(sentence);  // should not happen; keeps the piece measurable
        starts.append(at);
        if (at >= 0)
            cursor = at + sentence.size();
    }
    return starts;
}

qsizetype referenceListStart(QStringView editorText)
{
    qsizetype lineEnd = editorText.size();
    while (lineEnd >= 0) {
        qsizetype lineStart = lineEnd;
        while (lineStart > 0 && !isLineBreak(editorText[lineStart - 1]))
            --lineStart;
        if (isReferenceHeading(editorText.sliced(lineStart, lineEnd - lineStart)))
            return lineStart;
        if (lineStart == 0)
            break;
        lineEnd = lineStart - 1;
        if (lineEnd > 0 && editorText[lineEnd] == u'\n' && editorText[lineEnd - 1] == u'\r')
            --lineEnd;
    }
    return -1;
}

QList<bool> quotedCharacters(QStringView text)
{
    QList<bool> quoted(text.size(), false);
    qsizetype lineStart = 0;
    while (lineStart <= text.size()) {
        qsizetype lineEnd = lineStart;
        while (lineEnd < text.size() && !isLineBreak(text[lineEnd]))
            ++lineEnd;
        markQuotations(text, lineStart, lineEnd, quoted);
        lineStart = lineEnd + 1;
    }
    return quoted;
}

QList<bool> excludedPieces(QStringView editorText, const QString& analysedText, const QStringList& sentences)
{
    // Which characters of the analysed text are cited. The analysed text is
    // the editor text with characters taken out, so walking both together
    // pairs every analysed character with the one it came from.
    QList<bool> cited;
    if (segmentation::normalise(editorText) == analysedText) {
        QList<bool> citedInEditor = quotedCharacters(editorText);
        const qsizetype references = referenceListStart(editorText);
        if (references >= 0)
            std::fill(citedInEditor.begin() + references, citedInEditor.end(), true);
        cited.reserve(analysedText.size());
        for (qsizetype i = 0; i < editorText.size() && cited.size() < analysedText.size(); ++i)
            if (segmentation::normalisedCharacter(editorText[i]) == analysedText[cited.size()])
                cited.append(citedInEditor[i]);
    } else {
        cited = quotedCharacters(analysedText);
    }
    cited.resize(analysedText.size(), false);

    const QList<qsizetype> starts = pieceStarts(analysedText, sentences);
    QList<bool> excluded(sentences.size(), false);
    for (qsizetype p = 0; p < sentences.size(); ++p) {
        const qsizetype length = sentences[p].size();
        if (starts[p] < 0 || length == 0)
            continue;
        const auto from = cited.cbegin() + starts[p];
        const qsizetype count = std::count(from, from + length, true);
        excluded[p] = 2 * count >= length;
    }
    return excluded;
}

double figureWithout(const QList<PieceResult>& pieces, const QList<bool>& excluded)
{
    double sum = 0;
    qsizetype counted = 0;
    for (qsizetype p = 0; p < pieces.size(); ++p) {
        if (!pieces[p].checked || excluded.value(p, false))
            continue;
        sum += pieces[p].figure;
        ++counted;
    }
    // The overall figure divides by pageCount before the page just scored is
    // counted in it, so after n pages by n: dividing by one more would make
    // this figure lower than the overall one even with nothing left out.
    return counted == 0 ? 0.0 : numfmt::roundHalfEven(sum / double(counted), 2);
}

}  // namespace exclusions
