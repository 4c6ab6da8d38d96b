// A paper's chapters told by its heading lines, and where they begin in the
// text the analysis made of it.

#include "analysis/chapters.h"
#include "analysis/segmentation.h"

#include <QTest>

using chapters::Heading;

Q_DECLARE_METATYPE(chapters::Heading)

class TestChapters : public QObject {
    Q_OBJECT
private slots:
    void headingLines_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<Heading>("kind");
        QTest::newRow("chapter, Chinese numerals") << u"第十二章　结论与展望"_qs << Heading::Chapter;
        QTest::newRow("chapter, Arabic numerals, spaces around") << u"  第3章 方法 "_qs << Heading::Chapter;
        QTest::newRow("part") << u"第二部分 实证研究"_qs << Heading::Part;
        QTest::newRow("section") << u"第一节 研究背景"_qs << Heading::Section;
        QTest::newRow("number and space") << u"1 绪论"_qs << Heading::Numbered;
        QTest::newRow("number and ideographic space") << u"2　方法"_qs << Heading::Numbered;
        QTest::newRow("number and Chinese") << u"12研究方法"_qs << Heading::Numbered;
        QTest::newRow("number and enumeration comma") << u"3、研究对象"_qs << Heading::Section;
        QTest::newRow("two levels") << u"2.1 研究设计"_qs << Heading::Section;
        QTest::newRow("three levels") << u"2.1.3 样本"_qs << Heading::Section;
        QTest::newRow("four levels") << u"2.1.3.4 样本"_qs << Heading::None;
        QTest::newRow("number past 99") << u"100 个样本"_qs << Heading::None;
        QTest::newRow("a year") << u"2023年的调查"_qs << Heading::None;
        QTest::newRow("number and Latin") << u"1 Introduction"_qs << Heading::Numbered;
        QTest::newRow("number and letter") << u"1a 组"_qs << Heading::None;
        QTest::newRow("abstract, spaced out") << u"摘　　要"_qs << Heading::Word;
        QTest::newRow("Abstract in capitals") << u"ABSTRACT"_qs << Heading::Word;
        QTest::newRow("references") << u"参考文献"_qs << Heading::Word;
        QTest::newRow("word with more") << u"致谢词"_qs << Heading::None;
        QTest::newRow("full stop") << u"第一章 绪论。"_qs << Heading::None;
        QTest::newRow("comma") << u"1 研究背景，意义"_qs << Heading::None;
        QTest::newRow("colon") << u"附录：问卷"_qs << Heading::None;
        QTest::newRow("41 characters") << u"第一章 "_qs + QString(37, u'文') << Heading::None;
        QTest::newRow("40 characters") << u"第一章 "_qs + QString(36, u'文') << Heading::Chapter;
        QTest::newRow("empty") << QString() << Heading::None;
    }

    void headingLines()
    {
        QFETCH(QString, line);
        QFETCH(Heading, kind);
        QCOMPARE(chapters::headingOf(line), kind);
    }

    void chaptersOpenAtTopLevelHeadings()
    {
        const QString paper = u"某某大学本科毕业论文\r\n摘 要\r\n本文研究。\r\n第一章 绪论\r\n1.1 背景\r\n"
                              "背景！\r\n第二章 方法\r\n方法?\r\n\r\n参考文献\r\n[1] 张三\r\n"_qs;
        const QString analysed = segmentation::normalise(paper);
        const auto found = chapters::find(paper, analysed);
        QVERIFY(found);
        QStringList titles;
        for (const chapters::Chapter& c : *found) {
            titles.append(c.title);
            QVERIFY(c.start >= 0 && c.start < analysed.size());
        }
        QCOMPARE(
            titles,
            (QStringList{u"前置部分"_qs, u"摘 要"_qs, u"第一章 绪论"_qs, u"第二章 方法"_qs, u"参考文献"_qs}));
        // Each begins where its heading's text begins, past the "!" and "?" made full-width.
        QCOMPARE(analysed.mid((*found)[1].start, 2), u"摘要"_qs);
        QCOMPARE(analysed.mid((*found)[3].start, 3), u"第二章"_qs);
        QCOMPARE(analysed.mid((*found)[4].start), u"参考文献[1]张三"_qs);
        QCOMPARE((*found)[0].start, 0);
    }

    void partsOpenChaptersOnlyWithoutChapterHeadings()
    {
        const QString parts = u"第一部分 引言\r\n正文\r\n第二部分 结论\r\n正文"_qs;
        QCOMPARE(chapters::find(parts, segmentation::normalise(parts))->size(), 2);
        const QString both = u"第一章 引言\r\n第一部分 上\r\n正文\r\n第二部分 下\r\n"_qs;
        QCOMPARE(chapters::find(both, segmentation::normalise(both))->size(), 1);
    }

    void withoutHeadingsOrLines()
    {
        const QString plain = u"这是一段没有标题的正文，\r\n还有一段。"_qs;
        QVERIFY(chapters::find(plain, segmentation::normalise(plain))->isEmpty());
        // The lines of another text (edited since the check) cannot be placed.
        QVERIFY(!chapters::find(u"第一章 绪论\r\n正文"_qs, segmentation::normalise(plain)));
        QVERIFY(!chapters::find(QString(), segmentation::normalise(plain)));
    }
};

QTEST_APPLESS_MAIN(TestChapters)
#include "test_chapters.moc"
