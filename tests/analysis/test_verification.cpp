// Telling a search service's verification page from a result page, and the
// per-piece results read from result pages as they are.

#include "analysis/resultlinks.h"
#include "analysis/scoring.h"
#include "analysis/segmentation.h"
#include "analysis/verification.h"
#include "support/clirunner.h"
#include "support/resultpages.h"
#include "support/testdata.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace resultpages;

namespace {

const QUrl kResults(u"https://www.baidu.com/s?wd=captcha"_qs);
const QString kBaiduTitle = u"百度安全验证"_qs;

// Baidu's verification page as the browser shows its text: the texts in
// elements of their own, with line breaks between them.
QString baiduVerificationText()
{
    return u"网络不给力，请稍后重试\n返回首页\n问题反馈\n\n百度安全验证\n请完成下方验证后继续操作\n拖动左侧滑块使图片为正\n"_qs;
}

ComparisonSession afterQuery(const QStringList& sentences)
{
    segmentation::Analysis analysis;
    analysis.sentences = sentences;
    ComparisonSession s;
    segmentation::resetSession(s, analysis);
    s.nextIndex = 1;
    return s;
}

}  // namespace

class TestVerification : public QObject {
    Q_OBJECT
private slots:
    void recognisedByAddressTitleAndText_data()
    {
        QTest::addColumn<QUrl>("url");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("verification");

        const QUrl wappass(u"https://wappass.baidu.com/static/captcha/tuxing.html?ak=1&backurl=x"_qs);
        QTest::newRow("landed on Baidu's verification host") << wappass << QString() << QString() << true;
        QTest::newRow("a captcha path on another host")
            << QUrl(u"http://127.0.0.1:8080/static/Captcha/tuxing.html"_qs) << QString() << QString() << true;
        QTest::newRow("CNKI's check-code path")
            << QUrl(u"http://xueshu.cnki.net/CheckCode.aspx"_qs) << QString() << QString() << true;
        QTest::newRow("title and one text, spacing as the browser puts it")
            << kResults << kBaiduTitle << baiduVerificationText() << true;
        QTest::newRow("title and only the slider text")
            << kResults << u" 百度安全验证 "_qs << u"拖动左侧滑块\n使图片为正"_qs << true;
        QTest::newRow("the title alone") << kResults << kBaiduTitle << u"百度一下"_qs << false;
        QTest::newRow("the texts under another title: a result that quotes them")
            << kResults << u"网络不给力_百度搜索"_qs << baiduVerificationText() << false;
        QTest::newRow("the query names a captcha, the path does not")
            << kResults << u"captcha_百度搜索"_qs << filler(600) << false;
        QTest::newRow("a short ordinary page") << kResults << u"结果"_qs << u"没有找到"_qs << false;
        QTest::newRow("a blank page") << QUrl(u"about:blank"_qs) << QString() << QString() << false;
    }

    void recognisedByAddressTitleAndText()
    {
        QFETCH(QUrl, url);
        QFETCH(QString, title);
        QFETCH(QString, text);
        QFETCH(bool, verification);
        QCOMPARE(verification::isVerificationPage(url, title, text), verification);
    }

    void savedPagesTitleAndTextAsABrowserShowsThem()
    {
        const auto parts = verification::partsOf(
            u"<html><head><TITLE> 百度&#23433;全验证 "
            u"</TITLE><style>p{content:'网络不给力，请稍后重试'}</style>"
            "</head><body><script>var t = '请完成下方验证后继续操作';</script><p>A &amp; B&nbsp;<b>x</b></p>"
            "<!-- 拖动左侧滑块使图片为正 --></body></html>"_qs);
        QCOMPARE(parts.title, kBaiduTitle);
        // Script, style and comments are not text: none of the markers is on the page.
        QCOMPARE(parts.text, u"A & B\u00A0x"_qs);
        QVERIFY(!verification::isVerificationPage(kResults, parts.title, parts.text));
        // A tag cut short ends the text; a tag with '>' in a quoted value does not end early.
        QCOMPARE(verification::partsOf(u"<p title=\"a>b\">文字</p><a href=\"x"_qs).text, u"文字"_qs);
    }

    void realResultPagesAreOrdinary()
    {
        if (!testdata::haveShared())
            QSKIP("third-party test data absent: ../shared/data");
        for (const char* name : {"test_web_normal.html", "test_web_news.html", "test_web_no_related.html",
                                 "test_web_invalid.html"}) {
            const QString html = QString::fromUtf8(
                testdata::readFile(testdata::sharedDir() + u"/serp/"_qs + QString::fromLatin1(name)));
            const auto parts = verification::partsOf(html);
            QVERIFY2(!verification::isVerificationPage(kResults, parts.title, parts.text), name);
        }
    }

    void cliTellsVerificationFromOrdinary()
    {
        SKIP_WITHOUT_CLI();
        QTemporaryDir dir;
        const QString page = dir.filePath(u"page.html"_qs);
        testdata::writeFile(
            page,
            (u"<html><head><title>百度安全验证</title></head><body><p>网络不给力，请稍后重试</p>"
             "<div>请完成下方验证后继续操作</div></body></html>"_qs)
                .toUtf8());
        auto run = clirunner::run({u"verification"_qs, u"http://www.baidu.com/s?wd=x"_qs, page});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, u"verification\n"_qs);
        // The same page body on an ordinary title is a page like any other ...
        testdata::writeFile(page, resultpages::page(u"<p>网络不给力，请稍后重试</p>"_qs));
        run = clirunner::run({u"verification"_qs, u"http://www.baidu.com/s?wd=x"_qs, page});
        QCOMPARE(run.out, u"ordinary\n"_qs);
        // ... unless it was reached at the verification address.
        run = clirunner::run(
            {u"verification"_qs, u"https://wappass.baidu.com/static/captcha/tuxing.html"_qs, page});
        QCOMPARE(run.out, u"verification\n"_qs);
        run = clirunner::run({u"verification"_qs, u"http://x/"_qs, dir.filePath(u"missing.html"_qs)});
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(clirunner::run({u"verification"_qs, page}).exitCode, 2);
    }

    // --- the per-piece results -------------------------------------------------------

    void resultLinksFromHeadingsAsPagesWriteThem()
    {
        const QString html =
            u"<h3 class=\"t c-title-en\"><a data-x=\"a>b\" href=\"http://www.baidu.com/link?url=A&amp;x=1\""
            " target=\"_blank\">第一 <em>个</em>\n 结果</a><span>更多</span></h3>"
            "<h3 class=\"title\"><a href=\"/not-a-result\">不是结果</a></h3>"
            "<H3 CLASS=\"T\"><A HREF='/two'>&lt;二&gt;</A></H3>"
            "<h3 class=\"t\">没有链接的标题</h3>"
            "<h3 class=\"t\"><a href=\"/cut\">没有结束"_qs;
        const QList<ResultLink> links = resultlinks::read(html);
        QCOMPARE(links.size(), 4);
        QCOMPARE(links[0], (ResultLink{u"第一 个 结果"_qs, u"http://www.baidu.com/link?url=A&x=1"_qs}));
        QCOMPARE(links[1], (ResultLink{u"<二>"_qs, u"/two"_qs}));
        QCOMPARE(links[2], (ResultLink{u"没有链接的标题"_qs, QString()}));
        QCOMPARE(links[3], (ResultLink{u"没有结束"_qs, u"/cut"_qs}));
        QCOMPARE(resultlinks::read(body(numberedResults(12))).size(), resultlinks::kMaxResults);
    }

    void summariesBelowHeadings()
    {
        const QString html =
            u"<div class=\"result\"><h3 class=\"t\"><a href=\"/1\">一</a></h3>"
            "<div class=\"c-abstract\">前文<em>相似的一段</em> 后文&lt;b&gt;<script>alert(1)</script>"
            "<EM>第二段</EM><br>换行</div><div>来源</div></div>"
            "<div>页脚不属于任何结果</div>"
            "<div class=\"result\"><h3 class=\"t\"><a href=\"/2\">二</a></h3>  平铺的<em>摘要</em>"
            "<h3 class=\"other\">下一个标题</h3>不属于第二个结果"_qs;
        const QList<ResultLink> links = resultlinks::read(html);
        QCOMPARE(links.size(), 2);
        // Tags dropped, a block element's end a space, the script's text gone,
        // both cases of emphasis marked; the block ends with its container.
        QCOMPARE(links[0].summary, u"前文相似的一段 后文<b>第二段 换行 来源"_qs);
        QCOMPARE(links[0].highlighted, (QList<TextStretch>{{2, 5}, {13, 3}}));
        // Without a container of its own, the block ends at the next heading.
        QCOMPARE(links[1].summary, u"平铺的摘要"_qs);
        QCOMPARE(links[1].highlighted, (QList<TextStretch>{{3, 2}}));

        // At most 300 characters; a highlight that runs past the cut is cut with it.
        QList<Result> results = numberedResults(1);
        results[0].snippet = filler(290) + highlight(30);
        const ResultLink longOne = resultlinks::read(body(results)).value(0);
        QCOMPARE(longOne.summary.size(), 300);
        QCOMPARE(longOne.highlighted, (QList<TextStretch>{{290, 10}}));
    }

    void resultLinksOfRealPages()
    {
        if (!testdata::haveShared())
            QSKIP("third-party test data absent: ../shared/data");
        // Saved Baidu pages: ten headings whose class list holds "t", some
        // with more classes, every link ending in target="_blank">.
        for (const char* name : {"test_web_normal.html", "test_web_no_related.html"}) {
            const QString html = QString::fromUtf8(
                testdata::readFile(testdata::sharedDir() + u"/serp/"_qs + QString::fromLatin1(name)));
            const QList<ResultLink> links = resultlinks::read(html);
            QCOMPARE(links.size(), 10);
            int absolute = 0;
            int highlighted = 0;
            for (const ResultLink& link : links) {
                QVERIFY2(!link.summary.contains(u'<') && link.summary.size() <= 300,
                         qPrintable(link.summary));
                highlighted += !link.highlighted.isEmpty();
                QVERIFY2(!link.title.isEmpty() && !link.title.contains(u'<'), qPrintable(link.title));
                QVERIFY(!link.url.isEmpty());
                absolute += link.url.startsWith(u"http://www.baidu.com/link?url="_qs);
            }
            // Baidu's own blocks (videos) link to a path of the page's host, as the page gives it.
            QVERIFY2(absolute >= 8, name);
            QVERIFY2(highlighted >= 5, qPrintable(QString::number(highlighted)));
        }
        const QString none =
            QString::fromUtf8(testdata::readFile(testdata::sharedDir() + u"/serp/test_web_invalid.html"_qs));
        QVERIFY(resultlinks::read(none).isEmpty());
    }

    void scoredPageKeepsItsPieceResult()
    {
        const QString sentence = filler(10);
        ComparisonSession s = afterQuery({sentence, filler(5)});
        QCOMPARE(s.pieces, QList<PieceResult>(2));

        // Highlights of 150 characters on a 10-character piece: uncapped 150.
        QList<Result> results = numberedResults(2);
        results[0].snippet = highlight(150);
        const QString page = body(results);
        QVERIFY(scoring::pageArrived(s, page, page));
        QCOMPARE(s.pieces[0].checked, true);
        QCOMPARE(s.pieces[0].figure, 150.0);
        QCOMPARE(s.pieces[0].results.size(), 2);
        QCOMPARE(s.pieces[0].results[1], (ResultLink{u"标题2"_qs, u"/link?url=2"_qs}));
        QCOMPARE(s.pieces[1], PieceResult());

        // A short page is checked and found nothing; an empty one is not checked.
        s.nextIndex = 2;
        QVERIFY(scoring::pageArrived(s, u"<p>短</p>"_qs, u"短"_qs));
        QCOMPARE(s.pieces[1], (PieceResult{true, 0, {}}));
        s = afterQuery({sentence});
        QVERIFY(scoring::pageArrived(s, QString(), u"x"_qs));
        QVERIFY(!s.pieces[0].checked);

        // A new analysis starts every piece afresh.
        segmentation::Analysis analysis;
        analysis.sentences = QStringList{sentence};
        segmentation::resetSession(s, analysis);
        QCOMPARE(s.pieces, QList<PieceResult>(1));
    }
};

QTEST_MAIN(TestVerification)
#include "test_verification.moc"
