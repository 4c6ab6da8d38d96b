// trovalis-cli compare, rewrite and thesaurus-page, through the real binary.

#include "platform/core/gbk.h"
#include "support/clirunner.h"
#include "support/testdata.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString u(const char16_t* s) { return QString::fromUtf16(s); }

using clirunner::Run;

}  // namespace

class TestCliComparer : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir_;

    QString file(const QString& name, const QByteArray& bytes)
    {
        testdata::writeFile(dir_.filePath(name), bytes);
        return dir_.filePath(name);
    }

    static Run run(const QStringList& args) { return clirunner::run(args); }

private slots:
    void initTestCase() { SKIP_WITHOUT_CLI(); }

    void compare()
    {
        // LF in the files becomes CR LF, as the editor reports the text.
        const QString paper = file("paper.txt", u(u"\uFEFF甲乙丙丁戊己。\n甲乙丙丁戊己。").toUtf8());
        const QString reference = file("ref.txt", u(u"甲乙丙丁戊己.很好。").toUtf8());
        for (const QStringList& extra : {QStringList{}, QStringList{"--cumulative"}}) {
            const Run r = run(QStringList{"compare", paper, reference} + extra);
            QCOMPARE(r.exitCode, 0);
            QCOMPARE(r.out,
                     u(u"你的文章一共 16 字，重复 1 段， 1 句， 7 字\r\n"
                       u"        重复部分占你的文章的： 44 %\r\n"
                       u"        与参考文章的相似度为： 70 %\n"
                       u"0\t7\n9\t7\n"));
        }
        // An empty reference: no caption, no marks.
        const Run empty = run({"compare", paper, file("empty.txt", {})});
        QCOMPARE(empty.exitCode, 0);
        QCOMPARE(empty.out, QString());
    }

    void rewrite()
    {
        const QString thesaurus = file("ciku.txt", gbk::encode(u(u"1\r\n提高,提升,增强\r\n")));
        const QString paper = file("p.txt", u(u"要提高\n再提高").toUtf8());
        const Run a = run({"rewrite", thesaurus, paper, "--seed", "5"});
        const Run b = run({"rewrite", thesaurus, paper, "--seed", "5"});
        QCOMPARE(a.exitCode, 0);
        QCOMPARE(a.out, b.out);
        QVERIFY(a.out == u(u"要提升\r\n再提升") || a.out == u(u"要增强\r\n再增强"));
        QVERIFY(a.err.startsWith("found "));
    }

    void thesaurusPage()
    {
        const QString out = file("out.txt", "old");
        const Run ok =
            run({"thesaurus-page", file("body.html", u(u"1##提高,提升##增加,增添").toUtf8()), out});
        QCOMPARE(ok.exitCode, 0);
        QCOMPARE(ok.out, u(u"词库下载成功！\n"));
        QFile written(out);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), gbk::encode(u(u"1\r\n提高,提升\r\n增加,增添\r\n")));
    }

    // Hidden files are no source, a damaged one is listed as skipped, a
    // sentence found in two sources counts for both and once in the total.
    void library()
    {
        const QString folder = dir_.filePath("library");
        file("library/a.txt", u(u"第一篇文献里的一句话。另一句不在论文里。").toUtf8());
        file("library/sub/b.html", u(u"<p>网页上的另一句话。</p><p>第一篇文献里的一句话。</p>").toUtf8());
        file("library/.hidden.txt", u(u"中间的文字，").toUtf8());
        file("library/broken.docx", "PK\x03\x04junk");
        const QString paper =
            file("paper.txt",
                 u(u"开头。第一篇文献里的一句话。中间的文字，网页上的另一句话。\n第一篇文献里的一句话。")
                     .toUtf8());
        const Run r = run({"library", paper, folder});
        QCOMPARE(r.exitCode, 0);
        const QStringList lines = r.out.split(u'\n');
        QCOMPARE(lines.size(), 12);
        // 网页上的另一句话。CR LF 第一篇文献里的一句话 stands in b.html as 18
        // content characters in a row.
        QCOMPARE(lines.mid(0, 5).join(u'\n'),
                 u(u"你的文章一共 42 字，其中 31 字与文献库中 2 篇文献重复\r\n"
                   u"        重复部分占你的文章的： 74 %\r\n"
                   u"        连续13字以上相同：21 字（50 %）\n"
                   u"source\tsub/b.html\t31\t74\n"
                   u"source\ta.txt\t22\t52"));
        QVERIFY(lines[5].startsWith("skipped\tbroken.docx\t") && lines[5].size() > 25);
        QCOMPARE(lines.mid(6).join(u'\n'),
                 QStringLiteral("3\t11\n20\t9\n31\t11\nliteral\t20\t21\nruns\tsub/b.html\t21\t0\n"));
        // --run 0: whole sentences alone, the lines as they were before runs.
        const Run sentences = run({"library", "--run", "0", paper, folder});
        QCOMPARE(sentences.exitCode, 0);
        QStringList before = lines;
        before.removeAt(2);
        before[1].chop(1);
        QCOMPARE(sentences.out, before.mid(0, 8).join(u'\n') + u'\n');
    }

    // A copy with its punctuation changed and a word put in, one in
    // traditional characters, one rewritten from the thesaurus; --run and
    // --thesaurus change what is found.
    void libraryRuns()
    {
        const QString folder = dir_.filePath("runs");
        file("runs/a.txt",
             u(u"开头，高校扩招使毕业生就业压力逐年增大明显，另外，数字经济为传统产业转型升级提供了新动能。")
                 .toUtf8());
        file("runs/b.txt", u(u"研究表明适度运动能够提高睡眠质量和学习效率。").toUtf8());
        const QString thesaurus =
            file("runs-ciku.txt", gbk::encode(u(u"1\r\n研究,探究\r\n表明,显示\r\n提高,提升\r\n")));
        // 0 我的文字。 5 高校扩招、使毕业生就业压力逐年其实增大明显。 27 數字經濟…新動能。 47 探究显示…学习效率。
        const QString paper =
            file("runs-paper.txt",
                 u(u"我的文字。高校扩招、使毕业生就业压力逐年其实增大明显。"
                   u"數字經濟為傳統產業轉型升級提供了新動能。探究显示适度运动能够提升睡眠质量和学习效率。")
                     .toUtf8());
        const Run plain = run({"library", paper, folder});
        QCOMPARE(plain.exitCode, 0);
        QCOMPARE(plain.out,
                 u(u"你的文章一共 69 字，其中 0 字与文献库中 0 篇文献重复\r\n"
                   u"        重复部分占你的文章的： 0 %\r\n"
                   u"        连续13字以上相同：34 字（49 %）\n"
                   u"literal\t5\t15\nliteral\t27\t19\n"
                   u"runs\ta.txt\t34\t0\n"));
        const Run reworded = run({"library", "--run", "8", "--thesaurus", thesaurus, paper, folder});
        QCOMPARE(reworded.exitCode, 0);
        QCOMPARE(reworded.out,
                 u(u"你的文章一共 69 字，其中 0 字与文献库中 0 篇文献重复\r\n"
                   u"        重复部分占你的文章的： 0 %\r\n"
                   u"        连续8字以上相同：43 字（62 %），疑似改写：12 字（17 %）\n"
                   u"literal\t5\t15\nliteral\t27\t19\nliteral\t59\t9\n"
                   u"reworded\t47\t12\n"
                   u"runs\ta.txt\t34\t0\nruns\tb.txt\t9\t12\n"));
        const Run longest = run({"library", "--run", "50", paper, folder});
        QCOMPARE(longest.exitCode, 0);
        QVERIFY(longest.out.endsWith(u(u"        连续50字以上相同：0 字（0 %）\n")));
    }

    void badInput_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("compare: one file") << QStringList{"compare", "x"} << 2;
        QTest::newRow("compare: missing paper")
            << QStringList{"compare", "/nonexistent/a", "/nonexistent/b"} << 1;
        QTest::newRow("rewrite: missing thesaurus")
            << QStringList{"rewrite", "/nonexistent/ciku.txt", "@paper"} << 1;
        QTest::newRow("rewrite: damaged thesaurus") << QStringList{"rewrite", "@bad", "@paper"} << 1;
        QTest::newRow("rewrite: bad seed") << QStringList{"rewrite", "@bad", "@paper", "--seed", "x"} << 2;
        QTest::newRow("thesaurus-page: error page")
            << QStringList{"thesaurus-page", "@errorpage", "@out"} << 1;
        QTest::newRow("library: one argument") << QStringList{"library", "x"} << 2;
        QTest::newRow("library: missing folder")
            << QStringList{"library", "@paper", "/nonexistent/folder"} << 1;
        QTest::newRow("library: no document in the folder")
            << QStringList{"library", "@paper", "@emptydir"} << 1;
        QTest::newRow("library: run below 8")
            << QStringList{"library", "--run", "7", "@paper", "@emptydir"} << 2;
        QTest::newRow("library: run not a number")
            << QStringList{"library", "--run", "13x", "@paper", "@emptydir"} << 2;
        QTest::newRow("library: missing thesaurus")
            << QStringList{"library", "--thesaurus", "/nonexistent/ciku.txt", "@paper", "@emptydir"} << 1;
        QTest::newRow("library: damaged thesaurus")
            << QStringList{"library", "--thesaurus", "@bad", "@paper", "@emptydir"} << 1;
        QTest::newRow("thesaurus-page: unwritable")
            << QStringList{"thesaurus-page", "@goodpage", "/nonexistent/ciku.txt"} << 1;
    }
    void badInput()
    {
        QFETCH(QStringList, args);
        const QString out = file("kept.txt", "kept");
        for (QString& a : args) {
            if (a == "@paper")
                a = file("paper.txt", "text");
            if (a == "@bad")
                a = file("bad.txt", "\x81\x20\r\n");
            if (a == "@errorpage")
                a = file("error.html", "<h1>404 Not Found</h1>");
            if (a == "@goodpage")
                a = file("good.html", "1##a,b");
            if (a == "@emptydir") {
                a = dir_.filePath("emptydir");
                file("emptydir/notes.md", "no document");
            }
            if (a == "@out")
                a = out;
        }
        const Run r = run(args);
        QTEST(r.exitCode, "exitCode");
        QVERIFY(!r.err.trimmed().isEmpty());
        QFile kept(out);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("kept"));  // nothing half-written
    }
};

QTEST_APPLESS_MAIN(TestCliComparer)
#include "test_cli_comparer.moc"
