#pragma once
// The paper of a kept check as a marked .docx: each piece from the medium
// band highlighted (red from the high band, yellow below it) with a comment
// giving its number, its figure, the runs it still shares with its results'
// summaries (at most three) and up to three sources. Shared by the main
// window and trovalis-cli.

#include "analysis/savedcheck.h"
#include "documents/core/docxmarker.h"
#include "platform/core/result.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace markedpaper {

// The marks for the check's pieces from the medium band, in paper order.
QList<documents::PaperMark> marksOf(const SavedCheck& check);

// The student's own .docx, marked. Fails when its text is not the checked
// paper (an edited copy, another file): a mark must never land elsewhere.
Result<documents::MarkedDocx> markDocx(const QByteArray& docx, const SavedCheck& check);

// A new .docx of `editorText` (CR LF line breaks, one paragraph a line),
// marked; fails when the text is not the checked paper.
Result<documents::MarkedDocx> markText(const QString& editorText, const SavedCheck& check);

// "论文（标注）.docx" beside "论文.docx".
QString proposedName(const QString& original);

// The reason markDocx and markText give for a text that is not the checked paper.
QString notThePaper();

}  // namespace markedpaper
