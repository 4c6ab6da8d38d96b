#include "platform/core/gbk.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <array>
#include <bitset>
#include <memory>

namespace gbk {
namespace {

constexpr const char* kCodecName = "GBK";

// One entry per BMP code unit: its two GBK bytes, or 0 when it is not double-byte.
// The few non-ASCII characters written as one byte (0x80 is the euro sign) have
// their byte in `single`, so that what decode() accepts encodes back unchanged.
struct Table {
    std::array<quint16, 65536> pair{};
    std::array<quint8, 65536> single{};
    Table()
    {
        QStringEncoder encoder(kCodecName, QStringConverter::Flag::Stateless);
        Q_ASSERT(encoder.isValid());
        for (int u = 0x80; u < 0x10000; ++u) {
            if (u >= 0xD800 && u <= 0xDFFF)
                continue;
            const QChar ch(static_cast<char16_t>(u));
            // A character GBK lacks comes back as a one-byte substitute.
            const QByteArray bytes = encoder.encode(QStringView(&ch, 1));
            if (bytes.size() == 1 && static_cast<unsigned char>(bytes[0]) >= 0x80)
                single[u] = static_cast<quint8>(bytes[0]);
            if (bytes.size() != 2)
                continue;
            const auto lead = static_cast<unsigned char>(bytes[0]);
            const auto trail = static_cast<unsigned char>(bytes[1]);
            if (lead < 0x81 || lead > 0xFE)
                continue;
            pair[u] = static_cast<quint16>(lead << 8 | trail);
        }
    }
};

const Table& table()
{
    static const Table instance;
    return instance;
}

}  // namespace

QByteArray encode(QStringView text)
{
    // Encode per code unit so that anything GBK lacks becomes exactly one '?'.
    QByteArray out;
    out.reserve(text.size() * 2);
    const Table& t = table();
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u < 0x80) {
            out.append(static_cast<char>(u));
        } else if (const quint16 p = t.pair[u]) {
            out.append(static_cast<char>(p >> 8));
            out.append(static_cast<char>(p & 0xFF));
        } else if (const quint8 b = t.single[u]) {
            out.append(static_cast<char>(b));
        } else {
            out.append('?');
        }
    }
    return out;
}

QString decode(QByteArrayView bytes, bool* ok)
{
    QStringDecoder decoder(kCodecName, QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (ok)
        *ok = !decoder.hasError();
    return text;
}

bool isDoubleByte(char16_t c) { return table().pair[c] != 0; }

qsizetype doubleByteCount(QStringView text)
{
    const Table& t = table();
    qsizetype n = 0;
    for (const QChar ch : text)
        n += t.pair[ch.unicode()] != 0;
    return n;
}

bool doubleBytes(char16_t c, unsigned char& lead, unsigned char& trail)
{
    const quint16 p = table().pair[c];
    if (!p)
        return false;
    lead = static_cast<unsigned char>(p >> 8);
    trail = static_cast<unsigned char>(p & 0xFF);
    return true;
}

}  // namespace gbk
