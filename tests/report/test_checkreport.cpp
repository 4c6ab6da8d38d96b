// What the check report says about a check, and that its HTML stays inert and
// self-contained whatever the result pages put into the check.

#include "analysis/segmentation.h"
#include "report/core/checkreport.h"
#include "report/core/reportmodel.h"

#include <QRegularExpression>
#include <QTest>

namespace {

const QString kBody =
    u"本研究采用问卷调查与访谈相结合的方法对三所高校的两百名学生进行了系统的调查研"_qs;  // 38

// A check of `paper` in which piece i was checked with figures[i] (negative:
// not checked), the other fields as a run would leave them.
SavedCheck checkOf(const QString& paper, const QList<double>& figures)
{
    const segmentation::Analysis a = segmentation::analyse(paper);
    SavedCheck c;
    c.analysedText = a.analysedText;
    c.sentences = a.sentences;
    c.pieces.resize(a.sentences.size());
    c.resultTitles = QStringList(10 * a.sentences.size() + 1, QString());
    c.resultBlocks = c.resultTitles;
    double sum = 0;
    int scored = 0;
    for (qsizetype i = 0; i < figures.size() && i < c.pieces.size(); ++i) {
        if (figures[i] < 0)
            continue;
        c.pieces[i] = {true, figures[i], {}};
        sum += figures[i];
        ++scored;
    }
    c.similaritySum = sum;
    c.pageCount = 1 + scored;
    c.nextIndex = scored;
    c.engine = u"zhiwang"_qs;
    c.savedAt = QDateTime(QDate(2026, 3, 1), QTime(9, 30, 5));
    return c;
}

}  // namespace

class TestCheckReport : public QObject {
    Q_OBJECT
private slots:
    void summaryCountsAndFigures()
    {
        // Piece 3 is in the reference list and left out of the second figure.
        const QString paper = kBody + kBody + u"\r\n参考文献\r\n"_qs + kBody.left(34) + kBody.left(10);
        SavedCheck check = checkOf(paper, {60, 10, 90, -1});
        check.label2 = u"本句相似度：90%\r\n\r\n目前总体相似度：40%"_qs;
        const report::Content c = report::contentOf(check, paper);

        QCOMPARE(c.pieceCount, qsizetype(4));
        QCOMPARE(c.characterCount, qsizetype(38 + 38 + 4 + 34 + 10));
        QCOMPARE(c.checkedCount, qsizetype(3));
        QCOMPARE(c.excludedCount, qsizetype(1));
        QVERIFY(c.linesKnown);
        QCOMPARE(c.overall, u"53.33%"_qs);      // (60 + 10 + 90) / 3
        QCOMPARE(c.label2Overall, u"40%"_qs);   // told beside it, with why they differ
        QCOMPARE(c.overallWithout, u"35%"_qs);  // (60 + 10) / 2
        QCOMPARE(c.engine, u"中国知网"_qs);
        QCOMPARE(c.pieces[2].excluded, true);
        QCOMPARE(c.pieces[3].checked, false);

        const QString html = report::html(c);
        for (const QString& text :
             {u"论文相似度检测报告"_qs, u"2026-03-01 09:30:05"_qs, u"搜索引擎：中国知网"_qs,
              u"本文共 124 字，本次分析共分析出 4 句。"_qs, u"已对比 3 句，未对比 1 句"_qs,
              u"总体相似度：53.33%"_qs, u"程序窗口中显示的总体相似度为 40%，与此不同"_qs,
              u"去除引用和参考文献后的相似度：35%"_qs, u"本次不计入 1 句。"_qs})
            QVERIFY2(html.contains(text), qPrintable(text));
    }

    // Each piece counts once with its latest figure; Label2, which counts a
    // piece compared again by hand twice, is given beside it only when it differs.
    void overallCountsEachPieceOnce()
    {
        SavedCheck check = checkOf(kBody + kBody + kBody, {250, 10, -1});
        check.label2 = u"本句相似度：10%\r\n\r\n目前总体相似度：100%"_qs;
        report::Content c = report::contentOf(check, {});
        QCOMPARE(c.overall, u"100%"_qs);  // 130, capped for display as Label2 caps it
        QCOMPARE(c.label2Overall, u"100%"_qs);
        QVERIFY(!report::html(c).contains(u"程序窗口中显示的总体相似度"_qs));
        QCOMPARE(report::figureLines(c).mid(0, 4),
                 (QStringList{u"overall\t100"_qs, u"without\t100"_qs, u"label2\t100"_qs, u"largest\t0"_qs}));

        check.label2.clear();  // no figure shown: none to give
        c = report::contentOf(check, {});
        QVERIFY(c.label2Overall.isEmpty());
        QCOMPARE(report::figureLines(c)[2], u"label2\t"_qs);
        QCOMPARE(report::contentOf(checkOf(kBody, {-1}), {}).overall, u"0%"_qs);
    }

    void similarTableHoldsPiecesFromTwentyPercent()
    {
        const QString paper = kBody + kBody + kBody + kBody;
        SavedCheck check = checkOf(paper, {19.99, 20, 50, -1});
        check.pieces[1].results = {{u"第一篇"_qs, u"https://example.org/a"_qs}};
        check.pieces[2].results = {{u"第二篇"_qs, u"http://example.org/b?x=1&y=2"_qs},
                                   {u"无链接"_qs, QString()}};
        const QString html = report::html(report::contentOf(check, paper));

        const qsizetype table = html.indexOf(u"及以上的句子</h2>"_qs);
        QVERIFY(table > 0);
        const QString rows = html.mid(table, html.indexOf(u"相似性网站分析结果"_qs) - table);
        QCOMPARE(rows.count(u"<p class=\"pc\">"_qs), 2);
        QVERIFY(rows.contains(u"第 2 句，相似度：20%<br><span class=\"m\">"_qs));
        QVERIFY(rows.contains(u"第 3 句，相似度：50%<br><span class=\"h\">"_qs));
        QVERIFY(rows.contains(u"<a href=\"https://example.org/a\">第一篇</a>"_qs));
        QVERIFY(rows.contains(u"<a href=\"http://example.org/b?x=1&amp;y=2\">第二篇</a>"_qs));
        QVERIFY(rows.contains(u"无链接"_qs));
        QVERIFY(!rows.contains(u"第 1 句"_qs));
        // The paper: the band's colour on each checked piece, the unchecked one marked.
        QVERIFY(html.contains(u"<sup>1</sup><span>"_qs));
        QVERIFY(html.contains(u"<sup>4</sup><span class=\"u\">"_qs));
        QVERIFY(html.contains(u".h{color:#ff0000}.m{color:#e67800}"_qs));
    }

    // Under a piece, the three results with the most highlighted characters
    // (equal ones in the page's order), then how many more the page listed;
    // a result listed twice counts twice there.
    void compactEvidenceShowsThreeResults()
    {
        const QString paper = kBody + kBody;
        SavedCheck check = checkOf(paper, {60, 30});
        const auto result = [](const QString& title, qsizetype highlighted) {
            return ResultLink{
                title, u"https://example.org/"_qs + title, u"摘要"_qs.repeated(20), {{0, highlighted}}};
        };
        check.pieces[0].results = {result(u"甲"_qs, 2), result(u"乙"_qs, 9), result(u"丙"_qs, 5),
                                   result(u"丙"_qs, 5), result(u"丁"_qs, 5), result(u"戊"_qs, 1)};
        check.pieces[1].results = {result(u"己"_qs, 1), result(u"庚"_qs, 1), result(u"辛"_qs, 1)};
        const QString html = report::html(report::contentOf(check, paper));
        const qsizetype first = html.indexOf(u"第 1 句，相似度"_qs);
        const qsizetype second = html.indexOf(u"第 2 句，相似度"_qs);
        const QString block1 = html.mid(first, second - first);
        static const QRegularExpression titles(u">(.)</a>"_qs);
        QStringList shown;
        for (const auto& m : titles.globalMatch(block1))
            shown << m.captured(1);
        QCOMPARE(shown, (QStringList{u"乙"_qs, u"丙"_qs, u"丁"_qs}));
        QVERIFY(block1.contains(u"（相同结果 2 条）"_qs));
        QVERIFY(block1.contains(u"<br>另有 2 条结果</p>"_qs));
        const QString block2 = html.mid(second, html.indexOf(u"</p>"_qs, second) - second);
        QCOMPARE(block2.count(u"</a>"_qs), 3);
        QVERIFY(!block2.contains(u"另有"_qs));
        // The sources table stays whole.
        QVERIFY(html.contains(u">戊</a></td>"_qs));
    }

    // The runs a piece from 20 % shares with its results' summaries: the
    // piece underlined there, each result with its longest run, the lines for
    // scripts; none below 20 %, and a first-format check says why it has none.
    void sharedRunsAreUnderlined()
    {
        const QString paper = kBody + kBody + kBody;
        SavedCheck check = checkOf(paper, {60, 10, 30});
        const auto withSummary = [](const QString& title, const QString& summary) {
            return ResultLink{title, u"https://example.org/"_qs, summary, {}};
        };
        check.pieces[0].results = {withSummary(u"甲"_qs, u"有人说"_qs + kBody.mid(2, 14)),
                                   withSummary(u"乙"_qs, kBody.mid(20, 18) + u"。"_qs),
                                   withSummary(u"丙"_qs, kBody.mid(2, 12))};
        check.pieces[1].results = check.pieces[0].results;
        const report::Content content = report::contentOf(check, paper);
        const QString html = report::html(content);
        const qsizetype first = html.indexOf(u"第 1 句，相似度"_qs);
        const QString block = html.mid(first, html.indexOf(u"</p>"_qs, first) - first);
        QCOMPARE(block.count(u"<u>"_qs), 2);
        QVERIFY(block.contains(u"<span class=\"h\">"_qs + kBody.left(2) + u"</span><span class=\"h\"><u>"_qs
                               + kBody.mid(2, 14) + u"</u></span><span class=\"h\">"_qs + kBody.mid(16, 4)
                               + u"</span><span class=\"h\"><u>"_qs + kBody.mid(20, 18) + u"</u></span>"_qs));
        QVERIFY(block.contains(u">甲</a> <span class=\"ho\">example.org</span> 连续相同 14 字<br>"_qs));
        QVERIFY(block.contains(u"乙</a> <span class=\"ho\">example.org</span> 连续相同 18 字<br>"_qs));
        QVERIFY(!block.contains(u"连续相同 12 字"_qs));
        QVERIFY(html.contains(u"下划线：与网上内容连续13字以上相同，需要改写的部分"_qs));
        QCOMPARE(html.count(u"<u>"_qs), 2);  // piece 3 has no results, piece 2 is below 20 %
        const QStringList runs = report::figureLines(content).filter(QRegularExpression(u"^run\t"_qs));
        QCOMPARE(runs, (QStringList{u"run\t1\t2\t14"_qs, u"run\t1\t20\t18"_qs}));

        check.summariesKept = false;
        const report::Content first1 = report::contentOf(check, paper);
        QVERIFY(report::html(first1).contains(u"也无法标出与网上内容相同、需要改写的部分"_qs));
        QVERIFY(!report::html(first1).contains(u"<u>"_qs));
        QVERIFY(report::figureLines(first1).filter(QRegularExpression(u"^run\t"_qs)).isEmpty());
    }

    // The report lists the first twenty sources; scripts get them all.
    void sourcesListTheFirstTwenty()
    {
        SavedCheck check = checkOf(kBody + kBody, {50, 20});
        for (int k = 0; k < 25; ++k)
            check.pieces[0].results.append({u"来源%1"_qs.arg(k), QString()});
        check.pieces[1].results = {{u"来源24"_qs, QString()}};
        const report::Content c = report::contentOf(check, {});
        QCOMPARE(c.sources.size(), 25);
        QCOMPARE(c.sources[0].title, u"来源24"_qs);  // both pieces: 76 of 76 characters
        QCOMPARE(c.sources[0].share, 100.0);
        QCOMPARE(c.sources[1].title, u"来源0"_qs);  // equal shares in the order first named
        QCOMPARE(c.sources[1].share, 50.0);
        QCOMPARE(c.largestShare, u"100%"_qs);
        const QString html = report::html(c);
        QCOMPARE(html.count(u"<tr><td class=\"n\">"_qs), 20);
        QCOMPARE(report::figureLines(c).filter(QRegularExpression(u"^source\t"_qs)).size(), 25);
        QVERIFY(html.contains(u"论文原文的分行未能读到，章节无法识别。"_qs));
    }

    void siteRankingCountsEachTitleOnce()
    {
        SavedCheck check = checkOf(kBody + kBody + kBody, {30, 30, 30});
        check.resultTitles[0] = u"甲"_qs;
        check.resultTitles[1] = u"乙"_qs;
        check.resultTitles[10] = u"乙"_qs;
        check.resultTitles[20] = u"乙"_qs;
        check.resultTitles[21] = u"甲"_qs;
        check.resultTitles[22] = u"丙"_qs;
        check.resultTitles[30] = u"丁"_qs;  // the spare last slot is never counted
        check.pieces[0].results = {{u"乙"_qs, u"https://example.org/yi"_qs}};
        const report::Content c = report::contentOf(check, {});
        QCOMPARE(c.sites.size(), 3);
        QCOMPARE(c.sites[0].title, u"乙"_qs);
        QCOMPARE(c.sites[0].count, 3);
        QCOMPARE(c.sites[0].url, u"https://example.org/yi"_qs);
        QCOMPARE(c.sites[1].title, u"甲"_qs);
        QCOMPARE(c.sites[1].count, 2);
        QCOMPARE(c.sites[2].title, u"丙"_qs);
        QCOMPARE(c.sites[2].count, 1);
        QVERIFY(!c.linesKnown);
    }

    // Result pages are someone else's text: nothing from them may become
    // markup, script or a link that runs or opens local files.
    void hostileResultsStayText()
    {
        SavedCheck check = checkOf(u"“<script>alert(1)</script>”"_qs + kBody, {80, 80});
        check.pieces[0].results = {{u"<img src=x onerror=alert(1)>"_qs, u"javascript:alert(1)"_qs},
                                   {u"本地"_qs, u"file:///etc/passwd"_qs},
                                   {u"引号\"><b>"_qs, u"https://example.org/\"onmouseover=\"x"_qs},
                                   {u"摘要"_qs,
                                    u"https://example.org/s"_qs,
                                    u"<script>alert(2)</script><img src=x>"_qs,
                                    {{0, 8}, {25, 11}}}};
        check.resultTitles[0] = u"<b>标题</b>"_qs;
        check.engine = u"<i>"_qs;
        const QString html = report::html(report::contentOf(check, {}));

        QVERIFY(!html.contains(u"<script"_qs, Qt::CaseInsensitive));
        QVERIFY(!html.contains(u"<img"_qs, Qt::CaseInsensitive));
        QVERIFY(!html.contains(u"<b>"_qs));
        QVERIFY(!html.contains(u"href=\"javascript"_qs));
        QVERIFY(!html.contains(u"href=\"file"_qs));
        QVERIFY(html.contains(u"&lt;script&gt;alert(1)&lt;/script&gt;"_qs));
        // A summary's text and its highlighted stretches alike.
        QVERIFY(html.contains(u"<span class=\"e\">&lt;script&gt;</span>alert(2)&lt;/script&gt;"
                              "<span class=\"e\">&lt;img src=x&gt;</span>"_qs));
        // Every link is a plain web address in a well-quoted attribute.
        const QRegularExpression href(u"href=\"([^\"]*)\""_qs);
        for (auto m = href.globalMatch(html); m.hasNext();) {
            const QString url = m.next().captured(1);
            QVERIFY2(url.startsWith(u"https://"_qs) || url.startsWith(u"http://"_qs), qPrintable(url));
        }
        QVERIFY(!html.contains(u"\"onmouseover"_qs));
        // An address with a quote in it still links, the quote encoded.
        QVERIFY(html.contains(u"href=\"https://example.org/%22onmouseover=%22x\""_qs));
        // Nothing is fetched: no src, no stylesheet link, no import.
        QVERIFY(!html.contains(QRegularExpression(u"<[a-z]+[^>]*\\ssrc="_qs)));
        QVERIFY(!html.contains(u"<link"_qs));
        QVERIFY(!html.contains(u"@import"_qs));
    }

    // How the HTML writes each kind of run: the report's markup depends on it.
    void modelRunsAsHtml()
    {
        using report::Run;
        using report::Tone;
        Run number;
        number.kind = Run::Kind::Number;
        number.text = u"7"_qs;
        Run piece = Run::of(u"句<子>"_qs, Tone::High);
        piece.piece = true;
        piece.excluded = true;
        Run plainPiece = Run::of(u"平"_qs);
        plainPiece.piece = true;
        Run link = Run::of(u"题"_qs);
        link.href = u"https://example.org/?a=1&b=2"_qs;
        Run shared = Run::of(u"同"_qs, Tone::Medium);
        shared.underline = true;
        Run address = Run::of(QString(31, u'a'));
        address.wrapsAddress = true;
        const auto small = [](const QString& text, Tone tone) {
            Run r = Run::of(text, tone);
            r.small = true;
            return r;
        };
        report::Block paragraph{report::Block::Kind::Paragraph,
                                report::Block::Style::Piece,
                                {number, piece, plainPiece, Run::lineBreak(), link, shared, address,
                                 Run::lineBreak(), small(u"摘"_qs, Tone::Plain),
                                 small(u"红"_qs, Tone::Evidence), Run::lineBreak(),
                                 small(u"又"_qs, Tone::Plain)},
                                {},
                                {}};
        report::Block table{report::Block::Kind::Table,
                            report::Block::Style::Plain,
                            {},
                            {u"甲"_qs, u"乙"_qs},
                            {{{{Run::of(u"一"_qs)}, false}, {{Run::of(u"2"_qs)}, true}}}};
        report::Block list{
            report::Block::Kind::List, report::Block::Style::Plain, {}, {}, {{{{link}, false}}}};
        report::CheckReportModel model;
        model.sections = {{{paragraph}}, {{table, list}}};
        const QString html = report::html(model);
        const QString body = html.mid(html.indexOf(u"<body>\n"_qs) + 7);
        QCOMPARE(
            body,
            u"<p class=\"pc\"><sup>7</sup><span class=\"h x\">句&lt;子&gt;</span><span>平</span><br>"
            "<a href=\"https://example.org/?a=1&amp;b=2\">题</a><span class=\"m\"><u>同</u></span>"
            "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaa<wbr>a<br><span class=\"sm\">摘<span class=\"e\">红</span></span>"
            "<br><span class=\"sm\">又</span></p>\n"
            "<table class=\"t\"><tr><th>甲</th><th>乙</th></tr><tr><td>一</td><td class=\"n\">2</td></tr>"
            "</table><ol class=\"sites\"><li><a href=\"https://example.org/?a=1&amp;b=2\">题</a></li></ol>"
            "</body></html>\n"_qs);
    }

    // A damaged check (fewer piece results than pieces) still gives a report.
    void shortPieceListCountsAsUnchecked()
    {
        SavedCheck check = checkOf(kBody + kBody, {40, 40});
        check.pieces.resize(1);
        const report::Content c = report::contentOf(check, {});
        QCOMPARE(c.checkedCount, qsizetype(1));
        QCOMPARE(c.overallWithout, u"40%"_qs);
    }
};

QTEST_APPLESS_MAIN(TestCheckReport)
#include "test_checkreport.moc"
