#pragma once
// The check report as one document: sections of headings, paragraphs, tables
// and lists made of styled runs of text. The HTML and the PDF are both
// written from it, so that they hold the same text in the same order; only
// how a style looks is each writer's own.
//
// To show something new, add it here as a run, a block or a flag of one,
// build it in reportmodel.cpp from `Content`, and give it a look in
// reporthtml.cpp and in the PDF writer (src/report/pdf).

#include "report/core/checkreport.h"

#include <QList>
#include <QString>

namespace report {

// The colour of a run; the HTML's classes "h", "m", "u", "e" and "ho".
enum class Tone : quint8 {
    Plain,
    High,       // a piece from 50 %
    Medium,     // a piece from 20 %
    Unchecked,  // grey on a light grey ground
    Evidence,   // a stretch the search service highlighted: red
    Host,       // a result's host: green
};

struct Run {
    enum class Kind : quint8 {
        Text,
        Break,   // a line break inside the paragraph
        Number,  // a piece's number in the paper, small and raised
    };
    Kind kind = Kind::Text;
    QString text;
    Tone tone = Tone::Plain;
    bool excluded = false;      // dotted underline: left out of the second figure
    bool underline = false;     // solid underline
    bool small = false;         // smaller type (a result's summary)
    bool piece = false;         // one piece of the paper: a span of its own even when plain
    bool wrapsAddress = false;  // a long address that may break every 30 characters
    QString href;               // a link when not empty: http or https only

    static Run of(const QString& t, Tone tone = Tone::Plain)
    {
        Run r;
        r.text = t;
        r.tone = tone;
        return r;
    }
    static Run lineBreak()
    {
        Run r;
        r.kind = Kind::Break;
        return r;
    }
};

struct Cell {
    QList<Run> runs;
    bool number = false;  // right-aligned
};

struct Block {
    enum class Kind : quint8 { Title, Heading, Paragraph, Table, List };
    // A paragraph's look: the HTML's classes "figure", "rule", "pc" and "paper".
    enum class Style : quint8 { Plain, Figure, Rule, Piece, Paper };
    Kind kind = Kind::Paragraph;
    Style style = Style::Plain;
    QList<Run> runs;          // Title, Heading, Paragraph
    QStringList header;       // Table: the column headings
    QList<QList<Cell>> rows;  // Table: its rows; List: one cell per item
};

// A part of the report under its heading; the HTML starts each on a new line.
struct Section {
    QList<Block> blocks;
};

struct CheckReportModel {
    QString paperTitle;  // the paper's first line, at most 40 characters; may be empty
    QString checkedAt;   // "2026-06-01 08:00:00", or "未知"
    QList<Section> sections;
};

// The report of `content`, section by section.
CheckReportModel modelOf(const Content& content);
// The report of a kept check; `paperText` as contentOf() takes it.
CheckReportModel modelOf(const SavedCheck& check, QStringView paperText);

// The report as one self-contained HTML document.
QString html(const CheckReportModel& model);

// Under each piece from 20 %, so many results are shown; "另有 N 条结果" counts the rest.
constexpr qsizetype kResultsShown = 3;

}  // namespace report
