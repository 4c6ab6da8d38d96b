#pragma once
// The document model shared by the RTF reader and writer: paragraphs of runs,
// each run with the character formatting the editor keeps. QtCore only, so
// the file formats are tested without a display.

#include <QList>
#include <QString>

#include <optional>

namespace documents {

struct CharFormat {
    QString fontName;              // empty: the reader's default font
    double pointSize = 0;          // 0: the default size
    std::optional<quint32> color;  // 0xRRGGBB; none: automatic (black)
    bool bold = false;
    bool italic = false;
    bool underline = false;

    bool operator==(const CharFormat&) const = default;
};

struct Run {
    QString text;
    CharFormat format;

    bool operator==(const Run&) const = default;
};

struct Paragraph {
    QList<Run> runs;

    QString text() const;
    // Appends text, merging it into the last run when the formatting matches.
    void append(const QString& text, const CharFormat& format);

    bool operator==(const Paragraph&) const = default;
};

struct Document {
    QList<Paragraph> paragraphs;

    // The paragraphs' texts joined by `lineBreak`.
    QString plainText(const QString& lineBreak = QStringLiteral("\n")) const;

    bool operator==(const Document&) const = default;
};

// A document of one unformatted paragraph per line; CR LF, lone CR and lone
// LF all end a line.
Document documentFromPlainText(const QString& text);

}  // namespace documents
