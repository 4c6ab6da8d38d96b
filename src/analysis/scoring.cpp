#include "analysis/scoring.h"

#include "analysis/resultlinks.h"
#include "platform/core/gbk.h"
#include "platform/core/numberformat.h"

#include <algorithm>
#include <array>

namespace scoring {
namespace {

constexpr QStringView kTitleLinkEnd = u"}\">";
constexpr std::array<QStringView, 4> kHeadingTags = {u"<H3 CLASS=\"T\">", u"</H3>", u"<h3 class=\"t\">",
                                                     u"</h3>"};
constexpr std::array<QStringView, 4> kEmphasisTags = {u"<EM>", u"<em>", u"</EM>", u"</em>"};

const QString kCrLfCrLf = QStringLiteral("\r\n\r\n");

template <std::size_t N> qsizetype matchedTagLength(QStringView text, const std::array<QStringView, N>& tags)
{
    for (const QStringView tag : tags)
        if (text.startsWith(tag))
            return tag.size();
    return 0;
}

bool containsEmphasisTag(QStringView text)
{
    return std::any_of(kEmphasisTags.begin(), kEmphasisTags.end(),
                       [&](QStringView tag) { return text.contains(tag); });
}

// Replaces heading tags by the marker, and (when `removeEmphasis`) drops
// emphasis tags, in one scan. Every tag starts with '<' and holds no other '<'
// or '>', so no two matches overlap and the marker cannot complete a new one.
QString scanTags(QStringView html, bool removeEmphasis)
{
    QString out;
    out.reserve(html.size());
    qsizetype copiedUpTo = 0;
    for (qsizetype lt = html.indexOf(u'<'); lt >= 0; lt = html.indexOf(u'<', lt + 1)) {
        const QStringView rest = html.sliced(lt);
        qsizetype length = matchedTagLength(rest, kHeadingTags);
        const bool heading = length > 0;
        if (!heading && removeEmphasis)
            length = matchedTagLength(rest, kEmphasisTags);
        if (length == 0)
            continue;
        out += html.sliced(copiedUpTo, lt - copiedUpTo);
        if (heading)
            out += kBlockMarker;
        copiedUpTo = lt + length;
        lt = copiedUpTo - 1;
    }
    out += html.sliced(copiedUpTo);
    return out;
}

// Sum of the stretches after each `open` tag up to the next `close` (or the next
// `open`), counting only those longer than 7. The next `close` is remembered so
// that a page full of unclosed tags stays linear.
qsizetype sumHighlights(QStringView html, QStringView open, QStringView close, bool& found)
{
    qsizetype total = 0;
    qsizetype closeAt = -2;  // unknown yet
    qsizetype openAt = html.indexOf(open);
    found = openAt >= 0;
    while (openAt >= 0) {
        const qsizetype start = openAt + open.size();
        const qsizetype nextOpen = html.indexOf(open, start);
        const qsizetype partEnd = nextOpen >= 0 ? nextOpen : html.size();
        if (closeAt != -1 && closeAt < start)
            closeAt = html.indexOf(close, start);
        const qsizetype stretchEnd = (closeAt >= 0 && closeAt < partEnd) ? closeAt : partEnd;
        if (stretchEnd - start >= kMinHighlightLength)
            total += stretchEnd - start;
        openAt = nextOpen;
    }
    return total;
}

QString percentLine(const QString& caption, double percent)
{
    return caption + (percent > 100 ? QStringLiteral("100") : numfmt::format(percent)) + u'%';
}

QString similarityLabel(double sentencePercent, double overallPercent)
{
    return percentLine(QStringLiteral("本句相似度："), sentencePercent) + kCrLfCrLf
        + percentLine(QStringLiteral("目前总体相似度："), overallPercent);
}

double overallOf(const ComparisonSession& session, qint32 divisor)
{
    // Retries take back pages that were never counted, so the divisor could
    // reach 0; no page has been scored then, and the figure stays finite.
    return numfmt::roundHalfEven(session.similaritySum / std::max<qint32>(divisor, 1), 2);
}

// Adds the page's similarity to the sum and returns the text of Label2;
// `figure` receives the piece's uncapped 100 * S. A piece scored again in
// place of its earlier figure divides by the pages already counted.
QString scoreSentence(ComparisonSession& session, qsizetype sentenceIndex, double& figure, bool replacing)
{
    figure = 0;
    const qint32 divisor = replacing ? session.pageCount - 1 : session.pageCount;
    if (session.pageText.size() < kMinPageDoubleBytes)
        return similarityLabel(0, overallOf(session, divisor));
    const qsizetype length = session.sentences.at(sentenceIndex).size();
    // An empty piece (two "|@|" in a row) has nothing that could be similar.
    const double s = length > 0
        ? numfmt::roundHalfEven(double(highlightedLength(session.pageHtml)) / (10.0 * length), 2)
        : 0.0;
    figure = 100 * s;
    session.similaritySum += figure;
    return similarityLabel(figure, overallOf(session, divisor));
}

// A piece sent again on its own gives up its earlier figure and results.
bool takeBackEarlierScore(ComparisonSession& session, qsizetype s)
{
    // Another piece's page (one that was on its way) leaves the request standing.
    if (session.recheckPiece != s)
        return false;
    session.recheckPiece.reset();
    if (s >= session.pieces.size() || !session.pieces[s].checked)
        return false;
    session.similaritySum = std::max(0.0, session.similaritySum - session.pieces[s].figure);
    for (qsizetype slot = kResultsPerPage * s; slot < kResultsPerPage * (s + 1); ++slot) {
        if (slot < session.resultBlocks.size())
            session.resultBlocks[slot].clear();
        if (slot < session.resultTitles.size())
            session.resultTitles[slot].clear();
    }
    return true;
}

// Stores the first ten result headings of the page in the sentence's slots;
// returns how many there were.
int storeResults(ComparisonSession& session, qsizetype sentenceIndex)
{
    const QStringView marked = session.pageMarked;
    const qsizetype firstSlot = kResultsPerPage * sentenceIndex;
    const qsizetype markerSize = kBlockMarker.size();
    qsizetype from = 0;
    int k = 0;
    for (; k < kResultsPerPage; ++k) {
        const qsizetype open = marked.indexOf(kBlockMarker, from);
        if (open < 0)
            return k;
        const qsizetype start = open + markerSize;
        qsizetype close = marked.indexOf(kBlockMarker, start);
        const qsizetype end = close >= 0 ? close : marked.size();
        const qsizetype slot = firstSlot + k;
        if (slot < session.resultBlocks.size() && slot < session.resultTitles.size()) {
            const QStringView block = marked.sliced(start, end - start);
            session.resultBlocks[slot] = block.toString();
            session.resultTitles[slot] = blockTitle(block);
        }
        if (close < 0)
            return k + 1;
        from = close + markerSize;
    }
    return k;
}

}  // namespace

QString doubleByteText(QStringView html)
{
    QString text;
    text.reserve(gbk::doubleByteCount(html));
    for (const QChar qc : html) {
        const char16_t c = qc.unicode();
        if (c == u'\u3000' || !gbk::isDoubleByte(c))
            continue;
        text += (c >= 0xFF01 && c <= 0xFF5E) ? QChar(c - 0xFEE0) : qc;
    }
    return text;
}

qsizetype highlightedLength(QStringView html)
{
    bool found = false;
    const qsizetype upper = sumHighlights(html, u"<EM>", u"</EM>", found);
    if (found)
        return upper;
    return sumHighlights(html, u"<em>", u"</em>", found);
}

QString markBlocks(QStringView html)
{
    QString marked = scanTags(html, true);
    if (!containsEmphasisTag(marked))
        return marked;
    // Removing a tag joined the text around it into another emphasis tag; the
    // tags are then removed kind by kind, each kind over the previous result.
    marked = scanTags(html, false);
    for (const QStringView tag : kEmphasisTags)
        marked.remove(tag.toString());
    return marked;
}

QString blockTitle(QStringView block)
{
    const qsizetype linkEnd = block.indexOf(kTitleLinkEnd);
    if (linkEnd < 0)
        return {};
    const qsizetype start = linkEnd + kTitleLinkEnd.size();
    qsizetype end = block.indexOf(u"</a", start);
    const qsizetype secondLinkEnd = block.indexOf(kTitleLinkEnd, start);
    if (end < 0 || (secondLinkEnd >= 0 && secondLinkEnd < end))
        end = secondLinkEnd;
    if (end < 0)
        end = block.size();
    return block.sliced(start, end - start).toString();
}

double overallSimilarity(const ComparisonSession& session) { return overallOf(session, session.pageCount); }

QString progressText(const ComparisonSession& session)
{
    return QStringLiteral("现在正在对比第 ") + numfmt::format(qint64(session.nextIndex))
        + QStringLiteral(" 句！共 ") + numfmt::format(qint64(session.sentences.size()))
        + QStringLiteral(" 句。");
}

std::optional<Labels> pageArrived(ComparisonSession& session, const QString& bodyHtml,
                                  const QString& bodyText)
{
    if (bodyText == session.lastPageText)
        return std::nullopt;
    Labels labels;
    session.pageHtml = bodyHtml;
    session.pageText = doubleByteText(bodyHtml);
    if (!bodyHtml.isEmpty()) {
        session.pageMarked = markBlocks(bodyHtml);
        // A page that arrives before any query (the statistics page, say) has
        // no sentence to be scored against.
        const qsizetype s = qsizetype(session.nextIndex) - 1;
        if (s >= 0 && s < session.sentences.size()) {
            double figure = 0;
            const bool replacing = takeBackEarlierScore(session, s);
            labels.label2 = scoreSentence(session, s, figure, replacing);
            labels.storedResults = storeResults(session, s);
            if (s < session.pieces.size())
                session.pieces[s] = PieceResult{true, figure, resultlinks::read(bodyHtml)};
            // Scored again in place of its earlier figure: still one page.
            if (!replacing)
                ++session.pageCount;
            session.pageCounted = !replacing;
        }
    }
    labels.label1 = progressText(session);
    session.lastPageText = bodyText;
    return labels;
}

}  // namespace scoring
