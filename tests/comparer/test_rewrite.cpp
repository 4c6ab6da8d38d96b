// Thesaurus rewrite, ciku.txt reading, and the thesaurus page turned into ciku.txt.

#include "comparer/core/rewrite.h"
#include "comparer/core/thesauruspage.h"
#include "platform/core/gbk.h"
#include "support/testdata.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <QTest>
#include <unistd.h>

using comparer::RandomSource;

namespace {

QString u(const char16_t* s) { return QString::fromUtf16(s); }

// Hands out the given draws in order, then 0.
RandomSource draws(QList<double> values)
{
    auto queue = std::make_shared<QList<double>>(std::move(values));
    return [queue] { return queue->isEmpty() ? 0.0 : queue->takeFirst(); };
}

}  // namespace

class TestRewrite : public QObject {
    Q_OBJECT
private slots:
    void splitsThesaurusLines_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("CR LF") << "a,b\r\nc,d\r\n" << QStringList{"a,b", "c,d"};
        QTest::newRow("last line without end") << "a\r\nb" << QStringList{"a", "b"};
        QTest::newRow("lone CR ends a line") << "a\rb\r\n" << QStringList{"a", "b"};
        QTest::newRow("lone LF does not") << "a\nb\r\n" << QStringList{"a\nb"};
        QTest::newRow("empty lines kept") << "a\r\n\r\n\rb" << QStringList{"a", "", "", "b"};
        QTest::newRow("empty file") << "" << QStringList{};
    }
    void splitsThesaurusLines()
    {
        QFETCH(QString, text);
        QTEST(comparer::thesaurusLines(text), "lines");
    }

    void rewrites_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<double>>("draws");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<qint64>("found");

        QTest::newRow("A,B: every A becomes B, both found")
            << QStringList{"A,B"} << "xAyA" << QList<double>{} << "xByB" << 2LL;
        QTest::newRow("trailing comma: the empty entry deletes the word")
            << QStringList{u(u"提高,")} << u(u"我们要提高水平") << QList<double>{} << u(u"我们要水平") << 2LL;
        QTest::newRow("inside longer words") << QStringList{u(u"提高,增强")} << u(u"提高了，不提高的")
                                             << QList<double>{} << u(u"增强了，不增强的") << 2LL;
        QTest::newRow("line breaks kept") << QStringList{u(u"提高,提升")} << u(u"第一行提高\r\n第二行提高")
                                          << QList<double>{} << u(u"第一行提升\r\n第二行提升") << 2LL;
        QTest::newRow("one-entry line counts but changes nothing")
            << QStringList{u(u"提高"), u(u"1")} << u(u"提高") << QList<double>{} << u(u"提高") << 1LL;
        QTest::newRow("entries act one after another")  // A -> C, then C -> B
            << QStringList{"A,B,C"} << "A" << QList<double>{0.9, 0.0, 0.0} << "B" << 2LL;
        QTest::newRow("a later line rewrites what an earlier one put in")
            << QStringList{u(u"甲,乙"), u(u"乙,丙")} << u(u"甲") << QList<double>{} << u(u"丙") << 4LL;
        QTest::newRow("replacement can join neighbours into a new match")
            << QStringList{"x,", "ab,c"} << "axb" << QList<double>{} << "c" << 4LL;
        QTest::newRow("non-overlapping, left to right")
            << QStringList{"aa,b"} << "aaa" << QList<double>{} << "ba" << 2LL;
        QTest::newRow("empty text") << QStringList{"A,B", ","} << "" << QList<double>{} << "" << 0LL;
        QTest::newRow("no lines") << QStringList{} << "A" << QList<double>{} << "A" << 0LL;
    }
    void rewrites()
    {
        QFETCH(QStringList, lines);
        QFETCH(QString, text);
        QFETCH(QList<double>, draws);
        const auto fast = comparer::rewriteText(text, lines, ::draws(draws));
        QTEST(fast.text, "expected");
        QTEST(fast.found, "found");
        const auto naive = comparer::rewriteTextNaive(text, lines, ::draws(draws));
        QTEST(naive.text, "expected");
        QTEST(naive.found, "found");
    }

    // The segmented rewrite must give exactly what entry-after-entry gives.
    void fastAgreesWithNaive()
    {
        QRandomGenerator rng(42);
        const QString textAlphabet = QStringLiteral("abcde 。\r\n");
        const QString entryAlphabet = QStringLiteral("abcd ");
        const auto randomString = [&](const QString& alphabet, int length) {
            QString s;
            for (int i = 0; i < length; ++i)
                s += alphabet[rng.bounded(int(alphabet.size()))];
            return s;
        };
        for (int round = 0; round < 2000; ++round) {
            QStringList lines;
            for (int l = rng.bounded(8); l > 0; --l) {
                QStringList entries;
                for (int e = rng.bounded(1, 5); e > 0; --e)
                    entries << randomString(entryAlphabet, rng.bounded(6));
                lines << entries.join(u',');
            }
            // Some texts hold only entry characters: one segment, which can become empty.
            const QString text = randomString(round % 4 == 0 ? entryAlphabet : textAlphabet, rng.bounded(60));
            const quint64 seed = rng.generate64();
            const auto fast = comparer::rewriteText(text, lines, comparer::seededRandom(seed));
            const auto naive = comparer::rewriteTextNaive(text, lines, comparer::seededRandom(seed));
            QCOMPARE(fast.text, naive.text);
            QCOMPARE(fast.found, naive.found);
        }
    }

    void drawsStayInRange()
    {
        QCOMPARE(comparer::drawReplacement(0.0, 3), 1);
        QCOMPARE(comparer::drawReplacement(0.5, 3), 2);
        QCOMPARE(comparer::drawReplacement(0.9999999999999999, 3), 3);
        const RandomSource clock = comparer::clockRandom();
        for (int i = 0; i < 1000; ++i) {
            const double r = clock();
            QVERIFY(r >= 0.0 && r < 1.0);
        }
    }

    void readsThesaurusFile()
    {
        using State = comparer::Thesaurus::State;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("ciku.txt"));
        QCOMPARE(comparer::readThesaurus(path)->state, State::Missing);
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("ciku.txt")));
        QCOMPARE(comparer::readThesaurus(path)->state, State::Missing);
        QVERIFY(QDir(dir.path()).rmdir(QStringLiteral("ciku.txt")));

        testdata::writeFile(path,
                            "\x81\x20"
                            "abc\r\n");  // a lead byte without its trail
        QCOMPARE(comparer::readThesaurus(path)->state, State::Damaged);

        testdata::writeFile(path, gbk::encode(u(u"1\r\n提高,提升\r增加,增添")));
        int yields = 0;
        const Result<comparer::Thesaurus> read = comparer::readThesaurus(path, [&] { ++yields; });
        QCOMPARE(read->state, State::Read);
        QCOMPARE(read->lines, (QStringList{"1", u(u"提高,提升"), u(u"增加,增添")}));
        QCOMPARE(yields, 3);

        // There, but not readable: the system's reason, not a missing thesaurus.
        if (::geteuid() != 0) {
            QFile::setPermissions(path, QFileDevice::WriteOwner);
            const Result<comparer::Thesaurus> refused = comparer::readThesaurus(path);
            QVERIFY(!refused);
            QVERIFY(!refused.error().isEmpty());
        }
    }

    // Bad input: one line of a megabyte must neither hang nor disturb the others.
    void megabyteLine()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("ciku.txt"));
        const QString huge = QString(500000, QChar(u'词')) + u',' + QString(500000, QChar(u'语'));
        testdata::writeFile(path, gbk::encode(u(u"提高,提升\r\n") + huge + u(u"\r\n词语,单词")));
        const Result<comparer::Thesaurus> read = comparer::readThesaurus(path);
        QCOMPARE(read->state, comparer::Thesaurus::State::Read);
        const QStringList& lines = read->lines;
        QCOMPARE(lines.size(), 3);
        const QString paper = u(u"我们要提高词语水平。").repeated(1000);
        const auto result = comparer::rewriteText(paper, lines, draws({}));
        QCOMPARE(result.text, u(u"我们要提升单词水平。").repeated(1000));
        QCOMPARE(result.found, 4);
    }

    void pageRecords_data()
    {
        QTest::addColumn<QString>("markup");
        QTest::addColumn<QStringList>("records");
        QTest::newRow("usual page") << u(u"1##提高,提升##增加,增添")
                                    << QStringList{"1", u(u"提高,提升"), u(u"增加,增添")};
        QTest::newRow("spaces, tabs, ideographic spaces, CR LF removed")
            << u(u"1##好 的,行##\t甲,\u3000乙\r\n丙") << QStringList{"1", u(u"好的,行"), u(u"甲,乙丙")};
        QTest::newRow("ASCII operators made full-width")
            << u(u"1##a-b,c+d,e*f,g/h,i=j") << QStringList{"1", u(u"a－b,c＋d,e×f,g÷h,i＝j")};
        QTest::newRow("just the status mark") << "1" << QStringList{"1"};
        QTest::newRow("## twice in a row") << u(u"1####提高,提升") << QStringList{"1", "", u(u"提高,提升")};
        QTest::newRow("status mark inside the first record") << "1x##y" << QStringList{"1x", "y"};
        QTest::newRow("a lone LF stays") << "1##a\nb" << QStringList{"1", "a\nb"};
    }
    void pageRecords()
    {
        QFETCH(QString, markup);
        const Result<QStringList> records = comparer::thesaurusRecords(markup);
        QVERIFY(records);
        QTEST(*records, "records");
    }

    void pageWithoutStatusMark_data()
    {
        QTest::addColumn<QString>("markup");
        QTest::newRow("empty") << QString();
        QTest::newRow("other mark") << "0##a,b";
        QTest::newRow("error page") << "<h1>404 Not Found</h1>";
        QTest::newRow("leading space") << " 1##a,b";
    }
    void pageWithoutStatusMark()
    {
        QFETCH(QString, markup);
        QVERIFY(!comparer::thesaurusRecords(markup));
    }

    void writesThesaurusFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("ciku.txt"));
        testdata::writeFile(path, QByteArray(10000, 'x'));  // an older, longer thesaurus
        const QStringList records{"1", u(u"提高,提升"), ""};
        int yields = 0;
        QVERIFY(comparer::writeThesaurusFile(path, records, [&] { ++yields; }));
        QCOMPARE(yields, 3);
        QCOMPARE(testdata::readFile(path), QByteArray("1\r\n") + gbk::encode(u(u"提高,提升")) + "\r\n\r\n");
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"ciku.txt"});

        const QString unwritable = dir.filePath(QStringLiteral("ciku.txt/ciku.txt"));
        const Result<void> refused = comparer::writeThesaurusFile(unwritable, records);
        QVERIFY(!refused);
        QVERIFY(!refused.error().isEmpty());
        QCOMPARE(testdata::readFile(path).size(), 3 + 11 + 2);
    }
};

QTEST_APPLESS_MAIN(TestRewrite)
#include "test_rewrite.moc"
