#include "analysis/sharedruns.h"

#include <algorithm>

namespace sharedruns {

std::vector<matching::SharedRun> withSummary(QStringView piece, const ResultLink& result)
{
    if (piece.isEmpty() || result.summary.isEmpty())
        return {};
    return matching::sharedRuns(piece, result.summary, matching::kDefaultRun);
}

PieceRuns ofPiece(QStringView piece, const QList<ResultLink>& results)
{
    PieceRuns out;
    out.longest.reserve(results.size());
    std::vector<matching::Span> spans;
    for (const ResultLink& result : results) {
        qsizetype longest = 0;
        for (const matching::SharedRun& run : withSummary(piece, result)) {
            longest = std::max(longest, run.characters);
            spans.push_back(run.a);
        }
        out.longest.append(longest);
    }
    out.joined = matching::joined(std::move(spans));
    return out;
}

QStringList quoted(QStringView piece, const std::vector<matching::Span>& joined, qsizetype most)
{
    QStringList out;
    for (const matching::Span& span : joined) {
        if (out.size() >= most)
            break;
        out << u'“' + piece.sliced(span.start, span.length).toString() + u'”';
    }
    return out;
}

}  // namespace sharedruns
