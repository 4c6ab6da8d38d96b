// trovalis-cli query, score and stats, through the real binary.

#include "platform/core/endpoints.h"
#include "support/clirunner.h"
#include "support/resultpages.h"
#include "support/testdata.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace resultpages;

class TestCliOnline : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir;

    static clirunner::Run run(const QStringList& args) { return clirunner::run(args); }

    QString file(const QString& name, const QByteArray& bytes)
    {
        const QString path = dir.filePath(name);
        testdata::writeFile(path, bytes);
        return path;
    }

private slots:
    void initTestCase() { SKIP_WITHOUT_CLI(); }

    void query_data()
    {
        const Endpoints e = Endpoints::builtIn();
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("out");
        QTest::newRow("baidu by default") << QStringList{u"query"_qs, u"研究（2016）表明：“结论”。"_qs}
                                          << u"研究 2016 表明 结论  \n"_qs + e.baiduBase
                + u"/s?wd=%D1%D0%BE%BF%202016%20%B1%ED%C3%F7%20%BD%E1%C2%DB%20%20&rsv_bp=0&ch=&bar=&rsv_spt=3&tn=baidu\n"_qs;
        QTest::newRow("wenku") << QStringList{u"query"_qs, u"--engine"_qs, u"wenku"_qs, u"a_b"_qs}
                               << u"a_b\n"_qs + e.wenkuBase + u"/search?word=a%5Fb&od=0&fr=top_home\n"_qs;
        QTest::newRow("zhiwang") << QStringList{u"query"_qs, u"--engine"_qs, u"zhiwang"_qs, u"中 a"_qs}
                                 << u"中 a\n"_qs + e.zhiwangBase
                + u"/result.aspx?q=%E4%B8%AD a&rt=&rl=&udb=\n"_qs;
        QTest::newRow("skipped") << QStringList{u"query"_qs, u"。"_qs} << u"skipped\n"_qs;
    }
    void query()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, out);
        const clirunner::Run r = run(args);
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, out);
    }

    void score()
    {
        QList<Result> results = numberedResults(12);
        results[0].title = u"<em>高亮</em>标题"_qs;
        const QString page = file(u"page.html"_qs,
                                  body(results).toUtf8() + highlight(9).toUtf8() + highlight(12).toUtf8()
                                      + highlight(5).toUtf8());
        const clirunner::Run r = run({u"score"_qs, filler(38), page});
        QCOMPARE(r.exitCode, 0);
        QStringList expected{u"本句相似度：6%\r\n\r\n目前总体相似度：6%"_qs, u"0\t高亮标题"_qs};
        for (int k = 1; k < 10; ++k)
            expected << QString::number(k) + u"\t标题"_qs + QString::number(k + 1);
        QCOMPARE(r.out, expected.join(u'\n') + u'\n');
    }

    void scoreRealSavedPage()
    {
        SHARED_FILE_OR_SKIP(path, "serp/test_web_news.html");
        const clirunner::Run r = run({u"score"_qs, u"新冠"_qs, path});
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.out.startsWith(u"本句相似度："_qs));
    }

    void stats()
    {
        QStringList lines(20);
        lines[0] = u"甲"_qs;
        lines[1] = u"乙"_qs;
        lines[10] = u"丙"_qs;
        lines[11] = u"甲"_qs;
        const QString titles = file(u"titles.txt"_qs, lines.join(u'\n').toUtf8() + '\n');
        const clirunner::Run r = run({u"stats"_qs, titles});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, u"甲\t2\n丙\t1\n"_qs);
    }

    void badInput_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("query without sentence") << QStringList{u"query"_qs} << 2;
        QTest::newRow("unknown engine")
            << QStringList{u"query"_qs, u"--engine"_qs, u"longyuan"_qs, u"x"_qs} << 2;
        QTest::newRow("score without page") << QStringList{u"score"_qs, u"x"_qs} << 2;
        QTest::newRow("score, missing page")
            << QStringList{u"score"_qs, u"x"_qs, u"/nonexistent/p.html"_qs} << 1;
        QTest::newRow("stats, missing file") << QStringList{u"stats"_qs, u"/nonexistent/t.txt"_qs} << 1;
    }
    void badInput()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        const clirunner::Run r = run(args);
        QCOMPARE(r.exitCode, exitCode);
        QVERIFY(r.out.isEmpty());
        QCOMPARE(r.err.count(u'\n'), 1);
    }
};

QTEST_GUILESS_MAIN(TestCliOnline)
#include "test_cli_online.moc"
