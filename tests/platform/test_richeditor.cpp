#include "documents/editorfiles/richeditorfiles.h"
#include "platform/widgets/richeditor.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>

namespace {

const QString kEmoji = QString::fromUtf8("\xF0\x9F\x98\x80");  // U+1F600, two code units
const QString kExtB = QString::fromUtf8("\xF0\xA0\x80\x80");   // U+20000, CJK Ext-B
const QChar kNbsp(0x00A0);

// The CR LF count of a position, found by walking the text from the start:
// the reference the fast mapping must agree with. A position between CR and LF
// reads back as the position of the CR.
int expectedReadBack(const QString& crlfText, int pos)
{
    if (pos > 0 && pos < crlfText.size() && crlfText[pos - 1] == u'\r' && crlfText[pos] == u'\n')
        return pos - 1;
    return pos;
}

// A paper too long to lay out as one paragraph: numbered sentences, then a
// run without any sentence end, with a character outside the BMP where the
// longest piece would end; then a short line.
QString longParagraphs()
{
    QString sentences;
    for (int i = 0; sentences.size() < 20000; ++i)
        sentences += QStringLiteral(u"第%1句话的内容写在这里。").arg(i, 5, 10, QChar(u'0'));
    const QString run = QString(8191, QChar(u'字')) + kEmoji + QString(12000, QChar(u'文'));
    return sentences + "\r\n" + run + "\r\n短的一行";
}

int displayPieces(const RichEditor& editor)
{
    int pieces = 0;
    for (QTextBlock block = editor.document()->begin(); block.isValid(); block = block.next())
        pieces += continuesParagraph(block);
    return pieces;
}

QTextCharFormat formatAt(RichEditor& editor, int docPos)
{
    QTextCursor c(editor.document());
    c.setPosition(docPos + 1);
    return c.charFormat();
}

}  // namespace

class TestRichEditor : public QObject {
    Q_OBJECT
private slots:
    void textReadsWithCrLf_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        QTest::newRow("LF") << "a\nb"
                            << "a\r\nb";
        QTest::newRow("CR LF") << "a\r\nb"
                               << "a\r\nb";
        QTest::newRow("lone CR") << "a\rb"
                                 << "a\r\nb";
        QTest::newRow("empty lines") << "\n\nx\n"
                                     << "\r\n\r\nx\r\n";
        QTest::newRow("line separator") << QString("a") + QChar::LineSeparator + "b"
                                        << "a\r\nb";
        QTest::newRow("nbsp kept") << QString("a") + kNbsp + "b" << QString("a") + kNbsp + "b";
        QTest::newRow("non-BMP") << kEmoji + "\n" + kExtB << kEmoji + "\r\n" + kExtB;
        QTest::newRow("empty") << ""
                               << "";
    }
    void textReadsWithCrLf()
    {
        QFETCH(QString, input);
        QFETCH(QString, expected);
        RichEditor editor;
        editor.setText(input);
        QCOMPARE(editor.text(), expected);
    }

    // Every position of the CR LF text, written and read back, agrees with a
    // walk over the text; selecting any occurrence that indexOf finds selects
    // exactly that occurrence.
    void positionsMapBothWays_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("needle");
        QTest::newRow("multi-line") << "第一行\n第二行 abc\n第三行 abc"
                                    << "abc";
        QTest::newRow("empty lines") << "\n\nab\n\n\nab\n"
                                     << "ab";
        QTest::newRow("across a break") << "xx ab\ncd ab\ncd"
                                        << "ab\r\ncd";
        QTest::newRow("emoji") << kEmoji + "a\n" + kEmoji + kEmoji + "a\n" + kEmoji << kEmoji + "a";
        QTest::newRow("CJK Ext-B") << kExtB + "\n\n中" + kExtB + "中\n" + kExtB + "中" << kExtB + "中";
        QTest::newRow("nbsp") << QString("a") + kNbsp + "b\nb" + kNbsp + "c" << QString(kNbsp);
    }
    void positionsMapBothWays()
    {
        QFETCH(QString, input);
        QFETCH(QString, needle);
        RichEditor editor;
        editor.setText(input);
        const QString text = editor.text();

        for (int pos = 0; pos <= text.size(); ++pos) {
            editor.setSelStart(pos);
            QCOMPARE(editor.selStart(), expectedReadBack(text, pos));
            QCOMPARE(editor.selLength(), 0);
        }

        int occurrences = 0;
        for (int at = text.indexOf(needle); at >= 0; at = text.indexOf(needle, at + 1)) {
            editor.setSelStart(at);
            editor.setSelLength(needle.size());
            QCOMPARE(editor.selStart(), at);
            QCOMPARE(editor.selLength(), needle.size());
            QCOMPARE(editor.selText(), needle);
            ++occurrences;
        }
        QVERIFY(occurrences >= 2);
    }

    void outOfRangeSelectionIsClamped()
    {
        RichEditor editor;
        editor.setText("ab\ncd");
        editor.setSelStart(-5);
        QCOMPARE(editor.selStart(), 0);
        editor.setSelStart(100);
        QCOMPARE(editor.selStart(), 6);
        editor.setSelStart(1);
        editor.setSelLength(100);
        QCOMPARE(editor.selText(), QString("b\r\ncd"));
        editor.setSelLength(-3);
        QCOMPARE(editor.selLength(), 0);
    }

    void replacingTheSelection_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("replacement");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("caretAfter");
        QTest::newRow("across a break") << 1 << 4 << "X"
                                        << "aXde\r\nf" << 2;
        QTest::newRow("empty deletes") << 1 << 4 << ""
                                       << "ade\r\nf" << 1;
        QTest::newRow("inserting breaks") << 2 << 0 << "1\r\n2\n"
                                          << "ab1\r\n2\r\n\r\ncde\r\nf" << 8;
        QTest::newRow("whole line with its break") << 0 << 4 << ""
                                                   << "cde\r\nf" << 0;
    }
    void replacingTheSelection()
    {
        QFETCH(int, start);
        QFETCH(int, length);
        QFETCH(QString, replacement);
        QFETCH(QString, expected);
        QFETCH(int, caretAfter);
        RichEditor editor;
        editor.setText("ab\r\ncde\r\nf");
        editor.setSelStart(start);
        editor.setSelLength(length);
        editor.setSelText(replacement);
        QCOMPARE(editor.text(), expected);
        QCOMPARE(editor.selStart(), caretAfter);
        QCOMPARE(editor.selLength(), 0);
    }

    void selectionFormatAppliesToTheSelectionOnly()
    {
        RichEditor editor;
        editor.setText("红色\n文字 plain");
        editor.setSelStart(1);
        editor.setSelLength(4);  // "色\r\n文"
        editor.setSelColor(QColor(255, 0, 0));
        editor.setSelFontName(QString::fromUtf8("宋体"));
        editor.setSelFontSize(14);

        QCOMPARE(editor.selColor(), QColor(255, 0, 0));
        QCOMPARE(editor.selFontName(), QString::fromUtf8("宋体"));
        QCOMPARE(editor.selFontSize(), 14.0);
        // Document positions: 红0 色1 |2 文3 字4
        QCOMPARE(formatAt(editor, 1).foreground().color(), QColor(255, 0, 0));
        QCOMPARE(formatAt(editor, 3).foreground().color(), QColor(255, 0, 0));
        QVERIFY(formatAt(editor, 0).foreground().style() == Qt::NoBrush);
        QVERIFY(formatAt(editor, 4).foreground().style() == Qt::NoBrush);
        // The selection itself is untouched.
        QCOMPARE(editor.selText(), QString("色\r\n文"));
    }

    void formatWithoutSelectionAppliesToTypedText_data()
    {
        QTest::addColumn<QString>("initial");
        QTest::addColumn<int>("caret");
        QTest::addColumn<QString>("expected");
        QTest::newRow("at the end") << "abc" << 3 << "abcxy";
        QTest::newRow("inside a word") << "abc" << 1 << "axybc";
        QTest::newRow("empty editor") << "" << 0 << "xy";
        QTest::newRow("start of the second line") << "ab\ncd" << 4 << "ab\r\nxycd";
    }
    void formatWithoutSelectionAppliesToTypedText()
    {
        QFETCH(QString, initial);
        QFETCH(int, caret);
        QFETCH(QString, expected);
        RichEditor editor;
        editor.setText(initial);
        editor.setSelStart(caret);
        editor.setSelColor(QColor(255, 0, 0));
        editor.setSelFontName(QString::fromUtf8("宋体"));
        QCOMPARE(editor.selColor(), QColor(255, 0, 0));
        QCOMPARE(editor.selFontName(), QString::fromUtf8("宋体"));
        QTest::keyClicks(&editor, "xy");

        QCOMPARE(editor.text(), expected);
        const QString plain = editor.document()->toPlainText();
        for (int pos = 0; pos < plain.size(); ++pos) {
            if (plain[pos] == u'\n')
                continue;  // a paragraph break has no character format of its own
            const bool typed = plain[pos] == u'x' || plain[pos] == u'y';
            const QTextCharFormat format = formatAt(editor, pos);
            QCOMPARE(format.foreground().style() != Qt::NoBrush, typed);
            if (typed) {
                QCOMPARE(format.foreground().color(), QColor(255, 0, 0));
                QCOMPARE(format.fontFamilies().toStringList().value(0), QString::fromUtf8("宋体"));
            }
        }
    }

    void setTextDropsFormatting()
    {
        RichEditor editor;
        editor.setText("abc");
        editor.setSelStart(0);
        editor.setSelLength(3);
        editor.setSelColor(Qt::red);
        editor.setSelStart(3);
        editor.setSelColor(Qt::red);  // and the format of the text typed next

        editor.setText("new text");
        QVERIFY(formatAt(editor, 0).foreground().style() == Qt::NoBrush);
        editor.setSelStart(8);
        QTest::keyClicks(&editor, "z");
        QVERIFY(formatAt(editor, 8).foreground().style() == Qt::NoBrush);
    }

    void undoRevertsTheLastChange()
    {
        RichEditor editor;
        editor.setText("one\ntwo");
        editor.setSelStart(5);
        editor.setSelLength(3);
        editor.setSelText("2");
        QCOMPARE(editor.text(), QString("one\r\n2"));
        editor.undo();
        QCOMPARE(editor.text(), QString("one\r\ntwo"));

        editor.setSelStart(0);
        editor.setSelLength(3);
        editor.setSelColor(Qt::red);
        editor.undo();
        QVERIFY(formatAt(editor, 0).foreground().style() == Qt::NoBrush);
        QCOMPARE(editor.text(), QString("one\r\ntwo"));
    }

    // Pasting never carries formatting, and pasted line breaks of any kind
    // keep the position mapping exact.
    void pasteIsPlainText()
    {
        RichEditor editor;
        editor.setText("ab");
        editor.setSelStart(1);
        auto* mime = new QMimeData;
        mime->setHtml("<b style='color:red'>X</b><br>Y");
        mime->setText(QString("X") + QChar::LineSeparator + "Y\nZ");
        QApplication::clipboard()->setMimeData(mime);
        editor.paste();

        QCOMPARE(editor.text(), QString("aX\r\nY\r\nZb"));
        QVERIFY(formatAt(editor, 1).fontWeight() != QFont::Bold);
        QVERIFY(formatAt(editor, 1).foreground().style() == Qt::NoBrush);
        const int at = editor.text().indexOf("Zb");
        editor.setSelStart(at);
        editor.setSelLength(2);
        QCOMPARE(editor.selText(), QString("Zb"));
    }

    void shiftEnterStartsAParagraph()
    {
        RichEditor editor;
        editor.setText("ab");
        editor.setSelStart(1);
        QTest::keyClick(&editor, Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(editor.text(), QString("a\r\nb"));
        QCOMPARE(editor.selStart(), 3);

        // A read-only paper takes no new line, with or without Shift.
        editor.setReadOnly(true);
        QTest::keyClick(&editor, Qt::Key_Return, Qt::ShiftModifier);
        QTest::keyClick(&editor, Qt::Key_Return);
        QCOMPARE(editor.text(), QString("a\r\nb"));
    }

    // A very long paragraph is shown in pieces, yet read, selected and
    // counted as the one paragraph it is.
    void longParagraphsAreShownInPiecesAndReadWhole()
    {
        RichEditor editor;
        const QString paper = longParagraphs();
        editor.setText(paper);
        QCOMPARE(editor.text(), paper);
        QVERIFY(displayPieces(editor) >= 4);
        for (QTextBlock block = editor.document()->begin(); block.isValid(); block = block.next()) {
            const QString piece = block.text();
            QVERIFY(piece.size() <= 8192);
            QVERIFY(piece.isEmpty() || !piece.back().isHighSurrogate());
            if (block.next().isValid() && continuesParagraph(block.next()) && piece.startsWith(u'第'))
                QVERIFY(piece.endsWith(u'。'));  // cut after a sentence where there is one
        }

        // Every position near a cut, and a sample of the rest, maps both ways;
        // selections across a cut read the text as it is.
        for (int pos = 0; pos <= paper.size(); pos += (pos % 8192 > 8000 || pos % 8192 < 200) ? 1 : 97) {
            editor.setSelStart(pos);
            QCOMPARE(editor.selStart(), expectedReadBack(paper, pos));
        }
        for (int start : {8150, 16300, 20010, 28190}) {
            editor.setSelStart(start);
            editor.setSelLength(100);
            QCOMPARE(editor.selText(), paper.mid(start, 100));
            QCOMPARE(editor.selLength(), 100);
        }
        editor.setSelStart(0);
        editor.setSelLength(paper.size());
        editor.copy();
        QCOMPARE(QApplication::clipboard()->text(), QString(paper).replace("\r\n", "\n"));

        // Saved and opened again, the paper keeps its three paragraphs.
        QTemporaryDir dir;
        const QString path = dir.filePath("long.rtf");
        const Result<void> saved = saveDocument(&editor, path);
        QVERIFY2(saved, qPrintable(saved.error()));
        RichEditor reopened;
        QVERIFY(loadDocument(&reopened, path));
        QCOMPARE(reopened.text(), paper);
        QVERIFY(displayPieces(reopened) >= 4);
    }

    // Typing at a display break changes the text as the user sees it: a new
    // line is a line break, Backspace and Delete take the neighbouring
    // character, and undo gives back what was there.
    void editingAtDisplayBreaks()
    {
        RichEditor editor;
        const QString paper = longParagraphs();
        editor.setText(paper);
        QTextBlock piece = editor.document()->begin();
        while (!continuesParagraph(piece))
            piece = piece.next();
        const int at = editor.textPosition(piece.position());  // text position of the cut
        QCOMPARE(editor.textPosition(piece.position() - 1), at);

        const auto caretAtPiece = [&] {
            QTextCursor cursor(editor.document());
            cursor.setPosition(piece.position());
            editor.setTextCursor(cursor);
        };
        caretAtPiece();
        QTest::keyClick(&editor, Qt::Key_Backspace);
        QCOMPARE(editor.text(), QString(paper).remove(at - 1, 1));
        editor.undo();
        QCOMPARE(editor.text(), paper);

        QTextCursor end(editor.document());
        end.setPosition(piece.position() - 1);
        editor.setTextCursor(end);
        QTest::keyClick(&editor, Qt::Key_Delete);
        QCOMPARE(editor.text(), QString(paper).remove(at, 1));
        editor.undo();
        QCOMPARE(editor.text(), paper);

        // A new line or a pasted line break at the start of a piece, or in it.
        caretAtPiece();
        QTest::keyClick(&editor, Qt::Key_Return);
        QCOMPARE(editor.text(), QString(paper).insert(at, "\r\n"));
        editor.undo();
        editor.setSelStart(at + 5);
        editor.setSelText("x\ny");
        QCOMPARE(editor.text(), QString(paper).insert(at + 5, "x\r\ny"));
        editor.undo();
        QCOMPARE(editor.text(), paper);

        // A long paragraph pasted into a short one is cut too, and one undo
        // takes the paste back with its cuts.
        editor.setText("ab\ncd");
        editor.setSelStart(1);
        const QString pasted = longParagraphs().section("\r\n", 1, 1);
        editor.setSelText(pasted);
        QCOMPARE(editor.text(), "a" + pasted + "b\r\ncd");
        QVERIFY(displayPieces(editor) >= 2);
        editor.undo();
        QCOMPARE(editor.text(), QString("ab\r\ncd"));
        QCOMPARE(displayPieces(editor), 0);
        editor.setText(paper);

        // A selection over a display break, deleted and given back.
        editor.setSelStart(at - 3);
        editor.setSelLength(6);
        editor.setSelText(QString());
        QCOMPARE(editor.text(), QString(paper).remove(at - 3, 6));
        editor.undo();
        QCOMPARE(editor.text(), paper);
        editor.setSelStart(at - 3);
        editor.setSelLength(6);
        QCOMPARE(editor.selText(), paper.mid(at - 3, 6));
    }

    // Random edits over a paper shown in pieces, checked against the text as
    // a plain string: nothing is lost or gained at a display break, and every
    // position still maps both ways.
    void randomEditsKeepTextAndPositions()
    {
        QRandomGenerator random(7);
        RichEditor editor;
        QString model = longParagraphs().remove(kEmoji);  // single code units only
        editor.setText(model);
        const auto keepOutOfCrLf = [&](int pos) {
            return pos > 0 && pos < model.size() && model[pos - 1] == u'\r' && model[pos] == u'\n' ? pos - 1
                                                                                                   : pos;
        };
        const auto pieceEdge = [&]() -> int {  // document position of a piece's start, or -1
            QList<int> starts;
            for (QTextBlock b = editor.document()->begin(); b.isValid(); b = b.next())
                if (continuesParagraph(b) && b.length() > 1 && b.previous().length() > 1)
                    starts << b.position();
            return starts.isEmpty() ? -1 : starts[random.bounded(int(starts.size()))];
        };
        const QStringList insertions = {"", "字", "ab\ncd", "\n", QString(9000, QChar(u'长'))};

        for (int step = 0; step < 300; ++step) {
            const int kind = random.bounded(5);
            if (kind <= 1) {  // replace a selection, sometimes undo it
                const int start = keepOutOfCrLf(random.bounded(int(model.size()) + 1));
                const int end = keepOutOfCrLf(std::min<int>(model.size(), start + random.bounded(60)));
                const QString inserted = insertions[random.bounded(int(insertions.size()))];
                editor.setSelStart(start);
                editor.setSelLength(end - start);
                editor.setSelText(inserted);
                const QString before = model;
                model.replace(start, end - start, QString(inserted).replace("\n", "\r\n"));
                if (kind == 1) {
                    QCOMPARE(editor.text(), model);
                    editor.undo();
                    model = before;
                }
            } else if (const int edge = pieceEdge(); edge >= 0 && kind <= 3) {
                QTextCursor caret(editor.document());
                caret.setPosition(kind == 2 ? edge : edge - 1);
                editor.setTextCursor(caret);
                const int at = editor.textPosition(edge);
                QTest::keyClick(&editor, kind == 2 ? Qt::Key_Backspace : Qt::Key_Delete);
                model.remove(kind == 2 ? at - 1 : at, 1);
            } else {  // a new line where the caret is
                const int at = keepOutOfCrLf(random.bounded(int(model.size()) + 1));
                editor.setSelStart(at);
                QTest::keyClick(&editor, Qt::Key_Return);
                model.insert(at, "\r\n");
            }
            QCOMPARE(editor.text(), model);
            for (int probe = 0; probe < 10; ++probe) {
                const int pos = random.bounded(int(model.size()) + 1);
                editor.setSelStart(pos);
                QCOMPARE(editor.selStart(), expectedReadBack(model, pos));
                const int from = keepOutOfCrLf(pos);
                const int to = keepOutOfCrLf(std::min<int>(model.size(), from + 30));
                editor.setSelLength(to - from);
                QCOMPARE(editor.selText(), model.mid(from, to - from));
            }
        }
        QVERIFY(displayPieces(editor) > 0);
    }

    void keyUpAndMouseDownAreRaised()
    {
        RichEditor editor;
        editor.resize(300, 200);
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        QSignalSpy keys(&editor, &RichEditor::keyUp);
        QSignalSpy mouse(&editor, &RichEditor::mouseDown);

        QTest::keyClick(&editor, Qt::Key_Space);
        QTest::keyClick(&editor, Qt::Key_A);
        QCOMPARE(keys.size(), 2);
        QCOMPARE(keys[0][0].toInt(), 32);
        QCOMPARE(keys[1][0].toInt(), int('A'));
        QCOMPARE(editor.text(), QString(" a"));

        QTest::mousePress(editor.viewport(), Qt::RightButton, {}, QPoint(20, 30));
        QCOMPARE(mouse.size(), 1);
        QVERIFY(mouse[0][0].value<Qt::MouseButtons>() & Qt::RightButton);
        QCOMPARE(mouse[0][1].toPoint(), editor.viewport()->mapTo(&editor, QPoint(20, 30)));
    }
};

QTEST_MAIN(TestRichEditor)
#include "test_richeditor.moc"
