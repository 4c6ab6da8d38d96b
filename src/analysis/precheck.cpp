#include "analysis/precheck.h"

#include "analysis/sharedruns.h"
#include "matching/fold.h"
#include "platform/core/numberformat.h"

#include <algorithm>
#include <unordered_map>

namespace precheck {

qsizetype PreCheck::stillCount() const
{
    return std::count_if(pieces.begin(), pieces.end(), [](const auto& f) { return f.has_value(); });
}

QList<std::optional<Replaced>> replacedPieces(const keptcut::KeptCut& cut, qsizetype earlierCount)
{
    const qsizetype n = cut.pieces.size();
    QList<std::optional<Replaced>> out(n);
    // One pass each way: the earlier index of the nearest kept piece before
    // and after every piece.
    QList<qsizetype> keptAfter(n + 1, earlierCount);
    for (qsizetype j = n - 1; j >= 0; --j) {
        const qsizetype i = cut.earlierIndex.value(j, -1);
        keptAfter[j] = i >= 0 ? i : keptAfter[j + 1];
    }
    qsizetype keptBefore = -1;
    for (qsizetype j = 0; j < n; ++j) {
        const qsizetype i = cut.earlierIndex.value(j, -1);
        if (i >= 0) {
            keptBefore = i;
            continue;
        }
        // The kept cut keeps earlier pieces in their order; a cut that does
        // not (made elsewhere) replaces nothing rather than a wrong range.
        const qsizetype first = std::clamp<qsizetype>(keptBefore + 1, 0, earlierCount);
        const qsizetype end = std::clamp<qsizetype>(keptAfter[j + 1], first, earlierCount);
        out[j] = Replaced{first, end};
    }
    return out;
}

namespace {

struct Pair {
    qsizetype piece;    // in the cut
    qsizetype earlier;  // the earlier piece
    qsizetype result;   // among its results
    auto operator<=>(const Pair&) const = default;
};

// The new pieces [from, to) of the cut, which replace the same earlier
// pieces, against those pieces' results. A piece shares a run of 13 with a
// summary only where they share a window of 13 content characters, so the
// summaries are scanned once for the pieces' windows and only the pairs that
// share one are compared exactly: a long rewritten stretch costs the length
// of its summaries, not that times its pieces (50 pieces rewritten in one
// stretch of a thesis took 146 ms compared pair by pair, bench_recut).
void compareStretch(const keptcut::KeptCut& cut, qsizetype from, qsizetype to, const Replaced& replaced,
                    const SavedCheck& earlier, PreCheck& out)
{
    std::unordered_map<quint64, std::vector<qsizetype>> piecesOf;
    for (qsizetype j = from; j < to; ++j)
        sharedruns::forEachWindow(matching::foldContent(cut.pieces[j]), [&](quint64 hash) {
            std::vector<qsizetype>& pieces = piecesOf[hash];
            if (pieces.empty() || pieces.back() != j)
                pieces.push_back(j);
        });
    if (piecesOf.empty())
        return;
    std::vector<Pair> pairs;
    for (qsizetype i = replaced.first; i < replaced.end && i < earlier.pieces.size(); ++i) {
        const PieceResult& was = earlier.pieces[i];
        if (!was.checked)
            continue;
        for (qsizetype r = 0; r < was.results.size(); ++r)
            sharedruns::forEachWindow(matching::foldContent(was.results[r].summary), [&](quint64 hash) {
                if (const auto found = piecesOf.find(hash); found != piecesOf.end())
                    for (const qsizetype j : found->second)
                        pairs.push_back({j, i, r});
            });
    }
    std::sort(pairs.begin(), pairs.end());
    pairs.erase(std::unique(pairs.begin(), pairs.end()), pairs.end());
    // In the order of the earlier pieces and their results: of equal runs the first.
    for (const Pair& pair : pairs) {
        const ResultLink& result = earlier.pieces[pair.earlier].results[pair.result];
        std::vector<matching::SharedRun> runs = sharedruns::withSummary(cut.pieces[pair.piece], result);
        if (runs.empty())
            continue;
        const auto longest = std::max_element(runs.begin(), runs.end(), [](const auto& x, const auto& y) {
            return x.characters < y.characters;
        });
        std::optional<Finding>& best = out.pieces[pair.piece];
        if (best && longest->characters <= best->runs[size_t(best->longest)].characters)
            continue;
        const qsizetype at = longest - runs.begin();
        best = Finding{pair.earlier, pair.result, result.title, result.summary, std::move(runs), at};
    }
}

}  // namespace

PreCheck run(const keptcut::KeptCut& cut, const SavedCheck& earlier)
{
    PreCheck out;
    out.pieces.resize(cut.pieces.size());
    if (!earlier.summariesKept || cut.keptCount() == 0)
        return out;
    const QList<std::optional<Replaced>> replaced = replacedPieces(cut, earlier.sentences.size());
    for (qsizetype j = 0; j < cut.pieces.size();) {
        if (!replaced[j]) {
            ++j;
            continue;
        }
        qsizetype to = j + 1;
        while (to < cut.pieces.size() && replaced[to] == replaced[j])
            ++to;
        compareStretch(cut, j, to, *replaced[j], earlier, out);
        j = to;
    }
    return out;
}

QString longestRun(const QString& piece, const Finding& finding)
{
    if (finding.longest < 0 || finding.longest >= qsizetype(finding.runs.size()))
        return {};
    const matching::Span a = finding.runs[size_t(finding.longest)].a;
    return piece.mid(a.start, a.length);
}

QString carriedOverText(const EarlierVersion& earlier, const PreCheck& found)
{
    QString text = earlierversion::carriedOverText(earlier);
    if (const qsizetype still = found.stillCount(); still > 0)
        text += QStringLiteral("其中 ") + numfmt::format(qint64(still))
            + QStringLiteral(" 句与上次网上找到的内容仍有连续13字以上相同，建议先改写。");
    return text;
}

}  // namespace precheck
