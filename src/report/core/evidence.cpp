#include "report/core/evidence.h"

#include "platform/core/gbk.h"
#include "platform/core/numberformat.h"

#include <QHash>
#include <QSet>

#include <algorithm>

namespace report {
namespace {

bool similar(const PieceRow& piece) { return piece.checked && similarityband::colourFor(piece.figure); }

// The chapter a position lies in: the last one that begins at or before it.
qsizetype chapterAt(const QList<chapters::Chapter>& found, qsizetype position)
{
    const auto after = std::upper_bound(found.begin(), found.end(), position,
                                        [](qsizetype p, const chapters::Chapter& c) { return p < c.start; });
    return std::max<qsizetype>(after - found.begin() - 1, 0);
}

void count(ChapterRow& row, const PieceRow& piece, double& figureSum)
{
    ++row.pieces;
    if (!piece.checked)
        return;
    ++row.checked;
    figureSum += piece.figure;
    row.high += piece.figure >= similarityband::kHigh;
    row.medium += piece.figure >= similarityband::kMedium;
}

}  // namespace

QList<SourceRow> sourcesOf(const QList<PieceRow>& pieces, qsizetype paperCharacters)
{
    QList<SourceRow> rows;
    QHash<QString, qsizetype> rowOf;
    for (const PieceRow& piece : pieces) {
        if (!similar(piece))
            continue;
        QSet<QString> named;  // a piece counts once for a source it lists twice
        for (const ResultLink& result : piece.results) {
            if (result.title.isEmpty() || named.contains(result.title))
                continue;
            named.insert(result.title);
            if (!rowOf.contains(result.title)) {
                rowOf.insert(result.title, rows.size());
                rows.append({result.title, QString(), 0, 0, 0});
            }
            SourceRow& row = rows[rowOf.value(result.title)];
            if (row.url.isEmpty())
                row.url = result.url;
            ++row.pieces;
            row.characters += piece.characters;
        }
    }
    for (SourceRow& row : rows)
        row.share = paperCharacters > 0
            ? numfmt::roundHalfEven(100.0 * double(row.characters) / double(paperCharacters), 2)
            : 0.0;
    std::stable_sort(rows.begin(), rows.end(),
                     [](const SourceRow& a, const SourceRow& b) { return a.share > b.share; });
    return rows;
}

QList<ChapterRow> chapterRowsOf(const QList<chapters::Chapter>& found, const QList<PieceRow>& pieces,
                                const QString& analysedText)
{
    QList<ChapterRow> rows;
    for (qsizetype i = 0; i < found.size(); ++i) {
        const qsizetype end = i + 1 < found.size() ? found[i + 1].start : analysedText.size();
        ChapterRow row;
        row.title = found[i].title;
        row.characters =
            gbk::doubleByteCount(QStringView(analysedText).sliced(found[i].start, end - found[i].start));
        rows.append(row);
    }
    if (rows.isEmpty())
        return rows;
    QList<double> figureSums(rows.size(), 0.0);
    for (const PieceRow& piece : pieces) {
        if (piece.start < 0)
            continue;
        const qsizetype c = chapterAt(found, piece.start);
        count(rows[c], piece, figureSums[c]);
    }
    for (qsizetype c = 0; c < rows.size(); ++c)
        if (rows[c].checked > 0)
            rows[c].figure = numfmt::roundHalfEven(figureSums[c] / rows[c].checked, 2);
    return rows;
}

}  // namespace report
