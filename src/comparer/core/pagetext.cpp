#include "comparer/core/libraryfolder.h"

#include <QHash>

namespace comparer::library {

namespace {

const QStringList kBlockTags = {
    QStringLiteral("address"),    QStringLiteral("article"), QStringLiteral("aside"),
    QStringLiteral("blockquote"), QStringLiteral("br"),      QStringLiteral("dd"),
    QStringLiteral("div"),        QStringLiteral("dl"),      QStringLiteral("dt"),
    QStringLiteral("footer"),     QStringLiteral("h1"),      QStringLiteral("h2"),
    QStringLiteral("h3"),         QStringLiteral("h4"),      QStringLiteral("h5"),
    QStringLiteral("h6"),         QStringLiteral("header"),  QStringLiteral("hr"),
    QStringLiteral("li"),         QStringLiteral("main"),    QStringLiteral("nav"),
    QStringLiteral("ol"),         QStringLiteral("p"),       QStringLiteral("pre"),
    QStringLiteral("section"),    QStringLiteral("table"),   QStringLiteral("td"),
    QStringLiteral("th"),         QStringLiteral("tr"),      QStringLiteral("ul")};

// The tag's name, lower case, without "/".
QString tagName(QStringView tag)
{
    qsizetype i = tag.startsWith(u'/') ? 1 : 0;
    qsizetype end = i;
    while (end < tag.size() && (tag[end].isLetterOrNumber()))
        ++end;
    return tag.mid(i, end - i).toString().toLower();
}

QString entity(QStringView name)
{
    if (name.startsWith(u"#x") || name.startsWith(u"#X")) {
        bool ok = false;
        const uint code = name.mid(2).toUInt(&ok, 16);
        return ok && code > 0 && code <= 0x10FFFF
            ? QString::fromUcs4(reinterpret_cast<const char32_t*>(&code), 1)
            : QString();
    }
    if (name.startsWith(u'#')) {
        bool ok = false;
        const uint code = name.mid(1).toUInt(&ok);
        return ok && code > 0 && code <= 0x10FFFF
            ? QString::fromUcs4(reinterpret_cast<const char32_t*>(&code), 1)
            : QString();
    }
    static const QHash<QString, QString> named = {
        {QStringLiteral("amp"), QStringLiteral("&")},     {QStringLiteral("lt"), QStringLiteral("<")},
        {QStringLiteral("gt"), QStringLiteral(">")},      {QStringLiteral("quot"), QStringLiteral("\"")},
        {QStringLiteral("apos"), QStringLiteral("'")},    {QStringLiteral("nbsp"), QStringLiteral(" ")},
        {QStringLiteral("ldquo"), QStringLiteral(u"“")},  {QStringLiteral("rdquo"), QStringLiteral(u"”")},
        {QStringLiteral("middot"), QStringLiteral(u"·")}, {QStringLiteral("hellip"), QStringLiteral(u"…")},
        {QStringLiteral("mdash"), QStringLiteral(u"—")}};
    return named.value(name.toString());
}

// Collects the shown text: runs of white space as one space, a line break
// for each block, no space at a line's ends, no blank lines.
class Lines {
public:
    void text(QStringView s)
    {
        for (const QChar c : s) {
            if (c.isSpace() && c != QChar(0x3000) && c != QChar(0xA0)) {
                pendingSpace_ = !line_.isEmpty();
            } else {
                if (pendingSpace_)
                    line_ += u' ';
                pendingSpace_ = false;
                line_ += c;
            }
        }
    }
    void append(const QString& decoded) { text(decoded); }
    void breakLine()
    {
        if (!line_.isEmpty())
            out_ += out_.isEmpty() ? line_ : QStringLiteral("\r\n") + line_;
        line_.clear();
        pendingSpace_ = false;
    }
    QString finish()
    {
        breakLine();
        return out_;
    }

private:
    QString out_;
    QString line_;
    bool pendingSpace_ = false;
};

}  // namespace

QString pageText(QStringView html)
{
    Lines lines;
    qsizetype i = 0;
    const qsizetype n = html.size();
    while (i < n) {
        const QChar c = html[i];
        if (c == u'<') {
            if (html.mid(i, 4) == u"<!--") {
                const qsizetype end = html.indexOf(u"-->", i + 4);
                i = end < 0 ? n : end + 3;
                continue;
            }
            const qsizetype close = html.indexOf(u'>', i + 1);
            if (close < 0)
                break;  // a tag cut short: the rest is no text
            const QStringView tag = html.mid(i + 1, close - i - 1);
            const QString name = tagName(tag);
            i = close + 1;
            const bool opening = !tag.startsWith(u'/');
            if (opening
                && (name == u"script" || name == u"style" || name == u"noscript" || name == u"title")) {
                const qsizetype end = html.indexOf(QStringLiteral("</") + name, i, Qt::CaseInsensitive);
                i = end < 0 ? n : end;
            } else if (kBlockTags.contains(name)) {
                lines.breakLine();
            }
        } else if (c == u'&') {
            const qsizetype semicolon = html.indexOf(u';', i + 1);
            const QString decoded =
                semicolon > i && semicolon - i <= 10 ? entity(html.mid(i + 1, semicolon - i - 1)) : QString();
            if (decoded.isEmpty()) {
                lines.text(html.mid(i, 1));
                ++i;
            } else {
                lines.append(decoded);
                i = semicolon + 1;
            }
        } else {
            qsizetype end = i;
            while (end < n && html[end] != u'<' && html[end] != u'&')
                ++end;
            lines.text(html.mid(i, end - i));
            i = end;
        }
    }
    return lines.finish();
}

}  // namespace comparer::library
