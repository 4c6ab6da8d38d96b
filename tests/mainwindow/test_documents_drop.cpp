// Files dropped on the editors, through the real windows (offscreen): on the
// main editor a file opens as Open opens it; on either comparer editor its
// text goes there. Dropped text is still pasted as plain text.

#include "comparer/ui/form2.h"
#include "documents/core/documentfiles.h"
#include "mainwindow/ui/form1.h"
#include "platform/widgets/dialogs.h"
#include "platform/widgets/richeditor.h"
#include "platform/widgets/twips.h"
#include "support/testdata.h"

#include <QApplication>
#include <QListWidget>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>

#include <memory>

namespace {

// What a file manager's drag delivers, from entering the editor to the drop.
bool drop(RichEditor* editor, QMimeData* data)
{
    QWidget* target = editor->viewport();
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return false;
    QDragMoveEvent move(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &move);
    QDropEvent dropped(QPointF(at), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &dropped);
    return dropped.isAccepted();
}

bool dropFile(RichEditor* editor, const QString& path)
{
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    data.setText(QUrl::fromLocalFile(path).toString());  // file managers add the name as text too
    return drop(editor, &data);
}

bool allBlack(const QTextDocument* document)
{
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (format.foreground().style() == Qt::NoBrush || format.foreground().color() != Qt::black)
                return false;
        }
    }
    return true;
}

}  // namespace

class TestDocumentsDrop : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir;

    QString file(const char* name, const QByteArray& content) const
    {
        const QString path = dir.filePath(QString::fromUtf8(name));
        testdata::writeFile(path, content);
        return path;
    }

private slots:
    void init()
    {
        dialogs::reset();
        for (int i = 0; i < 4; ++i)
            dialogs::queueAnswer(dialogs::Answer::Ok);
    }

    void fileDroppedOnTheMainEditorOpensAsOpenDoes()
    {
        Form1 form(Endpoints::builtIn());
        RichEditor* editor = form.RichTextBox1;
        editor->setText(QStringLiteral("旧的文字"));
        twips::setWidth(editor, 4000);
        form.List1->setVisible(true);
        const QString rtf =
            file("red.rtf", "{\\rtf1\\ansi{\\colortbl;\\red255\\green0\\blue0;}\\cf1 red\\par plain}");
        QVERIFY(dropFile(editor, rtf));
        QCOMPARE(editor->text(), QStringLiteral("red\r\nplain"));
        QCOMPARE(twips::geometry(editor).size(), QSize(10140, 6225));
        QVERIFY(form.List1->isHidden());
        QVERIFY(allBlack(editor->document()));
        QCOMPARE(editor->selStart(), 0);
        QCOMPARE(dialogs::takeShownMessages().size(), 0);

        SHARED_FILE_OR_SKIP(pdf, "pdf/issue_566_test_2.pdf");
        QVERIFY(dropFile(editor, pdf));
        QCOMPARE(editor->text(), QStringLiteral("甲方：中国饮料有限公司（盖章）"));

        // A file that cannot be read: one message naming it, the text stays.
        const QString broken = file("broken.docx", "PK\x03\x04 cut");
        QVERIFY(dropFile(editor, broken));
        QCOMPARE(editor->text(), QStringLiteral("甲方：中国饮料有限公司（盖章）"));
        const QList<dialogs::Shown> shown = dialogs::takeShownMessages();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].text.contains(QStringLiteral("broken.docx")), qPrintable(shown[0].text));
    }

    void droppedTextIsPastedPlain()
    {
        Form1 form(Endpoints::builtIn());
        RichEditor* editor = form.RichTextBox1;
        editor->setText(QStringLiteral("前后"));
        editor->setSelStart(1);
        QMimeData data;
        data.setHtml(QStringLiteral("<b style=\"color:red\">粗体</b>"));
        data.setText(QStringLiteral("粗体"));
        QVERIFY(drop(editor, &data));
        QCOMPARE(editor->text().size(), 4);
        QVERIFY(editor->text().contains(QStringLiteral("粗体")));
        for (QTextBlock block = editor->document()->begin(); block.isValid(); block = block.next()) {
            for (auto it = block.begin(); !it.atEnd(); ++it)
                QVERIFY(it.fragment().charFormat().fontWeight() != QFont::Bold);
        }
    }

    void fileDroppedOnAComparerEditorPutsItsTextThere()
    {
        Form2 form(Endpoints::builtIn(), [] { return QStringLiteral("我的论文"); });
        form.open();
        QVERIFY(dropFile(form.RichTextBox2, file("cited.txt", "被引用的论文。\n第二段。")));
        QCOMPARE(form.RichTextBox2->text(), QStringLiteral("被引用的论文。\r\n第二段。"));
        QCOMPARE(form.RichTextBox1->text(), QStringLiteral("我的论文"));

        QVERIFY(dropFile(form.RichTextBox1, file("mine.rtf", "{\\rtf1\\ansi{\\b bold} paper}")));
        QCOMPARE(form.RichTextBox1->text(), QStringLiteral("bold paper"));
        QCOMPARE(dialogs::takeShownMessages().size(), 0);

        QVERIFY(dropFile(form.RichTextBox2, file("fake.pdf", "not a PDF")));
        QCOMPARE(form.RichTextBox2->text(), QStringLiteral("被引用的论文。\r\n第二段。"));
        const QList<dialogs::Shown> shown = dialogs::takeShownMessages();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].text.contains(QStringLiteral("不是 PDF 文档")), qPrintable(shown[0].text));
    }
};

QTEST_MAIN(TestDocumentsDrop)
#include "test_documents_drop.moc"
