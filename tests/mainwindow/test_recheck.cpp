// A reworked paper checked again, through the real window (offscreen), the
// real WebEngine view and a loopback search service that logs its queries:
// the pieces that stand unchanged keep their results and only the changed
// ones are sent; a piece can be sent again on its own from List1's popup.

#include "analysis/savedcheck.h"
#include "mainwindow/ui/form1.h"
#include "platform/browser/browserview.h"
#include "platform/core/numberformat.h"
#include "platform/widgets/dialogs.h"
#include "support/resultpages.h"
#include "support/taggedcheck.h"

// The pre-check of a reworked paper and what the kept check then reports.
#include "documents/core/memoryzip.h"
#include "platform/core/markcolours.h"
#include "platform/widgets/richeditor.h"
#include "platform/widgets/sidebysideview.h"
#include "report/core/checkreport.h"
#include "report/core/markedpaper.h"
#include "support/clirunner.h"
#include "support/testdata.h"

#include <QDialog>
#include <QPlainTextEdit>
#include <QRegularExpression>

#include <algorithm>

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using resultpages::filler;
using taggedcheck::analyse;
using taggedcheck::runToTheEnd;

namespace {

constexpr int kPieces = 16;

QString tagFor(int piece) { return taggedcheck::tag(piece); }

// Sixteen pieces of 38 characters, tagged P01 to P16.
QString paper() { return taggedcheck::paper(kPieces); }

// A sentence added after piece 6, and the first ten characters of piece 15
// reworded (its tag with them): 17 pieces, two of them new.
const QString kAdded = u"N01这是修改时新加的一句话。"_qs + filler(23);  // a whole piece
QString reworkedPaper()
{
    const QString text = paper();
    return text.left(6 * 38) + kAdded + text.mid(6 * 38, 8 * 38) + u"R15重新写过的句子"_qs
        + text.mid(14 * 38 + 10);
}

// Figures by tag: P pieces 60, 25 and 5 % in turn, R 25 %, N 60 %.
double figureOf(const QString& tag)
{
    if (tag.startsWith(u'N'))
        return 60;
    if (tag.startsWith(u'R'))
        return 25;
    const int n = tag.mid(1).toInt();
    return n % 3 == 1 ? 60 : n % 3 == 2 ? 25 : 5;
}

QString overallLine(double sum, int pieces)
{
    return u"目前总体相似度："_qs + numfmt::format(numfmt::roundHalfEven(sum / pieces, 2)) + u'%';
}

// Sum of the figures of the reworked paper's 17 pieces, each counted once.
double reworkedSum()
{
    double sum = figureOf(u"N01"_qs) + figureOf(u"R15"_qs);
    for (int i = 0; i < kPieces; ++i)
        if (i != 14)
            sum += figureOf(tagFor(i));
    return sum;
}

}  // namespace

class TestRecheck : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<taggedcheck::SearchService> service;
    QTemporaryDir profileDir;
    std::unique_ptr<QTemporaryDir> dataDir;

    std::unique_ptr<Form1> makeForm() { return taggedcheck::formAgainst(*service, dataDir->path()); }

    // The paper checked to its end, kept on disk.
    void checkThePaper()
    {
        auto first = makeForm();
        analyse(*first, paper());
        QVERIFY(runToTheEnd(*first));
        first->checkKeeper.waitUntilWritten();
        QCOMPARE(service->takeQueried().size(), kPieces);
    }

    QString questionText() const
    {
        const auto earlier =
            savedcheck::read(savedcheck::pathFor(savedcheck::folderIn(dataDir->path()), paper()));
        const QDateTime at = earlier->savedAt.toLocalTime();
        return u"这篇论文与 %1月%2日 %3 检测过的版本相比，有 15 句未改动。是否沿用这些句子的结果，只对比改动过的 2 句？"_qs
            .arg(at.date().month())
            .arg(at.date().day())
            .arg(at.time().toString(u"HH:mm"_qs));
    }

private slots:
    void initTestCase() { BrowserView::setKeptProfileFolder(profileDir.path()); }

    void init()
    {
        dialogs::reset();
        service = std::make_unique<taggedcheck::SearchService>(figureOf);
        dataDir = std::make_unique<QTemporaryDir>();
    }

    void reworkedPaperSendsOnlyTheChangedPieces()
    {
        checkThePaper();
        const QString question = questionText();
        auto f = makeForm();
        dialogs::queueAnswer(dialogs::Answer::Yes);
        analyse(*f, reworkedPaper());
        const auto asked = dialogs::takeShownMessages();
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked[0].text, question);
        QCOMPARE(asked[0].buttons, dialogs::Buttons::YesNo);

        // The kept cut, its items numbered; the carried pieces coloured.
        QCOMPARE(f->List1->count(), kPieces + 1);
        QCOMPARE(f->List1->item(6)->text(), u"7-"_qs + kAdded);
        QVERIFY(f->List1->item(15)->text().startsWith(u"16-R15"_qs));
        QCOMPARE(f->List1->item(7)->text(), u"8-"_qs + paper().mid(6 * 38, 38));
        QCOMPARE(f->List1->item(0)->data(Qt::ForegroundRole).value<QColor>(), QColor(255, 0, 0));
        QVERIFY(!f->List1->item(6)->data(Qt::ForegroundRole).isValid());
        QCOMPARE(f->Label1->text(), u"已沿用 15 句的结果，还需对比 2 句。"_qs);
        QVERIFY(f->Label2->isVisible());
        QCOMPARE(f->Label2->text(), overallLine(reworkedSum() - 60 - 25, 15));
        QCOMPARE(f->session.pageCount, 16);

        QVERIFY(runToTheEnd(*f));
        QCOMPARE(service->takeQueried(), (QStringList{u"N01"_qs, u"R15"_qs}));
        // Every piece counted once, as a full run over the kept cut would.
        QCOMPARE(f->Label2->text(), u"本句相似度：25%\r\n\r\n"_qs + overallLine(reworkedSum(), kPieces + 1));
        QCOMPARE(f->session.pageCount, kPieces + 2);
        // The piece carried over keeps its results, in its new slots.
        QCOMPARE(f->session.resultTitles[10 * 7], u"P07的网站"_qs);
        QCOMPARE(f->session.resultTitles[10 * 6], u"N01的网站"_qs);
        f->checkKeeper.waitUntilWritten();
        const auto kept =
            savedcheck::read(savedcheck::pathFor(savedcheck::folderIn(dataDir->path()), reworkedPaper()));
        QVERIFY(kept && kept->finished && kept->checkedCount() == kPieces + 1);
    }

    void closedInTheSecondRunGoesOn()
    {
        checkThePaper();
        service->setDelay(300);
        {
            auto f = makeForm();
            dialogs::queueAnswer(dialogs::Answer::Yes);
            analyse(*f, reworkedPaper());
            QCOMPARE(dialogs::takeShownMessages().size(), 1);
            f->Command3_Click();
            QTRY_COMPARE_WITH_TIMEOUT(f->session.pageCount, 17, 20000);
            // Closed in the middle of the run.
        }
        auto again = makeForm();
        dialogs::queueAnswer(dialogs::Answer::Yes);
        analyse(*again, reworkedPaper());
        const auto asked = dialogs::takeShownMessages();
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked[0].text, u"这篇论文上次检测到第 16 句（共 17 句），是否继续上次的检测？"_qs);
        QCOMPARE(again->List1->count(), kPieces + 1);
        QCOMPARE(again->List1->item(6)->text(), u"7-"_qs + kAdded);
        QVERIFY(runToTheEnd(*again));
        const QStringList queried = service->takeQueried();
        QCOMPARE(queried.first(), u"N01"_qs);
        QCOMPARE(queried.last(), u"R15"_qs);
        QVERIFY(queried.size() <= 3);  // R15 may have been in flight at the close
        QCOMPARE(again->Label2->text(),
                 u"本句相似度：25%\r\n\r\n"_qs + overallLine(reworkedSum(), kPieces + 1));
    }

    void answeringNoOrAnEmptyPaperAnalysesAsBefore()
    {
        checkThePaper();
        auto f = makeForm();
        dialogs::queueAnswer(dialogs::Answer::No);
        analyse(*f, reworkedPaper());
        QCOMPARE(dialogs::takeShownMessages().size(), 1);
        QCOMPARE(f->session.sentences.size(), 17);  // the analysis's own cut of 646 characters
        QCOMPARE(f->List1->item(6)->text(), u"7-"_qs + reworkedPaper().mid(6 * 38, 38));
        QVERIFY(f->Label1->text().startsWith(u"本文共 "_qs));
        QCOMPARE(f->session.pageCount, 1);

        // Another service's check is not offered, nor anything for a paper emptied to nothing.
        f->engine_Click(f->wenku);
        analyse(*f, reworkedPaper());
        QVERIFY(dialogs::takeShownMessages().isEmpty());
        analyse(*f, QString());
        QVERIFY(dialogs::takeShownMessages().isEmpty());
        QCOMPARE(f->Label1->text(), u"本文共 0 字，本次分析共分析出 0 句，请多次点击进行对比！"_qs);
        QCOMPARE(f->List1->count(), 0);
    }

    void onePieceSentAgainReplacesItsFigure()
    {
        auto f = makeForm();
        analyse(*f, paper());
        QVERIFY(runToTheEnd(*f));
        service->takeQueried();
        const qint32 nextIndex = f->session.nextIndex;

        // Piece 2 (25 %) comes back at 60 % now.
        service->setFigure(u"P02"_qs, 60);
        f->List1_ContextMenu(f->List1->visualItemRect(f->List1->item(1)).center());
        QVERIFY(f->List1Popup->isVisible());
        QVERIFY(f->cxdb->isEnabled());
        f->cxdb->trigger();
        f->List1Popup->close();
        QTRY_VERIFY_WITH_TIMEOUT(f->Label2->text().startsWith(u"本句相似度：60%"_qs), 20000);
        QTest::qWait(300);  // a repeated arrival of the page changes nothing
        QCOMPARE(service->takeQueried(), QStringList{u"P02"_qs});
        double sum = 0;
        for (int i = 0; i < kPieces; ++i)
            sum += i == 1 ? 60 : figureOf(tagFor(i));
        QCOMPARE(f->Label2->text(), u"本句相似度：60%\r\n\r\n"_qs + overallLine(sum, kPieces));
        QCOMPARE(f->session.pageCount, kPieces + 1);
        QCOMPARE(f->session.nextIndex, nextIndex);
        QCOMPARE(f->List1->item(1)->data(Qt::ForegroundRole).value<QColor>(), QColor(255, 0, 0));
        f->checkKeeper.waitUntilWritten();
        const auto kept =
            savedcheck::read(savedcheck::pathFor(savedcheck::folderIn(dataDir->path()), paper()));
        QVERIFY(kept && kept->finished);
        QCOMPARE(kept->pieces[1].figure, 60.0);

        // During an automatic run the item is off.
        dialogs::queueAnswer(dialogs::Answer::No);
        analyse(*f, paper() + u"再加一句。"_qs);
        QCOMPARE(dialogs::takeShownMessages().size(), 1);
        f->Command3_Click();
        f->List1_ContextMenu(f->List1->visualItemRect(f->List1->item(0)).center());
        QVERIFY(!f->cxdb->isEnabled());
        f->List1Popup->close();
        f->Command4_Click();
    }

    // The rework pre-checked against the summaries the first check kept (each
    // piece's text after its tag): piece 3 keeps 20 of those characters, piece
    // 6 (the last) is rewritten enough. Only piece 3 is violet and offers 查看相同之处;
    // nothing is sent until the run, which sends both. The new check's report,
    // marked paper and trovalis-cli name the runs worked out here.
    void reworkedPiecesArePreCheckedOffline()
    {
        constexpr int kCount = 6;
        const QString body = filler(35);  // every piece's text after its tag, and every summary
        service->setPages([](const QString& tag) {
            QList<resultpages::Result> results = resultpages::numberedResults(3);
            results[0].title = tag + u"的网站"_qs;
            // Highlighted as taggedcheck::figurePage does; the summary begins with the body.
            const int highlighted = qRound(figureOf(tag) * 3.8);
            results[1].snippet = u"<em>"_qs + filler(highlighted) + u"</em>"_qs
                + filler(std::max(35, highlighted)).mid(highlighted);
            return resultpages::page(resultpages::body(results));
        });
        const QString original = taggedcheck::paper(kCount);
        const QString still = u"R03"_qs + body.left(20) + u"春夏秋冬东南西北金木水火土日月"_qs;
        const QString rewritten =
            u"R06星辰山川湖海风雨雷电花草树木鸟兽虫鱼江河湖泊高山平原森林草地天空白云雪"_qs;
        const QString reworked = original.left(2 * 38) + still + original.mid(3 * 38, 2 * 38) + rewritten;
        {
            auto first = makeForm();
            analyse(*first, original);
            QVERIFY(runToTheEnd(*first));
            first->checkKeeper.waitUntilWritten();
        }
        service->takeQueried();

        auto f = makeForm();
        dialogs::queueAnswer(dialogs::Answer::Yes);
        analyse(*f, reworked);
        QCOMPARE(dialogs::takeShownMessages().size(), 1);
        QCOMPARE(f->Label1->text(),
                 u"已沿用 4 句的结果，还需对比 2 句。"
                 u"其中 1 句与上次网上找到的内容仍有连续13字以上相同，建议先改写。"_qs);
        QCOMPARE(f->List1->item(2)->text(), u"3-"_qs + still);  // the text is the query: unchanged
        const QColor violet(QRgb(markcolour::kReworded));
        QCOMPARE(f->List1->item(2)->data(Qt::ForegroundRole).value<QColor>(), violet);
        QVERIFY(!f->List1->item(5)->data(Qt::ForegroundRole).isValid());
        QVERIFY(service->queried().isEmpty());

        f->List1_ContextMenu(f->List1->visualItemRect(f->List1->item(5)).center());
        QVERIFY(!f->ckxt->isEnabled());
        f->List1Popup->close();
        f->List1_ContextMenu(f->List1->visualItemRect(f->List1->item(2)).center());
        QVERIFY(f->ckxt->isEnabled());
        f->ckxt->trigger();
        f->List1Popup->close();
        QVERIFY(f->sameTextWindow && f->sameTextWindow->isVisible());
        const auto* view = f->sameTextWindow->findChild<SideBySideView*>();
        QCOMPARE(view->left->toPlainText(), still);
        QCOMPARE(view->right->toPlainText(), body);
        using Side = SideBySideView::Side;
        QCOMPARE(view->markAt(Side::Left, 3), violet);
        QCOMPARE(view->markAt(Side::Left, 22), violet);
        QVERIFY(!view->markAt(Side::Left, 23).isValid() && !view->markAt(Side::Left, 2).isValid());
        QCOMPARE(view->markAt(Side::Right, 19), violet);
        QVERIFY(!view->markAt(Side::Right, 20).isValid());
        QVERIFY(service->queried().isEmpty());

        QVERIFY(runToTheEnd(*f));
        QCOMPARE(service->takeQueried(), (QStringList{u"R03"_qs, u"R06"_qs}));
        QCOMPARE(f->List1->item(2)->data(Qt::ForegroundRole).value<QColor>(), QColor(230, 120, 0));
        f->checkKeeper.waitUntilWritten();

        // The new check: every piece from 20 % shares its text after the tag
        // with its summaries (35 characters), piece 3 only its 20.
        const QString checkPath = savedcheck::pathFor(savedcheck::folderIn(dataDir->path()), reworked);
        const auto kept = savedcheck::read(checkPath);
        QVERIFY(kept);
        QStringList runLines;
        for (int i = 0; i < kCount; ++i) {
            const QString tag = i == 2 ? u"R03"_qs : i == 5 ? u"R06"_qs : tagFor(i);
            if (figureOf(tag) >= 20 && i != 5)
                runLines << u"run\t%1\t3\t%2"_qs.arg(i + 1).arg(i == 2 ? 20 : 35);
        }
        const report::Content content = report::contentOf(*kept, kept->paperText);
        QCOMPARE(report::figureLines(content).filter(QRegularExpression(u"^run\t"_qs)), runLines);
        const QString html = report::html(content);
        QVERIFY(html.contains(u"<u>"_qs + body.left(20) + u"</u>"_qs));
        QVERIFY(html.contains(u"连续相同 20 字"_qs));
        const auto marked = markedpaper::markText(f->RichTextBox1->text(), *kept);
        QVERIFY(marked);
        const auto comments =
            documents::MemoryZip::open(marked->package)->readAll(u"word/comments.xml"_qs, 1 << 20);
        QVERIFY(QString::fromUtf8(*comments).contains(u"需改写：“"_qs + body.left(20) + u"”"_qs));

        // trovalis-cli: the same run lines, and the pre-check against the first check.
        const clirunner::Run figures = clirunner::run({u"report"_qs, u"--figures"_qs, checkPath});
        QCOMPARE(figures.exitCode, 0);
        QVERIFY(figures.out.endsWith(runLines.join(u'\n') + u'\n'));
        const QString paperFile = dataDir->filePath(u"reworked.txt"_qs);
        testdata::writeFile(paperFile, reworked.toUtf8());
        const clirunner::Run pre =
            clirunner::run({u"precheck"_qs,
                            savedcheck::pathFor(savedcheck::folderIn(dataDir->path()), original), paperFile});
        QCOMPARE(pre.exitCode, 0);
        QStringList lines = pre.out.split(u'\n');
        QCOMPARE(lines.size(), kCount + 2);
        QVERIFY(lines.takeFirst().startsWith(u"本文共 "_qs));
        QCOMPARE(lines[2], u"still\t"_qs + still + u'\t' + body.left(20));
        QCOMPARE(lines[5], u"new\t"_qs + rewritten);
        QCOMPARE(lines[0], u"kept\t"_qs + original.left(38));

        // Another analysis replaces the list: the window of its piece goes.
        analyse(*f, original);
        QVERIFY(!f->sameTextWindow->isVisible());
    }
};

QTEST_MAIN(TestRecheck)
#include "test_recheck.moc"
