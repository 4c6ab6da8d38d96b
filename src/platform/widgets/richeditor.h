#pragma once
// The paper editor: a QTextEdit that speaks in the editor's own terms. Text is
// read and positions are counted with CR LF line breaks (two code units per
// paragraph break), and every selection call maps between that count and the
// document's positions without scanning the whole text. Line separators
// (U+2028) are turned into paragraph breaks wherever text comes in through this
// class, so that each block boundary is exactly one CR LF, except where a very
// long paragraph is shown in pieces (see continuesParagraph).

#include <QColor>
#include <QTextCharFormat>
#include <QTextEdit>

#include <functional>
#include <vector>

class QTextBlock;

// The editor lays out and shapes a paragraph whole, so each change in a
// paragraph of a million characters would cost a quarter of a second. Such
// a paragraph is shown as pieces of a few thousand characters: the break
// before a piece is for display only and is no line break of the text.
bool continuesParagraph(const QTextBlock& block);

class RichEditor : public QTextEdit {
    Q_OBJECT
public:
    explicit RichEditor(QWidget* parent = nullptr);

    QString text() const;               // line breaks as CR LF
    void setText(const QString& text);  // CR LF, lone CR or LF break lines; drops formatting

    int selStart() const;
    void setSelStart(int start);  // collapses the selection to the caret
    int selLength() const;
    void setSelLength(int length);  // from the current start
    QString selText() const;        // CR LF line breaks
    void setSelText(const QString& text);

    QColor selColor() const;
    void setSelColor(const QColor& color);  // with no selection: the colour typed next
    QString selFontName() const;
    void setSelFontName(const QString& family);
    double selFontSize() const;
    void setSelFontSize(double points);  // ignored unless positive

    int textPosition(int docPos) const;       // document position -> CR LF text position
    int documentPosition(int textPos) const;  // the other way, clamped into the text
    // Replaces the whole content by what `fill` puts into the document (rich
    // text read from a file), with the undo history cleared and paragraphs too
    // long to lay out quickly cut into display pieces, as setText does.
    void replaceContent(const std::function<void(QTextDocument*)>& fill);

signals:
    void keyUp(int key);                                          // key code, space = 32
    void mouseDown(Qt::MouseButtons buttons, const QPoint& pos);  // pos in editor coordinates
    // A file dragged from a file manager was dropped here. Only an editor
    // whose window listens takes files; the others take dropped text only.
    void fileDropped(const QString& path);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    // Pasting and dropping take plain text only.
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;
    QMimeData* createMimeDataFromSelection() const override;

private:
    int crLfLength() const;
    int blockNumberAt(int docPos) const;
    int textStartOfBlock(int blockNumber) const;
    QTextCharFormat selectionFormat() const;
    QString withLineBreaks(const QString& raw, int docOffset) const;
    void insertPlain(QTextCursor& cursor, const QString& text);
    bool joinsDisplayPieces(QKeyEvent* event);
    QString droppedFile(const QMimeData* data) const;
    void markDisplayPieces(const std::vector<int>& blockNumbers);

    // Display breaks, found again after each change of the document.
    struct DisplayBreaks {
        std::vector<int> blocks;     // numbers of the blocks that continue a paragraph
        std::vector<int> positions;  // document positions of the breaks before them
    };
    const DisplayBreaks& displayBreaks() const;
    int displayBreaksUpToBlock(int blockNumber) const;
    bool mayHaveDisplayBreaks_ = false;  // none since the content was last replaced
    mutable bool displayBreaksKnown_ = false;
    mutable DisplayBreaks displayBreaks_;
};
