// A check the student can trust, through the real window (offscreen), the
// real WebEngine view and a loopback search service that starts answering
// with its verification page after a number of queries: the run pauses at
// the right piece and counts nothing of that page; the results of every
// piece are kept on disk, and a check stopped by closing the program goes on
// where it stood.

#include "analysis/savedcheck.h"
#include "hardening/scratchdisk.h"
#include "mainwindow/ui/form1.h"
#include "platform/browser/browserview.h"
#include "platform/core/numberformat.h"
#include "platform/widgets/dialogs.h"
#include "support/taggedcheck.h"
#include "support/testdata.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <memory>
#include <optional>

namespace {

constexpr int kPieces = 12;

// Twelve pieces of 38 characters, tagged P01 to P12.
QString paper() { return taggedcheck::paper(kPieces); }

// Pieces scoring 60 %, 25 % and 5 % in turn: red, orange and uncoloured.
double figureOf(const QString& tag)
{
    const int n = tag.mid(1).toInt();
    return n % 3 == 1 ? 60 : n % 3 == 2 ? 25 : 5;
}

QByteArray verificationPage()
{
    return QByteArrayLiteral(
        "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>百度安全验证</title></head>"
        "<body><div><p>网络不给力，请稍后重试</p><a href=\"/\">返回首页</a></div>"
        "<div><p>百度安全验证</p><p>请完成下方验证后继续操作</p>"
        "<p>拖动左侧滑块使图片为正</p></div></body></html>");
}

// The search service's block: ordinary pages for the first `after` queries
// (counted since the queries were last taken), then its verification page (as
// a 302 to a captcha path on the same server, or as a 200 answer to the query
// itself) until the switch `passed` is flipped.
struct Block {
    enum class Form { Redirect, Page };
    std::atomic<int> after{1 << 30};
    std::atomic<bool> passed{false};
    Form form = Form::Page;

    void install(taggedcheck::SearchService& service)
    {
        service.server().serve(u"/static/captcha/tuxing.html"_qs, verificationPage());
        service.setInterceptor([this](int n) -> std::optional<FixtureServer::Reply> {
            if (n <= after || passed)
                return std::nullopt;
            FixtureServer::Reply r;
            if (form == Form::Redirect) {
                r.status = 302;
                r.headers.append(qMakePair(QByteArray("Location"),
                                           QByteArray("/static/captcha/tuxing.html?ak=1&backurl=%2Fs")));
            } else {
                r.body = verificationPage();
            }
            return r;
        });
    }
};

void analyse(Form1& form) { taggedcheck::analyse(form, paper()); }

// Runs automatically to the end; the closing message is answered.
void runToTheEnd(Form1& form) { QVERIFY(taggedcheck::runToTheEnd(form)); }

// What a run left to see: Label2 and the colour of every list item.
struct Outcome {
    QString label2;
    QList<QVariant> colours;
};

Outcome outcomeOf(const Form1& form)
{
    Outcome o{form.Label2->text(), {}};
    for (int i = 0; i < form.List1->count(); ++i)
        o.colours << form.List1->item(i)->data(Qt::ForegroundRole);
    return o;
}

QString pauseText(int piece)
{
    return u"搜索引擎要求安全验证，对比已暂停：请在下方页面完成验证后，点击“启动自动对比”从第 "_qs
        + QString::number(piece) + u" 句继续。"_qs;
}

}  // namespace

class TestLastingCheck : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<taggedcheck::SearchService> service;
    std::unique_ptr<Block> block;
    QTemporaryDir profileDir;
    std::unique_ptr<QTemporaryDir> dataDir;
    std::optional<Outcome> unblocked;

    std::unique_ptr<Form1> makeForm(const QString& dataFolder)
    {
        return taggedcheck::formAgainst(*service, dataFolder);
    }

    // Label2 and colours of the same paper checked without any block.
    const Outcome& unblockedOutcome()
    {
        if (!unblocked) {
            QTemporaryDir data;
            auto form = makeForm(data.path());
            analyse(*form);
            runToTheEnd(*form);
            unblocked = outcomeOf(*form);
        }
        return *unblocked;
    }

    QString checkPath() const { return savedcheck::pathFor(savedcheck::folderIn(dataDir->path()), paper()); }

private slots:
    void initTestCase() { BrowserView::setKeptProfileFolder(profileDir.path()); }

    void init()
    {
        dialogs::reset();
        service = std::make_unique<taggedcheck::SearchService>(figureOf);
        block = std::make_unique<Block>();
        block->install(*service);
        dataDir = std::make_unique<QTemporaryDir>();
    }

    void unblockedRunColoursThePiecesByFigure()
    {
        const Outcome& o = unblockedOutcome();
        // 60 %, 25 %, 5 % in turn: overall 30 %, the last piece's 5 % shown.
        QCOMPARE(o.label2, u"本句相似度：5%\r\n\r\n目前总体相似度：30%"_qs);
        for (int i = 0; i < kPieces; ++i) {
            const QVariant expected = i % 3 == 0 ? QVariant(QColor(255, 0, 0))
                : i % 3 == 1                     ? QVariant(QColor(230, 120, 0))
                                                 : QVariant();
            QCOMPARE(o.colours[i].value<QColor>(), expected.value<QColor>());
            QCOMPARE(o.colours[i].isValid(), expected.isValid());
        }
    }

    void verificationPausesTheRunAtItsPiece_data()
    {
        QTest::addColumn<int>("form");
        QTest::newRow("302 to a captcha path") << int(Block::Form::Redirect);
        QTest::newRow("200 page with the markers") << int(Block::Form::Page);
    }

    void verificationPausesTheRunAtItsPiece()
    {
        QFETCH(int, form);
        const Outcome expected = unblockedOutcome();
        block->form = Block::Form(form);
        block->after = 5;
        service->takeQueried();
        auto f = makeForm(dataDir->path());
        analyse(*f);
        f->Command3_Click();
        QTRY_COMPARE_WITH_TIMEOUT(f->Label1->text(), pauseText(6), 30000);

        // Nothing of the verification page counted; the run stopped, at piece 6.
        QVERIFY(!f->session.autoRunning);
        QVERIFY(f->Command3->isVisible() && !f->Command4->isVisible());
        QCOMPARE(f->session.nextIndex, 5);
        QCOMPARE(f->session.pageCount, 6);
        QCOMPARE(f->session.similaritySum, 60.0 + 25 + 5 + 60 + 25);
        QVERIFY(!f->session.pieces[5].checked);
        QVERIFY(f->session.resultTitles[50].isEmpty() && f->session.resultBlocks[50].isEmpty());
        QVERIFY(!f->List1->item(5)->data(Qt::ForegroundRole).isValid());
        QVERIFY(f->WebBrowser1->isVisible());
        QVERIFY(f->WebBrowser1->bodyText().contains(u"拖动左侧滑块使图片为正"_qs));
        const QString label2 = f->Label2->text();

        // No retry follows: the ticks of the stopped run send nothing.
        QTest::qWait(2500);
        QCOMPARE(service->queries(), 6);
        QCOMPARE(f->Label1->text(), pauseText(6));

        // The user passes the check; the service then shows its results for
        // the query the block interrupted. That page is not scored: it would
        // be taken for the piece before.
        block->passed = true;
        f->WebBrowser1->navigate(service->server().url(u"/s?wd=P06"_qs));
        QTRY_VERIFY_WITH_TIMEOUT(
            !f->WebBrowser1->busy() && f->WebBrowser1->bodyText().contains(u"P06的网站"_qs), 15000);
        QTest::qWait(200);
        QCOMPARE(f->session.pageCount, 6);
        QCOMPARE(f->Label2->text(), label2);
        QCOMPARE(f->Label1->text(), pauseText(6));

        // "启动自动对比" sends piece 6 again and goes on to the end.
        runToTheEnd(*f);
        const Outcome after = outcomeOf(*f);
        QCOMPARE(after.label2, expected.label2);
        QCOMPARE(after.colours, expected.colours);
        QCOMPARE(f->session.pageCount, kPieces + 1);
    }

    void manualCompareAnsweredByVerification()
    {
        block->after = 0;
        auto f = makeForm(dataDir->path());
        analyse(*f);
        f->Command2_Click();
        QTRY_COMPARE_WITH_TIMEOUT(f->Label1->text(), pauseText(1), 15000);
        QCOMPARE(f->session.pageCount, 1);
        QCOMPARE(f->session.similaritySum, 0.0);
        QCOMPARE(f->session.nextIndex, 0);
        QVERIFY(!QFile::exists(checkPath()));

        // Passed: the next Compare sends piece 1 again and scores its page.
        block->passed = true;
        f->Command2_Click();
        QTRY_VERIFY_WITH_TIMEOUT(f->Label2->text().startsWith(u"本句相似度：60%"_qs), 15000);
        QCOMPARE(f->session.pageCount, 2);
        QCOMPARE(f->session.nextIndex, 1);
        QCOMPARE(f->List1->item(0)->data(Qt::ForegroundRole).value<QColor>(), QColor(255, 0, 0));
        // The piece's results, their links made absolute against the page's address.
        QCOMPARE(f->session.pieces[0].results.value(0),
                 (ResultLink{u"P01的网站"_qs, service->server().base() + u"/link?url=1"_qs}));
    }

    void closedMidRunGoesOnWhereItStood()
    {
        const Outcome expected = unblockedOutcome();
        {
            auto first = makeForm(dataDir->path());
            analyse(*first);
            first->Command3_Click();
            QTRY_VERIFY_WITH_TIMEOUT(first->session.pageCount >= 5, 30000);
            // Closed in the middle of the run.
        }
        const auto saved = savedcheck::read(checkPath());
        QVERIFY2(saved, qPrintable(saved.error()));
        const int checked = int(saved->checkedCount());
        QVERIFY(checked >= 4 && checked < kPieces);
        QVERIFY(!saved->finished);

        auto again = makeForm(dataDir->path());
        dialogs::queueAnswer(dialogs::Answer::Yes);
        analyse(*again);
        const auto asked = dialogs::takeShownMessages();
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked[0].text,
                 u"这篇论文上次检测到第 "_qs + QString::number(checked)
                     + u" 句（共 12 句），是否继续上次的检测？"_qs);
        QCOMPARE(asked[0].buttons, dialogs::Buttons::YesNo);
        QCOMPARE(again->Label1->text(),
                 u"已恢复上次的检测：已对比 "_qs + QString::number(checked) + u" 句，共 12 句。"_qs);
        QVERIFY(again->Label2->isVisible());
        QCOMPARE(again->Label2->text(), saved->label2);
        for (int i = 0; i < checked; ++i)
            QCOMPARE(again->List1->item(i)->data(Qt::ForegroundRole), expected.colours[i]);
        QCOMPARE(again->session.nextIndex, saved->nextIndex);

        runToTheEnd(*again);
        const Outcome after = outcomeOf(*again);
        QCOMPARE(after.label2, expected.label2);
        QCOMPARE(after.colours, expected.colours);
        // Each piece searched once over the two starts, but for the one in
        // flight when the first window closed.
        QVERIFY(service->queries() >= kPieces && service->queries() <= kPieces + 1);

        // A piece picked again after the end is scored, and the check stays finished.
        again->List1->setCurrentRow(0);
        again->List1_Click();
        QTRY_VERIFY_WITH_TIMEOUT(again->session.pageCounted && !again->WebBrowser1->busy(), 20000);

        // The finished check is kept and asks nothing.
        again->checkKeeper.waitUntilWritten();
        QVERIFY(savedcheck::read(checkPath())->finished);
        auto third = makeForm(dataDir->path());
        analyse(*third);
        QVERIFY(dialogs::takeShownMessages().isEmpty());
        QVERIFY(third->Label1->text().startsWith(u"本文共 "_qs));
        QCOMPARE(third->session.nextIndex, 0);
    }

    void answeringNoStartsAfreshAndReplacesTheSavedCheck()
    {
        {
            auto first = makeForm(dataDir->path());
            analyse(*first);
            first->Command2_Click();
            QTRY_VERIFY_WITH_TIMEOUT(first->session.pageCount == 2, 15000);
            first->Command2_Click();
            QTRY_VERIFY_WITH_TIMEOUT(first->session.pageCount == 3, 15000);
        }
        QCOMPARE(savedcheck::read(checkPath())->checkedCount(), 2);
        auto again = makeForm(dataDir->path());
        dialogs::queueAnswer(dialogs::Answer::No);
        analyse(*again);
        QCOMPARE(dialogs::takeShownMessages().size(), 1);
        QVERIFY(again->Label1->text().startsWith(u"本文共 "_qs));
        QCOMPARE(again->session.nextIndex, 0);
        QCOMPARE(again->session.pageCount, 1);
        QVERIFY(!again->List1->item(0)->data(Qt::ForegroundRole).isValid());
        again->Command2_Click();
        QTRY_VERIFY_WITH_TIMEOUT(again->session.pageCount == 2, 15000);
        again->checkKeeper.waitUntilWritten();
        QCOMPARE(savedcheck::read(checkPath())->checkedCount(), 1);
    }

    void unusableSavedChecksAskNothing_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("garbage") << QByteArray("\x89PNG\r\n\x1a\n\0\0garbage", 18);
        QTest::newRow("cut short") << QByteArray(
            "{\"format\":\"trovalis-check\",\"version\":1,\"analysedText\":\"P0");
        QTest::newRow("another version") << QByteArray("{\"format\":\"trovalis-check\",\"version\":7}");
    }

    void unusableSavedChecksAskNothing()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY(QDir().mkpath(savedcheck::folderIn(dataDir->path())));
        testdata::writeFile(checkPath(), bytes);
        auto f = makeForm(dataDir->path());
        analyse(*f);
        QVERIFY(dialogs::takeShownMessages().isEmpty());
        QVERIFY(f->Label1->text().startsWith(u"本文共 "_qs));
    }

    // A full disk or a read-only data folder: the run goes on and ends as
    // usual, Label1 says once that the check cannot be saved, and the check
    // saved earlier stays whole.
    void checkThatCannotBeSaved_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("full disk") << int(ScratchDisk::Kind::Full);
        QTest::newRow("read-only data folder") << int(ScratchDisk::Kind::ReadOnly);
    }

    void checkThatCannotBeSaved()
    {
        QFETCH(int, kind);
        ScratchDisk disk;
        QByteArray earlier;
        QString earlierPath;
        // An earlier check of this paper (one piece checked), saved while the disk had room.
        MOUNT_OR_SKIP(disk, ScratchDisk::Kind(kind), [&](const QString& path) {
            auto first = makeForm(path);
            analyse(*first);
            first->Command2_Click();
            QTRY_VERIFY_WITH_TIMEOUT(first->session.pageCount == 2, 15000);
            earlierPath = savedcheck::pathFor(savedcheck::folderIn(path), paper());
            first->checkKeeper.waitUntilWritten();
            earlier = testdata::readFile(earlierPath);
            if (ScratchDisk::Kind(kind) == ScratchDisk::Kind::Full) {
                QFile filler(QDir(path).filePath(u"filler"_qs));
                if (filler.open(QIODevice::WriteOnly))
                    while (filler.write(QByteArray(4096, 'x')) > 0 && filler.flush()) { }
            }
        });
        QVERIFY(!earlier.isEmpty());

        auto f = makeForm(disk.path());
        dialogs::queueAnswer(dialogs::Answer::No);
        analyse(*f);
        QCOMPARE(dialogs::takeShownMessages().size(), 1);
        int warnings = 0;
        QString last;
        QTimer watch;
        connect(&watch, &QTimer::timeout, [&] {
            const QString now = f->Label1->text();
            if (now != last && now.startsWith(u"检测结果无法保存"_qs))
                ++warnings;
            last = now;
        });
        watch.start(5);
        runToTheEnd(*f);
        f->checkKeeper.waitUntilWritten();
        QCoreApplication::processEvents();  // the failures' reports
        watch.stop();
        QCOMPARE(warnings, 1);
        QCOMPARE(outcomeOf(*f).label2, unblockedOutcome().label2);
        QCOMPARE(testdata::readFile(earlierPath), earlier);
        const QStringList left =
            QDir(savedcheck::folderIn(disk.path())).entryList(QDir::Files | QDir::Hidden);
        QCOMPARE(left, QStringList{QFileInfo(earlierPath).fileName()});
    }
};

QTEST_MAIN(TestLastingCheck)
#include "test_lasting_check.moc"
