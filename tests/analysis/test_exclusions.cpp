// The rule that leaves quotations and the reference list out of the second
// overall figure, on papers as the editor reports them (CR LF line breaks).

#include "analysis/exclusions.h"
#include "analysis/segmentation.h"

#include <QTest>

namespace {

// The excluded pieces of a paper analysed as the analyse command does, as
// their 1-based numbers.
QList<int> excludedNumbers(const QString& paper)
{
    const segmentation::Analysis a = segmentation::analyse(paper);
    const QList<bool> excluded = exclusions::excludedPieces(paper, a.analysedText, a.sentences);
    QList<int> numbers;
    for (qsizetype i = 0; i < excluded.size(); ++i)
        if (excluded[i])
            numbers.append(int(i + 1));
    return numbers;
}

PieceResult checked(double figure) { return {true, figure, {}}; }

const QString kBody38 =
    u"本研究采用问卷调查与访谈相结合的方法对三所高校的两百名学生进行了系统的调查研"_qs;  // 38

}  // namespace

class TestExclusions : public QObject {
    Q_OBJECT
private slots:
    void referenceList_data()
    {
        QTest::addColumn<QString>("paper");
        QTest::addColumn<int>("start");  // -1: no reference list
        QTest::newRow("none") << u"正文第一段。\r\n正文第二段。"_qs << -1;
        QTest::newRow("heading line") << u"正文。\r\n参考文献\r\n[1] 张三"_qs << 5;
        QTest::newRow("spaces and ideographic spaces around it")
            << u"正文。\r\n \u3000参考资料\u3000 \r\n[1]"_qs << 5;
        QTest::newRow("english in any case") << u"Text.\r\nREFERENCES\r\n[1] A"_qs << 7;
        QTest::newRow("bibliography") << u"Text.\r\nbibliography"_qs << 7;
        QTest::newRow("first line of the text") << u"参考文献\r\n[1]"_qs << 0;
        QTest::newRow("inside a sentence is no heading") << u"如参考文献所述，本文如此。\r\n结论。"_qs << -1;
        QTest::newRow("heading with more on its line") << u"正文。\r\n参考文献：\r\n[1]"_qs << -1;
        QTest::newRow("the last heading counts (the contents list one earlier)")
            << u"目录\r\n参考文献\r\n正文。\r\n参考文献\r\n[1]"_qs << 15;
        QTest::newRow("lone LF line breaks") << u"正文。\n参考文献\n[1]"_qs << 4;
    }
    void referenceList()
    {
        QFETCH(QString, paper);
        QFETCH(int, start);
        QCOMPARE(exclusions::referenceListStart(paper), qsizetype(start));
    }

    void quotations_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("marks");  // q: quoted
        QTest::newRow("curly quotes, marks included") << u"甲“乙丙”丁"_qs << u".qqqq."_qs;
        QTest::newRow("corner brackets") << u"「甲」乙「丙」"_qs << u"qqq.qqq"_qs;
        QTest::newRow("one kind inside the other") << u"“甲「乙」丙”丁"_qs << u"qqqqqqq."_qs;
        QTest::newRow("an unclosed mark quotes nothing") << u"甲“乙丙丁"_qs << u"....."_qs;
        QTest::newRow("unclosed, then a closed pair of the other kind") << u"“甲「乙」"_qs << u"..qqq"_qs;
        QTest::newRow("no quotation across a line break") << u"“甲\r\n乙”"_qs << u"......"_qs;
        QTest::newRow("a closing mark alone") << u"甲”乙"_qs << u"..."_qs;
    }
    void quotations()
    {
        QFETCH(QString, text);
        QFETCH(QString, marks);
        const QList<bool> quoted = exclusions::quotedCharacters(text);
        QString got;
        for (bool q : quoted)
            got += q ? u'q' : u'.';
        QCOMPARE(got, marks);
    }

    void pieces_data()
    {
        QTest::addColumn<QString>("paper");
        QTest::addColumn<QList<int>>("excluded");
        QTest::newRow("no quotation, no reference list") << kBody38 + kBody38 << QList<int>{};
        // Piece 2 starts with the heading line's text once line breaks are gone.
        QTest::newRow("reference list")
            << kBody38 + u"\r\n参考文献\r\n"_qs + kBody38.left(34) << QList<int>{2};
        QTest::newRow("reference word inside a sentence")
            << kBody38 + u"正如参考文献中所说"_qs + kBody38.left(29) << QList<int>{};
        // 19 of the 38 characters of piece 1 lie in the quotation: exactly half.
        QTest::newRow("piece half inside a quotation")
            << kBody38.left(19) + u"“"_qs + kBody38.left(17) + u"”"_qs + kBody38 << QList<int>{1};
        QTest::newRow("piece less than half inside a quotation")
            << kBody38.left(20) + u"“"_qs + kBody38.left(16) + u"”"_qs + kBody38 << QList<int>{};
        // The spaces and line breaks taken out by the analysis do not count.
        QTest::newRow("quotation over spaces")
            << u"“"_qs + kBody38.left(18) + u"   "_qs + kBody38.left(18) + u"”"_qs + kBody38 << QList<int>{1};
        QTest::newRow("heading with trailing ideographic space, then a quotation in the list")
            << kBody38 + u"\r\nReferences\u3000\r\n「"_qs + kBody38 + u"」"_qs << QList<int>{2, 3};
        QTest::newRow("a typed |@| splits but is in no piece")
            << u"“甲乙丙”|@|丁戊己庚辛壬癸子丑"_qs << QList<int>{1};
        QTest::newRow("exclamation marks made full-width still line up")
            << u"好!"_qs + kBody38.left(35) + u"“"_qs + kBody38.left(30) + u"”"_qs << QList<int>{2};
    }
    void pieces()
    {
        QFETCH(QString, paper);
        QFETCH(QList<int>, excluded);
        QCOMPARE(excludedNumbers(paper), excluded);
    }

    // When the editor text is not the analysed paper any more, the lines are
    // unknown: the quotations still count, a reference heading cannot.
    void editedPaperFallsBackToQuotations()
    {
        const QString paper = u"“"_qs + kBody38.left(36) + u"”\r\n参考文献\r\n"_qs + kBody38;
        const segmentation::Analysis a = segmentation::analyse(paper);
        const QList<bool> excluded =
            exclusions::excludedPieces(u"另一篇论文"_qs, a.analysedText, a.sentences);
        QCOMPARE(excluded, (QList<bool>{true, false, false}));
        QCOMPARE(exclusions::excludedPieces(QString(), a.analysedText, a.sentences), excluded);
    }

    void figure_data()
    {
        QTest::addColumn<QList<PieceResult>>("pieces");
        QTest::addColumn<QList<bool>>("excluded");
        QTest::addColumn<double>("figure");
        QTest::newRow("nothing checked") << QList<PieceResult>{{}, {}} << QList<bool>{false, false} << 0.0;
        // As Label2 shows it: after n pages, the sum divided by n.
        QTest::newRow("the number as divisor")
            << QList<PieceResult>{checked(60), checked(30)} << QList<bool>{false, false} << 45.0;
        QTest::newRow("excluded and unchecked pieces left out")
            << QList<PieceResult>{checked(90), checked(30), {}, checked(10), checked(0)}
            << QList<bool>{true, false, false, false, false} << 13.33;
        QTest::newRow("uncapped figures") << QList<PieceResult>{checked(150)} << QList<bool>{false} << 150.0;
        // 0.125 is a tie at two decimals: it goes to the even 0.12.
        QTest::newRow("halves to even")
            << QList<PieceResult>{checked(0.25), checked(0)} << QList<bool>{false, false} << 0.12;
        QTest::newRow("all excluded") << QList<PieceResult>{checked(80)} << QList<bool>{true} << 0.0;
    }
    void figure()
    {
        QFETCH(QList<PieceResult>, pieces);
        QFETCH(QList<bool>, excluded);
        QFETCH(double, figure);
        QCOMPARE(exclusions::figureWithout(pieces, excluded), figure);
    }
};

QTEST_APPLESS_MAIN(TestExclusions)
#include "test_exclusions.moc"
