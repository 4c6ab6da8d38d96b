// Compare and mark on natural prose, whole process, side by side with
// Debian's sim_text: `trovalis-cli compare PAPER REFERENCE` against
// `sim_text -p PAPER REFERENCE` on the same files, at 100,000, 1,000,000 and
// 10,000,000 characters (or the sizes given on the command line).
//
// The prose is the text of Debian's Chinese manual pages (manpages-zh):
// their lines of running text, each line once. Beyond the 1.2 million
// characters they hold, the text goes on in copies whose Chinese characters
// are shifted to others, so that it still does not repeat itself. The paper
// is the first N characters; the reference the N characters from N / 2 on,
// so that half of each is the other's.

#include "manpageprose.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

void write(const QString& path, const QString& text)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0)
        qFatal("cannot write %s", qPrintable(path));
}

struct Timed {
    double ms = 1e18;
    QByteArray out;
};

void runOnce(const QString& program, const QStringList& args, Timed& best)
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    process.start(program, args);
    if (!process.waitForFinished(600000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0)
        qFatal("%s failed: %s", qPrintable(program), process.readAllStandardError().constData());
    best.ms = std::min(best.ms, timer.nsecsElapsed() / 1e6);
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QList<qsizetype> sizes;
    for (const QString& a : app.arguments().mid(1))
        sizes << a.toLongLong();
    if (sizes.isEmpty())
        sizes = {100000, 1000000, 10000000};
    if (!QFile::exists(kManualPages))
        qFatal("%s is missing: install manpages-zh (scripts/deps.sh does)", qPrintable(kManualPages));
    const QString prose = manualPageProse();
    std::printf("prose: %lld characters of Debian's Chinese manual pages\n",
                static_cast<long long>(prose.size()));
    std::printf("compare and mark, whole process, best of several runs taken in turn\n");
    std::printf("%12s %14s %14s %8s %16s\n", "characters", "trovalis-cli", "sim_text -p", "ratio",
                "cli ns/char");
    QTemporaryDir dir;
    const QString paper = dir.filePath(QStringLiteral("paper.txt"));
    const QString reference = dir.filePath(QStringLiteral("reference.txt"));
    for (const qsizetype n : sizes) {
        const QString text = proseOfLength(prose, n + n / 2);
        write(paper, text.left(n));
        write(reference, text.mid(n / 2, n));
        const int runs = n >= 5000000 ? 3 : 7;
        Timed cli, sim;
        for (int r = 0; r < runs; ++r) {
            runOnce(QStringLiteral(TROVALIS_CLI), {QStringLiteral("compare"), paper, reference}, cli);
            runOnce(QStringLiteral("sim_text"), {QStringLiteral("-p"), paper, reference}, sim);
        }
        std::printf("%12lld %11.1f ms %11.1f ms %8.2f %16.1f\n", static_cast<long long>(n), cli.ms, sim.ms,
                    cli.ms / sim.ms, cli.ms * 1e6 / double(n));
        std::fflush(stdout);
    }
    std::printf("targets: at most 2 times sim_text at 100,000 characters, at most 1 time from 1,000,000,\n"
                "and the time per character level up to 10,000,000\n");
    return 0;
}
