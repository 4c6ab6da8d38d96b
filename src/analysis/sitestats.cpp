#include "analysis/sitestats.h"

#include "analysis/blocksanitizer.h"
#include "platform/core/numberformat.h"

#include <QHash>

#include <algorithm>
#include <numeric>
#include <vector>

namespace sitestats {
namespace {

// Applies the permutation `order` (new slot i takes old slot order[i]).
template <typename List> void reorder(List& list, const std::vector<qsizetype>& order)
{
    if (list.size() != qsizetype(order.size()))
        return;
    List sorted;
    sorted.reserve(list.size());
    for (const qsizetype from : order)
        sorted.append(std::move(list[from]));
    list = std::move(sorted);
}

}  // namespace

int rebuild(ComparisonSession& session)
{
    const qsizetype slotTotal =
        std::min({session.resultTitles.size(), session.resultBlocks.size(), session.resultSites.size()});
    const qsizetype counted = std::max<qsizetype>(slotTotal - 1, 0);  // the spare last slot is not

    QHash<QString, int> occurrences;
    occurrences.reserve(counted);
    for (qsizetype i = 0; i < counted; ++i)
        if (!session.resultTitles[i].isEmpty())
            ++occurrences[session.resultTitles[i]];

    std::vector<int> rank(slotTotal, 0);
    for (qsizetype i = 0; i < slotTotal; ++i) {
        session.resultSites[i].reset();
        if (i < counted && !session.resultTitles[i].isEmpty()) {
            rank[i] = occurrences.value(session.resultTitles[i]);
            session.resultSites[i] = rank[i];
        }
    }

    // A stable sort by descending count puts the slotTotal in the same order as
    // exchanging neighbours whenever the right one counts strictly more.
    std::vector<qsizetype> order(slotTotal);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) { return rank[a] > rank[b]; });
    reorder(session.resultTitles, order);
    reorder(session.resultBlocks, order);
    reorder(session.resultSites, order);

    return int(std::count_if(session.resultTitles.begin(), session.resultTitles.begin() + slotTotal,
                             [](const QString& t) { return !t.isEmpty(); }));
}

QList<Row> shownRows(const ComparisonSession& session, int siteTotal)
{
    QList<Row> rows;
    const qsizetype slotTotal =
        std::min({session.resultTitles.size(), session.resultBlocks.size(), session.resultSites.size()});
    for (qsizetype i = 1; i <= siteTotal && i < slotTotal; i += 2)
        rows.append({session.resultTitles[i], session.resultBlocks[i], session.resultSites[i]});
    return rows;
}

QString tableHead()
{
    return QStringLiteral("<br><br><br><br><br><table><tr><td><h1>相似性网站分析结果</h1></td></tr>");
}

QString tableRow(const Row& row)
{
    const QString count = row.count ? numfmt::format(qint64(*row.count)) : QString();
    return QStringLiteral("<tr><td>") + sanitizeBlock(row.block)
        + QStringLiteral("</td><td width=100 align=center>&nbsp&nbsp出现次数：") + count
        + QStringLiteral("<br></td></tr>");
}

QString tableTail() { return QStringLiteral("</table>"); }

}  // namespace sitestats
