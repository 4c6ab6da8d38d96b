// The comparer window through its real editors and browsers (offscreen), with
// the thesaurus page and reference pages served on 127.0.0.1.

#include "comparer/ui/form2.h"
#include "platform/browser/browserview.h"
#include "platform/core/gbk.h"
#include "platform/widgets/dialogs.h"
#include "platform/widgets/richeditor.h"
#include "platform/widgets/twips.h"
#include "support/fixtureserver.h"
#include "support/testdata.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

constexpr int kPageTimeoutMs = 30000;

QString u(const char16_t* s) { return QString::fromUtf16(s); }

QColor colorAt(RichEditor* editor, int pos)
{
    editor->setSelStart(pos);
    editor->setSelLength(1);
    return editor->selColor();
}

QString report(int paper, int segments, int sentences, int chars, int p1, int p2)
{
    return u(u"你的文章一共 %1 字，重复 %2 段， %3 句， %4 字\r\n"
             u"        重复部分占你的文章的： %5 %\r\n"
             u"        与参考文章的相似度为： %6 %")
        .arg(paper)
        .arg(segments)
        .arg(sentences)
        .arg(chars)
        .arg(p1)
        .arg(p2);
}

const QColor kRed(255, 0, 0);
const QColor kBlack(0, 0, 0);

}  // namespace

class TestForm2 : public QObject {
    Q_OBJECT
private:
    FixtureServer server_;
    QString mainPaper_;
    QTemporaryDir programFolder_;

    std::unique_ptr<Form2> makeForm()
    {
        Endpoints endpoints = Endpoints::builtIn();
        endpoints.vendorWebBase = server_.base();
        auto form = std::make_unique<Form2>(endpoints, [this] { return mainPaper_; });
        form->programFolder = programFolder_.path();
        form->random = comparer::seededRandom(1);
        form->pageTimeoutMs = kPageTimeoutMs;
        return form;
    }

    QString cikuPath() const { return programFolder_.filePath(QStringLiteral("ciku.txt")); }

private slots:
    void init()
    {
        dialogs::reset();
        QFile::remove(cikuPath());
    }

    void layoutFollowsOuterSize()
    {
        auto form = makeForm();
        form->layoutForOuterSize(9480, 8000);
        // Twips become whole pixels: within one pixel of the rule.
        const auto near = [](int actual, int expected) { return qAbs(actual - expected) < 15; };
        const QRect left = twips::geometry(form->RichTextBox1);
        const QRect right = twips::geometry(form->RichTextBox2);
        QVERIFY(near(left.width(), 4440) && near(left.height(), 6400));
        QVERIFY(near(right.width(), 4440) && near(right.height(), 6400));
        QVERIFY(near(right.left(), 4740));
        QVERIFY(near(twips::geometry(form->Label1).top(), 6600));
        const QList<QPair<QWidget*, int>> buttons{
            {form->Command1, 6180}, {form->Command2, 7680}, {form->Command3, 8680}};
        for (const auto& [button, leftEdge] : buttons) {
            QVERIFY(near(twips::geometry(button).top(), 6900));
            QVERIFY(near(twips::geometry(button).left(), leftEdge));
        }
        QVERIFY(near(twips::geometry(form->Check1).top(), 6650));
        QVERIFY(near(twips::geometry(form->Check1).left(), 6980));
        // The browsers stay where and as small as they were.
        QCOMPARE(form->WebBrowser2->width(), 1);

        form->layoutForOuterSize(1000, 1000);  // too small: heights would be negative
        QVERIFY(near(twips::geometry(form->RichTextBox1).height(), 6400));
    }

    void popupMenuOnlyOnThePaper()
    {
        auto form = makeForm();
        form->open();
        QTest::mouseClick(form->RichTextBox2->viewport(), Qt::RightButton);
        QVERIFY(!form->yjcd->isVisible());
        QTest::mouseClick(form->RichTextBox1->viewport(), Qt::LeftButton);
        QVERIFY(!form->yjcd->isVisible());
        QTest::mouseClick(form->RichTextBox1->viewport(), Qt::RightButton);
        QTRY_VERIFY(form->yjcd->isVisible());
        QStringList captions;
        for (QAction* action : form->yjcd->actions())
            captions << (action->isSeparator() ? QStringLiteral("-") : action->text());
        QCOMPARE(captions,
                 (QStringList{u(u"保存"), u(u"撤销"), "-", u(u"剪切"), u(u"复制"), u(u"粘贴"), u(u"删除"),
                              "-", u(u"全选")}));
        form->yjcd->hide();
    }

    void editingCommands()
    {
        mainPaper_ = u(u"第一行\r\n第二行");
        auto form = makeForm();
        form->open();
        form->qx_Click();
        QCOMPARE(form->RichTextBox1->selText(), mainPaper_);
        form->jq_Click();
        QCOMPARE(form->RichTextBox1->text(), QString());
        form->nt_Click();
        form->nt_Click();  // pastes at the caret, the selection being empty
        QCOMPARE(form->RichTextBox1->text(), mainPaper_ + mainPaper_);
        form->qx_Click();
        form->sc_Click();
        QCOMPARE(form->RichTextBox1->text(), QString());
    }

    void compareMarksAndReports()
    {
        // 甲乙丙丁戊己庚。 at 0 and, after a line break, at 19.
        mainPaper_ = u(u"甲乙丙丁戊己庚。其他的文字在这里。\r\n甲乙丙丁戊己庚。");
        auto form = makeForm();
        form->open();
        RichEditor* paper = form->RichTextBox1;
        form->RichTextBox2->setText(u(u"甲乙丙丁戊己庚。没有的句子在此。"));
        form->Command1_Click();
        QCOMPARE(form->Label1->text(), report(27, 1, 1, 8, 30, 50));
        QCOMPARE(colorAt(paper, 0), kRed);
        QCOMPARE(colorAt(paper, 7), kRed);
        QCOMPARE(colorAt(paper, 8), kBlack);
        QCOMPARE(colorAt(paper, 19), kRed);
        QCOMPARE(colorAt(paper, 26), kRed);

        // Ticked: the earlier marks stay and the totals are shown; P2 is this run's.
        form->Check1->setChecked(true);
        form->RichTextBox2->setText(u(u"其他的文字在这里。"));
        form->Command1_Click();
        QCOMPARE(form->Label1->text(), report(27, 1, 2, 17, 63, 100));
        QCOMPARE(colorAt(paper, 0), kRed);
        QCOMPARE(colorAt(paper, 8), kRed);

        // Unticked: marks reset, this run alone.
        form->Check1->setChecked(false);
        form->RichTextBox2->setText(u(u"完全不相关的内容。"));
        form->Command1_Click();
        QCOMPARE(form->Label1->text(), report(27, 0, 0, 0, 0, 0));
        QCOMPARE(colorAt(paper, 0), kBlack);
        QCOMPARE(colorAt(paper, 8), kBlack);

        // Ticked again: the totals of every run, also the unticked ones.
        form->Check1->setChecked(true);
        form->Command1_Click();
        QCOMPARE(form->Label1->text(), report(27, 1, 2, 17, 63, 0));

        // An empty reference leaves the caption; unticked it still resets the marks.
        form->Check1->setChecked(false);
        form->RichTextBox2->setText(u(u"甲乙丙丁戊己庚。"));
        form->Command1_Click();
        form->RichTextBox2->setText(QString());
        const QString before = form->Label1->text();
        form->Command1_Click();
        QCOMPARE(form->Label1->text(), before);
        QCOMPARE(colorAt(paper, 0), kBlack);

        // The totals outlive a close; a new load starts from the design content.
        form->close();
        QVERIFY(!form->isLoaded());
        mainPaper_ = u(u"换了一篇新的论文。");
        form->open();
        QCOMPARE(form->RichTextBox1->text(), mainPaper_);
        QCOMPARE(form->RichTextBox2->text(), u(u"对比的文字"));
        QVERIFY(!form->Check1->isChecked());
        QCOMPARE(form->Label1->text(), QString());
        QCOMPARE(form->totals.chars, 8 + 9 + 8);
    }

    void compareOnALongPaperLetsEventsThroughAndIgnoresASecondClick()
    {
        // One paragraph of 20,000 sentences; the reference holds the 100th.
        QString paper;
        for (int i = 0; i < 20000; ++i)
            paper += QStringLiteral(u"这是论文中的第%1个句子，").arg(i, 7, 10, QChar(u'0'));
        mainPaper_ = paper;
        auto form = makeForm();
        form->open();
        const QString sentence = QStringLiteral(u"这是论文中的第%1个句子，").arg(100, 7, 10, QChar(u'0'));
        form->RichTextBox2->setText(sentence);
        const int at = static_cast<int>(paper.indexOf(sentence));
        form->RichTextBox1->setSelStart(0);
        form->RichTextBox1->setSelLength(4);
        form->RichTextBox1->setSelColor(kRed);  // an old mark, reset by the run

        bool clickedDuringRun = false;
        bool paperHeldStill = false;
        QTimer::singleShot(0, form.get(), [&] {
            clickedDuringRun = true;
            paperHeldStill = form->RichTextBox1->isReadOnly();
            form->Command1_Click();
        });
        form->Command1_Click();
        QVERIFY(clickedDuringRun);
        QVERIFY(paperHeldStill);
        QVERIFY(!form->RichTextBox1->isReadOnly());
        QCOMPARE(form->totals.sentences, 1);  // counted once: the second click did nothing
        QCOMPARE(form->totals.chars, sentence.size());
        QCOMPARE(form->RichTextBox1->selStart(), at);  // on the mark
        QCOMPARE(form->RichTextBox1->selLength(), sentence.size());
        QCOMPARE(colorAt(form->RichTextBox1, 0), kBlack);
        QCOMPARE(colorAt(form->RichTextBox1, at - 1), kBlack);
        QCOMPARE(colorAt(form->RichTextBox1, at), kRed);
        QCOMPARE(colorAt(form->RichTextBox1, at + static_cast<int>(sentence.size()) - 1), kRed);
        QCOMPARE(colorAt(form->RichTextBox1, at + static_cast<int>(sentence.size())), kBlack);
    }

    void rewriteFromThesaurus()
    {
        mainPaper_ = u(u"我们要提高水平\r\n继续提高");
        auto form = makeForm();
        form->open();
        dialogs::queueAnswer(dialogs::Answer::Ok);
        form->Command2_Click();
        const auto shown = dialogs::takeShownMessages();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, u(u"题库不存在，请下载最新题库！"));
        QCOMPARE(form->RichTextBox2->text(), u(u"对比的文字"));

        testdata::writeFile(cikuPath(), "\x81\x20\r\n");  // damaged: nothing changes
        dialogs::queueAnswer(dialogs::Answer::Ok);
        form->Command2_Click();
        QCOMPARE(dialogs::takeShownMessages().size(), 1);
        QCOMPARE(form->RichTextBox2->text(), u(u"对比的文字"));

        testdata::writeFile(cikuPath(), gbk::encode(u(u"1\r\n提高,提升\r\n")));
        form->Command2_Click();
        QCOMPARE(form->RichTextBox2->text(), u(u"我们要提升水平\r\n继续提升"));
        QCOMPARE(form->RichTextBox1->text(), mainPaper_);
        QCOMPARE(form->Label1->text(), u(u"正在查找替换第2个词语请耐心等待！"));
        QVERIFY(dialogs::takeShownMessages().isEmpty());
    }

    void downloadThesaurus()
    {
        server_.serve("/trvs/ck.asp", u(u"1##提高, 提升##增加,增添##a-b").toUtf8());
        auto form = makeForm();
        form->open();
        testdata::writeFile(cikuPath(), "old");

        dialogs::queueAnswer(dialogs::Answer::No);
        form->Command3_Click();
        QCOMPARE(server_.hits("/trvs/ck.asp"), 0);
        QCOMPARE(testdata::readFile(cikuPath()), QByteArray("old"));

        // The first download after a load already works: it waits for the page.
        dialogs::queueAnswer(dialogs::Answer::Yes);
        form->Command3_Click();
        QCOMPARE(form->Label1->text(), u(u"词库下载成功！"));
        QCOMPARE(testdata::readFile(cikuPath()), gbk::encode(u(u"1\r\n提高,提升\r\n增加,增添\r\na－b\r\n")));

        // An error page leaves the thesaurus as it was.
        server_.serve("/trvs/ck.asp", {.status = 404, .body = "<h1>Not Found</h1>"});
        dialogs::queueAnswer(dialogs::Answer::Yes);
        form->Command3_Click();
        QCOMPARE(form->Label1->text(), u(u"网络连接失败，词库下载不成功！"));
        QCOMPARE(testdata::readFile(cikuPath()), gbk::encode(u(u"1\r\n提高,提升\r\n增加,增添\r\na－b\r\n")));

        // So does a page that does not come in time.
        server_.serve("/trvs/ck.asp", {.body = "1##x,y", .delayMs = 4000});
        form->pageTimeoutMs = 500;
        dialogs::queueAnswer(dialogs::Answer::Yes);
        form->Command3_Click();
        QCOMPARE(form->Label1->text(), u(u"网络连接失败，词库下载不成功！"));
        QVERIFY(testdata::readFile(cikuPath()).startsWith("1\r\n"));
        QCOMPARE(dialogs::takeShownMessages().size(), 4);
    }

    // The page the project ships, through the real browser, into a thesaurus
    // the rewrite can use.
    void downloadShippedThesaurusPage()
    {
        FixtureServer vendor;
        vendor.serveDirectory(testdata::sourceDir() + QStringLiteral("/server"));
        Endpoints endpoints = Endpoints::builtIn();
        endpoints.vendorWebBase = vendor.base();
        Form2 form(endpoints, [] { return u(u"我们要提高水平。"); });
        form.programFolder = programFolder_.path();
        form.pageTimeoutMs = kPageTimeoutMs;
        form.open();
        dialogs::queueAnswer(dialogs::Answer::Yes);
        form.Command3_Click();
        QCOMPARE(form.Label1->text(), u(u"词库下载成功！"));

        const QString page = QString::fromUtf8(
            testdata::readFile(testdata::sourceDir() + QStringLiteral("/server/trvs/ck.asp")));
        const qsizetype body = page.indexOf(QStringLiteral("<body>")) + 6;
        const QStringList expected =
            page.mid(body, page.indexOf(QStringLiteral("</body>")) - body).split(QStringLiteral("##"));
        const Result<comparer::Thesaurus> read = comparer::readThesaurus(cikuPath());
        QCOMPARE(read->state, comparer::Thesaurus::State::Read);
        QCOMPARE(read->lines.size(), expected.size());
        QCOMPARE(read->lines, expected);

        form.Command2_Click();
        QVERIFY(form.Label1->text().startsWith(u(u"正在查找替换第")));
        QVERIFY(form.RichTextBox2->text().endsWith(u(u"。")));
        QVERIFY(form.RichTextBox2->text() != u(u"我们要提高水平。"));
    }

    void pageLoaderFillsReferenceWhileHidden()
    {
        server_.serve("/ref", "<html><body><p>参考页面的文字</p></body></html>");
        mainPaper_ = u(u"当时的论文");
        auto form = makeForm();
        form->loadPage(server_.url(QStringLiteral("/ref")));
        QVERIFY(form->isLoaded());
        QVERIFY(!form->isVisible());
        mainPaper_ = u(u"后来改过的论文");
        QTRY_COMPARE_WITH_TIMEOUT(form->RichTextBox2->text(), u(u"参考页面的文字"), kPageTimeoutMs);
        form->open();
        QCOMPARE(form->RichTextBox1->text(), u(u"当时的论文"));
        QCOMPARE(form->RichTextBox2->text(), u(u"参考页面的文字"));
    }

    void saveWritesRtfWhateverTheName()
    {
        mainPaper_ = u(u"重复的句子在这。重复的句子在这。");
        auto form = makeForm();
        form->open();
        form->RichTextBox2->setText(u(u"重复的句子在这。"));
        form->Command1_Click();  // the selection is now the second occurrence

        const QString name = programFolder_.filePath(QStringLiteral("paper.txt"));
        dialogs::queueFileName(QString());  // cancelled: nothing is written
        form->baocun_Click();
        QVERIFY(!QFile::exists(name));
        QCOMPARE(colorAt(form->RichTextBox1, 10), kRed);

        form->RichTextBox1->setSelStart(8);
        form->RichTextBox1->setSelLength(8);
        dialogs::queueFileName(name);
        form->baocun_Click();
        QVERIFY(testdata::readFile(name).startsWith("{\\rtf"));
        QVERIFY(dialogs::takeShownMessages().isEmpty());
        QCOMPARE(colorAt(form->RichTextBox1, 0), kRed);     // other marks stay red
        QCOMPARE(colorAt(form->RichTextBox1, 10), kBlack);  // the selection turned black

        dialogs::queueFileName(programFolder_.filePath(QStringLiteral("no/such/dir.rtf")));
        dialogs::queueAnswer(dialogs::Answer::Ok);
        form->baocun_Click();
        const auto shown = dialogs::takeShownMessages();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown[0].text.startsWith(u(u"保存失败")));
    }
};

QTEST_MAIN(TestForm2)
#include "test_form2.moc"
