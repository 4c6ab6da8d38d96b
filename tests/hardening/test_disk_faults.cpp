// A full disk and a read-only program folder under the real windows: saving a
// document, writing ciku.txt, downloading an update and unpacking an archive
// must fail visibly, keep the previous file whole and leave no partial file.

#include "comparer/ui/form2.h"
#include "hardening/scratchdisk.h"
#include "mainwindow/ui/form1.h"
#include "platform/core/gbk.h"
#include "platform/widgets/dialogs.h"
#include "platform/widgets/richeditor.h"
#include "support/fixtureserver.h"
#include "support/testdata.h"
#include "support/updatesigning.h"
#include "update/core/handover.h"
#include "update/core/ziparchive.h"
#include "update/ui/form8.h"
#include "updater/replacement.h"

#include <QAction>
#include <QLabel>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>

#include <memory>

using Kind = ScratchDisk::Kind;

namespace {

// Comfortably more than the 64 KiB disk holds.
constexpr int kLargeBytes = 200 * 1024;

QByteArray incompressible(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(7);
    generator.fillRange(reinterpret_cast<quint32*>(bytes.data()), size / 4);
    return bytes;
}

// A zip holding small.txt, then a large incompressible entry, then last.txt.
QString makeArchiveWithLargeEntry(const QString& path)
{
    const QString script =
        QStringLiteral("import zipfile,sys,random\n"
                       "random.seed(7)\n"
                       "z=zipfile.ZipFile(sys.argv[1],'w',zipfile.ZIP_DEFLATED)\n"
                       "z.writestr('small.txt', b'small')\n"
                       "z.writestr('large.bin', bytes(random.getrandbits(8) for _ in range(%1)))\n"
                       "z.writestr('last.txt', b'last')\n"
                       "z.close()\n")
            .arg(kLargeBytes);
    QProcess python;
    python.start(QStringLiteral("python3"), {QStringLiteral("-c"), script, path});
    python.waitForFinished(60000);
    return python.exitCode() == 0 ? path : QString();
}

void addKinds()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("full disk") << int(Kind::Full);
    QTest::newRow("read-only folder") << int(Kind::ReadOnly);
}

}  // namespace

class TestDiskFaults : public QObject {
    Q_OBJECT
private slots:
    void init() { dialogs::reset(); }

    void savingADocument_data() { addKinds(); }
    void savingADocument()
    {
        QFETCH(int, kind);
        ScratchDisk disk;
        MOUNT_OR_SKIP(disk, Kind(kind), [](const QString& path) {
            testdata::writeFile(path + "/paper.rtf", "{\\rtf1 previous}");
        });
        Form1 form(Endpoints::builtIn());
        form.RichTextBox1->setText(QString(40000, QChar(u'论')));

        dialogs::queueFileName(disk.file("paper.rtf"));
        dialogs::queueAnswer(dialogs::Answer::Ok);
        form.baocun->trigger();
        const QList<dialogs::Shown> shown = dialogs::takeShownMessages();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].text.startsWith(u"保存失败："_qs), qPrintable(shown[0].text));
        QCOMPARE(testdata::readFile(disk.file("paper.rtf")), "{\\rtf1 previous}");
        QCOMPARE(disk.entries(), QStringList{"paper.rtf"});

        // The window keeps working: the same text saves where there is room.
        QTemporaryDir elsewhere;
        dialogs::queueFileName(elsewhere.filePath("paper.rtf"));
        form.baocun->trigger();
        QVERIFY(dialogs::takeShownMessages().isEmpty());
        QVERIFY(QFileInfo(elsewhere.filePath("paper.rtf")).size() > kLargeBytes);
    }

    // A file small enough for the write buffer fails only when it is put in
    // place: the failure must still be seen, and the old file kept.
    void savingSmallFilesOnAFullDisk()
    {
        ScratchDisk disk;
        MOUNT_OR_SKIP(disk, Kind::Full, [](const QString& path) {
            testdata::writeFile(path + "/paper.rtf", "{\\rtf1 previous}");
            testdata::writeFile(path + "/up.inf", "previous");
            QFile filler(path + "/filler");  // takes every block left
            if (filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
                while (filler.write(QByteArray(4096, 'x')) == 4096) { }
        });
        Form1 form(Endpoints::builtIn());
        form.RichTextBox1->setText(u"一篇短论文。"_qs);
        dialogs::queueFileName(disk.file("paper.rtf"));
        dialogs::queueAnswer(dialogs::Answer::Ok);
        form.baocun->trigger();
        const QList<dialogs::Shown> shown = dialogs::takeShownMessages();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].text.startsWith(u"保存失败："_qs), qPrintable(shown[0].text));
        QCOMPARE(testdata::readFile(disk.file("paper.rtf")), "{\\rtf1 previous}");

        QVERIFY(!update::writeHandOverFile(disk.path(), disk.file("trovalis")));
        QCOMPARE(testdata::readFile(disk.file("up.inf")), "previous");
        QCOMPARE(disk.entries(), (QStringList{"filler", "paper.rtf", "up.inf"}));
    }

    void writingTheThesaurus_data() { addKinds(); }
    void writingTheThesaurus()
    {
        QFETCH(int, kind);
        ScratchDisk disk;
        MOUNT_OR_SKIP(disk, Kind(kind), [](const QString& path) {
            testdata::writeFile(path + "/ciku.txt", "1\r\nprevious\r\n");
        });
        // A thesaurus page whose ciku.txt is far larger than the disk.
        QString page = u"1"_qs;
        for (int i = 0; i < 5000; ++i)
            page += u"##提高,提升,增强"_qs + QString::number(i);
        FixtureServer server;
        server.serve("/trvs/ck.asp", page.toUtf8());
        Endpoints endpoints = Endpoints::builtIn();
        endpoints.vendorWebBase = server.base();
        Form2 form(endpoints, [] { return QString(); });
        form.programFolder = disk.path();
        form.open();

        dialogs::queueAnswer(dialogs::Answer::Yes);
        form.Command3_Click();
        QVERIFY2(form.Label1->text().startsWith(u"词库保存失败："_qs), qPrintable(form.Label1->text()));
        QCOMPARE(testdata::readFile(disk.file("ciku.txt")), "1\r\nprevious\r\n");
        QCOMPARE(disk.entries(), QStringList{"ciku.txt"});
    }

    void downloadingAnUpdate_data() { addKinds(); }
    void downloadingAnUpdate()
    {
        QFETCH(int, kind);
        const QByteArray manifest = "20170324\r\n1\r\nTemp.png\r\n";
        ScratchDisk disk;
        MOUNT_OR_SKIP(disk, Kind(kind), [&](const QString& path) {
            testdata::writeFile(path + "/trovalis", "the running program");
            testdata::writeFile(path + "/Temp.png", "previous download");
            testdata::writeFile(path + "/UpdateInfor.inf", manifest);
        });
        FixtureServer server;
        signing::serveSigned(server, "/trvs/UpdateInfor.inf", manifest, "text/plain");
        signing::serveSigned(server, "/trvs/Temp.png", incompressible(kLargeBytes));

        QWidget mainWindow;
        QVariant upl = 1;
        UpdateContext context;
        context.programFolder = disk.path();
        context.mainExecutable = disk.file("trovalis");
        context.updateBase = server.base() + "/trvs";
        context.checkTimeoutSeconds = 3;
        context.downloadTimeoutSeconds = 5;
        context.publicKey = signing::demoPublicKey();
        QPointer<Form8> window = new Form8(context, MainWindowLink{&mainWindow, &upl, [] {}});
        int ended = 0;
        window->endProgram = [&] { ++ended; };
        dialogs::queueAnswer(dialogs::Answer::Yes);  // the version question
        window->Form_Load();
        QVERIFY(window);
        dialogs::takeShownMessages();

        dialogs::queueAnswer(dialogs::Answer::Ok);
        window->cmdUpdate_Click();
        const QList<dialogs::Shown> shown = dialogs::takeShownMessages();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, u"下载错误，请重新运行下载程序！"_qs);
        if (Kind(kind) == Kind::Full)
            QVERIFY2(server.hits("/trvs/Temp.png") > 0, "the download was tried");
        QCOMPARE(testdata::readFile(disk.file("Temp.png")), "previous download");
        QCOMPARE(testdata::readFile(disk.file("trovalis")), "the running program");
        QCOMPARE(disk.entries(), (QStringList{"Temp.png", "UpdateInfor.inf", "trovalis"}));
        QVERIFY(window && window->isVisible());  // the user can try again
        QCOMPARE(ended, 0);
        delete window;
    }

    void unpackingAnArchive_data() { addKinds(); }
    void unpackingAnArchive()
    {
        QFETCH(int, kind);
        QTemporaryDir outside;
        const QString archive = makeArchiveWithLargeEntry(outside.filePath("update.xls"));
        QVERIFY2(!archive.isEmpty(), "python3 could not make the archive");
        ScratchDisk disk;
        MOUNT_OR_SKIP(disk, Kind(kind),
                      [](const QString& path) { testdata::writeFile(path + "/large.bin", "previous"); });

        const update::ExtractResult result = update::extractZip(disk.path(), archive);
        QVERIFY(result.opened);
        QVERIFY(!result.complete);
        QVERIFY(!result.error.isEmpty());
        QCOMPARE(testdata::readFile(disk.file("large.bin")), "previous");
        QVERIFY(!QFile::exists(disk.file("last.txt")));  // the walk ends at the failure
        const QStringList expected =
            Kind(kind) == Kind::Full ? QStringList{"large.bin", "small.txt"} : QStringList{"large.bin"};
        QCOMPARE(disk.entries(), expected);
    }

    // The hand-over file must be whole or absent: the updater acts on it.
    void handingOverInAReadOnlyFolder()
    {
        ScratchDisk disk;
        MOUNT_OR_SKIP(disk, Kind::ReadOnly, nullptr);
        const Result<void> written = update::writeHandOverFile(disk.path(), disk.file("trovalis"));
        QVERIFY(!written);
        QVERIFY(!written.error().isEmpty());
        QCOMPARE(disk.entries(), QStringList());
    }

    // The updater swaps the executables by one rename: in a read-only folder
    // the old program stays whole and the failure is told apart from a bad download.
    void replacingTheExecutableInAReadOnlyFolder()
    {
        ScratchDisk disk;
        MOUNT_OR_SKIP(disk, Kind::ReadOnly, [](const QString& path) {
            testdata::writeFile(path + "/trovalis", "the old program");
            testdata::writeFile(path + "/Temp.png", "the new program");
        });
        const updater::HandOver handOver{"Temp.png", disk.file("trovalis")};
        QCOMPARE(updater::replaceMainExecutable(disk.path(), handOver), updater::Replacement::Failed);
        QCOMPARE(testdata::readFile(disk.file("trovalis")), "the old program");
        QCOMPARE(testdata::readFile(disk.file("Temp.png")), "the new program");
    }
};

QTEST_MAIN(TestDiskFaults)
#include "test_disk_faults.moc"
