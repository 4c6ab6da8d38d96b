// The main window's check report menu through the real window (offscreen):
// when its items are enabled, the report window, the export through the file
// dialog, and the similar pieces coloured in one undo step.

#include "analysis/savedcheck.h"
#include "mainwindow/ui/form1.h"
#include "platform/widgets/dialogs.h"
#include "platform/widgets/richeditor.h"
#include "report/core/checkreport.h"
#include "report/ui/reportwindow.h"
#include "support/clirunner.h"
#include "support/fixtureserver.h"
#include "support/resultpages.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>

#include <memory>

namespace {

const QString kBody =
    u"本研究采用问卷调查与访谈相结合的方法对三所高校的两百名学生进行了系统的调查研"_qs;  // 38
const QString kOther = u"结果表明多数学生在论文写作过程中对引用规范的理解存在明显不足需要加强指导工作"_qs;
const QString kThird = u"因此本文建议高校应当建立更加完善的学术规范教育体系并将其纳入课程考核之中以便"_qs;

std::unique_ptr<Form1> analysedForm(const QString& paper)
{
    auto form = std::make_unique<Form1>(Endpoints::builtIn());
    form->RichTextBox1->setText(paper);
    form->Command1_Click();
    form->session.pieces.resize(form->session.sentences.size());
    return form;
}

// The PDF's text by pdftotext, without spaces and line breaks: pdftotext
// tells spaces from the gaps between letters.
QString pdfText(const QString& path)
{
    QProcess p;
    p.start(u"pdftotext"_qs, {u"-enc"_qs, u"UTF-8"_qs, path, u"-"_qs});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return {};
    return QString::fromUtf8(p.readAllStandardOutput()).remove(QRegularExpression(u"\\s+"_qs));
}

// The colour of the character at text position `at` of the editor.
QColor colourAt(Form1& form, int at)
{
    QTextCursor c(form.RichTextBox1->document());
    c.setPosition(form.RichTextBox1->documentPosition(at) + 1);
    return c.charFormat().foreground().color();
}

}  // namespace

class TestForm1Report : public QObject {
    Q_OBJECT
private slots:
    void init() { dialogs::reset(); }

    void menuAtTheEndOfTheBar()
    {
        auto form = analysedForm(kBody);
        const QList<QAction*> bar = form->menuBar()->actions();
        QCOMPARE(bar.last()->text(), u"检测报告"_qs);
        QStringList items;
        for (QAction* a : form->jcbg->actions())
            items << a->text();
        QCOMPARE(items,
                 (QStringList{u"查看检测报告"_qs, u"导出检测报告…"_qs, u"在论文中标出相似句"_qs,
                              u"导出标注后的论文…"_qs}));
    }

    void enabledOnceAPieceIsCheckedAndNoRunIsOn()
    {
        auto form = analysedForm(kBody + kOther);
        form->refreshReportMenu();
        for (QAction* item : {form->ckbg, form->dcbg, form->bzxs, form->bzlw})
            QVERIFY(!item->isEnabled());
        // Disabled items do nothing, also when triggered from elsewhere.
        form->dcbg_Click();
        QVERIFY(dialogs::takeShownMessages().isEmpty());

        form->session.pieces[1] = {true, 5, {}};
        form->refreshReportMenu();
        for (QAction* item : {form->ckbg, form->dcbg, form->bzxs, form->bzlw})
            QVERIFY(item->isEnabled());

        form->session.autoRunning = true;
        form->refreshReportMenu();
        QVERIFY(!form->ckbg->isEnabled());
        form->session.autoRunning = false;

        // A new analysis starts over: nothing checked.
        form->Command1_Click();
        form->refreshReportMenu();
        QVERIFY(!form->ckbg->isEnabled());
    }

    void marksSimilarPiecesInOneUndoStep()
    {
        // Piece 1 occurs twice in the paper: piece 4, on a line of its own, is its copy.
        auto form = analysedForm(kBody + kOther + kThird + u"\r\n"_qs + kBody);
        QTextDocument* doc = form->RichTextBox1->document();
        form->session.pieces[0] = {true, 50, {}};     // red
        form->session.pieces[1] = {true, 20, {}};     // orange
        form->session.pieces[2] = {true, 19.99, {}};  // black
        // The comparison coloured piece 3 red when it sent it.
        form->RichTextBox1->setSelStart(76);
        form->RichTextBox1->setSelLength(38);
        form->RichTextBox1->setSelColor(Qt::red);

        form->bzxs_Click();
        const int second = 3 * 38 + 2;  // the second copy of piece 1, after the line break
        QCOMPARE(colourAt(*form, 0), QColor(255, 0, 0));
        QCOMPARE(colourAt(*form, 37), QColor(255, 0, 0));
        QCOMPARE(colourAt(*form, second), QColor(255, 0, 0));
        QCOMPARE(colourAt(*form, 38), QColor(230, 120, 0));
        QCOMPARE(colourAt(*form, 75), QColor(230, 120, 0));
        QCOMPARE(colourAt(*form, 76), QColor(0, 0, 0));
        QCOMPARE(colourAt(*form, 113), QColor(0, 0, 0));

        // One undo takes every colour back: the first piece's with the last one's.
        doc->undo();
        QCOMPARE(colourAt(*form, 0), QColor(0, 0, 0));
        QCOMPARE(colourAt(*form, 38), QColor(0, 0, 0));
        QCOMPARE(colourAt(*form, second), QColor(0, 0, 0));
        QCOMPARE(colourAt(*form, 76), QColor(255, 0, 0));
    }

    void exportWritesTheReportOrSaysWhyNot()
    {
        auto form = analysedForm(kBody + kOther);
        form->session.pieces[0] = {true, 70, {{u"来源"_qs, u"https://example.org/"_qs}}};
        form->Label2->setText(u"本句相似度：70%\r\n\r\n目前总体相似度：35%"_qs);
        form->refreshReportMenu();
        QTemporaryDir dir;

        dialogs::queueFileName(dir.filePath(u"报告"_qs));  // no suffix: HTML
        form->dcbg_Click();
        QVERIFY(dialogs::takeShownMessages().isEmpty());
        QFile file(dir.filePath(u"报告.html"_qs));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray html = file.readAll();
        // A check that is not kept is dated when its report is made: the two
        // may lie on either side of a second.
        static const QRegularExpression when(u"\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}"_qs);
        QCOMPARE(QString::fromUtf8(html).replace(when, u"WHEN"_qs),
                 QString::fromUtf8(form->reportHtml()).replace(when, u"WHEN"_qs));
        // The piece counted once; Label2's figure beside it, with why they differ.
        QVERIFY(html.contains("总体相似度：70%"));
        QVERIFY(html.contains("程序窗口中显示的总体相似度为 35%"));

        dialogs::queueFileName(dir.filePath(u"没有的文件夹/报告.html"_qs));
        dialogs::queueAnswer(dialogs::Answer::Ok);
        form->dcbg_Click();
        const auto shown = dialogs::takeShownMessages();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown.first().text.startsWith(u"检测报告导出失败："_qs), qPrintable(shown.first().text));
        QVERIFY(!QFile::exists(dir.filePath(u"没有的文件夹"_qs)));

        dialogs::queueFileName(QString());  // cancelled: nothing written, nothing said
        form->dcbg_Click();
        QVERIFY(dialogs::takeShownMessages().isEmpty());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 1);
    }

    // The window stays usable while the PDF is made, and says what it is doing.
    void pdfExportShowsItsProgress()
    {
        auto form = analysedForm(kBody + kOther);
        form->session.pieces[0] = {true, 70, {{u"来源"_qs, u"https://example.org/"_qs}}};
        form->refreshReportMenu();
        form->Label1->setText(u"之前的进度"_qs);
        QTemporaryDir dir;
        QStringList seen;
        QTimer watch;
        connect(&watch, &QTimer::timeout, [&] { seen.append(form->Label1->text()); });
        watch.start(0);  // each time the window's events run
        dialogs::queueFileName(dir.filePath(u"报告.pdf"_qs));
        form->dcbg_Click();
        watch.stop();
        QVERIFY(dialogs::takeShownMessages().isEmpty());
        QVERIFY(QFile::exists(dir.filePath(u"报告.pdf"_qs)));
        QVERIFY2(!seen.filter(u"正在"_qs).isEmpty(), qPrintable(seen.join(u'\n')));
        QCOMPARE(form->Label1->text(), u"之前的进度"_qs);
    }

    // The PDF of a real automatic run against a search server on 127.0.0.1:
    // the window's, read back, and trovalis-cli's of the check the run kept,
    // the same text.
    void pdfOfARealRunAndTheCli()
    {
        SKIP_WITHOUT_CLI();
        if (QStandardPaths::findExecutable(u"pdftotext"_qs).isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed; scripts/deps.sh installs it");
        FixtureServer server;
        server.setFallback([](const QString& path, const QString&) {
            // Five results; the second, fourth and fifth with highlighted text.
            QList<resultpages::Result> results = resultpages::numberedResults(5);
            results[1].snippet = resultpages::filler(20) + resultpages::highlight(120);
            results[3].snippet = resultpages::highlight(30);
            results[4].snippet = resultpages::highlight(10);
            FixtureServer::Reply r;
            r.body = path == u"/s"_qs ? resultpages::page(resultpages::body(results)) : QByteArray();
            return r;
        });
        QTemporaryDir dir;
        Endpoints e = Endpoints::builtIn();
        e.baiduBase = server.base();
        e.vendorWebBase = server.base();
        Form1 form(e);
        form.getProcessList = [] { return QString(); };
        form.endProgram = [] {};
        form.dataFolder = dir.filePath(u"data"_qs);
        form.engine_Click(form.baidu);
        form.show();
        form.RichTextBox1->setText(u"第一章 绪论\r\n"_qs + kBody + u"\r\n第二章 方法\r\n"_qs + kOther);
        form.Command1_Click();
        dialogs::queueAnswer(dialogs::Answer::Ok);  // "本次对比结束！"
        form.Command3_Click();
        QTRY_VERIFY_WITH_TIMEOUT(!form.session.pieces.isEmpty() && form.session.pieces.last().checked
                                     && !form.session.autoRunning,
                                 60000);

        QCOMPARE(dialogs::takeShownMessages().size(), 1);  // "本次对比结束！"

        const QString windowPdf = dir.filePath(u"窗口.pdf"_qs);
        dialogs::queueFileName(windowPdf);
        form.dcbg_Click();
        const auto shown = dialogs::takeShownMessages();
        QVERIFY2(shown.isEmpty(), qPrintable(shown.value(0).text));
        const QString text = pdfText(windowPdf);
        const QString kept =
            savedcheck::pathFor(savedcheck::folderIn(form.dataFolder), form.session.analysedText);
        const Result<SavedCheck> check = savedcheck::read(kept);
        QVERIFY(check);
        const report::Content c = report::contentOf(*check, check->paperText);
        for (const QString& part :
             {u"总体相似度："_qs + c.overall, u"去除引用和参考文献后的相似度："_qs + c.overallWithout,
              u"单篇最大相似比："_qs + c.largestShare, u"第1页/共"_qs})
            QVERIFY2(text.contains(part), qPrintable(part + u" in: "_qs + text));
        QVERIFY(c.chapters && c.chapters->size() == 2);
        for (const report::ChapterRow& row : *c.chapters) {
            const QString line = QStringList{row.title,
                                             QString::number(row.characters),
                                             QString::number(row.pieces),
                                             QString::number(row.checked),
                                             report::percent(*row.figure),
                                             QString::number(row.high),
                                             QString::number(row.medium)}
                                     .join(QString())
                                     .remove(u' ');
            QVERIFY2(text.contains(line), qPrintable(line + u" in: "_qs + text));
        }
        // Under each piece from 20 %: the three results with the most highlighted text, the rest counted.
        QCOMPARE(text.count(u"另有2条结果"_qs),
                 int(std::count_if(c.pieces.begin(), c.pieces.end(),
                                   [](const auto& p) { return p.checked && p.figure >= 20; })));
        QVERIFY(text.count(u"另有2条结果"_qs) >= 1);
        const qsizetype similar = text.indexOf(u"网上相似内容"_qs);
        const QString first = text.mid(similar, text.indexOf(u"另有"_qs, similar) - similar);
        QVERIFY2(first.indexOf(u"标题2"_qs) < first.indexOf(u"标题4"_qs)
                     && first.indexOf(u"标题4"_qs) < first.indexOf(u"标题5"_qs)
                     && !first.contains(u"标题1"_qs) && first.indexOf(u"标题2"_qs) >= 0,
                 qPrintable(first));

        const QString cliPdf = dir.filePath(u"cli.PDF"_qs);
        const clirunner::Run run = clirunner::run({u"report"_qs, kept, cliPdf});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(pdfText(cliPdf), text);
    }

    void viewOpensTheReportWindow()
    {
        auto form = analysedForm(kBody);
        form->session.pieces[0] = {true, 70, {}};
        form->refreshReportMenu();
        form->ckbg_Click();
        auto* window = form->findChild<ReportWindow*>();
        QVERIFY(window);
        QVERIFY(window->isVisible());
        QSignalSpy loaded(window, &ReportWindow::loaded);
        QVERIFY(loaded.wait(30000));
        form->ckbg_Click();  // again: the same window, shown again
        QCOMPARE(form->findChildren<ReportWindow*>().size(), 1);
    }
};

QTEST_MAIN(TestForm1Report)
#include "test_form1_report.moc"
