// Compare and mark in the comparer window: the core's search plus colouring
// every mark in the real editor, with the window repainting between slices.
// Colouring must grow with the number of marks, not with marks times the
// length of a paragraph (the paper here has paragraphs of 850 characters).
// Run with QT_QPA_PLATFORM=offscreen (and QTWEBENGINE_DISABLE_SANDBOX=1 as root).

#include "comparer/core/localcompare.h"
#include "comparer/ui/form2.h"
#include "platform/widgets/richeditor.h"
#include "shipped_thesaurus.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

namespace {

// A paper of numbered sentences; the reference repeats every `step`-th one.
void makeTexts(int sentences, int step, QString* paper, QString* reference)
{
    for (int i = 0; i < sentences; ++i) {
        const QString sentence = QStringLiteral(u"这是论文中的第%1个句子，").arg(i, 6, 10, QChar(u'0'));
        *paper += sentence;
        if (i % 50 == 49)
            *paper += QStringLiteral("\r\n");
        if (i % step == 0)
            *reference += sentence;
    }
}

void measure(int sentences, int step)
{
    QString paper, reference;
    makeTexts(sentences, step, &paper, &reference);
    Form2 form(Endpoints::builtIn(), [&] { return paper; });
    form.open();
    form.RichTextBox2->setText(reference);

    QElapsedTimer timer;
    timer.start();
    const auto result = comparer::compareAndMark(paper, reference);
    const double coreMs = timer.nsecsElapsed() / 1e6;
    timer.restart();
    form.Command1_Click();
    const double windowMs = timer.nsecsElapsed() / 1e6;
    std::printf("paper %7lld chars, %5lld marks: core %7.1f ms, window run with colouring %8.1f ms"
                " (%.3f ms per mark)\n",
                static_cast<long long>(paper.size()), static_cast<long long>(result.run.sentences), coreMs,
                windowMs, windowMs / std::max<qint64>(1, result.run.sentences));
}

// The rewrite through the window: reading ciku.txt (made from the vendor's
// page) with its yields, the rewrite, and the reference editor filled.
void measureRewrite()
{
    const QStringList records = shippedThesaurusRecords();
    QTemporaryDir folder;
    if (!comparer::writeThesaurusFile(folder.filePath("ciku.txt"), records))
        qFatal("cannot make ciku.txt");
    QString paper;
    for (int i = 0; paper.size() < 100000; ++i)
        paper +=
            records.at(1 + i % (records.size() - 1)).section(u',', 0, 0) + QStringLiteral(u"的研究表明，");
    Form2 form(Endpoints::builtIn(), [&] { return paper; });
    form.programFolder = folder.path();
    form.open();
    QElapsedTimer timer;
    timer.start();
    form.Command2_Click();
    std::printf("rewrite through the window, %lld-char paper, %lld thesaurus lines: %.1f ms\n",
                static_cast<long long>(paper.size()), static_cast<long long>(records.size()),
                timer.nsecsElapsed() / 1e6);
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    measure(2000, 2);
    measure(8000, 2);
    measure(8000, 1);
    measureRewrite();
    return 0;
}
