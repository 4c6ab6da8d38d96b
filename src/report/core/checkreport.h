#pragma once
// The check report: what a check came to, gathered from a saved check (or the
// live session turned into one), and written as one self-contained HTML
// document that opens and prints anywhere: UTF-8, its styles inline, no
// script, nothing fetched from elsewhere.

#include "analysis/pieceresult.h"
#include "analysis/savedcheck.h"
#include "matching/runs.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringView>

#include <optional>
#include <vector>

namespace report {

struct PieceRow {
    int number = 0;  // 1-based, as List1 numbers the pieces
    QString text;
    bool checked = false;
    double figure = 0;      // uncapped
    bool excluded = false;  // mostly quotation or reference list
    QList<ResultLink> results;
    qsizetype start = -1;      // where it begins in the analysed text
    qsizetype characters = 0;  // its double-byte characters, as the paper's are counted
    // A piece from the medium band, checked with summaries: the runs of 13
    // content characters or more it shares with its results' summaries,
    // joined over all results, in the piece as analysed (`text` begins
    // `textLead` characters into it); and per result its longest run's
    // content characters, 0 for none.
    std::vector<matching::Span> sharedRuns;
    QList<qsizetype> longestRun;
    qsizetype textLead = 0;
};

// A source the similar pieces' results name, grouped by title as the
// similar-website ranking groups them.
struct SourceRow {
    QString title;
    QString url;               // its first link; may be empty
    int pieces = 0;            // pieces from the medium band that list it
    qsizetype characters = 0;  // those pieces' characters
    double share = 0;          // those characters, percent of the paper's, two decimals
};

struct ChapterRow {
    QString title;
    qsizetype characters = 0;
    int pieces = 0;  // pieces whose first character lies in the chapter
    int checked = 0;
    std::optional<double> figure;  // the mean of its checked pieces' figures; none unchecked
    int high = 0;                  // checked pieces from the high band
    int medium = 0;                // checked pieces from the medium band (the high ones too)
};

struct SiteRow {
    QString title;
    QString url;  // a link of a piece result with that title; may be empty
    int count = 0;
};

struct Content {
    QDateTime checkedAt;
    QString paperTitle;  // the paper's first line, at most 40 characters
    QString engine;      // the engine menu's caption
    qsizetype characterCount = 0;
    qsizetype pieceCount = 0;
    qsizetype checkedCount = 0;
    qsizetype excludedCount = 0;  // checked pieces the second figure leaves out
    bool linesKnown = false;      // the paper's lines were at hand, so a reference list could be found
    QString overall;              // "1.92%": the checked pieces' mean, each piece once
    QString label2Overall;        // the overall figure Label2 shows; empty when it shows none
    QString overallWithout;       // without quotations and the reference list
    QList<PieceRow> pieces;
    QList<SiteRow> sites;       // the similar-website ranking, each title once
    bool summariesKept = true;  // the check kept what the results' pages showed
    QList<SourceRow> sources;   // by share, largest first; all of them
    QString largestShare;       // the first source's share, "0%" with none
    // Empty: no heading line found; none: the paper's lines were not at hand.
    std::optional<QList<ChapterRow>> chapters;
};

// `paperText` is the editor text the analysis was made from (CR LF line
// breaks); without it, or when it no longer fits the analysed text, the
// reference list cannot be told and only quotations are left out.
Content contentOf(const SavedCheck& check, QStringView paperText);

QString html(const Content& content);

// The figures for scripts: "overall", "without", "label2" and "largest"
// lines, then one "source" line per source, one "chapter" line per
// chapter and one "run" line per shared run (the piece's number, the run's
// start and length in the piece), fields separated by tabs, figures as the
// report writes them without "%".
QStringList figureLines(const Content& content);

// The two in one: the bytes the report window and trovalis-cli write.
QByteArray htmlBytes(const SavedCheck& check, QStringView paperText);

QString engineCaption(const QString& engine);  // "baidu" -> "百度引擎"
// The overall figure as Label2 shows it ("1.92%"); empty when it shows none.
QString overallInLabel2(const SavedCheck& check);
// A figure in percent as the program shows one: capped at 100 for display.
QString percent(double figure);

}  // namespace report
