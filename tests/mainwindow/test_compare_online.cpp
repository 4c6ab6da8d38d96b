// The online comparison through the real window (offscreen) and the real
// WebEngine view, against a fixture search server on 127.0.0.1.

#include "mainwindow/ui/form1.h"
#include "platform/browser/browserview.h"
#include "platform/widgets/dialogs.h"
#include "platform/widgets/richeditor.h"
#include "support/fixtureserver.h"
#include "support/resultpages.h"
#include "support/testdata.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace resultpages;

namespace {

// Three sentences: two of 38 characters and one of 10, each starting with an
// ASCII tag that passes the GBK encoder unchanged, so the server can tell them apart.
const QString kSentenceA = u"AAA"_qs + filler(35);
const QString kSentenceB = u"BBB"_qs + filler(35).mid(1) + u"乙"_qs;
const QString kSentenceC = u"CCC"_qs + u"结论显示相似度"_qs;

QString tagOf(const QString& query)
{
    for (const QString& tag : {u"wd=AAA"_qs, u"wd=BBB"_qs, u"wd=CCC"_qs})
        if (query.contains(tag))
            return tag.right(3);
    return {};
}

// Pages scoring 10 %, 20 % and 30 %: 38 of 380, 76 of 380, 30 of 100.
QByteArray pageFor(const QString& tag)
{
    QList<resultpages::Result> results = numberedResults(3);
    results[0].title = u"共同网站"_qs;
    results[1].title = tag + u"网站"_qs;
    const int highlighted = tag == u"AAA" ? 38 : tag == u"BBB" ? 76 : 30;
    results[2].snippet = highlight(highlighted);
    return page(body(results));
}

}  // namespace

class TestCompareOnline : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<FixtureServer> server;
    QTemporaryDir socketDir;
    std::unique_ptr<QTemporaryDir> dataDir;  // each test's own saved checks
    QList<dialogs::Shown> shown;

    std::unique_ptr<Form1> makeForm()
    {
        Endpoints e = Endpoints::builtIn();
        e.baiduBase = server->base();
        e.wenkuBase = server->base() + u"/wenku"_qs;
        e.zhiwangBase = server->base() + u"/zhiwang"_qs;
        e.vendorWebBase = server->base();
        auto form = std::make_unique<Form1>(e);
        form->executableName = u"trovalis-test"_qs;
        form->instanceServerName = socketDir.filePath(u"instance"_qs);
        form->getProcessList = [] { return QString(); };
        form->dataFolder = dataDir->path();
        form->endProgram = [] {};
        form->engine_Click(form->baidu);
        form->resize(900, 600);
        form->show();
        return form;
    }

    void analyse(Form1& form, const QString& paper)
    {
        form.RichTextBox1->setText(paper);
        form.Command1_Click();
    }

    // A window that has analysed sentences A, B and C; the server answers
    // each search with the page for its tag, other pages with A's.
    std::unique_ptr<Form1> analysedThreeSentences()
    {
        server->setFallback([](const QString& path, const QString& query) {
            FixtureServer::Reply r;
            r.body = pageFor(path == u"/s" ? tagOf(query) : u"AAA"_qs);
            return r;
        });
        auto form = makeForm();
        analyse(*form, kSentenceA + kSentenceB + kSentenceC);
        return form;
    }

    static QStringList searchesOf(const FixtureServer& s)
    {
        QStringList tags;
        for (const QString& r : s.requests())
            if (r.startsWith(u"/s?"_qs))
                tags << tagOf(r);
        return tags;
    }

private slots:
    void init()
    {
        dialogs::reset();
        dataDir = std::make_unique<QTemporaryDir>();
        server = std::make_unique<FixtureServer>();
        server->serveDirectory(testdata::sourceDir() + u"/server"_qs);
    }

    void automaticRunOverThreeSentences()
    {
        server->setFallback([](const QString& path, const QString& query) {
            FixtureServer::Reply r;
            r.body = path == u"/s" ? pageFor(tagOf(query)) : QByteArray();
            return r;
        });
        auto form = makeForm();
        analyse(*form, kSentenceA + u"\r\n"_qs + kSentenceB + kSentenceC);
        QCOMPARE(form->session.sentences, (QStringList{kSentenceA, kSentenceB, kSentenceC}));

        dialogs::queueAnswer(dialogs::Answer::Ok);
        form->Command3_Click();
        QVERIFY(form->Command4->isVisible());
        QVERIFY(!form->Command2->isEnabled());
        QVERIFY(!form->List1->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!form->session.autoRunning, 30000);

        const auto messages = dialogs::takeShownMessages();
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages[0].text, u"本次对比结束！"_qs);
        QCOMPARE(messages[0].icon, dialogs::Icon::Information);
        QCOMPARE(searchesOf(*server), (QStringList{u"AAA"_qs, u"BBB"_qs, u"CCC"_qs}));
        QCOMPARE(form->Label2->text(), u"本句相似度：30%\r\n\r\n目前总体相似度：20%"_qs);
        QCOMPARE(form->Label1->text(), u"现在正在对比第 3 句！共 3 句。"_qs);
        QCOMPARE(form->session.similaritySum, 60.0);
        QCOMPARE(form->session.pageCount, 4);
        QCOMPARE(form->session.nextIndex, 3);
        QVERIFY(!form->Command4->isVisible());
        QVERIFY(form->Command3->isVisible());
        QVERIFY(form->Command2->isEnabled());
        QCOMPARE(form->session.resultTitles[0], u"共同网站"_qs);
        QCOMPARE(form->session.resultTitles[21], u"CCC网站"_qs);

        // The site statistics over the run, pasted into the vendor's statistics page.
        form->statisticsPauseSeconds = 1.5f;
        form->Command5_Click();
        QCOMPARE(form->Command5->text(), u"统计相似性网站"_qs);
        QVERIFY(form->Command5->isEnabled());
        QCOMPARE(form->siteTotal, 9);
        QVERIFY(!form->session.resultsPending);
        QTRY_VERIFY_WITH_TIMEOUT(form->WebBrowser1->bodyHtml().contains(u"出现次数："_qs), 10000);
        const QString html = form->WebBrowser1->bodyHtml();
        QVERIFY2(html.contains(u"相似性网站统计"_qs), "the table landed outside the statistics page");
        QVERIFY(html.contains(u"相似性网站分析结果"_qs));
        QVERIFY(html.contains(u"出现次数：3"_qs));
        QVERIFY(server->hits(u"/trvs/tj.asp"_qs) >= 1);
        // The statistics page is no result page: it changes no figure.
        QCOMPARE(form->session.pageCount, 4);
    }

    void emptyPageIsRetried()
    {
        int aRequests = 0;
        server->setFallback([&aRequests](const QString& path, const QString& query) {
            FixtureServer::Reply r;
            const QString tag = tagOf(query);
            if (path == u"/s" && !(tag == u"AAA" && ++aRequests == 1))
                r.body = pageFor(tag);
            return r;
        });
        auto form = makeForm();
        analyse(*form, kSentenceA + kSentenceB);
        dialogs::queueAnswer(dialogs::Answer::Ok);
        form->Command3_Click();
        QTRY_VERIFY_WITH_TIMEOUT(form->Label1->text().startsWith(u"网络不给力"_qs), 10000);
        QCOMPARE(form->Label1->text(), u"网络不给力，正在重新对比第 0 句"_qs);
        QTRY_VERIFY_WITH_TIMEOUT(form->session.nextIndex == 2 && !form->WebBrowser1->busy()
                                     && form->Label2->text().startsWith(u"本句相似度：20%"_qs),
                                 15000);
        form->Command4_Click();
        QCOMPARE(searchesOf(*server).mid(0, 3), (QStringList{u"AAA"_qs, u"AAA"_qs, u"BBB"_qs}));
        // The empty page was never counted, and neither is its retry.
        QCOMPARE(form->session.pageCount, 3);
        QCOMPARE(form->Label2->text(), u"本句相似度：20%\r\n\r\n目前总体相似度：15%"_qs);
    }

    void stopAndResumeContinueWhereTheRunStood()
    {
        server->setFallback([](const QString& path, const QString& query) {
            FixtureServer::Reply r;
            r.body = path == u"/s" ? pageFor(tagOf(query)) : QByteArray();
            return r;
        });
        auto form = makeForm();
        analyse(*form, kSentenceA + kSentenceB + kSentenceC);
        form->Command3_Click();
        QVERIFY(!form->Command1->isEnabled() && !form->Command5->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(form->session.pageCount == 2 && !form->WebBrowser1->busy(), 10000);
        form->Command4_Click();
        QVERIFY(form->Command1->isEnabled() && form->Command5->isEnabled() && form->List1->isEnabled());
        QVERIFY(!form->Command4->isVisible());

        // Ticks of a stopped run send nothing.
        QTest::qWait(2500);
        QCOMPARE(searchesOf(*server), QStringList{u"AAA"_qs});
        QCOMPARE(form->session.nextIndex, 1);

        form->Command3_Click();
        QTRY_COMPARE_WITH_TIMEOUT(searchesOf(*server), (QStringList{u"AAA"_qs, u"BBB"_qs}), 5000);
        form->Command4_Click();
    }

    void tickWaitsForTheBrowserAndIsNotReentered()
    {
        server->setFallback([](const QString& path, const QString& query) {
            FixtureServer::Reply r;
            r.body = path == u"/s" ? pageFor(tagOf(query)) : QByteArray();
            r.delayMs = 1500;
            return r;
        });
        auto form = makeForm();
        analyse(*form, kSentenceA + kSentenceB);
        form->Timer2.stop();
        form->Command2_Click();
        QVERIFY(form->WebBrowser1->busy());

        qint64 nestedTickMs = -1;
        QTimer::singleShot(200, [&] {
            QElapsedTimer nested;
            nested.start();
            form->Timer2_Timer();
            nestedTickMs = nested.elapsed();
        });
        QElapsedTimer tick;
        tick.start();
        form->Timer2_Timer();  // not running automatically: waits, then changes nothing
        QVERIFY2(tick.elapsed() >= 1000, "the tick returned while the page was still loading");
        QVERIFY(!form->WebBrowser1->busy());
        QVERIFY(nestedTickMs >= 0 && nestedTickMs < 100);
        QCOMPARE(form->session.nextIndex, 1);
        QCOMPARE(form->session.pageCount, 2);
        QCOMPARE(searchesOf(*server), QStringList{u"AAA"_qs});
    }

    void samePieceTwiceInARunIsScoredTwice()
    {
        server->setFallback([](const QString&, const QString& query) {
            FixtureServer::Reply r;
            r.body = pageFor(tagOf(query));
            return r;
        });
        auto form = makeForm();
        analyse(*form, kSentenceA + kSentenceA);
        dialogs::queueAnswer(dialogs::Answer::Ok);
        form->Command3_Click();
        QTRY_VERIFY_WITH_TIMEOUT(!form->session.autoRunning, 20000);
        QCOMPARE(dialogs::takeShownMessages().value(0).text, u"本次对比结束！"_qs);
        QCOMPARE(searchesOf(*server), (QStringList{u"AAA"_qs, u"AAA"_qs}));
        QCOMPARE(form->session.pageCount, 3);
        QCOMPARE(form->session.similaritySum, 20.0);
    }

    void unansweredPageIsGivenUpAndRetried()
    {
        int aRequests = 0;
        server->setFallback([&aRequests](const QString& path, const QString& query) {
            FixtureServer::Reply r;
            const QString tag = tagOf(query);
            if (path == u"/s")
                r.body = pageFor(tag);
            if (tag == u"AAA" && ++aRequests == 1)
                r.delayMs = 6000;  // longer than the step waits
            return r;
        });
        auto form = makeForm();
        form->pageWaitLimitMs = 1500;
        analyse(*form, kSentenceA);
        dialogs::queueAnswer(dialogs::Answer::Ok);
        int ticksDuringWait = 0;
        QTimer probe;
        connect(&probe, &QTimer::timeout, [&] { ++ticksDuringWait; });
        probe.start(100);
        form->Command3_Click();
        QTRY_VERIFY_WITH_TIMEOUT(form->Label1->text().startsWith(u"网络不给力"_qs), 10000);
        QVERIFY2(ticksDuringWait > 5, "the window did not handle events while waiting");
        QTRY_VERIFY_WITH_TIMEOUT(form->Label2->text().startsWith(u"本句相似度：10%"_qs), 10000);
        form->Command4_Click();
    }

    // Arrow keys in the list pick sentences as clicks do; the program's own
    // selection while comparing does not compare again.
    void keyboardPicksInTheList()
    {
        auto form = analysedThreeSentences();
        form->Command2_Click();  // shows the list, compares the first sentence
        QTRY_COMPARE_WITH_TIMEOUT(searchesOf(*server), QStringList{u"AAA"_qs}, 10000);
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        form->List1->setFocus();
        QTRY_VERIFY(form->List1->hasFocus());

        QTest::keyClick(form->List1, Qt::Key_Down);
        QCOMPARE(form->List1->currentRow(), 1);
        QCOMPARE(form->session.lastIndex, 1);
        QCOMPARE(form->session.nextIndex, 2);
        QCOMPARE(form->RichTextBox1->selText(), kSentenceB);
        QTRY_COMPARE_WITH_TIMEOUT(searchesOf(*server), (QStringList{u"AAA"_qs, u"BBB"_qs}), 10000);

        // The next comparison moves the selection itself, the list still focused.
        form->Command2_Click();
        QCOMPARE(form->List1->currentRow(), 2);
        QTRY_COMPARE_WITH_TIMEOUT(searchesOf(*server).size(), 3, 10000);
        QTest::qWait(300);
        QCOMPARE(searchesOf(*server), (QStringList{u"AAA"_qs, u"BBB"_qs, u"CCC"_qs}));
        QCOMPARE(form->session.nextIndex, 3);
    }

    void manualCompareListPickAndEngines()
    {
        auto form = analysedThreeSentences();

        // The first pick after an analysis only chooses the sentence.
        form->List1->setCurrentRow(2);
        form->List1_Click();
        QCOMPARE(form->session.nextIndex, 2);
        QVERIFY(!form->session.suppressListClick);
        QCOMPARE(server->requests().size(), 0);

        form->Command2_Click();
        QCOMPARE(form->session.lastIndex, 2);
        QCOMPARE(form->session.nextIndex, 3);
        QCOMPARE(form->Label1->text(), u"现在正在对比第 3 句！共 3 句。"_qs);
        QCOMPARE(form->RichTextBox1->selText(), kSentenceC);
        QCOMPARE(form->RichTextBox1->selColor(), QColor(255, 0, 0));
        QTRY_VERIFY_WITH_TIMEOUT(form->Label2->text().startsWith(u"本句相似度：30%"_qs), 10000);
        QCOMPARE(searchesOf(*server), QStringList{u"CCC"_qs});

        // CNKI Scholar gets the UTF-8 query; a later pick compares at once.
        form->engine_Click(form->zhiwang);
        QVERIFY(form->zhiwang->isChecked() && !form->baidu->isChecked());
        form->List1->setCurrentRow(0);
        form->List1_Click();
        QVERIFY(
            form->session.searchUrl.startsWith(server->base() + u"/zhiwang/result.aspx?q=AAA%E7%9A%84"_qs));
        QTRY_COMPARE_WITH_TIMEOUT(server->hits(u"/zhiwang/result.aspx"_qs), 1, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(form->Label2->text().startsWith(u"本句相似度：10%"_qs), 10000);

        // Longyuan has no query URL: the comparison re-opens the last page.
        const QString lastUrl = form->session.searchUrl;
        form->engine_Click(form->longyuan);
        form->Command2_Click();
        QCOMPARE(form->session.searchUrl, lastUrl);
        QCOMPARE(form->session.nextIndex, 2);
        QTRY_COMPARE_WITH_TIMEOUT(server->hits(u"/zhiwang/result.aspx"_qs), 2, 5000);

        // Past the last sentence: the closing message; an empty editor: the prompt.
        form->session.nextIndex = 3;
        dialogs::queueAnswer(dialogs::Answer::Ok);
        form->Command2_Click();
        QCOMPARE(dialogs::takeShownMessages().value(0).text, u"本次对比结束！"_qs);
        form->RichTextBox1->setText(QString());
        dialogs::queueAnswer(dialogs::Answer::Ok);
        form->Command2_Click();
        QCOMPARE(dialogs::takeShownMessages().value(0).text, u"请先输入关键字"_qs);
        QVERIFY(!form->List1->isVisible());
        QVERIFY(!form->session.autoRunning);
    }

    void realSavedResultPageThroughTheBrowser()
    {
        SHARED_FILE_OR_SKIP(path, "serp/test_web_no_related.html");
        server->serve(u"/s"_qs, testdata::readFile(path));
        auto form = makeForm();
        analyse(*form, u"一二三四五六七吧"_qs);
        form->Command2_Click();
        QTRY_VERIFY_WITH_TIMEOUT(
            form->Label2->isVisible() && form->Label2->text().startsWith(u"本句相似度："_qs), 20000);
        // The browser writes every result heading as <h3 class="t">: ten blocks,
        // whose links end in target="_blank" rather than }", so no title.
        QCOMPARE(form->session.pageCount, 2);
        QVERIFY(form->session.similaritySum > 0);
        int blocks = 0;
        for (int k = 0; k < 10; ++k)
            blocks += !form->session.resultBlocks[k].isEmpty();
        QCOMPARE(blocks, 10);
        QVERIFY(form->session.resultBlocks[0].contains(u"一二三四五六七八"_qs));
    }
};

QTEST_MAIN(TestCompareOnline)
#include "test_compare_online.moc"
