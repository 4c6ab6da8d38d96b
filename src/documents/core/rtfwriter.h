#pragma once
// Writes a document as RTF that word processors open with the same text,
// fonts, sizes and colours: an ASCII file with \ansicpg936, a font table
// (\fcharset134 for Chinese fonts), a colour table, and every non-ASCII
// character as \uN followed by its two GBK bytes (\uc2), so that readers
// without Unicode support still show the right text.

#include "documents/core/document.h"

#include <QByteArray>

namespace documents {

QByteArray writeRtf(const Document& document);

// The name used for runs without a font of their own.
inline constexpr char16_t kDefaultFontName[] = u"宋体";

}  // namespace documents
