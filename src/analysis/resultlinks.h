#pragma once
// The results a result page lists, read from the page as it is: each result
// heading (an h3 whose class list holds "t") and the first link inside it.
// Today's pages end their title links in target="_blank"> and give the
// heading more classes than "t", which the statistics' title rule does not
// see; the per-piece results and the report read them from here.

#include "analysis/pieceresult.h"

#include <QList>
#include <QStringView>

namespace resultlinks {

// At most this many, as the statistics keep per piece.
inline constexpr int kMaxResults = 10;

// The first ten result headings' link texts (tags dropped, spacing
// simplified), addresses and summaries, in page order; a heading without a
// link gives its text and an empty address.
QList<ResultLink> read(QStringView html);

}  // namespace resultlinks
