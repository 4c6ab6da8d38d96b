#pragma once
// The main window's comparison state, started afresh by every analysis.

#include "analysis/pieceresult.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

struct ComparisonSession {
    QString searchUrl;                      // URL of the last query sent to the result browser
    QStringList sentences;                  // the analysed pieces, in paper order
    qint32 nextIndex = 0;                   // next sentence to compare
    qint32 lastIndex = 0;                   // sentence whose query was sent last
    qint32 pageCount = 1;                   // 1 + result pages scored since the analysis
    bool pageCounted = false;               // the page of the query sent last has been counted
    bool autoRunning = false;               // an automatic comparison is on
    QStringList resultBlocks;               // 10 slots per sentence + 1 spare: title block markup
    QStringList resultTitles;               // same slots: title text
    QList<std::optional<int>> resultSites;  // same slots: occurrence count, filled by the statistics
    double similaritySum = 0;               // sum of sentence similarities, percent, uncapped
    bool resultsPending = true;             // results exist that the statistics has not gathered
    QString analysedText;                   // normalised text of the last analysis
    bool suppressListClick = true;          // the next List1 selection must not compare
    QString pageHtml;                       // body markup of the page being scored
    QString pageText;                       // its double-byte characters
    QString pageMarked;                     // pageHtml with title headings marked and emphasis removed
    QString lastPageText;                   // body text of the last scored page
    QList<PieceResult> pieces;              // one per sentence: checked, figure, results
    // The piece sent again on its own ("重新对比此句"): its page replaces its figure.
    std::optional<qint32> recheckPiece;

    qsizetype slotCount() const { return 10 * sentences.size() + 1; }
};
