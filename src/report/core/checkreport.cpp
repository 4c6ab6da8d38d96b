#include "report/core/checkreport.h"

#include "analysis/chapters.h"
#include "analysis/comparisonsession.h"
#include "analysis/exclusions.h"
#include "analysis/segmentation.h"
#include "analysis/sitestats.h"
#include "platform/core/gbk.h"
#include "platform/core/numberformat.h"
#include "report/core/evidence.h"

#include <QHash>
#include <QSet>
#include <QUrl>

namespace report {
namespace {

const QString kOverallCaption = QStringLiteral("目前总体相似度：");
constexpr qsizetype kSourcesListed = 20;

QString escaped(const QString& text) { return text.toHtmlEscaped(); }

QString cssColour(quint32 rgb) { return QStringLiteral("#%1").arg(rgb, 6, 16, QLatin1Char('0')); }

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

// A long address as text, with a line break allowed every 30 characters:
// cheaper for the engine to lay out than a wrapping rule (measured on the PDF
// of a 1,200-piece check: 2 to 3 s less), and nothing added to copied text.
QString breakable(const QString& url)
{
    QString out;
    for (qsizetype at = 0; at < url.size(); at += 30)
        out += (at > 0 ? QStringLiteral("<wbr>") : QString()) + escaped(url.mid(at, 30));
    return out;
}

QString link(const ResultLink& result)
{
    const QString title = result.title.isEmpty() ? QStringLiteral("（无标题）") : result.title;
    const QString href = safeHref(result.url);
    if (href.isEmpty())
        return escaped(title);
    return QStringLiteral("<a href=\"") + escaped(href) + QStringLiteral("\">") + escaped(title)
        + QStringLiteral("</a>");
}

// The ranking the statistics button makes, each title once with its count.
// The button's own table shows every other slot (a title of count c fills c
// neighbouring slots); the report lists every title instead.
QList<SiteRow> siteRanking(const SavedCheck& check, const QList<PieceRow>& pieces)
{
    ComparisonSession ranked;
    ranked.resultTitles = check.resultTitles;
    ranked.resultBlocks = check.resultBlocks;
    ranked.resultBlocks.resize(ranked.resultTitles.size());
    ranked.resultSites.resize(ranked.resultTitles.size());
    sitestats::rebuild(ranked);

    QHash<QString, QString> urls;
    for (const PieceRow& piece : pieces)
        for (const ResultLink& result : piece.results)
            if (!result.url.isEmpty() && !urls.contains(result.title))
                urls.insert(result.title, result.url);

    QList<SiteRow> rows;
    QSet<QString> seen;
    for (qsizetype i = 0; i < ranked.resultTitles.size(); ++i) {
        const QString& title = ranked.resultTitles[i];
        if (title.isEmpty() || !ranked.resultSites[i] || seen.contains(title))
            continue;
        seen.insert(title);
        rows.append({title, urls.value(title), *ranked.resultSites[i]});
    }
    return rows;
}

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

QString bandClass(const PieceRow& piece)
{
    if (!piece.checked)
        return QStringLiteral("u");
    const auto colour = similarityband::colourFor(piece.figure);
    if (!colour)
        return {};
    return *colour == similarityband::kHighColour ? QStringLiteral("h") : QStringLiteral("m");
}

QString summarySection(const Content& c)
{
    QString out = QStringLiteral("<h2>检测概况</h2><p>");
    out += QStringLiteral("本文共 ") + numfmt::format(qint64(c.characterCount))
        + QStringLiteral(" 字，本次分析共分析出 ") + numfmt::format(qint64(c.pieceCount))
        + QStringLiteral(" 句。<br>");
    const qsizetype unchecked = c.pieceCount - c.checkedCount;
    out += QStringLiteral("已对比 ") + numfmt::format(qint64(c.checkedCount)) + QStringLiteral(" 句，");
    if (unchecked == 0)
        out += QStringLiteral("全部句子都已对比。");
    else
        out += QStringLiteral("未对比 ") + numfmt::format(qint64(unchecked))
            + QStringLiteral(" 句（尚未轮到，或搜索引擎要求安全验证而未能计分），未对比的句子不计入相似度。");
    out += QStringLiteral("</p>");

    out += QStringLiteral("<p class=\"figure\">总体相似度：") + escaped(c.overall) + QStringLiteral("</p>");
    out += QStringLiteral("<p class=\"rule\">计算方法：已对比句子的相似度之和除以已对比的句数，每句只计一次，"
                          "取其最后一次对比的结果，保留两位小数（逢五取偶）。");
    if (!c.label2Overall.isEmpty() && c.label2Overall != c.overall)
        out += QStringLiteral("程序窗口中显示的总体相似度为 ") + escaped(c.label2Overall)
            + QStringLiteral(
                   "，与此不同：手动再次对比同一句时，窗口把这一句的每次结果都计入，本报告每句只计一次。");
    out += QStringLiteral("</p>");
    out += QStringLiteral("<p class=\"figure\">去除引用和参考文献后的相似度：") + escaped(c.overallWithout)
        + QStringLiteral("</p>");
    out += QStringLiteral(
        "<p class=\"rule\">计算方法：参考文献表是从论文中最后一个单独成行的“参考文献”“参考资料”"
        "“References”或“Bibliography”（去掉行首行尾的空格，英文不分大小写）直到文末的部分；"
        "一句中若有一半或以上的字位于参考文献表中或引号（“…”或「…」）之内，这一句不计入。"
        "其余已对比句子的相似度之和除以这些句子的句数，保留两位小数（逢五取偶），与总体相似度的算法相同。");
    out += QStringLiteral("本次不计入 ") + numfmt::format(qint64(c.excludedCount)) + QStringLiteral(" 句。");
    if (!c.linesKnown)
        out += QStringLiteral("论文原文的分行未能读到，参考文献表未能识别，只去除了引号内的句子。");
    out += QStringLiteral("</p>");
    return out;
}

QString paperSection(const Content& c)
{
    QString out = QStringLiteral("<h2>论文全文</h2><p class=\"rule\">")
        + QStringLiteral("<span class=\"h\">红色</span>：相似度 ") + numfmt::format(similarityband::kHigh)
        + QStringLiteral("% 及以上；<span class=\"m\">橙色</span>：相似度 ")
        + numfmt::format(similarityband::kMedium) + QStringLiteral("% 至 ")
        + numfmt::format(similarityband::kHigh) + QStringLiteral("%；黑色：低于 ")
        + numfmt::format(similarityband::kMedium)
        + QStringLiteral("%；<span class=\"u\">灰底</span>：未对比；<span class=\"x\">虚下划线</span>："
                         "去除引用和参考文献时不计入。小字为句子编号。</p><p class=\"paper\">");
    out.reserve(out.size() + c.pieces.size() * 120);
    for (const PieceRow& piece : c.pieces) {
        QString classes = bandClass(piece);
        if (piece.excluded)
            classes += classes.isEmpty() ? QStringLiteral("x") : QStringLiteral(" x");
        out += QStringLiteral("<sup>") + QString::number(piece.number) + QStringLiteral("</sup>");
        out += classes.isEmpty() ? QStringLiteral("<span>")
                                 : QStringLiteral("<span class=\"") + classes + QStringLiteral("\">");
        out += escaped(piece.text) + QStringLiteral("</span>");
    }
    out += QStringLiteral("</p>");
    return out;
}

// A piece's results as the report shows them: the same title with the same
// summary once, with how often the page listed it.
struct ShownResult {
    const ResultLink* result;
    int count;
};

QList<ShownResult> shownResults(const QList<ResultLink>& results)
{
    QList<ShownResult> shown;
    for (const ResultLink& result : results) {
        const auto same = std::find_if(shown.begin(), shown.end(), [&](const ShownResult& s) {
            return s.result->title == result.title && s.result->summary == result.summary;
        });
        if (same != shown.end())
            ++same->count;
        else
            shown.append({&result, 1});
    }
    return shown;
}

QString hostOf(const QString& url) { return QUrl(url.trimmed(), QUrl::TolerantMode).host(); }

// The summary with the page's highlighted stretches in red.
QString markedSummary(const ResultLink& result)
{
    QString out;
    qsizetype at = 0;
    for (const TextStretch& h : result.highlighted) {
        out += escaped(result.summary.mid(at, h.start - at)) + QStringLiteral("<span class=\"e\">")
            + escaped(result.summary.mid(h.start, h.length)) + QStringLiteral("</span>");
        at = h.start + h.length;
    }
    return out + escaped(result.summary.mid(at));
}

QString resultBlock(const ShownResult& shown, bool summariesKept)
{
    const ResultLink& result = *shown.result;
    QString out = QStringLiteral("<br>") + link(result);
    // Without a summary to read, a check of the first format keeps the whole address in view.
    if (!summariesKept && !result.url.isEmpty())
        out += u' ' + breakable(result.url);
    else if (const QString host = hostOf(result.url); !host.isEmpty())
        out += QStringLiteral(" <span class=\"ho\">") + escaped(host) + QStringLiteral("</span>");
    if (shown.count > 1)
        out += QStringLiteral("（相同结果 ") + QString::number(shown.count) + QStringLiteral(" 条）");
    if (!result.summary.isEmpty())
        out += QStringLiteral("<br><span class=\"sm\">") + markedSummary(result) + QStringLiteral("</span>");
    return out;
}

// Blocks, not a table: the engine paginates a table of a thousand rows
// several times slower when it prints (measured: 32 s against 11 s for the
// PDF of a 1,200-piece check).
QString similarSection(const Content& c)
{
    QString out = QStringLiteral("<h2>相似度 ") + numfmt::format(similarityband::kMedium)
        + QStringLiteral("% 及以上的句子</h2>");
    QString blocks;
    for (const PieceRow& piece : c.pieces) {
        if (!piece.checked || !similarityband::colourFor(piece.figure))
            continue;
        blocks += QStringLiteral("<p class=\"pc\">第 ") + QString::number(piece.number)
            + QStringLiteral(" 句，相似度：") + percent(piece.figure) + QStringLiteral("<br><span class=\"")
            + bandClass(piece) + QStringLiteral("\">") + escaped(piece.text) + QStringLiteral("</span>");
        blocks += QStringLiteral("<br>网上相似内容：");
        if (piece.results.isEmpty())
            blocks += QStringLiteral("没有结果。");
        for (const ShownResult& shown : shownResults(piece.results))
            blocks += resultBlock(shown, c.summariesKept);
        blocks += QStringLiteral("</p>");
    }
    if (blocks.isEmpty())
        return out + QStringLiteral("<p>没有相似度 ") + numfmt::format(similarityband::kMedium)
            + QStringLiteral("% 及以上的句子。</p>");
    if (!c.summariesKept)
        out += QStringLiteral("<p class=\"rule\">这份检测记录由较早的版本保存，没有网上相似内容的摘要，"
                              "下面只列出各结果的标题和网址。</p>");
    return out + blocks;
}

QString sitesSection(const Content& c)
{
    QString out = QStringLiteral("<h2>相似性网站分析结果</h2>");
    if (c.sites.isEmpty())
        return out + QStringLiteral("<p>没有可统计的结果标题。</p>");
    out += QStringLiteral("<ol class=\"sites\">");
    for (const SiteRow& site : c.sites)
        out += QStringLiteral("<li>") + link({site.title, site.url}) + QStringLiteral("，出现次数：")
            + QString::number(site.count) + QStringLiteral("</li>");
    return out + QStringLiteral("</ol>");
}

QString cell(const QString& text, bool number = false)
{
    return (number ? QStringLiteral("<td class=\"n\">") : QStringLiteral("<td>")) + text
        + QStringLiteral("</td>");
}

QString sourcesSection(const Content& c)
{
    const QString medium = numfmt::format(similarityband::kMedium);
    QString out = QStringLiteral("<h2>相似来源</h2><p class=\"figure\">单篇最大相似比：")
        + escaped(c.largestShare) + QStringLiteral("</p>");
    if (c.sources.isEmpty()) {
        out += QStringLiteral("<p>相似度 ") + medium + QStringLiteral("% 及以上的句子的结果中没有来源。</p>");
    } else {
        out += QStringLiteral("<table class=\"t\"><tr><th>序号</th><th>来源</th><th>句数</th><th>字数</th>"
                              "<th>占全文比例</th></tr>");
        for (qsizetype i = 0; i < std::min(c.sources.size(), kSourcesListed); ++i) {
            const SourceRow& source = c.sources[i];
            out += QStringLiteral("<tr>") + cell(QString::number(i + 1), true)
                + cell(link({source.title, source.url})) + cell(QString::number(source.pieces), true)
                + cell(numfmt::format(qint64(source.characters)), true)
                + cell(numfmt::format(source.share) + u'%', true) + QStringLiteral("</tr>");
        }
        out += QStringLiteral("</table>");
    }
    return out + QStringLiteral("<p class=\"rule\">计算方法：相似度 ") + medium
        + QStringLiteral(
               "% 及以上的已对比句子的搜索结果中，标题相同的结果算作同一来源（与相似性网站统计的分组相同）。"
               "句数是结果中有这一来源的这些句子的句数，字数是这些句子的字数之和，占全文比例是这些字数除以"
               "全文字数，保留两位小数（逢五取偶）。按占全文比例从大到小列出前 ")
        + QString::number(kSourcesListed)
        + QStringLiteral(" 个来源，比例相同的按在论文中先出现的在前；单篇最大相似比是其中最大的比例。</p>");
}

QString chapterRowHtml(const ChapterRow& row)
{
    return QStringLiteral("<tr>") + cell(escaped(row.title))
        + cell(numfmt::format(qint64(row.characters)), true) + cell(QString::number(row.pieces), true)
        + cell(QString::number(row.checked), true)
        + cell(row.figure ? percent(*row.figure) : QStringLiteral("未对比"), true)
        + cell(QString::number(row.high), true) + cell(QString::number(row.medium), true)
        + QStringLiteral("</tr>");
}

QString chaptersSection(const Content& c)
{
    QString out = QStringLiteral("<h2>各章节相似度</h2>");
    if (!c.chapters)
        return out + QStringLiteral("<p>论文原文的分行未能读到，章节无法识别。</p>");
    if (c.chapters->isEmpty())
        return out + QStringLiteral("<p>论文中没有可识别的章节标题。</p>");
    out += QStringLiteral("<table class=\"t\"><tr><th>章节</th><th>字数</th><th>句数</th><th>已对比</th>"
                          "<th>相似度</th><th>")
        + numfmt::format(similarityband::kHigh) + QStringLiteral("% 及以上</th><th>")
        + numfmt::format(similarityband::kMedium) + QStringLiteral("% 及以上</th></tr>");
    for (const ChapterRow& row : *c.chapters)
        out += chapterRowHtml(row);
    return out
        + QStringLiteral(
               "</table><p class=\"rule\">计算方法：章节按论文的标题行划分。标题行去掉首尾空格后不超过 40 "
               "字，"
               "不含“。”“，”“；”“：”，以“第…章”或不带小数点的编号（如“1 绪论”）开头，或是单独成行的“摘要”"
               "“Abstract”“参考文献”“致谢”“附录”；论文没有“第…章”时，“第…部分”也开始一章。第一个标题之前"
               "的部分为“前置部分”。一句从哪一章开始就算在哪一章。章节相似度是这一章已对比句子的相似度的平均"
               "值，"
               "每句只计一次，保留两位小数（逢五取偶）。</p>");
}

// A field of a figure line: no tab or line break inside it.
QString field(QString text)
{
    for (QChar& ch : text)
        if (ch == u'\t' || ch == u'\r' || ch == u'\n')
            ch = u' ';
    return text;
}

QString withoutPercent(const QString& figure) { return figure.endsWith(u'%') ? figure.chopped(1) : figure; }

}  // namespace

QString engineCaption(const QString& engine)
{
    if (engine == u"wenku")
        return QStringLiteral("百度文库");
    if (engine == u"zhiwang")
        return QStringLiteral("中国知网");
    if (engine == u"longyuan")
        return QStringLiteral("龙源期刊");
    return QStringLiteral("百度引擎");
}

QString percent(double figure)
{
    return (figure > 100 ? QStringLiteral("100") : numfmt::format(figure)) + u'%';
}

QString overallInLabel2(const SavedCheck& check)
{
    const qsizetype at = check.label2.lastIndexOf(kOverallCaption);
    if (at < 0)
        return {};
    QString shown = check.label2.mid(at + kOverallCaption.size());
    const qsizetype lineEnd = shown.indexOf(u'\r');
    if (lineEnd >= 0)
        shown.truncate(lineEnd);
    return shown;
}

Content contentOf(const SavedCheck& check, QStringView paperText)
{
    Content c;
    c.checkedAt = check.savedAt;
    c.engine = engineCaption(check.engine);
    c.characterCount = gbk::doubleByteCount(check.analysedText);
    c.pieceCount = check.sentences.size();
    c.linesKnown = !paperText.isEmpty() && segmentation::normalise(paperText) == check.analysedText;

    const QList<bool> excluded = exclusions::excludedPieces(paperText, check.analysedText, check.sentences);
    const QList<qsizetype> starts = exclusions::pieceStarts(check.analysedText, check.sentences);
    c.pieces.reserve(check.sentences.size());
    for (qsizetype i = 0; i < check.sentences.size(); ++i) {
        PieceRow row;
        row.number = int(i + 1);
        row.text = check.sentences[i].trimmed();
        const PieceResult piece = check.pieces.value(i);
        row.checked = piece.checked;
        row.figure = piece.figure;
        row.results = piece.results;
        row.excluded = excluded.value(i, false);
        row.start = starts.value(i, -1);
        row.characters = gbk::doubleByteCount(check.sentences[i]);
        if (row.checked) {
            ++c.checkedCount;
            if (row.excluded)
                ++c.excludedCount;
        }
        c.pieces.append(std::move(row));
    }
    c.overall = percent(exclusions::figureWithout(check.pieces, {}));
    c.label2Overall = overallInLabel2(check);
    c.overallWithout = percent(exclusions::figureWithout(check.pieces, excluded));
    c.sites = siteRanking(check, c.pieces);
    c.summariesKept = check.summariesKept;
    c.sources = sourcesOf(c.pieces, c.characterCount);
    c.largestShare = numfmt::format(c.sources.isEmpty() ? 0.0 : c.sources.front().share) + u'%';
    if (const auto found = chapters::find(paperText, check.analysedText))
        c.chapters = chapterRowsOf(*found, c.pieces, check.analysedText);
    return c;
}

QString html(const Content& c)
{
    QString out;
    out.reserve(4096 + c.pieces.size() * 400);
    out += QStringLiteral("<!DOCTYPE html>\n<html lang=\"zh-CN\"><head><meta charset=\"utf-8\">"
                          "<title>论文相似度检测报告</title><style>")
        + styleSheet() + QStringLiteral("</style></head><body>\n<h1>论文相似度检测报告</h1><p>检测时间：");
    out += c.checkedAt.isValid() ? c.checkedAt.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                                 : QStringLiteral("未知");
    out += QStringLiteral("<br>搜索引擎：") + escaped(c.engine) + QStringLiteral("</p>\n");
    out += summarySection(c) + u'\n';
    // Where the figure comes from and where in the paper, before the paper itself.
    out += sourcesSection(c) + u'\n';
    out += chaptersSection(c) + u'\n';
    out += paperSection(c) + u'\n';
    out += similarSection(c) + u'\n';
    out += sitesSection(c) + u'\n';
    out += QStringLiteral("<p class=\"rule\">本报告由 Trovalis 生成。</p></body></html>\n");
    return out;
}

QStringList figureLines(const Content& c)
{
    QStringList lines{QStringLiteral("overall\t") + withoutPercent(c.overall),
                      QStringLiteral("without\t") + withoutPercent(c.overallWithout),
                      QStringLiteral("label2\t") + withoutPercent(c.label2Overall),
                      QStringLiteral("largest\t") + withoutPercent(c.largestShare)};
    for (const SourceRow& s : c.sources)
        lines.append(QStringList{QStringLiteral("source"), field(s.title), QString::number(s.pieces),
                                 numfmt::format(qint64(s.characters)), numfmt::format(s.share)}
                         .join(u'\t'));
    for (const ChapterRow& r : c.chapters.value_or(QList<ChapterRow>()))
        lines.append(QStringList{QStringLiteral("chapter"), field(r.title),
                                 numfmt::format(qint64(r.characters)), QString::number(r.pieces),
                                 QString::number(r.checked),
                                 r.figure ? withoutPercent(percent(*r.figure)) : QString()}
                         .join(u'\t'));
    return lines;
}

QByteArray htmlBytes(const SavedCheck& check, QStringView paperText)
{
    return html(contentOf(check, paperText)).toUtf8();
}

}  // namespace report
