#include "report/core/reportmodel.h"

#include "analysis/pieceresult.h"
#include "platform/core/numberformat.h"

#include <QUrl>

#include <algorithm>

namespace report {
namespace {

constexpr qsizetype kSourcesListed = 20;

// Only web addresses become links: a "javascript:" or "file:" address taken
// from a result page must not turn the report into something that runs or
// opens local files when clicked.
QString safeHref(const QString& url)
{
    const QUrl parsed(url.trimmed(), QUrl::TolerantMode);
    if (!parsed.isValid() || parsed.host().isEmpty())
        return {};
    const QString scheme = parsed.scheme().toLower();
    if (scheme != u"http" && scheme != u"https")
        return {};
    return parsed.toString(QUrl::FullyEncoded);
}

Run link(const QString& title, const QString& url)
{
    Run r = Run::of(title.isEmpty() ? QStringLiteral("（无标题）") : title);
    r.href = safeHref(url);
    return r;
}

Block heading(const QString& text)
{
    return {Block::Kind::Heading, Block::Style::Plain, {Run::of(text)}, {}, {}};
}

Block paragraph(QList<Run> runs, Block::Style style = Block::Style::Plain)
{
    return {Block::Kind::Paragraph, style, std::move(runs), {}, {}};
}

Block paragraph(const QString& text, Block::Style style = Block::Style::Plain)
{
    return paragraph(QList<Run>{Run::of(text)}, style);
}

Tone toneOf(const PieceRow& piece)
{
    if (!piece.checked)
        return Tone::Unchecked;
    const auto colour = similarityband::colourFor(piece.figure);
    if (!colour)
        return Tone::Plain;
    return *colour == similarityband::kHighColour ? Tone::High : Tone::Medium;
}

bool similar(const PieceRow& piece) { return piece.checked && similarityband::colourFor(piece.figure); }

QString count(qsizetype n) { return numfmt::format(qint64(n)); }

Section headSection(const Content& c, const QString& when)
{
    Block title{
        Block::Kind::Title, Block::Style::Plain, {Run::of(QStringLiteral("论文相似度检测报告"))}, {}, {}};
    return {{title,
             paragraph({Run::of(QStringLiteral("检测时间：") + when), Run::lineBreak(),
                        Run::of(QStringLiteral("搜索引擎：") + c.engine)})}};
}

Section summarySection(const Content& c)
{
    Section s{{heading(QStringLiteral("检测概况"))}};
    QString checked = QStringLiteral("已对比 ") + count(c.checkedCount) + QStringLiteral(" 句，");
    const qsizetype unchecked = c.pieceCount - c.checkedCount;
    if (unchecked == 0)
        checked += QStringLiteral("全部句子都已对比。");
    else
        checked += QStringLiteral("未对比 ") + count(unchecked)
            + QStringLiteral(" 句（尚未轮到，或搜索引擎要求安全验证而未能计分），未对比的句子不计入相似度。");
    s.blocks.append(paragraph(
        {Run::of(QStringLiteral("本文共 ") + count(c.characterCount)
                 + QStringLiteral(" 字，本次分析共分析出 ") + count(c.pieceCount) + QStringLiteral(" 句。")),
         Run::lineBreak(), Run::of(checked)}));

    s.blocks.append(paragraph(QStringLiteral("总体相似度：") + c.overall, Block::Style::Figure));
    QString rule = QStringLiteral("计算方法：已对比句子的相似度之和除以已对比的句数，每句只计一次，"
                                  "取其最后一次对比的结果，保留两位小数（逢五取偶）。");
    if (!c.label2Overall.isEmpty() && c.label2Overall != c.overall)
        rule += QStringLiteral("程序窗口中显示的总体相似度为 ") + c.label2Overall
            + QStringLiteral(
                    "，与此不同：手动再次对比同一句时，窗口把这一句的每次结果都计入，本报告每句只计一次。");
    s.blocks.append(paragraph(rule, Block::Style::Rule));
    s.blocks.append(
        paragraph(QStringLiteral("去除引用和参考文献后的相似度：") + c.overallWithout, Block::Style::Figure));
    QString without = QStringLiteral(
        "计算方法：参考文献表是从论文中最后一个单独成行的“参考文献”“参考资料”"
        "“References”或“Bibliography”（去掉行首行尾的空格，英文不分大小写）直到文末的部分；"
        "一句中若有一半或以上的字位于参考文献表中或引号（“…”或「…」）之内，这一句不计入。"
        "其余已对比句子的相似度之和除以这些句子的句数，保留两位小数（逢五取偶），与总体相似度的算法相同。");
    without += QStringLiteral("本次不计入 ") + count(c.excludedCount) + QStringLiteral(" 句。");
    if (!c.linesKnown)
        without += QStringLiteral("论文原文的分行未能读到，参考文献表未能识别，只去除了引号内的句子。");
    s.blocks.append(paragraph(without, Block::Style::Rule));
    return s;
}

Cell cell(const QString& text, bool number = false) { return {{Run::of(text)}, number}; }

Section sourcesSection(const Content& c)
{
    const QString medium = numfmt::format(similarityband::kMedium);
    Section s{{heading(QStringLiteral("相似来源")),
               paragraph(QStringLiteral("单篇最大相似比：") + c.largestShare, Block::Style::Figure)}};
    if (c.sources.isEmpty()) {
        s.blocks.append(paragraph(QStringLiteral("相似度 ") + medium
                                  + QStringLiteral("% 及以上的句子的结果中没有来源。")));
    } else {
        Block table{Block::Kind::Table,
                    Block::Style::Plain,
                    {},
                    {QStringLiteral("序号"), QStringLiteral("来源"), QStringLiteral("句数"),
                     QStringLiteral("字数"), QStringLiteral("占全文比例")},
                    {}};
        for (qsizetype i = 0; i < std::min(c.sources.size(), kSourcesListed); ++i) {
            const SourceRow& source = c.sources[i];
            table.rows.append({cell(QString::number(i + 1), true),
                               {{link(source.title, source.url)}},
                               cell(QString::number(source.pieces), true),
                               cell(count(source.characters), true),
                               cell(numfmt::format(source.share) + u'%', true)});
        }
        s.blocks.append(table);
    }
    s.blocks.append(paragraph(
        QStringLiteral("计算方法：相似度 ") + medium
            + QStringLiteral(
                "% 及以上的已对比句子的搜索结果中，标题相同的结果算作同一来源（与相似性网站统计的分组相同）。"
                "句数是结果中有这一来源的这些句子的句数，字数是这些句子的字数之和，占全文比例是这些字数除以"
                "全文字数，保留两位小数（逢五取偶）。按占全文比例从大到小列出前 ")
            + QString::number(kSourcesListed)
            + QStringLiteral(" 个来源，比例相同的按在论文中先出现的在前；单篇最大相似比是其中最大的比例。"),
        Block::Style::Rule));
    return s;
}

Section chaptersSection(const Content& c)
{
    Section s{{heading(QStringLiteral("各章节相似度"))}};
    if (!c.chapters) {
        s.blocks.append(paragraph(QStringLiteral("论文原文的分行未能读到，章节无法识别。")));
        return s;
    }
    if (c.chapters->isEmpty()) {
        s.blocks.append(paragraph(QStringLiteral("论文中没有可识别的章节标题。")));
        return s;
    }
    Block table{Block::Kind::Table,
                Block::Style::Plain,
                {},
                {QStringLiteral("章节"), QStringLiteral("字数"), QStringLiteral("句数"),
                 QStringLiteral("已对比"), QStringLiteral("相似度"),
                 numfmt::format(similarityband::kHigh) + QStringLiteral("% 及以上"),
                 numfmt::format(similarityband::kMedium) + QStringLiteral("% 及以上")},
                {}};
    for (const ChapterRow& row : *c.chapters)
        table.rows.append({cell(row.title), cell(count(row.characters), true),
                           cell(QString::number(row.pieces), true), cell(QString::number(row.checked), true),
                           cell(row.figure ? percent(*row.figure) : QStringLiteral("未对比"), true),
                           cell(QString::number(row.high), true), cell(QString::number(row.medium), true)});
    s.blocks.append(table);
    s.blocks.append(paragraph(
        QStringLiteral(
            "计算方法：章节按论文的标题行划分。标题行去掉首尾空格后不超过 40 字，"
            "不含“。”“，”“；”“：”，以“第…章”或不带小数点的编号（如“1 绪论”）开头，或是单独成行的“摘要”"
            "“Abstract”“参考文献”“致谢”“附录”；论文没有“第…章”时，“第…部分”也开始一章。第一个标题之前"
            "的部分为“前置部分”。一句从哪一章开始就算在哪一章。章节相似度是这一章已对比句子的相似度的平均值，"
            "每句只计一次，保留两位小数（逢五取偶）。"),
        Block::Style::Rule));
    return s;
}

Section paperSection(const Content& c)
{
    Run unchecked = Run::of(QStringLiteral("灰底"), Tone::Unchecked);
    Run excluded = Run::of(QStringLiteral("虚下划线"));
    excluded.excluded = true;
    Section s{{heading(QStringLiteral("论文全文")),
               paragraph({Run::of(QStringLiteral("红色"), Tone::High),
                          Run::of(QStringLiteral("：相似度 ") + numfmt::format(similarityband::kHigh)
                                  + QStringLiteral("% 及以上；")),
                          Run::of(QStringLiteral("橙色"), Tone::Medium),
                          Run::of(QStringLiteral("：相似度 ") + numfmt::format(similarityband::kMedium)
                                  + QStringLiteral("% 至 ") + numfmt::format(similarityband::kHigh)
                                  + QStringLiteral("%；黑色：低于 ") + numfmt::format(similarityband::kMedium)
                                  + QStringLiteral("%；")),
                          unchecked, Run::of(QStringLiteral("：未对比；")), excluded,
                          Run::of(QStringLiteral("：去除引用和参考文献时不计入。小字为句子编号。"))},
                         Block::Style::Rule)}};
    Block paper = paragraph(QList<Run>{}, Block::Style::Paper);
    paper.runs.reserve(c.pieces.size() * 2);
    for (const PieceRow& piece : c.pieces) {
        Run number;
        number.kind = Run::Kind::Number;
        number.text = QString::number(piece.number);
        paper.runs.append(number);
        Run text = Run::of(piece.text, toneOf(piece));
        text.excluded = piece.excluded;
        text.piece = true;
        paper.runs.append(std::move(text));
    }
    s.blocks.append(std::move(paper));
    return s;
}

// A piece's results as the report shows them: the same title with the same
// summary once, with how often the page listed it.
struct ShownResult {
    const ResultLink* result;
    int count;
    qsizetype highlighted;  // its highlighted characters
};

QList<ShownResult> shownResults(const QList<ResultLink>& results)
{
    QList<ShownResult> shown;
    for (const ResultLink& result : results) {
        const auto same = std::find_if(shown.begin(), shown.end(), [&](const ShownResult& s) {
            return s.result->title == result.title && s.result->summary == result.summary;
        });
        if (same != shown.end()) {
            ++same->count;
            continue;
        }
        qsizetype highlighted = 0;
        for (const TextStretch& h : result.highlighted)
            highlighted += h.length;
        shown.append({&result, 1, highlighted});
    }
    return shown;
}

QString hostOf(const QString& url) { return QUrl(url.trimmed(), QUrl::TolerantMode).host(); }

void appendResult(QList<Run>& runs, const ShownResult& shown, bool summariesKept, qsizetype longestRun)
{
    const ResultLink& result = *shown.result;
    runs.append(Run::lineBreak());
    runs.append(link(result.title, result.url));
    // Without a summary to read, a check of the first format keeps the whole address in view.
    if (!summariesKept && !result.url.isEmpty()) {
        runs.append(Run::of(QStringLiteral(" ")));
        Run address = Run::of(result.url);
        address.wrapsAddress = true;
        runs.append(address);
    } else if (const QString host = hostOf(result.url); !host.isEmpty()) {
        runs.append(Run::of(QStringLiteral(" ")));
        runs.append(Run::of(host, Tone::Host));
    }
    if (shown.count > 1)
        runs.append(
            Run::of(QStringLiteral("（相同结果 ") + QString::number(shown.count) + QStringLiteral(" 条）")));
    if (longestRun > 0)
        runs.append(
            Run::of(QStringLiteral(" 连续相同 ") + QString::number(longestRun) + QStringLiteral(" 字")));
    if (result.summary.isEmpty())
        return;
    runs.append(Run::lineBreak());
    // The summary, the stretches the page highlighted in red.
    const auto small = [&](const QString& text, Tone tone) {
        Run r = Run::of(text, tone);
        r.small = true;
        runs.append(r);
    };
    qsizetype at = 0;
    for (const TextStretch& h : result.highlighted) {
        small(result.summary.mid(at, h.start - at), Tone::Plain);
        small(result.summary.mid(h.start, h.length), Tone::Evidence);
        at = h.start + h.length;
    }
    small(result.summary.mid(at), Tone::Plain);
}

// The piece's text, the runs it shares with its results' summaries underlined.
void appendPieceText(QList<Run>& runs, const PieceRow& piece)
{
    const Tone tone = toneOf(piece);
    const auto append = [&](qsizetype from, qsizetype to, bool underline) {
        Run r = Run::of(piece.text.mid(from, to - from), tone);
        r.piece = true;
        r.underline = underline;
        runs.append(r);
    };
    if (piece.sharedRuns.empty()) {
        append(0, piece.text.size(), false);
        return;
    }
    qsizetype at = 0;
    for (const matching::Span& run : piece.sharedRuns) {
        const qsizetype start = std::clamp<qsizetype>(run.start - piece.textLead, at, piece.text.size());
        const qsizetype end = std::clamp<qsizetype>(run.end() - piece.textLead, start, piece.text.size());
        if (start > at)
            append(at, start, false);
        if (end > start)
            append(start, end, true);
        at = end;
    }
    if (at < piece.text.size())
        append(at, piece.text.size(), false);
}

// Paragraphs, not a table: a thousand-row table is several times slower to
// lay out and print. Under each piece, the results with the most highlighted
// characters; the rest counted.
Section similarSection(const Content& c)
{
    Section s{{heading(QStringLiteral("相似度 ") + numfmt::format(similarityband::kMedium)
                       + QStringLiteral("% 及以上的句子"))}};
    QList<Block> blocks;
    for (const PieceRow& piece : c.pieces) {
        if (!similar(piece))
            continue;
        QList<Run> runs{Run::of(QStringLiteral("第 ") + QString::number(piece.number)
                                + QStringLiteral(" 句，相似度：") + percent(piece.figure)),
                        Run::lineBreak()};
        appendPieceText(runs, piece);
        runs.append(Run::lineBreak());
        runs.append(Run::of(QStringLiteral("网上相似内容：")));
        if (piece.results.isEmpty())
            runs.append(Run::of(QStringLiteral("没有结果。")));
        QList<ShownResult> shown = shownResults(piece.results);
        std::stable_sort(shown.begin(), shown.end(), [](const ShownResult& a, const ShownResult& b) {
            return a.highlighted > b.highlighted;
        });
        qsizetype listed = 0;
        for (qsizetype i = 0; i < std::min(shown.size(), kResultsShown); ++i) {
            const qsizetype index = shown[i].result - piece.results.constData();
            appendResult(runs, shown[i], c.summariesKept, piece.longestRun.value(index));
            listed += shown[i].count;
        }
        if (listed < piece.results.size()) {
            runs.append(Run::lineBreak());
            runs.append(Run::of(QStringLiteral("另有 ") + QString::number(piece.results.size() - listed)
                                + QStringLiteral(" 条结果")));
        }
        blocks.append(paragraph(runs, Block::Style::Piece));
    }
    if (blocks.isEmpty()) {
        s.blocks.append(paragraph(QStringLiteral("没有相似度 ") + numfmt::format(similarityband::kMedium)
                                  + QStringLiteral("% 及以上的句子。")));
        return s;
    }
    if (!c.summariesKept)
        s.blocks.append(paragraph(QStringLiteral("这份检测记录由较早的版本保存，没有网上相似内容的摘要，"
                                                 "下面只列出各结果的标题和网址，也无法标出与网上内容相同、"
                                                 "需要改写的部分。"),
                                  Block::Style::Rule));
    else
        s.blocks.append(paragraph(QStringLiteral("下划线：与网上内容连续13字以上相同，需要改写的部分"),
                                  Block::Style::Rule));
    s.blocks.append(blocks);
    return s;
}

Section sitesSection(const Content& c)
{
    Section s{{heading(QStringLiteral("相似性网站分析结果"))}};
    if (c.sites.isEmpty()) {
        s.blocks.append(paragraph(QStringLiteral("没有可统计的结果标题。")));
        return s;
    }
    Block list{Block::Kind::List, Block::Style::Plain, {}, {}, {}};
    for (const SiteRow& site : c.sites)
        list.rows.append({Cell{{link(site.title, site.url),
                                Run::of(QStringLiteral("，出现次数：") + QString::number(site.count))},
                               false}});
    s.blocks.append(list);
    return s;
}

}  // namespace

CheckReportModel modelOf(const Content& c)
{
    CheckReportModel m;
    m.paperTitle = c.paperTitle;
    m.checkedAt = c.checkedAt.isValid()
        ? c.checkedAt.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
        : QStringLiteral("未知");
    m.sections = {headSection(c, m.checkedAt),
                  summarySection(c),
                  sourcesSection(c),
                  chaptersSection(c),
                  paperSection(c),
                  similarSection(c),
                  sitesSection(c),
                  {{paragraph(QStringLiteral("本报告由 Trovalis 生成。"), Block::Style::Rule)}}};
    return m;
}

CheckReportModel modelOf(const SavedCheck& check, QStringView paperText)
{
    return modelOf(contentOf(check, paperText));
}

}  // namespace report
