// The main window's check report menu through the real window (offscreen):
// when its items are enabled, the report window, the export through the file
// dialog, and the similar pieces coloured in one undo step.

#include "mainwindow/ui/form1.h"
#include "platform/widgets/dialogs.h"
#include "platform/widgets/richeditor.h"
#include "report/ui/reportwindow.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
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
        QCOMPARE(html, form->reportHtml());
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

    // The window stays usable while the engine prints, and says what it is doing.
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
        watch.start(50);
        dialogs::queueFileName(dir.filePath(u"报告.pdf"_qs));
        form->dcbg_Click();
        watch.stop();
        QVERIFY(dialogs::takeShownMessages().isEmpty());
        QVERIFY(QFile::exists(dir.filePath(u"报告.pdf"_qs)));
        QVERIFY2(!seen.filter(u"正在"_qs).isEmpty(), qPrintable(seen.join(u'\n')));
        QCOMPARE(form->Label1->text(), u"之前的进度"_qs);
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
