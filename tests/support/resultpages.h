#pragma once
// Result pages built like the search services' pages: each result a heading
// <h3 class="t"> whose link's last attribute ends in }">, highlights in <em>
// (or <EM>), and enough Chinese text to count as a real page.

#include <QByteArray>
#include <QList>
#include <QString>

namespace resultpages {

struct Result {
    QString title;           // may hold markup
    QString snippet;         // text below the heading, may hold <em> highlights
    bool newWindow = false;  // the link asks for a new window (target="_blank")
};

// `count` double-byte characters (common Chinese characters, no highlight).
QString filler(int count);
// `count` characters highlighted with <em> (or <EM> when `upperCase`).
QString highlight(int count, bool upperCase = false);

// Body markup: the results, then `fillerChars` double-byte characters of text.
QString body(const QList<Result>& results, int fillerChars = 600, bool upperCase = false);
// `count` results titled "标题1", "标题2", …
QList<Result> numberedResults(int count, const QString& snippet = {});
// A whole UTF-8 page around `bodyMarkup`.
QByteArray page(const QString& bodyMarkup);

}  // namespace resultpages
