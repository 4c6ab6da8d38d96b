#include "analysis/scoring.h"
#include "analysis/segmentation.h"
#include "platform/core/gbk.h"
#include "platform/core/numberformat.h"
#include "support/resultpages.h"
#include "support/testdata.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

using namespace resultpages;

namespace {

// The state right after an analysis of `sentences` and the query of sentence `sent`.
ComparisonSession sessionAfterQuery(const QStringList& sentences, int sent = 0)
{
    segmentation::Analysis analysis;
    analysis.sentences = sentences;
    ComparisonSession s;
    segmentation::resetSession(s, analysis);
    s.lastIndex = sent;
    s.nextIndex = sent + 1;
    return s;
}

QString sentenceOf(int length) { return filler(length); }

QString firstLine(const QString& label) { return label.section(u"\r\n\r\n"_qs, 0, 0); }
QString secondLine(const QString& label) { return label.section(u"\r\n\r\n"_qs, 1, 1); }

// The heading and emphasis rewrite done pass by pass, as reference.
QString markBlocksPassByPass(QString html)
{
    const QString marker = u"<bbbbbbbb>"_qs;
    for (const QString& tag : {u"<H3 CLASS=\"T\">"_qs, u"</H3>"_qs, u"<h3 class=\"t\">"_qs, u"</h3>"_qs})
        html.replace(tag, marker);
    for (const QString& tag : {u"<EM>"_qs, u"<em>"_qs, u"</EM>"_qs, u"</em>"_qs})
        html.remove(tag);
    return html;
}

}  // namespace

class TestScoring : public QObject {
    Q_OBJECT
private slots:
    void sentenceAndOverallSimilarity_data()
    {
        QTest::addColumn<int>("sentenceLength");
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("sentenceLine");
        QTest::addColumn<QString>("overallLine");
        QTest::addColumn<double>("sum");

        QTest::newRow("9+12+5 on a 600-character page: the 5 is dropped, 21/380 -> 6")
            << 38 << highlight(9) + filler(100) + highlight(12) + highlight(5) + filler(474)
            << u"本句相似度：6%"_qs << u"目前总体相似度：6%"_qs << 6.0;
        QTest::newRow("150 highlighted on 10 characters: shown capped, sum not")
            << 10 << highlight(75) + highlight(75) + filler(500) << u"本句相似度：100%"_qs
            << u"目前总体相似度：100%"_qs << 150.0;
        QTest::newRow("half similar") << 10 << highlight(50) + filler(600) << u"本句相似度：50%"_qs
                                      << u"目前总体相似度：50%"_qs << 50.0;
        QTest::newRow("499 double-byte characters count as an empty page")
            << 10 << highlight(200) + filler(299) << u"本句相似度：0%"_qs << u"目前总体相似度：0%"_qs << 0.0;
        QTest::newRow("the ideographic space is not counted")
            << 10 << highlight(200) + filler(299) + QString(10, QChar(0x3000)) << u"本句相似度：0%"_qs
            << u"目前总体相似度：0%"_qs << 0.0;
        QTest::newRow("exactly 500 is a page") << 10 << highlight(200) + filler(300) << u"本句相似度：100%"_qs
                                               << u"目前总体相似度：100%"_qs << 200.0;
        QTest::newRow("upper-case tags only: lower-case ones ignored")
            << 10 << highlight(8, true) + highlight(40) + filler(600) << u"本句相似度：8%"_qs
            << u"目前总体相似度：8%"_qs << 8.0;
        QTest::newRow("lower-case tags used when no upper-case opening tag")
            << 10 << u"</EM>"_qs + highlight(40) + filler(600) << u"本句相似度：40%"_qs
            << u"目前总体相似度：40%"_qs << 40.0;
        QTest::newRow("exactly 7 highlighted characters do not count")
            << 10 << highlight(7) + highlight(7) + filler(600) << u"本句相似度：0%"_qs
            << u"目前总体相似度：0%"_qs << 0.0;
        QTest::newRow("unclosed tag runs to the next opening tag")
            << 10 << u"<em>"_qs + filler(9) + u"<em>"_qs + filler(3) + u"</em>"_qs + filler(600)
            << u"本句相似度：9%"_qs << u"目前总体相似度：9%"_qs << 9.0;
        QTest::newRow("rounded half to even: 0.125 -> 0.12")
            << 8 << highlight(10) + filler(600) << u"本句相似度：12%"_qs << u"目前总体相似度：12%"_qs << 12.0;
    }
    void sentenceAndOverallSimilarity()
    {
        QFETCH(int, sentenceLength);
        QFETCH(QString, page);
        QFETCH(QString, sentenceLine);
        QFETCH(QString, overallLine);
        QFETCH(double, sum);
        ComparisonSession s = sessionAfterQuery({sentenceOf(sentenceLength)});
        const auto labels = scoring::pageArrived(s, page, u"text"_qs);
        QVERIFY(labels && labels->label2);
        QCOMPARE(firstLine(*labels->label2), sentenceLine);
        QCOMPARE(secondLine(*labels->label2), overallLine);
        QCOMPARE(s.similaritySum, sum);
        QCOMPARE(s.pageCount, 2);
        QCOMPARE(labels->label1, u"现在正在对比第 1 句！共 1 句。"_qs);
    }

    void overallDividesByPagesSoFarAndStaysFiniteAfterRetries()
    {
        ComparisonSession s = sessionAfterQuery({sentenceOf(10), sentenceOf(10)});
        scoring::pageArrived(s, highlight(50) + filler(600), u"p1"_qs);  // 50 / 1
        s.nextIndex = 2;
        auto labels = scoring::pageArrived(s, filler(600), u"p2"_qs);  // 50 / 2
        QCOMPARE(secondLine(*labels->label2), u"目前总体相似度：25%"_qs);
        QCOMPARE(s.pageCount, 3);

        // Retries may have taken the divisor to 0 or below: the figure stays a number.
        for (const int pageCount : {0, -5}) {
            s.pageCount = pageCount;
            s.lastPageText.clear();
            labels = scoring::pageArrived(s, filler(600), u"p3"_qs);
            QCOMPARE(secondLine(*labels->label2), u"目前总体相似度：50%"_qs);
            QCOMPARE(s.pageCount, pageCount + 1);
        }
    }

    // "重新对比此句": the page replaces the piece's figure and results; the
    // overall figure stays the mean over the pieces, each counted once.
    void pieceSentAgainReplacesItsFigure()
    {
        ComparisonSession s = sessionAfterQuery({sentenceOf(10), sentenceOf(10)});
        QList<Result> three = numberedResults(3);
        three[0].snippet = highlight(50);
        scoring::pageArrived(s, body(three), u"p1"_qs);  // 50 %
        s.nextIndex = 2;
        scoring::pageArrived(s, body(numberedResults(1, highlight(100))), u"p2"_qs);  // 100 %
        QCOMPARE(s.pageCount, 3);

        s.nextIndex = 1;
        s.recheckPiece = 0;
        const auto labels = scoring::pageArrived(s, body(numberedResults(1, highlight(20))), u"p1 again"_qs);
        QCOMPARE(*labels->label2, u"本句相似度：20%\r\n\r\n目前总体相似度：60%"_qs);
        QCOMPARE(s.similaritySum, 120.0);
        QCOMPARE(s.pageCount, 3);
        QVERIFY(!s.pageCounted && !s.recheckPiece);
        QCOMPARE(s.pieces[0].figure, 20.0);
        QCOMPARE(s.resultTitles[0], u"标题1"_qs);
        QVERIFY(s.resultTitles[1].isEmpty() && s.resultTitles[2].isEmpty());  // the earlier three are gone

        // A piece never scored before counts as a new page.
        ComparisonSession fresh = sessionAfterQuery({sentenceOf(10)});
        fresh.recheckPiece = 0;
        scoring::pageArrived(fresh, body(numberedResults(1, highlight(20))), u"x"_qs);
        QCOMPARE(fresh.pageCount, 2);
        QCOMPARE(fresh.similaritySum, 20.0);
    }

    void samePageTwiceIsScoredOnce()
    {
        ComparisonSession s = sessionAfterQuery({sentenceOf(10)});
        const QString page = body(numberedResults(3, highlight(20)));
        QVERIFY(scoring::pageArrived(s, page, u"body"_qs));
        const double sum = s.similaritySum;
        const ComparisonSession before = s;
        QVERIFY(!scoring::pageArrived(s, page, u"body"_qs));
        QCOMPARE(s.similaritySum, sum);
        QCOMPARE(s.pageCount, before.pageCount);
        QCOMPARE(s.resultTitles, before.resultTitles);
    }

    void emptyMarkupIsNotScored()
    {
        ComparisonSession s = sessionAfterQuery({sentenceOf(10)});
        const auto labels = scoring::pageArrived(s, QString(), u"x"_qs);
        QVERIFY(labels);
        QVERIFY(!labels->label2);
        QCOMPARE(s.pageCount, 1);
        QVERIFY(s.pageText.isEmpty());
        QCOMPARE(labels->label1, u"现在正在对比第 1 句！共 1 句。"_qs);
    }

    void pageBeforeAnyQueryIsNotScored()
    {
        ComparisonSession s = sessionAfterQuery({sentenceOf(10)});
        s.nextIndex = 0;
        const auto labels = scoring::pageArrived(s, body(numberedResults(3)), u"x"_qs);
        QVERIFY(labels && !labels->label2);
        QCOMPARE(s.pageCount, 1);
        QVERIFY(s.resultTitles.join(QString()).isEmpty());
        QVERIFY(!s.pageMarked.isEmpty());
    }

    void resultsGoToTheSentencesSlots()
    {
        ComparisonSession s = sessionAfterQuery({sentenceOf(5), sentenceOf(5), sentenceOf(5)}, 1);
        QList<Result> results = numberedResults(12);
        results[0].title = u"<em>高亮</em>的<font color=red>标题</font>"_qs;
        scoring::pageArrived(s, body(results), u"x"_qs);
        QCOMPARE(s.resultTitles.size(), 31);
        for (int k = 0; k < 10; ++k)
            QVERIFY(s.resultBlocks[10 + k].contains(u"/link?url=%1\""_qs.arg(k + 1)));
        QCOMPARE(s.resultTitles[10], u"高亮的<font color=red>标题</font>"_qs);
        QCOMPARE(s.resultTitles[19], u"标题10"_qs);
        // The eleventh and twelfth results are dropped, not written over sentence 2's slots.
        for (int i : {0, 9, 20, 21, 30})
            QVERIFY2(s.resultTitles[i].isEmpty(), qPrintable(QString::number(i)));

        // The last sentence's page with many results never writes past the arrays.
        s.nextIndex = 3;
        scoring::pageArrived(s, body(numberedResults(15)), u"y"_qs);
        QCOMPARE(s.resultTitles.size(), 31);
        QCOMPARE(s.resultTitles[29], u"标题10"_qs);
        QVERIFY(s.resultTitles[30].isEmpty());
    }

    void blockTitle_data()
    {
        QTest::addColumn<QString>("block");
        QTest::addColumn<QString>("title");
        QTest::newRow("link") << u"<a href=\"u\" data-click=\"{'a':1}\">标题</a>"_qs << u"标题"_qs;
        QTest::newRow("no }\">") << u"<a href=\"u\" target=\"_blank\">标题</a>"_qs << QString();
        QTest::newRow("second }\"> first") << u"<a x=\"{}\">甲<b y=\"{}\">乙</a>"_qs << u"甲<b y=\"{"_qs;
        QTest::newRow("unterminated") << u"<a x=\"{}\">甲乙"_qs << u"甲乙"_qs;
        QTest::newRow("empty") << QString() << QString();
    }
    void blockTitle()
    {
        QFETCH(QString, block);
        QFETCH(QString, title);
        QCOMPARE(scoring::blockTitle(block), title);
    }

    void upperCaseHeadingsAreBlocksToo()
    {
        ComparisonSession s = sessionAfterQuery({sentenceOf(5)});
        scoring::pageArrived(s, body(numberedResults(2), 600, true), u"x"_qs);
        QCOMPARE(s.resultTitles[0], u"标题1"_qs);
        QCOMPARE(s.resultTitles[1], u"标题2"_qs);
    }

    void markBlocksMatchesPassByPassRewrite_data()
    {
        QTest::addColumn<QString>("html");
        QTest::newRow("plain") << body(numberedResults(3, highlight(9)));
        QTest::newRow("removal forms a new tag") << u"<<EM>em>甲</e<em>m>乙</<EM>EM>"_qs;
        QTest::newRow("removal forms a heading") << u"<h3 cl<em>ass=\"t\">甲</h3>"_qs;
        QTest::newRow("malformed") << u"<h3 class=\"t\"<em>><</em/></H3><EM"_qs;
        QTest::newRow("marker text in the page") << u"a<bbbbbbbb>b</h3>"_qs;
    }
    void markBlocksMatchesPassByPassRewrite()
    {
        QFETCH(QString, html);
        QCOMPARE(scoring::markBlocks(html), markBlocksPassByPass(html));
    }

    void doubleByteTextIsHalfWidth()
    {
        QCOMPARE(scoring::doubleByteText(u"a中\u3000Ｂ，<em>"_qs), u"中B,"_qs);
    }

    void fiftyMegabytePageOfBrokenMarkup()
    {
        // Unclosed tags everywhere must not make the scan quadratic.
        QString unit = u"<EM>"_qs + filler(20) + u"<h3 class=\"t\"><a x=\"{}\">"_qs;
        QString html;
        while (html.size() / 48 * 88 < 50'000'000)  // UTF-8 bytes of the page
            html += unit;
        ComparisonSession s = sessionAfterQuery({sentenceOf(38)});
        QElapsedTimer t;
        t.start();
        const auto labels = scoring::pageArrived(s, html, u"big"_qs);
        QVERIFY(labels && labels->label2);
        QCOMPARE(firstLine(*labels->label2), u"本句相似度：100%"_qs);
        QCOMPARE(s.resultTitles[9].isEmpty(), false);
        QVERIFY2(t.elapsed() < 20000, "scoring a 50 MB page took far too long");
    }

    void realSavedResultPages_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("sentence");
        QTest::newRow("normal") << u"serp/test_web_normal.html"_qs << u"Python"_qs;
        QTest::newRow("news") << u"serp/test_web_news.html"_qs << u"新冠"_qs;
        QTest::newRow("no related") << u"serp/test_web_no_related.html"_qs << u"一二三四五六七吧"_qs;
        QTest::newRow("invalid") << u"serp/test_web_invalid.html"_qs << u"无效"_qs;
    }
    void realSavedResultPages()
    {
        QFETCH(QString, file);
        QFETCH(QString, sentence);
        SHARED_FILE_OR_SKIP(path, "serp");
        const QString html = QString::fromUtf8(testdata::readFile(path + u"/"_qs + file.section(u'/', 1)));
        // Independent count: highlights of the page (they hold no nested tags).
        qsizetype expected = 0;
        const QRegularExpression em(u"<em>([^<]*)</em>"_qs);
        for (auto it = em.globalMatch(html); it.hasNext();) {
            const qsizetype n = it.next().capturedLength(1);
            expected += n > 7 ? n : 0;
        }
        QCOMPARE(scoring::highlightedLength(html), expected);

        ComparisonSession s = sessionAfterQuery({sentence});
        const auto labels = scoring::pageArrived(s, html, u"t"_qs);
        QVERIFY(labels && labels->label2);
        const bool isPage = gbk::doubleByteCount(html) - html.count(QChar(0x3000)) >= 500;
        const double percent =
            isPage ? 100 * numfmt::roundHalfEven(double(expected) / (10.0 * sentence.size()), 2) : 0;
        QCOMPARE(s.similaritySum, percent);
        QCOMPARE(s.pageCount, 2);
        // Every exact heading tag and every "</h3>" is a block border; the odd
        // blocks are results, of which at most ten are kept.
        const qsizetype borders = html.count(u"<h3 class=\"t\">"_qs) + html.count(u"</h3>"_qs)
            + html.count(u"<H3 CLASS=\"T\">"_qs) + html.count(u"</H3>"_qs);
        const qsizetype headings = std::min<qsizetype>((borders + 1) / 2, 10);
        const qsizetype stored = std::count_if(s.resultBlocks.begin(), s.resultBlocks.end(),
                                               [](const QString& b) { return !b.isEmpty(); });
        QCOMPARE(stored, headings);
    }
};

QTEST_GUILESS_MAIN(TestScoring)
#include "test_scoring.moc"
