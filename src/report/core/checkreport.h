#pragma once
// The check report: what a check came to, gathered from a saved check (or the
// live session turned into one), and written as one self-contained HTML
// document that opens and prints anywhere: UTF-8, its styles inline, no
// script, nothing fetched from elsewhere.

#include "analysis/pieceresult.h"
#include "analysis/savedcheck.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringView>

namespace report {

struct PieceRow {
    int number = 0;  // 1-based, as List1 numbers the pieces
    QString text;
    bool checked = false;
    double figure = 0;      // uncapped
    bool excluded = false;  // mostly quotation or reference list
    QList<ResultLink> results;
};

struct SiteRow {
    QString title;
    QString url;  // a link of a piece result with that title; may be empty
    int count = 0;
};

struct Content {
    QDateTime checkedAt;
    QString engine;  // the engine menu's caption
    qsizetype characterCount = 0;
    qsizetype pieceCount = 0;
    qsizetype checkedCount = 0;
    qsizetype excludedCount = 0;  // checked pieces the second figure leaves out
    bool linesKnown = false;      // the paper's lines were at hand, so a reference list could be found
    QString overall;              // "1.92%", exactly as Label2 shows it
    QString overallWithout;       // without quotations and the reference list
    QList<PieceRow> pieces;
    QList<SiteRow> sites;  // the similar-website ranking, each title once
};

// `paperText` is the editor text the analysis was made from (CR LF line
// breaks); without it, or when it no longer fits the analysed text, the
// reference list cannot be told and only quotations are left out.
Content contentOf(const SavedCheck& check, QStringView paperText);

QString html(const Content& content);

// The two in one: the bytes the report window and trovalis-cli write.
QByteArray htmlBytes(const SavedCheck& check, QStringView paperText);

QString engineCaption(const QString& engine);  // "baidu" -> "百度引擎"
// The overall figure as Label2 shows it ("1.92%"); computed as the scoring
// does when Label2 holds no figure.
QString overallAsShown(const SavedCheck& check);
// A figure in percent as the program shows one: capped at 100 for display.
QString percent(double figure);

}  // namespace report
