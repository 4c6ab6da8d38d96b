#include "analysis/htmltext.h"

#include <array>

namespace htmltext {
namespace {

struct Named {
    QStringView name;
    char16_t character;
};
constexpr std::array<Named, 7> kNamed = {{{u"amp", u'&'},
                                          {u"lt", u'<'},
                                          {u"gt", u'>'},
                                          {u"quot", u'"'},
                                          {u"apos", u'\''},
                                          {u"nbsp", u'\u00A0'},
                                          {u"ensp", u'\u2002'}}};

// The code point of a numeric reference's digits, or 0 when they are not one.
char32_t numericValue(QStringView digits)
{
    bool ok = false;
    const bool hex = digits.startsWith(u'x') || digits.startsWith(u'X');
    const uint value = hex ? digits.mid(1).toUInt(&ok, 16) : digits.toUInt(&ok, 10);
    if (!ok || value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    return char32_t(value);
}

bool isSpace(QChar c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f'; }

}  // namespace

qsizetype tagEnd(QStringView html, qsizetype lt)
{
    QChar quote;
    for (qsizetype i = lt + 1; i < html.size(); ++i) {
        const QChar c = html[i];
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == u'"' || c == u'\'') {
            // Only a quote that starts an attribute value opens one: a stray
            // apostrophe in a broken tag must not swallow the page.
            if (i > 0 && html[i - 1] == u'=')
                quote = c;
        } else if (c == u'>') {
            return i;
        }
    }
    return -1;
}

QString decodeReferences(QStringView text)
{
    QString out;
    out.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype amp = text.indexOf(u'&', i);
        if (amp < 0)
            break;
        out += text.sliced(i, amp - i);
        // References are short; a ';' further away is not this one's end.
        const qsizetype semi = text.sliced(amp, std::min<qsizetype>(12, text.size() - amp)).indexOf(u';');
        i = amp + 1;
        if (semi < 2) {
            out += u'&';
            continue;
        }
        const QStringView name = text.sliced(amp + 1, semi - 1);
        char32_t decoded = 0;
        if (name.startsWith(u'#')) {
            decoded = numericValue(name.mid(1));
        } else {
            for (const Named& n : kNamed)
                if (name == n.name)
                    decoded = n.character;
        }
        if (decoded == 0) {
            out += u'&';
            continue;
        }
        out += QString::fromUcs4(&decoded, 1);
        i = amp + semi + 1;
    }
    out += text.sliced(i);
    return out;
}

QString textOf(QStringView html)
{
    QString raw;
    raw.reserve(html.size());
    qsizetype i = 0;
    while (i < html.size()) {
        const qsizetype lt = html.indexOf(u'<', i);
        if (lt < 0) {
            raw += html.sliced(i);
            break;
        }
        raw += html.sliced(i, lt - i);
        const QStringView rest = html.sliced(lt);
        if (rest.startsWith(u"<!--")) {
            const qsizetype close = html.indexOf(u"-->", lt + 4);
            i = close < 0 ? html.size() : close + 3;
            continue;
        }
        const qsizetype gt = tagEnd(html, lt);
        if (gt < 0)
            break;  // a tag cut short: nothing after it is text
        i = gt + 1;
        for (const QStringView element : {QStringView(u"script"), QStringView(u"style")}) {
            if (rest.size() > element.size() + 1
                && rest.sliced(1, element.size()).compare(element, Qt::CaseInsensitive) == 0
                && (isSpace(rest[element.size() + 1]) || rest[element.size() + 1] == u'>')) {
                const qsizetype close =
                    html.indexOf(QStringLiteral("</") + element.toString(), i, Qt::CaseInsensitive);
                i = close < 0 ? html.size() : close;
            }
        }
    }
    return decodeReferences(raw);
}

QString attribute(QStringView tagInside, QStringView name)
{
    qsizetype i = 0;
    // Skip the tag name.
    while (i < tagInside.size() && !isSpace(tagInside[i]))
        ++i;
    while (i < tagInside.size()) {
        while (i < tagInside.size() && (isSpace(tagInside[i]) || tagInside[i] == u'/'))
            ++i;
        const qsizetype nameStart = i;
        while (i < tagInside.size() && !isSpace(tagInside[i]) && tagInside[i] != u'=')
            ++i;
        const QStringView attrName = tagInside.sliced(nameStart, i - nameStart);
        while (i < tagInside.size() && isSpace(tagInside[i]))
            ++i;
        QStringView value;
        if (i < tagInside.size() && tagInside[i] == u'=') {
            ++i;
            while (i < tagInside.size() && isSpace(tagInside[i]))
                ++i;
            if (i < tagInside.size() && (tagInside[i] == u'"' || tagInside[i] == u'\'')) {
                const QChar quote = tagInside[i];
                const qsizetype close = tagInside.indexOf(quote, i + 1);
                const qsizetype end = close < 0 ? tagInside.size() : close;
                value = tagInside.sliced(i + 1, end - i - 1);
                i = end + 1;
            } else {
                const qsizetype start = i;
                while (i < tagInside.size() && !isSpace(tagInside[i]))
                    ++i;
                value = tagInside.sliced(start, i - start);
            }
        }
        if (attrName.isEmpty())
            break;
        if (attrName.compare(name, Qt::CaseInsensitive) == 0)
            return decodeReferences(value);
    }
    return {};
}

}  // namespace htmltext
