#pragma once
// Opening and saving documents as the File menu does: Word documents through
// the converter, RTF (recognised by its content, whatever the extension) with
// its formatting, anything else as decoded plain text. Saving always writes
// RTF, atomically.

#include "mainwindow/documents/document.h"

#include <QString>

namespace documents {

// True when the name's last three characters are exactly "doc", "DOC" or
// "Doc" (so "x.dOc" and "x.docx" are not Word documents).
bool isWordDocumentName(const QString& fileName);

struct LoadedDocument {
    bool ok = false;
    bool rich = false;  // true: keep the formatting; false: plain text only
    Document document;  // plain text comes as one unformatted run per line
    QString error;      // why nothing was loaded (ok == false)
    QString warning;    // loaded, but the user should know something (ok == true)
};

LoadedDocument loadDocumentFile(const QString& path);

// Writes via a temporary file renamed into place: a failed save leaves any
// existing file untouched. `error` receives the reason.
bool saveRtfFile(const Document& document, const QString& path, QString* error);

}  // namespace documents
