// Word's XML documents: the text as the word processor shows it, list
// numbers, hostile and damaged packages, and the real files of other writers.

#include "documents/core/documentfiles.h"
#include "documents/core/docxreader.h"
#include "documents/core/listnumbers.h"
#include "documents/docxpackages.h"
#include "support/testdata.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace documents;
using namespace docxpackages;

namespace {

QString p(const QString& text) { return QStringLiteral("<w:p><w:r><w:t>%1</w:t></w:r></w:p>").arg(text); }

QString textOf(const Entries& entries, const DocxLimits& limits = {})
{
    const Result<QString> text = readDocxText(package(entries), limits);
    return text ? *text : QStringLiteral("<failed: %1>").arg(text.error());
}

QString withoutSpace(QString text)
{
    static const QRegularExpression space(QStringLiteral("\\s"));
    return text.remove(space);
}

}  // namespace

class DocxTest : public QObject {
    Q_OBJECT
private slots:
    void readsTheShownText_data()
    {
        QTest::addColumn<QString>("content");
        QTest::addColumn<QString>("expected");
        QTest::newRow("paragraphs and runs")
            << QStringLiteral(
                   "<w:p><w:r><w:rPr><w:b/></w:rPr><w:t>第一</w:t></w:r><w:r><w:t xml:space=\"preserve\">段 "
                   "</w:t></w:r></w:p><w:p/>")
                + p(QStringLiteral("第三段"))
            << QStringLiteral("第一段 \n\n第三段");
        QTest::newRow("tabs and breaks; tab stops are no text")
            << QStringLiteral("<w:p><w:pPr><w:tabs><w:tab w:val=\"left\" w:pos=\"720\"/></w:tabs></w:pPr>"
                              "<w:r><w:t>a</w:t><w:tab/><w:t>b</w:t><w:br/><w:t>c</w:t><w:noBreakHyphen/>"
                              "<w:softHyphen/><w:t>d</w:t></w:r></w:p>")
            << QStringLiteral("a\tb\nc-d");
        QTest::newRow("table cells in reading order")
            << QStringLiteral(
                   "<w:tbl><w:tr><w:tc>%1</w:tc><w:tc>%2</w:tc></w:tr><w:tr><w:tc>%3</w:tc><w:tc>%4</w:tc>"
                   "</w:tr></w:tbl>")
                   .arg(p(QStringLiteral("甲")), p(QStringLiteral("乙")), p(QStringLiteral("丙")),
                        p(QStringLiteral("丁")))
            << QStringLiteral("甲\n乙\n丙\n丁");
        const QString begin = QStringLiteral("<w:r><w:fldChar w:fldCharType=\"begin\"/></w:r>");
        const QString separate = QStringLiteral("<w:r><w:fldChar w:fldCharType=\"separate\"/></w:r>");
        const QString end = QStringLiteral("<w:r><w:fldChar w:fldCharType=\"end\"/></w:r>");
        const auto code = [](const char* c) {
            return QStringLiteral("<w:r><w:instrText>%1</w:instrText></w:r>").arg(QLatin1StringView(c));
        };
        const auto run = [](const char* t) {
            return QStringLiteral("<w:r><w:t>%1</w:t></w:r>").arg(QString::fromUtf8(t));
        };
        QTest::newRow("field result, not its code; a field without result shows nothing")
            << QStringLiteral("<w:p>") + run("见") + begin + code(" HYPERLINK \"http://x\" ") + separate
                + run("链接") + end + begin + code(" XE \"索引\" ") + end + run("。")
                + QStringLiteral("</w:p>")
            << QStringLiteral("见链接。");
        QTest::newRow("nested fields and a field across paragraphs") << QStringLiteral("<w:p>") + begin
                + code(" IF ") + begin + code(" PAGE ") + separate + run("9") + end + separate + run("结果")
                + QStringLiteral("</w:p><w:p>") + run("续") + end + run("后")
                + QStringLiteral("</w:p>") << QStringLiteral("结果\n续后");
        QTest::newRow("simple field") << QStringLiteral(
            "<w:p><w:fldSimple w:instr=\"PAGE\"><w:r><w:t>3</w:t></w:r></w:fldSimple></w:p>")
                                      << QStringLiteral("3");
        QTest::newRow("revisions: inserted kept, deleted and moved away left out") << QStringLiteral(
            "<w:p><w:ins><w:r><w:t>新</w:t></w:r></w:ins><w:del><w:r><w:delText>旧</w:delText>"
            "</w:r></w:del><w:moveFrom><w:r><w:t>挪走</w:t></w:r></w:moveFrom><w:moveTo><w:r>"
            "<w:t>挪来</w:t></w:r></w:moveTo></w:p>") << QStringLiteral("新挪来");
        QTest::newRow("a deleted paragraph mark joins two paragraphs")
            << QStringLiteral(
                   "<w:p><w:pPr><w:rPr><w:del w:id=\"1\"/></w:rPr></w:pPr><w:r><w:t>前</w:t></w:r></w:p>")
                + p(QStringLiteral("后"))
            << QStringLiteral("前后");
        QTest::newRow("a text box once, though its fallback repeats it")
            << QStringLiteral(
                   "<w:p><w:r><w:t>正文</w:t></w:r><w:r><mc:AlternateContent><mc:Choice Requires=\"wps\">"
                   "<w:drawing><w:txbxContent>%1</w:txbxContent></w:drawing></mc:Choice><mc:Fallback>"
                   "<w:pict><w:txbxContent>%1</w:txbxContent></w:pict></mc:Fallback></mc:AlternateContent>"
                   "</w:r></w:p>")
                   .arg(p(QStringLiteral("框内")))
            << QStringLiteral("框内\n正文");
        QTest::newRow("hidden text is not shown") << QStringLiteral(
            "<w:p><w:r><w:rPr><w:vanish/></w:rPr><w:t>隐藏</w:t><w:tab/></w:r><w:r><w:rPr>"
            "<w:vanish w:val=\"0\"/></w:rPr><w:t>可见</w:t></w:r><w:r><w:t>的</w:t></w:r></w:p>")
                                                  << QStringLiteral("可见的");
        QTest::newRow("a content control's properties are no text")
            << QStringLiteral("<w:sdt><w:sdtPr><w:alias w:val=\"x\"/><w:placeholder><w:docPart w:val=\"p\"/>"
                              "</w:placeholder></w:sdtPr><w:sdtContent>%1</w:sdtContent></w:sdt>")
                   .arg(p(QStringLiteral("填写的内容")))
            << QStringLiteral("填写的内容");
    }

    void readsTheShownText()
    {
        QFETCH(QString, content);
        QFETCH(QString, expected);
        QCOMPARE(textOf({{QStringLiteral("word/document.xml"), body(content)}}), expected);
    }

    // Numbers come from the numbering part, directly or through a heading
    // style; counting goes on across paragraphs and restarts deeper levels.
    void numbersListsAsTheWordProcessorDoes()
    {
        const QByteArray numbering = wordXml(
            "numbering",
            QStringLiteral(
                "<w:abstractNum w:abstractNumId=\"0\">"
                "<w:lvl w:ilvl=\"0\"><w:start w:val=\"1\"/><w:numFmt w:val=\"chineseCounting\"/>"
                "<w:lvlText w:val=\"第%1章\"/><w:suff w:val=\"space\"/><w:pStyle w:val=\"H1\"/></w:lvl>"
                "<w:lvl w:ilvl=\"1\"><w:start w:val=\"1\"/><w:isLgl/><w:numFmt w:val=\"decimal\"/><w:lvlText "
                "w:val=\"%1.%2\"/>"
                "<w:suff w:val=\"nothing\"/></w:lvl></w:abstractNum>"
                "<w:abstractNum w:abstractNumId=\"1\"><w:lvl w:ilvl=\"0\"><w:numFmt w:val=\"bullet\"/>"
                "<w:lvlText w:val=\"\uF0B7\"/></w:lvl><w:lvl w:ilvl=\"1\"><w:numFmt w:val=\"bullet\"/>"
                "<w:lvlText w:val=\"o\"/></w:lvl></w:abstractNum>"
                "<w:num w:numId=\"1\"><w:abstractNumId w:val=\"0\"/></w:num>"
                "<w:num w:numId=\"2\"><w:abstractNumId w:val=\"1\"/></w:num>"
                "<w:num w:numId=\"3\"><w:abstractNumId w:val=\"0\"/><w:lvlOverride w:ilvl=\"0\">"
                "<w:startOverride w:val=\"5\"/></w:lvlOverride></w:num>"));
        const QByteArray styles =
            wordXml("styles",
                    QStringLiteral("<w:style w:type=\"paragraph\" w:styleId=\"H1\"><w:pPr><w:numPr><w:numId "
                                   "w:val=\"1\"/></w:numPr></w:pPr>"
                                   "</w:style><w:style w:type=\"paragraph\" w:styleId=\"H1x\"><w:basedOn "
                                   "w:val=\"H1\"/></w:style>"));
        const auto numbered = [](const char* props, const char* text) {
            return QStringLiteral("<w:p><w:pPr>%1</w:pPr><w:r><w:t>%2</w:t></w:r></w:p>")
                .arg(QLatin1StringView(props), QString::fromUtf8(text));
        };
        const QString content = numbered("<w:pStyle w:val=\"H1\"/>", "绪论")
            + numbered("<w:numPr><w:ilvl w:val=\"1\"/><w:numId w:val=\"1\"/></w:numPr>", "背景")
            + numbered("<w:numPr><w:ilvl w:val=\"1\"/><w:numId w:val=\"1\"/></w:numPr>", "意义")
            + numbered("<w:pStyle w:val=\"H1x\"/>", "方法")
            + numbered("<w:numPr><w:ilvl w:val=\"1\"/><w:numId w:val=\"1\"/></w:numPr>", "模型")
            + numbered("<w:numPr><w:ilvl w:val=\"0\"/><w:numId w:val=\"2\"/></w:numPr>", "要点")
            + numbered("<w:numPr><w:ilvl w:val=\"1\"/><w:numId w:val=\"2\"/></w:numPr>", "细节")
            + numbered("<w:pStyle w:val=\"H1\"/><w:numPr><w:numId w:val=\"0\"/></w:numPr>", "致谢")
            + numbered("<w:numPr><w:ilvl w:val=\"0\"/><w:numId w:val=\"3\"/></w:numPr>", "附录");
        const QString text =
            textOf({{QStringLiteral("word/document.xml"), body(content)},
                    {QStringLiteral("word/_rels/document.xml.rels"),
                     relationships({QStringLiteral("numbering"), QStringLiteral("numbering.xml"),
                                    QStringLiteral("styles"), QStringLiteral("./styles.xml")})},
                    {QStringLiteral("word/numbering.xml"), numbering},
                    {QStringLiteral("word/styles.xml"), styles}});
        QCOMPARE(
            text,
            QStringLiteral("第一章 绪论\n1.1背景\n1.2意义\n第二章 方法\n2.1模型\n•\t要点\n◦\t细节\n致谢\n"
                           "第五章 附录"));
    }

    void formatsNumbers_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("expected");
        const QList<std::tuple<int, const char*, const char*>> rows = {
            {10, "chineseCounting", "十"},
            {11, "chineseCounting", "十一"},
            {20, "chineseCounting", "二十"},
            {105, "chineseCounting", "一百零五"},
            {110, "chineseCounting", "一百一十"},
            {1001, "chineseCountingThousand", "一千零一"},
            {12, "chineseLegalSimplified", "壹拾贰"},
            {10, "ideographDigital", "一〇"},
            {11, "ideographTraditional", "甲"},
            {3, "decimalEnclosedCircle", "③"},
            {21, "decimalEnclosedCircle", "21"},
            {1994, "upperRoman", "MCMXCIV"},
            {4, "lowerRoman", "iv"},
            {27, "lowerLetter", "aa"},
            {2, "upperLetter", "B"},
            {7, "decimalZero", "07"},
            {12, "decimalFullWidth", "１２"},
            {3, "none", ""},
            {3, "someFormatOfTomorrow", "3"},
        };
        for (const auto& [value, format, expected] : rows)
            QTest::addRow("%s %d", format, value)
                << value << QString::fromLatin1(format) << QString::fromUtf8(expected);
    }

    void formatsNumbers()
    {
        QFETCH(int, value);
        QFETCH(QString, format);
        QFETCH(QString, expected);
        QCOMPARE(formatListNumber(value, format), expected);
    }

    // The parts are found through the package's relationships, wherever
    // they lie; the notes' separator lines are no text.
    void readsNotesAfterTheBody()
    {
        const QByteArray notes =
            wordXml("footnotes",
                    QStringLiteral("<w:footnote w:type=\"separator\" "
                                   "w:id=\"-1\"><w:p><w:r><w:separator/><w:t>——</w:t></w:r></w:p>"
                                   "</w:footnote><w:footnote w:id=\"1\">%1</w:footnote>")
                        .arg(p(QStringLiteral("脚注一"))));
        const QByteArray endnotes =
            wordXml("endnotes",
                    QStringLiteral("<w:endnote w:id=\"1\">%1</w:endnote>").arg(p(QStringLiteral("尾注一"))));
        const QString text =
            textOf({{QStringLiteral("_rels/.rels"),
                     relationships({QStringLiteral("officeDocument"), QStringLiteral("/doc/main.xml")})},
                    {QStringLiteral("doc/main.xml"), body(p(QStringLiteral("正文")))},
                    {QStringLiteral("doc/_rels/main.xml.rels"),
                     relationships({QStringLiteral("footnotes"), QStringLiteral("notes/f.xml"),
                                    QStringLiteral("endnotes"), QStringLiteral("../e%20n.xml")})},
                    {QStringLiteral("doc/notes/f.xml"), notes},
                    {QStringLiteral("e n.xml"), endnotes}});
        QCOMPARE(text, QStringLiteral("正文\n脚注一\n尾注一"));
    }

    void refusesBadPackages_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        const QByteArray good =
            package({{QStringLiteral("word/document.xml"), body(p(QStringLiteral("正文")))}});
        QTest::newRow("not a zip") << QByteArray("PK\x03\x04 but nothing more")
                                   << QStringLiteral("不是有效的");
        QTest::newRow("cut short") << good.left(good.size() / 2) << QStringLiteral("不是有效的");
        // A byte of the compressed document, behind the local header, its name and its extra field.
        QByteArray flipped = good;
        const int dataStart = 30 + quint8(good[26]) + quint8(good[28]) + 256 * quint8(good[29]);
        flipped[dataStart + 3] = char(flipped[dataStart + 3] ^ 0x55);
        QTest::newRow("damaged entry") << flipped << QStringLiteral("已损坏");
        QTest::newRow("no document.xml")
            << package({{QStringLiteral("word/other.xml"), body(p(QStringLiteral("x")))}})
            << QStringLiteral("没有正文（word/document.xml）");
        const QByteArray bomb =
            "<?xml version=\"1.0\"?><!DOCTYPE w:document [<!ENTITY a \"aaaaaaaaaa\">"
            "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">]>"
            "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">"
            "<w:body><w:p><w:r><w:t>&c;&c;&c;&c;</w:t></w:r></w:p></w:body></w:document>";
        QTest::newRow("entity bomb") << package({{QStringLiteral("word/document.xml"), bomb}})
                                     << QStringLiteral("DTD");
        QTest::newRow("broken XML") << package(
            {{QStringLiteral("word/document.xml"), body(QStringLiteral("<w:p>"))}})
                                    << QStringLiteral("XML 已损坏");
    }

    void refusesBadPackages()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        const Result<QString> text = readDocxText(bytes);
        QVERIFY(!text);
        QVERIFY2(text.error().contains(reason), qPrintable(text.error()));
    }

    // A document.xml of more than 200 MB is refused before it is unpacked;
    // it packs to a few hundred kilobytes.
    void refusesAPartTooLargeToBeAPaper()
    {
        const QByteArray paragraph = p(QStringLiteral("重复的段落。")).toUtf8();
        QByteArray huge = body(QString()).replace("</w:body>", "");
        huge.reserve(201 * 1024 * 1024 + paragraph.size());
        while (huge.size() < 201 * 1024 * 1024)
            huge += paragraph;
        huge += "</w:body></w:document>";
        const QByteArray packed = package({{QStringLiteral("word/document.xml"), huge}}, 1);
        huge.clear();
        QVERIFY(packed.size() < 4 * 1024 * 1024);
        const Result<QString> text = readDocxText(packed);
        QVERIFY(!text);
        QVERIFY2(text.error().contains(QStringLiteral("200 MB")), qPrintable(text.error()));
    }

    void readsFilesOfOtherWriters_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("Word 2010") << QStringLiteral("stress009");
        QTest::newRow("Word 2016, fields") << QStringLiteral("empty_field");
    }

    // The reference is LibreOffice's text of the same file; white space
    // differs (it indents list items), the characters must not.
    void readsFilesOfOtherWriters()
    {
        QFETCH(QString, name);
        SHARED_FILE_OR_SKIP(path, "docx");
        const QString base = path + u'/' + name;
        const Result<QString> text = readDocxText(testdata::readFile(base + QStringLiteral(".docx")));
        QVERIFY2(text, qPrintable(text.error()));
        QCOMPARE(withoutSpace(*text),
                 withoutSpace(QString::fromUtf8(testdata::readFile(base + QStringLiteral(".expected.txt")))));
    }

    // Open goes by the name for these formats, but a file whose content is
    // another kind of Word document is read as what it is.
    void opensByNameAndContent()
    {
        QTemporaryDir dir;
        const QByteArray docx =
            package({{QStringLiteral("word/document.xml"), body(p(QStringLiteral("正文")))}});
        for (const char* name : {"a.docx", "b.DOCX", "c.docm", "d.dotx", "renamed.doc"}) {
            testdata::writeFile(dir.filePath(QLatin1StringView(name)), docx);
            const Result<LoadedDocument> loaded = loadDocumentFile(dir.filePath(QLatin1StringView(name)));
            QVERIFY2(loaded, qPrintable(loaded.error()));
            QVERIFY(!loaded->rich);
            QCOMPARE(loaded->document.plainText(), QStringLiteral("正文"));
        }
        testdata::writeFile(dir.filePath(QStringLiteral("broken.docx")), docx.left(100));
        const Result<LoadedDocument> broken = loadDocumentFile(dir.filePath(QStringLiteral("broken.docx")));
        QVERIFY(!broken);
        QVERIFY2(broken.error().contains(dir.filePath(QStringLiteral("broken.docx"))),
                 qPrintable(broken.error()));
    }
};

QTEST_GUILESS_MAIN(DocxTest)
#include "test_documents_docx.moc"
