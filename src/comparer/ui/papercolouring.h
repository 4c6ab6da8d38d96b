#pragma once
// Colours the comparer's paper: the marks red and, when the old marks are
// reset, everything else black. The document is worked through in windows of
// whole paragraphs, each closed as its own edit step, so that the editor lays
// out one window at a time and the window repaints between them; all windows
// join into one undo step.

#include <QColor>

#include <functional>
#include <vector>

class QTextDocument;

struct PaperMark {
    int from = 0;  // document positions, `to` exclusive
    int to = 0;
    QColor colour;  // none: the colour colourPaper is given
};

// The marks are red unless another colour is given (a source picked in the
// library's table stands out from the other marks), each mark's own first.
void colourPaper(QTextDocument* document, std::vector<PaperMark> marks, bool resetMarks,
                 const std::function<void()>& letEventsThrough, const QColor& colour = QColor(255, 0, 0));
