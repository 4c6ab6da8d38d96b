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

#include <string_view>
#include <vector>

namespace sharedruns {

// Calls `f` with a hash of every window of kDefaultRun consecutive folded
// content characters (matching/fold.h), in order. Two texts share a run of
// kDefaultRun or more only where they share such a window (equal windows
// hash equal; a collision only lets a pair through to the exact search).
template <typename F> void forEachWindow(std::u32string_view content, F&& f)
{
    constexpr qsizetype kWidth = matching::kDefaultRun;
    constexpr quint64 kBase = 1000003;
    if (qsizetype(content.size()) < kWidth)
        return;
    quint64 top = 1;  // kBase to the power kWidth - 1
    for (qsizetype i = 1; i < kWidth; ++i)
        top *= kBase;
    quint64 hash = 0;
    for (qsizetype i = 0; i < qsizetype(content.size()); ++i) {
        if (i >= kWidth)
            hash -= top * content[size_t(i - kWidth)];
        hash = hash * kBase + content[size_t(i)];
        if (i + 1 >= kWidth)
            f(hash);
    }
}

// The runs `piece` shares with one result's summary, ordered by their start in the piece.
std::vector<matching::SharedRun> withSummary(QStringView piece, const ResultLink& result);

struct PieceRuns {
    QList<qsizetype> longest;            // per result: its longest run's content characters, 0 for none
    std::vector<matching::Span> joined;  // in the piece, joined over all results, in order
};

// Against every result's summary (not only those a report shows). Only the
// summaries that share a window with the piece are searched exactly: a
// report of 1,200 pieces with ten 300-character summaries each spent most of
// its time on the exact search of pairs that share nothing.
PieceRuns ofPiece(QStringView piece, const QList<ResultLink>& results);

// The text of the first `most` joined runs, each quoted (“…”).
QStringList quoted(QStringView piece, const std::vector<matching::Span>& joined, qsizetype most);

}  // namespace sharedruns
