#include "analysis/query.h"

#include "platform/core/gbk.h"

namespace {

void appendHexByte(QString& out, unsigned byte)
{
    static const char kDigits[] = "0123456789ABCDEF";
    out += QLatin1Char('%');
    out += QLatin1Char(kDigits[(byte >> 4) & 0xF]);
    out += QLatin1Char(kDigits[byte & 0xF]);
}

bool passesGbkEncoderUnchanged(char16_t c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'-'
        || c == u',' || c == u'.' || c == u'/';
}

}  // namespace

QString buildQuery(const QString& sentence)
{
    // Spaces only: a tab or a no-break space at an edge is part of the query.
    qsizetype begin = 0;
    qsizetype end = sentence.size();
    while (begin < end && sentence[begin] == u' ')
        ++begin;
    while (end > begin && sentence[end - 1] == u' ')
        --end;
    QString q = sentence.mid(begin, end - begin);
    q.replace(u',', u'，');
    for (const char16_t* mark : {u"《", u"》", u"【", u"】", u"：", u"“", u"”", u"……", u"（", u"）", u"，"})
        q.replace(QString::fromUtf16(mark), QStringLiteral(" "));
    q.replace(QStringLiteral("  "), QStringLiteral(" "));  // one pass only: three spaces leave two
    q.replace(u'"', u' ');
    q.replace(u'！', u' ');
    q.replace(u'。', u' ');
    return q;
}

bool isSkippedQuery(const QString& query)
{
    return query.isEmpty() || query == QStringView(u" ") || query == QStringView(u"\uE003");
}

QString UrlEncodeGbk(QStringView text)
{
    QString out;
    out.reserve(text.size() * 6);
    for (const QChar qc : text) {
        const char16_t c = qc.unicode();
        unsigned char lead = 0;
        unsigned char trail = 0;
        if (passesGbkEncoderUnchanged(c)) {
            out += qc;
        } else if (gbk::doubleBytes(c, lead, trail)) {
            appendHexByte(out, lead);
            appendHexByte(out, trail);
        } else {
            // Single-byte code without a leading zero (a tab is %9); a character
            // GBK cannot write is sent as a question mark.
            const QByteArray bytes = gbk::encode(QStringView(&qc, 1));
            const unsigned byte = bytes.size() == 1 ? static_cast<unsigned char>(bytes[0]) : '?';
            out += QLatin1Char('%') + QString::number(byte, 16).toUpper();
        }
    }
    return out;
}

QString UrlEncodeUtf8(QStringView text)
{
    QString out;
    out.reserve(text.size() * 9);
    for (const QChar qc : text) {
        const unsigned u = qc.unicode();
        if (u < 0x80) {
            out += qc;
        } else if (u < 0x800) {
            appendHexByte(out, 0xC0 | (u >> 6));
            appendHexByte(out, 0x80 | (u & 0x3F));
        } else {
            // Surrogate halves too: each one on its own, as three bytes.
            appendHexByte(out, 0xE0 | (u >> 12));
            appendHexByte(out, 0x80 | ((u >> 6) & 0x3F));
            appendHexByte(out, 0x80 | (u & 0x3F));
        }
    }
    return out;
}

std::optional<QString> searchUrl(SearchEngine engine, const QString& query, const Endpoints& endpoints)
{
    switch (engine) {
    case SearchEngine::Zhiwang:
        return endpoints.zhiwangBase + QStringLiteral("/result.aspx?q=") + UrlEncodeUtf8(query)
            + QStringLiteral("&rt=&rl=&udb=");
    case SearchEngine::Longyuan:
        return std::nullopt;
    case SearchEngine::Wenku:
        return endpoints.wenkuBase + QStringLiteral("/search?word=") + UrlEncodeGbk(query)
            + QStringLiteral("&od=0&fr=top_home");
    case SearchEngine::Baidu:
        break;
    }
    return endpoints.baiduBase + QStringLiteral("/s?wd=") + UrlEncodeGbk(query)
        + QStringLiteral("&rsv_bp=0&ch=&bar=&rsv_spt=3&tn=baidu");
}
