#include "analysis/segmentation.h"

#include <QTest>

using segmentation::analyse;

namespace {

QString repeated(const QString& unit, int times) { return unit.repeated(times); }

}  // namespace

class TestSegmentation : public QObject {
    Q_OBJECT
private slots:
    void normalisesAndCuts_data()
    {
        QTest::addColumn<QString>("editorText");
        QTest::addColumn<QStringList>("pieces");

        const QString a38 = repeated(QStringLiteral("研"), 38);
        QTest::newRow("empty editor") << QString() << QStringList();
        QTest::newRow("only spaces and line breaks")
            << QStringLiteral("  \r\n\u3000 \r\n\r\n   ") << QStringList();
        QTest::newRow("38 characters, one piece") << a38 << QStringList{a38};
        QTest::newRow("39 characters, 38 and 1") << a38 + u'究' << QStringList{a38, QStringLiteral("究")};
        QTest::newRow("76 characters, two full pieces") << a38 + a38 << QStringList{a38, a38};
        QTest::newRow("spaces do not count towards 38")
            << repeated(QStringLiteral("研 "), 38) << QStringList{a38};
        QTest::newRow("line breaks never split a piece")
            << QStringLiteral("第一行\r\n第二行") << QStringList{QStringLiteral("第一行第二行")};
        QTest::newRow("Hello World!")
            << QStringLiteral("Hello World!") << QStringList{QStringLiteral("HelloWorld！")};
        QTest::newRow("question mark made full-width")
            << QStringLiteral("why?") << QStringList{QStringLiteral("why？")};
        QTest::newRow("typed marker splits")
            << QStringLiteral("甲乙|@|丙丁") << QStringList{QStringLiteral("甲乙"), QStringLiteral("丙丁")};
        QTest::newRow("typed marker inside a full piece gives one piece more")
            << QStringLiteral("甲|@|") + repeated(QStringLiteral("乙"), 40)
            << QStringList{QStringLiteral("甲"), repeated(QStringLiteral("乙"), 34),
                           repeated(QStringLiteral("乙"), 6)};
        QTest::newRow("tab mid-line stays, tab at line end goes")
            << QStringLiteral("甲\t乙\t\r\n丙") << QStringList{QStringLiteral("甲\t乙丙")};
        QTest::newRow("tab before trailing spaces at line end goes")
            << QStringLiteral("甲\t \r\n乙\t\u3000\u3000\r\n丙") << QStringList{QStringLiteral("甲乙丙")};
        QTest::newRow("tab at the very end without line break stays")
            << QStringLiteral("甲\t") << QStringList{QStringLiteral("甲\t")};
        QTest::newRow("ideographic spaces removed")
            << QStringLiteral("\u3000\u3000研究\u3000表明") << QStringList{QStringLiteral("研究表明")};
    }

    void normalisesAndCuts()
    {
        QFETCH(QString, editorText);
        QFETCH(QStringList, pieces);
        QCOMPARE(analyse(editorText).sentences, pieces);
    }

    void summaryCountsDoubleByteCharacters_data()
    {
        QTest::addColumn<QString>("editorText");
        QTest::addColumn<QString>("summary");

        QTest::newRow("empty") << QString()
                               << QStringLiteral("本文共 0 字，本次分析共分析出 0 句，请多次点击进行对比！");
        QTest::newRow("Hello World! counts only the full-width mark")
            << QStringLiteral("Hello World!")
            << QStringLiteral("本文共 1 字，本次分析共分析出 1 句，请多次点击进行对比！");
        QTest::newRow("punctuation is double-byte, ASCII and tabs are not")
            << QStringLiteral("研究，表明。\tabc123")
            << QStringLiteral("本文共 6 字，本次分析共分析出 1 句，请多次点击进行对比！");
        // An emoji and Hangul have no GBK code; the euro sign is GBK's single byte 0x80.
        QTest::newRow("characters GBK cannot encode are not counted")
            << QStringLiteral("研\U0001F600한€究")
            << QStringLiteral("本文共 2 字，本次分析共分析出 1 句，请多次点击进行对比！");
        QTest::newRow("counts over all pieces")
            << repeated(QStringLiteral("研"), 100)
            << QStringLiteral("本文共 100 字，本次分析共分析出 3 句，请多次点击进行对比！");
    }

    void summaryCountsDoubleByteCharacters()
    {
        QFETCH(QString, editorText);
        QFETCH(QString, summary);
        QCOMPARE(analyse(editorText).summary, summary);
    }

    void listItemsAreNumberedFromOne()
    {
        const auto analysis = analyse(QStringLiteral("研究表明") + repeated(QStringLiteral("字"), 40));
        QCOMPARE(analysis.listItems,
                 (QStringList{QStringLiteral("1-研究表明") + repeated(QStringLiteral("字"), 34),
                              QStringLiteral("2-") + repeated(QStringLiteral("字"), 6)}));
        QVERIFY(analyse(QString()).listItems.isEmpty());
    }

    void resetStartsAFreshComparison()
    {
        ComparisonSession session;
        session.searchUrl = QStringLiteral("http://example.invalid/s?wd=x");
        session.pageHtml = QStringLiteral("<p>old</p>");
        session.lastPageText = QStringLiteral("old");
        session.nextIndex = 7;
        session.lastIndex = 6;
        session.pageCount = 5;
        session.autoRunning = true;
        session.similaritySum = 42.5;
        session.resultsPending = false;
        session.suppressListClick = false;
        session.resultTitles = QStringList(71, QStringLiteral("旧标题"));
        session.resultSites = QList<std::optional<int>>(71, 3);

        segmentation::resetSession(session, analyse(repeated(QStringLiteral("研"), 39)));

        QCOMPARE(session.sentences.size(), 2);
        QCOMPARE(session.analysedText, repeated(QStringLiteral("研"), 39));
        QCOMPARE(session.nextIndex, 0);
        QCOMPARE(session.lastIndex, 0);
        QCOMPARE(session.pageCount, 1);
        QVERIFY(!session.autoRunning);
        QCOMPARE(session.similaritySum, 0.0);
        QVERIFY(session.resultsPending);
        QVERIFY(session.suppressListClick);
        for (const auto* array : {&session.resultBlocks, &session.resultTitles}) {
            QCOMPARE(array->size(), 21);
            QVERIFY(std::all_of(array->begin(), array->end(), [](const QString& s) { return s.isEmpty(); }));
        }
        QCOMPARE(session.resultSites, QList<std::optional<int>>(21));
        // Page fields are the query's business, not the analysis's.
        QCOMPARE(session.searchUrl, QStringLiteral("http://example.invalid/s?wd=x"));
        QCOMPARE(session.pageHtml, QStringLiteral("<p>old</p>"));
        QCOMPARE(session.lastPageText, QStringLiteral("old"));

        segmentation::resetSession(session, analyse(QString()));
        QVERIFY(session.sentences.isEmpty());
        QCOMPARE(session.resultTitles.size(), 1);
    }

    void fiveMegabytePaper()
    {
        // About 5 MB of UTF-8: lines of Chinese text with spaces and a few marks.
        const QString line =
            QStringLiteral("本研究表明，在 2017 年的调查中 Hello World! 样本数量为三百？\r\n");
        const QString paper = line.repeated(5 * 1024 * 1024 / line.toUtf8().size());
        const auto analysis = analyse(paper);
        const qsizetype length = analysis.analysedText.size();
        QCOMPARE(analysis.sentences.size(), (length + 37) / 38);
        QCOMPARE(analysis.sentences.first().size(), 38);
        QCOMPARE(analysis.sentences.join(QString()), analysis.analysedText);
        QVERIFY(!analysis.analysedText.contains(u' '));
        QVERIFY(!analysis.analysedText.contains(u'\n'));
        QCOMPARE(analysis.listItems.size(), analysis.sentences.size());
        QVERIFY(analysis.listItems.last().startsWith(QString::number(analysis.sentences.size()) + u'-'));
    }
};

QTEST_GUILESS_MAIN(TestSegmentation)
#include "test_segmentation.moc"
