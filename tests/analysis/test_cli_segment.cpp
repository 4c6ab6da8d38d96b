// trovalis-cli segment and recut, through the real binary.

#include "support/clirunner.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <utility>

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

    // recut: the earlier pieces, one a line (CR LF, a tab kept), found in the
    // edited paper; an empty file keeps nothing.
    void recutKeepsTheEarlierPieces_data()
    {
        QTest::addColumn<QByteArray>("pieces");
        QTest::addColumn<QString>("expected");
        const QString caption = u"本文共 16 字，本次分析共分析出 %1 句，请多次点击进行对比！\n"_qs;
        QTest::newRow("two kept") << QByteArray("\xEF\xBB\xBF")
                + u"第一句话\t带制表符\r\n第二句话\r\n"_qs.toUtf8()
                                  << caption.arg(3)
                + u"new\t新的开头\nkept\t第一句话\t带制表符\nkept\t第二句话\n"_qs;
        QTest::newRow("none") << QByteArray()
                              << caption.arg(1) + u"new\t新的开头第一句话\t带制表符第二句话\n"_qs;
    }

    void recutKeepsTheEarlierPieces()
    {
        QFETCH(QByteArray, pieces);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const QString piecesFile = dir.filePath(u"pieces.txt"_qs);
        const QString paper = dir.filePath(u"paper.txt"_qs);
        for (const auto& [path, bytes] :
             {std::pair{piecesFile, pieces},
              std::pair{paper, u"新的开头\n第一句话\t带制表符第二句话"_qs.toUtf8()}}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        }
        const clirunner::Run process = clirunner::run({u"recut"_qs, piecesFile, paper});
        QCOMPARE(process.exitCode, 0);
        QCOMPARE(process.out, expected);

        QCOMPARE(clirunner::run({u"recut"_qs, piecesFile}).exitCode, 2);
        QCOMPARE(clirunner::run({u"recut"_qs, dir.filePath(u"absent.txt"_qs), paper}).exitCode, 1);
    }

    // precheck: a usage error, and a check that is absent, not JSON or cut
    // short, with one line each and nothing on stdout.
    void precheckRefusesWhatIsNoCheck()
    {
        QTemporaryDir dir;
        const QString paper = dir.filePath(u"paper.txt"_qs);
        const QString garbage = dir.filePath(u"garbage.json"_qs);
        const QString cut = dir.filePath(u"cut.json"_qs);
        for (const auto& [path, bytes] :
             {std::pair{paper, u"第一句话。"_qs.toUtf8()}, std::pair{garbage, QByteArray("not a check")},
              std::pair{cut, QByteArray("{\"analysedText\":\"第一")}}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        }
        QCOMPARE(clirunner::run({u"precheck"_qs, paper}).exitCode, 2);
        for (const QString& check : {dir.filePath(u"absent.json"_qs), garbage, cut}) {
            const clirunner::Run process = clirunner::run({u"precheck"_qs, check, paper});
            QCOMPARE(process.exitCode, 1);
            QVERIFY(process.out.isEmpty());
            QCOMPARE(process.err.count(u'\n'), 1);
        }
    }
};

QTEST_GUILESS_MAIN(TestCliSegment)
#include "test_cli_segment.moc"
