#pragma once
// The paper editor: a QTextEdit that speaks in the editor's own terms. Text is
// read and positions are counted with CR LF line breaks (two code units per
// paragraph break), and every selection call maps between that count and the
// document's positions without scanning the whole text.

#include <QColor>
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
    void setSelFontSize(double points);

signals:
    void keyUp(int key);                                          // key code, space = 32
    void mouseDown(Qt::MouseButtons buttons, const QPoint& pos);  // pos in editor coordinates

protected:
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
};
