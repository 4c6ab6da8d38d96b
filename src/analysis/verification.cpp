#include "analysis/verification.h"

#include "analysis/htmltext.h"

#include <QRegularExpression>

namespace verification {
namespace {

// Baidu's texts on its verification page; the same page serves all of Baidu.
QStringList baiduTexts()
{
    return {QStringLiteral("网络不给力，请稍后重试"), QStringLiteral("请完成下方验证后继续操作"),
            QStringLiteral("拖动左侧滑块使图片为正")};
}

// Line breaks and spaces fall between elements differently from one browser
// to the next; the markers are matched without them.
QString withoutSpacing(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text)
        if (!c.isSpace())
            out += c;
    return out;
}

bool hasMarker(const Markers& m, const QUrl& url, const QString& title, const QString& compactText)
{
    const QString host = url.host().toLower();
    for (const QString& h : m.hosts)
        if (host == h)
            return true;
    const QString path = url.path();
    for (const QString& word : m.pathWords)
        if (path.contains(word, Qt::CaseInsensitive))
            return true;
    if (!m.titles.contains(title.trimmed()))
        return false;
    for (const QString& text : m.texts)
        if (compactText.contains(text))
            return true;
    return false;
}

}  // namespace

const QList<Markers>& tables()
{
    static const QList<Markers> kTables = {
        // Seen: a 302 to https://wappass.baidu.com/static/captcha/tuxing.html?ak=…&backurl=…,
        // or a page titled "百度安全验证" with the texts below.
        {QStringLiteral("baidu"),
         {QStringLiteral("wappass.baidu.com")},
         {QStringLiteral("captcha")},
         {QStringLiteral("百度安全验证")},
         baiduTexts()},
        // Wenku is served by Baidu, whose other services (Tieba, the news
        // pages) are reported to send the same wappass page.
        {QStringLiteral("wenku"),
         {QStringLiteral("wappass.baidu.com")},
         {QStringLiteral("captcha")},
         {QStringLiteral("百度安全验证")},
         baiduTexts()},
        // CNKI is reported to ask for a check code after a few hundred
        // queries; the addresses and texts here are what its pages are
        // reported to use, not seen on CNKI Scholar itself.
        {QStringLiteral("zhiwang"),
         {},
         {QStringLiteral("captcha"), QStringLiteral("checkcode"), QStringLiteral("/verify")},
         {QStringLiteral("安全验证"), QStringLiteral("知网验证")},
         {QStringLiteral("请输入验证码"), QStringLiteral("拖动下方拼图完成验证"),
          QStringLiteral("请完成安全验证")}},
    };
    return kTables;
}

bool isVerificationPage(const QUrl& url, const QString& title, const QString& text)
{
    const QString compact = withoutSpacing(text);
    for (const Markers& m : tables())
        if (hasMarker(m, url, title, compact))
            return true;
    return false;
}

PageParts partsOf(QStringView html)
{
    PageParts parts;
    static const QRegularExpression kTitle(QStringLiteral("<title(?:\\s[^>]*)?>(.*?)</title\\s*>"),
                                           QRegularExpression::CaseInsensitiveOption
                                               | QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch title = kTitle.match(html);
    if (title.hasMatch())
        parts.title = htmltext::decodeReferences(title.capturedView(1)).simplified();
    // The text a browser shows is the body's; a page without a body tag is all body.
    static const QRegularExpression kBody(QStringLiteral("<body(?:\\s[^>]*)?>"),
                                          QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch body = kBody.match(html);
    parts.text = htmltext::textOf(body.hasMatch() ? html.sliced(body.capturedEnd()) : html);
    return parts;
}

}  // namespace verification
