// A result page from the search service, as the browser hands it over: scoring,
// title extraction, the site statistics and the sanitised table built from the
// stored blocks. The pasted table must never carry active content.
#include "analysis/blocksanitizer.h"
#include "analysis/resultlinks.h"
#include "analysis/resultsummary.h"
#include "analysis/scoring.h"
#include "analysis/segmentation.h"
#include "analysis/sitestats.h"
#include "analysis/verification.h"
#include "fuzzsupport.h"

#include <QRegularExpression>

namespace {

ComparisonSession sessionWithSentences()
{
    ComparisonSession session;
    segmentation::resetSession(
        session,
        segmentation::analyse(
            QStringLiteral("这是第一句话，用来检验得分的计算是否可靠。第二句话也在这里，内容完全不同。")));
    session.nextIndex = 1;
    return session;
}

// Character references decoded the way a browser reads an attribute value
// (the few named ones that can hide a scheme, and every numeric one).
QString decodedValue(const QString& value)
{
    static const QRegularExpression reference(
        QStringLiteral("&(?:#([xX][0-9a-fA-F]+|[0-9]+);?|(colon|tab|newline);)"),
        QRegularExpression::CaseInsensitiveOption);
    QString out;
    qsizetype last = 0;
    auto it = reference.globalMatch(value);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        out += value.mid(last, m.capturedStart() - last);
        last = m.capturedEnd();
        const QString number = m.captured(1);
        const QString name = m.captured(2).toLower();
        bool ok = false;
        const uint code = number.isEmpty()                 ? 0
            : number.startsWith(u'x', Qt::CaseInsensitive) ? number.mid(1).toUInt(&ok, 16)
                                                           : number.toUInt(&ok, 10);
        if (!number.isEmpty())
            out += ok && code > 0 && code < 0x10000 ? QChar(char16_t(code)) : QChar(u'\uFFFD');
        else
            out += name == u"colon" ? u':' : name == u"tab" ? u'\t' : u'\n';
    }
    return out + value.mid(last);
}

// Every '<' of the sanitised markup opens a clean tag: a harmless element,
// well-formed attributes, no event handler, no script-carrying scheme.
void checkInert(const QString& html)
{
    static const QRegularExpression tag(
        QStringLiteral("\\G<(/?)([A-Za-z][A-Za-z0-9:._-]*)((?:\\s+[^\\s\"'=<>/"
                       "]+(?:=\"[^\"]*\"|=[^\\s\"'=<>`]+)?)*)\\s*/?>"));
    static const QRegularExpression attribute(
        QStringLiteral("\\s+([^\\s\"'=<>/]+)(?:=\"([^\"]*)\"|=([^\\s\"'=<>`]+))?"));
    static const QRegularExpression dropped(
        QStringLiteral("^(script|style|iframe|object|embed|applet|frame|frameset|base|meta|link|svg|math|"
                       "template|noscript)$"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression blanks(QStringLiteral("[\\x00-\\x20]"));
    static const QRegularExpression scheme(QStringLiteral("^(javascript|vbscript|data):"),
                                           QRegularExpression::CaseInsensitiveOption);
    for (qsizetype at = html.indexOf(u'<'); at >= 0;) {
        const QRegularExpressionMatch m = tag.match(html, at);
        if (!m.hasMatch())
            std::fprintf(stderr, "at: %s\n", qPrintable(html.mid(at, 120)));
        fuzz::check(m.hasMatch(), "every '<' opens a clean tag");
        at = html.indexOf(u'<', m.capturedEnd());  // a '<' inside a quoted value is text
        fuzz::check(!dropped.match(m.captured(2)).hasMatch(), "no active element");
        auto attributes = attribute.globalMatch(m.captured(3));
        while (attributes.hasNext()) {
            const QRegularExpressionMatch a = attributes.next();
            fuzz::check(!a.captured(1).startsWith(QLatin1String("on"), Qt::CaseInsensitive),
                        "no event handler");
            QString value = decodedValue(a.captured(2) + a.captured(3));
            value.remove(blanks);
            fuzz::check(!value.contains(scheme), "no script-carrying scheme");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString html = QString::fromUtf8(fuzz::bytes(data, size));
    ComparisonSession session = sessionWithSentences();
    const auto labels = scoring::pageArrived(session, html, html + QStringLiteral("."));
    fuzz::check(labels.has_value(), "a new page is scored");
    fuzz::check(labels->storedResults <= scoring::kResultsPerPage, "at most ten results kept");
    const double overall = scoring::overallSimilarity(session);
    fuzz::check(overall >= 0, "similarity is not negative");

    const int titled = sitestats::rebuild(session);
    fuzz::check(titled <= labels->storedResults, "statistics count only stored titles");
    for (const sitestats::Row& row : sitestats::shownRows(session, 1000))
        checkInert(sitestats::tableRow(row));
    checkInert(sanitizeBlock(html));

    // The piece's own results, read from the headings as the page writes them.
    const PieceResult& piece = session.pieces.value(0);
    fuzz::check(piece.checked, "the scored piece is checked");
    fuzz::check(piece.results.size() <= resultlinks::kMaxResults, "at most ten results per piece");
    fuzz::check(piece.results == resultlinks::read(html), "the piece keeps what the page lists");
    for (const ResultLink& r : piece.results) {
        fuzz::check(r.title == r.title.simplified(), "titles carry no stray spacing");
        fuzz::check(r.summary.size() <= resultsummary::kMaxLength, "a summary is at most 300 characters");
        fuzz::check(r.summary == r.summary.simplified(), "summaries carry no stray spacing");
        qsizetype end = 0;
        for (const TextStretch& h : r.highlighted) {
            fuzz::check(h.start >= end && h.length > 0 && h.start + h.length <= r.summary.size(),
                        "highlights lie in the summary, in order, apart");
            end = h.start + h.length;
        }
    }
    // Telling a verification page needs its title and text; neither may fail.
    const verification::PageParts parts = verification::partsOf(html);
    fuzz::check(parts.text.size() <= html.size() * 2, "the text is no longer than the page");
    verification::isVerificationPage(QUrl(QStringLiteral("https://www.baidu.com/s")), parts.title,
                                     parts.text);
    return 0;
}
