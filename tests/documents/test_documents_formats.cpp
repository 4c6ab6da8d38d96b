// The documents library: the RTF reader and writer, text decoding, the Word
// document name rule, loading through the real converters and saving.

#include "documents/core/docconverter.h"
#include "documents/core/documentfiles.h"
#include "documents/core/rtfreader.h"
#include "documents/core/rtfwriter.h"
#include "documents/core/textdecoding.h"
#include "platform/core/gbk.h"
#include "support/clirunner.h"
#include "support/testdata.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

using namespace documents;

Q_DECLARE_METATYPE(documents::Document)

namespace {

QString plainOf(const QByteArray& rtf)
{
    const Result<Document> result = readRtf(rtf);
    if (!result)
        return QStringLiteral("<error: %1>").arg(result.error());
    return result->plainText();
}

QString withoutTrailingNewlines(QString text)
{
    while (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    return text;
}

Run run(const QString& text, CharFormat format = {})
{
    if (format.fontName.isEmpty())
        format.fontName = QStringLiteral("Times New Roman");
    if (format.pointSize == 0)
        format.pointSize = 12;
    return {text, format};
}

CharFormat chinese(double size, std::optional<quint32> color = std::nullopt, bool bold = false)
{
    CharFormat f;
    f.fontName = QStringLiteral("宋体");
    f.pointSize = size;
    f.color = color;
    f.bold = bold;
    return f;
}

Document documentOf(std::initializer_list<QList<Run>> paragraphs)
{
    Document d;
    for (const QList<Run>& runs : paragraphs)
        d.paragraphs.append(Paragraph{runs});
    return d;
}

// True while /proc shows the process alive (a zombie has ended).
bool processIsRunning(const QByteArray& pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(QString::fromLatin1(pid)));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray fields = stat.readAll();
    const qsizetype close = fields.lastIndexOf(')');
    return close < 0 || fields.mid(close + 2, 1) != "Z";
}

// Raises the file-size limit again when a test ends.
struct FileSizeLimit {
    rlimit saved{};
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);  // a failed write, not a killed process
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit limit = saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved); }
};

}  // namespace

class TestDocumentFormats : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { docConverterSettings() = DocConverterSettings(); }

    void readsText_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("expected");

        QTest::newRow("GBK bytes") << QByteArray("{\\rtf1\\ansi\\ansicpg936 \\'d6\\'d0\\'ce\\'c4}")
                                   << QStringLiteral("中文");
        QTest::newRow("double byte with a literal trail byte")
            << QByteArray("{\\rtf1\\ansi\\ansicpg936 \\'a9w\\'a3\\'a1}") << gbk::decode("\xa9w\xa3\xa1");
        QTest::newRow("cp1252") << QByteArray("{\\rtf1\\ansi\\ansicpg1252 caf\\'e9 \\'80}")
                                << QStringLiteral("café €");
        QTest::newRow("font charset overrides the document code page")
            << QByteArray("{\\rtf1\\ansi\\ansicpg1252{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset134 SimSun;}}"
                          "\\f0 caf\\'e9 \\f1 \\'d6\\'d0}")
            << QStringLiteral("café 中");
        QTest::newRow("\\u with one fallback")
            << QByteArray("{\\rtf1\\ansi\\u26580\\'3f\\u36947?}") << QStringLiteral("柔道");
        QTest::newRow("\\uc2 skips a GBK pair, \\uc0 nothing")
            << QByteArray("{\\rtf1\\ansi\\ansicpg936{\\uc2\\u20013\\'d6\\'d0x}{\\uc0\\u25991 y}}")
            << QStringLiteral("中x文y");
        QTest::newRow("negative \\u and a surrogate pair")
            << QByteArray("{\\rtf1\\ansi\\u-28583?\\u-10179?\\u-8704?}")
            << QString(QChar(char16_t(65536 - 28583))) + QStringLiteral("😀");
        QTest::newRow("fallback ends at a group end")
            << QByteArray("{\\rtf1\\ansi{\\uc3\\u20013 ?}ok}") << QStringLiteral("中ok");
        QTest::newRow("paragraphs, line, tab and escapes")
            << QByteArray("{\\rtf1\\ansi a\\par b\\line c\\tab d \\{\\}\\\\\\~e\\par}")
            << QStringLiteral("a\nb\nc\td {}\\\u00A0e");
        QTest::newRow("backslash newline ends a paragraph")
            << QByteArray("{\\rtf1\\ansi one\\\ntwo\\\r\nthree}") << QStringLiteral("one\ntwo\nthree");
        QTest::newRow("line breaks in the file are not text")
            << QByteArray("{\\rtf1\\ansi sp\r\nlit}") << QStringLiteral("split");
        QTest::newRow("skipped destinations")
            << QByteArray("{\\rtf1\\ansi{\\info{\\title T}}{\\stylesheet{\\s0 Normal;}}"
                          "{\\header H}{\\*\\generator G;}{\\*\\unknown{\\x y}z}"
                          "{\\pict\\pngblip 89504e47{\\*\\blipuid 00}}A{\\object{\\objdata 01}}B}")
            << QStringLiteral("AB");
        QTest::newRow("\\bin data may hold braces")
            << QByteArray("{\\rtf1\\ansi{\\pict\\bin6 }}{{\\{x}end}") << QStringLiteral("end");
        QTest::newRow("field result shown, instruction hidden")
            << QByteArray("{\\rtf1\\ansi{\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt link}}}")
            << QStringLiteral("link");
        QTest::newRow("\\upr shows its ANSI text once")
            << QByteArray("{\\rtf1\\ansi\\ansicpg936{\\upr{\\'d6\\'d0}{\\*\\ud{\\u20013?}}}}")
            << QStringLiteral("中");
        QTest::newRow("empty document") << QByteArray("{\\rtf1}") << QString();
        QTest::newRow("hidden text") << QByteArray("{\\rtf1\\ansi a{\\v hidden}b\\v c\\v0 d}")
                                     << QStringLiteral("abd");
        QTest::newRow("symbol-font bullet in a GBK document") << QByteArray(
            "{\\rtf1\\ansi\\ansicpg936{\\fonttbl{\\f0\\fcharset134 SimSun;}{\\f1\\fcharset2 Symbol;}}"
            "{\\pntext\\f1 \\'b7\\tab}\\f0 \\'d6\\'d0}") << QStringLiteral("\u00B7\t中");
    }

    void readsText()
    {
        QFETCH(QByteArray, rtf);
        QFETCH(QString, expected);
        QCOMPARE(plainOf(rtf), expected);
    }

    void readsFormatting()
    {
        const QByteArray rtf =
            "{\\rtf1\\ansi\\ansicpg936\\deff0{\\fonttbl{\\f0\\fswiss Arial;}"
            "{\\f1\\fnil\\fcharset134{\\*\\panose 0201}\\'cb\\'ce\\'cc\\'e5{\\*\\falt SimSun};}}"
            "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}"
            "\\pard plain {\\f1\\fs28\\cf1\\b red \\i bi\\ul u\\ulnone n}{\\cf2 blue}\\plain\\fs20 z\\par}";
        const Result<Document> result = readRtf(rtf);
        QVERIFY2(result, qPrintable(result.error()));
        QCOMPARE(result->paragraphs.size(), 1);
        const QList<Run>& runs = result->paragraphs[0].runs;
        QCOMPARE(runs.size(), 7);

        CharFormat base;
        base.fontName = QStringLiteral("Arial");
        base.pointSize = 12;
        QCOMPARE(runs[0], (Run{QStringLiteral("plain "), base}));

        CharFormat red = base;
        red.fontName = QStringLiteral("宋体");
        red.pointSize = 14;
        red.color = 0xFF0000;
        red.bold = true;
        QCOMPARE(runs[1], (Run{QStringLiteral("red "), red}));
        red.italic = true;
        QCOMPARE(runs[2], (Run{QStringLiteral("bi"), red}));
        red.underline = true;
        QCOMPARE(runs[3], (Run{QStringLiteral("u"), red}));
        red.underline = false;
        QCOMPARE(runs[4], (Run{QStringLiteral("n"), red}));

        CharFormat blue = base;  // the group's formatting ended with the group
        blue.color = 0x0000FF;
        QCOMPARE(runs[5], (Run{QStringLiteral("blue"), blue}));
        CharFormat small = base;
        small.pointSize = 10;
        QCOMPARE(runs[6], (Run{QStringLiteral("z"), small}));
    }

    void rejectsDamagedRtf_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::newRow("not RTF") << QByteArray("hello {\\rtf1}");
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("truncated") << QByteArray("{\\rtf1\\ansi{\\b bold text");
        QTest::newRow("truncated in a skipped group") << QByteArray("{\\rtf1{\\pict 0102");
        QTest::newRow("extra closing brace") << QByteArray("{\\rtf1 text}}");
        QTest::newRow("cut in a byte escape") << QByteArray("{\\rtf1 \\'d");
        QTest::newRow("bad byte escape") << QByteArray("{\\rtf1 \\'zz}");
        QTest::newRow("\\bin past the end") << QByteArray("{\\rtf1{\\pict\\bin999 ab}}");
        QTest::newRow("hostile nesting") << QByteArray("{\\rtf1 ") + QByteArray(200000, '{');
    }

    void rejectsDamagedRtf()
    {
        QFETCH(QByteArray, rtf);
        const Result<Document> result = readRtf(rtf);
        QVERIFY(!result);
        QVERIFY(!result.error().isEmpty());
    }

    void readsFilesOfOtherWriters_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("Word, GBK bytes") << QStringLiteral("issue_11");
        QTest::newRow("TextEdit") << QStringLiteral("issue_28");
        QTest::newRow("LibreOffice, \\u") << QStringLiteral("unicode");
    }

    void readsFilesOfOtherWriters()
    {
        QFETCH(QString, name);
        const QString base = testdata::sharedDir() + QStringLiteral("/rtf/") + name;
        const QString rtfPath = base + QStringLiteral(".rtf");
        if (!QFile::exists(rtfPath))
            QSKIP(qPrintable(QStringLiteral("third-party test data absent: ") + rtfPath));
        const QString expected = QString::fromUtf8(testdata::readFile(base + QStringLiteral(".txt")));
        const Result<Document> result = readRtf(testdata::readFile(rtfPath));
        QVERIFY2(result, qPrintable(result.error()));
        QCOMPARE(withoutTrailingNewlines(result->plainText()), withoutTrailingNewlines(expected));
    }

    void roundTrips_data()
    {
        QTest::addColumn<Document>("document");
        QTest::newRow("Chinese, colours, fonts, styles") << documentOf(
            {{run(QStringLiteral("论文第一段，")),
              run(QStringLiteral("重复的句子"), chinese(10.5, 0xFF0000, true))},
             {},
             {run(QStringLiteral("English "), {QStringLiteral("Arial"), 9, 0x0080FF, false, true, true}),
              run(QStringLiteral("黑体字"), {QStringLiteral("黑体"), 16, 0x000000})}});
        QTest::newRow("markup characters, tabs and spaces")
            << documentOf({{run(QStringLiteral(" {a}\\b\tc "))}, {run(QStringLiteral("  "))}});
        QTest::newRow("characters without GBK bytes")
            << documentOf({{run(QStringLiteral("😀 ä € ĕ 한"), chinese(12))}});
        QTest::newRow("digits after Chinese") << documentOf({{run(QStringLiteral("中1 2"))}});
    }

    void roundTrips()
    {
        QFETCH(Document, document);
        const QByteArray rtf = writeRtf(document);
        for (const char c : rtf)
            QVERIFY2(static_cast<unsigned char>(c) < 0x80, "the file must be 7-bit ASCII");
        QVERIFY(rtf.startsWith("{\\rtf1\\ansi\\ansicpg936"));
        const Result<Document> back = readRtf(rtf);
        QVERIFY2(back, qPrintable(back.error()));
        QCOMPARE(*back, document);
    }

    // A reader that ignores \uN sees the GBK fallback bytes: the same text.
    void fallbackBytesCarryTheText()
    {
        const Document document =
            documentOf({{run(QStringLiteral("相似度检测：重复率 12.5%"), chinese(12, 0xFF0000))}});
        QByteArray rtf = writeRtf(document);
        QVERIFY(rtf.contains("\\fcharset134"));
        rtf.replace("\\uc2", "\\uc0");
        rtf = QString::fromLatin1(rtf).remove(QRegularExpression(QStringLiteral("\\\\u-?\\d+"))).toLatin1();
        QCOMPARE(plainOf(rtf), document.plainText());
    }

    void decodesText_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("encoding");
        QTest::addColumn<bool>("lossy");
        const QString text = QStringLiteral("论文 abc\r\n第二行");
        QTest::newRow("UTF-8 with BOM") << "\xEF\xBB\xBF" + text.toUtf8() << text << "UTF-8" << false;
        QTest::newRow("UTF-8") << text.toUtf8() << text << "UTF-8" << false;
        QTest::newRow("UTF-16LE") << QByteArray("\xFF\xFE")
                + QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2)
                                  << text << "UTF-16LE" << false;
        QByteArray be;
        for (const QChar ch : text)
            be.append(char(ch.unicode() >> 8)).append(char(ch.unicode() & 0xFF));
        QTest::newRow("UTF-16BE") << QByteArray("\xFE\xFF") + be << text << "UTF-16BE" << false;
        QTest::newRow("GBK") << gbk::encode(text) << text << "GBK" << false;
        QTest::newRow("GBK with an invalid byte pair")
            << gbk::encode(u"前") + QByteArray("\x81\x20", 2) + gbk::encode(u"后")
            << QStringLiteral("前\uFFFD 后") << "GBK" << true;
        QTest::newRow("ASCII") << QByteArray("plain") << QStringLiteral("plain") << "UTF-8" << false;
    }

    void decodesText()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        QFETCH(QString, encoding);
        QFETCH(bool, lossy);
        const DecodedText decoded = decodeText(bytes);
        QCOMPARE(decoded.text, expected);
        QCOMPARE(decoded.encoding, encoding);
        QCOMPARE(decoded.lossy, lossy);
    }

    void wordDocumentNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("word");
        QTest::newRow("doc") << "/p/a.doc" << true;
        QTest::newRow("DOC") << "/p/A.DOC" << true;
        QTest::newRow("Doc") << "/p/a.Doc" << true;
        QTest::newRow("dOc") << "/p/a.dOc" << false;
        QTest::newRow("docx") << "/p/a.docx" << false;
        QTest::newRow("no dot") << "/p/mydoc" << true;
        QTest::newRow("rtf") << "/p/a.rtf" << false;
        QTest::newRow("short") << "oc" << false;
    }

    void wordDocumentNames()
    {
        QFETCH(QString, name);
        QFETCH(bool, word);
        QCOMPARE(isWordDocumentName(name), word);
    }

    void loadsFilesByContentAndName()
    {
        QTemporaryDir dir;
        const Document formatted = documentOf({{run(QStringLiteral("红字"), chinese(12, 0xFF0000))}});
        testdata::writeFile(dir.filePath("saved.txt"), writeRtf(formatted));
        testdata::writeFile(dir.filePath("saved.doc"), writeRtf(formatted));
        testdata::writeFile(dir.filePath("gbk.dOc"), gbk::encode(u"第一行\r\n第二行"));
        testdata::writeFile(dir.filePath("text.doc"), "just text");
        testdata::writeFile(dir.filePath("fake.rtf"), "just text");
        testdata::writeFile(dir.filePath("bad.txt"), QByteArray("ok") + "\x81\x20" + gbk::encode(u"后"));

        Result<LoadedDocument> loaded = loadDocumentFile(dir.filePath("saved.txt"));
        QVERIFY(loaded && loaded->rich);
        QCOMPARE(loaded->document, formatted);

        loaded = loadDocumentFile(dir.filePath("saved.doc"));  // as Word reads it: text only
        QVERIFY(loaded && !loaded->rich);
        QCOMPARE(loaded->document.plainText(), QStringLiteral("红字"));

        loaded = loadDocumentFile(dir.filePath("gbk.dOc"));
        QVERIFY(loaded);
        QCOMPARE(loaded->document.plainText(), QStringLiteral("第一行\n第二行"));

        loaded = loadDocumentFile(dir.filePath("bad.txt"));
        QVERIFY(loaded);
        QCOMPARE(loaded->document.plainText(), QStringLiteral("ok\uFFFD 后"));
        QVERIFY(loaded->warning.contains(QChar(0xFFFD)));

        for (const char* name : {"text.doc", "fake.rtf", "missing.txt", "missing.doc"}) {
            loaded = loadDocumentFile(dir.filePath(name));
            QVERIFY2(!loaded && !loaded.error().isEmpty(), name);
        }
    }

    void convertsWordDocuments()
    {
        SHARED_FILE_OR_SKIP(docPath, "doc/test11.doc");
        const QString expected = QString::fromUtf8(
            testdata::readFile(testdata::sharedDir() + QStringLiteral("/doc/test11.expected.txt")));
        if (QStandardPaths::findExecutable(QStringLiteral("antiword")).isEmpty()
            && QStandardPaths::findExecutable(QStringLiteral("soffice")).isEmpty())
            QSKIP("neither antiword nor soffice is installed");
        const Result<LoadedDocument> loaded = loadDocumentFile(docPath);
        QVERIFY2(loaded, qPrintable(loaded.error()));
        QCOMPARE(loaded->document.plainText(), expected);
    }

    void missingConverterIsReported()
    {
        SHARED_FILE_OR_SKIP(docPath, "doc/test11.doc");
        docConverterSettings().antiword = QStringLiteral("/nonexistent/antiword");
        docConverterSettings().soffice = QStringLiteral("/nonexistent/soffice");
        const Result<LoadedDocument> loaded = loadDocumentFile(docPath);
        QVERIFY(!loaded);
        QVERIFY2(loaded.error().contains(QStringLiteral("/nonexistent/antiword")),
                 qPrintable(loaded.error()));
    }

    void hangingConverterIsStopped()
    {
        SHARED_FILE_OR_SKIP(docPath, "doc/test11.doc");
        QTemporaryDir dir;
        const QString script = dir.filePath(QStringLiteral("slow-antiword"));
        const QString pidFile = dir.filePath(QStringLiteral("child.pid"));
        // A converter that hangs in a child process of its own, as LibreOffice does.
        testdata::writeFile(script, "#!/bin/sh\nsleep 30 &\necho $! > '" + pidFile.toUtf8() + "'\nwait\n");
        QFile::setPermissions(script, QFile::ReadOwner | QFile::ExeOwner);
        DocConverterSettings settings;
        settings.antiword = script;
        settings.soffice = QStringLiteral("/nonexistent/soffice");
        settings.timeoutMs = 500;
        QElapsedTimer timer;
        timer.start();
        const Result<QString> result = convertDoc(docPath, settings);
        QVERIFY(!result);
        QVERIFY(timer.elapsed() < 10000);
        const QByteArray childPid = testdata::readFile(pidFile).trimmed();
        QTRY_VERIFY_WITH_TIMEOUT(!processIsRunning(childPid), 3000);
    }

    void saveFailureKeepsTheOldFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("paper.rtf"));
        testdata::writeFile(path, "old content");
        Document big;
        for (int i = 0; i < 200; ++i)
            big.paragraphs.append(Paragraph{{run(QStringLiteral("一段很长的论文文字。"))}});
        {
            FileSizeLimit limit(64);  // the disk "fills up" after 64 bytes
            const Result<void> saved = saveRtfFile(big, path);
            QVERIFY(!saved);
            QVERIFY(!saved.error().isEmpty());
        }
        QCOMPARE(testdata::readFile(path), QByteArray("old content"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("paper.rtf")});

        QVERIFY(!saveRtfFile(big, dir.filePath(QStringLiteral("no/such/dir/x.rtf"))));
        QVERIFY(saveRtfFile(big, path));
        QCOMPARE(readRtf(testdata::readFile(path)).value(), big);
    }

    // LibreOffice reads the text out of a file we saved.
    void libreOfficeReadsOurFiles()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("soffice")).isEmpty())
            QSKIP("soffice is not installed (scripts/deps.sh installs libreoffice-writer-nogui)");
        QTemporaryDir dir;
        const Document document =
            documentOf({{run(QStringLiteral("论文查重：")),
                         run(QStringLiteral("重复的句子标红"), chinese(10.5, 0xFF0000, true))},
                        {run(QStringLiteral("Second paragraph {x} \\ 😀"))}});
        const QString path = dir.filePath(QStringLiteral("ours.rtf"));
        QVERIFY(saveRtfFile(document, path));
        const auto convert = [&](const QString& format) {
            QProcess soffice;
            soffice.start(QStringLiteral("soffice"),
                          {QStringLiteral("-env:UserInstallation=")
                               + QUrl::fromLocalFile(dir.filePath(QStringLiteral("profile"))).toString(),
                           QStringLiteral("--headless"), QStringLiteral("--convert-to"), format,
                           QStringLiteral("--outdir"), dir.path(), path});
            return soffice.waitForFinished(120000) && soffice.exitCode() == 0;
        };
        QVERIFY(convert(QStringLiteral("txt:Text (encoded):UTF8")));
        QString text = QString::fromUtf8(testdata::readFile(dir.filePath(QStringLiteral("ours.txt"))));
        text.remove(QChar(0xFEFF));
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        QCOMPARE(withoutTrailingNewlines(text), document.plainText());

        // Fonts, sizes, colours and bold as LibreOffice sees them (its flat XML format).
        QVERIFY(convert(QStringLiteral("fodt")));
        const QString xml = QString::fromUtf8(testdata::readFile(dir.filePath(QStringLiteral("ours.fodt"))));
        const QRegularExpression redBoldSong(
            QStringLiteral("fo:color=\"#ff0000\"[^>]*style:font-name=\"宋体\"[^>]*fo:font-size=\"10.5pt\""
                           "[^>]*fo:font-weight=\"bold\"[^>]*style:font-name-asian=\"宋体"));
        QVERIFY2(redBoldSong.match(xml).hasMatch(), "the red bold 宋体 10.5pt run");
    }

    void cliPrintsTheEditorText()
    {
        SKIP_WITHOUT_CLI();
        QTemporaryDir dir;
        testdata::writeFile(dir.filePath("a.rtf"),
                            "{\\rtf1\\ansi\\ansicpg936 \\'d6\\'d0\\par \\'ce\\'c4\\par}");
        testdata::writeFile(dir.filePath("bad.rtf"), "{\\rtf1\\ansi text");
        const clirunner::Run good = clirunner::run({QStringLiteral("doc2text"), dir.filePath("a.rtf")});
        QCOMPARE(good.exitCode, 0);
        QCOMPARE(good.out, QStringLiteral("中\r\n文\n"));

        const clirunner::Run bad = clirunner::run({QStringLiteral("doc2text"), dir.filePath("bad.rtf")});
        QCOMPARE(bad.exitCode, 1);
        QVERIFY(bad.out.isEmpty());
        QVERIFY(!bad.err.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestDocumentFormats)
#include "test_documents_formats.moc"
