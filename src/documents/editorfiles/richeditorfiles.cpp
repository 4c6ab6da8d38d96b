#include "documents/editorfiles/richeditorfiles.h"

#include "documents/core/documentfiles.h"
#include "documents/pdf/pdfreader.h"
#include "platform/widgets/richeditor.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace {

documents::CharFormat toModelFormat(const QTextCharFormat& format, const QFont& defaultFont)
{
    const QFont font = format.font().resolve(defaultFont);
    documents::CharFormat out;
    out.fontName = font.family();
    out.pointSize = font.pointSizeF() > 0 ? font.pointSizeF() : 0;
    if (format.hasProperty(QTextFormat::ForegroundBrush) && format.foreground().style() != Qt::NoBrush)
        out.color = format.foreground().color().rgb() & 0xFFFFFF;
    out.bold = font.bold();
    out.italic = font.italic();
    out.underline = font.underline();
    return out;
}

QTextCharFormat toQtFormat(const documents::CharFormat& format)
{
    QTextCharFormat out;
    if (!format.fontName.isEmpty())
        out.setFontFamilies({format.fontName});
    if (format.pointSize > 0)
        out.setFontPointSize(format.pointSize);
    if (format.color)
        out.setForeground(QColor::fromRgb(*format.color | 0xFF000000u));
    out.setFontWeight(format.bold ? QFont::Bold : QFont::Normal);
    out.setFontItalic(format.italic);
    out.setFontUnderline(format.underline);
    return out;
}

// Appends a fragment's text; a line separator inside a block starts a new
// paragraph, as the editor counts it as a line break.
void appendFragment(documents::Document& model, const QString& text, const documents::CharFormat& format)
{
    const QStringList lines = text.split(QChar::LineSeparator);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0)
            model.paragraphs.append(documents::Paragraph{});
        QString line = lines[i];
        line.remove(QChar::ObjectReplacementCharacter);  // images are not kept
        model.paragraphs.last().append(line, format);
    }
}

}  // namespace

documents::Document documentToModel(const QTextDocument& document)
{
    documents::Document model;
    const QFont defaultFont = document.defaultFont();
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (model.paragraphs.isEmpty() || !continuesParagraph(block))
            model.paragraphs.append(documents::Paragraph{});
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.isValid())
                appendFragment(model, fragment.text(), toModelFormat(fragment.charFormat(), defaultFont));
        }
    }
    return model;
}

void modelToDocument(const documents::Document& model, QTextDocument* document)
{
    const bool undo = document->isUndoRedoEnabled();
    document->setUndoRedoEnabled(false);
    document->clear();
    QTextCursor cursor(document);
    bool first = true;
    for (const documents::Paragraph& paragraph : model.paragraphs) {
        if (!first)
            cursor.insertBlock();
        first = false;
        for (const documents::Run& run : paragraph.runs)
            cursor.insertText(run.text, toQtFormat(run.format));
    }
    document->setUndoRedoEnabled(undo);
}

namespace {

// Every window that opens documents comes through here, so the PDF reader is
// installed here, before the first file.
Result<documents::LoadedDocument> loadWithEveryReader(const QString& path)
{
    static const bool installed = (pdf::install(), true);
    Q_UNUSED(installed);
    return documents::loadDocumentFile(path);
}

}  // namespace

Result<QString> loadDocument(RichEditor* editor, const QString& path)
{
    const Result<documents::LoadedDocument> loaded = loadWithEveryReader(path);
    if (!loaded)
        return failure(loaded.error());
    if (loaded->rich) {
        editor->setCurrentCharFormat(QTextCharFormat());
        editor->replaceContent(
            [&loaded](QTextDocument* document) { modelToDocument(loaded->document, document); });
        editor->setTextCursor(QTextCursor(editor->document()));
    } else {
        editor->setText(loaded->document.plainText(QStringLiteral("\r\n")));
    }
    return loaded->warning;
}

Result<QString> loadDocumentText(RichEditor* editor, const QString& path)
{
    const Result<documents::LoadedDocument> loaded = loadWithEveryReader(path);
    if (!loaded)
        return failure(loaded.error());
    editor->setText(loaded->document.plainText(QStringLiteral("\r\n")));
    return loaded->warning;
}

Result<void> saveDocument(const RichEditor* editor, const QString& path)
{
    return documents::saveRtfFile(documentToModel(*editor->document()), path);
}
