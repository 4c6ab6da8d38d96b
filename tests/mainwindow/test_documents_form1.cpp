// New, Open and Save of the main window through the real Form1 and its
// editor (offscreen), with real files and the real .doc converters.

#include "documents/core/docconverter.h"
#include "documents/core/rtfreader.h"
#include "documents/editorfiles/richeditorfiles.h"
#include "mainwindow/ui/form1.h"
#include "platform/core/gbk.h"
#include "platform/widgets/dialogs.h"
#include "platform/widgets/richeditor.h"
#include "platform/widgets/twips.h"
#include "support/testdata.h"

#include <QAction>
#include <QListWidget>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>

#include <memory>

namespace {

const QSize kDesignSize(10140, 6225);
const QColor kRed(255, 0, 0);

// Every character's format, in document order (paragraph breaks left out).
QList<QTextCharFormat> charFormats(const QTextDocument* document)
{
    QList<QTextCharFormat> formats;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            for (int i = 0; i < it.fragment().length(); ++i)
                formats.append(it.fragment().charFormat());
        }
    }
    return formats;
}

bool allBlack(const QTextDocument* document)
{
    for (const QTextCharFormat& format : charFormats(document)) {
        if (format.foreground().style() == Qt::NoBrush || format.foreground().color() != Qt::black)
            return false;
    }
    return true;
}

void colourRange(RichEditor* editor, int start, int length, const QColor& color)
{
    editor->setSelStart(start);
    editor->setSelLength(length);
    editor->setSelColor(color);
}

// The runs' colours of a saved file, per character of the first paragraph.
QList<std::optional<quint32>> savedColours(const QString& path)
{
    const Result<documents::Document> rtf = documents::readRtf(testdata::readFile(path));
    QList<std::optional<quint32>> colours;
    for (const documents::Run& run : rtf.valueOr({}).paragraphs.value(0).runs) {
        for (int i = 0; i < run.text.size(); ++i)
            colours.append(run.format.color);
    }
    return colours;
}

}  // namespace

class TestDocumentsForm1 : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir;
    std::unique_ptr<Form1> form;

    QString path(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }

    // An editor holding highlighted text away from its design size, list shown.
    void dirtyTheWindow(const QString& text = QStringLiteral("旧的文字 old text"))
    {
        form->RichTextBox1->setText(text);
        colourRange(form->RichTextBox1, 0, 2, kRed);
        twips::setWidth(form->RichTextBox1, 4000);
        twips::setHeight(form->RichTextBox1, 3000);
        form->List1->setVisible(true);
    }

    void verifyOpenedLayout()
    {
        QCOMPARE(twips::geometry(form->RichTextBox1).size(), kDesignSize);
        QVERIFY(form->List1->isHidden());
        QCOMPARE(form->RichTextBox1->selStart(), 0);
        QCOMPARE(form->RichTextBox1->selLength(), 0);
        QVERIFY(allBlack(form->RichTextBox1->document()));
    }

    void open(const QString& fileName)
    {
        dialogs::queueFileName(fileName);
        form->dakai->trigger();
    }

private slots:
    void init()
    {
        dialogs::reset();
        for (int i = 0; i < 4; ++i)  // answers for message boxes, so none blocks
            dialogs::queueAnswer(dialogs::Answer::Ok);
        documents::docConverterSettings() = documents::DocConverterSettings();
        form = std::make_unique<Form1>(Endpoints::builtIn());
    }

    void cleanup() { form.reset(); }

    void newEmptiesTheEditor()
    {
        dirtyTheWindow();
        form->xinjian->trigger();
        QCOMPARE(form->RichTextBox1->text(), QString());
        QCOMPARE(twips::geometry(form->RichTextBox1).size(), kDesignSize);
        QVERIFY(form->List1->isHidden());
    }

    void opensFiles_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("expected");
        const QString text = QStringLiteral("第一句话。\r\nSecond line");
        QTest::newRow("GBK .txt") << "gbk.txt" << gbk::encode(text) << text;
        QTest::newRow("UTF-8 .txt with BOM") << "bom.txt"
                                             << "\xEF\xBB\xBF" + text.toUtf8() << text;
        QTest::newRow("UTF-8 .txt, LF") << "lf.txt" << QByteArray("a\nb") << "a\r\nb";
        QTest::newRow(".rtf") << "red.rtf"
                              << QByteArray("{\\rtf1\\ansi\\ansicpg936{\\colortbl;\\red255\\green0\\blue0;}"
                                            "\\cf1 \\'ba\\'ec\\par plain}")
                              << QStringLiteral("红\r\nplain");
        QTest::newRow("dOc goes through the loader") << "gbk.dOc" << gbk::encode(text) << text;
        QTest::newRow("RTF under a .doc name")
            << "saved.Doc" << QByteArray("{\\rtf1\\ansi{\\b bold}\\par}") << QStringLiteral("bold");
    }

    void opensFiles()
    {
        QFETCH(QString, fileName);
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        testdata::writeFile(dir.filePath(fileName), content);
        dirtyTheWindow();
        open(dir.filePath(fileName));
        QCOMPARE(form->RichTextBox1->text(), expected);
        verifyOpenedLayout();
        QCOMPARE(dialogs::takeShownMessages().size(), 0);
    }

    void opensWordDocuments()
    {
        SHARED_FILE_OR_SKIP(docPath, "doc/test11.doc");
        if (QStandardPaths::findExecutable(QStringLiteral("antiword")).isEmpty()
            && QStandardPaths::findExecutable(QStringLiteral("soffice")).isEmpty())
            QSKIP("neither antiword nor soffice is installed");
        QString expected = QString::fromUtf8(
            testdata::readFile(testdata::sharedDir() + QStringLiteral("/doc/test11.expected.txt")));
        expected.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
        const QString upper = path("TEST11.DOC");
        QVERIFY(QFile::copy(docPath, upper));
        dirtyTheWindow();
        open(upper);
        QCOMPARE(form->RichTextBox1->text(), expected);
        verifyOpenedLayout();
    }

    // The Word entry stays first and preselected; what Open reads besides is
    // listed after the three entries of before. Save writes RTF only.
    void dialogsListTheReadableTypes()
    {
        QCOMPARE(Form1::openFileTypes(),
                 QStringLiteral(
                     "WORD文档(*.doc *.docx *.wps);;文本文件(*.txt);;写字板文件(*.rtf);;PDF文档(*.pdf);;"
                     "OpenDocument文本(*.odt)"));
        QCOMPARE(Form1::saveFileTypes(),
                 QStringLiteral("WORD文档(*.doc);;文本文件(*.txt);;写字板文件(*.rtf)"));
    }

    void opensWordXmlAndPdf()
    {
        SHARED_FILE_OR_SKIP(docx, "docx/empty_field.docx");
        SHARED_FILE_OR_SKIP(pdf, "pdf/issue_566_test_2.pdf");
        dirtyTheWindow();
        open(docx);
        QVERIFY2(form->RichTextBox1->text().startsWith(
                     QStringLiteral("希望深入了解的读者可以去看David French Belding和")),
                 qPrintable(form->RichTextBox1->text()));
        verifyOpenedLayout();
        dirtyTheWindow();
        open(pdf);
        QCOMPARE(form->RichTextBox1->text(), QStringLiteral("甲方：中国饮料有限公司（盖章）"));
        verifyOpenedLayout();
        QCOMPARE(dialogs::takeShownMessages().size(), 0);
    }

    void openKeepsFontsButNotColours()
    {
        testdata::writeFile(
            path("fonts.rtf"),
            "{\\rtf1\\ansi\\ansicpg936{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset134 \\'ba\\'da\\'cc\\'e5;}}"
            "{\\colortbl;\\red255\\green0\\blue0;}\\f0\\fs20 A{\\f1\\fs32\\cf1\\b \\'ba\\'da}}");
        open(path("fonts.rtf"));
        QCOMPARE(form->RichTextBox1->text(), QStringLiteral("A黑"));
        const QList<QTextCharFormat> formats = charFormats(form->RichTextBox1->document());
        QCOMPARE(formats.size(), 2);
        QCOMPARE(formats[0].fontFamilies().toStringList().value(0), QStringLiteral("Arial"));
        QCOMPARE(formats[1].fontFamilies().toStringList().value(0), QStringLiteral("黑体"));
        QCOMPARE(formats[1].fontPointSize(), 16.0);
        QCOMPARE(formats[1].fontWeight(), int(QFont::Bold));
        QVERIFY(allBlack(form->RichTextBox1->document()));
    }

    // Whatever goes wrong, the user is told and the editor keeps its text.
    void openFailuresKeepTheText_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("noConverter");
        QTest::newRow("damaged RTF") << "broken.rtf" << QByteArray("{\\rtf1\\ansi {\\b cut") << false;
        QTest::newRow("not RTF at all") << "plain.rtf" << QByteArray("hello") << false;
        QTest::newRow("a .doc that is not one") << "fake.doc" << QByteArray("hello") << false;
        QTest::newRow("a .docx that is no zip") << "fake.docx" << QByteArray("zip?") << false;
        QTest::newRow("a .pdf that is no PDF") << "fake.pdf" << QByteArray("%PS-Adobe") << false;
        QTest::newRow("missing converter")
            << "ole.doc" << QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + QByteArray(504, '\0') << true;
        QTest::newRow("missing file") << "" << QByteArray() << false;
    }

    void openFailuresKeepTheText()
    {
        QFETCH(QString, fileName);
        QFETCH(QByteArray, content);
        QFETCH(bool, noConverter);
        const QString file = fileName.isEmpty() ? path("does-not-exist.txt") : dir.filePath(fileName);
        if (!fileName.isEmpty())
            testdata::writeFile(file, content);
        if (noConverter) {
            documents::docConverterSettings().antiword = QStringLiteral("/nonexistent/antiword");
            documents::docConverterSettings().soffice = QStringLiteral("/nonexistent/soffice");
        }
        dirtyTheWindow(QStringLiteral("我的论文"));
        open(file);
        QCOMPARE(form->RichTextBox1->text(), QStringLiteral("我的论文"));
        verifyOpenedLayout();
        const QList<dialogs::Shown> shown = dialogs::takeShownMessages();
        QCOMPARE(shown.size(), 1);
        QVERIFY(!shown[0].text.isEmpty());
    }

    void invalidGbkLoadsWithAWarning()
    {
        testdata::writeFile(path("bad.txt"),
                            gbk::encode(u"前文") + QByteArray("\x81\x20", 2) + gbk::encode(u"后文"));
        open(path("bad.txt"));
        QCOMPARE(form->RichTextBox1->text(), QStringLiteral("前文\uFFFD 后文"));
        const QList<dialogs::Shown> shown = dialogs::takeShownMessages();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown[0].text.contains(QStringLiteral("GBK")));
    }

    // A cancelled dialog must not reload the file chosen before: that would
    // throw away what the user typed since.
    void cancelledOpenLoadsNothing()
    {
        testdata::writeFile(path("a.txt"), "from the file");
        open(path("a.txt"));
        form->RichTextBox1->setText(QStringLiteral("edited since"));
        open(QString());
        QCOMPARE(form->RichTextBox1->text(), QStringLiteral("edited since"));
        QCOMPARE(dialogs::takeShownMessages().size(), 0);
    }

    void savesRichTextUnderAnyName()
    {
        RichEditor* editor = form->RichTextBox1;
        editor->setText(QStringLiteral("红色加粗\r\n第二段 plain"));
        colourRange(editor, 0, 4, kRed);
        editor->setSelStart(0);
        editor->setSelLength(2);
        editor->setSelFontName(QStringLiteral("黑体"));
        editor->setSelStart(10);  // nothing selected when saving

        const QString file = path("paper.txt");
        testdata::writeFile(file, "replaced without a question");
        dialogs::queueFileName(file);
        form->baocun->trigger();
        QCOMPARE(dialogs::takeShownMessages().size(), 0);
        QVERIFY(testdata::readFile(file).startsWith("{\\rtf1"));
        QCOMPARE(savedColours(file), QList<std::optional<quint32>>(4, 0xFF0000));

        open(file);
        QCOMPARE(editor->text(), QStringLiteral("红色加粗\r\n第二段 plain"));
        const QList<QTextCharFormat> formats = charFormats(editor->document());
        QCOMPARE(formats[0].fontFamilies().toStringList().value(0), QStringLiteral("黑体"));
        QVERIFY(formats[2].fontFamilies().toStringList().value(0) != QStringLiteral("黑体"));
    }

    void saveBlackensOnlyTheSelection()
    {
        RichEditor* editor = form->RichTextBox1;
        editor->setText(QStringLiteral("甲乙丙丁戊"));
        colourRange(editor, 0, 5, kRed);
        editor->setSelStart(1);
        editor->setSelLength(2);
        dialogs::queueFileName(path("marked.rtf"));
        form->baocun->trigger();
        QCOMPARE(savedColours(path("marked.rtf")),
                 (QList<std::optional<quint32>>{0xFF0000, 0x000000, 0x000000, 0xFF0000, 0xFF0000}));
    }

    void cancelledSaveWritesNothing()
    {
        const QStringList before = QDir(dir.path()).entryList(QDir::Files);
        form->RichTextBox1->setText(QStringLiteral("text"));
        dialogs::queueFileName(QString());
        form->baocun->trigger();
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), before);
        QCOMPARE(dialogs::takeShownMessages().size(), 0);
    }

    void failedSaveIsReported()
    {
        form->RichTextBox1->setText(QStringLiteral("我的论文"));
        dialogs::queueFileName(path("no/such/folder/paper.rtf"));
        form->baocun->trigger();
        const QList<dialogs::Shown> shown = dialogs::takeShownMessages();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown[0].text.startsWith(QStringLiteral("保存失败")));
        QCOMPARE(form->RichTextBox1->text(), QStringLiteral("我的论文"));
    }

    // The editor adapter keeps text, colours, fonts and styles through a file.
    void editorRoundTrip()
    {
        RichEditor source;
        source.setText(QStringLiteral("普通 text\r\n\r\n{重点}\ttab"));
        colourRange(&source, 0, 2, QColor(0x12, 0x34, 0x56));
        source.setSelStart(11);
        source.setSelLength(4);
        source.setSelFontSize(15);
        QTextCursor cursor = source.textCursor();
        QTextCharFormat bold;
        bold.setFontWeight(QFont::Bold);
        bold.setFontUnderline(true);
        cursor.mergeCharFormat(bold);

        QVERIFY(saveDocument(&source, path("round.rtf")));
        RichEditor target;
        target.setText(QStringLiteral("old"));
        QVERIFY(loadDocument(&target, path("round.rtf")));
        QCOMPARE(target.text(), source.text());
        QCOMPARE(documentToModel(*target.document()), documentToModel(*source.document()));
    }
};

QTEST_MAIN(TestDocumentsForm1)
#include "test_documents_form1.moc"
