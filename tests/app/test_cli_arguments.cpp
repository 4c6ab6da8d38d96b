// trovalis-cli's own arguments: "--" ends the options, --version, the usage
// text, and papers' line breaks, through the real binary.

#include "platform/core/endpoints.h"
#include "support/clirunner.h"
#include "support/testdata.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using clirunner::Run;

class TestCliArguments : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir_;

    QString file(const QString& name, const QByteArray& bytes)
    {
        testdata::writeFile(dir_.filePath(name), bytes);
        return dir_.filePath(name);
    }

private slots:
    void initTestCase() { SKIP_WITHOUT_CLI(); }

    void versionIsTheCaptionsVersion()
    {
        const Run r = clirunner::run({"--version"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, version::caption() + u'\n');
    }

    void usageTextNamesVersionAndEndOfOptions()
    {
        const Run r = clirunner::run({"--help"});
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.out.contains("trovalis-cli --version"));
        QVERIFY(r.out.contains("After --, every argument is an argument"));
    }

    void endOfOptions_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("firstLine");  // of stdout, or a part of stderr
        QTest::newRow("a sentence beginning with --") << QStringList{"query", "--", "--abc"} << 0 << "--abc";
        QTest::newRow("without --, it is an unknown option")
            << QStringList{"query", "--abc"} << 2 << "unknown option --abc";
        QTest::newRow("options before -- still count")
            << QStringList{"query", "--engine", "wenku", "--", "--help"} << 0 << "--help";
        QTest::newRow("after --, an option's name is an argument")
            << QStringList{"query", "--", "--engine", "wenku"} << 2 << "expects SENTENCE";
        QTest::newRow("a sentence of dashes to score")
            << QStringList{"score", "--", "----", "@page"} << 0 << "";
        QTest::newRow("a path beginning with -") << QStringList{"segment", "--", "@-paper"} << 0 << "";
    }
    void endOfOptions()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, firstLine);
        QDir::setCurrent(dir_.path());
        for (QString& a : args) {
            if (a == "@page")
                a = file("page.html", "<html><body>no marks</body></html>");
            if (a == "@-paper") {
                file("-paper.txt", QString::fromUtf16(u"一句话。").toUtf8());
                a = "-paper.txt";
            }
        }
        const Run r = clirunner::run(args);
        QCOMPARE(r.exitCode, exitCode);
        if (exitCode == 0)
            QCOMPARE(r.out.section(u'\n', 0, 0).left(firstLine.size()), firstLine);
        else
            QVERIFY2(r.err.contains(firstLine), qPrintable(r.err));
    }

    // LF and CR LF both become CR LF, a lone CR stays, as positions show.
    void paperLineBreaksBecomeCrLf()
    {
        const QString sentence = QString::fromUtf16(u"甲乙丙丁戊己。");
        const QString paper = file("paper.txt", (sentence + "\r\n" + sentence + "\n\r" + sentence).toUtf8());
        const Run r = clirunner::run({"compare", paper, file("ref.txt", sentence.toUtf8())});
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(r.out.endsWith("0\t7\n9\t7\n19\t7\n"), qPrintable(r.out));
        // A line feed first, and two in a row.
        const QString fed = file("fed.txt", ("\n" + sentence + "\n\n" + sentence).toUtf8());
        const Run f = clirunner::run({"compare", fed, file("ref.txt", sentence.toUtf8())});
        QCOMPARE(f.exitCode, 0);
        QVERIFY2(f.out.endsWith("2\t7\n13\t7\n"), qPrintable(f.out));
    }

    // A command that reads no PDF starts with QtCore alone: no Qt Gui, PDF,
    // Network or DBus is loaded (the dynamic loader names every library it
    // loads). A PDF loads the PDF part beside the program.
    void loadsQtCoreAloneUntilAPdfIsRead()
    {
        const auto loaded = [](const QStringList& args) {
            QProcess process;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert("LD_DEBUG", "files");
            process.setProcessEnvironment(environment);
            process.start(clirunner::path(), args);
            process.waitForFinished(60000);
            QStringList names;  // "file=NAME [0];  needed by …" or "…dynamically loaded by …"
            static const QRegularExpression loadedFile(QStringLiteral("\\bfile=(\\S+)"));
            for (auto m = loadedFile.globalMatch(QString::fromLocal8Bit(process.readAllStandardError()));
                 m.hasNext();)
                names << QFileInfo(m.next().captured(1)).fileName();
            names.removeDuplicates();
            return names;
        };
        const QString paper = file("paper.txt", QString::fromUtf16(u"甲乙丙丁戊己。").toUtf8());
        for (const QStringList& args : {QStringList{"compare", paper, paper}, QStringList{"--version"},
                                        QStringList{"doc2text", paper}}) {
            const QStringList names = loaded(args);
            QVERIFY2(names.contains("libQt6Core.so.6"), qPrintable(names.join(' ')));
            QCOMPARE(names.filter("libQt6"), QStringList{"libQt6Core.so.6"});
            QVERIFY2(names.filter("trovalis-pdf").isEmpty(), qPrintable(names.join(' ')));
        }
        const QStringList pdf = loaded({"doc2text", file("x.pdf", "%PDF-1.4\nnothing more")});
        QVERIFY2(!pdf.filter("trovalis-pdf").isEmpty() && pdf.contains("libQt6Pdf.so.6"),
                 qPrintable(pdf.join(' ')));
    }
};

QTEST_APPLESS_MAIN(TestCliArguments)
#include "test_cli_arguments.moc"
