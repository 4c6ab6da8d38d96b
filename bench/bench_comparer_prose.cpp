// trovalis-cli's start and its compare and mark on natural prose, whole
// processes taken in turn by farm-bench (A B A B …, the ratio pair by pair):
//
// - `trovalis-cli --version` beside bench_qtcore_floor, a program that links
//   QtCore alone and prints a line: the floor of a Qt program's start;
// - `trovalis-cli compare PAPER REFERENCE` beside `sim_text -p PAPER
//   REFERENCE` on the same files, at 100,000 and 1,000,000 characters (or the
//   sizes given on the command line), on two texts not made for this:
//   Debian's Chinese manual pages (manpages-zh: their lines of running text,
//   each once) and the Chinese fortunes (fortunes-zh: Debian's sayings, the
//   Tang and Song poems). Beyond what a text holds, it goes on in copies
//   whose Chinese characters are shifted to others, so that it still does not
//   repeat itself. The paper is the first N characters; the reference the N
//   characters from N / 2 on, so that half of each is the other's.
//
// bench_comparer_prose [--runs N] [--keep DIR] [SIZE ...]; --keep leaves the
// inputs in DIR (for a profiler).

#include "manpageprose.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cstdio>
#include <optional>

namespace {

const QString kFortunes = QStringLiteral("/usr/share/games/fortunes/chinese");

void write(const QString& path, const QString& text)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0)
        qFatal("cannot write %s", qPrintable(path));
}

// The fortunes as a reader sees them: no "%" lines between them, no terminal colours.
QString fortunesText()
{
    QFile file(kFortunes);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("%s is missing: install fortunes-zh (scripts/deps.sh does)", qPrintable(kFortunes));
    static const QRegularExpression colours(QStringLiteral("\x1b\\[[0-9;]*m"));
    QStringList lines;
    for (const QString& line : QString::fromUtf8(file.readAll()).remove(colours).split(u'\n')) {
        if (line != u"%")
            lines << line;
    }
    return lines.join(u'\n');
}

// One figure of farm-bench's table: min, median and max.
struct Spread {
    double min = 0, median = 0, max = 0;
};

struct Pair {
    Spread a, b, ratio;  // wall seconds of A and B, and A / B pair by pair
};

std::optional<Spread> row(const QString& table, const QString& name)
{
    const QRegularExpression line(u'^' + QRegularExpression::escape(name)
                                      + QStringLiteral(R"(\s+([0-9.]+)\s+([0-9.]+)\s+([0-9.]+)\s*$)"),
                                  QRegularExpression::MultilineOption);
    const QRegularExpressionMatch m = line.match(table);
    if (!m.hasMatch())
        return std::nullopt;
    return Spread{m.captured(1).toDouble(), m.captured(2).toDouble(), m.captured(3).toDouble()};
}

Pair farmBench(const QStringList& a, const QStringList& b, int runs)
{
    QProcess process;
    process.start(QStringLiteral("farm-bench"),
                  QStringList{QStringLiteral("-n"), QString::number(runs), QStringLiteral("--timeout"),
                              QStringLiteral("600"), QStringLiteral("--vs"), b.join(u' '),
                              QStringLiteral("--")}
                      + a);
    if (!process.waitForFinished(700 * 1000) || process.exitCode() != 0)
        qFatal("farm-bench failed: %s", process.readAllStandardError().constData());
    const QString table = QString::fromUtf8(process.readAllStandardOutput());
    const auto wallA = row(table, QStringLiteral("A wall s"));
    const auto wallB = row(table, QStringLiteral("B wall s"));
    const auto ratio = row(table, QStringLiteral("A/B wall"));
    if (!wallA || !wallB || !ratio)
        qFatal("unexpected farm-bench output:\n%s", qPrintable(table));
    return {*wallA, *wallB, *ratio};
}

void printPair(const char* what, const Pair& p, double target)
{
    std::printf("%-30s %8.1f ms %8.1f ms %6.2f (%.2f to %.2f)  at most %.1f: %s\n", what, p.a.median * 1000,
                p.b.median * 1000, p.ratio.median, p.ratio.min, p.ratio.max, target,
                p.ratio.median <= target ? "yes" : "NO");
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    int runs = 7;
    QString keep;
    QList<qsizetype> sizes;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == u"--runs" && i + 1 < args.size())
            runs = args[++i].toInt();
        else if (args[i] == u"--keep" && i + 1 < args.size())
            keep = args[++i];
        else
            sizes << args[i].toLongLong();
    }
    if (sizes.isEmpty())
        sizes = {100000, 1000000};
    if (!QFile::exists(kManualPages))
        qFatal("%s is missing: install manpages-zh (scripts/deps.sh does)", qPrintable(kManualPages));
    const QString cli = QStringLiteral(TROVALIS_CLI);

    std::printf("whole processes in turn (farm-bench, %d runs each, medians; the ratio pair by pair)\n",
                runs);
    std::printf("%-30s %11s %11s %6s\n", "", "trovalis-cli", "peer", "ratio");
    const Pair start =
        farmBench({cli, QStringLiteral("--version")}, {QStringLiteral(TROVALIS_QTCORE_FLOOR)}, runs);
    printPair("--version / QtCore alone", start, 1.3);

    QTemporaryDir temporary;
    const QString dir = keep.isEmpty() ? temporary.path() : keep;
    QDir().mkpath(dir);
    const struct {
        const char* name;
        QString text;
    } texts[] = {{"manual pages", manualPageProse()}, {"fortunes", fortunesText()}};
    for (const auto& [name, prose] : texts) {
        for (const qsizetype n : sizes) {
            const QString text = proseOfLength(prose, n + n / 2);
            const QString stem =
                QStringLiteral("%1/%2-%3").arg(dir, QString::fromLatin1(name).replace(u' ', u'-')).arg(n);
            const QString paper = stem + QStringLiteral("-paper.txt");
            const QString reference = stem + QStringLiteral("-reference.txt");
            write(paper, text.left(n));
            write(reference, text.mid(n / 2, n));
            const Pair p =
                farmBench({cli, QStringLiteral("compare"), paper, reference},
                          {QStringLiteral("sim_text"), QStringLiteral("-p"), paper, reference}, runs);
            const QByteArray what =
                QStringLiteral("compare %1, %2 chars").arg(QString::fromLatin1(name)).arg(n).toUtf8();
            printPair(what.constData(), p, n < 1000000 ? 2.0 : 0.9);
        }
    }
    std::printf(
        "start of trovalis-cli (--version): %.1f ms median (%.1f to %.1f); a QtCore program: %.1f ms\n",
        start.a.median * 1000, start.a.min * 1000, start.a.max * 1000, start.b.median * 1000);
    return 0;
}
