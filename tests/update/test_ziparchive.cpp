// Unpacking real zip archives: made at test time with Python's zipfile
// (folder entries, GBK names, 0/2048/2049-byte entries, hostile names) and
// the third-party archives in ../shared/data/zip.

#include "platform/core/gbk.h"
#include "support/testdata.h"
#include "update/core/ziparchive.h"

#include <QDirIterator>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace update;

namespace {

// Builds an archive with python3: each entry is (raw name bytes as hex,
// size, flags, external attributes); content is a repeating pattern.
QString makeArchive(const QString& path, const QList<std::tuple<QByteArray, int, int, quint32>>& entries)
{
    QString script =
        QStringLiteral("import zipfile,sys\n"
                       "z=zipfile.ZipFile(sys.argv[1],'w',zipfile.ZIP_DEFLATED)\n"
                       "class Raw(zipfile.ZipInfo):\n"
                       "  def _encodeFilenameFlags(self): return self.raw, self.flag_bits | self.want\n"
                       "def add(name,size,flags,attr):\n"
                       "  i=Raw(bytes.fromhex(name).decode('latin-1')); i.raw=bytes.fromhex(name)\n"
                       "  i.want=flags; i.external_attr=attr; i.create_system=0\n"
                       "  z.writestr(i, bytes((k*7)%251 for k in range(size)), zipfile.ZIP_DEFLATED)\n");
    for (const auto& [name, size, flags, attr] : entries)
        script += QStringLiteral("add('%1',%2,%3,%4)\n")
                      .arg(QString::fromLatin1(name.toHex()))
                      .arg(size)
                      .arg(flags)
                      .arg(attr);
    script += QStringLiteral("z.close()\n");
    QProcess python;
    python.start(QStringLiteral("python3"), {QStringLiteral("-c"), script, path});
    python.waitForFinished(30000);
    return python.exitCode() == 0 ? path : QString(python.readAllStandardError());
}

QByteArray pattern(int size)
{
    QByteArray bytes(size, 0);
    for (int k = 0; k < size; ++k)
        bytes[k] = char((k * 7) % 251);
    return bytes;
}

// Every file and folder below `root`, relative to it.
QStringList tree(const QString& root)
{
    QStringList all;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        all << QDir(root).relativeFilePath(it.next());
    all.sort();
    return all;
}

}  // namespace

class TestZipArchive : public QObject {
    Q_OBJECT
private slots:
    void foldersSizesAndNames()
    {
        QTemporaryDir dir;
        const QString zip = makeArchive(dir.filePath("a.zip"),
                                        {
                                            {"a.txt", 5, 0, 0x20},
                                            {"sub/", 0, 0, 0x10},
                                            {"sub/b.txt", 2049, 0, 0x20},
                                            {"sub/deep/two.bin", 2048, 0, 0x20},
                                            {"empty.txt", 0, 0, 0x20},
                                            {gbk::encode(u"中文路径.txt"), 3, 0, 0x20},
                                            {QStringLiteral("ünï.txt").toUtf8(), 4, 0x800, 0x20},
                                            {"nodir/", 0, 0, 0},  // a folder marked only by its trailing "/"
                                        });
        QVERIFY2(QFile::exists(zip), qPrintable(zip));
        const QString dest = dir.filePath("dest");
        int pumps = 0;
        const ExtractResult result = extractZip(dest, zip, [&] { ++pumps; });
        QVERIFY2(result.complete, qPrintable(result.error));
        QCOMPARE(result.filesWritten, 6);
        QVERIFY(pumps >= 8);
        QCOMPARE(tree(dest),
                 (QStringList{"a.txt", "empty.txt", "nodir", "sub", "sub/b.txt", "sub/deep",
                              "sub/deep/two.bin", u"ünï.txt"_qs, u"中文路径.txt"_qs}));
        QCOMPARE(testdata::readFile(dest + "/sub/b.txt"), pattern(2049));
        QCOMPARE(testdata::readFile(dest + "/sub/deep/two.bin"), pattern(2048));
        QCOMPARE(QFileInfo(dest + "/empty.txt").size(), 0);
    }

    void existingFiles()
    {
        QTemporaryDir dir;
        const QString zip =
            makeArchive(dir.filePath("a.zip"), {{"keep.txt", 0, 0, 0x20}, {"new.txt", 3, 0, 0x20}});
        testdata::writeFile(dir.filePath("keep.txt"), "old");
        testdata::writeFile(dir.filePath("new.txt"), "old content");
        QVERIFY(extractZip(dir.path(), zip).complete);
        QCOMPARE(testdata::readFile(dir.filePath("keep.txt")), "old");      // an empty entry leaves it
        QCOMPARE(testdata::readFile(dir.filePath("new.txt")), pattern(3));  // otherwise overwritten
    }

    void unixExecuteBitKept()
    {
        QTemporaryDir dir;
        testdata::writeFile(dir.filePath("tool"), "#!/bin/sh\n");
        testdata::writeFile(dir.filePath("plain"), "text");
        QFile::setPermissions(dir.filePath("tool"),
                              QFile::permissions(dir.filePath("tool")) | QFile::ExeOwner);
        QProcess zip;
        zip.setWorkingDirectory(dir.path());
        zip.start("zip", {"-q", "x.zip", "tool", "plain"});
        if (!zip.waitForFinished(30000) || zip.exitCode() != 0)
            QSKIP("zip is not available");
        QVERIFY(extractZip(dir.filePath("dest"), dir.filePath("x.zip")).complete);
        QVERIFY(QFileInfo(dir.filePath("dest/tool")).isExecutable());
        QVERIFY(!QFileInfo(dir.filePath("dest/plain")).isExecutable());
    }

    void hostileNames()
    {
        QTemporaryDir dir;
        const QString zip = makeArchive(dir.filePath("evil.zip"),
                                        {
                                            {"../up.txt", 3, 0, 0x20},
                                            {"ok/../../up2.txt", 3, 0, 0x20},
                                            {"..\\win.txt", 3, 0, 0x20},
                                            {"/abs.txt", 3, 0, 0x20},
                                            {"C:/drive.txt", 3, 0, 0x20},
                                            {"good.txt", 3, 0, 0x20},
                                        });
        const QString dest = dir.filePath("dest");
        const ExtractResult result = extractZip(dest, zip);
        QCOMPARE(result.refused.size(), 5);
        QVERIFY(result.complete);
        QCOMPARE(tree(dir.path()), (QStringList{"dest", "dest/good.txt", "evil.zip"}));
        QVERIFY(!QFile::exists("/abs.txt"));
    }

    void backslashFolderNeedsExistingFolder()
    {
        // A "\" separates folders as on the archive's home system: the folder is
        // not created for it, so the walk ends there; entries before it stay.
        QTemporaryDir dir;
        const QString zip =
            makeArchive(dir.filePath("w.zip"),
                        {{"first.txt", 1, 0, 0x20}, {"sub\\x.txt", 1, 0, 0x20}, {"last.txt", 1, 0, 0x20}});
        const ExtractResult result = extractZip(dir.filePath("dest"), zip);
        QVERIFY(!result.complete);
        QCOMPARE(tree(dir.filePath("dest")), QStringList{"first.txt"});
    }

    void damagedEntryReplacesNothing()
    {
        QTemporaryDir dir;
        const QString zip = makeArchive(dir.filePath("d.zip"), {{"f.bin", 5000, 0, 0x20}});
        QByteArray bytes = testdata::readFile(zip);
        const qsizetype data = bytes.indexOf("f.bin") + 5 + 4;  // inside the compressed data
        bytes[data] = char(bytes[data] ^ 0x55);
        testdata::writeFile(zip, bytes);
        testdata::writeFile(dir.filePath("dest/f.bin"), "intact");
        const ExtractResult result = extractZip(dir.filePath("dest"), zip);
        QVERIFY(!result.complete);
        QCOMPARE(testdata::readFile(dir.filePath("dest/f.bin")), "intact");
        QCOMPARE(tree(dir.filePath("dest")), QStringList{"f.bin"});
    }

    void unopenableArchive()
    {
        QTemporaryDir dir;
        testdata::writeFile(dir.filePath("junk.zip"), "not a zip at all");
        QVERIFY(!extractZip(dir.filePath("dest"), dir.filePath("junk.zip")).opened);
        QVERIFY(!extractZip(dir.filePath("dest"), dir.filePath("missing.zip")).opened);
    }

    void sharedArchives_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<int>("refused");
        QTest::newRow("zip-slip") << "zip-slip.zip" << QStringList{"good.txt"} << 1;
        QTest::newRow("zip-slip-win") << "zip-slip-win.zip" << QStringList{"good.txt"} << 1;
        QTest::newRow("relative") << "invalid-relative-path-xt.zip" << QStringList{"b.txt"} << 1;
        QTest::newRow("absolute") << "absolute-path-atxt.zip" << QStringList{"b.txt"} << 1;
        QTest::newRow("drive") << "absolute-path-C-xt.zip" << QStringList{"b.txt"} << 1;
        QTest::newRow("gbk name") << "chs_name.zip" << QStringList{u"中文路径.txt"_qs} << 0;
        QTest::newRow("folders") << "directories.zip" << QStringList{"a", "a/a.txt", "b"} << 0;
        QTest::newRow("empty") << "empty.zip" << QStringList{} << 0;
        QTest::newRow("utf-8 names") << "unicode.zip"
                                     << QStringList{u"Turmion Kätilöt"_qs, u"Turmion Kätilöt/Hoitovirhe"_qs,
                                                    u"Turmion Kätilöt/Hoitovirhe/Rautaketju.mp3"_qs,
                                                    u"Turmion Kätilöt/Pirun nyrkki"_qs,
                                                    u"Turmion Kätilöt/Pirun nyrkki/Mistä veri pakenee.mp3"_qs}
                                     << 0;
    }
    void sharedArchives()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, expected);
        QFETCH(int, refused);
        const QString zip = testdata::sharedDir() + "/zip/" + name;
        if (!QFile::exists(zip))
            QSKIP("third-party test data absent");
        QTemporaryDir dir;  // dest sits two levels down so that "../" has somewhere to land
        const QString dest = dir.filePath("one/two/dest");
        const ExtractResult result = extractZip(dest, zip);
        QVERIFY2(result.complete, qPrintable(result.error));
        QCOMPARE(result.refused.size(), refused);
        QCOMPARE(tree(dest), expected);
        QCOMPARE(tree(dir.path()).size(), expected.size() + 3);  // nothing beside one, two, dest
        QVERIFY(!QFile::exists("/tmp/evil.txt"));
        if (name == "chs_name.zip")
            QCOMPARE(testdata::readFile(dest + u"/中文路径.txt"_qs), u"文件内容"_qs.toUtf8());
    }

    void windowsArchiveWithAttributes()
    {
        SHARED_FILE_OR_SKIP(zip, "zip/ultra.zip");
        QTemporaryDir dir;
        const QString dest = dir.filePath("one/two/dest");
        const ExtractResult result = extractZip(dest, zip);
        QVERIFY(result.complete);
        QCOMPARE(result.refused, QStringList{"../../utes_test/New folder/somefile.txt"});
        QCOMPARE(result.filesWritten, 5);
        QVERIFY(QFileInfo(dest + "/attributes_test/blank folder").isDir());
        QVERIFY(!QFileInfo::exists(dir.filePath("utes_test")));
    }

    void paths_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("file");
        QTest::newRow("no separator") << "name.txt"
                                      << ""
                                      << "name.txt";
        QTest::newRow("ends in separator") << "a/b/"
                                           << "a/b/"
                                           << "";
        QTest::newRow("nested") << "/x/y/z.dll"
                                << "/x/y/"
                                << "z.dll";
    }
    void paths()
    {
        QFETCH(QString, path);
        QFETCH(QString, folder);
        QFETCH(QString, file);
        QCOMPARE(folderPart(path), folder);
        QCOMPARE(fileNamePart(path), file);
    }

    void makePathCases()
    {
        QTemporaryDir dir;
        const QString made = makePath(dir.path() + "//a///b");
        QCOMPARE(made, dir.path() + "/a/b/");
        QVERIFY(QFileInfo(made).isDir());
        QCOMPARE(makePath(made), made);  // existing: nothing to do
        // A folder under a plain file cannot be created: the walk stops.
        testdata::writeFile(dir.filePath("file"), "x");
        QCOMPARE(makePath(dir.filePath("file/sub/deeper")), QString());
        QVERIFY(!QFileInfo::exists(dir.filePath("file/sub")));
    }
};

QTEST_GUILESS_MAIN(TestZipArchive)
#include "test_ziparchive.moc"
