// Transfers against a real HTTP server on 127.0.0.1: only complete successes
// reach a file; error statuses, short bodies, dropped connections and silent
// servers leave the named file as it was.

#include "platform/core/gbk.h"
#include "support/fixtureserver.h"
#include "support/testdata.h"
#include "update/core/transfer.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

using namespace update;

class TestTransfer : public QObject {
    Q_OBJECT
private slots:
    void completeDownloadReplacesFile()
    {
        FixtureServer server;
        const QByteArray body = QByteArray(100000, 'z') + "end";
        server.serve("/trvs/Temp.png", body, "application/octet-stream");
        QTemporaryDir dir;
        testdata::writeFile(dir.filePath("Temp.png"), "old");
        TransferClient client;
        qint64 lastReceived = 0, lastTotal = 0;
        client.onProgress = [&](qint64 received, qint64 total) {
            lastReceived = received, lastTotal = total;
        };
        const Result<StoredFile> result =
            client.fetchToFile(server.url("/trvs/Temp.png"), dir.filePath("Temp.png"));
        QVERIFY2(result, qPrintable(result.error()));
        QCOMPARE(testdata::readFile(dir.filePath("Temp.png")), body);
        QCOMPARE(lastReceived, body.size());
        QCOMPARE(lastTotal, body.size());
    }

    void incompleteResponsesLeaveFile_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<qint64>("declaredLength");
        QTest::addColumn<bool>("drop");
        QTest::newRow("not found") << 404 << qint64(-1) << false;
        QTest::newRow("server error") << 500 << qint64(-1) << false;
        QTest::newRow("body shorter than Content-Length") << 200 << qint64(5000) << false;
        QTest::newRow("dropped connection") << 200 << qint64(-1) << true;
    }
    void incompleteResponsesLeaveFile()
    {
        QFETCH(int, status);
        QFETCH(qint64, declaredLength);
        QFETCH(bool, drop);
        FixtureServer server;
        FixtureServer::Reply reply;
        reply.status = status;
        reply.body = "broken page";
        reply.declaredLength = declaredLength;
        reply.dropConnection = drop;
        server.serve("/f.dll", reply);
        QTemporaryDir dir;
        testdata::writeFile(dir.filePath("f.dll"), "good old");
        TransferClient client;
        const Result<StoredFile> result = client.fetchToFile(server.url("/f.dll"), dir.filePath("f.dll"));
        QVERIFY(!result);
        QVERIFY(!result.error().isEmpty());
        QCOMPARE(testdata::readFile(dir.filePath("f.dll")), "good old");
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"f.dll"});  // no temporary left
        // A missing file is not created from a failed response either.
        QVERIFY(!client.fetchToFile(server.url("/f.dll"), dir.filePath("new.dll")));
        QVERIFY(!QFile::exists(dir.filePath("new.dll")));
    }

    void emptySuccess()
    {
        FixtureServer server;
        server.serve("/empty", QByteArray(), "application/octet-stream");
        QTemporaryDir dir;
        testdata::writeFile(dir.filePath("kept"), "content");
        TransferClient client;
        QVERIFY(client.fetchToFile(server.url("/empty"), dir.filePath("kept")));
        QCOMPARE(testdata::readFile(dir.filePath("kept")), "content");
        QVERIFY(client.fetchToFile(server.url("/empty"), dir.filePath("created")));
        QVERIFY(QFile::exists(dir.filePath("created")));
        QCOMPARE(QFileInfo(dir.filePath("created")).size(), 0);
    }

    void timeout()
    {
        FixtureServer server;
        FixtureServer::Reply slow;
        slow.body = "late";
        slow.delayMs = 2500;
        server.serve("/slow", slow);
        TransferClient client;
        client.setRequestTimeout(1);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(client.fetchText(server.url("/slow")), QString());
        QVERIFY(clock.elapsed() < 2400);
        client.setRequestTimeout(5);
        QCOMPARE(client.fetchText(server.url("/slow")), "late");
        client.setDeadline(1);  // a limit on the whole request, not only on silence
        QCOMPARE(client.fetchText(server.url("/slow")), QString());
    }

    void sizeLimit()
    {
        FixtureServer server;
        server.serve("/big", QByteArray(5000, 'x'), "text/plain");
        TransferClient client;
        client.setMaximumSize(1600);
        QVERIFY(!client.fetch(server.url("/big")));  // a failed fetch keeps no body at all
        client.setMaximumSize(5000);
        QVERIFY(client.fetch(server.url("/big")));
    }

    void textInNarrowCodePage()
    {
        FixtureServer server;
        server.serve("/trvs/Uplog.inf", gbk::encode(u"新增功能\r\n第二行"), "text/plain");
        TransferClient client;
        QCOMPARE(client.fetchText(server.url("/trvs/Uplog.inf")), u"新增功能\r\n第二行"_qs);
        QCOMPARE(client.fetchText(QUrl("http://127.0.0.1:1/none")), QString());
    }
};

QTEST_GUILESS_MAIN(TestTransfer)
#include "test_transfer.moc"
