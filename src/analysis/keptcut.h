#pragma once
// The cut of an edited paper that keeps the pieces of its earlier check: the
// earlier pieces that stand unchanged in the new text stay exactly as they
// were, so their results carry over, and only the stretches between them are
// cut afresh. Shared by the main window and trovalis-cli.

#include <QList>
#include <QString>
#include <QStringList>

namespace keptcut {

struct KeptCut {
    QStringList pieces;             // in order; joined (without "|@|") they give the text
    QList<qsizetype> earlierIndex;  // per piece: the earlier piece it keeps, or -1 when cut afresh
    qsizetype keptLength = 0;       // characters of the text that kept pieces cover

    qsizetype keptCount() const;
};

// The earlier pieces found unchanged in `text`, in their order and without
// overlapping, are kept; every stretch before, between and after them is cut
// as the analysis cuts a text (38 characters, a "|@|" splits). When the kept
// pieces cover less than half of the text, the result is the analysis's own
// cut with nothing kept. Deterministic; the cut of a text given as the
// earlier pieces comes back unchanged.
KeptCut recut(const QStringList& earlier, const QString& text);

// How much of `text` the earlier pieces found unchanged in it cover, also
// when that is less than half.
qsizetype coveredLength(const QStringList& earlier, const QString& text);

// Whether `pieces` is a cut of `text` this program makes: the analysis's own
// or a kept cut of it.
bool isCutOf(const QStringList& pieces, const QString& text);

}  // namespace keptcut
