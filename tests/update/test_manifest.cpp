// The manifest rules: number prefix, version check, answer length, line
// reading, archive and file names, progress texts, the hand-over file.

#include "platform/core/gbk.h"
#include "update/core/handover.h"
#include "update/core/manifest.h"
#include "update/core/numberprefix.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace update;

class TestManifest : public QObject {
    Q_OBJECT
private slots:
    void numberPrefix_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("plain") << "20170323" << 20170323.0;
        QTest::newRow("trailing letters") << "20170324abc" << 20170324.0;
        QTest::newRow("blank inside digits") << "2017 0324" << 20170324.0;
        QTest::newRow("tabs and line feeds") << "\t2017\n03 24" << 20170324.0;
        QTest::newRow("leading blanks and sign") << "  -12.5x" << -12.5;
        QTest::newRow("second point ends it") << "1.5.3" << 1.5;
        QTest::newRow("exponent") << "2e3" << 2000.0;
        QTest::newRow("exponent without digits") << "12E" << 12.0;
        QTest::newRow("overflow reads as no number") << "1e999" << 0.0;
        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("letter first") << "v20170324" << 0.0;
        QTest::newRow("carriage return stops") << "12\r34" << 12.0;
    }
    void numberPrefix()
    {
        QFETCH(QString, text);
        QFETCH(double, value);
        QCOMPARE(readNumberPrefix(text), value);
    }

    void versionCheck_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("newer");
        QTest::newRow("same build") << "20170323" << false;
        QTest::newRow("older") << "20170322" << false;
        QTest::newRow("newer with letters") << "20170324beta" << true;
        QTest::newRow("newer with blank") << "2017 0324" << true;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("letters") << "abc" << false;
    }
    void versionCheck()
    {
        QFETCH(QString, line);
        QFETCH(bool, newer);
        QCOMPARE(isNewerVersion(line), newer);
    }

    void answerLength()
    {
        QVERIFY(acceptableAnswer(QString(799, u'x')));
        QVERIFY(!acceptableAnswer(QString(800, u'x')));
        QVERIFY(!acceptableAnswer(QString()));
        // Characters, not bytes: 799 Chinese characters are 1598 GBK bytes and still fine.
        QVERIFY(acceptableAnswer(gbk::decode(gbk::encode(QString(799, u'中')))));
    }

    void lines()
    {
        QCOMPARE(readTextLines("a\r\nb\rc\nd\r\n"), (QStringList{"a", "b", "c\nd"}));
        QCOMPARE(readTextLines("a\r\n\r\n"), (QStringList{"a", ""}));
        QCOMPARE(readTextLines("last"), QStringList{"last"});
        QCOMPARE(readTextLines(""), QStringList{});
        QCOMPARE(readTextLines(gbk::encode(u"升级\r\n")), QStringList{u"升级"_qs});
    }

    void manifestTable()
    {
        QTemporaryDir dir;
        const UpdateTable missing = getUpdateInfor(dir.path());
        QVERIFY(std::all_of(missing.begin(), missing.end(), [](const QString& s) { return s.isEmpty(); }));

        QByteArray text;
        for (int i = 0; i < 30; ++i)
            text += QByteArray::number(i) + "\r\n";
        QFile file(dir.filePath(kManifestFile));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
        file.close();
        int pumps = 0;
        const UpdateTable table = getUpdateInfor(dir.path(), [&] { ++pumps; });
        QCOMPARE(table[0], "0");
        QCOMPARE(table[20], "20");
        QCOMPARE(pumps, 21);
    }

    void fileCounts()
    {
        UpdateTable table;
        const QList<QPair<QString, int>> cases{{"3", 3}, {"", 0}, {"-2", 0}, {" 1 9", 19}, {"40000", 32766}};
        for (const auto& [text, count] : cases) {
            table[1] = text;
            QCOMPARE(fileCount(table), count);
        }
    }

    void names_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("archive");
        QTest::addColumn<bool>("safe");
        QTest::newRow("archive") << "data.xls" << true << true;
        QTest::newRow("upper case") << "data.XLS" << false << true;
        QTest::newRow("two dots") << "my.data.xls" << false << true;
        QTest::newRow("bare xls") << "xls" << true << true;
        QTest::newRow("executable") << "Temp.png" << false << true;
        QTest::newRow("chinese") << "词库.dat" << false << true;
        QTest::newRow("parent") << ".." << false << false;
        QTest::newRow("climbs") << "../evil.xls" << false << false;
        QTest::newRow("slash") << "sub/a.dll" << false << false;
        QTest::newRow("backslash") << "..\\a.dll" << false << false;
        QTest::newRow("drive") << "C:evil" << false << false;
        QTest::newRow("absolute") << "/etc/passwd" << false << false;
        QTest::newRow("empty") << "" << false << false;
    }
    void names()
    {
        QFETCH(QString, name);
        QFETCH(bool, archive);
        QFETCH(bool, safe);
        QCOMPARE(isArchiveName(name), archive);
        QCOMPARE(isSafeFileName(name), safe);
    }

    void progressTexts()
    {
        QCOMPARE(fileProgressText(1, 3), u"文件更新(1/3)"_qs);
        QCOMPARE(filesDoneText(1, 3), "33%");
        QCOMPARE(filesDoneText(2, 3), "67%");
        QCOMPARE(filesDoneText(3, 3), "100%");
        QCOMPARE(ticksText(1, 500), "0.2%");
        QCOMPARE(ticksText(500, 500), "100%");
    }

    void handOverFile()
    {
        QTemporaryDir dir;
        const QString exe = mainExecutablePath(dir.path() + u"/程序"_qs, u"Trovalis 中文"_qs);
        QVERIFY(writeHandOverFile(dir.path(), exe));
        QCOMPARE(testdataRead(dir.filePath(kHandOverFile)), "1\r\nTemp.png\r\n" + gbk::encode(exe) + "\r\n");
        QCOMPARE(readHandOverFile(dir.filePath(kHandOverFile)), (QStringList{"1", "Temp.png", exe}));

        // A path the narrow code page cannot carry is refused, the old file kept.
        const Result<void> refused = writeHandOverFile(dir.path(), dir.path() + u"/\U0001F600"_qs);
        QVERIFY(!refused);
        QVERIFY(!refused.error().isEmpty());
        QCOMPARE(readHandOverFile(dir.filePath(kHandOverFile)).value(2), exe);
    }

    void rootFolderJoin()
    {
        QCOMPARE(mainExecutablePath("/", "trovalis"), "/trovalis");
        QCOMPARE(mainExecutablePath("/opt/t", "trovalis"), "/opt/t/trovalis");
        QCOMPARE(joinPath("C:\\", "Temp.png"), "C:\\Temp.png");
    }

private:
    static QByteArray testdataRead(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

QTEST_GUILESS_MAIN(TestManifest)
#include "test_manifest.moc"
