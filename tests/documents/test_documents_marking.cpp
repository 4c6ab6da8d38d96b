// The student's own .docx marked: highlights exactly on the marked text,
// runs split with their formatting, one comment a mark, every other part
// kept as stored, and text that the reading leaves out never marked.

#include "documents/core/docconverter.h"
#include "documents/core/docxmarker.h"
#include "documents/core/docxreader.h"
#include "documents/core/memoryzip.h"
#include "documents/docxpackages.h"
#include "support/testdata.h"

#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <unzip.h>

using namespace documents;
using namespace docxpackages;

namespace {

const QString kTypes = QStringLiteral(
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Types "
    "xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"><Default Extension=\"xml\" "
    "ContentType=\"application/xml\"/><Default Extension=\"rels\" "
    "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/><Override "
    "PartName=\"/word/document.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/></"
    "Types>");

Entries docx(const QByteArray& document, const Entries& more = {})
{
    Entries entries{{QStringLiteral("[Content_Types].xml"), kTypes.toUtf8()},
                    {QStringLiteral("_rels/.rels"),
                     relationships({QStringLiteral("officeDocument"), QStringLiteral("word/document.xml")})},
                    {QStringLiteral("word/document.xml"), document}};
    return entries + more;
}

// The analysed text of a package: its text without spaces and line breaks
// (tabs inside a line stay, as in the analysis).
QString analysedOf(const QByteArray& package)
{
    static const QRegularExpression dropped(QStringLiteral("[ \\n\\x{3000}]"));
    const Result<QString> text = readDocxText(package);
    return text ? QString(*text).remove(dropped) : QString();
}

QByteArray part(const QByteArray& package, const QString& name)
{
    const Result<MemoryZip> zip = MemoryZip::open(package);
    if (!zip || !zip->contains(name))
        return {};
    const Result<QByteArray> bytes = zip->readAll(name, 1 << 30);
    return bytes ? *bytes : QByteArray();
}

QStringList entryNames(const QByteArray& package)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("p.zip"));
    testdata::writeFile(path, package);
    QStringList names;
    unzFile zip = unzOpen64(QFile::encodeName(path).constData());
    for (int at = unzGoToFirstFile(zip); at == UNZ_OK; at = unzGoToNextFile(zip)) {
        char name[512] = {};
        unzGetCurrentFileInfo64(zip, nullptr, name, sizeof name, nullptr, 0, nullptr, 0);
        names << QString::fromUtf8(name);
    }
    unzClose(zip);
    return names;
}

// One highlighted stretch as a reader of the copy sees it: the colour and
// the shown text of consecutive runs with that colour.
struct Highlighted {
    QString colour;
    QString text;
};

QList<Highlighted> highlightsOf(const QByteArray& documentXml)
{
    QList<Highlighted> found;
    QXmlStreamReader xml(documentXml);
    QString colour;
    int hidden = 0;  // inside deleted text or a field code
    bool lastRunHighlighted = false;
    while (!xml.atEnd()) {
        xml.readNext();
        const QStringView name = xml.name();
        if (xml.isStartElement()) {
            if (name == u"del" || name == u"instrText")
                ++hidden;
            else if (name == u"r")
                colour.clear();
            else if (name == u"highlight")
                colour = xml.attributes().value(QStringLiteral("w:val")).toString();
            else if (name == u"t" && !hidden && !colour.isEmpty()) {
                const QString text = xml.readElementText();
                if (lastRunHighlighted && found.last().colour == colour)
                    found.last().text += text;
                else
                    found.append({colour, text});
                lastRunHighlighted = true;
            } else if (name == u"t" && !hidden) {
                lastRunHighlighted = false;
            }
        } else if (xml.isEndElement() && (name == u"del" || name == u"instrText")) {
            --hidden;
        }
    }
    return found;
}

int countOf(const QByteArray& xml, const QString& element)
{
    return int(QString::fromUtf8(xml).count(u'<' + element + u' ')
               + QString::fromUtf8(xml).count(u'<' + element + u'>'));
}

PaperMark markOf(const QString& analysed, const QString& piece, Highlight highlight = Highlight::Yellow)
{
    return {analysed.indexOf(piece), piece.size(), highlight, {piece + QStringLiteral(" 的说明")}};
}

MarkedDocx marked(const QByteArray& package, const QList<PaperMark>& marks)
{
    const Result<MarkedDocx> result = markDocx(package, analysedOf(package), marks);
    if (!result)
        qWarning() << result.error();
    return result ? *result : MarkedDocx{};
}

// Every entry but those named is the same in both packages, byte for byte.
void expectOthersUnchanged(const QByteArray& original, const QByteArray& copy, const QStringList& changed)
{
    for (const QString& name : entryNames(original)) {
        if (!changed.contains(name))
            QVERIFY2(part(original, name) == part(copy, name), qPrintable(name));
    }
}

const QString kRun = QStringLiteral("<w:r><w:rPr><w:b/><w:sz w:val=\"28\"/><w:u w:val=\"single\"/></w:rPr>"
                                    "<w:t>%1</w:t></w:r>");

}  // namespace

class MarkingTest : public QObject {
    Q_OBJECT
private slots:
    // A mark inside a run splits it: the parts keep the run's formatting, the
    // marked one gains its highlight in the place the format wants it.
    void splitsRunsKeepingTheirFormatting()
    {
        const QByteArray original = package(docx(
            body(QStringLiteral("<w:p>%1</w:p>").arg(kRun.arg(QStringLiteral("前面的文字相似的句子后面"))))));
        const QString analysed = analysedOf(original);
        const MarkedDocx copy =
            marked(original, {markOf(analysed, QStringLiteral("相似的句子"), Highlight::Red)});
        QCOMPARE(copy.marked, 1);
        const QByteArray xml = part(copy.package, QStringLiteral("word/document.xml"));
        QCOMPARE(highlightsOf(xml).size(), 1);
        QCOMPARE(highlightsOf(xml).first().text, QStringLiteral("相似的句子"));
        QCOMPARE(highlightsOf(xml).first().colour, QStringLiteral("red"));
        QVERIFY(xml.contains(
            "<w:rPr><w:b/><w:sz w:val=\"28\"/><w:highlight w:val=\"red\"/><w:u w:val=\"single\"/>"
            "</w:rPr><w:t xml:space=\"preserve\">相似的句子</w:t>"));
        QCOMPARE(xml.count("<w:b/>"), 3);
        QCOMPARE(readDocxText(copy.package).valueOr(QString()), readDocxText(original).valueOr(QString()));
    }

    // A mark across a paragraph end, deleted text, hidden text and a field's
    // code is marked in each shown part; the left-out text never.
    void marksOnlyTheShownText()
    {
        const QString content = QStringLiteral(
            "<w:p><w:r><w:t>甲乙丙</w:t></w:r><w:del><w:r><w:delText>删除</w:delText></w:r></w:del>"
            "<w:r><w:rPr><w:vanish/></w:rPr><w:t>隐藏</w:t></w:r>"
            "<w:r><w:fldChar w:fldCharType=\"begin\"/></w:r><w:r><w:instrText> PAGE </w:instrText></w:r>"
            "<w:r><w:fldChar w:fldCharType=\"separate\"/></w:r><w:r><w:t>五</w:t></w:r>"
            "<w:r><w:fldChar w:fldCharType=\"end\"/></w:r></w:p>"
            "<w:p><w:r><w:t>丁戊</w:t></w:r></w:p>");
        const QByteArray original = package(docx(body(content)));
        const QString analysed = analysedOf(original);
        QCOMPARE(analysed, QStringLiteral("甲乙丙五丁戊"));
        const MarkedDocx copy = marked(original, {markOf(analysed, QStringLiteral("乙丙五丁"))});
        const QByteArray xml = part(copy.package, QStringLiteral("word/document.xml"));
        QString highlighted;
        for (const Highlighted& stretch : highlightsOf(xml))
            highlighted += stretch.text;
        QCOMPARE(highlighted, QStringLiteral("乙丙五丁"));
        QVERIFY(!xml.contains("<w:highlight w:val=\"yellow\"/><w:vanish/>"));
        QCOMPARE(xml.count("<w:commentRangeStart"), 1);
        QCOMPARE(xml.count("<w:commentReference"), 1);
        QCOMPARE(readDocxText(copy.package).valueOr(QString()), readDocxText(original).valueOr(QString()));
    }

    // A piece that runs from a text box into the body (the box's lines are
    // read before its paragraph's) is highlighted in both, but its comment's
    // range lies in one story: where its reference stands, after the piece's
    // last character in the XML.
    void commentRangeStaysInOneStory_data()
    {
        QTest::addColumn<QString>("paragraph");
        QTest::addColumn<QString>("piece");
        QTest::addColumn<QString>("ranged");
        QTest::addColumn<bool>("inTextBox");
        const QString box = QStringLiteral(
            "<w:r><w:drawing><w:txbxContent><w:p><w:r><w:t>框内的文字</w:t></w:r></w:p></w:txbxContent>"
            "</w:drawing></w:r>");
        const QString text = QStringLiteral("<w:r><w:t>%1</w:t></w:r>");
        QTest::newRow("box, then the body after it")
            << box + text.arg(QStringLiteral("正文后")) << QStringLiteral("的文字正文")
            << QStringLiteral("正文") << false;
        QTest::newRow("body before the box, read after it")
            << text.arg(QStringLiteral("正文前")) + box << QStringLiteral("的文字正文前")
            << QStringLiteral("的文字") << true;
        QTest::newRow("one run around the box")
            << QStringLiteral("<w:r><w:t>甲乙</w:t><w:drawing><w:txbxContent><w:p><w:r><w:t>框内的文字</w:t>"
                              "</w:r></w:p></w:txbxContent></w:drawing><w:t>丙丁</w:t></w:r>")
            << QStringLiteral("文字甲乙丙") << QStringLiteral("甲乙框内的文字丙") << false;
    }

    void commentRangeStaysInOneStory()
    {
        QFETCH(QString, paragraph);
        QFETCH(QString, piece);
        QFETCH(QString, ranged);
        QFETCH(bool, inTextBox);
        const QByteArray original = package(docx(body(QStringLiteral("<w:p>%1</w:p>").arg(paragraph))));
        const QString analysed = analysedOf(original);
        const MarkedDocx copy = marked(original, {markOf(analysed, piece)});
        QCOMPARE(copy.marked, 1);
        QCOMPARE(readDocxText(copy.package).valueOr(QString()), readDocxText(original).valueOr(QString()));
        const QByteArray xml = part(copy.package, QStringLiteral("word/document.xml"));
        QString highlighted;
        for (const Highlighted& stretch : highlightsOf(xml))
            highlighted += stretch.text;
        QCOMPARE(highlighted.size(), piece.size());

        // Each comment element's story, and the text between start and end.
        QXmlStreamReader reader(xml);
        int boxDepth = 0;
        QList<bool> storyOfElement;
        bool inRange = false;
        QString rangeText;
        while (!reader.atEnd()) {
            reader.readNext();
            if (reader.isStartElement() && reader.name() == u"txbxContent")
                ++boxDepth;
            else if (reader.isEndElement() && reader.name() == u"txbxContent")
                --boxDepth;
            else if (reader.isStartElement() && reader.name().startsWith(u"comment")) {
                storyOfElement << (boxDepth > 0);
                inRange = reader.name() == u"commentRangeStart" ? true
                    : reader.name() == u"commentRangeEnd"       ? false
                                                                : inRange;
            } else if (reader.isCharacters() && inRange)
                rangeText += reader.text();
        }
        QCOMPARE(storyOfElement, QList<bool>(3, inTextBox));  // start, end, reference
        QCOMPARE(rangeText, ranged);
    }

    // Pieces side by side in one run, in both bands, an entity and a tab
    // between them: each its own highlight and comment, in order.
    void adjacentPiecesAndEntities()
    {
        const QByteArray original =
            package(docx(body(QStringLiteral("<w:p><w:r><w:t xml:space=\"preserve\">AB &amp; "
                                             "CD</w:t><w:tab/><w:t>EF𠀀GH</w:t></w:r></w:p>"))));
        const QString analysed = analysedOf(original);
        QCOMPARE(analysed, QStringLiteral("AB&CD\tEF𠀀GH"));
        const MarkedDocx copy = marked(original,
                                       {markOf(analysed, QStringLiteral("B&C")),
                                        markOf(analysed, QStringLiteral("D\tEF𠀀"), Highlight::Red)});
        QCOMPARE(copy.marked, 2);
        const QByteArray xml = part(copy.package, QStringLiteral("word/document.xml"));
        const QList<Highlighted> stretches = highlightsOf(xml);
        QCOMPARE(stretches.size(), 2);
        QCOMPARE(stretches[0].colour, QStringLiteral("yellow"));
        QCOMPARE(stretches[0].text, QStringLiteral("B & C"));
        QCOMPARE(stretches[1].colour, QStringLiteral("red"));
        QCOMPARE(stretches[1].text, QStringLiteral("DEF𠀀"));
        QCOMPARE(xml.count("<w:commentRangeEnd"), 2);
        const QByteArray comments = part(copy.package, QStringLiteral("word/comments.xml"));
        QCOMPARE(countOf(comments, QStringLiteral("w:comment")), 2);
        QVERIFY(comments.contains("w:author=\"Trovalis\""));
        QVERIFY(comments.contains("D\tEF𠀀 的说明"));
        QCOMPARE(readDocxText(copy.package).valueOr(QString()), readDocxText(original).valueOr(QString()));
    }

    // The package stays whole: the comments part is named where it must be,
    // and every other part is the one stored, byte for byte.
    void addsTheCommentsPartAndKeepsTheRest()
    {
        const QByteArray image("\x89PNG\r\n\x1a\n not really an image", 28);
        const Entries more{
            {QStringLiteral("word/_rels/document.xml.rels"),
             relationships({QStringLiteral("styles"), QStringLiteral("styles.xml"),
                            QStringLiteral("footnotes"), QStringLiteral("footnotes.xml")})},
            {QStringLiteral("word/styles.xml"),
             wordXml("styles", QStringLiteral("<w:style w:styleId=\"a\"/>"))},
            {QStringLiteral("word/footnotes.xml"),
             wordXml("footnotes",
                     QStringLiteral("<w:footnote w:id=\"1\"><w:p><w:r><w:t>脚注的文字</w:t></w:r></w:p>"
                                    "</w:footnote>"))},
            {QStringLiteral("word/media/image1.png"), image}};
        const QByteArray original = package(
            docx(body(QStringLiteral("<w:tbl><w:tr><w:tc><w:p>%1</w:p></w:tc></w:tr></w:tbl>"
                                     "<w:p><w:fldSimple w:instr=\" DATE \"><w:r><w:t>今天</w:t></w:r>"
                                     "</w:fldSimple><w:ins w:id=\"7\" w:author=\"a\"><w:r><w:t>加上"
                                     "</w:t></w:r></w:ins><w:r><w:footnoteReference w:id=\"1\"/></w:r>"
                                     "</w:p>")
                          .arg(kRun.arg(QStringLiteral("表格中的句子")))),
                 more));
        const QString analysed = analysedOf(original);
        const MarkedDocx copy =
            marked(original,
                   {markOf(analysed, QStringLiteral("中的")), markOf(analysed, QStringLiteral("天加")),
                    markOf(analysed, QStringLiteral("脚注"))});
        QCOMPARE(copy.marked, 2);
        QCOMPARE(copy.unplaced, 1);  // the notes are never marked
        const QStringList changed{QStringLiteral("word/document.xml"),
                                  QStringLiteral("word/_rels/document.xml.rels"),
                                  QStringLiteral("[Content_Types].xml")};
        expectOthersUnchanged(original, copy.package, changed);
        QCOMPARE(entryNames(copy.package), entryNames(original) << QStringLiteral("word/comments.xml"));
        const QByteArray rels = part(copy.package, QStringLiteral("word/_rels/document.xml.rels"));
        QVERIFY(rels.contains("relationships/comments\" Target=\"comments.xml\"/></Relationships>"));
        QVERIFY(part(copy.package, QStringLiteral("[Content_Types].xml"))
                    .contains("<Override PartName=\"/word/comments.xml\" ContentType=\"application/"
                              "vnd.openxmlformats-officedocument.wordprocessingml.comments+xml\"/></Types>"));
        QCOMPARE(readDocxText(copy.package).valueOr(QString()), readDocxText(original).valueOr(QString()));
    }

    // The student's own comments stay; ours are added after them.
    void keepsTheDocumentsOwnComments()
    {
        const QByteArray ownComments = wordXml(
            "comments",
            QStringLiteral("<w:comment w:id=\"4\" w:author=\"老师\"><w:p><w:r><w:t>改</w:t></w:r></w:p>"
                           "</w:comment>"));
        const Entries more{{QStringLiteral("word/_rels/document.xml.rels"),
                            relationships({QStringLiteral("comments"), QStringLiteral("comments.xml")})},
                           {QStringLiteral("word/comments.xml"), ownComments}};
        const QByteArray original = package(docx(
            body(QStringLiteral("<w:p><w:commentRangeStart w:id=\"4\"/><w:r><w:t>第一句话第二句话</w:t></w:r>"
                                "<w:commentRangeEnd w:id=\"4\"/></w:p>")),
            more));
        const QString analysed = analysedOf(original);
        const MarkedDocx copy = marked(original, {markOf(analysed, QStringLiteral("第二句"))});
        QCOMPARE(copy.marked, 1);
        expectOthersUnchanged(original, copy.package,
                              {QStringLiteral("word/document.xml"), QStringLiteral("word/comments.xml")});
        const QByteArray comments = part(copy.package, QStringLiteral("word/comments.xml"));
        QVERIFY(comments.contains("w:author=\"老师\""));
        QVERIFY(comments.contains("<w:comment w:id=\"5\""));
        QVERIFY(part(copy.package, QStringLiteral("word/document.xml"))
                    .contains("<w:commentRangeStart w:id=\"5\"/>"));
    }

    // Another text, a damaged package: refused, nothing written.
    void refusesWhatItCannotMarkRightly()
    {
        const QByteArray original =
            package(docx(body(QStringLiteral("<w:p><w:r><w:t>原来的文字</w:t></w:r></w:p>"))));
        const Result<MarkedDocx> other =
            markDocx(original, QStringLiteral("改过的文字"), {{0, 2, Highlight::Yellow, {}}});
        QVERIFY(!other);
        QVERIFY2(other.error().contains(QStringLiteral("不一致")), qPrintable(other.error()));
        QVERIFY(!markDocx(original.left(original.size() / 2), QStringLiteral("原来的文字"),
                          {{0, 2, Highlight::Yellow, {}}}));
        QVERIFY(!markDocx(package(docx(body(QStringLiteral("<w:p><w:r><w:t>未闭合")))),
                          QStringLiteral("未闭合"), {}));
    }

    // A paper from no .docx becomes one, a paragraph a line, with its marks.
    void plainPaperBecomesADocx()
    {
        const QStringList lines{QStringLiteral("标题 <一>"), QString(), QStringLiteral("正文 & 句子")};
        const QByteArray plain = plainDocx(lines);
        QCOMPARE(readDocxText(plain).valueOr(QString()), lines.join(u'\n'));
        const QString analysed = analysedOf(plain);
        const MarkedDocx copy = marked(plain, {markOf(analysed, QStringLiteral("<一>正文"), Highlight::Red)});
        QCOMPARE(copy.marked, 1);
        QCOMPARE(readDocxText(copy.package).valueOr(QString()), lines.join(u'\n'));
        const QList<Highlighted> stretches =
            highlightsOf(part(copy.package, QStringLiteral("word/document.xml")));
        QCOMPARE(stretches.size(), 1);
        QCOMPARE(stretches.first().text, QStringLiteral("<一>正文"));
    }

    // Other writers' files, marked at every third piece: the text reads back
    // the same and only the named parts change.
    void sharedFilesMarkedWithoutLoss_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("stress009") << QStringLiteral("docx/stress009.docx");
        QTest::newRow("empty_field") << QStringLiteral("docx/empty_field.docx");
    }
    void sharedFilesMarkedWithoutLoss()
    {
        QFETCH(QString, file);
        const QString path = testdata::sharedDir() + u'/' + file;
        if (!QFile::exists(path))
            QSKIP(qPrintable(QStringLiteral("third-party test data absent: ") + path));
        const QByteArray original = testdata::readFile(path);
        const QString analysed = analysedOf(original);
        QList<PaperMark> marks;
        for (qsizetype start = 0; start < analysed.size(); start += 3 * 38)
            marks.append({start,
                          std::min<qsizetype>(38, analysed.size() - start),
                          Highlight::Yellow,
                          {QStringLiteral("说明")}});
        const MarkedDocx copy = marked(original, marks);
        QVERIFY(!copy.package.isEmpty());
        QCOMPARE(copy.marked + copy.unplaced, int(marks.size()));
        QVERIFY(copy.marked > 0);
        QCOMPARE(readDocxText(copy.package).valueOr(QString()), readDocxText(original).valueOr(QString()));
        expectOthersUnchanged(original, copy.package,
                              {QStringLiteral("word/document.xml"),
                               QStringLiteral("word/_rels/document.xml.rels"),
                               QStringLiteral("[Content_Types].xml"), QStringLiteral("word/comments.xml")});
        QCOMPARE(
            countOf(part(copy.package, QStringLiteral("word/comments.xml")), QStringLiteral("w:comment")),
            copy.marked);
    }

    // LibreOffice opens the copy and its text is the original's.
    void libreOfficeReadsTheSameText()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("soffice")).isEmpty())
            QSKIP("LibreOffice is not installed (scripts/deps.sh installs it)");
        const QString content = QStringLiteral(
            "<w:p><w:r><w:t xml:space=\"preserve\">论文 的第一段，有 相似的句子。</w:t></w:r></w:p>"
            "<w:tbl><w:tr><w:tc><w:p><w:r><w:t>表格里的文字</w:t></w:r></w:p></w:tc></w:tr></w:tbl>"
            "<w:p><w:ins w:id=\"1\" w:author=\"a\"><w:r><w:t>插入的</w:t></w:r></w:ins>"
            "<w:del w:id=\"2\" w:author=\"a\"><w:r><w:delText>删去的</w:delText></w:r></w:del>"
            "<w:r><w:t>最后一段</w:t></w:r></w:p>");
        const QByteArray original = package(docx(body(content)));
        const QString analysed = analysedOf(original);
        const MarkedDocx copy =
            marked(original,
                   {markOf(analysed, QStringLiteral("有相似的句子。表格"), Highlight::Red),
                    markOf(analysed, QStringLiteral("插入的最后"))});
        QCOMPARE(copy.marked, 2);
        QTemporaryDir dir;
        testdata::writeFile(dir.filePath(QStringLiteral("original.docx")), original);
        testdata::writeFile(dir.filePath(QStringLiteral("marked.docx")), copy.package);
        const Result<QString> before = convertWithLibreOffice(dir.filePath(QStringLiteral("original.docx")));
        const Result<QString> after = convertWithLibreOffice(dir.filePath(QStringLiteral("marked.docx")));
        QVERIFY2(before && after, qPrintable(before ? after.error() : before.error()));
        QVERIFY(before->contains(QStringLiteral("相似的句子")));
        QCOMPARE(*after, *before);
    }
};

QTEST_GUILESS_MAIN(MarkingTest)
#include "test_documents_marking.moc"
