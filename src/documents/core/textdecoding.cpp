#include "documents/core/textdecoding.h"

#include "platform/core/gbk.h"

#include <QStringDecoder>

namespace documents {

namespace {

DecodedText decodeWith(QStringConverter::Encoding encoding, QByteArrayView bytes, const QString& name)
{
    QStringDecoder decoder(encoding, QStringConverter::Flag::Default);
    DecodedText result{decoder.decode(bytes), name, false};
    result.lossy = decoder.hasError();
    return result;
}

}  // namespace

DecodedText decodeText(QByteArrayView bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return decodeWith(QStringConverter::Utf8, bytes.sliced(3), QStringLiteral("UTF-8"));
    if (bytes.startsWith("\xFF\xFE"))
        return decodeWith(QStringConverter::Utf16LE, bytes.sliced(2), QStringLiteral("UTF-16LE"));
    if (bytes.startsWith("\xFE\xFF"))
        return decodeWith(QStringConverter::Utf16BE, bytes.sliced(2), QStringLiteral("UTF-16BE"));

    DecodedText utf8 = decodeWith(QStringConverter::Utf8, bytes, QStringLiteral("UTF-8"));
    if (!utf8.lossy)
        return utf8;
    bool ok = true;
    DecodedText result{gbk::decode(bytes, &ok), QStringLiteral("GBK"), false};
    result.lossy = !ok;
    return result;
}

}  // namespace documents
