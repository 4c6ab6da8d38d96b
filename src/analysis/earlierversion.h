#pragma once
// The earlier check of an edited paper: among the checks kept on disk, the one
// whose pieces stand unchanged in most of the new text, and how its results
// carry over into the new analysis, so that a re-check sends only what changed.

#include "analysis/comparisonsession.h"
#include "analysis/keptcut.h"
#include "analysis/savedcheck.h"

#include <QString>

#include <optional>

struct EarlierVersion {
    SavedCheck check;
    keptcut::KeptCut cut;  // of the new text, keeping the check's pieces

    // Kept pieces whose results carry over, and the pieces left to compare.
    qsizetype checkedKept() const;
    qsizetype toCompare() const { return cut.pieces.size() - checkedKept(); }
};

namespace earlierversion {

// The kept check in `folder`, made with `engine`, whose pieces cover most of
// `analysedText` (at least half); the most recent one of equal cover. A check
// of this very text, a damaged one and one of another engine are passed over.
std::optional<EarlierVersion> find(const QString& folder, const QString& analysedText, const QString& engine);

// "这篇论文与 M月D日 HH:MM 检测过的版本相比，有 K 句未改动。…"; the time in local time.
QString question(const EarlierVersion& earlier);
// "已沿用 K 句的结果，还需对比 N 句。"
QString carriedOverText(const EarlierVersion& earlier);

// Makes a session that has just analysed the new text compare the kept cut:
// its pieces, the carried results in their new slots, and similaritySum and
// pageCount as if each carried piece had been scored once.
void carryOver(const EarlierVersion& earlier, ComparisonSession& session);

// Label2 after the carry-over: "目前总体相似度：R%".
QString overallLabel(const ComparisonSession& session);

}  // namespace earlierversion
