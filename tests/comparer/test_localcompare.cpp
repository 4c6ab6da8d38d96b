// Compare and mark: reference cutting, occurrences, counts and the report.

#include "comparer/core/localcompare.h"
#include "comparer/core/sentencematcher.h"

#include <QRandomGenerator>
#include <QTest>

using comparer::CompareCounts;
using comparer::CompareResult;

using Marks = QList<QPair<qsizetype, qsizetype>>;  // start, length in marking order

namespace {

Marks marksOf(const CompareResult& result)
{
    Marks marks;
    for (const auto& sentence : result.sentences) {
        for (qsizetype start : sentence.starts)
            marks.append({start, sentence.length});
    }
    return marks;
}

QString u(const char16_t* s) { return QString::fromUtf16(s); }

}  // namespace

class TestLocalCompare : public QObject {
    Q_OBJECT
private slots:
    void cutsReference_data()
    {
        QTest::addColumn<QString>("reference");
        QTest::addColumn<QStringList>("sentences");
        QTest::newRow("ASCII full stop made full-width")
            << "It is a test sample." << QStringList{u(u"It is a test sample。")};
        QTest::newRow("decimal point cuts")
            << u(u"圆周率约为3.14左右") << QStringList{u(u"圆周率约为3。"), u(u"14左右")};
        QTest::newRow("commas, both widths")
            << u(u"甲,乙，丙") << QStringList{u(u"甲，"), u(u"乙，"), u(u"丙")};
        QTest::newRow("question, exclamation, ellipsis")
            << u(u"真的吗?是的!好……对？嗯！")
            << QStringList{u(u"真的吗？"), u(u"是的！"), u(u"好……"), u(u"对？"), u(u"嗯！")};
        QTest::newRow("whitespace before a break dropped, leading kept")
            << u(u"  前导空格。 \t尾部\t\r\n下一行")
            << QStringList{u(u"  前导空格。"), u(u" \t尾部"), u(u"下一行")};
        QTest::newRow("blank pieces dropped") << u(u"第一句。\u3000\u3000\r\n   \r\n\u3000 \u3000\r\n第二句")
                                              << QStringList{u(u"第一句。"), u(u"第二句")};
        QTest::newRow("a lone tab is not blank") << u(u"甲。\t") << QStringList{u(u"甲。"), u(u"\t")};
        QTest::newRow(
            "five spaces before a break leave two; spaces before a tab or an ideographic space stay")
            << u(u"第一行     \r\n第二行 \t\r\n第三行 \u3000\r\n末行  ")
            << QStringList{u(u"第一行  "), u(u"第二行 "), u(u"第三行 "), u(u"末行  ")};
        QTest::newRow("a run of ellipses is cut after every second")
            << u(u"甲……乙………丙…丁") << QStringList{u(u"甲……"), u(u"乙……"), u(u"…丙…丁")};
        QTest::newRow("a mark after an ellipsis stands alone")
            << u(u"好……。") << QStringList{u(u"好……"), u(u"。")};
        QTest::newRow("empty") << QString() << QStringList{};
    }
    void cutsReference()
    {
        QFETCH(QString, reference);
        QFETCH(QStringList, sentences);
        QCOMPARE(comparer::cutReferenceSentences(reference), sentences);
        QCOMPARE(comparer::cutReferenceSentencesPlain(reference), sentences);
    }

    void marksOccurrences_data()
    {
        QTest::addColumn<QString>("paper");
        QTest::addColumn<QString>("reference");
        QTest::addColumn<Marks>("marks");
        QTest::addColumn<qint64>("chars");
        QTest::addColumn<qint64>("sentences");
        QTest::addColumn<qint64>("segments");

        QTest::newRow("5 characters are never searched")
            << u(u"很好。很好。非常好。") << u(u"很好。非常好。") << Marks{} << 0LL << 0LL << 0LL;
        QTest::newRow("6 characters are")
            << u(u"前面很好很好很。后") << u(u"很好很好很。") << Marks{{2, 6}} << 6LL << 1LL << 0LL;
        QTest::newRow("ASCII full stop in the paper does not match")
            << "It is a test sample."
            << "It is a test sample." << Marks{} << 0LL << 0LL << 0LL;
        QTest::newRow("three occurrences")
            << u(u"一二三四五六。X一二三四五六。Y一二三四五六。") << u(u"一二三四五六。")
            << Marks{{0, 7}, {8, 7}, {16, 7}} << 7LL << 1LL << 2LL;
        QTest::newRow("touching occurrences") << u(u"甲乙丙丁戊己，甲乙丙丁戊己，") << u(u"甲乙丙丁戊己，")
                                              << Marks{{0, 7}, {7, 7}} << 7LL << 1LL << 1LL;
        QTest::newRow("overlapping occurrences: the later one is skipped")
            << QString(9, QChar(u'啊')) << QString(6, QChar(u'啊')) << Marks{{0, 6}} << 6LL << 1LL << 0LL;
        QTest::newRow("sentence twice in the reference")
            << u(u"重复的一句话。") << u(u"重复的一句话。重复的一句话。") << Marks{{0, 7}, {0, 7}} << 14LL
            << 2LL << 0LL;
        QTest::newRow("positions count CR LF as two")
            << u(u"第一行\r\n这是第二行的句子。") << u(u"这是第二行的句子。") << Marks{{5, 9}} << 9LL << 1LL
            << 0LL;
        QTest::newRow("marking follows the reference order")
            << u(u"第二个句子出现。第一个句子出现。") << u(u"第一个句子出现。第二个句子出现。")
            << Marks{{8, 8}, {0, 8}} << 16LL << 2LL << 0LL;
        QTest::newRow("no match") << u(u"完全不同的文字。") << u(u"参考文章的内容。") << Marks{} << 0LL << 0LL
                                  << 0LL;
        QTest::newRow("empty paper") << QString() << u(u"参考文章的内容。") << Marks{} << 0LL << 0LL << 0LL;
        QTest::newRow("empty reference")
            << u(u"参考文章的内容。") << QString() << Marks{} << 0LL << 0LL << 0LL;
    }
    void marksOccurrences()
    {
        QFETCH(QString, paper);
        QFETCH(QString, reference);
        QFETCH(Marks, marks);
        for (const CompareResult& result :
             {comparer::compareAndMark(paper, reference), comparer::compareAndMarkNaive(paper, reference)}) {
            QCOMPARE(marksOf(result), marks);
            QTEST(result.run.chars, "chars");
            QTEST(result.run.sentences, "sentences");
            QTEST(result.run.segments, "segments");
        }
    }

    // The one-pass cut and search must give exactly what the chain of
    // replacements and repeated indexOf give, on texts made to trip them:
    // sentences inside other sentences, sentences repeated in the reference,
    // occurrences that touch or overlap, CR LF, surrogate pairs, runs of
    // "…" and whitespace before line breaks.
    void onePassAgreesWithPlainSearch()
    {
        QRandomGenerator rng(20170323);
        const QStringList units{u(u"甲"),
                                u(u"乙"),
                                u(u"啊"),
                                u(u"啊"),
                                u(u"啊"),
                                u(u" "),
                                u(u"，"),
                                u(u"。"),
                                u(u"!"),
                                u(u"?"),
                                u(u","),
                                u(u"."),
                                u(u"…"),
                                u(u"\u3000"),
                                u(u"\t"),
                                u(u"\r\n"),
                                QString::fromUcs4(U"\U0001F600")};
        const auto randomText = [&](int count) {
            QString s;
            for (int i = 0; i < count; ++i)
                s += units[rng.bounded(int(units.size()))];
            return s;
        };
        const QStringList joints{u(u"。"), u(u"，"),    u(u"\r\n"),  QString(),
                                 u(u"……"), u(u" \r\n"), u(u"\t\r\n")};
        for (int round = 0; round < 2400; ++round) {
            const QString paper = randomText(rng.bounded(300));
            QStringList pieces;
            for (int piece = rng.bounded(14); piece > 0; --piece) {
                const int kind = rng.bounded(5);
                if (kind < 3 && !paper.isEmpty()) {
                    const int from = rng.bounded(int(paper.size()));
                    pieces += paper.mid(from, rng.bounded(4, 40));
                } else if (kind == 3 && !pieces.isEmpty()) {
                    pieces += pieces[rng.bounded(int(pieces.size()))];
                } else {
                    pieces += randomText(rng.bounded(20));
                }
                pieces.last() += joints[rng.bounded(int(joints.size()))];
            }
            const QString reference = pieces.join(QString());
            QCOMPARE(comparer::cutReferenceSentences(reference),
                     comparer::cutReferenceSentencesPlain(reference));
            const CompareResult fast = comparer::compareAndMark(paper, reference);
            const CompareResult naive = comparer::compareAndMarkNaive(paper, reference);
            QCOMPARE(marksOf(fast), marksOf(naive));
            QCOMPARE(fast.run.chars, naive.run.chars);
            QCOMPARE(fast.run.sentences, naive.run.sentences);
            QCOMPARE(fast.run.segments, naive.run.segments);
        }
    }

    // The matcher on its own, with sentences of any length over two letters
    // (ends nested in other ends everywhere), by the walk and by the automaton.
    void matcherAgreesWithPlainSearch()
    {
        QRandomGenerator rng(3232017);
        const auto randomText = [&](int length) {
            QString s;
            for (int i = 0; i < length; ++i)
                s += QChar(rng.bounded(3) ? u'a' : u'b');
            return s;
        };
        for (int round = 0; round < 2000; ++round) {
            const QString text = randomText(rng.bounded(200));
            QStringList sentences;
            for (int k = rng.bounded(1, 16); k > 0; --k) {
                const int length = rng.bounded(0, 9);
                if (rng.bounded(2) && text.size() > length)
                    sentences += text.mid(rng.bounded(int(text.size() - length)), length);
                else
                    sentences += randomText(length);
            }
            QList<QList<qsizetype>> expected;
            std::vector<QStringView> views;
            for (const QString& s : sentences) {
                views.push_back(s);
                QList<qsizetype> starts;
                for (qsizetype p = s.isEmpty() ? -1 : text.indexOf(s); p >= 0;
                     p = text.indexOf(s, p + s.size()))
                    starts.append(p);
                expected.append(starts);
            }
            const comparer::SentenceMatcher matcher(views);
            const auto walked = matcher.occurrences(text);
            const auto automaton = matcher.occurrencesByAutomaton(text);
            QCOMPARE(QList<QList<qsizetype>>(walked.begin(), walked.end()), expected);
            QCOMPARE(QList<QList<qsizetype>>(automaton.begin(), automaton.end()), expected);
        }
    }

    // A long paper is walked in two halves at once; sentences across the
    // middle, and repeated ones whose later marks depend on the earlier
    // half, must come out as from one pass.
    void longPaperGivesTheSameMarks()
    {
        QRandomGenerator rng(17);
        const QStringList words{u(u"研究"), u(u"表明"), u(u"结果"), u(u"我们"), u(u"啊啊"),
                                u(u"，"),   u(u"。"),   u(u"\r\n"), u(u"数据")};
        QString paper;
        while (paper.size() < 400000)
            paper += words[rng.bounded(int(words.size()))];
        QString reference;
        for (int k = 0; k < 300; ++k) {
            const qsizetype from =
                k < 20 ? paper.size() / 2 - rng.bounded(30) : rng.bounded(int(paper.size() - 40));
            reference += paper.mid(from, rng.bounded(6, 40)) + u(u"。");
        }
        const CompareResult fast = comparer::compareAndMark(paper, reference);
        const CompareResult naive = comparer::compareAndMarkNaive(paper, reference);
        QCOMPARE(marksOf(fast), marksOf(naive));
        QCOMPARE(fast.run.segments, naive.run.segments);
    }

    // A paper of one character repeated against long sentences of it makes the
    // backward walks long; the automaton takes over and the marks stay exact.
    void repetitiveTextGivesTheSameMarks()
    {
        const QString paper(20000, QChar(u'啊'));
        const QString reference = QString(3000, QChar(u'啊')) + u(u"\r\n") + QString(2999, QChar(u'啊'))
            + u(u"\r\n") + QString(7, QChar(u'啊')) + u(u"。");
        QCOMPARE(marksOf(comparer::compareAndMark(paper, reference)),
                 marksOf(comparer::compareAndMarkNaive(paper, reference)));
    }

    void report_data()
    {
        QTest::addColumn<qsizetype>("paperLength");
        QTest::addColumn<qsizetype>("referenceLength");
        QTest::addColumn<qint64>("chars");
        QTest::addColumn<qint64>("runChars");
        QTest::addColumn<QString>("percentages");  // P1 P2
        QTest::newRow("no match") << qsizetype(40) << qsizetype(30) << 0LL << 0LL << "0 0";
        QTest::newRow("57, not 56.99999999999999")
            << qsizetype(100) << qsizetype(100) << 57LL << 57LL << "57 57";
        QTest::newRow("tie to even, down") << qsizetype(8) << qsizetype(8) << 1LL << 1LL << "12 12";
        QTest::newRow("tie to even, up") << qsizetype(8) << qsizetype(8) << 3LL << 3LL << "38 38";
        QTest::newRow("thirds") << qsizetype(3) << qsizetype(3) << 2LL << 1LL << "67 33";
        QTest::newRow("over 100") << qsizetype(7) << qsizetype(14) << 14LL << 14LL << "200 100";
    }
    void report()
    {
        QFETCH(qsizetype, paperLength);
        QFETCH(qsizetype, referenceLength);
        QFETCH(qint64, chars);
        QFETCH(qint64, runChars);
        QFETCH(QString, percentages);
        const QStringList p = percentages.split(u' ');
        const CompareCounts shown{chars, 2, 3};
        const QString expected = u(u"你的文章一共 ") + QString::number(paperLength)
            + u(u" 字，重复 3 段， 2 句， ") + QString::number(chars) + u(u" 字\r\n")
            + u(u"        重复部分占你的文章的： ") + p[0] + u(u" %\r\n")
            + u(u"        与参考文章的相似度为： ") + p[1] + u(u" %");
        QCOMPARE(comparer::compareReport(paperLength, referenceLength, shown, runChars), expected);
    }

    void noReportWhenEitherTextIsEmpty()
    {
        QVERIFY(comparer::compareReport(0, 10, {}, 0).isEmpty());
        QVERIFY(comparer::compareReport(10, 0, {}, 0).isEmpty());
    }
};

QTEST_APPLESS_MAIN(TestLocalCompare)
#include "test_localcompare.moc"
