#pragma once
// Reads RTF as word processors write it: code pages (\ansicpg, \fcharset),
// \'hh bytes, \uN with \ucN fallbacks, the font and colour tables, character
// formatting and paragraphs. Destinations we cannot show (pictures, objects,
// document info, style sheets, headers and footers, \* groups) are skipped.

#include "documents/core/document.h"
#include "platform/core/result.h"

#include <QByteArrayView>
#include <QString>

namespace documents {

// True when the bytes start like an RTF file ("{\rtf", leading blanks allowed).
bool looksLikeRtf(QByteArrayView bytes);

// Damaged input (not RTF, unbalanced braces, cut short) fails with a
// sentence for the user.
Result<Document> readRtf(QByteArrayView bytes);

// Decodes single- or double-byte text of a Windows code page (936 through
// the GBK codec); undecodable bytes become U+FFFD.
QString decodeCodePage(QByteArrayView bytes, int codePage);

// The code page that an \fcharset value selects; 0 when it follows the document.
int codePageOfCharset(int charset);

}  // namespace documents
