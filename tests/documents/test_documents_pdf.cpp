// PDFs (line joining, the real reader on files of other writers and on
// damaged, locked and empty ones), the formats LibreOffice reads for us, and
// doc2text on all of them.

#include "documents/core/docconverter.h"
#include "documents/core/documentfiles.h"
#include "documents/core/pdftext.h"
#include "documents/pdf/pdfreader.h"
#include "support/clirunner.h"
#include "support/testdata.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace documents;

namespace {

QString withoutSpace(QString text)
{
    static const QRegularExpression space(QStringLiteral("\\s"));
    return text.remove(space);
}

bool haveLibreOffice() { return !QStandardPaths::findExecutable(QStringLiteral("soffice")).isEmpty(); }

// Makes test documents with LibreOffice itself, in a profile of its own.
void convertWithSoffice(const QString& filter, const QString& file, const QString& outDir,
                        const QString& inFilter = QStringLiteral("Text (encoded):UTF8"))
{
    QTemporaryDir profile;
    QProcess process;
    process.start(QStringLiteral("soffice"),
                  {QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(profile.path()).toString(),
                   QStringLiteral("--headless"), QStringLiteral("--infilter=") + inFilter,
                   QStringLiteral("--convert-to"), filter, QStringLiteral("--outdir"), outDir, file});
    QVERIFY(process.waitForFinished(120000));
}

QString loadedText(const QString& path)
{
    const Result<LoadedDocument> loaded = loadDocumentFile(path);
    return loaded ? loaded->document.plainText() : QStringLiteral("<failed: %1>").arg(loaded.error());
}

// The smallest PDF of one empty page, with a correct cross-reference table.
QByteArray emptyPagePdf()
{
    QByteArray pdf = "%PDF-1.4\n";
    QList<qsizetype> offsets;
    for (const char* object :
         {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
          "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] >>"}) {
        offsets.append(pdf.size());
        pdf += QByteArray::number(offsets.size()) + " 0 obj\n" + object + "\nendobj\n";
    }
    const qsizetype xref = pdf.size();
    pdf += "xref\n0 4\n0000000000 65535 f \n";
    for (const qsizetype offset : offsets)
        pdf += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
    pdf += "trailer\n<< /Size 4 /Root 1 0 R >>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
    return pdf;
}

}  // namespace

class PdfTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { pdf::install(); }
    void cleanup() { docConverterSettings() = DocConverterSettings(); }

    void joinsTheLinesOfAParagraph_data()
    {
        QTest::addColumn<QStringList>("pages");
        QTest::addColumn<QString>("expected");
        QTest::newRow("Chinese lines joined up to the sentence end")
            << QStringList{QStringLiteral("第一行没有结束\r\n接着写完。\r\n新段落。")}
            << QStringLiteral("第一行没有结束接着写完。\n新段落。");
        QTest::newRow("Latin words get a space, Chinese beside Latin none")
            << QStringList{QStringLiteral("The checker reads \r\nthe file with\nQt 读取，使用\nQt。")}
            << QStringLiteral("The checker reads the file with Qt 读取，使用Qt。");
        QTest::newRow("a line-end hyphen stays a hyphen")
            << QStringList{QStringLiteral("a well\uFFFE\r\nknown and self-\r\nmade tool.")}
            << QStringLiteral("a well-known and self-made tool.");
        QTest::newRow("a page ends a line") << QStringList{QStringLiteral("未完"), QStringLiteral("续完。")}
                                            << QStringLiteral("未完\n续完。");
        QTest::newRow("blank lines and closing quotes end paragraphs")
            << QStringList{QStringLiteral("甲\r\n\r\n乙\r\n他说：“好。”\r\n下一句")}
            << QStringLiteral("甲\n\n乙\n他说：“好。”\n下一句");
        QTest::newRow("an indented line starts a paragraph")
            << QStringList{QStringLiteral("上一段没有句号\r\n　　新段开始。")}
            << QStringLiteral("上一段没有句号\n　　新段开始。");
        const QString full = QStringLiteral("这是一行排满了的正文文字，它在行末没有结束句子，所以");
        QTest::newRow("a short line (a heading) ends its paragraph")
            << QStringList{QStringLiteral("第一章 绪论\n") + full + u'\n' + full + u'\n' + full
                           + QStringLiteral("\n结束。")}
            << QStringLiteral("第一章 绪论\n") + full + full + full + QStringLiteral("结束。");
    }

    void joinsTheLinesOfAParagraph()
    {
        QFETCH(QStringList, pages);
        QFETCH(QString, expected);
        QCOMPARE(joinPdfLines(pages), expected);
    }

    // Qt PDF reads the malformed character map of the second file exactly;
    // the first one's Chinese comes out as other, equally valid characters
    // (no reader here gets it right, and nothing marks them as wrong).
    void readsPdfsOfOtherWriters()
    {
        SHARED_FILE_OR_SKIP(dir, "pdf");
        const QString exact =
            QString::fromUtf8(testdata::readFile(dir + QStringLiteral("/issue_566_test_2.expected.txt")));
        QCOMPARE(loadedText(dir + QStringLiteral("/issue_566_test_2.pdf")), exact.trimmed());
        const QString wrongCharacters = loadedText(dir + QStringLiteral("/issue_566_test_1.pdf"));
        QVERIFY2(wrongCharacters.startsWith(QStringLiteral("ISSUE Date"))
                     && wrongCharacters.contains(QStringLiteral("2019-4-25")),
                 qPrintable(wrongCharacters));
    }

    // Bad files give one message naming the file and the reason.
    void refusesBadPdfs()
    {
        QTemporaryDir dir;
        SHARED_FILE_OR_SKIP(good, "pdf/issue_566_test_2.pdf");
        testdata::writeFile(dir.filePath(QStringLiteral("word.pdf")), "PK\x03\x04 a zip, not a PDF");
        testdata::writeFile(dir.filePath(QStringLiteral("cut.pdf")), testdata::readFile(good).left(2000));
        testdata::writeFile(dir.filePath(QStringLiteral("scan.pdf")), emptyPagePdf());
        const QList<std::pair<const char*, QString>> cases = {
            {"word.pdf", QStringLiteral("不是 PDF 文档")},
            {"cut.pdf", QStringLiteral("已损坏")},
            {"scan.pdf", QStringLiteral("没有可提取的文字")},
        };
        for (const auto& [name, reason] : cases) {
            const QString path = dir.filePath(QLatin1StringView(name));
            const Result<LoadedDocument> loaded = loadDocumentFile(path);
            QVERIFY2(!loaded, name);
            QVERIFY2(loaded.error().contains(QDir::toNativeSeparators(path))
                         && loaded.error().contains(reason),
                     qPrintable(loaded.error()));
        }
    }

    void asksForAnUnlockedCopy()
    {
        if (!haveLibreOffice())
            QSKIP("soffice is not installed: no locked PDF can be made");
        QTemporaryDir dir;
        testdata::writeFile(dir.filePath(QStringLiteral("secret.txt")), "保密的论文。\n");
        convertWithSoffice(
            QStringLiteral("pdf:writer_pdf_Export:{\"EncryptFile\":{\"type\":\"boolean\",\"value\":"
                           "\"true\"},\"DocumentOpenPassword\":{\"type\":\"string\",\"value\":\"pw\"}}"),
            dir.filePath(QStringLiteral("secret.txt")), dir.path());
        const Result<LoadedDocument> loaded = loadDocumentFile(dir.filePath(QStringLiteral("secret.pdf")));
        QVERIFY(!loaded);
        QVERIFY2(loaded.error().contains(QStringLiteral("未加密的副本")), qPrintable(loaded.error()));
    }

    // A PDF that LibreOffice set from paragraphs of Chinese and English:
    // each paragraph comes back as one line with all its characters.
    void joinsTheParagraphsOfALongPdf()
    {
        if (!haveLibreOffice())
            QSKIP("soffice is not installed: no PDF can be made");
        QTemporaryDir dir;
        QStringList paragraphs;
        for (int i = 1; i <= 12; ++i)
            paragraphs
                << QStringLiteral(
                       "第%1段：本文研究了论文查重中的句子切分与相似度计算方法，并在真实的学位论文上验证了"
                       "它的效果，结果表明该方法可以有效地找出与网络上已有文字相同的段落。")
                       .arg(i)
                << QStringLiteral(
                       "Paragraph %1 is set in English so that the lines end between words and the "
                       "reader has to put the spaces back where the lines were joined.")
                       .arg(i);
        testdata::writeFile(dir.filePath(QStringLiteral("long.txt")), paragraphs.join(u'\n').toUtf8() + '\n');
        convertWithSoffice(QStringLiteral("pdf"), dir.filePath(QStringLiteral("long.txt")), dir.path());
        const QStringList lines = loadedText(dir.filePath(QStringLiteral("long.pdf"))).split(u'\n');
        QCOMPARE(lines.size(), paragraphs.size());
        for (int i = 0; i < lines.size(); ++i)
            QCOMPARE(withoutSpace(lines[i]), withoutSpace(paragraphs[i]));
        QCOMPARE(lines[1], paragraphs[1]);  // English joined with single spaces
    }

    // .odt and WPS Writer's .wps go through LibreOffice, as .doc may.
    void readsFormatsThroughLibreOffice()
    {
        if (!haveLibreOffice())
            QSKIP("soffice is not installed");
        QTemporaryDir dir;
        testdata::writeFile(dir.filePath(QStringLiteral("paper.txt")), "开放文档的论文。\n第二段。\n");
        convertWithSoffice(QStringLiteral("odt"), dir.filePath(QStringLiteral("paper.txt")), dir.path());
        QCOMPARE(loadedText(dir.filePath(QStringLiteral("paper.odt"))),
                 QStringLiteral("开放文档的论文。\n第二段。\n"));

        SHARED_FILE_OR_SKIP(doc, "doc/test11.doc");
        QFile::copy(doc,
                    dir.filePath(QStringLiteral(
                        "wps-writer.wps")));  // WPS wrote this .doc; its .wps is the same format
        const QString expected = QString::fromUtf8(
            testdata::readFile(testdata::sharedDir() + QStringLiteral("/doc/test11.expected.txt")));
        QCOMPARE(withoutSpace(loadedText(dir.filePath(QStringLiteral("wps-writer.wps")))),
                 withoutSpace(expected));

        docConverterSettings().soffice = QStringLiteral("/nonexistent/soffice");
        const Result<LoadedDocument> missing = loadDocumentFile(dir.filePath(QStringLiteral("paper.odt")));
        QVERIFY(!missing);
        QVERIFY2(missing.error().contains(QStringLiteral("LibreOffice"))
                     && missing.error().contains(QStringLiteral("没有安装")),
                 qPrintable(missing.error()));
    }

    void docToTextReadsEveryFormat()
    {
        SKIP_WITHOUT_CLI();
        SHARED_FILE_OR_SKIP(docx, "docx/stress009.docx");
        clirunner::Run run = clirunner::run({QStringLiteral("doc2text"), docx});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(withoutSpace(run.out),
                 withoutSpace(QString::fromUtf8(testdata::readFile(
                     testdata::sharedDir() + QStringLiteral("/docx/stress009.expected.txt")))));
        run = clirunner::run({QStringLiteral("doc2text"),
                              testdata::sharedDir() + QStringLiteral("/pdf/issue_566_test_2.pdf")});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QStringLiteral("甲方：中国饮料有限公司（盖章）\n"));

        QTemporaryDir dir;
        testdata::writeFile(dir.filePath(QStringLiteral("x.pdf")), "no PDF at all");
        run = clirunner::run({QStringLiteral("doc2text"), dir.filePath(QStringLiteral("x.pdf"))});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(QStringLiteral("不是 PDF 文档")), qPrintable(run.err));
        QVERIFY(run.out.isEmpty());
    }
};

QTEST_GUILESS_MAIN(PdfTest)
#include "test_documents_pdf.moc"
