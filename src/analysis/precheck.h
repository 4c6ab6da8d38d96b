#pragma once
// The pre-check of a reworked paper: before anything is sent again, each new
// piece of the kept cut is compared, offline, with the summaries of the
// results of the earlier pieces it replaces. A piece that still shares a run
// of 13 content characters with what the web showed last time would very
// likely be found again: the student is told to rewrite it first. Nothing is
// sent and no figure is counted. Shared by the main window and trovalis-cli.

#include "analysis/earlierversion.h"
#include "analysis/keptcut.h"
#include "analysis/savedcheck.h"
#include "matching/runs.h"

#include <QList>
#include <QString>

#include <optional>
#include <vector>

namespace precheck {

// The earlier pieces [first, end) that a piece of the cut replaces.
struct Replaced {
    qsizetype first = 0;
    qsizetype end = 0;
    bool operator==(const Replaced&) const = default;
};

// Per piece of `cut`: none for a kept piece; for a new one, the earlier
// pieces that stood between the same two kept pieces (before the first kept
// piece, or after the last, at the ends). `earlierCount` is the number of
// earlier pieces.
QList<std::optional<Replaced>> replacedPieces(const keptcut::KeptCut& cut, qsizetype earlierCount);

// A new piece that still shares a run with a result of a piece it replaces:
// the result it shares its longest run with.
struct Finding {
    qsizetype earlierPiece = -1;  // in the earlier check
    qsizetype result = -1;        // among that piece's results
    QString title;
    QString summary;
    std::vector<matching::SharedRun> runs;  // the piece's runs with `summary`, a in the piece
    qsizetype longest = 0;                  // index of the longest in `runs`
};

struct PreCheck {
    QList<std::optional<Finding>> pieces;  // per piece of the cut; set for the "仍相似" ones
    qsizetype stillCount() const;
};

// Nothing is found for a check of the first format (no summaries) or a cut
// that keeps no piece.
PreCheck run(const keptcut::KeptCut& cut, const SavedCheck& earlier);
inline PreCheck run(const EarlierVersion& earlier) { return run(earlier.cut, earlier.check); }

// The longest run's text, as the piece has it.
QString longestRun(const QString& piece, const Finding& finding);

// Label1 after the carry-over: "已沿用 K 句的结果，还需对比 N 句。", then
// "其中 M 句与上次网上找到的内容仍有连续13字以上相同，建议先改写。" when M ≥ 1.
QString carriedOverText(const EarlierVersion& earlier, const PreCheck& found);

}  // namespace precheck
