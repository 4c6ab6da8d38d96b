// Colouring the paper window by window: what a run leaves behind must not
// depend on where the windows fall, and one undo takes the whole run back.

#include "comparer/ui/papercolouring.h"

#include <QGuiApplication>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>

namespace {

const QColor kRed(255, 0, 0);
const QColor kBlack(0, 0, 0);
const QColor kBlue(0, 0, 255);

// The colour of the character at `pos` (none: the default colour).
QColor colourAt(QTextDocument* document, int pos)
{
    QTextCursor cursor(document);
    cursor.setPosition(pos + 1);
    const QBrush brush = cursor.charFormat().foreground();
    return brush.style() == Qt::NoBrush ? QColor() : brush.color();
}

void paint(QTextDocument* document, int from, int to, const QColor& colour)
{
    QTextCursor cursor(document);
    cursor.setPosition(from);
    cursor.setPosition(to, QTextCursor::KeepAnchor);
    QTextCharFormat format;
    format.setForeground(colour);
    cursor.mergeCharFormat(format);
}

// Paragraphs of 20,001 positions each (20,000 characters and the break).
QString paragraphs(int count)
{
    QStringList lines;
    for (int i = 0; i < count; ++i)
        lines << QString(20000, QChar(u'字'));
    return lines.join(QChar(u'\n'));
}

void noEvents() { }

}  // namespace

class TestPaperColouring : public QObject {
    Q_OBJECT
private slots:
    void marksAcrossWindowsAndOneUndo()
    {
        QTextDocument document;
        document.setPlainText(paragraphs(5));
        paint(&document, 100, 110, kBlue);  // an old mark

        // One mark over the break between the second and third paragraph,
        // where the first window ends; one inside the last paragraph.
        colourPaper(&document, {{90000, 90020, {}}, {39990, 40010, {}}}, true, noEvents);
        QCOMPARE(colourAt(&document, 105), kBlack);
        QCOMPARE(colourAt(&document, 39989), kBlack);
        QCOMPARE(colourAt(&document, 39990), kRed);
        QCOMPARE(colourAt(&document, 40009), kRed);
        QCOMPARE(colourAt(&document, 40010), kBlack);
        QCOMPARE(colourAt(&document, 90019), kRed);
        QCOMPARE(colourAt(&document, document.characterCount() - 2), kBlack);

        // The first window's change is undone with the last one's; the old
        // mark, a step of its own, stays.
        document.undo();
        QCOMPARE(colourAt(&document, 105), kBlue);
        QCOMPARE(colourAt(&document, 40000), QColor());
        QCOMPARE(colourAt(&document, 90010), QColor());
        QCOMPARE(colourAt(&document, 0), QColor());
    }

    void cumulativeKeepsOldMarks()
    {
        QTextDocument document;
        document.setPlainText(paragraphs(3));
        paint(&document, 5, 10, kRed);
        colourPaper(&document, {{50000, 50006, {}}}, false, noEvents);
        QCOMPARE(colourAt(&document, 5), kRed);
        QCOMPARE(colourAt(&document, 20), QColor());
        QCOMPARE(colourAt(&document, 50000), kRed);
        QCOMPARE(colourAt(&document, 50006), QColor());
    }

    void emptyPaperAndMarksPastTheEnd()
    {
        QTextDocument empty;
        colourPaper(&empty, {{0, 6, {}}}, true, noEvents);
        QVERIFY(empty.isEmpty());

        // The paper may have changed since the marks were found.
        QTextDocument document;
        document.setPlainText(QStringLiteral(u"甲乙丙丁"));
        colourPaper(&document, {{2, 40, {}}, {30, 36, {}}}, true, noEvents);
        QCOMPARE(colourAt(&document, 1), kBlack);
        QCOMPARE(colourAt(&document, 3), kRed);
        QCOMPARE(document.toPlainText(), QStringLiteral(u"甲乙丙丁"));
    }
};

QTEST_MAIN(TestPaperColouring)
#include "test_papercolouring.moc"
