// trovalis-cli segment, through the real binary.

#include "support/clirunner.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestCliSegment : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { SKIP_WITHOUT_CLI(); }

    void printsSummaryThenItems()
    {
        QTemporaryDir dir;
        const QString paper = dir.filePath(QStringLiteral("paper.txt"));
        QFile file(paper);
        QVERIFY(file.open(QIODevice::WriteOnly));
        // A BOM, LF line breaks and a tab at a line end, as an editor might save it.
        file.write("\xEF\xBB\xBF"
                   "Hello World!\n");
        file.write(QStringLiteral("研究表明\t\n").repeated(10).toUtf8());
        file.close();

        const clirunner::Run process = clirunner::run({QStringLiteral("segment"), paper});
        QCOMPARE(process.exitCode, 0);
        const QString expected =
            QStringLiteral("本文共 41 字，本次分析共分析出 2 句，请多次点击进行对比！\n"
                           "1-HelloWorld！研究表明研究表明研究表明研究表明研究表明研究表明研究表\n"
                           "2-明研究表明研究表明研究表明\n");
        QCOMPARE(process.out, expected);
    }

    void badInput_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("no paper") << QStringList{QStringLiteral("segment")} << 2;
        QTest::newRow("missing file")
            << QStringList{QStringLiteral("segment"), QStringLiteral("/nonexistent/paper.txt")} << 1;
    }

    void badInput()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        const clirunner::Run process = clirunner::run(args);
        QCOMPARE(process.exitCode, exitCode);
        QVERIFY(process.out.isEmpty());
        QVERIFY(!process.err.trimmed().isEmpty());
    }

    void invalidUtf8IsRefused()
    {
        QTemporaryDir dir;
        const QString paper = dir.filePath(QStringLiteral("gbk.txt"));
        QFile file(paper);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("\xD1\xD0\xBE\xBF");  // "研究" in GBK, not UTF-8
        file.close();
        const clirunner::Run process = clirunner::run({QStringLiteral("segment"), paper});
        QCOMPARE(process.exitCode, 1);
        QVERIFY(process.out.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCliSegment)
#include "test_cli_segment.moc"
