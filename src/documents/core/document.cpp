#include "documents/core/document.h"

#include <QRegularExpression>

namespace documents {

QString Paragraph::text() const
{
    QString result;
    for (const Run& run : runs)
        result += run.text;
    return result;
}

void Paragraph::append(const QString& text, const CharFormat& format)
{
    if (text.isEmpty())
        return;
    if (!runs.isEmpty() && runs.last().format == format)
        runs.last().text += text;
    else
        runs.append({text, format});
}

QString Document::plainText(const QString& lineBreak) const
{
    QStringList lines;
    lines.reserve(paragraphs.size());
    for (const Paragraph& paragraph : paragraphs)
        lines.append(paragraph.text());
    return lines.join(lineBreak);
}

Document documentFromPlainText(const QString& text)
{
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    Document document;
    for (const QString& line : text.split(lineBreak)) {
        Paragraph paragraph;
        paragraph.append(line, {});
        document.paragraphs.append(paragraph);
    }
    return document;
}

}  // namespace documents
