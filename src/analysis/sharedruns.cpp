#include "analysis/sharedruns.h"

#include "matching/fold.h"

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
    std::vector<quint64> windows;
    forEachWindow(matching::foldContent(piece), [&](quint64 hash) { windows.push_back(hash); });
    std::sort(windows.begin(), windows.end());
    std::vector<matching::Span> spans;
    for (const ResultLink& result : results) {
        qsizetype longest = 0;
        bool shares = false;
        forEachWindow(matching::foldContent(result.summary), [&](quint64 hash) {
            shares = shares || std::binary_search(windows.begin(), windows.end(), hash);
        });
        if (!shares) {
            out.longest.append(0);
            continue;
        }
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
