#include "analysis/query.h"

#include <QTest>

class TestQuery : public QObject {
    Q_OBJECT
private slots:
    void buildQuery_data()
    {
        QTest::addColumn<QString>("sentence");
        QTest::addColumn<QString>("query");
        QTest::addColumn<bool>("skipped");
        QTest::newRow("marks become spaces, one reduction, final stop after it")
            << u"研究（2016）表明：“结论”。"_qs << u"研究 2016 表明 结论  "_qs << false;
        QTest::newRow("single full stop leaves one space") << u"。"_qs << u" "_qs << true;
        QTest::newRow("comma and full stop leave two spaces") << u"，。"_qs << u"  "_qs << false;
        QTest::newRow("empty") << QString() << QString() << true;
        QTest::newRow("private-use character") << u"\uE003"_qs << u"\uE003"_qs << true;
        QTest::newRow("surrounding spaces trimmed first") << u"  中文 "_qs << u"中文"_qs << false;
        QTest::newRow("only spaces are trimmed: a tab and a no-break space stay")
            << u" \t中文\u00A0 "_qs << u"\t中文\u00A0"_qs << false;
        QTest::newRow("a lone tab is searched") << u"\t"_qs << u"\t"_qs << false;
        QTest::newRow("ASCII comma and double quote") << u"a,b\"c"_qs << u"a b c"_qs << false;
        QTest::newRow("three spaces leave two") << u"a   b"_qs << u"a  b"_qs << false;
        QTest::newRow("double ellipsis goes, single stays") << u"甲……乙…丙"_qs << u"甲 乙…丙"_qs << false;
        QTest::newRow("untouched punctuation") << u"甲；乙？丙、丁"_qs << u"甲；乙？丙、丁"_qs << false;
        QTest::newRow("brackets and exclamation") << u"《书》【注】好！"_qs << u" 书 注 好 "_qs << false;
    }
    void buildQuery()
    {
        QFETCH(QString, sentence);
        QFETCH(QString, query);
        QFETCH(bool, skipped);
        QCOMPARE(::buildQuery(sentence), query);
        QCOMPARE(isSkippedQuery(::buildQuery(sentence)), skipped);
    }

    void encoders_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("gbk");
        QTest::addColumn<QString>("utf8");
        QTest::newRow("safe ASCII and a space") << u"a-1.b/c d"_qs << u"a-1.b/c%20d"_qs << u"a-1.b/c d"_qs;
        QTest::newRow("underscore") << u"_"_qs << u"%5F"_qs << u"_"_qs;
        QTest::newRow("ideograph") << u"中"_qs << u"%D6%D0"_qs << u"%E4%B8%AD"_qs;
        QTest::newRow("ampersand, tab, comma") << u"&\t,"_qs << u"%26%9,"_qs << u"&\t,"_qs;
        QTest::newRow("full-width comma") << u"，"_qs << u"%A3%AC"_qs << u"%EF%BC%8C"_qs;
        QTest::newRow("two-byte UTF-8, GBK double-byte") << u"é"_qs << u"%A8%A6"_qs << u"%C3%A9"_qs;
        QTest::newRow("control character, no leading zero") << u"\x01"_qs << u"%1"_qs << u"\x01"_qs;
        QTest::newRow("outside GBK: each surrogate half")
            << u"😀"_qs << u"%3F%3F"_qs << u"%ED%A0%BD%ED%B8%80"_qs;
        QTest::newRow("empty") << QString() << QString() << QString();
    }
    void encoders()
    {
        QFETCH(QString, text);
        QFETCH(QString, gbk);
        QFETCH(QString, utf8);
        QCOMPARE(UrlEncodeGbk(text), gbk);
        QCOMPARE(UrlEncodeUtf8(text), utf8);
    }

    void searchUrlPerEngine()
    {
        Endpoints e;
        e.baiduBase = u"http://b.test"_qs;
        e.wenkuBase = u"http://w.test"_qs;
        e.zhiwangBase = u"http://z.test"_qs;
        const QString q = u"中 a"_qs;
        QCOMPARE(*searchUrl(SearchEngine::Baidu, q, e),
                 u"http://b.test/s?wd=%D6%D0%20a&rsv_bp=0&ch=&bar=&rsv_spt=3&tn=baidu"_qs);
        QCOMPARE(*searchUrl(SearchEngine::Wenku, q, e),
                 u"http://w.test/search?word=%D6%D0%20a&od=0&fr=top_home"_qs);
        QCOMPARE(*searchUrl(SearchEngine::Zhiwang, q, e),
                 u"http://z.test/result.aspx?q=%E4%B8%AD a&rt=&rl=&udb="_qs);
        QVERIFY(!searchUrl(SearchEngine::Longyuan, q, e));
        // A tab at the edge is sent as %9; a no-break space, not in GBK, as %3F.
        QCOMPARE(*searchUrl(SearchEngine::Baidu, ::buildQuery(u" \t中\u00A0 "_qs), e),
                 u"http://b.test/s?wd=%9%D6%D0%3F&rsv_bp=0&ch=&bar=&rsv_spt=3&tn=baidu"_qs);
    }
};

QTEST_APPLESS_MAIN(TestQuery)
#include "test_query.moc"
