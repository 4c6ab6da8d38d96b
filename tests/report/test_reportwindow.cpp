// The report in a real WebEngine view, its links, and its export as HTML and
// as PDF read back with pdftotext; a full disk and a read-only folder.

#include "analysis/segmentation.h"
#include "hardening/scratchdisk.h"
#include "platform/widgets/dialogs.h"
#include "report/core/checkreport.h"
#include "report/pdf/reportpdf.h"
#include "report/ui/reportexport.h"
#include "report/ui/reportwindow.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace {

const QString kBody =
    u"本研究采用问卷调查与访谈相结合的方法对三所高校的两百名学生进行了系统的调查研"_qs;  // 38

// A paper with a quotation (piece 2) and a reference list (piece 4), every
// piece checked.
struct Sample {
    QString paper =
        kBody + u"“"_qs + kBody.left(36) + u"”"_qs + kBody + u"\r\n参考文献\r\n"_qs + kBody.left(34);
    SavedCheck check;

    explicit Sample(int copies = 1)
    {
        QString text;
        for (int i = 0; i < copies; ++i)
            text += paper.left(paper.indexOf(u"\r\n"_qs));
        paper = text + paper.mid(paper.indexOf(u"\r\n"_qs));
        const segmentation::Analysis a = segmentation::analyse(paper);
        check.analysedText = a.analysedText;
        check.sentences = a.sentences;
        check.resultTitles = QStringList(10 * a.sentences.size() + 1, QString());
        check.resultBlocks = check.resultTitles;
        const double figures[] = {64, 80, 12, 90};
        for (qsizetype i = 0; i < a.sentences.size(); ++i) {
            const double figure = figures[std::min<qsizetype>(i, 3)];
            check.pieces.append({true,
                                 figure,
                                 {{u"来源"_qs + QString::number(i + 1),
                                   u"http://127.0.0.1:9/s"_qs + QString::number(i + 1)}}});
            check.similaritySum += figure;
        }
        check.pageCount = int(a.sentences.size()) + 1;
        check.label2 = u"本句相似度：90%\r\n\r\n目前总体相似度：49.2%"_qs;
        check.engine = u"baidu"_qs;
        check.savedAt = QDateTime(QDate(2026, 5, 20), QTime(14, 0));
    }
    QByteArray html() const { return report::htmlBytes(check, paper); }
    report::CheckReportModel model() const { return report::modelOf(check, paper); }
};

QString pageText(QWebEngineView* view)
{
    QString text;
    bool done = false;
    view->page()->runJavaScript(u"document.body.innerText"_qs, [&](const QVariant& v) {
        text = v.toString();
        done = true;
    });
    (void)QTest::qWaitFor([&] { return done; }, 20000);
    return text;
}

// pdftotext tells spaces from the gaps between letters: the tests compare
// text without them.
QString squeezed(QString text) { return text.remove(QRegularExpression(u"\\s+"_qs)); }

QString pdfText(const QString& path)
{
    QProcess p;
    p.start(u"pdftotext"_qs, {u"-enc"_qs, u"UTF-8"_qs, path, u"-"_qs});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

}  // namespace

class TestReportWindow : public QObject {
    Q_OBJECT
private slots:
    void init() { dialogs::reset(); }

    void windowShowsTheReportAndHandsLinksToTheBrowser()
    {
        const Sample sample;
        ReportWindow window;
        QList<QUrl> opened;
        window.openInBrowser = [&](const QUrl& url) {
            opened << url;
            return true;
        };
        QSignalSpy loaded(&window, &ReportWindow::loaded);
        window.showReport(sample.html());
        window.show();
        QVERIFY(loaded.wait(30000) || loaded.count() == 1);
        QCOMPARE(loaded.first().first().toBool(), true);
        const QUrl reportUrl = window.view()->url();

        const QString text = pageText(window.view());
        for (const QString& part : {u"论文相似度检测报告"_qs, u"总体相似度：61.5%"_qs,
                                    u"去除引用和参考文献后的相似度：38%"_qs, kBody.left(20), u"来源1"_qs})
            QVERIFY2(text.contains(part), qPrintable(part));

        window.view()->page()->runJavaScript(u"document.querySelector('a').click()"_qs);
        QTRY_COMPARE_WITH_TIMEOUT(opened.size(), 1, 20000);
        QCOMPARE(opened.first(), QUrl(u"http://127.0.0.1:9/s1"_qs));
        QTest::qWait(300);
        QCOMPARE(window.view()->url(), reportUrl);  // still the report

        // A browser that refuses is said so, once.
        int refused = 0;
        window.openInBrowser = [&](const QUrl&) {
            ++refused;
            return false;
        };
        dialogs::queueAnswer(dialogs::Answer::Ok);
        window.view()->page()->runJavaScript(u"document.querySelectorAll('a')[1].click()"_qs);
        QTRY_COMPARE_WITH_TIMEOUT(refused, 1, 20000);
        QCOMPARE(dialogs::takeShownMessages().size(), 1);
    }

    void exportsHtmlAndPdf()
    {
        if (QStandardPaths::findExecutable(u"pdftotext"_qs).isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed; scripts/deps.sh installs it");
        const Sample sample;
        QTemporaryDir dir;
        const QString htmlPath = dir.filePath(u"报告.html"_qs);
        QVERIFY(reportexport::write(sample.model(), htmlPath));
        QFile html(htmlPath);
        QVERIFY(html.open(QIODevice::ReadOnly));
        QCOMPARE(html.readAll(), sample.html());

        const QString pdfPath = dir.filePath(u"报告.PDF"_qs);
        QStringList progress;
        const auto written =
            reportexport::write(sample.model(), pdfPath, [&](const QString& text) { progress.append(text); });
        QVERIFY2(written, qPrintable(written.error()));
        // The stages as a window shows them, each page counted.
        QCOMPARE(progress.value(0), u"正在排版检测报告……"_qs);
        const QRegularExpressionMatch last =
            QRegularExpression(u"^正在生成 PDF……第 (\\d+) / \\1 页$"_qs).match(progress.last());
        QVERIFY2(last.hasMatch(), qPrintable(progress.join(u'\n')));
        QFile pdf(pdfPath);
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QVERIFY(pdf.read(5) == "%PDF-");
        const QString text = pdfText(pdfPath);
        for (const QString& part :
             {u"论文相似度检测报告"_qs, u"49.2%"_qs, u"38%"_qs, u"2026-05-20 14:00:00"_qs,
              u"第 %1 页 / 共 %1 页"_qs.arg(last.captured(1)), sample.paper.left(12)})
            QVERIFY2(squeezed(text).contains(squeezed(part)),
                     qPrintable(part + u" in: "_qs + text.left(400)));
        QCOMPARE(dir.path(), QFileInfo(pdfPath).path());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);  // no temporary left
    }

    // Text no layout expects: a correct PDF all the same, its words in order.
    void pdfOfAwkwardText()
    {
        if (QStandardPaths::findExecutable(u"pdftotext"_qs).isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed; scripts/deps.sh installs it");
        Sample sample;
        QString odd = u"控制\x01\x1b\u202e符号 abc def \U000F0000 שלום عربي"_qs;
        odd += QChar(0xD800);  // a lone surrogate
        sample.check.pieces[0].results = {
            {odd, u"https://example.org/a(b)c\\d"_qs, odd + u"后文"_qs, {{0, 4}}}};
        QTemporaryDir dir;
        const QString path = dir.filePath(u"odd.pdf"_qs);
        QVERIFY(report::writePdf(sample.model(), path));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        // The link's address kept whole inside the PDF's string.
        QVERIFY(file.readAll().contains("/URI (https://example.org/a%28b%29c%5Cd)"));
        const QString text = pdfText(path);
        QVERIFY2(text.contains(u"abc def"_qs), qPrintable(text));  // not turned around
        QVERIFY(squeezed(text).contains(u"第1页/共"_qs));

        // Nothing checked: the report says so.
        for (PieceResult& piece : sample.check.pieces)
            piece = {};
        QVERIFY(report::writePdf(sample.model(), path));
        const QString unchecked = pdfText(path);
        QVERIFY2(squeezed(unchecked).contains(u"没有相似度20%及以上的句子。"_qs), qPrintable(unchecked));
        QVERIFY(squeezed(unchecked).contains(u"已对比0句"_qs));
    }

    // Page breaks: a heading never the last line of a page, a table carried
    // over repeats its header row; every link an annotation; the font embedded.
    void pdfPagesAndFonts()
    {
        if (QStandardPaths::findExecutable(u"pdftotext"_qs).isEmpty()
            || QStandardPaths::findExecutable(u"pdffonts"_qs).isEmpty())
            QSKIP("pdftotext and pdffonts (poppler-utils) are not installed; scripts/deps.sh installs them");
        using report::Block;
        using report::Run;
        const auto paragraph = [](int n) {
            return Block{Block::Kind::Paragraph,
                         Block::Style::Plain,
                         {Run::of(u"段落"_qs + QString::number(n) + u"。"_qs + kBody.repeated(2))},
                         {},
                         {}};
        };
        const auto heading = [](int n) {
            return Block{Block::Kind::Heading,
                         Block::Style::Plain,
                         {Run::of(u"标题"_qs + QString::number(n))},
                         {},
                         {}};
        };
        Run link = Run::of(u"链接"_qs);
        link.href = u"https://example.org/"_qs;
        Block table{Block::Kind::Table, Block::Style::Plain, {}, {u"表头甲"_qs, u"表头乙"_qs}, {}};
        for (int r = 0; r < 60; ++r)
            table.rows.append({{{Run::of(u"row"_qs + QString::number(r))}, false}, {{link}, true}});
        // Headings after one paragraph more each time, so that one of them falls at every height of a page.
        report::CheckReportModel model;
        model.paperTitle = u"论文题目"_qs;
        model.checkedAt = u"2026-05-20 14:00:00"_qs;
        report::Section section;
        for (int n = 0; n < 40; ++n) {
            section.blocks.append(heading(n));
            for (int p = 0; p < n % 7; ++p)
                section.blocks.append(paragraph(p));
        }
        section.blocks.append(heading(99));
        section.blocks.append(table);
        model.sections = {section};

        QTemporaryDir dir;
        const QString path = dir.filePath(u"pages.pdf"_qs);
        QVERIFY(report::writePdf(model, path));
        const QStringList pages = pdfText(path).split(u'\f', Qt::SkipEmptyParts);
        QVERIFY(pages.size() > 5);
        bool tableContinued = false;
        for (int p = 0; p < pages.size(); ++p) {
            QStringList lines = pages[p].split(u'\n', Qt::SkipEmptyParts);
            QVERIFY2(squeezed(lines.takeLast()) == u"第%1页/共%2页"_qs.arg(p + 1).arg(pages.size()),
                     qPrintable(pages[p]));
            QVERIFY2(!lines.isEmpty() && !lines.last().startsWith(u"标题"_qs), qPrintable(pages[p]));
            QVERIFY(pages[p].contains(u"论文题目"_qs) && pages[p].contains(u"2026-05-20 14:00:00"_qs));
            if (p > 0 && pages[p].contains(u"row"_qs) && pages[p - 1].contains(u"row"_qs)) {
                tableContinued = true;
                QVERIFY2(pages[p].indexOf(u"表头甲"_qs) < pages[p].indexOf(u"row"_qs), qPrintable(pages[p]));
            }
        }
        QVERIFY(tableContinued);

        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll().count("/Subtype /Link"), 60);
        QProcess fonts;
        fonts.start(u"pdffonts"_qs, {path});
        QVERIFY(fonts.waitForFinished(30000));
        const QString listed = QString::fromUtf8(fonts.readAllStandardOutput());
        // name, type, encoding, embedded, subset, to Unicode: embedded and searchable.
        const QRegularExpression embedded(
            QRegularExpression::escape(QString(report::pdfFontFamily()).remove(u' '))
            + u".*\\syes\\s+\\S+\\s+yes\\s"_qs);
        QVERIFY2(listed.contains(embedded), qPrintable(listed));
    }

    void fullDiskAndReadOnlyFolderLeaveNoFile_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("name");
        QTest::newRow("full disk, HTML") << int(ScratchDisk::Kind::Full) << u"report.html"_qs;
        QTest::newRow("full disk, PDF") << int(ScratchDisk::Kind::Full) << u"report.pdf"_qs;
        QTest::newRow("read-only folder, HTML") << int(ScratchDisk::Kind::ReadOnly) << u"report.html"_qs;
        QTest::newRow("read-only folder, PDF") << int(ScratchDisk::Kind::ReadOnly) << u"report.pdf"_qs;
    }
    void fullDiskAndReadOnlyFolderLeaveNoFile()
    {
        QFETCH(int, kind);
        QFETCH(QString, name);
        // Large enough not to fit the 64 KiB disk, as HTML and as PDF.
        const Sample sample(60);
        QVERIFY(sample.html().size() > 64 * 1024);
        ScratchDisk disk;
        MOUNT_OR_SKIP(disk, ScratchDisk::Kind(kind), [](const QString& path) {
            QFile filler(path + u"/filler"_qs);
            QVERIFY(filler.open(QIODevice::WriteOnly));
            filler.write(QByteArray(40 * 1024, 'x'));
        });
        const QStringList before = disk.entries();
        const auto written = reportexport::write(sample.model(), disk.file(name));
        QVERIFY(!written);
        QVERIFY2(written.error().contains(name), qPrintable(written.error()));
        QCOMPARE(disk.entries(), before);
    }
};

QTEST_MAIN(TestReportWindow)
#include "test_reportwindow.moc"
