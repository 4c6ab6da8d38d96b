// The library comparison at scale: a 100,000-character paper against 1,000
// sources of 50,000 characters each (50 million characters). Whole process,
// `trovalis-cli library PAPER FOLDER` beside `sim_text -p PAPER / FILES...`,
// taken in turn by farm-bench (its figures: time and peak memory), on two
// libraries: made-up prose, and Debian's Chinese manual pages, which were not
// made for this. Then, in process, what a second check costs the window once
// the index is built: the folder looked over, nothing read, the paper searched.
//
// bench_library [SOURCES [CHARACTERS]] changes the library's size.

#include "comparer/core/libraryfolder.h"
#include "manpageprose.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>

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

void farmBench(const Input& input)
{
    const QString sim =
        QStringLiteral("sim_text -p ") + input.paper + QStringLiteral(" / ") + input.files.join(u' ');
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(QStringLiteral("farm-bench"),
                  {QStringLiteral("-n"), QStringLiteral("3"), QStringLiteral("--timeout"),
                   QStringLiteral("1800"), QStringLiteral("--vs"), sim, QStringLiteral("--"),
                   QStringLiteral(TROVALIS_CLI), QStringLiteral("library"), input.paper, input.folder});
    if (!process.waitForFinished(2000 * 1000))
        qFatal("farm-bench did not finish");
}

double msSince(QElapsedTimer& clock)
{
    const double ms = clock.nsecsElapsed() / 1e6;
    clock.restart();
    return ms;
}

// The window's work in process: the first reading, the table, then a second
// check that takes every file from the index.
void inProcess(const Input& input)
{
    QFile paperFile(input.paper);
    if (!paperFile.open(QIODevice::ReadOnly))
        qFatal("cannot read the paper");
    const QString paper = QString::fromUtf8(paperFile.readAll());
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
    const LibraryResult result = table.findIn(paper);
    const double searchMs = msSince(clock);
    const StoredLibrary fromDisk = loadIndex(index, input.folder);
    const double loadMs = msSince(clock);
    std::printf(
        "in process: read %.0f ms, table of %zu sentences %.0f ms; second check (index built, %d files "
        "read): folder looked over %.1f ms + paper searched %.1f ms = %.1f ms; %lld of %lld characters "
        "marked, %zu sources\n",
        readMs, table.sentenceCount(), tableMs, second->filesRead, lookMs, searchMs, lookMs + searchMs,
        static_cast<long long>(result.markedChars), static_cast<long long>(result.paperLength),
        result.sources.size());
    std::printf(
        "in process: index written in %.0f ms (%lld MB); a new window reads it, table and all, in %.0f ms "
        "(%zu sentences)\n",
        saveMs, static_cast<long long>(QFileInfo(index).size() >> 20), loadMs,
        fromDisk.table ? fromDisk.table->sentenceCount() : size_t(0));
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 1000;
    const qsizetype length = argc > 2 ? QString::fromLocal8Bit(argv[2]).toLongLong() : 50000;
    QTemporaryDir dir;

    QStringList madeUp;
    for (int i = 0; i < count; ++i)
        madeUp << madeUpProse(length, 1000 + i);
    const Input first = writeInput(dir.filePath(QStringLiteral("madeup")), madeUp, madeUpProse(kPaperOwn, 1));
    madeUp.clear();
    std::printf("made-up prose: %d sources of %lld characters\n", count, static_cast<long long>(length));
    std::fflush(stdout);
    farmBench(first);
    inProcess(first);

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
    farmBench(second);
    inProcess(second);
    return 0;
}
