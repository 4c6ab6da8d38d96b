// The update window against a real update server on 127.0.0.1: the loading
// sequence's outcomes, the download run with its archives and hand-over, an
// end-to-end update in which the real `up` replaces the executable, and every
// way an update can lack the vendor's signature. Signatures are made by the
// real minisign tool.

#include "platform/core/gbk.h"
#include "platform/widgets/dialogs.h"
#include "support/fixtureserver.h"
#include "support/testdata.h"
#include "support/updatesigning.h"
#include "update/ui/form8.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using dialogs::Answer;

namespace {

const QByteArray kLog = gbk::encode(u"新版本修正了若干问题\r\n第二行");

QByteArray makeZip(const QString& folder)
{
    QProcess zip;
    zip.setWorkingDirectory(folder);
    testdata::writeFile(folder + "/inside.txt", "unpacked");
    zip.start("python3",
              {"-c", "import zipfile; z=zipfile.ZipFile('a.zip','w'); z.write('inside.txt'); z.close()"});
    zip.waitForFinished(30000);
    return testdata::readFile(folder + "/a.zip");
}

// One update window over a temporary program folder and a stand-in main window.
struct Setup {
    FixtureServer server;
    QTemporaryDir dir;
    QWidget mainWindow;
    QVariant upl;
    int reloads = 0;
    int ended = 0;

    Setup()
    {
        dialogs::reset();
        server.serve("/trvs/Uplog.inf", kLog, "text/plain");
    }
    QString file(const QString& name) const { return dir.filePath(name); }
    // The manifest, signed by the demo key.
    void manifest(const QByteArray& text)
    {
        signing::serveSigned(server, "/trvs/UpdateInfor.inf", text, "text/plain");
    }
    void serveSigned(const QString& name, const QByteArray& body)
    {
        signing::serveSigned(server, "/trvs/" + name, body);
    }

    QPointer<Form8> load()
    {
        UpdateContext context;
        context.programFolder = dir.path();
        context.mainExecutable = file("trovalis");
        context.updateBase = server.base() + "/trvs";
        context.checkTimeoutSeconds = 3;
        context.downloadTimeoutSeconds = 5;
        context.publicKey = signing::demoPublicKey();
        auto* window = new Form8(context, MainWindowLink{&mainWindow, &upl, [this] { ++reloads; }});
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->endProgram = [this] { ++ended; };
        QPointer<Form8> pointer(window);
        window->Form_Load();
        return pointer;
    }
};

bool closedSoon(const QPointer<Form8>& window)
{
    QTest::qWait(0);
    return QTest::qWaitFor([&] { return window.isNull(); }, 2000);
}

}  // namespace

class TestForm8 : public QObject {
    Q_OBJECT
private slots:
    void loading_data()
    {
        QTest::addColumn<QByteArray>("manifest");
        QTest::addColumn<bool>("fromMenu");
        QTest::addColumn<int>("answer");  // -1: no question expected
        QTest::addColumn<bool>("shown");
        QTest::newRow("same build at start-up") << QByteArray("20170323\r\n0\r\n") << false << -1 << false;
        QTest::newRow("same build from the menu") << QByteArray("20170323\r\n0\r\n") << true << -1 << true;
        QTest::newRow("newer, yes") << QByteArray("2017 0324beta\r\n0\r\n") << false << int(Answer::Yes)
                                    << true;
        QTest::newRow("newer, no") << QByteArray("20170324\r\n0\r\n") << false << int(Answer::No) << false;
        QTest::newRow("799 characters")
            << "20170324\r\n" + QByteArray(789, 'x') << false << int(Answer::Yes) << true;
        QTest::newRow("800 characters") << "20170324\r\n" + QByteArray(790, 'x') << false << -1 << true;
        QTest::newRow("no manifest") << QByteArray() << false << -1 << true;
    }
    void loading()
    {
        QFETCH(QByteArray, manifest);
        QFETCH(bool, fromMenu);
        QFETCH(int, answer);
        QFETCH(bool, shown);
        Setup s;
        if (!manifest.isEmpty())
            s.manifest(manifest);
        if (fromMenu)
            s.upl = 1;
        if (answer >= 0)
            dialogs::queueAnswer(Answer(answer));
        dialogs::queueAnswer(Answer::Ok);
        QPointer<Form8> window = s.load();
        const QList<dialogs::Shown> messages = dialogs::takeShownMessages();

        QCOMPARE(messages.size(), answer < 0 ? 0 : answer == int(Answer::No) ? 2 : 1);
        if (answer >= 0) {
            const QString version = gbk::decode(manifest.left(manifest.indexOf('\r')));
            QCOMPARE(messages[0].text,
                     u"已出最新版，是否在线从20170323版本更新到"_qs + version + u"版本 ？"_qs);
            QCOMPARE(messages[0].title, u"在线更新"_qs);
            QCOMPARE(messages[0].buttons, dialogs::Buttons::YesNo);
            QCOMPARE(s.upl.toInt(), 1);
        }
        if (answer == int(Answer::No))
            QCOMPARE(messages[1].text, u"您忽略本次更新，如需要更新请点击帮助——更新即可！"_qs);
        QCOMPARE(s.mainWindow.isEnabled(), answer != int(Answer::Yes));
        if (!shown) {
            QVERIFY(closedSoon(window));
            return;
        }
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->windowTitle(), u"自动升级程序2017.3.23"_qs);
        QCOMPARE(window->Text1->toPlainText(), u"新版本修正了若干问题"_qs);
        QCOMPARE(testdata::readFile(s.file("Uplog.inf")), kLog);
        delete window;
    }

    void downloadRun()
    {
        Setup s;
        s.upl = 1;
        s.manifest("20170323\r\n4\r\nTemp.png\r\ndata.xls\r\ndata.XLS\r\nmy.data.xls\r\n");
        QTemporaryDir work;
        const QByteArray zip = makeZip(work.path());
        s.serveSigned("Temp.png", "new program");
        for (const char* name : {"data.xls", "data.XLS", "my.data.xls"})
            s.serveSigned(name, zip);
        QPointer<Form8> window = s.load();
        QVERIFY(window);
        dialogs::queueAnswer(Answer::No);
        window->cmdUpdate_Click();

        QCOMPARE(testdata::readFile(s.file("inside.txt")), "unpacked");
        QVERIFY(!QFile::exists(s.file("data.xls")));
        QCOMPARE(testdata::readFile(s.file("data.XLS")), zip);
        QCOMPARE(testdata::readFile(s.file("my.data.xls")), zip);
        QCOMPARE(testdata::readFile(s.file("Temp.png")), "new program");
        QCOMPARE(testdata::readFile(s.file("up.inf")),
                 "1\r\nTemp.png\r\n" + gbk::encode(s.file("trovalis")) + "\r\n");
        const QList<dialogs::Shown> messages = dialogs::takeShownMessages();
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages[0].text, u"文件下载完毕，是否立即更新？（选择“否”则下次启动时自动更新！）"_qs);
        QCOMPARE(s.ended, 0);
        QVERIFY(closedSoon(window));
        QVERIFY(s.mainWindow.isEnabled());
        QVERIFY(s.reloads > 0);
    }

    void progressAndHandOver_data()
    {
        QTest::addColumn<int>("count");
        QTest::newRow("no files") << 0;
        QTest::newRow("three files") << 3;
    }
    void progressAndHandOver()
    {
        QFETCH(int, count);
        Setup s;
        s.upl = 1;
        QByteArray manifest = "20170323\r\n" + QByteArray::number(count) + "\r\n";
        for (int i = 0; i < count; ++i) {
            manifest += QByteArray::number(i) + ".dll\r\n";
            s.serveSigned(QString::number(i) + ".dll", "x");
        }
        s.manifest(manifest);
        QPointer<Form8> window = s.load();
        dialogs::queueAnswer(Answer::No);
        window->cmdUpdate_Click();
        QVERIFY(window);  // closed, deleted only once events run
        QCOMPARE(window->Label1->text(), "100");
        QCOMPARE(window->lblNumber->text(), count ? u"文件更新(3/3)"_qs : u"请点击“升级”进行文件更新！"_qs);
        QCOMPARE(window->lblScale->text(), count ? "100%" : "0%");
        QCOMPARE(window->filesDone, count);
        QCOMPARE(dialogs::takeShownMessages().size(), 1);  // the question, also for no files
        QVERIFY(QFile::exists(s.file("up.inf")));
        QVERIFY(closedSoon(window));
    }

    void brokenDownloadsAreNotHandedOver_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("declaredLength");
        QTest::newRow("truncated executable") << "Temp.png" << 100000;
        QTest::newRow("hostile name") << "../evil.dll" << -1;
    }
    void brokenDownloadsAreNotHandedOver()
    {
        QFETCH(QString, name);
        QFETCH(int, declaredLength);
        Setup s;
        s.upl = 1;
        s.manifest("20170323\r\n1\r\n" + name.toLatin1() + "\r\n");
        FixtureServer::Reply reply;
        reply.body = "partial";
        reply.declaredLength = declaredLength;
        reply.contentType = "application/octet-stream";
        s.server.setFallback([&](const QString&, const QString&) { return reply; });
        // The signature vouches for what did arrive: only the cut is wrong.
        s.server.serve("/trvs/Temp.png.minisig", signing::signAs("Temp.png", reply.body),
                       "application/octet-stream");
        testdata::writeFile(s.file("Temp.png"), "previous");
        QPointer<Form8> window = s.load();
        dialogs::queueAnswer(Answer::Ok);
        window->cmdUpdate_Click();
        const QList<dialogs::Shown> messages = dialogs::takeShownMessages();
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages[0].text, u"下载错误，请重新运行下载程序！"_qs);
        QVERIFY(!QFile::exists(s.file("up.inf")));
        QCOMPARE(testdata::readFile(s.file("Temp.png")), "previous");
        QVERIFY(!QFile::exists(s.dir.filePath("../evil.dll")));
        QVERIFY(!s.server.requests().join(' ').contains("evil"));
        QVERIFY(window && window->isVisible());  // the user can try again
        delete window;
    }

    // Closing the window while a download waits inside its event loop stops the
    // run first: no crash, no hand-over, the main window enabled again.
    void closingDuringDownload()
    {
        Setup s;
        s.upl = 1;
        s.manifest("20170323\r\n1\r\nTemp.png\r\n");
        FixtureServer::Reply slow;
        slow.body = "new program";
        slow.delayMs = 3000;
        s.server.serve("/trvs/Temp.png", slow);
        s.server.serve("/trvs/Temp.png.minisig", signing::signAs("Temp.png", slow.body),
                       "application/octet-stream");
        QPointer<Form8> window = s.load();
        s.mainWindow.setEnabled(false);
        QTimer::singleShot(300, window, [&] { window->cmdExit->click(); });
        QElapsedTimer clock;
        clock.start();
        window->cmdUpdate_Click();
        QVERIFY(clock.elapsed() < 2500);
        QVERIFY(closedSoon(window));
        QVERIFY(dialogs::takeShownMessages().isEmpty());
        QVERIFY(!QFile::exists(s.file("up.inf")));
        QVERIFY(!QFile::exists(s.file("Temp.png")));
        QVERIFY(s.mainWindow.isEnabled());
    }

    // A manifest the vendor's key did not vouch for counts as no answer: the
    // window comes up with the log and asks nothing, also at start-up, and no
    // local copy is written for a later download run to act on.
    void unsignedManifest_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::newRow("no signature") << "missing";
        QTest::newRow("the signature of another manifest") << "other manifest";
        QTest::newRow("signed by another key") << "other key";
        QTest::newRow("an error page for the signature") << "error page";
        QTest::newRow("the manifest's bytes signed as another file") << "signed as another file";
    }
    void unsignedManifest()
    {
        QFETCH(QString, fault);
        Setup s;
        const QByteArray manifest = "20170324\r\n1\r\nTemp.png\r\n";
        s.server.serve("/trvs/UpdateInfor.inf", manifest, "text/plain");
        QTemporaryDir keys;
        if (fault == "other manifest")
            s.server.serve("/trvs/UpdateInfor.inf.minisig",
                           signing::signAs("UpdateInfor.inf", "20170323\r\n0\r\n"));
        if (fault == "other key")
            s.server.serve(
                "/trvs/UpdateInfor.inf.minisig",
                signing::sign(manifest, signing::makeKeyPair(keys.path()).secretKey, {}, "UpdateInfor.inf"));
        if (fault == "signed as another file")
            s.server.serve("/trvs/UpdateInfor.inf.minisig", signing::signAs("Uplog.inf", manifest));
        if (fault == "error page") {
            FixtureServer::Reply notFound;
            notFound.status = 404;
            notFound.body = "<html>404</html>";
            s.server.serve("/trvs/UpdateInfor.inf.minisig", notFound);
        }
        QPointer<Form8> window = s.load();
        QVERIFY(dialogs::takeShownMessages().isEmpty());
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->Text1->toPlainText(), u"新版本修正了若干问题"_qs);
        QCOMPARE(s.server.hits("/trvs/UpdateInfor.inf.minisig"), 1);
        QVERIFY(!QFile::exists(s.file("UpdateInfor.inf")));
        QVERIFY(s.mainWindow.isEnabled());
        delete window;
    }

    // A file without the vendor's good signature is never written, unpacked
    // or handed over: the earlier file stays, the user is told as for a failed
    // download, and the running program is left alone.
    void unsignedFiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("fault");
        for (const char* name : {"Temp.png", "data.xls"}) {
            for (const char* fault : {"tampered", "other key", "missing", "cut short", "older form, tampered",
                                      "signed as another file"})
                QTest::newRow(qPrintable(QStringLiteral("%1, %2").arg(name, fault))) << name << fault;
        }
    }
    void unsignedFiles()
    {
        QFETCH(QString, name);
        QFETCH(QString, fault);
        Setup s;
        s.upl = 1;
        s.manifest("20170323\r\n1\r\n" + name.toLatin1() + "\r\n");
        QTemporaryDir work;
        const QByteArray good = name == "Temp.png" ? QByteArray("new program") : makeZip(work.path());
        QByteArray served = good;
        QByteArray signature = signing::signAs(name, good);
        if (fault.endsWith("tampered"))
            served[served.size() / 2] = char(served.at(served.size() / 2) ^ 0x20);
        if (fault == "older form, tampered")
            signature = signing::sign(good, signing::demoSecretKey(), {"-l"}, name);
        if (fault == "other key")
            signature = signing::sign(good, signing::makeKeyPair(work.path()).secretKey, {}, name);
        if (fault == "signed as another file")  // the vendor's own bytes, served under another name
            signature = signing::signAs(name == "Temp.png" ? "data.xls" : "Temp.png", good);
        if (fault == "cut short")
            signature.chop(30);
        s.server.serve("/trvs/" + name, served, "application/octet-stream");
        if (fault != "missing")
            s.server.serve("/trvs/" + name + ".minisig", signature, "application/octet-stream");
        testdata::writeFile(s.file("Temp.png"), "previous");
        testdata::writeFile(s.file("trovalis"), "the running program");

        QPointer<Form8> window = s.load();
        QVERIFY(window);
        dialogs::queueAnswer(Answer::Ok);
        window->cmdUpdate_Click();
        const QList<dialogs::Shown> messages = dialogs::takeShownMessages();
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages[0].text, u"下载错误，请重新运行下载程序！"_qs);
        QCOMPARE(testdata::readFile(s.file("Temp.png")), "previous");
        QCOMPARE(testdata::readFile(s.file("trovalis")), "the running program");
        QCOMPARE(QDir(s.dir.path()).entryList(QDir::Files | QDir::Hidden),
                 (QStringList{"Temp.png", "trovalis", "UpdateInfor.inf", "Uplog.inf"}));
        QVERIFY(!QFile::exists(s.file("inside.txt")));
        QCOMPARE(s.ended, 0);
        QVERIFY(window && window->isVisible());  // the user can try again
        delete window;
    }

    // End to end: the real `up`, written out of this program's resource, replaces
    // the copied main executable by the downloaded one and starts it.
    void endToEnd_data()
    {
        QTest::addColumn<bool>("updateNow");
        QTest::newRow("update now") << true;
        QTest::newRow("at the next start") << false;
    }
    void endToEnd()
    {
        QFETCH(bool, updateNow);
        Setup s;
        QVERIFY(QFile::copy(TROVALIS_BIN, s.file("trovalis")));
        const QByteArray newBuild = testdata::readFile(MARKER_BIN);
        s.manifest("20170324\r\n1\r\nTemp.png\r\n");
        s.serveSigned("Temp.png", newBuild);

        dialogs::queueAnswer(Answer::Yes);  // the version question
        QPointer<Form8> window = s.load();
        QVERIFY(window && window->isVisible());
        dialogs::queueAnswer(updateNow ? Answer::Yes : Answer::No);
        window->cmdUpdate_Click();
        if (!updateNow) {
            QCOMPARE(s.ended, 0);
            QVERIFY(closedSoon(window));
            QVERIFY(QFile::exists(s.file("up.inf")));
            const int manifestHits = s.server.hits("/trvs/UpdateInfor.inf");
            window = s.load();  // the next start hands over before anything else
            QCOMPARE(s.server.hits("/trvs/UpdateInfor.inf"), manifestHits);
        }
        QCOMPARE(s.ended, 1);
        QVERIFY(QFileInfo(s.file("up")).isExecutable());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(s.file("started.txt")), 20000);
        QCOMPARE(testdata::readFile(s.file("trovalis")), newBuild);
        QVERIFY(!QFile::exists(s.file("up.inf")));
        QVERIFY(!QFile::exists(s.file("Temp.png")));
        delete window;
    }
};

QTEST_MAIN(TestForm8)
#include "test_form8.moc"
