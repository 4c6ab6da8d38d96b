#include "documents/core/pdftext.h"

#include <QRegularExpression>

#include <algorithm>
#include <vector>

namespace documents {

namespace {

constexpr char16_t kReaderHyphen = 0xFFFE;  // Qt PDF's mark of a hyphen at a line end

bool isWide(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 0x2E80 && u <= 0x9FFF) || (u >= 0xAC00 && u <= 0xD7AF) || (u >= 0xF900 && u <= 0xFAFF)
        || (u >= 0xFE30 && u <= 0xFE4F) || (u >= 0xFF00 && u <= 0xFF60) || (u >= 0xFFE0 && u <= 0xFFE6)
        || c.isSurrogate();
}

// What a line ends with when its sentence (or its item, or its heading's
// colon) is over; closing quotes and brackets after it do not count.
bool endsSentence(QStringView line)
{
    static const QString closers = QStringLiteral("”’」』）)】》〉\"'");
    static const QString enders = QStringLiteral("。！？!?…；;：:.");
    qsizetype end = line.size();
    while (end > 0 && closers.contains(line.at(end - 1)))
        --end;
    return end > 0 && enders.contains(line.at(end - 1));
}

// Lines set wider than the text column's measure: Chinese and full-width
// characters count two, others one.
int displayWidth(QStringView line)
{
    int width = 0;
    for (const QChar c : line)
        width += isWide(c) ? 2 : 1;
    return width;
}

// A line much shorter than the page's full lines ends its paragraph (a
// heading, the last line of a paragraph without a full stop, an item).
// Pages of a few lines say too little about their measure.
int shortLineWidth(const QStringList& lines)
{
    std::vector<int> widths;
    for (const QString& line : lines) {
        if (!line.isEmpty())
            widths.push_back(displayWidth(line));
    }
    if (widths.size() < 4)
        return 0;
    std::sort(widths.begin(), widths.end());
    const int full = widths[widths.size() * 4 / 5];
    return full * 3 / 5;
}

bool startsIndented(QStringView line)
{
    return !line.isEmpty()
        && (line.front() == u' ' || line.front() == u'\t' || line.front() == QChar(0x3000));
}

void appendJoined(QString& paragraph, const QString& line)
{
    if (paragraph.isEmpty()) {
        paragraph = line;
        return;
    }
    const QChar last = paragraph.back();
    const QChar first = line.front();
    const bool latinOnBothSides = !isWide(last) && !isWide(first) && last != u'-' && !last.isSpace();
    if (latinOnBothSides)
        paragraph += u' ';
    paragraph += line;
}

QString joinPage(QString page)
{
    page.replace(QChar(kReaderHyphen), QLatin1Char('-'));
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n|\u2028|\u2029"));
    QStringList lines = page.split(lineBreak);
    for (QString& line : lines) {
        qsizetype end = line.size();
        while (end > 0 && line.at(end - 1).isSpace())
            --end;
        line.truncate(end);
    }
    while (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();
    const int shortWidth = shortLineWidth(lines);

    QStringList paragraphs;
    QString paragraph;
    bool open = false;  // the paragraph may take the next line
    for (const QString& line : lines) {
        if (line.isEmpty()) {
            if (open)
                paragraphs.append(paragraph);
            paragraphs.append(QString());
            paragraph.clear();
            open = false;
            continue;
        }
        if (open && !startsIndented(line)) {
            appendJoined(paragraph, line);
        } else {
            if (open)
                paragraphs.append(paragraph);
            paragraph = line;
        }
        open = !endsSentence(line) && displayWidth(line) >= shortWidth;
        if (!open) {
            paragraphs.append(paragraph);
            paragraph.clear();
        }
    }
    if (open)
        paragraphs.append(paragraph);
    return paragraphs.join(u'\n');
}

}  // namespace

QString joinPdfLines(const QStringList& pages)
{
    QStringList texts;
    texts.reserve(pages.size());
    for (const QString& page : pages)
        texts.append(joinPage(page));
    return texts.join(u'\n');
}

}  // namespace documents
