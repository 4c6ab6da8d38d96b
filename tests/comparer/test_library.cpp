// The library comparison without a window: its marks against compare-and-mark
// run source by source, the figures, the folder's documents, the index.

#include "comparer/core/libraryfolder.h"
#include "comparer/core/localcompare.h"
#include "documents/core/documentfiles.h"
#include "matching/runs.h"
#include "support/testdata.h"

#include <QDataStream>
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
        SourceFinds finds{static_cast<qint32>(i), 0, joined(std::move(own)), 0, 0, {}};
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

// Prose over a few dozen ideographs, some of which have traditional forms,
// so that copies with their punctuation, words or script changed are likely.
QString randomProse(QRandomGenerator& random, int length)
{
    static const QString letters =
        u(u"我们这发说国学时会对的是在了研究城市化进程生态环境影响日益显著需要重视");
    static const QString marks = u(u"，。、；！ \r\n");
    QString s;
    for (int i = 0; i < length; ++i)
        s += random.bounded(6) == 0 ? marks[random.bounded(marks.size())]
                                    : letters[random.bounded(letters.size())];
    return s;
}

// What a student does to a copied passage: a character replaced, punctuation
// changed, a filler word put in, or written in traditional characters.
QString edited(QRandomGenerator& random, QString text)
{
    static const QString simplified = u(u"们这发说国学时会对");
    static const QString traditional = u(u"們這發說國學時會對");
    switch (random.bounded(4)) {
    case 0:
        if (!text.isEmpty())
            text[random.bounded(text.size())] = u'某';
        break;
    case 1:
        text.replace(u'，', u'、').replace(u'。', u'；');
        break;
    case 2:
        text.insert(random.bounded(text.size() + 1), u(u"其实"));
        break;
    default:
        for (QChar& c : text) {
            if (const qsizetype at = simplified.indexOf(c); at >= 0)
                c = traditional[at];
        }
    }
    return text;
}

LibraryTable tableOf(const QStringList& sources, bool fingerprints = true)
{
    std::vector<std::vector<SentenceKey>> keys;
    std::vector<matching::Content> contents;
    for (const QString& s : sources) {
        keys.push_back(sentenceKeys(s));
        contents.push_back(std::make_shared<const std::u32string>(matching::foldContent(s)));
    }
    std::vector<const std::vector<SentenceKey>*> pointers;
    for (const auto& k : keys)
        pointers.push_back(&k);
    return LibraryTable(pointers, contents, fingerprints);
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

    // The literal level equals the pairwise search run source by source.
    void runsAsThePairwiseSearchFindsThem()
    {
        QRandomGenerator random(13);
        for (int round = 0; round < 80; ++round) {
            const int n = random.bounded(matching::kMinRun, 21);
            QStringList sources;
            for (int i = random.bounded(1, 5); i > 0; --i)
                sources << randomProse(random, random.bounded(300));
            QString paper = randomProse(random, random.bounded(40));
            for (int piece = random.bounded(5); piece > 0; --piece) {
                const QString& from = sources[random.bounded(sources.size())];
                paper += edited(random, from.mid(random.bounded(from.size() + 1), random.bounded(20, 90)));
                paper += randomProse(random, random.bounded(20));
            }
            const LibraryResult result = tableOf(sources).findIn(paper, {n, nullptr});
            QCOMPARE(result.runLength, n);
            std::vector<Stretch> all;
            for (qsizetype s = 0; s < sources.size(); ++s) {
                std::vector<Stretch> own;
                for (const matching::SharedRun& run : matching::sharedRuns(paper, sources[s], n))
                    own.push_back({run.a.start, run.a.length});
                own = joined(std::move(own));
                all.insert(all.end(), own.begin(), own.end());
                const auto finds = std::find_if(result.sources.begin(), result.sources.end(),
                                                [&](const SourceFinds& f) { return f.source == s; });
                QCOMPARE(finds == result.sources.end() ? 0 : finds->literalChars, totalLength(own));
                if (finds == result.sources.end())
                    continue;
                const std::u32string content = matching::foldContent(sources[s]);
                for (const Passage& p : finds->passages) {
                    if (p.level != Level::Literal)
                        continue;
                    QVERIFY(p.sourceCount >= n);
                    QCOMPARE(matching::foldContent(QStringView(paper).mid(p.paper.start, p.paper.length)),
                             content.substr(size_t(p.sourceFirst), size_t(p.sourceCount)));
                }
            }
            QVERIFY(result.literal == joined(all));
            QCOMPARE(result.literalChars, totalLength(result.literal));
            QVERIFY(!result.reworded);
            QVERIFY(result.rewordedStretches.empty());
        }
    }

    // A copy as it stands, one with other punctuation and a word put in, one
    // in traditional characters, one rewritten from the thesaurus: the levels,
    // their colours, the caption and the rows by the rules.
    void threeLevels()
    {
        const QString copied = u(u"城市化进程对生态环境的影响日益显著");           // 17
        const QString traditional = u(u"数字经济为传统产业转型升级提供了新动能");  // 19
        const QStringList sources{u(u"前言。") + copied + u(u"。另有一句。"),
                                  u(u"开头，高校扩招使毕业生就业压力逐年增大明显，另外，") + traditional
                                      + u(u"。"),
                                  u(u"研究表明适度运动能够提高睡眠质量和学习效率。")};
        const QString paper = u(u"我的文字。") + copied + u(u"。高校扩招、使毕业生就业压力逐年其实增大明显。")
            + u(u"數字經濟為傳統產業轉型升級提供了新動能。")
            + u(u"探究显示适度运动能够提升睡眠质量和学习效率。");
        RunSettings settings;
        settings.thesaurus = std::make_shared<const matching::Synonyms>(
            QStringList{u(u"研究,探究"), u(u"表明,显示"), u(u"提高,提升")});
        const LibraryResult result = tableOf(sources).findIn(paper, settings);
        const auto at = [&](const QString& text) { return paper.indexOf(text); };
        // Without fingerprints (every source walked once) the same.
        const LibraryResult walked = tableOf(sources, false).findIn(paper, settings);
        QVERIFY(walked.literal == result.literal && walked.rewordedStretches == result.rewordedStretches);
        // Sentences: the copy is one of its source's sentences.
        QVERIFY(result.stretches == (std::vector<Stretch>{{at(copied), 18}}));
        // Literal: the copy; 高校扩招 … 逐年 (14, with the 、 between); the
        // traditional sentence whole. 增大明显 is too short.
        QVERIFY(
            result.literal
            == (std::vector<Stretch>{{at(copied), 17}, {at(u(u"高校扩招")), 15}, {at(u(u"數字經濟")), 19}}));
        QCOMPARE(result.literalChars, 51);
        QVERIFY(result.rewordedStretches == (std::vector<Stretch>{{at(u(u"探究显示")), 21}}));
        QVERIFY(outside(result.literal, result.stretches)
                == (std::vector<Stretch>{{at(u(u"高校扩招")), 15}, {at(u(u"數字經濟")), 19}}));
        QCOMPARE(runsCaption(result),
                 u(u"        连续13字以上相同：51 字（")
                     + QString::number(comparer::roundedPercent(51, paper.size()))
                     + u(u" %），疑似改写：21 字（")
                     + QString::number(comparer::roundedPercent(21, paper.size())) + u(u" %）"));
        QVERIFY(libraryCaption(result).endsWith(u(u" 篇文献重复\r\n        重复部分占你的文章的： ")
                                                + QString::number(comparer::roundedPercent(18, paper.size()))
                                                + u(u" %\r\n") + runsCaption(result)));
        const std::vector<SourceRow> rows = sourceRows(result, {"a.txt", "b.txt", "c.txt"});
        QCOMPARE(rows.size(), size_t(3));
        QCOMPARE(rows[0].path, QStringLiteral("b.txt"));
        QCOMPARE(rows[0].literalChars, 34);
        QCOMPARE(rows[1].path, QStringLiteral("a.txt"));
        QCOMPARE(rows[1].chars, 18);
        QCOMPARE(rows[1].literalChars, 17);
        QCOMPARE(rows[2].path, QStringLiteral("c.txt"));
        QCOMPARE(rows[2].rewordedChars, 21);
        // The reworded passage, and where it stands in its source.
        const SourceFinds& c = result.sources.back();
        QCOMPARE(c.passages.size(), size_t(1));
        QCOMPARE(c.passages[0].level, Level::Reworded);
        ShownSource shown;
        shown.text = sources[2];
        shown.folded = matching::foldText(shown.text);
        QCOMPARE(shown.stretchOf(c.passages[0], paper), (Stretch{0, 21}));
        // Without a thesaurus the line ends after the literal share, and N is what was asked.
        const LibraryResult plain = tableOf(sources).findIn(paper, {matching::kMaxRun + 7, nullptr});
        QCOMPARE(plain.runLength, matching::kMaxRun);
        QVERIFY(plain.literal.empty());
        QCOMPARE(runsCaption(plain), u(u"        连续50字以上相同：0 字（0 %）"));
        QCOMPARE(tableOf(sources).findIn(paper, {3, nullptr}).runLength, matching::kMinRun);
    }

    void captionAndRows()
    {
        LibraryResult result;
        result.paperLength = 800;
        result.markedChars = 500;  // 0.625 -> 0.62, a tie to the even neighbour
        result.sources = {{0, 300, {}, 0, 0, {}}, {1, 500, {}, 0, 0, {}}, {2, 300, {}, 0, 0, {}}};
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
        library.files.push_back({QStringLiteral("a/论文.txt"), 12, 34, {}, sentenceKeys(text), {}});
        library.files.push_back({QStringLiteral("b.pdf"), 5, 6, u(u"坏了"), {}, {}});
        library.files.push_back(
            {QStringLiteral("c.txt"), 7, 8, {}, sentenceKeys(u(u"第二句话在那里。")), {}});
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

    // The index keeps the contents and fingerprints; one of the earlier
    // version is read as none, so every document is read again. The
    // side-by-side view reads a source anew and says when it changed.
    void indexKeepsRunsAndEarlierOnesAreRebuilt()
    {
        QTemporaryDir dir;
        QTemporaryDir data;
        const QString copied = u(u"城市化进程对生态环境的影响日益显著");
        write(dir.filePath(QStringLiteral("a.txt")), (u(u"前言，") + copied + u(u"！")).toUtf8());
        write(dir.filePath(QStringLiteral("b.txt")), u(u"与此无关的另一篇文献。").toUtf8());
        ReadProgress progress;
        Result<ReadOutcome> read = readLibrary(dir.path(), Library{}, readDocumentText, progress);
        QVERIFY(read);
        const Library& library = read->library;
        const QString path = indexPath(data.path(), library.folder);
        QVERIFY(saveIndex(library, library.table(), path));
        const StoredLibrary loaded = loadIndex(path, library.folder);
        QVERIFY(loaded.table);
        QCOMPARE(*loaded.library.files[0].content, matching::foldContent(u(u"前言") + copied));
        const QString paper = u(u"论文：") + copied + u(u"。");
        const LibraryResult result = loaded.table->findIn(paper);
        QVERIFY(result.literal == (std::vector<Stretch>{{3, 17}}));
        QVERIFY(result.literal == library.table().findIn(paper).literal);
        QCOMPARE(result.sources.size(), size_t(1));
        const Passage passage = result.sources[0].passages.at(0);
        QCOMPARE(passage.level, Level::Literal);

        Result<ShownSource> shown = showSource(loaded.library, 0, readDocumentText);
        QVERIFY(shown);
        QVERIFY(!shown->changed);
        QCOMPARE(shown->text.mid(shown->stretchOf(passage, paper).start, 17), copied);
        write(dir.filePath(QStringLiteral("a.txt")), (u(u"改过了。") + copied).toUtf8());
        shown = showSource(loaded.library, 0, readDocumentText);
        QVERIFY(shown && shown->changed);
        QVERIFY(!showSource(loaded.library, 7, readDocumentText));

        // The same documents under an index of the earlier version.
        QByteArray earlier;
        {
            QDataStream out(&earlier, QIODevice::WriteOnly);
            out << quint32(0x54524C42) << quint32(3) << library.folder << quint64(library.files.size());
            for (const SourceFile& f : library.files)
                out << f.path << f.size << f.modified << f.skipped;
            out << quint64(0);
        }
        testdata::writeFile(path, earlier);
        StoredLibrary old = loadIndex(path, library.folder);
        QVERIFY(old.library.files.empty() && !old.table);
        Result<ReadOutcome> again =
            readLibrary(dir.path(), std::move(old.library), readDocumentText, progress);
        QVERIFY(again);
        QCOMPARE(again->filesRead, 2);
        QVERIFY(again->library.files[1].content);
    }

    // Ten megabytes of one character, a paper of punctuation alone.
    void badInputGivesCorrectResults()
    {
        QTemporaryDir dir;
        write(dir.filePath(QStringLiteral("same.txt")), QString(10 * 1024 * 1024 / 3, u'啊').toUtf8());
        write(dir.filePath(QStringLiteral("b.txt")), u(u"别的文字在这里，一句又一句。").toUtf8());
        ReadProgress progress;
        Result<ReadOutcome> read = readLibrary(dir.path(), Library{}, readDocumentText, progress);
        QVERIFY(read);
        const LibraryTable table = read->library.table();
        const QString paper = u(u"开头") + QString(30, u'啊') + u(u"。别的文字在这里，一句又");
        const LibraryResult result = table.findIn(paper, {matching::kMinRun, nullptr});
        QVERIFY(result.literal == (std::vector<Stretch>{{2, 30}, {33, 11}}));
        QCOMPARE(result.sources.size(), size_t(2));
        const LibraryResult none = table.findIn(u(u"，。！？……——\r\n"));
        QVERIFY(none.literal.empty() && none.sources.empty());
        QCOMPARE(runsCaption(none), u(u"        连续13字以上相同：0 字（0 %）"));
        QCOMPARE(table.findIn(QString()).literalChars, 0);
    }
};

QTEST_GUILESS_MAIN(TestLibrary)
#include "test_library.moc"
