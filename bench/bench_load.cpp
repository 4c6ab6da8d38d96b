// Load through the real windows:
//  autorun [N]   an automatic comparison of N sentences (3,000 by default)
//                against a search server on 127.0.0.1, the 1000 ms step
//                shortened to 10 ms here only; every page must be scored
//                exactly once; resident memory sampled along the way.
//  comparer [N] [P]
//                compare and mark of an N-character paper against an
//                N-character reference (1,000,000 by default) in the comparer
//                window; the longest pause between the window's repaints. The
//                paper is one paragraph, or paragraphs of about P characters.
//  library [FOLDER PAPER]
//                the library comparison of PAPER (UTF-8) against FOLDER in the
//                comparer window: the first check (every file read), then a
//                second one in the same window and one in a new window (both
//                from the index); the time and the longest pause between
//                repaints of each; all levels, the shipped thesaurus as
//                ciku.txt (none with a last argument --no-thesaurus). Target: a check in a new window, the index built,
//                under 1 s. Without FOLDER and PAPER: 1,000 documents
//                of 50,000 characters of Debian's Chinese manual pages and a
//                paper of 100,000 characters, ten passages of it copied.
//  library-files DIR
//                writes that library and paper below DIR, for trovalis-cli.
// Without an argument autorun and comparer run. Exit status 1 when a target is missed.
// Run with QT_QPA_PLATFORM=offscreen (and QTWEBENGINE_DISABLE_SANDBOX=1 as root).

#include "comparer/core/localcompare.h"
#include "comparer/core/thesauruspage.h"
#include "comparer/ui/form2.h"
#include "mainwindow/ui/form1.h"
#include "manpageprose.h"
#include "platform/widgets/dialogs.h"
#include "platform/widgets/richeditor.h"
#include "shipped_thesaurus.h"
#include "support/fixtureserver.h"
#include "support/resultpages.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMutex>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

// Resident memory of this process, in MiB.
double residentMiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toDouble() * 4096 / (1024.0 * 1024.0);
}

// Resident memory of the browser's helper processes (renderers, zygote), in MiB.
double helpersResidentMiB(const QString& pid = QStringLiteral("self"))
{
    double total = 0;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile children(tasks.filePath(task + QStringLiteral("/children")));
        if (!children.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& child : children.readAll().split(' ')) {
            if (child.trimmed().isEmpty())
                continue;
            QFile statm(QStringLiteral("/proc/%1/statm").arg(QString::fromLatin1(child.trimmed())));
            if (statm.open(QIODevice::ReadOnly))
                total += statm.readAll().split(' ').value(1).toDouble() * 4096 / (1024.0 * 1024.0);
            total += helpersResidentMiB(QString::fromLatin1(child.trimmed()));
        }
    }
    return total;
}

double peakResidentMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

// The sentence's tag: "Q" and five digits, ASCII so that it reaches the server as is.
QString tag(int i) { return QStringLiteral("Q%1").arg(i, 5, 10, QChar(u'0')); }

bool autorunLoad(int sentences)
{
    using namespace resultpages;
    // One page per sentence, 10 % highlighted (38 of 380 characters).
    QList<resultpages::Result> results = numberedResults(3);
    results[2].snippet = highlight(38);
    const QByteArray resultPage = page(body(results));
    QMutex mutex;
    QMap<QString, int> asked;
    FixtureServer server;
    server.setFallback([&](const QString& path, const QString& query) {
        const qsizetype at = query.indexOf(QLatin1String("wd=Q"));
        FixtureServer::Reply reply;
        if (path != QLatin1String("/s") || at < 0) {
            reply.status = 404;
            return reply;
        }
        QMutexLocker lock(&mutex);
        ++asked[query.mid(at + 3, 6)];
        reply.body = resultPage;
        return reply;
    });

    Endpoints endpoints = Endpoints::builtIn();
    endpoints.baiduBase = server.base();
    QTemporaryDir dir;
    Form1 form(endpoints);
    form.instanceServerName = dir.filePath(QStringLiteral("instance"));
    form.endProgram = [] {};
    form.engine_Click(form.baidu);
    form.show();

    QString paper;
    for (int i = 0; i < sentences; ++i)
        paper += tag(i) + filler(32) + QStringLiteral("\r\n");
    form.RichTextBox1->setText(paper);
    form.Command1_Click();
    if (form.session.sentences.size() != sentences) {
        std::printf("autorun: the paper gave %lld sentences, not %d\n",
                    static_cast<long long>(form.session.sentences.size()), sentences);
        return false;
    }

    dialogs::queueAnswer(dialogs::Answer::Ok);
    QElapsedTimer clock;
    clock.start();
    const double startMiB = residentMiB();
    double maxMiB = startMiB;
    double maxHelpersMiB = helpersResidentMiB();
    form.Command3_Click();
    form.Timer2.setInterval(10);
    int nextReport = sentences / 6;
    while (form.session.autoRunning) {
        QTest::qWait(50);
        maxMiB = std::max(maxMiB, residentMiB());
        maxHelpersMiB = std::max(maxHelpersMiB, helpersResidentMiB());
        if (form.session.nextIndex >= nextReport) {
            std::printf("  %5d sentences, %6.1f s, resident %6.1f MiB, browser helpers %6.1f MiB\n",
                        form.session.nextIndex, clock.elapsed() / 1000.0, residentMiB(),
                        helpersResidentMiB());
            std::fflush(stdout);
            nextReport += sentences / 6;
        }
        if (clock.elapsed() > 3600 * 1000)
            break;
    }
    const double seconds = clock.elapsed() / 1000.0;

    QMutexLocker lock(&mutex);
    int once = 0, repeated = 0;
    for (int i = 0; i < sentences; ++i) {
        const int n = asked.value(tag(i));
        once += n == 1;
        repeated += n > 1;
    }
    const bool counted = form.session.pageCount == sentences + 1;
    const bool expectedSum = qAbs(form.session.similaritySum - 10.0 * sentences) < 1e-6;
    std::printf("autorun: %d sentences in %.1f s (%.1f ms each), %d searched once, %d repeated, %d missing;"
                " pages counted %d, similarity sum %.0f (expected %d)\n",
                sentences, seconds, 1000 * seconds / sentences, once, repeated, sentences - once - repeated,
                form.session.pageCount - 1, form.session.similaritySum, 10 * sentences);
    std::printf("autorun: resident memory %.1f MiB at the start, %.1f MiB at most during the run,"
                " %.1f MiB at the end; process peak %.1f MiB; browser helper processes at most %.1f MiB\n",
                startMiB, maxMiB, residentMiB(), peakResidentMiB(), maxHelpersMiB);
    return once == sentences && counted && expectedSum;
}

// A paper of numbered sentences; the reference holds every tenth of them
// among sentences of its own, so that a tenth of the paper gets marked. With
// a paragraph length, the paper breaks its lines after about that many characters.
void makeTexts(int length, int paragraphLength, QString* paper, QString* reference)
{
    qsizetype paragraphStart = 0;
    for (int i = 0; paper->size() < length; ++i) {
        const QString sentence = QStringLiteral(u"这是论文中的第%1个句子，").arg(i, 7, 10, QChar(u'0'));
        if (paragraphLength > 0 && paper->size() - paragraphStart >= paragraphLength) {
            *paper += QLatin1String("\r\n");
            paragraphStart = paper->size();
        }
        *paper += sentence;
        *reference +=
            i % 10 == 0 ? sentence : QStringLiteral(u"参考文献里的第%1段文字。").arg(i, 7, 10, QChar(u'0'));
    }
    paper->truncate(length);
    reference->truncate(length);
}

// Timestamps of every repaint of the window or its children.
class PaintClock : public QObject {
public:
    explicit PaintClock(QWidget* window) : window_(window) { clock_.start(); }
    qint64 longestGapMs() const { return longest_; }
    int paints() const { return paints_; }
    void reset()
    {
        last_ = clock_.elapsed();
        longest_ = 0;
        paints_ = 0;
    }

protected:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && object->isWidgetType()
            && (object == window_ || window_->isAncestorOf(static_cast<QWidget*>(object)))) {
            const qint64 now = clock_.elapsed();
            longest_ = std::max(longest_, now - last_);
            last_ = now;
            ++paints_;
        }
        return false;
    }

private:
    QWidget* window_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    qint64 longest_ = 0;
    int paints_ = 0;
};

struct Watched {
    double seconds = 0;
    int repaints = 0;
    qint64 longestPauseMs = 0;
};

// Runs `click` while the comparer's repaints are watched. Something on screen
// always wants repainting, as a user's window would.
Watched watchRepaints(Form2& form, const std::function<void()>& click)
{
    QTimer animation;
    QObject::connect(&animation, &QTimer::timeout, [&] { form.Label1->update(); });
    animation.start(20);
    PaintClock paints(&form);
    qApp->installEventFilter(&paints);
    QTest::qWait(100);
    paints.reset();
    QElapsedTimer clock;
    clock.start();
    click();
    const double seconds = clock.elapsed() / 1000.0;
    // The pause still running when the work ended counts too.
    QTest::qWait(60);
    qApp->removeEventFilter(&paints);
    return {seconds, paints.paints(), paints.longestGapMs()};
}

bool comparerLoad(int length, int paragraphLength)
{
    QString paper, reference;
    makeTexts(length, paragraphLength, &paper, &reference);
    QElapsedTimer core;
    core.start();
    const comparer::CompareResult alone = comparer::compareAndMark(paper, reference);
    std::printf("comparer: the search alone (no window) takes %lld ms, %lld sentences marked\n",
                static_cast<long long>(core.elapsed()), static_cast<long long>(alone.sentences.size()));
    Form2 form(Endpoints::builtIn(), [&] { return paper; });
    form.open();
    form.RichTextBox2->setText(reference);
    // The editors lay a new text out in the background, in steps of up to
    // 200,000 characters; the user clicks once the window has settled.
    form.RichTextBox1->document()->size();
    form.RichTextBox2->document()->size();
    QTest::qWait(200);

    const Watched run = watchRepaints(form, [&] { form.Command1_Click(); });
    std::printf("comparer: %lld vs %lld characters in %.1f s, %d repaints, longest pause between"
                " repaints %lld ms (target 100 ms); label \"%s\"\n",
                static_cast<long long>(paper.size()), static_cast<long long>(reference.size()), run.seconds,
                run.repaints, static_cast<long long>(run.longestPauseMs),
                qPrintable(form.Label1->text().left(60)));
    return run.longestPauseMs <= 100;
}

// The library bench_library measures on prose not made for it, written below `root`.
std::pair<QString, QString> writeManualPageLibrary(const QString& root)
{
    constexpr int kDocuments = 1000;
    constexpr qsizetype kLength = 50000;
    constexpr qsizetype kOwn = 90000;
    const QString prose = proseOfLength(manualPageProse(), kDocuments * kLength + kOwn);
    const QString folder = root + QStringLiteral("/library");
    QDir().mkpath(folder);
    const auto write = [](const QString& path, const QString& text) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0)
            qFatal("cannot write %s", qPrintable(path));
    };
    QString paper = prose.mid(kDocuments * kLength, kOwn);
    for (int i = 0; i < kDocuments; ++i) {
        const QString page = prose.mid(i * kLength, kLength);
        write(folder + QStringLiteral("/source%1.txt").arg(i, 4, 10, QChar(u'0')), page);
        if (i % 97 == 0 && paper.size() < kOwn + 10000)
            paper += page.mid(20000, 1000);
    }
    write(root + QStringLiteral("/paper.txt"), paper);
    return {folder, root + QStringLiteral("/paper.txt")};
}

bool libraryLoad(const QString& folder, const QString& paperPath, bool thesaurus)
{
    QFile file(paperPath);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(paperPath));
    const QString paper =
        QString::fromUtf8(file.readAll()).replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    QTemporaryDir data;
    // All levels: the program's thesaurus, as shipped, for the reworded runs.
    QTemporaryDir program;
    if (thesaurus
        && !comparer::writeThesaurusFile(program.filePath(QStringLiteral("ciku.txt")),
                                         shippedThesaurusRecords()))
        qFatal("cannot write ciku.txt");
    bool ok = true;
    const char* runs[] = {"first check, every file read", "second check, same window",
                          "check in a new window"};
    auto form = std::make_unique<Form2>(Endpoints::builtIn(), [&] { return paper; });
    for (int run = 0; run < 3; ++run) {
        if (run == 2)
            form = std::make_unique<Form2>(Endpoints::builtIn(), [&] { return paper; });
        form->dataFolder = data.path();
        form->programFolder = program.path();
        form->open();
        form->RichTextBox1->document()->size();
        QTest::qWait(200);
        dialogs::queueFileName(folder);
        const Watched watched = watchRepaints(*form, [&] { form->Command4_Click(); });
        std::printf("library, %s: %.2f s, longest pause between repaints %lld ms, resident %.0f MiB; %s\n",
                    runs[run], watched.seconds, static_cast<long long>(watched.longestPauseMs), residentMiB(),
                    qPrintable(form->Label1->text().replace(QStringLiteral("\r\n"), QStringLiteral(" /"))));
        // A check with the index built: in the same window, and in a new one (target 1 s).
        ok = ok && watched.longestPauseMs <= 100 && (run == 0 || watched.seconds < (run == 1 ? 0.5 : 1.0));
    }
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // Without the thesaurus: the sentences and the literal runs alone.
    const bool thesaurus = argc < 2 || std::strcmp(argv[argc - 1], "--no-thesaurus") != 0;
    argc -= thesaurus ? 0 : 1;
    const QString what = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    const int size = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 0;
    const int paragraphLength = argc > 3 ? QString::fromLocal8Bit(argv[3]).toInt() : 0;
    bool ok = true;
    if (what == QLatin1String("library") && argc > 3)
        return libraryLoad(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]), thesaurus) ? 0
                                                                                                        : 1;
    if (what == QLatin1String("library-files") && argc > 2) {  // the same library, kept in a folder
        const auto [folder, paper] = writeManualPageLibrary(QString::fromLocal8Bit(argv[2]));
        std::printf("%s\n%s\n", qPrintable(folder), qPrintable(paper));
        return 0;
    }
    if (what == QLatin1String("library")) {
        QTemporaryDir dir;
        const auto [folder, paper] = writeManualPageLibrary(dir.path());
        return libraryLoad(folder, paper, thesaurus) ? 0 : 1;
    }
    if (what.isEmpty() || what == QLatin1String("autorun"))
        ok = autorunLoad(size > 0 ? size : 3000) && ok;
    if (what.isEmpty() || what == QLatin1String("comparer"))
        ok = comparerLoad(size > 0 ? size : 1000000, paragraphLength) && ok;
    return ok ? 0 : 1;
}
