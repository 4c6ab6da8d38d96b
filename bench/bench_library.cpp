// The library comparison at scale: a 100,000-character paper against 1,000
// sources of 50,000 characters each (50 million characters). Whole process,
// `trovalis-cli library --thesaurus ciku.txt PAPER FOLDER` (all three levels)
// beside `sim_text -p PAPER / FILES...` and beside `library --run 0` (whole
// sentences alone, the check as it was before runs), taken in turn by
// farm-bench (its figures: time and peak memory), on two libraries: made-up
// prose, and Debian's Chinese manual pages, which were not made for this.
// Then, in process, what a second check costs the window once the index is
// built: the folder looked over, nothing read, the paper searched.
//
// First, what each level finds and marks falsely on prose not made for it: a
// library of 101 documents of manual-page prose, and a paper of 64 passages
// of its own and 64 copied from the library, eight for each of eight edits.
//
// bench_library [SOURCES [CHARACTERS]] changes the library's size;
// bench_library accuracy measures the levels alone; bench_library window
// [SOURCES [CHARACTERS]] the in-process figures on the manual pages alone.

#include "comparer/core/libraryfolder.h"
#include "comparer/core/rewrite.h"
#include "comparer/core/thesauruspage.h"
#include "manpageprose.h"
#include "matching/fold.h"
#include "matching/runs.h"
#include "shipped_thesaurus.h"

#include <opencc/opencc.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>
#include <numeric>

using namespace comparer::library;

namespace {

constexpr qsizetype kPaperOwn = 90000;
constexpr int kPassages = 10;
constexpr qsizetype kPassageLength = 1000;

// Sentences of 6 to 20 characters, spread over common CJK characters, each
// closed by a mark.
QString madeUpProse(qsizetype length, quint32 seed)
{
    static const QString marks = QStringLiteral(u"，，，。。！？");
    QRandomGenerator random(seed);
    QString text;
    text.reserve(length + 32);
    while (text.size() < length) {
        for (int i = random.bounded(6, 21); i > 0; --i)
            text += QChar(char16_t(0x4E00 + random.bounded(3500)));
        text += marks[random.bounded(marks.size())];
    }
    text.truncate(length);
    return text;
}

void write(const QString& path, const QString& text)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0)
        qFatal("cannot write %s", qPrintable(path));
}

struct Input {
    QString folder;
    QString paper;
    QStringList files;
};

// The sources as files, and a paper of text of its own with passages copied
// from ten of them.
Input writeInput(const QString& root, const QStringList& sources, const QString& ownText)
{
    Input input{root + QStringLiteral("/library"), root + QStringLiteral("/paper.txt"), {}};
    QDir().mkpath(input.folder);
    for (qsizetype i = 0; i < sources.size(); ++i) {
        input.files << input.folder + QStringLiteral("/source%1.txt").arg(i, 4, 10, QChar(u'0'));
        write(input.files.last(), sources[i]);
    }
    QString paper = ownText;
    for (int k = 0; k < kPassages; ++k)
        paper += sources[(k * 97) % sources.size()].mid(20000 % sources[0].size(), kPassageLength);
    write(input.paper, paper);
    return input;
}

// The shipped thesaurus as ciku.txt, as the download writes it.
QString writeThesaurus(const QString& dir)
{
    const QString path = dir + QStringLiteral("/ciku.txt");
    if (!comparer::writeThesaurusFile(path, shippedThesaurusRecords()))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void farmBenchPair(const QStringList& all, const QString& other)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(QStringLiteral("farm-bench"),
                  QStringList{QStringLiteral("-n"), QStringLiteral("3"), QStringLiteral("--timeout"),
                              QStringLiteral("1800"), QStringLiteral("--vs"), other, QStringLiteral("--")}
                      + all);
    if (!process.waitForFinished(2000 * 1000))
        qFatal("farm-bench did not finish");
}

// All levels (N = 13, the shipped thesaurus) beside sim_text, then beside whole sentences alone.
void farmBench(const Input& input, const QString& thesaurus)
{
    const QStringList all{QStringLiteral(TROVALIS_CLI),
                          QStringLiteral("library"),
                          QStringLiteral("--thesaurus"),
                          thesaurus,
                          input.paper,
                          input.folder};
    std::printf("all levels beside sim_text -p:\n");
    std::fflush(stdout);
    farmBenchPair(
        all, QStringLiteral("sim_text -p ") + input.paper + QStringLiteral(" / ") + input.files.join(u' '));
    std::printf("all levels beside whole sentences alone (library --run 0):\n");
    std::fflush(stdout);
    farmBenchPair(all, QStringLiteral(TROVALIS_CLI " library --run 0 ") + input.paper + u' ' + input.folder);
}

double msSince(QElapsedTimer& clock)
{
    const double ms = clock.nsecsElapsed() / 1e6;
    clock.restart();
    return ms;
}

// The window's work in process: the first reading, the table, then a second
// check that takes every file from the index, then a new window's check:
// the index read, the paper searched at all levels.
void inProcess(const Input& input, const QString& thesaurusPath)
{
    QFile paperFile(input.paper);
    if (!paperFile.open(QIODevice::ReadOnly))
        qFatal("cannot read the paper");
    const QString paper = QString::fromUtf8(paperFile.readAll());
    const Result<comparer::Thesaurus> thesaurus = comparer::readThesaurus(thesaurusPath);
    RunSettings settings;
    settings.thesaurus = std::make_shared<const matching::Synonyms>(thesaurus->lines);
    ReadProgress progress;
    QElapsedTimer clock;
    clock.start();
    Result<ReadOutcome> first = readLibrary(input.folder, Library{}, readDocumentText, progress);
    const double readMs = msSince(clock);
    LibraryTable table = first->library.table();
    const double tableMs = msSince(clock);
    const QString index = input.folder + QStringLiteral(".idx");
    if (!saveIndex(first->library, table, index))
        qFatal("cannot write the index");
    const double saveMs = msSince(clock);
    Result<ReadOutcome> second =
        readLibrary(input.folder, std::move(first->library), readDocumentText, progress);
    const double lookMs = msSince(clock);
    const LibraryResult result = table.findIn(paper, settings);
    const double searchMs = msSince(clock);
    const LibraryResult sentences = table.findIn(paper, {0, nullptr});
    const double sentencesMs = msSince(clock);
    const LibraryResult literal = table.findIn(paper, {matching::kDefaultRun, nullptr});
    const double literalMs = msSince(clock);
    table = LibraryTable();
    second = Result<ReadOutcome>(failure(QString()));
    msSince(clock);
    const StoredLibrary fromDisk = loadIndex(index, input.folder);
    const double loadMs = msSince(clock);
    const LibraryResult again = fromDisk.table->findIn(paper, settings);
    const double againMs = msSince(clock);
    std::printf(
        "in process: read %.0f ms, table of %zu sentences and %zu fingerprints %.0f ms; second check (index "
        "built, nothing read): folder looked over %.1f ms + paper searched at all levels %.1f ms (sentences "
        "alone %.1f ms, with literal runs %.1f ms)\n",
        readMs, fromDisk.table->sentenceCount(), fromDisk.table->runIndex().fingerprintCount(), tableMs,
        lookMs, searchMs, sentencesMs, literalMs);
    std::printf("in process: %s\n",
                qPrintable(libraryCaption(result).replace(QStringLiteral("\r\n"), QStringLiteral(" / "))));
    std::printf(
        "in process: index written in %.0f ms (%lld MB); a newly opened window reads it in %.0f ms and "
        "checks "
        "at all levels in %.0f ms: %.0f ms (same marks: %s)\n",
        saveMs, static_cast<long long>(QFileInfo(index).size() >> 20), loadMs, againMs, loadMs + againMs,
        again.literal == result.literal && again.rewordedStretches == result.rewordedStretches ? "yes"
                                                                                               : "NO");
}

// --- what each level finds ---

QString traditionalForm(const QString& text)
{
    static opencc_t converter = opencc_open("s2t.json");
    if (converter == reinterpret_cast<opencc_t>(-1))
        qFatal("OpenCC's s2t.json is missing");
    const QByteArray utf8 = text.toUtf8();
    char* out = opencc_convert_utf8(converter, utf8.constData(), size_t(utf8.size()));
    const QString converted = QString::fromUtf8(out);
    opencc_convert_utf8_free(out);
    return converted;
}

bool isSentenceEnd(QChar c) { return c == u'。' || c == u'！' || c == u'？' || c == u'\n'; }

// Applies `each` to every sentence (its end mark kept outside).
QString perSentence(const QString& text, const std::function<QString(QString)>& each)
{
    QString out;
    QString sentence;
    for (const QChar c : text) {
        if (isSentenceEnd(c)) {
            out += each(sentence) + c;
            sentence.clear();
        } else {
            sentence += c;
        }
    }
    return out + each(sentence);
}

enum Edit {
    AsCopied,
    OneCharacter,
    Punctuation,
    Filler,
    Swapped,
    ThesaurusRewrite,
    HandSynonyms,
    Traditional
};
const char* const kEditNames[] = {"as copied",        "one character a sentence", "punctuation changed",
                                  "filler words",     "halves swapped",           "thesaurus rewrite",
                                  "synonyms by hand", "traditional characters"};

QString edited(const QString& text, int edit, const QStringList& thesaurus, QRandomGenerator& random)
{
    switch (edit) {
    case OneCharacter:
        return perSentence(text, [&](QString s) {
            QList<qsizetype> content;
            for (qsizetype i = 0; i < s.size(); ++i) {
                if (matching::isContent(s[i].unicode()))
                    content << i;
            }
            if (!content.isEmpty())
                s[content[content.size() / 2]] = QChar(char16_t(0x4E00 + random.bounded(3000)));
            return s;
        });
    case Punctuation: {
        QString out = text;
        for (QChar& c : out) {
            if (c == u'，')
                c = u'、';
            else if (c == u'。')
                c = u'；';
            else if (c == u',')
                c = u'，';
            else if (c == u'、')
                c = u'，';
            else if (c == u'：' || c == u':')
                c = u'—';
        }
        return out;
    }
    case Filler: {
        QString out;
        int sinceLast = 0;
        for (const QChar c : text) {
            out += c;
            if (matching::isContent(c.unicode()) && ++sinceLast >= 20 + random.bounded(5)) {
                out += QStringLiteral(u"其实");
                sinceLast = 0;
            }
        }
        return out;
    }
    case Swapped:
        return perSentence(text, [](const QString& s) {
            const qsizetype comma = s.indexOf(u'，');
            return comma < 0 ? s : s.mid(comma + 1) + u'，' + s.left(comma);
        });
    case ThesaurusRewrite:
        return comparer::rewriteText(text, thesaurus, comparer::seededRandom(random.generate())).text;
    case HandSynonyms: {
        static const char16_t* const pairs[][2] = {
            {u"使用", u"运用"}, {u"可以", u"能够"}, {u"如果", u"假如"}, {u"显示", u"展示"},
            {u"所有", u"全部"}, {u"指定", u"设定"}, {u"当前", u"目前"}, {u"信息", u"讯息"},
            {u"执行", u"运行"}, {u"创建", u"建立"}, {u"文件", u"档案"}, {u"默认", u"缺省"},
            {u"需要", u"必须"}, {u"程序", u"程式"}, {u"输出", u"输送"}};
        QString out = text;
        for (const auto& pair : pairs)
            out.replace(QString::fromUtf16(pair[0]), QString::fromUtf16(pair[1]));
        return out;
    }
    case Traditional:
        return traditionalForm(text);
    default:
        return text;
    }
}

// Whole lines from `lines[from]` on until at least `length` characters.
QString passageFrom(const QStringList& lines, qsizetype& from, qsizetype length)
{
    QString passage;
    while (from < lines.size() && passage.size() < length)
        passage += lines[from++] + u'\n';
    return passage;
}

qint64 inside(const std::vector<Stretch>& joinedStretches, Stretch range)
{
    qint64 total = 0;
    for (const Stretch& s : joinedStretches) {
        const qsizetype from = std::max(s.start, range.start);
        const qsizetype to = std::min(s.start + s.length, range.start + range.length);
        total += std::max<qsizetype>(0, to - from);
    }
    return total;
}

void accuracy()
{
    if (!QFile::exists(kManualPages)) {
        std::printf("%s is missing: install manpages-zh (scripts/deps.sh does)\n", qPrintable(kManualPages));
        return;
    }
    QStringList lines = manualPageProse().split(u'\n');
    lines.removeIf([](const QString& line) { return line.size() < 8; });
    // Lines of the first two thirds make the library, of the last third the paper's own prose.
    const qsizetype libraryLines = lines.size() * 2 / 3;
    QStringList documents;
    qsizetype at = 0;
    for (int d = 0; d < 101; ++d) {
        QString document;
        for (; at < libraryLines * (d + 1) / 101; ++at)
            document += lines[at] + u'\n';
        documents << document;
    }
    const QStringList thesaurus = shippedThesaurusRecords();
    QRandomGenerator random(27);
    struct Piece {
        int edit;  // -1: the paper's own
        Stretch at;
        int source;
        QString original;
    };
    std::vector<Piece> pieces;
    QString paper;
    qsizetype own = libraryLines;
    for (int i = 0; i < 128; ++i) {
        QString text;
        int edit = -1;
        int source = -1;
        if (i % 2 == 0) {
            text = passageFrom(lines, own, 160);
        } else {
            edit = (i / 2) % 8;
            source = (i * 37) % documents.size();
            QStringList docLines = documents[source].split(u'\n');
            qsizetype from = random.bounded(qsizetype(docLines.size() / 2) + 1);
            const QString original = passageFrom(docLines, from, 160);
            text = edited(original, edit, thesaurus, random);
            pieces.push_back({edit, {paper.size(), text.size()}, source, original});
            paper += text;
            continue;
        }
        pieces.push_back({edit, {paper.size(), text.size()}, source, {}});
        paper += text;
    }
    std::vector<std::vector<SentenceKey>> keys;
    std::vector<matching::Content> contents;
    for (const QString& d : documents) {
        keys.push_back(sentenceKeys(d));
        contents.push_back(std::make_shared<const std::u32string>(matching::foldContent(d)));
    }
    std::vector<const std::vector<SentenceKey>*> pointers;
    for (const auto& k : keys)
        pointers.push_back(&k);
    const LibraryTable table(pointers, contents);
    RunSettings settings;
    settings.thesaurus = std::make_shared<const matching::Synonyms>(thesaurus);
    const LibraryResult result = table.findIn(paper, settings);
    // What is there to find: the characters in a run of 13 or more shared with a source.
    std::vector<Stretch> findable;
    for (qsizetype d = 0; d < documents.size(); ++d) {
        for (const matching::SharedRun& run : matching::sharedRuns(paper, documents[d]))
            findable.push_back({run.a.start, run.a.length});
    }
    findable = joined(std::move(findable));
    const std::vector<Stretch> anyLevel = joined([&] {
        std::vector<Stretch> all = result.stretches;
        all.insert(all.end(), result.literal.begin(), result.literal.end());
        all.insert(all.end(), result.rewordedStretches.begin(), result.rewordedStretches.end());
        return all;
    }());
    const std::vector<Stretch> rewordedAlone = outside(result.rewordedStretches, result.stretches);
    std::printf(
        "what each level finds: a library of %lld documents (%lld characters of manual-page prose), a paper "
        "of %lld characters: 64 passages of its own, 64 copied with eight edits\n",
        static_cast<long long>(documents.size()),
        static_cast<long long>(std::accumulate(documents.begin(), documents.end(), qsizetype(0),
                                               [](qsizetype n, const QString& d) { return n + d.size(); })),
        static_cast<long long>(paper.size()));
    std::printf("%-26s %9s %9s %9s %9s %9s %9s %8s\n", "passages", "chars", "in 13-run", "sentence",
                "literal", "reworded", "any", "reworded");
    std::printf("%-26s %9s %9s %9s %9s %9s %9s %8s\n", "", "", "", "(red)", "(orange+)", "(violet)", "level",
                "found");
    for (int edit = -1; edit < 8; ++edit) {
        qint64 chars = 0, run = 0, sentence = 0, literal = 0, reworded = 0, any = 0;
        int passages = 0, foundReworded = 0;
        for (const Piece& p : pieces) {
            if (p.edit != edit)
                continue;
            ++passages;
            chars += p.at.length;
            run += inside(findable, p.at);
            sentence += inside(result.stretches, p.at);
            literal += inside(result.literal, p.at);
            const qint64 r = inside(rewordedAlone, p.at);
            reworded += r;
            foundReworded += r > 0;
            any += inside(anyLevel, p.at);
        }
        const auto pct = [&](qint64 v) { return chars ? 100.0 * double(v) / double(chars) : 0.0; };
        std::printf("%-26s %9lld %8.1f%% %8.1f%% %8.1f%% %8.2f%% %8.1f%% %5d/%d\n",
                    edit < 0 ? "the paper's own" : kEditNames[edit], static_cast<long long>(chars), pct(run),
                    pct(sentence), pct(literal), pct(reworded), pct(any), foundReworded, passages);
    }
    qint64 runChars = 0, runMarked = 0;
    for (const Stretch& s : findable) {
        runChars += s.length;
        runMarked += inside(result.literal, s);
    }
    std::printf("of the %lld characters in a run of 13 or more shared with a source, the literal level marks "
                "%.1f %%\n",
                static_cast<long long>(runChars),
                runChars ? 100.0 * double(runMarked) / double(runChars) : 0.0);
    std::printf("%s\n\n",
                qPrintable(libraryCaption(result).replace(QStringLiteral("\r\n"), QStringLiteral(" / "))));
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    // "window": the in-process figures alone (index, a new window's check), on the manual pages.
    const bool windowOnly = !args.isEmpty() && args.first() == QStringLiteral("window");
    if (windowOnly)
        args.removeFirst();
    else
        accuracy();
    if (!args.isEmpty() && args.first() == QStringLiteral("accuracy"))
        return 0;
    const int count = !args.isEmpty() ? args[0].toInt() : 1000;
    const qsizetype length = args.size() > 1 ? args[1].toLongLong() : 50000;
    QTemporaryDir dir;
    const QString thesaurus = writeThesaurus(dir.path());

    if (!windowOnly) {
        QStringList madeUp;
        for (int i = 0; i < count; ++i)
            madeUp << madeUpProse(length, 1000 + i);
        const Input first =
            writeInput(dir.filePath(QStringLiteral("madeup")), madeUp, madeUpProse(kPaperOwn, 1));
        madeUp.clear();
        std::printf("made-up prose: %d sources of %lld characters\n", count, static_cast<long long>(length));
        std::fflush(stdout);
        farmBench(first, thesaurus);
        inProcess(first, thesaurus);
    }

    if (!QFile::exists(kManualPages)) {
        std::printf("%s is missing: install manpages-zh (scripts/deps.sh does)\n", qPrintable(kManualPages));
        return 0;
    }
    const QString prose = proseOfLength(manualPageProse(), count * length + kPaperOwn);
    QStringList pages;
    for (int i = 0; i < count; ++i)
        pages << prose.mid(i * length, length);
    const Input second =
        writeInput(dir.filePath(QStringLiteral("manpages")), pages, prose.mid(count * length, kPaperOwn));
    std::printf("\nDebian's Chinese manual pages: %d sources of %lld characters\n", count,
                static_cast<long long>(length));
    std::fflush(stdout);
    if (!windowOnly)
        farmBench(second, thesaurus);
    inProcess(second, thesaurus);
    return 0;
}
