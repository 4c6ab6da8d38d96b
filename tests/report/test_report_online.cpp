// The report after a real automatic run: the real window and WebEngine view
// against a search server on 127.0.0.1, the check the run kept, and
// trovalis-cli's report of that file.

#include "analysis/savedcheck.h"
#include "mainwindow/ui/form1.h"
#include "platform/core/numberformat.h"
#include "platform/widgets/dialogs.h"
#include "platform/widgets/richeditor.h"
#include "support/clirunner.h"
#include "support/fixtureserver.h"
#include "support/resultpages.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>

#include <memory>

using namespace resultpages;

namespace {

// Tags the server tells the pieces by; the third piece is a quotation.
const QString kA = u"AAA"_qs + filler(35);
const QString kB = u"BBB"_qs + filler(35).mid(1) + u"乙"_qs;
const QString kC = u"“CCC结论显示相似度”"_qs;

QByteArray pageFor(const QString& query)
{
    QList<resultpages::Result> results = numberedResults(2);
    const int highlighted = query.contains(u"wd=AAA"_qs) ? 38 : query.contains(u"wd=BBB"_qs) ? 76 : 60;
    results[1].snippet = highlight(highlighted);
    return page(body(results));
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
        FixtureServer server;
        server.setFallback([](const QString& path, const QString& query) {
            FixtureServer::Reply r;
            r.body = path == u"/s" ? pageFor(query) : QByteArray();
            return r;
        });
        QTemporaryDir dir;
        Endpoints e = Endpoints::builtIn();
        e.baiduBase = server.base();
        e.vendorWebBase = server.base();
        Form1 form(e);
        form.getProcessList = [] { return QString(); };
        form.endProgram = [] {};
        form.dataFolder = dir.filePath(u"data"_qs);
        form.engine_Click(form.baidu);
        form.resize(900, 600);
        form.show();
        form.RichTextBox1->setText(kA + kB + u"\r\n"_qs + kC);
        form.Command1_Click();
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
};

QTEST_MAIN(TestReportOnline)
#include "test_report_online.moc"
