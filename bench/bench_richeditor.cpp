// Times the editor's CR LF position mapping on a large paper and the bulk
// replacement of its text, and typing into a paper that is one paragraph of a
// million characters. Prints the figures; not run by CTest.
#include "platform/widgets/richeditor.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>

#include <cstdio>

namespace {

// `lines` lines of Chinese and Latin text, `totalChars` characters in all.
QString makePaper(int totalChars, int lines)
{
    const QString pattern = QString::fromUtf8("论文中的句子，包含一些文字 and words。");
    const int perLine = totalChars / lines - 2;  // the CR LF counts too
    QString paper;
    paper.reserve(totalChars + lines);
    for (int line = 0; line < lines; ++line) {
        for (int i = 0; i < perLine; ++i)
            paper += pattern[(line + i) % pattern.size()];
        paper += QLatin1String("\r\n");
    }
    return paper;
}

double msSince(const QElapsedTimer& timer) { return timer.nsecsElapsed() / 1e6; }

QList<int> randomPositions(int count, int upTo)
{
    QRandomGenerator random(42);
    QList<int> positions;
    for (int i = 0; i < count; ++i)
        positions.append(random.bounded(upTo + 1));
    return positions;
}

void benchMapping(RichEditor& editor, int calls)
{
    const QList<int> positions = randomPositions(calls, editor.text().size());
    QElapsedTimer timer;
    double ms = 0;
    // The first pass also pays for QTextEdit's lazy layout of the document.
    for (const char* pass : {"first pass", "second pass"}) {
        timer.restart();
        for (int pos : positions) {
            editor.setSelStart(pos);
            editor.setSelLength(38);
        }
        ms = msSince(timer);
        std::printf("setSelStart + setSelLength (38), %s: %d rounds in %.1f ms, %.2f us each\n", pass, calls,
                    ms, ms * 1000 / calls);
    }

    qint64 sum = 0;
    timer.restart();
    for (int i = 0; i < calls; ++i)
        sum += editor.selStart() + editor.selLength();
    ms = msSince(timer);
    std::printf("selStart + selLength: %d rounds in %.1f ms, %.2f us each (checksum %lld)\n", calls, ms,
                ms * 1000 / calls, static_cast<long long>(sum));
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    RichEditor editor;
    editor.resize(800, 600);
    editor.show();

    const QString paper = makePaper(1'000'000, 20'000);
    QElapsedTimer timer;
    timer.start();
    editor.setText(paper);
    std::printf("setText of %lld characters, 20000 lines: %.1f ms\n", static_cast<long long>(paper.size()),
                msSince(timer));
    timer.restart();
    const QString text = editor.text();
    std::printf("text() of the same: %.1f ms (%lld characters)\n", msSince(timer),
                static_cast<long long>(text.size()));
    benchMapping(editor, 100'000);

    // 5 MB of UTF-8, mostly CJK: about 2.4 million characters.
    const QString big = makePaper(2'400'000, 50'000);
    timer.restart();
    editor.setText(big);
    std::printf("setText of %.1f MB (UTF-8), %lld characters: %.1f ms\n", big.toUtf8().size() / 1e6,
                static_cast<long long>(big.size()), msSince(timer));
    timer.restart();
    QApplication::processEvents();
    std::printf("first event processing after it: %.1f ms\n", msSince(timer));

    // One paragraph: shown in display pieces, so a typed character lays out
    // one piece instead of the whole paragraph.
    const QString paragraph = makePaper(1'000'002, 1).chopped(2);
    timer.restart();
    editor.setText(paragraph);
    std::printf("setText of one paragraph of %lld characters: %.1f ms\n",
                static_cast<long long>(paragraph.size()), msSince(timer));
    timer.restart();
    const bool same = editor.text() == paragraph;
    std::printf("text() of the same: %.1f ms (%s)\n", msSince(timer), same ? "unchanged" : "CHANGED");
    QApplication::processEvents();
    timer.restart();
    for (int i = 0; i < 20; ++i) {
        editor.setSelStart(500'000 + 17 * i);
        editor.setSelText(QStringLiteral("字"));
        QApplication::processEvents();
    }
    std::printf("a character typed in its middle, laid out: %.2f ms each\n", msSince(timer) / 20);
    benchMapping(editor, 100'000);

    editor.setText(QString());
    timer.restart();
    editor.setSelText(paragraph);
    const double inserted = msSince(timer);
    QApplication::processEvents();
    std::printf("the same paragraph pasted into an empty editor: %.1f ms (%.1f ms of it in the"
                " paste itself, which lays the text out for the caret at its end)\n",
                msSince(timer), inserted);
    return same && editor.text() == paragraph ? 0 : 1;
}
