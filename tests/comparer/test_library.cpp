// The library comparison without a window: its marks against compare-and-mark
// run source by source, the figures, the folder's documents, the index.

#include "comparer/core/libraryfolder.h"
#include "comparer/core/localcompare.h"
#include "documents/core/documentfiles.h"
#include "support/testdata.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace comparer::library;

namespace {

QString u(const char16_t* s) { return QString::fromUtf16(s); }

std::vector<Stretch> stretchesOf(const comparer::CompareResult& result)
{
    std::vector<Stretch> out;
    for (const auto& sentence : result.sentences) {
        for (const qsizetype start : sentence.starts)
            out.push_back({start, sentence.length});
    }
    return out;
}

// What the rules give, worked out by compare-and-mark's plain search, one
// source after the other.
LibraryResult expectedResult(const QString& paper, const QStringList& sources)
{
    LibraryResult expected;
    expected.paperLength = paper.size();
    std::vector<Stretch> all;
    for (qsizetype i = 0; i < sources.size(); ++i) {
        std::vector<Stretch> own = stretchesOf(comparer::compareAndMarkNaive(paper, sources[i]));
        if (own.empty())
            continue;
        all.insert(all.end(), own.begin(), own.end());
        SourceFinds finds{static_cast<qint32>(i), 0, joined(std::move(own))};
        finds.chars = totalLength(finds.stretches);
        expected.sources.push_back(std::move(finds));
    }
    expected.stretches = joined(std::move(all));
    expected.markedChars = totalLength(expected.stretches);
    return expected;
}

LibraryResult libraryResult(const QString& paper, const QStringList& sources)
{
    std::vector<std::vector<SentenceKey>> keys;
    for (const QString& s : sources)
        keys.push_back(sentenceKeys(s));
    std::vector<const std::vector<SentenceKey>*> pointers;
    for (const auto& k : keys)
        pointers.push_back(&k);
    return LibraryTable(pointers).findIn(paper);
}

void compareResults(const LibraryResult& actual, const LibraryResult& expected)
{
    QCOMPARE(actual.paperLength, expected.paperLength);
    QCOMPARE(actual.markedChars, expected.markedChars);
    QVERIFY(actual.stretches == expected.stretches);
    QCOMPARE(actual.sources.size(), expected.sources.size());
    for (size_t i = 0; i < actual.sources.size(); ++i) {
        QCOMPARE(actual.sources[i].source, expected.sources[i].source);
        QCOMPARE(actual.sources[i].chars, expected.sources[i].chars);
        QVERIFY(actual.sources[i].stretches == expected.sources[i].stretches);
    }
}

// Few letters and many marks, so that sentences repeat, overlap and touch.
QString randomText(QRandomGenerator& random, int length)
{
    static const QString letters = u(u"甲乙甲乙丙，。.,!? \r\n");
    QString s;
    for (int i = 0; i < length; ++i)
        s += letters[random.bounded(letters.size())];
    return s;
}

void write(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    testdata::writeFile(path, bytes);
}

// A reader that counts the files it is asked for.
struct CountingReader {
    std::shared_ptr<std::atomic<int>> calls = std::make_shared<std::atomic<int>>(0);
    DocumentReader reader()
    {
        return [calls = calls](const QString& path) {
            ++*calls;
            return readDocumentText(path);
        };
    }
};

}  // namespace

class TestLibrary : public QObject {
    Q_OBJECT
private slots:
    void marksAsCompareAndMarkDoesSourceBySource_data()
    {
        QTest::addColumn<QString>("paper");
        QTest::addColumn<QStringList>("sources");
        const QString copied = u(u"学生的论文中抄了这一句话。");
        QTest::newRow("one copied sentence in two sources, a short one nowhere") << u(u"开头，") + copied
                + u(u"很好。结尾") << QStringList{copied + u(u"很好。"), u(u"无关的文字。") + copied};
        QTest::newRow("three occurrences, two touching")
            << u(u"重复的句子啊。重复的句子啊。中间重复的句子啊。") << QStringList{u(u"重复的句子啊。")};
        QTest::newRow("ASCII punctuation of a source is made full-width; the paper is not")
            << u(u"It is a test sample. It is a test sample。") << QStringList{u(u"It is a test sample.")};
        QTest::newRow("overlapping sentences of two sources join")
            << u(u"一二三四五六七八九十") << QStringList{u(u"一二三四五六七\r\n"), u(u"五六七八九十")};
        QTest::newRow("empty paper") << QString() << QStringList{u(u"一二三四五六七")};
        QTest::newRow("no sources") << u(u"一二三四五六七") << QStringList{};
    }
    void marksAsCompareAndMarkDoesSourceBySource()
    {
        QFETCH(QString, paper);
        QFETCH(QStringList, sources);
        compareResults(libraryResult(paper, sources), expectedResult(paper, sources));
    }

    void marksAsCompareAndMarkOnRandomTexts()
    {
        QRandomGenerator random(24);
        for (int round = 0; round < 400; ++round) {
            const QString paper = randomText(random, random.bounded(200));
            QStringList sources;
            for (int i = random.bounded(5); i > 0; --i)
                sources << randomText(random, random.bounded(120));
            const LibraryResult actual = libraryResult(paper, sources);
            compareResults(actual, expectedResult(paper, sources));
            if (QTest::currentTestFailed())
                qInfo() << "round" << round << paper << sources;
            QVERIFY(!QTest::currentTestFailed());
        }
    }

    void captionAndRows()
    {
        LibraryResult result;
        result.paperLength = 800;
        result.markedChars = 500;  // 0.625 -> 0.62, a tie to the even neighbour
        result.sources = {{0, 300, {}}, {1, 500, {}}, {2, 300, {}}};
        QCOMPARE(libraryCaption(result),
                 u(u"你的文章一共 800 字，其中 500 字与文献库中 3 篇文献重复\r\n"
                   u"        重复部分占你的文章的： 62 %"));
        const std::vector<SourceRow> rows =
            sourceRows(result, {QStringLiteral("b.txt"), QStringLiteral("z/c.pdf"), QStringLiteral("a.txt")});
        QCOMPARE(rows.size(), size_t(3));
        QCOMPARE(rows[0].path, QStringLiteral("z/c.pdf"));
        QCOMPARE(rows[0].share, 62);
        QCOMPARE(rows[1].path, QStringLiteral("a.txt"));  // equal characters: by path
        QCOMPARE(rows[1].source, 2);
        QCOMPARE(rows[2].path, QStringLiteral("b.txt"));
        QCOMPARE(rows[2].share, 38);  // 0.375 -> 0.38
        result.paperLength = 0;
        result.markedChars = 0;
        result.sources.clear();
        QCOMPARE(libraryCaption(result),
                 u(u"你的文章一共 0 字，其中 0 字与文献库中 0 篇文献重复\r\n"
                   u"        重复部分占你的文章的： 0 %"));
    }

    void listsTheLibrarysDocuments()
    {
        QTemporaryDir dir;
        for (const char* name :
             {"a.TXT", "b.Docx", "sub/c.pdf", "sub/deeper/d.html", "e.htm", "f.rtf", "g.doc", "h.wps",
              "i.odt", "notes.md", "noext", ".hidden.txt", ".hiddendir/j.txt", "sub/.k.pdf", "txt"})
            write(dir.filePath(QString::fromLatin1(name)), "x");
        // A link back up the tree is walked once.
        QVERIFY(QFile::link(dir.path(), dir.filePath(QStringLiteral("sub/loop"))));
        const Result<QStringList> listed = listDocuments(dir.path());
        QVERIFY(listed);
        QCOMPARE(*listed,
                 (QStringList{"a.TXT", "b.Docx", "e.htm", "f.rtf", "g.doc", "h.wps", "i.odt", "sub/c.pdf",
                              "sub/deeper/d.html"}));
        QVERIFY(!listDocuments(dir.filePath(QStringLiteral("missing"))));
    }

    // Plain text takes a shorter way than Open's; it must come out the same.
    void readsTextAsOpenDoes()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.txt"));
        for (const QByteArray& bytes :
             {u(u"一\r\n二\r三\n\n四\r\n").toUtf8(), QByteArray("\xD6\xD0\xCE\xC4\n"),
              QByteArray("{\\rtf1 {\\b bold}\\par next}"), QByteArray()}) {
            testdata::writeFile(path, bytes);
            const Result<documents::LoadedDocument> opened = documents::loadDocumentFile(path);
            QVERIFY(opened);
            QCOMPARE(readDocumentText(path).valueOr({}), opened->document.plainText(QStringLiteral("\r\n")));
        }
    }

    void readsPagesAsTheirText()
    {
        QCOMPARE(pageText(u(u"<html><head><title>标题</title><style>p{}</style></head><body><p>第一段，"
                            u"有  空格&amp;符号&#x4E2D;&#25991;</p><script>var a='<p>';</script>"
                            u"<div>第二<b>段</b></div><!-- 注释 --><br>末&nbsp;尾</body>")),
                 u(u"第一段，有 空格&符号中文\r\n第二段\r\n末 尾"));
        QCOMPARE(pageText(u(u"断开的<标签")), u(u"断开的"));
    }

    // Damaged and foreign files are listed as skipped with their reason; the
    // run goes on. An unchanged file is taken from the earlier library unread,
    // a changed one is read again, a removed one is gone.
    void readsTheFolderOnceAndSkipsWhatItCannotRead()
    {
        QTemporaryDir dir;
        write(dir.filePath(QStringLiteral("a.txt")), u(u"第一篇文献的句子。").toUtf8());
        write(dir.filePath(QStringLiteral("b/broken.docx")), "PK\x03\x04 not really a zip");
        write(dir.filePath(QStringLiteral("c.pdf")), "no pdf at all");
        write(dir.filePath(QStringLiteral("d.html")), u(u"<p>网页里的一句话。</p>").toUtf8());
        CountingReader counting;
        ReadProgress progress;
        Result<ReadOutcome> first = readLibrary(dir.path(), Library{}, counting.reader(), progress);
        QVERIFY(first);
        QCOMPARE(first->filesRead, 4);
        QCOMPARE(progress.done.load(), 4);
        QCOMPARE(progress.total.load(), 4);
        const Library& library = first->library;
        QCOMPARE(library.paths(), (QStringList{"a.txt", "b/broken.docx", "c.pdf", "d.html"}));
        QVERIFY(library.files[0].skipped.isEmpty());
        QCOMPARE(library.files[0].keys.size(), size_t(1));
        QVERIFY(!library.files[1].skipped.isEmpty());
        QVERIFY(!library.files[2].skipped.isEmpty());
        QCOMPARE(library.files[3].keys, sentenceKeys(u(u"网页里的一句话。")));
        const LibraryResult found = library.table().findIn(u(u"论文：第一篇文献的句子。网页里的一句话。"));
        QCOMPARE(found.markedChars, 17);
        QCOMPARE(found.sources.size(), size_t(2));

        *counting.calls = 0;
        Result<ReadOutcome> again = readLibrary(dir.path(), first->library, counting.reader(), progress);
        QVERIFY(again);
        QCOMPARE(counting.calls->load(), 0);
        QVERIFY(!again->changed);
        QCOMPARE(again->library.files[1].skipped, first->library.files[1].skipped);

        write(dir.filePath(QStringLiteral("a.txt")), u(u"改过的第一篇文献。").toUtf8());
        QFile a(dir.filePath(QStringLiteral("a.txt")));
        QVERIFY(a.open(QIODevice::ReadWrite));
        a.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime);
        a.close();
        QVERIFY(QFile::remove(dir.filePath(QStringLiteral("d.html"))));
        Result<ReadOutcome> third =
            readLibrary(dir.path(), std::move(again->library), counting.reader(), progress);
        QVERIFY(third);
        QCOMPARE(counting.calls->load(), 1);
        QVERIFY(third->changed);
        QCOMPARE(third->library.files.size(), size_t(3));
        QCOMPARE(third->library.files[0].keys, sentenceKeys(u(u"改过的第一篇文献。")));
    }

    void cancelKeepsWhatWasRead()
    {
        QTemporaryDir dir;
        for (int i = 0; i < 8; ++i)
            write(dir.filePath(QStringLiteral("%1.txt").arg(i)), "abcdefgh.");
        ReadProgress progress;
        std::atomic<int> calls = 0;
        const DocumentReader cancelAfterTwo = [&](const QString& path) {
            if (++calls == 2)
                progress.cancel = true;
            return readDocumentText(path);
        };
        const Result<ReadOutcome> outcome = readLibrary(dir.path(), Library{}, cancelAfterTwo, progress);
        QVERIFY(outcome);
        QVERIFY(outcome->cancelled);
        // The files other threads had begun are finished; no other is begun.
        QVERIFY(outcome->library.files.size() >= 2 && outcome->library.files.size() < 8);
    }

    void aFileChangedWhileReadIsSkipped()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.txt"));
        write(path, u(u"原来的句子内容。").toUtf8());
        const DocumentReader changing = [](const QString& p) {
            Result<QString> text = readDocumentText(p);
            QFile file(p);
            if (file.open(QIODevice::Append))
                file.write(u(u"写到一半又加的。").toUtf8());
            return text;
        };
        ReadProgress progress;
        const Result<ReadOutcome> outcome = readLibrary(dir.path(), Library{}, changing, progress);
        QVERIFY(outcome);
        QCOMPARE(outcome->library.files.size(), size_t(1));
        QCOMPARE(outcome->library.files[0].skipped, u(u"读取时文件被改动了，请稍后再对比。"));
        QVERIFY(outcome->library.files[0].keys.empty());
    }

    void hugeTextIsSkippedWithItsReason()
    {
        QTemporaryDir dir;
        QFile big(dir.filePath(QStringLiteral("big.txt")));
        QVERIFY(big.open(QIODevice::WriteOnly));
        QVERIFY(big.resize(200LL * 1024 * 1024));  // sparse: no disk needed
        big.close();
        const Result<QString> text = readDocumentText(big.fileName());
        QVERIFY(!text);
        QVERIFY(text.error().contains(QStringLiteral("200 MB")));
    }

    // The index lies in the data folder, one file per library folder; a
    // damaged one reads as empty, so everything is read again.
    void indexKeepsTheLibrary()
    {
        QTemporaryDir data;
        Library library;
        library.folder = QStringLiteral("/some/folder");
        const QString text = u(u"第一句话在这里。第二句话在那里。第一句话在这里。");
        library.files.push_back({QStringLiteral("a/论文.txt"), 12, 34, {}, sentenceKeys(text)});
        library.files.push_back({QStringLiteral("b.pdf"), 5, 6, u(u"坏了"), {}});
        library.files.push_back({QStringLiteral("c.txt"), 7, 8, {}, sentenceKeys(u(u"第二句话在那里。"))});
        const QString path = indexPath(data.path(), library.folder);
        QVERIFY(path.startsWith(data.filePath(QStringLiteral("library/"))));
        QVERIFY(path != indexPath(data.path(), QStringLiteral("/other/folder")));
        QVERIFY(saveIndex(library, library.table(), path));
        const StoredLibrary loaded = loadIndex(path, library.folder);
        QCOMPARE(loaded.library.paths(), library.paths());
        QCOMPARE(loaded.library.files[0].keys.size(), size_t(2));  // each sentence once
        QCOMPARE(loaded.library.files[0].size, 12);
        QCOMPARE(loaded.library.files[0].modified, 34);
        QCOMPARE(loaded.library.files[1].skipped, u(u"坏了"));
        QVERIFY(loaded.table);
        const QString paper = u(u"论文：") + text;
        compareResults(loaded.table->findIn(paper), library.table().findIn(paper));
        compareResults(loaded.library.table().findIn(paper), library.table().findIn(paper));
        QVERIFY(loadIndex(path, QStringLiteral("/other/folder")).library.files.empty());

        QByteArray bytes = testdata::readFile(path);
        testdata::writeFile(path, bytes.left(bytes.size() - 3));
        QVERIFY(loadIndex(path, library.folder).library.files.empty());
        bytes[bytes.size() - 2] = char(0x7F);  // the last entry's source beyond the documents
        testdata::writeFile(path, bytes);
        QVERIFY(!loadIndex(path, library.folder).table);
    }
};

QTEST_GUILESS_MAIN(TestLibrary)
#include "test_library.moc"
