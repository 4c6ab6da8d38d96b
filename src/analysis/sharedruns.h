#pragma once
// What of a piece still stands in the text the web showed for it: the runs
// of at least 13 content characters (the matching library's rule and
// folding) that the piece shares with its results' summaries. These are what
// the student must rewrite; the report, the marked .docx and the pre-check of
// a reworked paper show them.

#include "analysis/pieceresult.h"
#include "matching/runs.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <vector>

namespace sharedruns {

// The runs `piece` shares with one result's summary, ordered by their start in the piece.
std::vector<matching::SharedRun> withSummary(QStringView piece, const ResultLink& result);

struct PieceRuns {
    QList<qsizetype> longest;            // per result: its longest run's content characters, 0 for none
    std::vector<matching::Span> joined;  // in the piece, joined over all results, in order
};

// Against every result's summary (not only those a report shows).
PieceRuns ofPiece(QStringView piece, const QList<ResultLink>& results);

// The text of the first `most` joined runs, each quoted (“…”).
QStringList quoted(QStringView piece, const std::vector<matching::Span>& joined, qsizetype most);

}  // namespace sharedruns
