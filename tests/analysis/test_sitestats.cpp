#include "analysis/blocksanitizer.h"
#include "analysis/pausing.h"
#include "analysis/segmentation.h"
#include "analysis/sitestats.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTest>
#include <QTimer>

namespace {

ComparisonSession sessionWithTitles(const QStringList& titles, int sentences)
{
    segmentation::Analysis analysis;
    analysis.sentences = QStringList(sentences, u"句"_qs);
    ComparisonSession s;
    segmentation::resetSession(s, analysis);
    for (qsizetype i = 0; i < titles.size() && i < s.slotCount(); ++i) {
        s.resultTitles[i] = titles[i];
        s.resultBlocks[i] = titles[i].isEmpty() ? QString() : u"<a>"_qs + titles[i] + u"</a>"_qs;
    }
    return s;
}

QStringList shownTitles(const ComparisonSession& s, int siteTotal)
{
    QStringList out;
    for (const auto& row : sitestats::shownRows(s, siteTotal))
        out.append(row.title + u':' + (row.count ? QString::number(*row.count) : QString()));
    return out;
}

// The ranking as the neighbour-exchange sort orders it, as reference.
QStringList exchangeSorted(QStringList titles)
{
    const qsizetype n = titles.size();
    QList<int> counts(n, 0);
    for (qsizetype i = 0; i + 1 < n; ++i)
        if (!titles[i].isEmpty())
            counts[i] = int(std::count(titles.begin(), titles.end() - 1, titles[i]));
    for (qsizetype p = 0; p < n; ++p)
        for (qsizetype i = 0; i < n - p - 1; ++i)
            if (counts[i + 1] > counts[i]) {
                std::swap(counts[i], counts[i + 1]);
                titles.swapItemsAt(i, i + 1);
            }
    return titles;
}

}  // namespace

class TestSiteStats : public QObject {
    Q_OBJECT
private slots:
    void ranking_data()
    {
        QTest::addColumn<QStringList>("titles");  // slots in sentence order
        QTest::addColumn<int>("sentences");
        QTest::addColumn<QStringList>("ranked");
        QTest::addColumn<int>("siteTotal");
        QTest::addColumn<QStringList>("rows");

        QStringList shared(20);
        shared[0] = u"甲"_qs;
        shared[1] = u"乙"_qs;
        shared[10] = u"丙"_qs;
        shared[11] = u"甲"_qs;
        QTest::newRow("one title shared by two pages")
            << shared << 2 << QStringList{u"甲"_qs, u"甲"_qs, u"乙"_qs, u"丙"_qs} << 4
            << QStringList{u"甲:2"_qs, u"丙:1"_qs};
        QTest::newRow("a title three times")
            << QStringList{u"乙"_qs, u"甲"_qs, u"甲"_qs, u"丙"_qs, u"甲"_qs} << 1
            << QStringList{u"甲"_qs, u"甲"_qs, u"甲"_qs, u"乙"_qs, u"丙"_qs} << 5
            << QStringList{u"甲:3"_qs, u"乙:1"_qs, u":"_qs};
        QTest::newRow("five different titles: odd total shows an empty row")
            << QStringList{u"一"_qs, u"二"_qs, u"三"_qs, u"四"_qs, u"五"_qs} << 1
            << QStringList{u"一"_qs, u"二"_qs, u"三"_qs, u"四"_qs, u"五"_qs} << 5
            << QStringList{u"二:1"_qs, u"四:1"_qs, u":"_qs};
        QTest::newRow("equal counts keep their order")
            << QStringList{u"子"_qs, u"丑"_qs, u"子"_qs, u"寅"_qs, u"丑"_qs} << 1
            << QStringList{u"子"_qs, u"丑"_qs, u"子"_qs, u"丑"_qs, u"寅"_qs} << 5
            << QStringList{u"丑:2"_qs, u"丑:2"_qs, u":"_qs};
        QTest::newRow("case and spaces make different titles")
            << QStringList{u"A"_qs, u"a"_qs, u"a "_qs, u"a"_qs} << 1
            << QStringList{u"a"_qs, u"a"_qs, u"A"_qs, u"a "_qs} << 4 << QStringList{u"a:2"_qs, u"a :1"_qs};
        QTest::newRow("nothing compared") << QStringList() << 2 << QStringList() << 0 << QStringList();
    }
    void ranking()
    {
        QFETCH(QStringList, titles);
        QFETCH(int, sentences);
        QFETCH(QStringList, ranked);
        QFETCH(int, siteTotal);
        QFETCH(QStringList, rows);
        ComparisonSession s = sessionWithTitles(titles, sentences);
        QCOMPARE(sitestats::rebuild(s), siteTotal);
        QCOMPARE(s.resultTitles.mid(0, ranked.size()), ranked);
        for (qsizetype i = 0; i < s.slotCount(); ++i) {
            // Title, block and count still describe the same result.
            QCOMPARE(s.resultBlocks[i].isEmpty(), s.resultTitles[i].isEmpty());
            QVERIFY(s.resultBlocks[i].contains(s.resultTitles[i]));
            QCOMPARE(s.resultSites[i].has_value(), !s.resultTitles[i].isEmpty());
        }
        QCOMPARE(shownTitles(s, siteTotal), rows);
        // A second rebuild over the ranked slots changes nothing.
        const QStringList once = s.resultTitles;
        QCOMPARE(sitestats::rebuild(s), siteTotal);
        QCOMPARE(s.resultTitles, once);
    }

    void sameOrderAsNeighbourExchangeOnRandomTitles()
    {
        QRandomGenerator rng(20170323);
        for (int round = 0; round < 20; ++round) {
            const int sentences = 1 + int(rng.bounded(30));
            QStringList titles;
            for (int i = 0; i <= 10 * sentences; ++i)
                titles.append(rng.bounded(3) == 0 ? QString() : QString::number(rng.bounded(25)));
            ComparisonSession s = sessionWithTitles(titles, sentences);
            sitestats::rebuild(s);
            QCOMPARE(s.resultTitles, exchangeSorted(titles));
        }
    }

    void spareLastSlotIsNeverCounted()
    {
        ComparisonSession s = sessionWithTitles({u"甲"_qs}, 1);
        s.resultTitles[10] = u"甲"_qs;
        s.resultBlocks[10] = u"<a>甲</a>"_qs;
        QCOMPARE(sitestats::rebuild(s), 2);
        QCOMPARE(s.resultSites[0], std::optional<int>(1));
        // Uncounted, it ranks with the empty slots and keeps its place at the end.
        QCOMPARE(s.resultTitles[10], u"甲"_qs);
        QVERIFY(!s.resultSites[10]);
    }

    void tablePieces()
    {
        QCOMPARE(sitestats::tableHead(),
                 u"<br><br><br><br><br><table><tr><td><h1>相似性网站分析结果</h1></td></tr>"_qs);
        QCOMPARE(
            sitestats::tableRow({u"t"_qs, u"<a href=\"x\">t</a>"_qs, 12}),
            u"<tr><td><a href=\"x\">t</a></td><td width=100 align=center>&nbsp&nbsp出现次数：12<br></td></tr>"_qs);
        QCOMPARE(sitestats::tableRow({QString(), QString(), std::nullopt}),
                 u"<tr><td></td><td width=100 align=center>&nbsp&nbsp出现次数：<br></td></tr>"_qs);
        QCOMPARE(sitestats::tableTail(), u"</table>"_qs);
    }

    void sanitizeBlock_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("clean");
        QTest::newRow("result link kept, attributes re-quoted")
            << u"<a href=\"/l?u=1\" target=_blank data-click=\"{'F':'7'}\">标题 &amp; 题</a>"_qs
            << u"<a href=\"/l?u=1\" target=\"_blank\" data-click=\"{'F':'7'}\">标题 &amp; 题</a>"_qs;
        QTest::newRow("script with its content")
            << u"甲<SCRIPT type=x>alert('</p>')</script >乙"_qs << u"甲乙"_qs;
        QTest::newRow("unterminated script drops the rest") << u"甲<script>alert(1)"_qs << u"甲"_qs;
        QTest::newRow("style, iframe, object")
            << u"<style>a{}</style><iframe src=x>f</iframe><object data=x><param name=a></object>甲"_qs
            << u"甲"_qs;
        QTest::newRow("embed and comment") << u"<embed src=x.swf>甲<!-- <b> -->乙"_qs << u"甲乙"_qs;
        QTest::newRow("event handlers")
            << u"<a href=\"x\" onclick=\"go()\" OnMouseOver='x'>甲</a>"_qs << u"<a href=\"x\">甲</a>"_qs;
        QTest::newRow("script URLs, hidden or not")
            << u"<a href=\" JavaScript:go()\">1</a><a href=\"jav&#x61;script&colon;x\">2</a>"
               "<a href=\"java\tscript:x\">3</a><img src=\"data:text/html,x\">"_qs
            << u"<a>1</a><a>2</a><a>3</a><img>"_qs;
        QTest::newRow("quotes cannot break out of a value")
            << u"<a title='say \"hi\" onclick=x'>甲</a>"_qs
            << u"<a title=\"say &quot;hi&quot; onclick=x\">甲</a>"_qs;
        QTest::newRow("stray angle brackets")
            << u"a < b <3 <a href='x'"_qs << u"a &lt; b &lt;3 &lt;a href='x'"_qs;
        QTest::newRow("svg with script") << u"<svg onload=x><script>y</script></svg>甲"_qs << u"甲"_qs;
        QTest::newRow("style with expression")
            << u"<font style=\"width:expression(x)\" color=red>甲</font>"_qs
            << u"<font color=\"red\">甲</font>"_qs;
    }
    void sanitizeBlock()
    {
        QFETCH(QString, html);
        QFETCH(QString, clean);
        QCOMPARE(::sanitizeBlock(html), clean);
    }

    void pauseEndsAfterItsDurationAndHandlesEvents()
    {
        bool fired = false;
        QTimer::singleShot(50, [&] { fired = true; });
        QElapsedTimer t;
        t.start();
        pauseSeconds(0.3f);
        QVERIFY(t.elapsed() >= 300);
        QVERIFY(t.elapsed() < 2000);
        QVERIFY(fired);
        pauseSeconds(-1);  // returns at once
    }
};

QTEST_GUILESS_MAIN(TestSiteStats)
#include "test_sitestats.moc"
