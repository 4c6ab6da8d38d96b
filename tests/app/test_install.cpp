// The installed program: `cmake --install` makes a program folder of its own;
// scripts/install-desktop.sh adds the menu entry, icon and metainfo (checked by
// the desktop's own validators) and takes them away again; the installed copy
// checks for updates and hands an update over in its own folder.

#include "platform/core/endpoints.h"
#include "platform/widgets/programicon.h"
#include "support/fixtureserver.h"
#include "support/testdata.h"
#include "update/core/handover.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Run {
    int exitCode = -1;
    QString out;  // stdout and stderr together
};

Run run(const QString& program, const QStringList& args, const QProcessEnvironment& env = {},
        const QString& workingDirectory = {})
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    if (!env.isEmpty())
        process.setProcessEnvironment(env);
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    process.start(program, args);
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        return {-1, QStringLiteral("did not finish: ") + program};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAll())};
}

// Every file and folder below `root`, hidden ones too, relative and sorted.
QStringList tree(const QString& root)
{
    QStringList entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        entries << QDir(root).relativeFilePath(it.next());
    entries.sort();
    return entries;
}

// The bytes of a file, empty while it does not exist.
QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString script() { return testdata::sourceDir() + QStringLiteral("/scripts/install-desktop.sh"); }

// The script with a home of its own; the build is the one these tests belong to.
Run runScript(const QString& home, QStringList args, const QString& dataHome = {})
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    if (dataHome.isEmpty())
        env.remove(QStringLiteral("XDG_DATA_HOME"));
    else
        env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    if (!args.contains(QLatin1String("--remove")))
        args = QStringList{QStringLiteral("--no-build"), QStringLiteral("--build-dir"),
                           QStringLiteral(TROVALIS_BUILD_DIR)}
            + args;
    return run(QStringLiteral("bash"), QStringList{script()} + args, env);
}

// The desktop entry's Exec value as the argument it stands for: the string's
// escapes first, then the quoting of an argument.
QString execArgument(const QString& value)
{
    QString unescaped;
    for (qsizetype i = 0; i < value.size(); ++i)
        unescaped += value[i] == u'\\' && i + 1 < value.size() ? value[++i] : value[i];
    if (!unescaped.startsWith(u'"'))
        return unescaped.replace(QLatin1String("%%"), QLatin1String("%"));
    QString argument;
    for (qsizetype i = 1; i + 1 < unescaped.size(); ++i)
        argument += unescaped[i] == u'\\' ? unescaped[++i] : unescaped[i];
    return argument.replace(QLatin1String("%%"), QLatin1String("%"));
}

QString desktopValue(const QString& file, const QString& key)
{
    for (const QString& line : QString::fromUtf8(testdata::readFile(file)).split(u'\n'))
        if (line.startsWith(key + u'='))
            return line.mid(key.size() + 1);
    return {};
}

void requireTool(const QString& tool)
{
    if (QStandardPaths::findExecutable(tool).isEmpty())
        QFAIL(qPrintable(tool + QStringLiteral(" is not installed; scripts/deps.sh installs it")));
}

// The installed trovalis, started as the menu would start it: from another folder.
struct InstalledProgram {
    QProcess process;
    QTemporaryDir elsewhere;
    explicit InstalledProgram(const QString& executable)
    {
        process.setWorkingDirectory(elsewhere.path());
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.start(executable, {});
    }
    ~InstalledProgram()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
        }
    }
};

}  // namespace

class TestInstall : public QObject {
    Q_OBJECT
    QTemporaryDir root_;
    QString folder_;  // the program folder installed by initTestCase

    QString installed(const QString& name) const { return folder_ + u'/' + name; }

private slots:
    void initTestCase()
    {
        // A space and Chinese in the folder name: the user's own folders have both.
        folder_ = root_.filePath(QStringLiteral("论文 检测"));
        const Run install = run(QStringLiteral(CMAKE_COMMAND),
                                {"--install", QStringLiteral(TROVALIS_BUILD_DIR), "--prefix", folder_});
        QVERIFY2(install.exitCode == 0, qPrintable(install.out));
    }

    void programFolder()
    {
        const QStringList expected{"THESAURUS-CITATION.bib",
                                   "THESAURUS-LICENSE.txt",
                                   "share",
                                   "share/applications",
                                   "share/applications/org.trovalis.Trovalis.desktop",
                                   "share/icons",
                                   "share/icons/hicolor",
                                   "share/icons/hicolor/scalable",
                                   "share/icons/hicolor/scalable/apps",
                                   "share/icons/hicolor/scalable/apps/org.trovalis.Trovalis.svg",
                                   "share/metainfo",
                                   "share/metainfo/org.trovalis.Trovalis.metainfo.xml",
                                   "trovalis",
                                   "trovalis-cli",
                                   "trovalis-pdf.so"};
        // `up` is not among them: trovalis carries it and writes it out at a hand-over.
        // trovalis-pdf.so is trovalis-cli's PDF part, loaded when a PDF is read or written.
        QCOMPARE(tree(folder_), expected);
        QVERIFY(QFileInfo(installed("trovalis")).isExecutable());
        for (const char* name : {"THESAURUS-LICENSE.txt", "THESAURUS-CITATION.bib"})
            QCOMPARE(testdata::readFile(installed(name)),
                     testdata::readFile(testdata::sourceDir() + "/server/trvs/" + name));

        // The installed command-line program runs from its folder and gives the caption's version.
        const Run version = run(installed("trovalis-cli"), {"--version"});
        QCOMPARE(version.exitCode, 0);
        QVERIFY2(version.out.contains(version::caption().section(u'V', -1)), qPrintable(version.out));
        // It finds its PDF part beside it: the PDF engine reads a damaged PDF and says so.
        testdata::writeFile(root_.filePath(QStringLiteral("x.pdf")), "%PDF-1.4\nnothing more");
        const Run pdf = run(installed("trovalis-cli"), {"doc2text", root_.filePath(QStringLiteral("x.pdf"))});
        QCOMPARE(pdf.exitCode, 1);
        QVERIFY2(pdf.out.contains(QStringLiteral("PDF 文件已损坏")), qPrintable(pdf.out));
    }

    void windowIcon()
    {
        // The windows' icon is the very file the desktop shows, and it renders (the SVG engine is there).
        QCOMPARE(testdata::readFile(programicon::resourcePath()),
                 testdata::readFile(testdata::sourceDir() + "/data/org.trovalis.Trovalis.svg"));
        const QIcon icon = programicon::icon();
        QVERIFY2(!icon.isNull(), "no SVG icon engine: install libqt6svg6");
        const QImage image = icon.pixmap(64, 64).toImage();
        QCOMPARE(image.size(), QSize(64, 64));
        QVERIFY(qAlpha(image.pixel(32, 32)) > 0);  // the paper fills the middle
        QCOMPARE(qAlpha(image.pixel(0, 0)), 0);    // and leaves the corner clear
    }

    void desktopIntegration_data()
    {
        QTest::addColumn<bool>("ownDataHome");
        QTest::newRow("~/.local/share") << false;
        QTest::newRow("XDG_DATA_HOME") << true;
    }
    void desktopIntegration()
    {
        QFETCH(bool, ownDataHome);
        requireTool(QStringLiteral("desktop-file-validate"));
        requireTool(QStringLiteral("appstreamcli"));
        QTemporaryDir home;
        const QString dataHome = ownDataHome ? home.filePath("data") : home.filePath(".local/share");
        const QString folder = home.filePath(".local/opt/trovalis");
        const Run install = runScript(home.path(), {}, ownDataHome ? dataHome : QString());
        QVERIFY2(install.exitCode == 0, qPrintable(install.out));

        const QString entry = dataHome + "/applications/org.trovalis.Trovalis.desktop";
        const Run entryCheck = run("desktop-file-validate", {entry});
        QVERIFY2(entryCheck.exitCode == 0 && !entryCheck.out.contains("error:")
                     && !entryCheck.out.contains("warning:"),
                 qPrintable(entryCheck.out));
        const QString metainfo = dataHome + "/metainfo/org.trovalis.Trovalis.metainfo.xml";
        const Run metainfoCheck = run("appstreamcli", {"validate", "--no-net", metainfo});
        QVERIFY2(metainfoCheck.exitCode == 0, qPrintable(metainfoCheck.out));

        // The three files name one another, and the entry starts the installed program.
        QCOMPARE(execArgument(desktopValue(entry, "Exec")), folder + "/trovalis");
        QVERIFY(QFileInfo(folder + "/trovalis").isExecutable());
        const QString iconName = desktopValue(entry, "Icon");
        QVERIFY(QFile::exists(dataHome + "/icons/hicolor/scalable/apps/" + iconName + ".svg"));
        QVERIFY(testdata::readFile(metainfo).contains(
            "<launchable type=\"desktop-id\">" + QFileInfo(entry).fileName().toUtf8() + "</launchable>"));
    }

    void execQuoting()
    {
        // A folder name with characters that a desktop entry must quote or escape.
        QTemporaryDir prefix;
        const QString folder = prefix.filePath(QStringLiteral("a b $HOME `x` \"q\" 100%"));
        QVERIFY(run(QStringLiteral(CMAKE_COMMAND),
                    {"--install", QStringLiteral(TROVALIS_BUILD_DIR), "--prefix", folder})
                    .exitCode
                == 0);
        const QString entry = folder + "/share/applications/org.trovalis.Trovalis.desktop";
        const Run check = run("desktop-file-validate", {entry});
        QVERIFY2(check.exitCode == 0 && !check.out.contains("error:"), qPrintable(check.out));
        QCOMPARE(execArgument(desktopValue(entry, "Exec")), folder + "/trovalis");
    }

    void removeLeavesNothing_data()
    {
        QTest::addColumn<bool>("dataFoldersExist");
        QTest::newRow("fresh home") << false;
        QTest::newRow("the desktop's folders exist") << true;
    }
    void removeLeavesNothing()
    {
        QFETCH(bool, dataFoldersExist);
        QTemporaryDir home;
        if (dataFoldersExist) {
            testdata::writeFile(home.filePath(".local/share/applications/other.desktop"),
                                "[Desktop Entry]\n");
            QVERIFY(QDir().mkpath(home.filePath(".local/share/icons/hicolor/scalable/apps")));
        }
        const QStringList before = tree(home.path());
        for (int i = 0; i < 2; ++i) {  // installing again over the first copy
            const Run install = runScript(home.path(), {});
            QVERIFY2(install.exitCode == 0, qPrintable(install.out));
        }
        // What the program writes into its folder by itself goes with it.
        const QString folder = home.filePath(".local/opt/trovalis");
        for (const char* name : {"ciku.txt", "UpdateInfor.inf", "Uplog.inf", "up"})
            testdata::writeFile(folder + u'/' + name, "x");

        const Run remove = runScript(home.path(), {"--remove"});
        QVERIFY2(remove.exitCode == 0, qPrintable(remove.out));
        QCOMPARE(tree(home.path()), before);
        QVERIFY(!remove.out.contains("kept"));
    }

    void foreignFilesStay()
    {
        QTemporaryDir home;
        const QString folder = home.filePath("opt/trovalis");
        QVERIFY(runScript(home.path(), {folder}).exitCode == 0);
        testdata::writeFile(folder + "/论文.doc", "the user's own");
        const Run remove = runScript(home.path(), {"--remove", folder});
        QCOMPARE(remove.exitCode, 0);
        QVERIFY2(remove.out.contains("论文.doc"), qPrintable(remove.out));  // says what it kept
        QCOMPARE(tree(folder), QStringList{"论文.doc"});
        QCOMPARE(tree(home.filePath(".local")), QStringList{});

        // A folder that holds the user's files and no installation is never taken as the program folder,
        // and without an installation there is nothing to remove.
        const QStringList mine = tree(home.path());
        const Run refused = runScript(home.path(), {folder});
        QCOMPARE(refused.exitCode, 1);
        QCOMPARE(runScript(home.path(), {"--remove", home.path()}).exitCode, 1);
        QCOMPARE(tree(home.path()), mine);
    }

    // The installed copy's silent check at start-up fetches the manifest from the
    // built-in update server and keeps its copy in the program folder, not in the
    // folder it was started from.
    void installedCopyChecksForUpdates()
    {
        const QUrl updateBase(Endpoints::builtIn().updateBase);
        if (updateBase.host() != QLatin1String("127.0.0.1") || updateBase.path() != QLatin1String("/trvs"))
            QSKIP("this build's update server is not on 127.0.0.1; the installed copy would ask it");
        FixtureServer server(updateBase.port(80));
        if (!server.port())
            QSKIP("the built-in update server's port is in use (is the vendor's site being served?)");
        // The vendor's own update files, the manifest's signature among them.
        server.serveDirectory(testdata::sourceDir() + "/server");
        const QByteArray manifest =
            testdata::readFile(testdata::sourceDir() + "/server/trvs/UpdateInfor.inf");

        InstalledProgram program(installed("trovalis"));
        QTRY_COMPARE_WITH_TIMEOUT(contents(installed("UpdateInfor.inf")), manifest, 60000);
        QVERIFY(tree(program.elsewhere.path()).isEmpty());
        QCOMPARE(program.process.state(), QProcess::Running);  // not newer: the program goes on
        QFile::remove(installed("UpdateInfor.inf"));
    }

    // A downloaded update waiting in the installed folder: the installed copy writes
    // out its `up` there, and `up` puts the new build in place and starts it.
    void installedCopyHandsOver()
    {
        const QByteArray newBuild = testdata::readFile(QStringLiteral(MARKER_BIN));
        testdata::writeFile(installed("Temp.png"), newBuild);
        QVERIFY(QFile::setPermissions(installed("Temp.png"), QFile::permissions(MARKER_BIN)));
        QVERIFY(bool(update::writeHandOverFile(folder_, installed("trovalis"))));

        InstalledProgram program(installed("trovalis"));
        QVERIFY(program.process.waitForFinished(60000));  // it hands over and ends
        QVERIFY(QFileInfo(installed("up")).isExecutable());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(installed("started.txt")), 30000);
        QCOMPARE(testdata::readFile(installed("trovalis")), newBuild);
        QVERIFY(!QFile::exists(installed("up.inf")));
        QVERIFY(!QFile::exists(installed("Temp.png")));
        QVERIFY(tree(program.elsewhere.path()).isEmpty());
    }
};

QTEST_MAIN(TestInstall)
#include "test_install.moc"
