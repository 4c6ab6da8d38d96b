// The report as one HTML document: UTF-8, its styles inline, no script,
// nothing fetched from elsewhere.

#include "analysis/pieceresult.h"
#include "report/core/reportmodel.h"

namespace report {
namespace {

QString escaped(const QString& text) { return text.toHtmlEscaped(); }

QString cssColour(quint32 rgb) { return QStringLiteral("#%1").arg(rgb, 6, 16, QLatin1Char('0')); }

QString styleSheet()
{
    return QStringLiteral(
               "body{font-family:\"宋体\",\"SimSun\",\"Noto Serif CJK SC\",\"WenQuanYi Micro Hei\",serif;"
               "font-size:11pt;line-height:1.7;margin:2em;color:#000}"
               "h1{font-size:20pt;text-align:center}h2{font-size:14pt;border-bottom:1px solid #999}"
               ".figure{font-size:14pt;font-weight:bold}.rule{font-size:9.5pt;color:#444}"
               ".paper sup{font-size:7pt;color:#666;margin:0 1px}"
               ".h{color:%1}.m{color:%2}.u{color:#888;background:#eee}.x{text-decoration:underline dotted}"
               ".pc{margin:0 0 8px}.e{color:%1}.ho{color:#060}.sm{font-size:9.5pt}"
               "table.t{border-collapse:collapse;font-size:10pt}table.t td,table.t th{border:1px solid #999;"
               "padding:2px 6px}table.t td.n{text-align:right}"
               ".sites li{font-size:10pt}"
               ".u{-webkit-print-color-adjust:exact;print-color-adjust:exact}")
        .arg(cssColour(similarityband::kHighColour), cssColour(similarityband::kMediumColour));
}

// A long address as text, with a line break allowed every 30 characters:
// cheaper for a browser to lay out than a wrapping rule, and nothing added to
// copied text.
QString breakable(const QString& url)
{
    QString out;
    for (qsizetype at = 0; at < url.size(); at += 30)
        out += (at > 0 ? QStringLiteral("<wbr>") : QString()) + escaped(url.mid(at, 30));
    return out;
}

QString toneClass(Tone tone)
{
    switch (tone) {
    case Tone::Plain:
        return {};
    case Tone::High:
        return QStringLiteral("h");
    case Tone::Medium:
        return QStringLiteral("m");
    case Tone::Unchecked:
        return QStringLiteral("u");
    case Tone::Evidence:
        return QStringLiteral("e");
    case Tone::Host:
        return QStringLiteral("ho");
    }
    return {};
}

void appendText(QString& out, const Run& run)
{
    QString inner = run.wrapsAddress ? breakable(run.text) : escaped(run.text);
    if (!run.href.isEmpty())
        inner = QStringLiteral("<a href=\"") + escaped(run.href) + QStringLiteral("\">") + inner
            + QStringLiteral("</a>");
    if (run.underline)
        inner = QStringLiteral("<u>") + inner + QStringLiteral("</u>");
    QString classes = toneClass(run.tone);
    if (run.excluded)
        classes += classes.isEmpty() ? QStringLiteral("x") : QStringLiteral(" x");
    if (!classes.isEmpty())
        out += QStringLiteral("<span class=\"") + classes + QStringLiteral("\">") + inner
            + QStringLiteral("</span>");
    else if (run.piece)
        out += QStringLiteral("<span>") + inner + QStringLiteral("</span>");
    else
        out += inner;
}

void appendRuns(QString& out, const QList<Run>& runs)
{
    bool small = false;  // inside the span of smaller type
    for (const Run& run : runs) {
        if (run.small != small) {
            out += small ? QStringLiteral("</span>") : QStringLiteral("<span class=\"sm\">");
            small = run.small;
        }
        switch (run.kind) {
        case Run::Kind::Break:
            out += QStringLiteral("<br>");
            break;
        case Run::Kind::Number:
            out += QStringLiteral("<sup>") + escaped(run.text) + QStringLiteral("</sup>");
            break;
        case Run::Kind::Text:
            appendText(out, run);
            break;
        }
    }
    if (small)
        out += QStringLiteral("</span>");
}

QString styleClass(Block::Style style)
{
    switch (style) {
    case Block::Style::Plain:
        return {};
    case Block::Style::Figure:
        return QStringLiteral("figure");
    case Block::Style::Rule:
        return QStringLiteral("rule");
    case Block::Style::Piece:
        return QStringLiteral("pc");
    case Block::Style::Paper:
        return QStringLiteral("paper");
    }
    return {};
}

void appendBlock(QString& out, const Block& block)
{
    switch (block.kind) {
    case Block::Kind::Title:
    case Block::Kind::Heading: {
        const QString tag = block.kind == Block::Kind::Title ? QStringLiteral("h1") : QStringLiteral("h2");
        out += u'<' + tag + u'>';
        appendRuns(out, block.runs);
        out += QStringLiteral("</") + tag + u'>';
        return;
    }
    case Block::Kind::Paragraph: {
        const QString cls = styleClass(block.style);
        out += cls.isEmpty() ? QStringLiteral("<p>")
                             : QStringLiteral("<p class=\"") + cls + QStringLiteral("\">");
        appendRuns(out, block.runs);
        out += QStringLiteral("</p>");
        return;
    }
    case Block::Kind::Table:
        out += QStringLiteral("<table class=\"t\"><tr>");
        for (const QString& h : block.header)
            out += QStringLiteral("<th>") + escaped(h) + QStringLiteral("</th>");
        out += QStringLiteral("</tr>");
        for (const QList<Cell>& row : block.rows) {
            out += QStringLiteral("<tr>");
            for (const Cell& cell : row) {
                out += cell.number ? QStringLiteral("<td class=\"n\">") : QStringLiteral("<td>");
                appendRuns(out, cell.runs);
                out += QStringLiteral("</td>");
            }
            out += QStringLiteral("</tr>");
        }
        out += QStringLiteral("</table>");
        return;
    case Block::Kind::List:
        out += QStringLiteral("<ol class=\"sites\">");
        for (const QList<Cell>& item : block.rows) {
            out += QStringLiteral("<li>");
            for (const Cell& cell : item)
                appendRuns(out, cell.runs);
            out += QStringLiteral("</li>");
        }
        out += QStringLiteral("</ol>");
        return;
    }
}

qsizetype textSize(const CheckReportModel& model)
{
    qsizetype size = 0;
    for (const Section& s : model.sections)
        for (const Block& b : s.blocks)
            size += b.runs.size() * 24 + b.rows.size() * 120;
    return size;
}

}  // namespace

QString html(const CheckReportModel& model)
{
    QString out;
    out.reserve(4096 + textSize(model) * 2);
    out += QStringLiteral("<!DOCTYPE html>\n<html lang=\"zh-CN\"><head><meta charset=\"utf-8\">"
                          "<title>论文相似度检测报告</title><style>")
        + styleSheet() + QStringLiteral("</style></head><body>\n");
    for (qsizetype i = 0; i < model.sections.size(); ++i) {
        if (i > 0)
            out += u'\n';
        for (const Block& block : model.sections[i].blocks)
            appendBlock(out, block);
    }
    out += QStringLiteral("</body></html>\n");
    return out;
}

}  // namespace report
