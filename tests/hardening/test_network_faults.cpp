// The search and vendor servers misbehaving on 127.0.0.1 under the real
// windows: errors, truncated bodies, dropped connections, answers that never
// come and nobody listening. The program keeps working, tells the user and
// writes no file from a broken answer.

#include "comparer/ui/form2.h"
#include "mainwindow/ui/form1.h"
#include "platform/core/gbk.h"
#include "platform/widgets/dialogs.h"
#include "platform/widgets/richeditor.h"
#include "support/fixtureserver.h"
#include "support/resultpages.h"
#include "support/testdata.h"
#include "support/updatesigning.h"
#include "update/ui/form8.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QMutex>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace resultpages;

namespace {

enum class Fault { ServerError, Truncated, Dropped, Unanswered, NobodyListening };

void addFaults(bool withNobodyListening = true)
{
    QTest::addColumn<int>("fault");
    QTest::newRow("server error") << int(Fault::ServerError);
    QTest::newRow("truncated body") << int(Fault::Truncated);
    QTest::newRow("dropped connection") << int(Fault::Dropped);
    QTest::newRow("no answer") << int(Fault::Unanswered);
    if (withNobodyListening)
        QTest::newRow("nobody listening") << int(Fault::NobodyListening);
}

// The broken answer of `fault` in place of `good`; `unansweredMs` outlasts the
// waiting of the part under test; a truncated body keeps `kept` bytes (a third by default).
FixtureServer::Reply brokenReply(Fault fault, const QByteArray& good, int unansweredMs, qsizetype kept = -1)
{
    FixtureServer::Reply r;
    r.contentType = "text/html; charset=utf-8";
    switch (fault) {
    case Fault::ServerError:
        r.status = 500;
        r.body = "<html><body><h1>500 Internal Server Error</h1></body></html>";
        break;
    case Fault::Truncated:
        r.body = good.left(kept >= 0 ? kept : good.size() / 3);
        r.declaredLength = good.size();
        break;
    case Fault::Dropped:
        r.dropConnection = true;
        break;
    case Fault::Unanswered:
    case Fault::NobodyListening:
        r.body = good;
        r.delayMs = unansweredMs;
        break;
    }
    return r;
}

// A base URL where nothing listens: a server's port just after it has closed.
QString deadBase()
{
    FixtureServer gone;
    return gone.base();
}

// Sentences tagged with ASCII so that the server can tell which one is asked.
const QString kSentenceA = u"AAA"_qs + filler(35);
const QString kSentenceB = u"BBB"_qs + filler(35).mid(1) + u"乙"_qs;

QString tagOf(const QString& query)
{
    for (const QString& tag : {u"wd=AAA"_qs, u"wd=BBB"_qs})
        if (query.contains(tag))
            return tag.right(3);
    return {};
}

// 10 % for A (38 of 380 highlighted), 20 % for B.
QByteArray resultPageFor(const QString& tag)
{
    QList<resultpages::Result> results = numberedResults(3);
    results[2].snippet = highlight(tag == u"AAA" ? 38 : 76);
    return page(body(results));
}

}  // namespace

class TestNetworkFaults : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir;

private slots:
    void init() { dialogs::reset(); }

    // Each sentence's first search fails; the automatic run retries it and
    // ends with every sentence scored once, as if nothing had gone wrong.
    void searchFaultsAreRetried_data() { addFaults(false); }
    void searchFaultsAreRetried()
    {
        QFETCH(int, fault);
        FixtureServer server;
        QMutex mutex;  // the server answers on several threads
        QMap<QString, int> asked;
        server.setFallback([&](const QString& path, const QString& query) {
            const QString tag = tagOf(query);
            const QByteArray good = resultPageFor(tag);
            FixtureServer::Reply reply;
            reply.body = good;
            if (path != u"/s" || tag.isEmpty())
                reply.status = 404;
            QMutexLocker lock(&mutex);
            // A result page cut short in its head shows nothing to score. (One cut
            // among the results is scored on what arrived, as the browser shows it.)
            if (reply.status == 200 && ++asked[tag] == 1)
                return brokenReply(Fault(fault), good, 4000, good.indexOf("<body"));
            return reply;
        });
        Endpoints endpoints = Endpoints::builtIn();
        endpoints.baiduBase = server.base();
        Form1 form(endpoints);
        form.instanceServerName = dir.filePath("instance");
        form.endProgram = [] {};
        form.engine_Click(form.baidu);
        form.pageWaitLimitMs = 1500;
        form.show();
        form.RichTextBox1->setText(kSentenceA + u"\r\n"_qs + kSentenceB);
        form.Command1_Click();

        dialogs::queueAnswer(dialogs::Answer::Ok);
        form.Command3_Click();
        form.Timer2.setInterval(200);
        QTRY_VERIFY_WITH_TIMEOUT(!form.session.autoRunning, 60000);
        const QList<dialogs::Shown> shown = dialogs::takeShownMessages();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, u"本次对比结束！"_qs);
        QMutexLocker lock(&mutex);
        QVERIFY2(asked.value("AAA") >= 2 && asked.value("BBB") >= 2, "each failed search was retried");
        QCOMPARE(form.session.similaritySum, 30.0);
        QCOMPARE(form.session.pageCount, 3);  // two pages counted, no broken one
        QCOMPARE(form.Label2->text(), u"本句相似度：20%\r\n\r\n目前总体相似度：15%"_qs);
        QVERIFY(form.Command2->isEnabled());
    }

    // With nobody listening the run keeps retrying, says so, and stops when asked.
    void searchServerGone()
    {
        Endpoints endpoints = Endpoints::builtIn();
        endpoints.baiduBase = deadBase();
        Form1 form(endpoints);
        form.instanceServerName = dir.filePath("instance2");
        form.endProgram = [] {};
        form.engine_Click(form.baidu);
        form.show();
        form.RichTextBox1->setText(kSentenceA);
        // The check of the test before holds this sentence: a fresh check, not its results.
        dialogs::queueAnswer(dialogs::Answer::No);
        form.Command1_Click();
        form.Command3_Click();
        form.Timer2.setInterval(200);
        QTRY_VERIFY_WITH_TIMEOUT(form.Label1->text().startsWith(u"网络不给力"_qs), 20000);
        QVERIFY(form.session.autoRunning);
        form.Command4_Click();
        QVERIFY(!form.session.autoRunning);
        QTRY_VERIFY_WITH_TIMEOUT(form.Command2->isEnabled(), 5000);
        QCOMPARE(form.session.similaritySum, 0.0);
    }

    // The manifest check: a broken answer asks nothing, stores nothing and
    // gives up within its time-out.
    void manifestFaults_data() { addFaults(); }
    void manifestFaults()
    {
        QFETCH(int, fault);
        const QByteArray manifest = "20170324\r\n1\r\nTemp.png\r\n";
        FixtureServer server;
        server.serve("/trvs/UpdateInfor.inf", brokenReply(Fault(fault), manifest, 6000));
        server.serve("/trvs/Uplog.inf", brokenReply(Fault(fault), "log", 6000));
        QTemporaryDir folder;
        QWidget mainWindow;
        QVariant upl = 1;
        UpdateContext context;
        context.programFolder = folder.path();
        context.mainExecutable = folder.filePath("trovalis");
        context.updateBase = (Fault(fault) == Fault::NobodyListening ? deadBase() : server.base()) + "/trvs";
        context.checkTimeoutSeconds = 2;
        QElapsedTimer clock;
        clock.start();
        auto window = std::make_unique<Form8>(context, MainWindowLink{&mainWindow, &upl, [] {}});
        window->Form_Load();
        QVERIFY2(clock.elapsed() < 10000, "the check gave up in time");
        QVERIFY(dialogs::takeShownMessages().isEmpty());
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
        QVERIFY(mainWindow.isEnabled());
    }

    // The download run: the previous file stays, nothing is handed over, and
    // the user is told and can try again.
    void downloadFaults_data() { addFaults(); }
    void downloadFaults()
    {
        QFETCH(int, fault);
        const QByteArray manifest = "20170324\r\n1\r\nTemp.png\r\n";
        auto server = std::make_unique<FixtureServer>();
        signing::serveSigned(*server, "/trvs/UpdateInfor.inf", manifest, "text/plain");
        server->serve("/trvs/Temp.png", brokenReply(Fault(fault), QByteArray(50000, 'n'), 8000));
        // Signed as a whole: what breaks is the transfer, not the signature.
        server->serve("/trvs/Temp.png.minisig", signing::signAs("Temp.png", QByteArray(50000, 'n')),
                      "application/octet-stream");
        QTemporaryDir folder;
        testdata::writeFile(folder.filePath("Temp.png"), "previous download");
        QWidget mainWindow;
        QVariant upl = 1;
        UpdateContext context;
        context.programFolder = folder.path();
        context.mainExecutable = folder.filePath("trovalis");
        context.updateBase = server->base() + "/trvs";
        context.checkTimeoutSeconds = 3;
        context.downloadTimeoutSeconds = 2;
        context.publicKey = signing::demoPublicKey();
        QPointer<Form8> window = new Form8(context, MainWindowLink{&mainWindow, &upl, [] {}});
        dialogs::queueAnswer(dialogs::Answer::Yes);
        window->Form_Load();
        QVERIFY(window);
        dialogs::takeShownMessages();
        if (Fault(fault) == Fault::NobodyListening)
            server.reset();  // the server goes away between check and download

        dialogs::queueAnswer(dialogs::Answer::Ok);
        window->cmdUpdate_Click();
        const QList<dialogs::Shown> shown = dialogs::takeShownMessages();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, u"下载错误，请重新运行下载程序！"_qs);
        QCOMPARE(testdata::readFile(folder.filePath("Temp.png")), "previous download");
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
                 (QStringList{"Temp.png", "UpdateInfor.inf"}));
        QVERIFY(window && window->isVisible());
        delete window;
    }

    // The thesaurus page: a broken answer never becomes ciku.txt.
    void thesaurusFaults_data() { addFaults(); }
    void thesaurusFaults()
    {
        QFETCH(int, fault);
        QString page = u"1"_qs;
        for (int i = 0; i < 2000; ++i)
            page += u"##提高,提升"_qs + QString::number(i);
        FixtureServer server;
        server.serve("/trvs/ck.asp", brokenReply(Fault(fault), page.toUtf8(), 8000));
        Endpoints endpoints = Endpoints::builtIn();
        endpoints.vendorWebBase = Fault(fault) == Fault::NobodyListening ? deadBase() : server.base();
        QTemporaryDir folder;
        const QByteArray previous = gbk::encode(u"1\r\n原来,以前\r\n"_qs);
        testdata::writeFile(folder.filePath("ciku.txt"), previous);
        Form2 form(endpoints, [] { return QString(); });
        form.programFolder = folder.path();
        form.pageTimeoutMs = 3000;
        form.open();

        dialogs::queueAnswer(dialogs::Answer::Yes);
        form.Command3_Click();
        QCOMPARE(form.Label1->text(), u"网络连接失败，词库下载不成功！"_qs);
        QCOMPARE(testdata::readFile(folder.filePath("ciku.txt")), previous);
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"ciku.txt"});
    }
};

QTEST_MAIN(TestNetworkFaults)
#include "test_network_faults.moc"
