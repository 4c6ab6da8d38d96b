#pragma once
// The editor's file operations: load file (rich text keeps its formatting,
// plain text and Word documents come in as text) and save file (always RTF).
// Also the mapping between QTextDocument and the documents library's model.

#include "mainwindow/documents/document.h"

#include <QString>

class QTextDocument;
class RichEditor;

documents::Document documentToModel(const QTextDocument& document);
// Replaces the whole content of `document` by the model.
void modelToDocument(const documents::Document& model, QTextDocument* document);

// On failure the editor keeps its content and `error` says why. `warning`
// receives a note about a file that loaded with losses (undecodable bytes).
bool loadDocument(RichEditor* editor, const QString& path, QString* error, QString* warning = nullptr);
// Writes the whole content as RTF via a temporary file; an existing file is
// only replaced when the write succeeded.
bool saveDocument(const RichEditor* editor, const QString& path, QString* error);
