#include "analysis/blocksanitizer.h"

#include <QSet>

namespace {

// Elements dropped together with everything up to their end tag.
const QSet<QString>& elementsDroppedWithContent()
{
    static const QSet<QString> names{
        QStringLiteral("script"),   QStringLiteral("style"),    QStringLiteral("iframe"),
        QStringLiteral("object"),   QStringLiteral("applet"),   QStringLiteral("noscript"),
        QStringLiteral("template"), QStringLiteral("frameset"), QStringLiteral("noembed"),
        QStringLiteral("noframes"), QStringLiteral("svg"),      QStringLiteral("math"),
        QStringLiteral("xmp")};
    return names;
}

// Elements dropped on their own (they enclose nothing).
const QSet<QString>& elementsDropped()
{
    static const QSet<QString> names{QStringLiteral("embed"), QStringLiteral("link"),
                                     QStringLiteral("meta"),  QStringLiteral("base"),
                                     QStringLiteral("frame"), QStringLiteral("param")};
    return names;
}

bool isSpace(QChar c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f'; }

bool isNameChar(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'-'
        || c == u'_' || c == u':' || c == u'.';
}

struct Attribute {
    QString name;   // lower case
    QString value;  // as written, entities undecoded
};

struct Tag {
    QString name;  // lower case
    bool closing = false;
    QList<Attribute> attributes;
    qsizetype end = 0;  // index just past the '>'
};

// Decodes the character references an attacker could use to hide a scheme.
QString decodeReferences(QStringView value)
{
    QString out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != u'&') {
            out += value[i];
            continue;
        }
        qsizetype j = i + 1;
        if (j < value.size() && value[j] == u'#') {
            const bool hex = j + 1 < value.size() && (value[j + 1] == u'x' || value[j + 1] == u'X');
            qsizetype k = j + (hex ? 2 : 1);
            const qsizetype digitsStart = k;
            while (k < value.size()
                   && (hex ? isxdigit(value[k].unicode()) && value[k].unicode() < 128 : value[k].isDigit()))
                ++k;
            bool ok = false;
            const uint code = value.sliced(digitsStart, k - digitsStart).toUInt(&ok, hex ? 16 : 10);
            if (k > digitsStart && ok && code < 0x10000) {
                out += QChar(char16_t(code));
                i = (k < value.size() && value[k] == u';') ? k : k - 1;
                continue;
            }
        } else {
            static const std::pair<QStringView, QChar> kNamed[] = {
                {u"colon;", u':'}, {u"tab;", u'\t'}, {u"newline;", u'\n'}};
            bool matched = false;
            for (const auto& [name, ch] : kNamed) {
                if (value.sliced(j).startsWith(name, Qt::CaseInsensitive)) {
                    out += ch;
                    i = j + name.size() - 1;
                    matched = true;
                    break;
                }
            }
            if (matched)
                continue;
        }
        out += u'&';
    }
    return out;
}

bool hasActiveScheme(QStringView value)
{
    QString compact;
    for (const QChar c : decodeReferences(value))
        if (c.unicode() > 0x20)
            compact += c.toLower();
    return compact.startsWith(u"javascript:") || compact.startsWith(u"vbscript:")
        || compact.startsWith(u"data:");
}

bool isActiveAttribute(const Attribute& a)
{
    if (a.name.startsWith(u"on") || a.name == u"srcdoc" || hasActiveScheme(a.value))
        return true;
    if (a.name == u"style") {
        const QString style = decodeReferences(a.value).toLower();
        return style.contains(u"expression") || style.contains(u"url(") || style.contains(u"javascript")
            || style.contains(u'\\');
    }
    return false;
}

// Reads the tag starting at html[at] == '<'. Returns false when no complete
// tag starts there.
bool readTag(QStringView html, qsizetype at, Tag& tag)
{
    qsizetype i = at + 1;
    if (i < html.size() && html[i] == u'/') {
        tag.closing = true;
        ++i;
    }
    if (i >= html.size() || !html[i].isLetter() || html[i].unicode() >= 128)
        return false;
    const qsizetype nameStart = i;
    while (i < html.size() && isNameChar(html[i]))
        ++i;
    tag.name = html.sliced(nameStart, i - nameStart).toString().toLower();
    while (i < html.size()) {
        const QChar c = html[i];
        if (c == u'>') {
            tag.end = i + 1;
            return true;
        }
        if (isSpace(c) || c == u'/') {
            ++i;
            continue;
        }
        Attribute attribute;
        const qsizetype attrStart = i;
        while (i < html.size() && !isSpace(html[i]) && html[i] != u'/' && html[i] != u'>' && html[i] != u'=')
            ++i;
        attribute.name = html.sliced(attrStart, i - attrStart).toString().toLower();
        while (i < html.size() && isSpace(html[i]))
            ++i;
        if (i < html.size() && html[i] == u'=') {
            ++i;
            while (i < html.size() && isSpace(html[i]))
                ++i;
            if (i < html.size() && (html[i] == u'"' || html[i] == u'\'')) {
                const qsizetype close = html.indexOf(html[i], i + 1);
                if (close < 0)
                    return false;
                attribute.value = html.sliced(i + 1, close - i - 1).toString();
                i = close + 1;
            } else {
                const qsizetype valueStart = i;
                while (i < html.size() && !isSpace(html[i]) && html[i] != u'>')
                    ++i;
                attribute.value = html.sliced(valueStart, i - valueStart).toString();
            }
        }
        if (!attribute.name.isEmpty())
            tag.attributes.append(attribute);
    }
    return false;
}

bool hasCleanName(const QString& name)
{
    return !name.isEmpty() && std::all_of(name.begin(), name.end(), isNameChar);
}

void writeTag(const Tag& tag, QString& out)
{
    out += tag.closing ? QStringLiteral("</") : QStringLiteral("<");
    out += tag.name;
    if (!tag.closing) {
        for (const Attribute& a : tag.attributes) {
            if (!hasCleanName(a.name) || isActiveAttribute(a))
                continue;
            QString value = a.value;
            value.replace(u'"', QStringLiteral("&quot;"))
                .replace(u'<', QStringLiteral("&lt;"))
                .replace(u'>', QStringLiteral("&gt;"));
            out += u' ' + a.name + QStringLiteral("=\"") + value + u'"';
        }
    }
    out += u'>';
}

// Index just past the end tag of `name` from `from` on; the input's end if none.
qsizetype skipPastEndTag(QStringView html, qsizetype from, const QString& name)
{
    const QString endTag = QStringLiteral("</") + name;
    for (qsizetype at = html.indexOf(endTag, from, Qt::CaseInsensitive); at >= 0;
         at = html.indexOf(endTag, at + 1, Qt::CaseInsensitive)) {
        const qsizetype after = at + endTag.size();
        if (after < html.size() && isNameChar(html[after]))
            continue;  // "</scripts" is not "</script"
        const qsizetype close = html.indexOf(u'>', after);
        return close < 0 ? html.size() : close + 1;
    }
    return html.size();
}

// Index just past a comment, doctype or processing instruction at `at`.
qsizetype skipMarkupDeclaration(QStringView html, qsizetype at)
{
    if (html.sliced(at).startsWith(u"<!--")) {
        const qsizetype end = html.indexOf(u"-->", at + 4);
        return end < 0 ? html.size() : end + 3;
    }
    const qsizetype end = html.indexOf(u'>', at);
    return end < 0 ? html.size() : end + 1;
}

}  // namespace

QString sanitizeBlock(QStringView html)
{
    QString out;
    out.reserve(html.size());
    qsizetype i = 0;
    while (i < html.size()) {
        const qsizetype lt = html.indexOf(u'<', i);
        if (lt < 0) {
            out += html.sliced(i);
            break;
        }
        out += html.sliced(i, lt - i);
        const QChar next = lt + 1 < html.size() ? html[lt + 1] : QChar();
        if (next == u'!' || next == u'?') {
            i = skipMarkupDeclaration(html, lt);
            continue;
        }
        Tag tag;
        if (!readTag(html, lt, tag)) {
            out += u"&lt;";
            i = lt + 1;
            continue;
        }
        i = tag.end;
        if (elementsDroppedWithContent().contains(tag.name)) {
            if (!tag.closing)
                i = skipPastEndTag(html, i, tag.name);
            continue;
        }
        if (!elementsDropped().contains(tag.name))
            writeTag(tag, out);
    }
    return out;
}
