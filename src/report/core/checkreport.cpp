#include "report/core/checkreport.h"

#include "analysis/chapters.h"
#include "analysis/comparisonsession.h"
#include "analysis/exclusions.h"
#include "analysis/segmentation.h"
#include "analysis/sharedruns.h"
#include "analysis/sitestats.h"
#include "platform/core/gbk.h"
#include "platform/core/numberformat.h"
#include "report/core/evidence.h"
#include "report/core/reportmodel.h"

#include <QHash>
#include <QSet>

namespace report {
namespace {

const QString kOverallCaption = QStringLiteral("目前总体相似度：");
constexpr qsizetype kTitleLength = 40;

// The paper's first line that holds more than spaces, as its title.
QString firstLine(QStringView text)
{
    for (const QStringView line : text.tokenize(u'\n')) {
        const QString trimmed = line.trimmed().toString();
        if (!trimmed.isEmpty())
            return trimmed.left(kTitleLength);
    }
    return {};
}

// The ranking the statistics button makes, each title once with its count.
// The button's own table shows every other slot (a title of count c fills c
// neighbouring slots); the report lists every title instead.
QList<SiteRow> siteRanking(const SavedCheck& check, const QList<PieceRow>& pieces)
{
    ComparisonSession ranked;
    ranked.resultTitles = check.resultTitles;
    ranked.resultBlocks = check.resultBlocks;
    ranked.resultBlocks.resize(ranked.resultTitles.size());
    ranked.resultSites.resize(ranked.resultTitles.size());
    sitestats::rebuild(ranked);

    QHash<QString, QString> urls;
    for (const PieceRow& piece : pieces)
        for (const ResultLink& result : piece.results)
            if (!result.url.isEmpty() && !urls.contains(result.title))
                urls.insert(result.title, result.url);

    QList<SiteRow> rows;
    QSet<QString> seen;
    for (qsizetype i = 0; i < ranked.resultTitles.size(); ++i) {
        const QString& title = ranked.resultTitles[i];
        if (title.isEmpty() || !ranked.resultSites[i] || seen.contains(title))
            continue;
        seen.insert(title);
        rows.append({title, urls.value(title), *ranked.resultSites[i]});
    }
    return rows;
}

// A field of a figure line: no tab or line break inside it.
QString field(QString text)
{
    for (QChar& ch : text)
        if (ch == u'\t' || ch == u'\r' || ch == u'\n')
            ch = u' ';
    return text;
}

QString withoutPercent(const QString& figure) { return figure.endsWith(u'%') ? figure.chopped(1) : figure; }

}  // namespace

QString engineCaption(const QString& engine)
{
    if (engine == u"wenku")
        return QStringLiteral("百度文库");
    if (engine == u"zhiwang")
        return QStringLiteral("中国知网");
    if (engine == u"longyuan")
        return QStringLiteral("龙源期刊");
    return QStringLiteral("百度引擎");
}

QString percent(double figure)
{
    return (figure > 100 ? QStringLiteral("100") : numfmt::format(figure)) + u'%';
}

QString overallInLabel2(const SavedCheck& check)
{
    const qsizetype at = check.label2.lastIndexOf(kOverallCaption);
    if (at < 0)
        return {};
    QString shown = check.label2.mid(at + kOverallCaption.size());
    const qsizetype lineEnd = shown.indexOf(u'\r');
    if (lineEnd >= 0)
        shown.truncate(lineEnd);
    return shown;
}

Content contentOf(const SavedCheck& check, QStringView paperText)
{
    Content c;
    c.checkedAt = check.savedAt;
    c.engine = engineCaption(check.engine);
    c.characterCount = gbk::doubleByteCount(check.analysedText);
    c.pieceCount = check.sentences.size();
    c.paperTitle = firstLine(paperText.isEmpty() ? QStringView(check.analysedText) : paperText);
    c.linesKnown = !paperText.isEmpty() && segmentation::normalise(paperText) == check.analysedText;

    const QList<bool> excluded = exclusions::excludedPieces(paperText, check.analysedText, check.sentences);
    const QList<qsizetype> starts = exclusions::pieceStarts(check.analysedText, check.sentences);
    c.pieces.reserve(check.sentences.size());
    for (qsizetype i = 0; i < check.sentences.size(); ++i) {
        PieceRow row;
        row.number = int(i + 1);
        row.text = check.sentences[i].trimmed();
        const PieceResult piece = check.pieces.value(i);
        row.checked = piece.checked;
        row.figure = piece.figure;
        row.results = piece.results;
        row.excluded = excluded.value(i, false);
        row.start = starts.value(i, -1);
        row.characters = gbk::doubleByteCount(check.sentences[i]);
        row.textLead = std::max<qsizetype>(check.sentences[i].indexOf(row.text), 0);
        // What the web still shows of the piece; a first-format check has no summaries.
        if (check.summariesKept && row.checked && similarityband::colourFor(row.figure)) {
            sharedruns::PieceRuns runs = sharedruns::ofPiece(check.sentences[i], row.results);
            row.sharedRuns = std::move(runs.joined);
            row.longestRun = std::move(runs.longest);
        }
        if (row.checked) {
            ++c.checkedCount;
            if (row.excluded)
                ++c.excludedCount;
        }
        c.pieces.append(std::move(row));
    }
    c.overall = percent(exclusions::figureWithout(check.pieces, {}));
    c.label2Overall = overallInLabel2(check);
    c.overallWithout = percent(exclusions::figureWithout(check.pieces, excluded));
    c.sites = siteRanking(check, c.pieces);
    c.summariesKept = check.summariesKept;
    c.sources = sourcesOf(c.pieces, c.characterCount);
    c.largestShare = numfmt::format(c.sources.isEmpty() ? 0.0 : c.sources.front().share) + u'%';
    if (const auto found = chapters::find(paperText, check.analysedText))
        c.chapters = chapterRowsOf(*found, c.pieces, check.analysedText);
    return c;
}

QString html(const Content& c) { return html(modelOf(c)); }

QStringList figureLines(const Content& c)
{
    QStringList lines{QStringLiteral("overall\t") + withoutPercent(c.overall),
                      QStringLiteral("without\t") + withoutPercent(c.overallWithout),
                      QStringLiteral("label2\t") + withoutPercent(c.label2Overall),
                      QStringLiteral("largest\t") + withoutPercent(c.largestShare)};
    for (const SourceRow& s : c.sources)
        lines.append(QStringList{QStringLiteral("source"), field(s.title), QString::number(s.pieces),
                                 numfmt::format(qint64(s.characters)), numfmt::format(s.share)}
                         .join(u'\t'));
    for (const ChapterRow& r : c.chapters.value_or(QList<ChapterRow>()))
        lines.append(QStringList{QStringLiteral("chapter"), field(r.title),
                                 numfmt::format(qint64(r.characters)), QString::number(r.pieces),
                                 QString::number(r.checked),
                                 r.figure ? withoutPercent(percent(*r.figure)) : QString()}
                         .join(u'\t'));
    for (const PieceRow& piece : c.pieces)
        for (const matching::Span& run : piece.sharedRuns)
            lines.append(QStringLiteral("run\t%1\t%2\t%3").arg(piece.number).arg(run.start).arg(run.length));
    return lines;
}

QByteArray htmlBytes(const SavedCheck& check, QStringView paperText)
{
    return html(contentOf(check, paperText)).toUtf8();
}

}  // namespace report
