#pragma once
// A copy of a .docx with stretches of its text highlighted and a Word
// comment on each: the student's own file, marked where the check found
// similar text. Only the main part, the comments part and what names it (the
// relationships, the content types) change; every other part is copied as it
// is stored. The stretches are found through the reading of docxreader, so a
// mark lands exactly on the text that the reading shows.

#include "documents/core/docxreader.h"
#include "platform/core/result.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace documents {

enum class Highlight { Yellow, Red };

struct PaperMark {
    qsizetype start = 0;  // in the analysed text: the document's text without spaces and line breaks
    qsizetype length = 0;
    Highlight highlight = Highlight::Yellow;
    QStringList comment;  // one paragraph each
};

struct MarkOptions {
    QString author = QStringLiteral("Trovalis");
    QDateTime date;  // the comments' time; none when invalid
    DocxLimits limits;
    // Whether the document's text (lines joined by LF) is the checked paper,
    // when the caller knows a stricter test than the analysed text's order.
    std::function<bool(const QString& text)> isThePaper;
};

struct MarkedDocx {
    QByteArray package;
    int marked = 0;    // marks placed in the body, each with its comment
    int unplaced = 0;  // marks whose text lies outside the body (notes, list numbers)
};

// Fails, changing nothing, when the document's text is not `analysedText`
// (spaces and line breaks aside; the reason is then textDiffers()), on a
// damaged package, and when the marked copy would not read back as the same text.
Result<MarkedDocx> markDocx(const QByteArray& package, const QString& analysedText,
                            const QList<PaperMark>& marks, const MarkOptions& options = {});

QString textDiffers();

// A package of its own holding `lines` as plain paragraphs, for a paper that
// comes from no .docx.
QByteArray plainDocx(const QStringList& lines);

}  // namespace documents
