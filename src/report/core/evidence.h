#pragma once
// What the report tells the student to act on: which sources account for the
// similar pieces, and how each chapter of the paper came out.

#include "analysis/chapters.h"
#include "report/core/checkreport.h"

namespace report {

// The sources named in the results of the checked pieces from the medium
// band, each title once, sorted by share (largest first; equal shares in the
// order the paper first names them). `paperCharacters` is the paper's count.
QList<SourceRow> sourcesOf(const QList<PieceRow>& pieces, qsizetype paperCharacters);

// One row per chapter, from the chapters found in `analysedText`.
QList<ChapterRow> chapterRowsOf(const QList<chapters::Chapter>& found, const QList<PieceRow>& pieces,
                                const QString& analysedText);

}  // namespace report
