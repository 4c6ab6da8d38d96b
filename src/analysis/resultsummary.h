#pragma once
// What a result page shows below a result's heading: the text of its block,
// with the stretches the search service highlighted, so that the report can
// show what on the web matched a piece.

#include "analysis/pieceresult.h"

#include <QString>
#include <QStringView>

namespace resultsummary {

// Long enough for the two or three lines a search service shows.
inline constexpr qsizetype kMaxLength = 300;

struct Summary {
    QString text;                    // tags dropped, spacing simplified, at most kMaxLength
    QList<TextStretch> highlighted;  // the <em> stretches of `text`, in order
};

// The block that starts at `from` (just after a result heading's end): its
// text up to the next <h3>, or up to the end of the element that holds the
// heading, so that the last result does not take in the page's footer.
Summary after(QStringView html, qsizetype from);

}  // namespace resultsummary
