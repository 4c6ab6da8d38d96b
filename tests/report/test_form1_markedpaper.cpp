// "导出标注后的论文…" after a real automatic run over a .docx opened with
// Open: the real window and WebEngine view against a search server on
// 127.0.0.1, the copy read back, by our reader and by LibreOffice.

#include "documents/core/docconverter.h"
#include "documents/core/docxreader.h"
#include "documents/core/memoryzip.h"
#include "documents/docxpackages.h"
#include "mainwindow/ui/form1.h"
#include "platform/widgets/dialogs.h"
#include "platform/widgets/richeditor.h"
#include "support/resultpages.h"
#include "support/taggedcheck.h"

#include <QAction>
#include <QLabel>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

using resultpages::filler;

namespace {

// Tags the server tells the pieces by: AAA 60 %, BBB 20 %, the short untagged
// last piece 8 characters highlighted of its 9 × 10 (8.9 %).
const QString kA = u"AAA"_qs + filler(35);
const QString kB = u"BBB"_qs + filler(35).mid(1) + u"乙"_qs;
const QString kC = u"结论部分的文字"_qs;

double figureOf(const QString& tag) { return tag == u"AAA" ? 60 : tag == u"BBB" ? 20 : 2.1; }

// The paper as a student's file: a run boundary inside the first piece, a
// bold run across the first two, a table, and a footnote.
QByteArray studentDocx()
{
    using namespace docxpackages;
    const QString body = u"<w:p><w:r><w:t>"_qs + kA.left(10)
        + u"</w:t></w:r><w:r><w:rPr><w:b/></w:rPr><w:t>"_qs + kA.mid(10) + kB.left(5)
        + u"</w:t></w:r><w:r><w:t>"_qs + kB.mid(5)
        + u"</w:t></w:r></w:p><w:tbl><w:tr><w:tc><w:p><w:r><w:t>"_qs + kC
        + u"</w:t></w:r></w:p></w:tc></w:tr></w:tbl><w:p><w:r><w:footnoteReference w:id=\"1\"/></w:r></w:p>"_qs;
    const QByteArray types =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Types "
        "xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"><Default Extension=\"xml\" "
        "ContentType=\"application/xml\"/><Default Extension=\"rels\" "
        "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/><Override "
        "PartName=\"/word/document.xml\" "
        "ContentType=\"application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/"
        "><Override "
        "PartName=\"/word/footnotes.xml\" "
        "ContentType=\"application/vnd.openxmlformats-officedocument.wordprocessingml.footnotes+xml\"/></"
        "Types>";
    return package(
        {{u"[Content_Types].xml"_qs, types},
         {u"_rels/.rels"_qs, relationships({u"officeDocument"_qs, u"word/document.xml"_qs})},
         {u"word/_rels/document.xml.rels"_qs, relationships({u"footnotes"_qs, u"footnotes.xml"_qs})},
         {u"word/document.xml"_qs, docxpackages::body(body)},
         {u"word/footnotes.xml"_qs,
          wordXml("footnotes",
                  u"<w:footnote w:id=\"1\"><w:p><w:r><w:t>脚注</w:t></w:r></w:p></w:footnote>"_qs)}});
}

QByteArray part(const QByteArray& package, const QString& name)
{
    const Result<documents::MemoryZip> zip = documents::MemoryZip::open(package);
    if (!zip)
        return {};
    const Result<QByteArray> bytes = zip->readAll(name, 1 << 24);
    return bytes ? *bytes : QByteArray();
}

// The shown text of the highlighted runs, in order.
QString highlightedText(const QByteArray& documentXml)
{
    QString text;
    QXmlStreamReader xml(documentXml);
    bool highlighted = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == u"r")
            highlighted = false;
        else if (xml.name() == u"highlight")
            highlighted = true;
        else if (xml.name() == u"t" && highlighted)
            text += xml.readElementText();
    }
    return text;
}

struct Run {
    taggedcheck::SearchService service{figureOf};
    QTemporaryDir dir;
    std::unique_ptr<Form1> form = taggedcheck::formAgainst(service, dir.filePath(u"data"_qs));

    bool analyseAndRun()
    {
        form->Command1_Click();
        return taggedcheck::runToTheEnd(*form) && form->session.pieces.value(0).checked;
    }
};

}  // namespace

class TestForm1MarkedPaper : public QObject {
    Q_OBJECT
private slots:
    void marksTheStudentsOwnFile()
    {
        dialogs::reset();
        Run run;
        const QString original = run.dir.filePath(u"论文.docx"_qs);
        testdata::writeFile(original, studentDocx());
        const QByteArray before = testdata::readFile(original);
        dialogs::queueFileName(original);
        run.form->dakai_Click();
        QVERIFY(run.analyseAndRun());
        dialogs::takeShownMessages();
        QCOMPARE(run.form->session.sentences, (QStringList{kA, kB, kC + u"脚注"_qs}));

        const QString copy = run.dir.filePath(u"论文（标注）.docx"_qs);
        dialogs::queueFileName(copy);
        dialogs::queueAnswer(dialogs::Answer::Ok);  // none expected; a failure must not wait for a click
        run.form->bzlw_Click();
        QVERIFY(dialogs::takeShownMessages().isEmpty());
        const QByteArray marked = testdata::readFile(copy);
        QCOMPARE(testdata::readFile(original), before);
        QCOMPARE(documents::readDocxText(marked).valueOr(u"<none>"_qs),
                 documents::readDocxText(before).valueOr(QString()));
        const QByteArray xml = part(marked, u"word/document.xml"_qs);
        QCOMPARE(highlightedText(xml), kA + kB);                    // 60 % and 20 %; 10 % is not marked
        QCOMPARE(xml.count("<w:highlight w:val=\"red\"/>"), 2);     // the first piece spans two runs
        QCOMPARE(xml.count("<w:highlight w:val=\"yellow\"/>"), 2);  // the second too
        QCOMPARE(part(marked, u"word/comments.xml"_qs).count("<w:comment "), 2);
        QCOMPARE(part(marked, u"word/footnotes.xml"_qs), part(before, u"word/footnotes.xml"_qs));

        // The file damaged since it was opened: a clear message, no copy.
        testdata::writeFile(original, before.left(before.size() / 2));
        dialogs::queueFileName(run.dir.filePath(u"再次.docx"_qs));
        dialogs::queueAnswer(dialogs::Answer::Ok);
        run.form->bzlw_Click();
        const QList<dialogs::Shown> shown = dialogs::takeShownMessages();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown.first().text.startsWith(u"导出标注后的论文失败：文件已损坏"_qs),
                 qPrintable(shown.first().text));
        QVERIFY(!QFile::exists(run.dir.filePath(u"再次.docx"_qs)));
        testdata::writeFile(original, before);

        if (QStandardPaths::findExecutable(u"soffice"_qs).isEmpty())
            QSKIP("LibreOffice is not installed (scripts/deps.sh installs it)");
        const Result<QString> originalText = documents::convertWithLibreOffice(original);
        const Result<QString> copyText = documents::convertWithLibreOffice(copy);
        QVERIFY(originalText && copyText);
        QCOMPARE(*copyText, *originalText);
    }

    // Edited and analysed again, the paper is no longer the file's: a new
    // .docx of the editor's text, and the user is told that the formatting is lost.
    void anEditedPaperBecomesANewFile()
    {
        dialogs::reset();
        Run run;
        const QString original = run.dir.filePath(u"论文.docx"_qs);
        testdata::writeFile(original, studentDocx());
        dialogs::queueFileName(original);
        run.form->dakai_Click();
        run.form->RichTextBox1->setText(run.form->RichTextBox1->text() + u"\r\n新加的一段"_qs);
        QVERIFY(run.analyseAndRun());
        dialogs::takeShownMessages();

        const QString copy = run.dir.filePath(u"改过（标注）"_qs);
        dialogs::queueFileName(copy);
        dialogs::queueAnswer(dialogs::Answer::Ok);
        run.form->bzlw_Click();
        const QList<dialogs::Shown> shown = dialogs::takeShownMessages();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown.first().text.contains(u"格式无法保留"_qs));
        const QByteArray marked = testdata::readFile(copy + u".docx"_qs);
        QCOMPARE(documents::readDocxText(marked).valueOr(QString()),
                 run.form->RichTextBox1->text().replace(u"\r\n"_qs, u"\n"_qs));
        QCOMPARE(highlightedText(part(marked, u"word/document.xml"_qs)), kA + kB);
    }
};

QTEST_MAIN(TestForm1MarkedPaper)
#include "test_form1_markedpaper.moc"
