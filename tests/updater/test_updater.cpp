// The updater: its countdown, the atomic replacement of the main executable,
// and that the old executable stays when the new one is missing or empty.

#include "platform/core/gbk.h"
#include "platform/widgets/dialogs.h"
#include "support/testdata.h"
#include "update/core/handover.h"
#include "updater/replacement.h"
#include "updater/updaterform.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace updater;

namespace {

QString prepare(const QTemporaryDir& dir, const QString& exeName, const QByteArray* newExe)
{
    const QString exe = dir.filePath(exeName);
    testdata::writeFile(exe, "old program");
    QFile::setPermissions(exe, QFile::permissions(exe) | QFile::ExeOwner);
    if (newExe)
        testdata::writeFile(dir.filePath(update::kNewExecutableFile), *newExe);
    if (!update::writeHandOverFile(dir.path(), exe))
        qFatal("cannot write up.inf in %s", qPrintable(dir.path()));
    return exe;
}

}  // namespace

class TestUpdater : public QObject {
    Q_OBJECT
private slots:
    void init() { dialogs::reset(); }

    void replacement_data()
    {
        QTest::addColumn<bool>("haveNew");
        QTest::addColumn<QByteArray>("newContent");
        QTest::addColumn<int>("outcome");
        QTest::newRow("new executable") << true << QByteArray("new program") << int(Replacement::Replaced);
        QTest::newRow("missing new") << false << QByteArray() << int(Replacement::DownloadError);
        QTest::newRow("empty new") << true << QByteArray() << int(Replacement::DownloadError);
    }
    void replacement()
    {
        QFETCH(bool, haveNew);
        QFETCH(QByteArray, newContent);
        QFETCH(int, outcome);
        QTemporaryDir dir;
        const QString exe = prepare(dir, u"Trovalis 中文"_qs, haveNew ? &newContent : nullptr);
        const HandOver handOver = readHandOver(dir.path());
        QCOMPARE(handOver.mainExecutable, exe);  // a Chinese name survives the narrow code page
        QCOMPARE(int(replaceMainExecutable(dir.path(), handOver)), outcome);
        const bool replaced = outcome == int(Replacement::Replaced);
        QCOMPARE(testdata::readFile(exe), replaced ? newContent : QByteArray("old program"));
        QVERIFY(QFileInfo(exe).isExecutable());
        QCOMPARE(QFile::exists(dir.filePath("Temp.png")), haveNew && !replaced);
    }

    void countdownWithoutHandOver()
    {
        QTemporaryDir dir;
        testdata::writeFile(dir.filePath("other"), "x");
        updater::Form1 window;
        QCOMPARE(window.windowTitle(), u"自动升级程序"_qs);
        window.workingDirectory = dir.path();
        int ended = 0;
        QStringList started;
        window.endProgram = [&] { ++ended; };
        window.startProgram = [&](const QString& p) {
            started << p;
            return true;
        };
        window.Timer1.stop();
        window.Timer1_Timer();
        window.Timer1_Timer();
        QCOMPARE(ended, 0);
        window.Timer1_Timer();
        QCOMPARE(ended, 1);
        QVERIFY(started.isEmpty());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"other"});
    }

    void downloadErrorKeepsOldAndStartsIt()
    {
        QTemporaryDir dir;
        const QString exe = prepare(dir, "trovalis", nullptr);
        dialogs::queueAnswer(dialogs::Answer::Ok);
        updater::Form1 window;
        window.workingDirectory = dir.path();
        QStringList started;
        int ended = 0;
        window.endProgram = [&] { ++ended; };
        window.startProgram = [&](const QString& p) {
            started << p;
            return true;
        };
        QTRY_COMPARE_WITH_TIMEOUT(ended, 1, 6000);  // the real one-second timer, three ticks
        const QList<dialogs::Shown> shown = dialogs::takeShownMessages();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().text, u"下载错误，请重新运行下载程序！"_qs);
        QCOMPARE(shown.first().title, u"自动升级程序"_qs);
        QCOMPARE(started, QStringList{exe});
        QCOMPARE(testdata::readFile(exe), "old program");
        QVERIFY(!QFile::exists(dir.filePath("up.inf")));
    }
};

QTEST_MAIN(TestUpdater)
#include "test_updater.moc"
