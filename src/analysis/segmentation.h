#pragma once
// The analyse command's logic: the editor's text becomes the sentence list,
// the summary for Label1 and the items of List1, and the comparison state
// starts afresh. Shared by the main window and trovalis-cli.

#include "analysis/comparisonsession.h"

#include <QString>
#include <QStringList>
#include <QStringView>

namespace segmentation {

inline constexpr qsizetype kPieceLength = 38;
inline const QString kPieceMarker = QStringLiteral("|@|");

// Full-width "!" and "?", a tab at a line end dropped, then every CR, LF,
// space and ideographic space removed. `editorText` has CR LF line breaks.
QString normalise(QStringView editorText);
// What normalise makes of a character it keeps: "!" and "?" full-width.
QChar normalisedCharacter(QChar c);

// Cuts the normalised text into pieces of up to 38 characters joined by the
// marker, then splits at every marker, so a marker typed in the paper splits too.
QStringList cutIntoPieces(const QString& analysedText);

// "本文共 N 字，本次分析共分析出 M 句，请多次点击进行对比！"
QString summary(qsizetype doubleByteCount, qsizetype pieceCount);

// "1-piece", "2-piece", ...: the items of List1.
QStringList listItems(const QStringList& sentences);

struct Analysis {
    QString analysedText;
    QStringList sentences;
    qsizetype doubleByteCount = 0;  // GBK double-byte characters of analysedText
    QString summary;
    QStringList listItems;
};

Analysis analyse(QStringView editorText);

// Starts a new comparison: every field an analysis sets, the per-result
// arrays resized to 10 * N + 1 empty slots. The page fields and searchUrl stay.
void resetSession(ComparisonSession& session, const Analysis& analysis);

}  // namespace segmentation
