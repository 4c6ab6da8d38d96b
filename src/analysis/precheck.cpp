#include "analysis/precheck.h"

#include "analysis/sharedruns.h"
#include "platform/core/numberformat.h"

#include <algorithm>

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

std::optional<Finding> compared(const QString& piece, const Replaced& replaced, const SavedCheck& earlier)
{
    std::optional<Finding> best;
    qsizetype bestCharacters = 0;
    for (qsizetype i = replaced.first; i < replaced.end && i < earlier.pieces.size(); ++i) {
        const PieceResult& was = earlier.pieces[i];
        if (!was.checked)
            continue;
        for (qsizetype r = 0; r < was.results.size(); ++r) {
            std::vector<matching::SharedRun> runs = sharedruns::withSummary(piece, was.results[r]);
            if (runs.empty())
                continue;
            const auto longest = std::max_element(runs.begin(), runs.end(), [](const auto& x, const auto& y) {
                return x.characters < y.characters;
            });
            if (longest->characters <= bestCharacters)
                continue;
            bestCharacters = longest->characters;
            const qsizetype at = longest - runs.begin();
            best = Finding{i, r, was.results[r].title, was.results[r].summary, std::move(runs), at};
        }
    }
    return best;
}

}  // namespace

PreCheck run(const keptcut::KeptCut& cut, const SavedCheck& earlier)
{
    PreCheck out;
    out.pieces.resize(cut.pieces.size());
    if (!earlier.summariesKept || cut.keptCount() == 0)
        return out;
    const QList<std::optional<Replaced>> replaced = replacedPieces(cut, earlier.sentences.size());
    for (qsizetype j = 0; j < cut.pieces.size(); ++j)
        if (replaced[j])
            out.pieces[j] = compared(cut.pieces[j], *replaced[j], earlier);
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
