#include "comparer/ui/papercolouring.h"

#include <QElapsedTimer>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace {

// About 10 ms of layout per window; a paragraph longer than this is a window
// of its own, as the editor lays out a paragraph whole.
constexpr int kWindowChars = 32768;
// Events go through at most this often: a repaint costs more than a mark.
constexpr qint64 kSliceMs = 30;

QTextCharFormat colourFormat(const QColor& colour)
{
    QTextCharFormat format;
    format.setForeground(colour);
    return format;
}

void colourRange(QTextCursor& cursor, int from, int to, const QTextCharFormat& format)
{
    cursor.setPosition(from);
    cursor.setPosition(to, QTextCursor::KeepAnchor);
    cursor.mergeCharFormat(format);
}

// The end of the window that starts at `start`: the end of the paragraph
// holding the position kWindowChars further on, its break included.
int windowEnd(const QTextDocument* document, int start, int documentEnd)
{
    const QTextBlock last = document->findBlock(std::min(start + kWindowChars, documentEnd));
    return std::min(last.position() + last.length(), documentEnd);
}

}  // namespace

void colourPaper(QTextDocument* document, std::vector<PaperMark> marks, bool resetMarks,
                 const std::function<void()>& letEventsThrough, const QColor& colour)
{
    std::sort(marks.begin(), marks.end(),
              [](const PaperMark& a, const PaperMark& b) { return a.from < b.from; });
    const QTextCharFormat marked = colourFormat(colour);
    const QTextCharFormat black = colourFormat(QColor(0, 0, 0));
    QElapsedTimer clock;
    clock.start();
    const auto pause = [&] {
        if (clock.elapsed() >= kSliceMs) {
            letEventsThrough();
            clock.restart();
        }
    };

    const int documentEnd = document->characterCount() - 1;
    QTextCursor cursor(document);
    std::size_t unfinished = 0;  // the first mark reaching past the windows done
    for (int start = 0; start < documentEnd;) {
        const int end = windowEnd(document, start, documentEnd);
        if (start == 0)
            cursor.beginEditBlock();
        else
            cursor.joinPreviousEditBlock();
        if (resetMarks)
            colourRange(cursor, start, end, black);
        for (std::size_t i = unfinished; i < marks.size() && marks[i].from < end; ++i) {
            pause();  // a long paragraph is one window: the repaints show it as it was
            const int from = std::max(marks[i].from, start);
            const int to = std::min(marks[i].to, end);
            if (from < to)
                colourRange(cursor, from, to,
                            marks[i].colour.isValid() ? colourFormat(marks[i].colour) : marked);
        }
        while (unfinished < marks.size() && marks[unfinished].to <= end)
            ++unfinished;
        cursor.endEditBlock();  // the editor lays out this window's paragraphs
        pause();
        start = end;
    }
}
