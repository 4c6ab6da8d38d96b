#pragma once
// Scoring of a result page when it arrives: how much of the sentence the search
// service highlighted, the running overall similarity, and the result titles
// kept for the site statistics.

#include "analysis/comparisonsession.h"

#include <QString>

#include <optional>

namespace scoring {

inline constexpr int kMinHighlightLength = 8;    // shorter highlights are noise
inline constexpr int kMinPageDoubleBytes = 500;  // fewer: an error or empty page
inline constexpr int kResultsPerPage = 10;       // slots per sentence; extra results are dropped
inline const QString kBlockMarker = QStringLiteral("<bbbbbbbb>");

// What an arrival changes on screen.
struct Labels {
    std::optional<QString> label2;  // similarity text; unset when the page had no markup
    QString label1;                 // progress text
    int storedResults = 0;          // result headings kept in the sentence's slots
};

// A page that arrived in the result browser, given its body markup and text.
// Returns nothing when the body text equals the last scored page's (the same
// page reported twice); otherwise scores the page against sentence
// nextIndex - 1, stores its first ten results and remembers the text.
std::optional<Labels> pageArrived(ComparisonSession& session, const QString& bodyHtml,
                                  const QString& bodyText);

// --- the steps, for the callers and tests that need them one by one ---

// The double-byte characters of `html` other than U+3000, made half-width.
QString doubleByteText(QStringView html);
// Total length of the highlights longer than 7 characters: "<EM>" stretches,
// or "<em>" ones when the page has no upper-case opening tag.
qsizetype highlightedLength(QStringView html);
// `html` with result headings turned into block markers and emphasis tags removed.
QString markBlocks(QStringView html);
// The title inside one heading block: after the link's closing "}\">".
QString blockTitle(QStringView block);
// Overall similarity in percent, two decimals; 0 when no page can have counted.
double overallSimilarity(const ComparisonSession& session);

QString progressText(const ComparisonSession& session);  // "现在正在对比第 …"

}  // namespace scoring
