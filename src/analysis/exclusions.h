#pragma once
// Which checked pieces a second overall figure leaves out: the ones that are
// mostly quotation or reference list, since text the student cites and marks
// as cited is expected to be found on the web.

#include "analysis/pieceresult.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

namespace exclusions {

// The position in `editorText` (CR LF line breaks) where the reference list
// begins: the start of the last line that reads, without its leading and
// trailing spaces and ideographic spaces, "参考文献", "参考资料", "References"
// or "Bibliography" (the English words in any case). -1 when there is none.
qsizetype referenceListStart(QStringView editorText);

// Where each piece begins in the analysed text (-1 for one not found in it).
// Pieces follow each other; a "|@|" typed in the paper split them and is in no piece.
QList<qsizetype> pieceStarts(const QString& analysedText, const QStringList& sentences);

// Per character of `text`: whether it lies inside a quotation, "“…”" or
// "「…」", the marks included. An opening mark whose closing mark does not
// follow in the same line quotes nothing: one stray mark must not swallow the
// rest of the paper.
QList<bool> quotedCharacters(QStringView text);

// Per piece: whether at least half of its characters lie in the reference
// list or in a quotation. `editorText` is the text the analysis was made from;
// when it does not normalise to `analysedText` (edited since, or not kept),
// the quotations are found in `analysedText` itself and no reference list is.
QList<bool> excludedPieces(QStringView editorText, const QString& analysedText, const QStringList& sentences);

// The overall figure over the checked pieces that are not excluded, worked out
// as Label2's is: the sum of their figures divided by their number (0 when
// none is left), two decimals, halves to even. With nothing excluded it equals
// the overall figure of a run that scored each piece once.
double figureWithout(const QList<PieceResult>& pieces, const QList<bool>& excluded);

}  // namespace exclusions
