// The report after a real automatic run: the real window and WebEngine view
// against a search server on 127.0.0.1, the check the run kept, and
// trovalis-cli's report of that file.

#include "analysis/savedcheck.h"
#include "mainwindow/ui/form1.h"
#include "platform/core/numberformat.h"
#include "platform/widgets/dialogs.h"
#include "platform/widgets/richeditor.h"
#include "support/clirunner.h"
#include "support/resultpages.h"
#include "support/taggedcheck.h"

#include <QAction>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>

#include <memory>

using namespace resultpages;

namespace {

// Tags the server tells the pieces by, with their figures: AAA 10 %, BBB
// 20 %; the third piece is a quotation, half of it highlighted.
const QString kA = u"AAA"_qs + filler(35);
const QString kB = u"BBB"_qs + filler(35).mid(1) + u"乙"_qs;
const QString kC = u"“CCC结论显示相似度”"_qs;

double figureOf(const QString& tag) { return tag == u"AAA" ? 10 : tag == u"BBB" ? 20 : 15; }

// A paper of seven 38-character pieces, each tagged P1 to P7 (two ASCII
// characters, so 36 characters a piece as the paper counts them): a
// preface, three chapters and a reference list, each piece inside one part.
QString evidencePaper()
{
    const auto text = [](int tag, int length) { return u'P' + QString::number(tag) + filler(length - 2); };
    return text(1, 38) + u"\r\n第一章 绪论\r\n"_qs + text(2, 33) + u"\r\n"_qs + text(3, 38)
        + u"\r\n第二章 方法\r\n"_qs + text(4, 33) + u"\r\n"_qs + text(5, 38) + u"\r\n第三章 结论\r\n"_qs
        + text(6, 33) + u"\r\n参考文献\r\n"_qs + text(7, 34);
}

// Per piece: the highlighted characters (figure = that / 380, so 228 is 60 %)
// on its first result, and the sources its page lists.
struct PiecePage {
    int highlighted;
    QStringList sources;
};
const PiecePage kPiecePages[] = {
    {228, {u"来源甲"_qs}},                              // 60 %, preface
    {76, {u"来源甲"_qs, u"来源乙"_qs}},                 // 20 %
    {38, {u"来源乙"_qs}},                               // 10 %: below the band, no source
    {190, {u"来源乙"_qs, u"来源丙"_qs, u"来源丙"_qs}},  // 50 %, the same result twice
    {0, {u"来源甲"_qs}},                                // 0 %
    {114, {u"来源甲"_qs}},                              // 30 %
    {228, {u"来源丁"_qs}},                              // 60 %, reference list
};

QByteArray evidencePageFor(const QString& tag)
{
    for (int p = 0; p < 7; ++p) {
        if (tag != u'P' + QString::number(p + 1))
            continue;
        QList<resultpages::Result> results;
        for (const QString& source : kPiecePages[p].sources)
            results.append(
                {source, source + u"的摘要，&lt;script&gt;alert(1)&lt;/script&gt;<script>x()</script>"_qs});
        if (kPiecePages[p].highlighted > 0)
            results[0].snippet += highlight(kPiecePages[p].highlighted);
        return page(body(results));
    }
    return {};
}

// The cells of each row of the table that follows `heading`, tags dropped.
QStringList tableRows(const QString& html, const QString& heading)
{
    const qsizetype from = html.indexOf(heading);
    const QString table = html.mid(from, html.indexOf(u"</table>"_qs, from) - from);
    QStringList rows;
    static const QRegularExpression tag(u"<[^>]*>"_qs);
    for (const QString& row : table.split(u"</tr>"_qs).mid(1))  // after the header row
        if (row.contains(u"<td"_qs))
            rows.append(QString(row).replace(u"</td>"_qs, u"|"_qs).remove(tag).chopped(1));
    return rows;
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class TestReportOnline : public QObject {
    Q_OBJECT
private slots:
    void reportOfARealRun()
    {
        SKIP_WITHOUT_CLI();
        dialogs::reset();
        const taggedcheck::SearchService service(figureOf);
        QTemporaryDir dir;
        const auto window = taggedcheck::formAgainst(service, dir.filePath(u"data"_qs));
        Form1& form = *window;
        taggedcheck::analyse(form, kA + kB + u"\r\n"_qs + kC);
        form.refreshReportMenu();
        QVERIFY(!form.ckbg->isEnabled());  // nothing checked yet

        dialogs::queueAnswer(dialogs::Answer::Ok);  // "本次对比结束！"
        form.Command3_Click();
        QTRY_VERIFY_WITH_TIMEOUT(form.session.pieces[0].checked, 30000);
        form.refreshReportMenu();
        QVERIFY(!form.dcbg->isEnabled());  // no report while the run is on
        QTRY_VERIFY_WITH_TIMEOUT(!form.session.autoRunning, 30000);
        form.refreshReportMenu();
        QVERIFY(form.dcbg->isEnabled());
        for (const PieceResult& piece : form.session.pieces)
            QVERIFY(piece.checked);

        const QString exported = dir.filePath(u"report.html"_qs);
        dialogs::queueFileName(exported);
        form.dcbg_Click();
        const QByteArray html = readAll(exported);
        const QString overall = form.Label2->text().section(u"目前总体相似度："_qs, 1);
        QVERIFY(!overall.isEmpty());
        QVERIFY(html.contains((u"总体相似度："_qs + overall).toUtf8()));
        // The quotation is left out; the other two as the overall figure counts them.
        const double without =
            numfmt::roundHalfEven((form.session.pieces[0].figure + form.session.pieces[1].figure) / 2, 2);
        QVERIFY2(
            html.contains((u"去除引用和参考文献后的相似度："_qs + numfmt::format(without) + u'%').toUtf8()),
            html.constData());
        QVERIFY(html.contains("本次不计入 1 句。"));

        // The check the run kept gives trovalis-cli the same bytes.
        const QString kept =
            savedcheck::pathFor(savedcheck::folderIn(form.dataFolder), form.session.analysedText);
        const QString fromCli = dir.filePath(u"cli.html"_qs);
        QCOMPARE(clirunner::run({u"report"_qs, kept, fromCli}).exitCode, 0);
        QCOMPARE(readAll(fromCli), html);

        // The first piece (10 %) turns black, the second (20 %) orange.
        form.bzxs_Click();
        QTextCursor c(form.RichTextBox1->document());
        c.setPosition(1);
        QCOMPARE(c.charFormat().foreground().color(), QColor(0, 0, 0));
        c.setPosition(39);
        QCOMPARE(c.charFormat().foreground().color(), QColor(230, 120, 0));
    }

    // What matched, from which sources, in which chapter: figures worked out
    // by hand for the paper above.
    void evidenceOfARealRun()
    {
        SKIP_WITHOUT_CLI();
        dialogs::reset();
        taggedcheck::SearchService service;
        service.setPages(evidencePageFor);
        QTemporaryDir dir;
        const auto window = taggedcheck::formAgainst(service, dir.filePath(u"data"_qs));
        Form1& form = *window;
        taggedcheck::analyse(form, evidencePaper());
        QCOMPARE(form.session.sentences.size(), 7);
        QVERIFY(taggedcheck::runToTheEnd(form));
        QVERIFY(form.session.pieces[6].checked);

        const QString exported = dir.filePath(u"report.html"_qs);
        dialogs::queueFileName(exported);
        form.dcbg_Click();
        const QString html = QString::fromUtf8(readAll(exported));

        // Each piece once: 230 / 7 pieces; without the reference list's piece 170 / 6.
        QVERIFY(html.contains(u"总体相似度：32.86%"_qs));
        QVERIFY(html.contains(u"去除引用和参考文献后的相似度：28.33%"_qs));
        QVERIFY(!html.contains(u"程序窗口中显示的总体相似度"_qs));  // Label2 agrees

        // The matched stretch in red under its piece; the duplicate result once.
        const qsizetype piece4 = html.indexOf(u"第 4 句，相似度：50%"_qs);
        const QString block4 = html.mid(piece4, html.indexOf(u"</p>"_qs, piece4) - piece4);
        QVERIFY2(block4.contains(u"来源乙的摘要，&lt;script&gt;alert(1)&lt;/script&gt;<span class=\"e\">"_qs
                                 + filler(190) + u"</span>"_qs),
                 qPrintable(block4));
        QCOMPARE(block4.count(u">来源丙</a>"_qs), 1);
        QVERIFY(block4.contains(u"（相同结果 2 条）"_qs));
        QVERIFY(block4.contains(u"网上相似内容"_qs));
        QVERIFY(block4.contains(u"<span class=\"ho\">127.0.0.1</span>"_qs));
        QVERIFY(!html.contains(u"x()"_qs));
        QVERIFY(!html.contains(u"<script"_qs));
        QVERIFY(!html.contains(u"第 3 句，相似度"_qs));

        // Sources: pieces 1, 2, 4, 6 and 7 are from 20 %; the paper has 7 x 36 characters.
        QVERIFY(html.contains(u"单篇最大相似比：42.86%"_qs));
        QCOMPARE(tableRows(html, u"<h2>相似来源</h2>"_qs),
                 (QStringList{u"1|来源甲|3|108|42.86%"_qs, u"2|来源乙|2|72|28.57%"_qs,
                              u"3|来源丙|1|36|14.29%"_qs, u"4|来源丁|1|36|14.29%"_qs}));
        QCOMPARE(tableRows(html, u"<h2>各章节相似度</h2>"_qs),
                 (QStringList{u"前置部分|36|1|1|60%|1|1"_qs, u"第一章 绪论|72|2|2|15%|0|1"_qs,
                              u"第二章 方法|72|2|2|25%|1|1"_qs, u"第三章 结论|36|1|1|30%|0|1"_qs,
                              u"参考文献|36|1|1|60%|1|1"_qs}));

        // trovalis-cli gives the same numbers from the check the run kept.
        const QString kept =
            savedcheck::pathFor(savedcheck::folderIn(form.dataFolder), form.session.analysedText);
        const clirunner::Run figures = clirunner::run({u"report"_qs, u"--figures"_qs, kept});
        QCOMPARE(figures.exitCode, 0);
        QCOMPARE(
            figures.out.split(u'\n', Qt::SkipEmptyParts),
            (QStringList{u"overall\t32.86"_qs, u"without\t28.33"_qs, u"label2\t32.86"_qs,
                         u"largest\t42.86"_qs, u"source\t来源甲\t3\t108\t42.86"_qs,
                         u"source\t来源乙\t2\t72\t28.57"_qs, u"source\t来源丙\t1\t36\t14.29"_qs,
                         u"source\t来源丁\t1\t36\t14.29"_qs, u"chapter\t前置部分\t36\t1\t1\t60"_qs,
                         u"chapter\t第一章 绪论\t72\t2\t2\t15"_qs, u"chapter\t第二章 方法\t72\t2\t2\t25"_qs,
                         u"chapter\t第三章 结论\t36\t1\t1\t30"_qs, u"chapter\t参考文献\t36\t1\t1\t60"_qs,
                         // Each piece from 20 % shares its text after the tag with its first
                         // summary: after the chapter heading that begins it, up to the highlight.
                         u"run\t1\t2\t36"_qs, u"run\t2\t7\t31"_qs, u"run\t4\t7\t31"_qs, u"run\t6\t7\t31"_qs,
                         u"run\t7\t6\t32"_qs}));

        // The same check in the first format: still reported, saying it has no summaries.
        QJsonObject old = QJsonDocument::fromJson(readAll(kept)).object();
        old[u"version"_qs] = 1;
        const QString oldPath = dir.filePath(u"old.json"_qs);
        QFile oldFile(oldPath);
        QVERIFY(oldFile.open(QIODevice::WriteOnly));
        oldFile.write(QJsonDocument(old).toJson());
        oldFile.close();
        const QString oldReport = dir.filePath(u"old.html"_qs);
        QCOMPARE(clirunner::run({u"report"_qs, oldPath, oldReport}).exitCode, 0);
        const QString oldHtml = QString::fromUtf8(readAll(oldReport));
        QVERIFY(oldHtml.contains(u"没有网上相似内容的摘要"_qs));
        QVERIFY(!oldHtml.contains(u"class=\"e\""_qs));
        QVERIFY(oldHtml.contains(u"</a> http://127.0.0.1"_qs));  // the whole address, not the host
        QVERIFY(oldHtml.contains(u"单篇最大相似比：42.86%"_qs));
    }
};

QTEST_MAIN(TestReportOnline)
#include "test_report_online.moc"
