#pragma once
// The similar-website statistics: how often each stored result title occurred,
// the slots ranked by that count, and the HTML table pasted into the
// statistics page.

#include "analysis/comparisonsession.h"

#include <QString>
#include <QStringList>

namespace sitestats {

struct Row {
    QString title;
    QString block;  // the result's heading markup, as stored
    std::optional<int> count;
};

// Recounts every title and reorders the slots (title, block and count move
// together) by descending count, keeping the order of equal counts. Returns
// the number of slots with a title. The last slot is never counted.
int rebuild(ComparisonSession& session);

// The rows the table shows: every other slot from slot 1 while the slot number
// does not pass `siteTotal`.
QList<Row> shownRows(const ComparisonSession& session, int siteTotal);

QString tableHead();               // "<br>…<h1>相似性网站分析结果</h1>…"
QString tableRow(const Row& row);  // block and "出现次数：" count, block sanitised
QString tableTail();               // "</table>"

}  // namespace sitestats
