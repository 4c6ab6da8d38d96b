#include "analysis/resultsummary.h"

#include "analysis/htmltext.h"

#include <array>

namespace resultsummary {
namespace {

// Elements that run on within a line; any other tag separates words.
constexpr std::array<QStringView, 12> kInline = {u"a",      u"b", u"em",   u"i",   u"span", u"font",
                                                 u"strong", u"u", u"mark", u"sub", u"sup",  u"small"};
// The elements a result's block sits in on the pages we read.
constexpr std::array<QStringView, 2> kContainers = {u"div", u"li"};

struct Tag {
    QStringView name;  // lower or upper case, as written
    bool closing = false;
};

Tag tagAt(QStringView html, qsizetype lt, qsizetype gt)
{
    Tag tag;
    qsizetype i = lt + 1;
    if (i < gt && html[i] == u'/') {
        tag.closing = true;
        ++i;
    }
    const qsizetype start = i;
    while (i < gt && html[i].isLetterOrNumber())
        ++i;
    tag.name = html.sliced(start, i - start);
    return tag;
}

template <std::size_t N> bool isOneOf(QStringView name, const std::array<QStringView, N>& names)
{
    for (const QStringView n : names)
        if (name.compare(n, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

// The text gathered so far, each character with whether it was highlighted.
struct Marked {
    QString text;
    QList<bool> highlighted;
    qsizetype visible = 0;  // characters other than spacing

    void append(QStringView raw, bool inEmphasis)
    {
        const QString decoded = htmltext::decodeReferences(raw);
        text += decoded;
        highlighted.insert(highlighted.size(), decoded.size(), inEmphasis);
        for (const QChar c : decoded)
            visible += !c.isSpace();
    }
    void separate() { append(u" ", false); }
    bool full() const { return visible > kMaxLength; }
};

Summary simplified(const Marked& marked)
{
    Summary out;
    QList<bool> flags;
    for (qsizetype i = 0; i < marked.text.size() && out.text.size() < kMaxLength; ++i) {
        const QChar c = marked.text[i];
        if (c.isSpace()) {
            if (out.text.isEmpty() || out.text.back() == u' ')
                continue;
            out.text += u' ';
        } else {
            out.text += c;
        }
        flags.append(marked.highlighted[i]);
    }
    if (out.text.endsWith(u' ')) {
        out.text.chop(1);
        flags.removeLast();
    }
    for (qsizetype i = 0; i < flags.size(); ++i) {
        if (!flags[i])
            continue;
        const qsizetype start = i;
        while (i < flags.size() && flags[i])
            ++i;
        out.highlighted.append({start, i - start});
    }
    return out;
}

}  // namespace

Summary after(QStringView html, qsizetype from)
{
    Marked marked;
    bool inEmphasis = false;
    int depth = 0;  // containers opened inside the block
    qsizetype i = from;
    while (i < html.size() && !marked.full()) {
        const qsizetype lt = html.indexOf(u'<', i);
        marked.append(html.sliced(i, (lt < 0 ? html.size() : lt) - i), inEmphasis);
        if (lt < 0)
            break;
        if (html.sliced(lt).startsWith(u"<!--")) {
            const qsizetype close = html.indexOf(u"-->", lt + 4);
            i = close < 0 ? html.size() : close + 3;
            continue;
        }
        const qsizetype gt = htmltext::tagEnd(html, lt);
        if (gt < 0)
            break;  // a tag cut short: nothing after it is text
        i = gt + 1;
        const Tag tag = tagAt(html, lt, gt);
        if (tag.name.compare(u"h3", Qt::CaseInsensitive) == 0 && !tag.closing)
            break;
        if (isOneOf(tag.name, kContainers)) {
            depth += tag.closing ? -1 : 1;
            if (depth < 0)
                break;
        }
        if (tag.name.compare(u"em", Qt::CaseInsensitive) == 0) {
            inEmphasis = !tag.closing;
        } else if (!tag.closing
                   && (tag.name.compare(u"script", Qt::CaseInsensitive) == 0
                       || tag.name.compare(u"style", Qt::CaseInsensitive) == 0)) {
            // Its insides and its end tag are no text, and no word break either.
            const qsizetype close =
                html.indexOf(QStringLiteral("</") + tag.name.toString(), i, Qt::CaseInsensitive);
            const qsizetype closeEnd = close < 0 ? -1 : htmltext::tagEnd(html, close);
            i = closeEnd < 0 ? html.size() : closeEnd + 1;
        } else if (!isOneOf(tag.name, kInline)) {
            marked.separate();
        }
    }
    return simplified(marked);
}

}  // namespace resultsummary
