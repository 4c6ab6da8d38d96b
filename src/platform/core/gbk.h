#pragma once
// Code page 936 (GBK): the byte view of text wherever the program needs one
// (double-byte counts, the Baidu query encoding, files shared with servers and
// with the updater). Every conversion in the program goes through here.

#include <QByteArray>
#include <QString>
#include <QStringView>

namespace gbk {

// Encodes text; a character GBK cannot represent becomes '?'.
QByteArray encode(QStringView text);

// Decodes GBK bytes; invalid sequences become U+FFFD. `ok` (if given) tells
// whether every byte was valid.
QString decode(QByteArrayView bytes, bool* ok = nullptr);

// True for a UTF-16 code unit that GBK writes as two bytes (lead 0x81..0xFE).
// Surrogate halves are never double-byte. Backed by a 64 Kibit table.
bool isDoubleByte(char16_t c);

// Number of code units of `text` that are double-byte in GBK.
qsizetype doubleByteCount(QStringView text);

// The two GBK bytes of `c` when it is double-byte; returns false otherwise.
bool doubleBytes(char16_t c, unsigned char& lead, unsigned char& trail);

}  // namespace gbk
