#include "analysis/chapters.h"

#include "analysis/segmentation.h"

#include <QRegularExpression>

namespace chapters {
namespace {

const QString kPreface = QStringLiteral("前置部分");

bool isSpacing(QChar c) { return c == u' ' || c == u'\t' || c == QChar(0x3000); }

QStringView trimmed(QStringView line)
{
    while (!line.isEmpty() && isSpacing(line.front()))
        line = line.sliced(1);
    while (!line.isEmpty() && isSpacing(line.back()))
        line.chop(1);
    return line;
}

// Theses often space these words out ("摘  要"), so the spacing inside is dropped.
bool isHeadingWord(QStringView line)
{
    QString word;
    for (const QChar c : line)
        if (!isSpacing(c))
            word += c;
    return word == u"摘要" || word.compare(u"Abstract", Qt::CaseInsensitive) == 0 || word == u"参考文献"
        || word == u"致谢" || word == u"附录";
}

const QRegularExpression& ordinalHeading()
{
    static const QRegularExpression kOrdinal(
        QStringLiteral("^第[0-9零〇一二三四五六七八九十百两]+(章|部分|节)"));
    return kOrdinal;
}

// 1 to 99, at most two ".n" below it, then a space (an ideographic one too),
// "、" or a Chinese character.
const QRegularExpression& numberedHeading()
{
    static const QRegularExpression kNumbered(
        QStringLiteral("^[1-9][0-9]?((?:\\.[0-9]+){0,2})([ \\t\\x{3000}、]|\\p{Han})"));
    return kNumbered;
}

bool isChapterOpening(Heading h, bool partsAreChapters)
{
    return h == Heading::Chapter || h == Heading::Numbered || h == Heading::Word
        || (partsAreChapters && h == Heading::Part);
}

struct Line {
    qsizetype analysedStart;  // the analysed text's position where the line begins
    QStringView text;
};

// Every line of the editor text with where it begins in the analysed text:
// the analysed text is the editor text with characters taken out, so walking
// both together pairs each analysed character with the one it came from.
QList<Line> linesOf(QStringView editorText, const QString& analysedText)
{
    QList<Line> lines;
    qsizetype analysed = 0;
    qsizetype lineStart = 0;
    qsizetype analysedAtLineStart = 0;
    for (qsizetype i = 0; i <= editorText.size(); ++i) {
        if (i == editorText.size() || editorText[i] == u'\r' || editorText[i] == u'\n') {
            lines.append({analysedAtLineStart, editorText.sliced(lineStart, i - lineStart)});
            lineStart = i + 1;
            analysedAtLineStart = analysed;
            continue;
        }
        if (analysed < analysedText.size()
            && segmentation::normalisedCharacter(editorText[i]) == analysedText[analysed])
            ++analysed;
    }
    return lines;
}

}  // namespace

Heading headingOf(QStringView line)
{
    const QStringView t = trimmed(line);
    if (t.isEmpty() || t.size() > kMaxHeadingLength)
        return Heading::None;
    for (const QChar punctuation : {u'。', u'，', u'；', u'：'})
        if (t.contains(punctuation))
            return Heading::None;
    if (isHeadingWord(t))
        return Heading::Word;
    if (const QRegularExpressionMatch m = ordinalHeading().match(t); m.hasMatch())
        return m.capturedView(1) == u"章"  ? Heading::Chapter
            : m.capturedView(1) == u"部分" ? Heading::Part
                                           : Heading::Section;
    if (const QRegularExpressionMatch m = numberedHeading().match(t); m.hasMatch())
        return m.capturedView(1).isEmpty() && m.capturedView(2) != u"、" ? Heading::Numbered
                                                                         : Heading::Section;
    return Heading::None;
}

std::optional<QList<Chapter>> find(QStringView editorText, const QString& analysedText)
{
    if (editorText.isEmpty() || segmentation::normalise(editorText) != analysedText)
        return std::nullopt;
    struct Found {
        Heading kind;
        Line line;
    };
    QList<Found> headings;
    bool anyChapter = false;
    for (const Line& line : linesOf(editorText, analysedText)) {
        const Heading kind = headingOf(line.text);
        if (kind != Heading::None)
            headings.append({kind, line});
        anyChapter = anyChapter || kind == Heading::Chapter;
    }
    QList<Chapter> found;
    for (const Found& h : headings)
        if (isChapterOpening(h.kind, !anyChapter))
            found.append({trimmed(h.line.text).toString(), h.line.analysedStart});
    if (!found.isEmpty() && found.front().start > 0)
        found.prepend({kPreface, 0});
    return found;
}

}  // namespace chapters
