#pragma once
// The search services answer an automated client with a verification page
// (a puzzle to solve) long before a thesis has been checked. Such a page is no
// result page: scoring it would count a 0 % page for every piece that meets it.
// One table of markers per service tells it from an ordinary page, by the
// address the browser lands on or by the page's title and text.

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QUrl>

namespace verification {

struct Markers {
    QString service;        // "baidu", "wenku", "zhiwang"
    QStringList hosts;      // landing on one of these hosts is a verification
    QStringList pathWords;  // so is a path holding one of these (any case)
    QStringList titles;     // so is a page titled one of these ...
    QStringList texts;      // ... whose text holds one of these
};

// Baidu web search, Baidu Wenku, CNKI Scholar.
const QList<Markers>& tables();

// True when the page that `url` landed on, with this title and text, is a
// verification page by any service's table: a block by one service is a block
// whichever service the engine menu shows now.
bool isVerificationPage(const QUrl& url, const QString& title, const QString& text);

// Title and text of a saved page's HTML, as the browser would show them
// (tags dropped, character references decoded), for pages read from files.
struct PageParts {
    QString title;
    QString text;
};
PageParts partsOf(QStringView html);

}  // namespace verification
