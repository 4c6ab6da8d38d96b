#pragma once
// The editor's file operations: load file (rich text keeps its formatting,
// plain text and every other kind of document come in as text) and save file
// (always RTF).
// Also the mapping between QTextDocument and the documents library's model.

#include "documents/core/document.h"
#include "platform/core/result.h"

#include <QString>

class QTextDocument;
class RichEditor;

documents::Document documentToModel(const QTextDocument& document);
// Replaces the whole content of `document` by the model.
void modelToDocument(const documents::Document& model, QTextDocument* document);

// On failure the editor keeps its content and the reason says why. On
// success the value is a note about a file that loaded with losses
// (undecodable bytes), empty when there is none.
Result<QString> loadDocument(RichEditor* editor, const QString& path);
// The same with the document's text only, its formatting dropped (the
// comparer compares text).
Result<QString> loadDocumentText(RichEditor* editor, const QString& path);
// Writes the whole content as RTF via a temporary file; an existing file is
// only replaced when the write succeeded.
Result<void> saveDocument(const RichEditor* editor, const QString& path);
