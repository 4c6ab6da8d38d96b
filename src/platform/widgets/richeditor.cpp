#include "richeditor.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>

namespace {

const QChar kBeginningOfFrame(0xfdd0);
const QChar kEndOfFrame(0xfdd1);

bool isBlockBreak(QChar c)
{
    return c == QChar::ParagraphSeparator || c == kBeginningOfFrame || c == kEndOfFrame;
}

// Raw document text (or a selection of it) with every paragraph break, frame
// boundary and line separator written as CR LF. Every other character is kept
// as it is (toPlainText() would turn non-breaking spaces into spaces).
QString withCrLf(const QString& raw)
{
    QString out;
    out.reserve(raw.size() + raw.size() / 16);
    for (QChar c : raw) {
        if (isBlockBreak(c) || c == QChar::LineSeparator)
            out += QLatin1String("\r\n");
        else
            out += c;
    }
    return out;
}

// Line separators stay inside a paragraph in QTextDocument, which would break
// the one-break-per-block position mapping; they come in as paragraph breaks.
QString normalisedInput(QString text)
{
    text.replace(QChar::LineSeparator, QChar::ParagraphSeparator);
    return text;
}

}  // namespace

RichEditor::RichEditor(QWidget* parent) : QTextEdit(parent)
{
    setAcceptRichText(false);
    // The owner shows its own menu from mouseDown.
    setContextMenuPolicy(Qt::NoContextMenu);
}

QString RichEditor::text() const { return withCrLf(document()->toRawText()); }

void RichEditor::setText(const QString& text)
{
    // A fresh format, so that nothing of the old formatting carries over to
    // the new text or to the text typed next. QTextEdit::setPlainText (rather
    // than the document's) puts the caret at the start without laying out the
    // whole document for the old caret at its end, and keeps the bulk insert
    // out of the undo history.
    setCurrentCharFormat(QTextCharFormat());
    QTextEdit::setPlainText(normalisedInput(text));
}

int RichEditor::crLfLength() const
{
    const QTextDocument* doc = document();
    return doc->characterCount() - 1 + doc->blockCount() - 1;
}

int RichEditor::toCrLf(int docPos) const { return docPos + blockNumberAt(docPos); }

int RichEditor::toDocument(int crLfPos) const
{
    const QTextDocument* doc = document();
    crLfPos = std::clamp(crLfPos, 0, crLfLength());
    // Wanted: the last block b whose first character lies at or before crLfPos;
    // block b starts at CR LF position block.position() + b. As no block before
    // it can have a larger number, it lies between the block of document
    // position crLfPos - high and that of crLfPos itself, which on ordinary
    // text leaves only a few blocks for the binary search.
    int high = blockNumberAt(crLfPos);
    int low = blockNumberAt(crLfPos - high);
    while (low < high) {
        const int mid = low + (high - low + 1) / 2;
        if (doc->findBlockByNumber(mid).position() + mid <= crLfPos)
            low = mid;
        else
            high = mid - 1;
    }
    const QTextBlock block = doc->findBlockByNumber(low);
    const int lineEnd = block.position() + block.length() - 1;
    // A position on the LF of a CR LF pair belongs to the end of that line.
    return std::min(crLfPos - low, lineEnd);
}

int RichEditor::blockNumberAt(int docPos) const
{
    const QTextDocument* doc = document();
    const int last = doc->characterCount() - 1;
    return std::max(0, doc->findBlock(std::clamp(docPos, 0, last)).blockNumber());
}

int RichEditor::selStart() const { return toCrLf(textCursor().selectionStart()); }

void RichEditor::setSelStart(int start)
{
    QTextCursor cursor = textCursor();
    cursor.setPosition(toDocument(start));
    setTextCursor(cursor);
}

int RichEditor::selLength() const
{
    const QTextCursor cursor = textCursor();
    return toCrLf(cursor.selectionEnd()) - toCrLf(cursor.selectionStart());
}

void RichEditor::setSelLength(int length)
{
    QTextCursor cursor = textCursor();
    const int start = cursor.selectionStart();
    const int end = toDocument(toCrLf(start) + std::max(0, length));
    cursor.setPosition(start);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    setTextCursor(cursor);
}

QString RichEditor::selText() const { return withCrLf(textCursor().selectedText()); }

void RichEditor::setSelText(const QString& text)
{
    QTextCursor cursor = textCursor();
    if (text.isEmpty())
        cursor.removeSelectedText();
    else
        cursor.insertText(normalisedInput(text));
    setTextCursor(cursor);
}

QTextCharFormat RichEditor::selectionFormat() const
{
    const QTextCursor cursor = textCursor();
    if (!cursor.hasSelection())
        return currentCharFormat();
    // The format of the first selected character.
    QTextCursor first(document());
    first.setPosition(cursor.selectionStart() + 1);
    return first.charFormat();
}

QColor RichEditor::selColor() const
{
    const QBrush brush = selectionFormat().foreground();
    if (brush.style() == Qt::NoBrush)
        return palette().color(QPalette::Text);
    return brush.color();
}

void RichEditor::setSelColor(const QColor& color)
{
    QTextCharFormat format;
    format.setForeground(color);
    mergeCurrentCharFormat(format);
}

QString RichEditor::selFontName() const
{
    const QStringList families = selectionFormat().fontFamilies().toStringList();
    return families.isEmpty() ? document()->defaultFont().family() : families.first();
}

void RichEditor::setSelFontName(const QString& family)
{
    QTextCharFormat format;
    format.setFontFamilies({family});
    mergeCurrentCharFormat(format);
}

double RichEditor::selFontSize() const
{
    const double size = selectionFormat().fontPointSize();
    return size > 0 ? size : document()->defaultFont().pointSizeF();
}

void RichEditor::setSelFontSize(double points)
{
    if (points <= 0)
        return;
    QTextCharFormat format;
    format.setFontPointSize(points);
    mergeCurrentCharFormat(format);
}

void RichEditor::keyPressEvent(QKeyEvent* event)
{
    // Shift+Enter would insert a line separator; make it an ordinary new paragraph.
    const bool isEnter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (isEnter && (event->modifiers() & Qt::ShiftModifier)) {
        QTextCursor cursor = textCursor();
        cursor.removeSelectedText();
        cursor.insertBlock();
        setTextCursor(cursor);
        return;
    }
    QTextEdit::keyPressEvent(event);
}

void RichEditor::keyReleaseEvent(QKeyEvent* event)
{
    // A held key repeats press and release; the caller hears of the final release only.
    if (!event->isAutoRepeat())
        emit keyUp(event->key());
    QTextEdit::keyReleaseEvent(event);
}

void RichEditor::mousePressEvent(QMouseEvent* event)
{
    // Mouse events arrive in viewport coordinates; callers work in the editor's.
    emit mouseDown(event->buttons(), viewport()->mapTo(this, event->position().toPoint()));
    QTextEdit::mousePressEvent(event);
}

bool RichEditor::canInsertFromMimeData(const QMimeData* source) const
{
    return source->hasText();
}

void RichEditor::insertFromMimeData(const QMimeData* source)
{
    if (!source->hasText())
        return;
    QTextCursor cursor = textCursor();
    cursor.insertText(normalisedInput(source->text()));
    setTextCursor(cursor);
}
