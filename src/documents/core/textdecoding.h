#pragma once
// Decoding of plain-text files: UTF-8 (with or without BOM), UTF-16 LE/BE
// with BOM, otherwise GBK, the narrow code page of the papers we handle.

#include <QByteArrayView>
#include <QString>

namespace documents {

struct DecodedText {
    QString text;
    QString encoding;    // "UTF-8", "UTF-16LE", "UTF-16BE" or "GBK"
    bool lossy = false;  // some bytes were invalid and became U+FFFD
};

DecodedText decodeText(QByteArrayView bytes);

}  // namespace documents
