// trovalis-cli report CHECK OUT: the report window's bytes from a saved check,
// and one clear line for a check damaged since the run.

#include "analysis/savedcheck.h"
#include "analysis/segmentation.h"
#include "report/core/checkreport.h"
#include "support/clirunner.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

namespace {

const QString kBody =
    u"本研究采用问卷调查与访谈相结合的方法对三所高校的两百名学生进行了系统的调查研"_qs;  // 38

SavedCheck sampleCheck()
{
    const QString paper = kBody + u"\r\n参考文献\r\n"_qs + kBody.left(34);
    const segmentation::Analysis a = segmentation::analyse(paper);
    SavedCheck c;
    c.analysedText = a.analysedText;
    c.sentences = a.sentences;
    c.pieces = {{true, 30, {{u"甲"_qs, u"https://example.org/"_qs}}}, {true, 90, {}}};
    c.resultTitles = QStringList(21, QString());
    c.resultBlocks = c.resultTitles;
    c.nextIndex = 2;
    c.lastIndex = 1;
    c.pageCount = 3;
    c.similaritySum = 120;
    c.label2 = u"本句相似度：90%\r\n\r\n目前总体相似度：40%"_qs;
    c.engine = u"wenku"_qs;
    c.finished = true;
    c.savedAt = QDateTime(QDate(2026, 6, 1), QTime(8, 0), Qt::UTC);
    c.paperText = paper;
    return c;
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class TestCliReport : public QObject {
    Q_OBJECT
private slots:
    void writesTheWindowsBytes()
    {
        SKIP_WITHOUT_CLI();
        QTemporaryDir dir;
        const QString check = dir.filePath(u"check.json"_qs);
        QVERIFY(savedcheck::write(sampleCheck(), check));
        const QString out = dir.filePath(u"报告.html"_qs);
        const auto run = clirunner::run({u"report"_qs, check, out});
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.out.isEmpty());
        const auto kept = savedcheck::read(check);
        QVERIFY(kept);
        const QByteArray html = readAll(out);
        QCOMPARE(html, report::htmlBytes(*kept, kept->paperText));
        // The kept lines found the reference list: piece 2 is left out.
        QVERIFY(html.contains("去除引用和参考文献后的相似度：30%"));
        QVERIFY(html.contains("总体相似度：60%"));
        QVERIFY(html.contains("程序窗口中显示的总体相似度为 40%"));

        // The figures for scripts; a usage error for a figures run given an output file.
        const auto figures = clirunner::run({u"report"_qs, u"--figures"_qs, check});
        QCOMPARE(figures.exitCode, 0);
        QCOMPARE(figures.out.split(u'\n').mid(0, 5),
                 (QStringList{u"overall\t60"_qs, u"without\t30"_qs, u"label2\t40"_qs, u"largest\t50"_qs,
                              u"source\t甲\t1\t38\t50"_qs}));
        QCOMPARE(clirunner::run({u"report"_qs, u"--figures"_qs, check, out}).exitCode, 2);
    }

    // A check kept before the editor text was kept with it: reported, with
    // the quotations left out but no reference list found.
    void checkWithoutPaperText()
    {
        SKIP_WITHOUT_CLI();
        QTemporaryDir dir;
        const QString check = dir.filePath(u"check.json"_qs);
        SavedCheck old = sampleCheck();
        old.paperText.clear();
        QVERIFY(savedcheck::write(old, check));
        QByteArray bytes = readAll(check);
        bytes.replace(",\"paperText\":\"\"", "");
        QVERIFY(!bytes.contains("paperText"));
        QFile f(check);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
        f.close();
        const QString out = dir.filePath(u"report.html"_qs);
        QCOMPARE(clirunner::run({u"report"_qs, check, out}).exitCode, 0);
        const QByteArray html = readAll(out);
        QVERIFY(html.contains("去除引用和参考文献后的相似度：60%"));
        QVERIFY(html.contains("参考文献表未能识别"));
    }

    void damagedCheckIsOneLineAndNoFile_data()
    {
        QTest::addColumn<QByteArray>("damage");  // what becomes of the file
        QTest::newRow("cut short") << QByteArray("cut");
        QTest::newRow("garbage") << QByteArray("garbage");
        QTest::newRow("missing") << QByteArray("missing");
    }
    void damagedCheckIsOneLineAndNoFile()
    {
        SKIP_WITHOUT_CLI();
        QFETCH(QByteArray, damage);
        QTemporaryDir dir;
        const QString check = dir.filePath(u"check.json"_qs);
        QVERIFY(savedcheck::write(sampleCheck(), check));
        QByteArray bytes = readAll(check);
        if (damage == "cut")
            bytes.truncate(bytes.size() / 2);
        else if (damage == "garbage")
            bytes = QByteArray(4000, '\x9c');
        QFile::remove(check);
        if (damage != "missing") {
            QFile f(check);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        }
        const QString out = dir.filePath(u"report.html"_qs);
        const auto run = clirunner::run({u"report"_qs, check, out});
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.err.count(u'\n'), 1);
        QVERIFY2(run.err.contains(check), qPrintable(run.err));
        QVERIFY(!QFile::exists(out));
    }

    // A name ending in ".pdf", any case, gets the PDF; a folder that is not
    // there gets one line and no file.
    void writesPdfByName()
    {
        SKIP_WITHOUT_CLI();
        QTemporaryDir dir;
        const QString check = dir.filePath(u"check.json"_qs);
        QVERIFY(savedcheck::write(sampleCheck(), check));
        const QString out = dir.filePath(u"报告.Pdf"_qs);
        const auto run = clirunner::run({u"report"_qs, check, out});
        QCOMPARE(run.exitCode, 0);
        QVERIFY(readAll(out).startsWith("%PDF-"));
        const auto failed = clirunner::run({u"report"_qs, check, dir.filePath(u"没有/report.PDF"_qs)});
        QCOMPARE(failed.exitCode, 1);
        QVERIFY2(failed.err.trimmed().split(u'\n').last().contains(u"report.PDF"_qs), qPrintable(failed.err));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 (QStringList{u"check.json"_qs, u"报告.Pdf"_qs}));
    }

    void unwritableOutAndUsage()
    {
        SKIP_WITHOUT_CLI();
        QTemporaryDir dir;
        const QString check = dir.filePath(u"check.json"_qs);
        QVERIFY(savedcheck::write(sampleCheck(), check));
        const auto run = clirunner::run({u"report"_qs, check, dir.filePath(u"没有/report.html"_qs)});
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.err.count(u'\n'), 1);
        QCOMPARE(clirunner::run({u"report"_qs, check}).exitCode, 2);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"check.json"_qs});
    }
};

QTEST_GUILESS_MAIN(TestCliReport)
#include "test_cli_report.moc"
