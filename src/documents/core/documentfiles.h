#pragma once
// Opening and saving documents as the File menu does: Word documents through
// the converter, Word's XML documents (.docx) and PDFs by our own readers,
// OpenDocument and WPS Writer files through LibreOffice, RTF (recognised by
// its content, whatever the extension) with its formatting, anything else as
// decoded plain text. Saving always writes RTF, atomically.

#include "documents/core/document.h"
#include "platform/core/result.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace documents {

// True when the name's last three characters are exactly "doc", "DOC" or
// "Doc" (so "x.dOc" and "x.docx" are not Word documents).
bool isWordDocumentName(const QString& fileName);

struct LoadedDocument {
    bool rich = false;  // true: keep the formatting; false: plain text only
    Document document;  // plain text comes as one unformatted run per line
    QString warning;    // loaded, but the user should know something
};

// A failure's reason names the file and says what is wrong with it.
Result<LoadedDocument> loadDocumentFile(const QString& path);

// Writes via a temporary file renamed into place: a failed save leaves any
// existing file untouched.
Result<void> saveRtfFile(const Document& document, const QString& path);

// PDFs are read by a library of its own (it links the PDF engine and QtGui);
// programs that open PDFs install its reader once (pdf::install()). Each
// page's text, lines as the page sets them, or the reason it cannot be read.
using PdfPageReader = std::function<Result<QStringList>(const QString& path)>;
void setPdfPageReader(PdfPageReader reader);

}  // namespace documents
