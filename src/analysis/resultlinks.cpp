#include "analysis/resultlinks.h"

#include "analysis/htmltext.h"
#include "analysis/resultsummary.h"

namespace resultlinks {
namespace {

bool isSpace(QChar c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f'; }

// True when `html` has a start tag named `name` at `lt` (the '<').
bool startTagAt(QStringView html, qsizetype lt, QStringView name)
{
    const qsizetype after = lt + 1 + name.size();
    if (after >= html.size())
        return false;
    return html.sliced(lt + 1, name.size()).compare(name, Qt::CaseInsensitive) == 0
        && (isSpace(html[after]) || html[after] == u'>' || html[after] == u'/');
}

// The next start tag `name` at or after `from`, or -1.
qsizetype findStartTag(QStringView html, QStringView name, qsizetype from)
{
    const QString open = u'<' + name.toString();
    for (qsizetype lt = html.indexOf(open, from, Qt::CaseInsensitive); lt >= 0;
         lt = html.indexOf(open, lt + 1, Qt::CaseInsensitive))
        if (startTagAt(html, lt, name))
            return lt;
    return -1;
}

bool hasClassT(QStringView tagInside)
{
    const QString classes = htmltext::attribute(tagInside, u"class");
    for (const QStringView c : QStringView(classes).split(u' ', Qt::SkipEmptyParts))
        if (c.compare(u"t", Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

ResultLink linkIn(QStringView heading)
{
    ResultLink link;
    const qsizetype a = findStartTag(heading, u"a", 0);
    if (a < 0) {
        link.title = htmltext::textOf(heading).simplified();
        return link;
    }
    const qsizetype gt = htmltext::tagEnd(heading, a);
    if (gt < 0)
        return link;
    link.url = htmltext::attribute(heading.sliced(a + 1, gt - a - 1), u"href").trimmed();
    qsizetype close = heading.indexOf(u"</a", gt + 1, Qt::CaseInsensitive);
    if (close < 0)
        close = heading.size();
    link.title = htmltext::textOf(heading.sliced(gt + 1, close - gt - 1)).simplified();
    return link;
}

}  // namespace

QList<ResultLink> read(QStringView html)
{
    QList<ResultLink> links;
    qsizetype from = 0;
    while (links.size() < kMaxResults) {
        const qsizetype h3 = findStartTag(html, u"h3", from);
        if (h3 < 0)
            break;
        const qsizetype gt = htmltext::tagEnd(html, h3);
        if (gt < 0)
            break;
        qsizetype end = html.indexOf(u"</h3", gt + 1, Qt::CaseInsensitive);
        if (end < 0)
            end = html.size();
        from = end;
        if (!hasClassT(html.sliced(h3 + 1, gt - h3 - 1)))
            continue;
        ResultLink link = linkIn(html.sliced(gt + 1, end - gt - 1));
        if (end < html.size()) {
            const qsizetype headingEnd = htmltext::tagEnd(html, end);
            resultsummary::Summary summary =
                resultsummary::after(html, headingEnd < 0 ? html.size() : headingEnd + 1);
            link.summary = std::move(summary.text);
            link.highlighted = std::move(summary.highlighted);
        }
        links.append(std::move(link));
    }
    return links;
}

}  // namespace resultlinks
