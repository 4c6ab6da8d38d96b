// trovalis-cli manifest, unzip and verify, through the real binary.

#include "platform/core/gbk.h"
#include "support/clirunner.h"
#include "support/testdata.h"
#include "support/updatesigning.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

clirunner::Run cli(const QStringList& args) { return clirunner::run(args); }

}  // namespace

class TestCliUpdate : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { SKIP_WITHOUT_CLI(); }

    void manifest()
    {
        QTemporaryDir dir;
        testdata::writeFile(
            dir.filePath("m.inf"),
            gbk::encode(u"2017 0324 测试\r\n3\r\nTemp.png\r\n词库.xls\r\n../evil\r\nnot named\r\n"));
        const clirunner::Run run = cli({"manifest", dir.filePath("m.inf")});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, u"20170324\nnewer\nTemp.png\n词库.xls\n../evil\n"_qs);
        QVERIFY(run.err.contains("../evil"));

        testdata::writeFile(dir.filePath("same.inf"), "20170323\r\n0\r\n");
        QCOMPARE(cli({"manifest", dir.filePath("same.inf")}).out, "20170323\nnot newer\n");
        QCOMPARE(cli({"manifest", dir.filePath("missing.inf")}).exitCode, 1);
        QCOMPARE(cli({"manifest"}).exitCode, 2);
    }

    void unzip()
    {
        QTemporaryDir dir;
        QProcess python;
        python.setWorkingDirectory(dir.path());
        python.start("python3",
                     {"-c",
                      "import zipfile\n"
                      "z=zipfile.ZipFile('ok.zip','w'); z.writestr('a/b.txt','b'); z.close()\n"
                      "z=zipfile.ZipFile('evil.zip','w'); z.writestr('../../x.txt','x'); "
                      "z.writestr('good.txt','g'); z.close()\n"});
        QVERIFY(python.waitForFinished(30000) && python.exitCode() == 0);

        clirunner::Run run = cli({"unzip", dir.filePath("ok.zip"), dir.filePath("out")});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out + run.err, QString());
        QCOMPARE(testdata::readFile(dir.filePath("out/a/b.txt")), "b");

        run = cli({"unzip", dir.filePath("evil.zip"), dir.filePath("deep/out")});
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.err.contains("../../x.txt"));
        QCOMPARE(testdata::readFile(dir.filePath("deep/out/good.txt")), "g");
        QVERIFY(!QFile::exists(dir.filePath("x.txt")) && !QFile::exists(dir.filePath("../x.txt")));

        testdata::writeFile(dir.filePath("junk.zip"), "junk");
        run = cli({"unzip", dir.filePath("junk.zip"), dir.filePath("j")});
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.err.count('\n'), 1);
    }

    // The same check as the update client, on files a vendor signed with minisign.
    void verify()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("Temp.png");
        const QString key = signing::demoPublicKey();
        testdata::writeFile(file, "new program");
        testdata::writeFile(file + ".minisig", signing::signAs("Temp.png", "new program"));
        clirunner::Run run = cli({"verify", file, "--key", key});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, "good\n");
        QCOMPARE(cli({"verify", "--key", signing::demoPublicKeyFile(), file}).out, "good\n");

        testdata::writeFile(file, "new program, changed");
        run = cli({"verify", file, "--key", key});
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.out, QString());
        QCOMPARE(run.err.count('\n'), 1);
        QVERIFY2(run.err.contains(u"文件内容与签名不符"_qs), qPrintable(run.err));

        // The vendor's signature of another file does not pass for this one.
        testdata::writeFile(file + ".minisig", signing::signAs("data.xls", "new program, changed"));
        run = cli({"verify", file, "--key", key});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains("data.xls"), qPrintable(run.err));

        QFile::remove(file + ".minisig");
        run = cli({"verify", file, "--key", key});
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.err.contains(".minisig"));

        QCOMPARE(cli({"verify", file, "--key", "RWnotakey"}).exitCode, 1);
        QCOMPARE(cli({"verify", dir.filePath("missing"), "--key", key}).exitCode, 1);
        QCOMPARE(cli({"verify"}).exitCode, 2);
    }
};

QTEST_GUILESS_MAIN(TestCliUpdate)
#include "test_cli_update.moc"
