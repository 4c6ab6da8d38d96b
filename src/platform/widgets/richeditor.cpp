#include "platform/widgets/richeditor.h"

#include <QDropEvent>
#include <QKeyEvent>
#include <QMetaMethod>
#include <QMimeData>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>

namespace {

const QChar kBeginningOfFrame(0xfdd0);
const QChar kEndOfFrame(0xfdd1);

// Set in the block format of a display piece that continues the paragraph
// before it. Block formats go with their break through every edit and undo.
constexpr int kContinuesParagraph = QTextFormat::UserProperty + 1;

// A piece of this length lays out in about 2 ms.
constexpr int kLongestPiece = 8192;

bool isBlockBreak(QChar c)
{
    return c == QChar::ParagraphSeparator || c == kBeginningOfFrame || c == kEndOfFrame;
}

bool isSentenceEnd(QChar c) { return QStringView(u"。！？；…!?;.").contains(c); }

// Where a long paragraph's next display piece starts, after `from`: after a
// sentence end in the last quarter of the longest piece if there is one,
// else where the longest piece ends (never inside a surrogate pair).
qsizetype nextPieceStart(QStringView paragraph, qsizetype from)
{
    qsizetype cut = from + kLongestPiece;
    if (cut >= paragraph.size())
        return paragraph.size();
    for (qsizetype i = cut; i > cut - kLongestPiece / 4; --i) {
        if (isSentenceEnd(paragraph[i - 1]))
            return i;
    }
    return paragraph[cut - 1].isHighSurrogate() ? cut - 1 : cut;
}

// Where the display pieces of a paragraph start, the first one left out;
// empty for a paragraph short enough to be shown whole.
std::vector<qsizetype> pieceStarts(QStringView paragraph)
{
    std::vector<qsizetype> starts;
    for (qsizetype at = nextPieceStart(paragraph, 0); at < paragraph.size();
         at = nextPieceStart(paragraph, at))
        starts.push_back(at);
    return starts;
}

// The block format of a piece that continues the paragraph before it.
QTextBlockFormat pieceFormat(QTextBlockFormat format)
{
    format.setProperty(kContinuesParagraph, true);
    return format;
}

// `text` with a paragraph break wherever a paragraph longer than the longest
// piece is cut; the numbers of the blocks that continue a paragraph go to
// `pieces`. Paragraphs end where QTextDocument ends them: at CR LF, lone CR
// or LF, a paragraph separator or a frame mark.
QString cutIntoPieces(const QString& text, std::vector<int>* pieces)
{
    QString out;
    int block = 0;
    qsizetype paragraphStart = 0;
    const auto endParagraph = [&](qsizetype end) {
        const QStringView paragraph = QStringView(text).mid(paragraphStart, end - paragraphStart);
        const std::vector<qsizetype> starts = pieceStarts(paragraph);
        if (starts.empty() && pieces->empty())
            return;  // nothing cut so far: the text is kept as it is
        if (pieces->empty())
            out = text.left(paragraphStart);
        qsizetype from = 0;
        for (const qsizetype to : starts) {
            out += paragraph.mid(from, to - from);
            out += QChar::ParagraphSeparator;
            pieces->push_back(++block);
            from = to;
        }
        out += paragraph.mid(from);
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const bool crLf = c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n';
        if (!isBlockBreak(c) && c != u'\r' && c != u'\n')
            continue;
        endParagraph(i);
        const qsizetype breakLength = crLf ? 2 : 1;
        if (!pieces->empty())
            out += QStringView(text).mid(i, breakLength);
        i += breakLength - 1;
        paragraphStart = i + 1;
        ++block;
    }
    endParagraph(text.size());
    return pieces->empty() ? text : out;
}

// Cuts the paragraphs between document positions `from` and `to` that are
// longer than the longest piece; whether it cut any.
bool cutLongParagraphs(QTextDocument* doc, int from, int to)
{
    std::vector<int> cuts;
    for (QTextBlock block = doc->findBlock(from); block.isValid() && block.position() <= to;
         block = block.next()) {
        if (block.length() - 1 > kLongestPiece) {
            for (const qsizetype at : pieceStarts(block.text()))
                cuts.push_back(block.position() + static_cast<int>(at));
        }
    }
    QTextCursor cursor(doc);
    cursor.beginEditBlock();
    for (auto cut = cuts.rbegin(); cut != cuts.rend(); ++cut) {
        cursor.setPosition(*cut);
        cursor.insertBlock(pieceFormat(cursor.blockFormat()), cursor.charFormat());
    }
    cursor.endEditBlock();
    return !cuts.empty();
}

QTextBlockFormat lineBreakFormat(QTextBlockFormat format)
{
    format.clearProperty(kContinuesParagraph);
    return format;
}

// Text coming in as lines: CR LF, lone CR or LF, line and paragraph
// separators (and frame marks, which QTextCursor also breaks at).
QStringList inputLines(const QString& text)
{
    static const QRegularExpression lineBreak(
        QStringLiteral("\\r\\n|[\\r\\n\\x{2028}\\x{2029}\\x{fdd0}\\x{fdd1}]"));
    return text.split(lineBreak);
}

// Line separators stay inside a paragraph in QTextDocument, which would break
// the one-break-per-block position mapping; they come in as paragraph breaks.
QString normalisedInput(QString text)
{
    text.replace(QChar::LineSeparator, QChar::ParagraphSeparator);
    return text;
}

}  // namespace

bool continuesParagraph(const QTextBlock& block)
{
    return block.blockFormat().boolProperty(kContinuesParagraph);
}

RichEditor::RichEditor(QWidget* parent) : QTextEdit(parent)
{
    setAcceptRichText(false);
    // The owner shows its own menu from mouseDown.
    setContextMenuPolicy(Qt::NoContextMenu);
    connect(document(), &QTextDocument::contentsChange, this, [this] { displayBreaksKnown_ = false; });
}

QString RichEditor::text() const { return withLineBreaks(document()->toRawText(), 0); }

// Raw document text (or a part of it starting at document position
// `docOffset`) with every paragraph break, frame boundary and line separator
// written as CR LF, and display breaks left out. Every other character is
// kept as it is (toPlainText() would turn non-breaking spaces into spaces).
QString RichEditor::withLineBreaks(const QString& raw, int docOffset) const
{
    const std::vector<int>& skipped = displayBreaks().positions;
    auto nextSkipped = std::lower_bound(skipped.begin(), skipped.end(), docOffset);
    QString out;
    out.reserve(raw.size() + raw.size() / 16);
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const QChar c = raw[i];
        if (!isBlockBreak(c) && c != QChar::LineSeparator) {
            out += c;
            continue;
        }
        const int position = docOffset + static_cast<int>(i);
        while (nextSkipped != skipped.end() && *nextSkipped < position)
            ++nextSkipped;
        if (nextSkipped == skipped.end() || *nextSkipped != position)
            out += QLatin1String("\r\n");
    }
    return out;
}

const RichEditor::DisplayBreaks& RichEditor::displayBreaks() const
{
    if (displayBreaksKnown_)
        return displayBreaks_;
    displayBreaks_ = {};
    if (mayHaveDisplayBreaks_) {
        int number = 0;
        for (QTextBlock block = document()->begin(); block.isValid(); block = block.next(), ++number) {
            if (number > 0 && continuesParagraph(block)) {
                displayBreaks_.blocks.push_back(number);
                displayBreaks_.positions.push_back(block.position() - 1);
            }
        }
    }
    displayBreaksKnown_ = true;
    return displayBreaks_;
}

int RichEditor::displayBreaksUpToBlock(int blockNumber) const
{
    const std::vector<int>& blocks = displayBreaks().blocks;
    return static_cast<int>(std::upper_bound(blocks.begin(), blocks.end(), blockNumber) - blocks.begin());
}

void RichEditor::setText(const QString& text)
{
    // A fresh format, so that nothing of the old formatting carries over to
    // the new text or to the text typed next. QTextEdit::setPlainText (rather
    // than the document's) puts the caret at the start without laying out the
    // whole document for the old caret at its end, and keeps the bulk insert
    // out of the undo history. Long paragraphs are cut in the text itself:
    // laid out before the cut, a paragraph of a million characters would cost
    // most of a second here.
    setCurrentCharFormat(QTextCharFormat());
    std::vector<int> pieces;
    QTextEdit::setPlainText(cutIntoPieces(normalisedInput(text), &pieces));
    markDisplayPieces(pieces);
}

void RichEditor::markDisplayPieces(const std::vector<int>& blockNumbers)
{
    mayHaveDisplayBreaks_ = !blockNumbers.empty();
    displayBreaksKnown_ = false;
    if (blockNumbers.empty())
        return;
    QTextDocument* doc = document();
    QTextCursor cursor(doc);
    cursor.beginEditBlock();
    for (const int number : blockNumbers) {
        cursor.setPosition(doc->findBlockByNumber(number).position());
        cursor.setBlockFormat(pieceFormat(cursor.blockFormat()));
    }
    cursor.endEditBlock();
    doc->clearUndoRedoStacks();  // part of the new content, not an edit
}

void RichEditor::replaceContent(const std::function<void(QTextDocument*)>& fill)
{
    // One edit block: the editor lays the new content out once, lazily, and
    // never lays out a long paragraph whole before it is cut.
    QTextCursor whole(document());
    whole.beginEditBlock();
    fill(document());
    mayHaveDisplayBreaks_ = cutLongParagraphs(document(), 0, document()->characterCount() - 1);
    displayBreaksKnown_ = false;
    whole.endEditBlock();
    document()->clearUndoRedoStacks();  // part of the new content, not an edit
}

int RichEditor::crLfLength() const
{
    const QTextDocument* doc = document();
    const int breaks = doc->blockCount() - 1;
    const int displayOnly = static_cast<int>(displayBreaks().blocks.size());
    // A line break is two characters of the text, a display break none.
    return doc->characterCount() - 1 + breaks - 2 * displayOnly;
}

// O(log n) on a paper without display breaks.
int RichEditor::textPosition(int docPos) const
{
    const int block = blockNumberAt(docPos);
    return docPos + block - 2 * displayBreaksUpToBlock(block);
}

int RichEditor::textStartOfBlock(int blockNumber) const
{
    return document()->findBlockByNumber(blockNumber).position() + blockNumber
        - 2 * displayBreaksUpToBlock(blockNumber);
}

// O(log^2 n).
int RichEditor::documentPosition(int textPos) const
{
    const QTextDocument* doc = document();
    textPos = std::clamp(textPos, 0, crLfLength());
    // Wanted: the last block whose first character lies at or before textPos.
    // Without display breaks, block b starts at text position position() + b;
    // as no block before it can have a larger number, it lies between the
    // block of document position textPos - high and that of textPos itself,
    // which on ordinary text leaves only a few blocks for the binary search.
    int high = doc->blockCount() - 1;
    int low = 0;
    if (displayBreaks().blocks.empty()) {
        high = blockNumberAt(textPos);
        low = blockNumberAt(textPos - high);
    }
    while (low < high) {
        const int mid = low + (high - low + 1) / 2;
        if (textStartOfBlock(mid) <= textPos)
            low = mid;
        else
            high = mid - 1;
    }
    const QTextBlock block = doc->findBlockByNumber(low);
    const int lineEnd = block.position() + block.length() - 1;
    // A position on the LF of a CR LF pair belongs to the end of that line.
    return std::min(block.position() + textPos - textStartOfBlock(low), lineEnd);
}

int RichEditor::blockNumberAt(int docPos) const
{
    const QTextDocument* doc = document();
    const int last = doc->characterCount() - 1;
    return std::max(0, doc->findBlock(std::clamp(docPos, 0, last)).blockNumber());
}

int RichEditor::selStart() const { return textPosition(textCursor().selectionStart()); }

void RichEditor::setSelStart(int start)
{
    QTextCursor cursor = textCursor();
    cursor.setPosition(documentPosition(start));
    setTextCursor(cursor);
}

int RichEditor::selLength() const
{
    const QTextCursor cursor = textCursor();
    return textPosition(cursor.selectionEnd()) - textPosition(cursor.selectionStart());
}

void RichEditor::setSelLength(int length)
{
    QTextCursor cursor = textCursor();
    const int start = cursor.selectionStart();
    const int end = documentPosition(textPosition(start) + std::max(0, length));
    cursor.setPosition(start);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    setTextCursor(cursor);
}

QString RichEditor::selText() const
{
    const QTextCursor cursor = textCursor();
    return withLineBreaks(cursor.selectedText(), cursor.selectionStart());
}

void RichEditor::setSelText(const QString& text)
{
    QTextCursor cursor = textCursor();
    insertPlain(cursor, text);
    setTextCursor(cursor);
}

// Replaces the cursor's selection with plain text. Each line break becomes a
// paragraph break of its own: QTextCursor::insertText would give the new
// paragraphs the block format of the one typed into, and inside a display
// piece that would make the typed line breaks display breaks.
void RichEditor::insertPlain(QTextCursor& cursor, const QString& text)
{
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    const int start = cursor.position();
    const QTextBlockFormat newLine = lineBreakFormat(cursor.blockFormat());
    const QStringList lines = inputLines(text);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0)
            cursor.insertBlock(newLine);
        if (!lines[i].isEmpty())
            cursor.insertText(lines[i]);
    }
    // A long pasted paragraph is cut before anything is laid out; undo takes
    // the cuts back with the paste.
    if (cutLongParagraphs(document(), start, cursor.position()))
        mayHaveDisplayBreaks_ = true;
    cursor.endEditBlock();
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
    // Enter starts a paragraph of its own, also inside a display piece, and
    // Shift+Enter does the same instead of inserting a line separator.
    const bool isEnter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (isEnter && !isReadOnly()) {
        QTextCursor cursor = textCursor();
        insertPlain(cursor, QStringLiteral("\n"));
        setTextCursor(cursor);
        return;
    }
    if (joinsDisplayPieces(event))
        return;
    QTextEdit::keyPressEvent(event);
}

// Backspace at the start of a display piece, or Delete at the end of the
// piece before one, takes the character beyond the display break: the user
// sees one line there and means that character, not the break.
bool RichEditor::joinsDisplayPieces(QKeyEvent* event)
{
    QTextCursor cursor = textCursor();
    if (isReadOnly() || cursor.hasSelection())
        return false;
    const QTextBlock block = cursor.block();
    if (event->key() == Qt::Key_Backspace && event->modifiers() == Qt::NoModifier && cursor.atBlockStart()
        && continuesParagraph(block) && block.previous().length() > 1) {
        QTextCursor before(document());
        before.setPosition(block.position() - 1);
        before.deletePreviousChar();
        return true;
    }
    if (event->matches(QKeySequence::Delete) && cursor.atBlockEnd() && block.next().isValid()
        && continuesParagraph(block.next()) && block.next().length() > 1) {
        QTextCursor after(document());
        after.setPosition(block.next().position());
        after.deleteChar();
        return true;
    }
    return false;
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

// The first local file of a drag, when this editor's window takes files.
QString RichEditor::droppedFile(const QMimeData* data) const
{
    if (!data || !data->hasUrls() || !isSignalConnected(QMetaMethod::fromSignal(&RichEditor::fileDropped)))
        return {};
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile())
            return url.toLocalFile();
    }
    return {};
}

void RichEditor::dragEnterEvent(QDragEnterEvent* event)
{
    if (droppedFile(event->mimeData()).isEmpty())
        QTextEdit::dragEnterEvent(event);
    else
        event->acceptProposedAction();
}

void RichEditor::dragMoveEvent(QDragMoveEvent* event)
{
    if (droppedFile(event->mimeData()).isEmpty())
        QTextEdit::dragMoveEvent(event);
    else
        event->acceptProposedAction();
}

void RichEditor::dropEvent(QDropEvent* event)
{
    const QString path = droppedFile(event->mimeData());
    if (path.isEmpty()) {
        QTextEdit::dropEvent(event);
        return;
    }
    event->acceptProposedAction();
    emit fileDropped(path);
}

bool RichEditor::canInsertFromMimeData(const QMimeData* source) const { return source->hasText(); }

void RichEditor::insertFromMimeData(const QMimeData* source)
{
    if (!source->hasText())
        return;
    QTextCursor cursor = textCursor();
    insertPlain(cursor, source->text());
    setTextCursor(cursor);
}

QMimeData* RichEditor::createMimeDataFromSelection() const
{
    QMimeData* rich = QTextEdit::createMimeDataFromSelection();
    if (!rich || displayBreaks().blocks.empty())
        return rich;
    // QTextEdit's data fills in its plain text when first asked for it, display
    // breaks included; the copy gets the text without them, and the usual LF.
    QString plain = selText();
    plain.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    auto* data = new QMimeData;
    data->setHtml(rich->html());
    data->setText(plain);
    delete rich;
    return data;
}
