#pragma once
// The paper editor: a QTextEdit that speaks in the editor's own terms. Text is
// read and positions are counted with CR LF line breaks (two code units per
// paragraph break), and every selection call maps between that count and the
// document's positions without scanning the whole text. Line separators
// (U+2028) are turned into paragraph breaks wherever text comes in through this
// class, so that each block boundary is exactly one CR LF.

#include <QColor>
#include <QTextCharFormat>
#include <QTextEdit>

class RichEditor : public QTextEdit {
    Q_OBJECT
public:
    explicit RichEditor(QWidget* parent = nullptr);

    QString text() const;               // line breaks as CR LF
    void setText(const QString& text);  // CR LF, lone CR or LF break lines; drops formatting

    int selStart() const;
    void setSelStart(int start);        // collapses the selection to the caret
    int selLength() const;
    void setSelLength(int length);      // from the current start
    QString selText() const;            // CR LF line breaks
    void setSelText(const QString& text);

    QColor selColor() const;
    void setSelColor(const QColor& color);  // with no selection: the colour typed next
    QString selFontName() const;
    void setSelFontName(const QString& family);
    double selFontSize() const;
    void setSelFontSize(double points);     // ignored unless positive

signals:
    void keyUp(int key);                                          // key code, space = 32
    void mouseDown(Qt::MouseButtons buttons, const QPoint& pos);  // pos in editor coordinates

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    // Pasting and dropping take plain text only.
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    int crLfLength() const;
    int toCrLf(int docPos) const;      // O(log n)
    int toDocument(int crLfPos) const; // O(log^2 n), clamped into the text
    int blockNumberAt(int docPos) const;
    QTextCharFormat selectionFormat() const;
};
